// object_paint.cpp: "Paint object" and the procedural colours, the paintable question and the
// way the panel and the task replay run a command.
#include "paint/object_paint.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/noise.h"
#include "paint/paint_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/vec3.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"

namespace tsv {

void ApplyMaskedColour(Rgb8& colour, uint8_t mask, uint8_t r, uint8_t g, uint8_t b) {
  const int a = mask < 128 ? mask : mask + 1;
  const int keep = 256 - a;
  colour.red = uint8_t((r * a + colour.red * keep) >> 8);
  colour.green = uint8_t((g * a + colour.green * keep) >> 8);
  colour.blue = uint8_t((b * a + colour.blue * keep) >> 8);
}

namespace {

// The points a command can paint: all of them, when the colours cover them (and the positions,
// for the commands that read them); else none.
bool Paintable(const SceneObject* object, bool needsPositions) {
  if (object == nullptr || object->pointCount < 0) return false;
  const size_t count = size_t(object->pointCount);
  return object->pointColors.size() >= count && (!needsPositions || object->points.size() >= count);
}

uint8_t MaskOf(const SceneObject& object, size_t i) {
  return i < object.pointMask.size() ? object.pointMask[i] : uint8_t(255);
}

// The paint colour as reals, component / 256.
std::array<double, 3> PaintColourReal() {
  const Rgb16& c = brushSettings.paintColour;
  return {c.red / 256.0, c.green / 256.0, c.blue / 256.0};
}

// A weight in 0..1; anything else (a NaN above all) falls to the nearer end or to 0.
double UnitWeight(double t) {
  if (!(t > 0)) return 0;
  return t < 1 ? t : 1;
}

// A computed channel truncated toward zero and kept within 0..255.
uint8_t Channel(double value) {
  if (!(value > 0)) return 0;
  if (value >= 255) return 255;
  return uint8_t(value);
}

struct Weights {
  double towardPaint, towardOld;
};

// Lays new = towardPaint x P + towardOld x old over every point, with the two weights of each
// point from weights(i).
template <class WeightsOfPoint>
void LayOver(SceneObject& object, WeightsOfPoint weights) {
  const std::array<double, 3> paint = PaintColourReal();
  const size_t count = size_t(object.pointCount);
  for (size_t i = 0; i < count; ++i) {
    const auto [towardPaint, towardOld] = weights(i);
    Rgb8& colour = object.pointColors[i];
    ApplyMaskedColour(colour, MaskOf(object, i),
                      Channel(towardPaint * paint[0] + towardOld * colour.red),
                      Channel(towardPaint * paint[1] + towardOld * colour.green),
                      Channel(towardPaint * paint[2] + towardOld * colour.blue));
  }
}

// t P + (1 - t) old.
Weights Toward(double t) {
  t = UnitWeight(t);
  return {t, 1.0 - t};
}

double RandomUnit() { return double(PaintRandom()) / double(kPaintRandomMax); }

// The offset of one clouds, marble or veins command: far into the positive coordinates, so that
// objects of any ordinary size stay clear of the mirror image that truncation makes across 0.
Vec3f DrawNoiseOffset() {
  const float x = float(1000.0 + 64.0 * RandomUnit());
  const float y = float(1000.0 + 64.0 * RandomUnit());
  const float z = float(1000.0 + 64.0 * RandomUnit());
  return {x, y, z};
}

float CloudTurbulence(const Vec3f& offset, const Vec3f& p) {
  return Turbulence(offset.x + 0.01f * p.x, offset.y + 0.01f * p.y, offset.z + 0.01f * p.z, 0.5f,
                    0.01f);
}

// Marble's and veins' v: 0 along the middle of a vein (turbulence 0.5), 1 a twentieth away.
double VeinWeight(const Vec3f& offset, const Vec3f& p) {
  const double u = (double(CloudTurbulence(offset, p)) - 0.5) * 20.0;
  return std::min(std::fabs(u), 1.0);
}

std::array<float, 9> CurrentViewRotation(const SceneObject& object) {
  return ViewRotationMatrix(CurrentView(object).angles);
}

// What every command does once it has painted: its step, and the paint marked for the redraw.
void Finish(SceneObject& object, uint16_t code) {
  object.dirtyFlags = uint16_t(object.dirtyFlags | kDirtyPointPaint);
  RecordTaskStep(code);
}

// The marble and veins commands: weights from v.
template <class FromVein>
bool PaintVeins(SceneObject* object, uint16_t code, FromVein fromVein) {
  if (!Paintable(object, true)) return false;
  const Vec3f offset = DrawNoiseOffset();
  LayOver(*object, [&](size_t i) { return fromVein(VeinWeight(offset, object->points[i])); });
  Finish(*object, code);
  return true;
}

}  // namespace

bool PaintObject(SceneObject* object) {
  if (!Paintable(object, false)) return false;
  const Rgb16& paint = brushSettings.paintColour;
  const uint8_t r = uint8_t(paint.red >> 8), g = uint8_t(paint.green >> 8);
  const uint8_t b = uint8_t(paint.blue >> 8);
  const size_t count = size_t(object->pointCount);
  for (size_t i = 0; i < count; ++i) {
    ApplyMaskedColour(object->pointColors[i], MaskOf(*object, i), r, g, b);
  }
  brushSettings.alternateColour = brushSettings.paintColour;
  // The paint bit is added to what is already pending: clearing the other bits here would leave
  // derived data stale that a tool had marked before.
  Finish(*object, kStepPaintObject);
  return true;
}

bool AddNoise(SceneObject* object) {
  if (!Paintable(object, false)) return false;
  // One draw per point in index order, masked or not, so the same seed gives the same speckles.
  LayOver(*object, [](size_t) { return Toward(RandomUnit()); });
  Finish(*object, kStepAddNoise);
  return true;
}

bool AddClouds(SceneObject* object) {
  if (!Paintable(object, true)) return false;
  const Vec3f offset = DrawNoiseOffset();
  const std::array<float, 9> m = CurrentViewRotation(*object);
  LayOver(*object,
          [&](size_t i) { return Toward(CloudTurbulence(offset, Rotate(m, object->points[i]))); });
  Finish(*object, kStepAddClouds);
  return true;
}

bool AddMarble(SceneObject* object) {
  return PaintVeins(object, kStepAddMarble, [](double v) { return Weights{v, 1.0 - v}; });
}

bool AddVeins(SceneObject* object) {
  return PaintVeins(object, kStepAddVeins, [](double v) { return Weights{1.0 - v, v}; });
}

bool AddGradient(SceneObject* object) {
  if (!Paintable(object, true)) return false;
  const std::array<float, 9> m = CurrentViewRotation(*object);
  const size_t count = size_t(object->pointCount);
  auto height = [&](size_t i) {
    const Vec3f& p = object->points[i];
    return double(m[3] * p.x + m[4] * p.y + m[5] * p.z);
  };
  double ymin = 0, ymax = 0;
  for (size_t i = 0; i < count; ++i) {
    const double y = height(i);
    if (i == 0 || y < ymin) ymin = y;
    if (i == 0 || y > ymax) ymax = y;
  }
  double range = ymax - ymin;
  // A flat object (or one whose extent overflowed) gets t = 0 everywhere instead of a division
  // by zero.
  if (!(range > 0) || !std::isfinite(range)) range = 1;
  LayOver(*object, [&](size_t i) { return Toward((height(i) - ymin) / range); });
  Finish(*object, kStepAddGradient);
  return true;
}

namespace {

constexpr PaintCommand kPaintCommands[] = {
    {kStepPaintObject, kPaintObject, PaintObject},
    {kStepAddNoise, kPaintAddNoise, AddNoise},
    {kStepAddClouds, kPaintAddClouds, AddClouds},
    {kStepAddMarble, kPaintAddMarble, AddMarble},
    {kStepAddVeins, kPaintAddVeins, AddVeins},
    {kStepAddGradient, kPaintAddGradient, AddGradient},
};

// The view drawn afresh after a command, at full detail, and put on the screen.
void RedrawPaintedView(SceneObject* object) {
  SoftDrawOptions options = toolState.drawOptions;
  options.fullDetail = true;
  if (SoftDraw(object, options)) PresentToolFrame();
}

}  // namespace

std::span<const PaintCommand> PaintCommands() { return kPaintCommands; }

const PaintCommand* FindPaintCommand(uint16_t code) {
  for (const PaintCommand& command : kPaintCommands) {
    if (command.code == code) return &command;
  }
  return nullptr;
}

bool EnsurePaintable(SceneObject* object, SceneObject* undo, bool asking) {
  if (object == nullptr) return false;
  if (object->optics.isPainted != 0) return true;
  if (asking && !AskMessage(GetString(kAskMakePaintable))) return false;
  MakeObjectPaintable(object, undo);
  return object->optics.isPainted != 0;
}

bool RunPaintCommand(const PaintCommand& command, SceneObject* object, SceneObject* undo) {
  if (!command.run(object)) return false;
  CommitObjectChange(object, undo);
  RedrawPaintedView(object);
  return true;
}

bool ReplayPaintStep(uint16_t code, SceneObject* object, SceneObject* undo,
                     bool recordedInPaintRoom) {
  const PaintCommand* command = FindPaintCommand(code);
  if (command == nullptr || object == nullptr) return false;
  if (recordedInPaintRoom && object->optics.isPainted == 0) {
    (void)EnsurePaintable(object, undo, true);  // the command runs whatever the answer
    RedrawPaintedView(object);
  }
  (void)RunPaintCommand(*command, object, undo);  // a command that painted nothing is no failure
  return true;
}

}  // namespace tsv
