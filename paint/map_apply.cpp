// map_apply.cpp: the relief from the grey map.
//
// Like the two-end deformation tools (and from the same start, StartDeformRun), the preparation
// keeps in deformLow each point's starting view position and in deformHigh its change toward the
// outward end (the outward end minus the start; the inward end is the start minus it). A pass at
// amount a sets start + change x (a - 128) / 128, which is the blend low x (1 - t) + high x t of
// the two ends with t = a / 256, and gives the starting position bit for bit at 128. Nothing is
// allocated once the drag runs.
#include "paint/map_apply.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "paint/paint_state.h"
#include "platform/events.h"
#include "platform/relative_drag.h"
#include "platform/string_ids.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/deform_run.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"

namespace tsv {

StringId MapApplyName(int kind) {
  switch (kind) {
    case kMapFlat: return kPaintMapApplyFlat;
    case kMapCylindric: return kPaintMapApplyCylindric;
    case kMapSpheric: return kPaintMapApplySpheric;
    default: return kPaintMapApply;
  }
}

int MapGrey(uint8_t byte, int brightness, int contrast) {
  const int c = 256 - std::clamp(contrast, 0, 256);
  const int g = int(byte) + std::clamp(brightness, 0, 256) - 128;
  if (g >= 128) return 255 - (((255 - std::min(g, 255)) * c) >> 8);
  return (std::max(g, 0) * c) >> 8;
}

namespace {

constexpr double kPi = std::numbers::pi;

// A coordinate truncated toward zero and kept within 0..count - 1 (a NaN lands on 0).
int CellIndex(double value, int count) {
  if (!(value > 0)) return 0;
  if (value >= double(count - 1)) return count - 1;
  return int(value);
}

// The column of the angle around the vertical axis: the middle faces the viewer (+z), the left
// half lies toward -x, both edges at the back.
double AroundColumn(double x, double z, int width) {
  const double rh = std::sqrt(x * x + z * z);
  if (rh == 0 || !std::isfinite(rh)) return width / 2;
  const double a = std::acos(std::clamp(z / rh, -1.0, 1.0));
  return x < 0 ? width * (1.0 - a / kPi) / 2.0 : width * (1.0 + a / kPi) / 2.0;
}

// (top - value) or (value - left) spread over `count` cells by the frame's extent; a frame
// without extent puts everything into the first cell.
double Spread(double fromEdge, double extent, int count) {
  return extent > 0 ? fromEdge * count / extent : 0.0;
}

double FlatRow(double y, const MapFrame& frame, int height) {
  return Spread(double(frame.ymax) - y, double(frame.ymax) - frame.ymin, height);
}

}  // namespace

MapCell MapCellOf(int kind, const Vec3f& p, const MapFrame& frame, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  double column = 0, row = 0;
  switch (kind) {
    case kMapCylindric:
      column = AroundColumn(p.x, p.z, width);
      row = FlatRow(p.y, frame, height);
      break;
    case kMapSpheric: {
      const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
      if (r == 0 || !std::isfinite(r)) {
        column = width / 2;
        row = height / 2;
        break;
      }
      // Kept off the poles: straight up reads the top row, not a row above it.
      const double s = std::clamp(-double(p.y) / r, -0.99995, 0.99995);
      row = height * (0.5 + std::asin(s) / kPi);
      column = AroundColumn(p.x, p.z, width);
      break;
    }
    default:
      column = Spread(double(p.x) - frame.xmin, double(frame.xmax) - frame.xmin, width);
      row = FlatRow(p.y, frame, height);
      break;
  }
  return {CellIndex(column, width), CellIndex(row, height)};
}

namespace {

bool KnownKind(int kind) {
  return kind == kMapFlat || kind == kMapCylindric || kind == kMapSpheric;
}

// Everything a pass needs, worked out once: the run the deformation tools start from (the view
// positions brought up to date in the current view, the extents, the mask), each point's cell and
// grey value, and the two ends (the start in run.low, the change in run.high). False when the
// relief cannot be raised (nothing is changed then).
bool PrepareMapApply(SceneObject* object, SceneObject* undo, int kind, DeformRun& run) {
  const GreyMap& map = paintState.map;
  if (object == nullptr || !HasGreyMap(map) || !KnownKind(kind)) return false;
  if (!StartDeformRun(object, undo, run) || run.count == 0) return false;

  const double width = double(run.xmax) - run.xmin, height = double(run.ymax) - run.ymin;
  const double depth = double(run.zmax) - run.zmin;
  // Flat divides by both extents; the other kinds measure their rows by the height too.
  if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height) ||
      !std::isfinite(depth)) {
    return false;
  }
  const double halfExtent = 0.5 * std::max({width, height, depth});
  const MapFrame frame{run.xmin, run.xmax, run.ymin, run.ymax};
  const int brightness = paintState.mapBrightness, contrast = paintState.mapContrast;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const MapCell cell = MapCellOf(kind, p, frame, map.width, map.height);
    const int grey = MapGrey(map.bytes[size_t(cell.row) * size_t(map.width) + size_t(cell.column)],
                             brightness, contrast);
    const double w = run.mask != nullptr ? run.mask[i] / 255.0 : 1.0;
    const double k = grey * w / 512.0;
    Vec3f change;
    switch (kind) {
      case kMapFlat: change = {0.0f, 0.0f, float(k * halfExtent)}; break;
      case kMapCylindric: change = {float(p.x * k), 0.0f, float(p.z * k)}; break;
      default: change = {float(p.x * k), float(p.y * k), float(p.z * k)}; break;
    }
    run.low[i] = p;
    run.high[i] = change;
  }
  return true;
}

void PassMapApply(const DeformRun& run, int amount) {
  const float s = float(amount - kMapApplyNeutral) / float(kMapApplyNeutral);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.low[i];
    const Vec3f& d = run.high[i];
    PointWork& w = run.work[i];
    w.vx = p.x + d.x * s;
    w.vy = p.y + d.y * s;
    w.vz = p.z + d.z * s;
  }
}

int ReadoutOf(int amount) { return ((amount - kMapApplyNeutral) * 200) >> 8; }

}  // namespace

bool MapApply(SceneObject* object, SceneObject* undo, int16_t kind, int16_t amount) {
  const bool interactive = kind == kAmountInteractive;
  const int mapping = interactive ? paintState.mappingKind : kind;
  DeformRun run;
  if (!PrepareMapApply(object, undo, mapping, run)) {
    WaitForMouseRelease();
    return false;
  }
  if (!interactive) {
    PassMapApply(run, std::clamp(int(amount), 0, 256));
    RedrawAfterEdit(object, undo);
    return true;
  }

  FollowAmountDrag(
      AmountDrag{0, 256, kMapApplyNeutral}, object, undo, ReadoutOf,
      [&](int a, int) { PassMapApply(run, a); },
      [&](int a, int) { RecordTaskStep(kStepMapApply, int16_t(mapping), int16_t(a)); });
  return true;
}

bool RunMapApply(SceneObject* object, SceneObject* undo, int16_t kind, int16_t amount) {
  if (!MapApply(object, undo, kind, amount)) return false;
  CommitObjectChange(object, undo);
  return true;
}

}  // namespace tsv
