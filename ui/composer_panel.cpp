// composer_panel.cpp: the composer room's panels, keys and view.
#include "ui/composer_panel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "formats/picture_files.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "platform/preferences.h"
#include "platform/window.h"
#include "render/composer_frame.h"
#include "render/noise.h"
#include "render/render_state.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/trackball.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panels.h"
#include "ui/picture_save_dialog.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

constexpr float kCameraDistance = kComposerCameraDistance;
// Zoom positions per wheel step, and the zoom of a position, as in the modeling views.
constexpr float kZoomStep = 16.0f;

ProjectRecord& Project() { return nativeFiles.project; }

int ComposerPictureWidth() { return renderState.composerPicture.width; }
int ComposerPictureHeight() { return renderState.composerPicture.height; }
float ComposerOrthographicScale() { return renderState.composerPicture.orthographicScale; }

ObjectView& Camera() { return Project().composerViews[ComposerCameraIndex(Project())]; }

Rotation3 ObjectRotation(const SceneObject& object) {
  return ViewRotationMatrix({object.rotation.x, object.rotation.y, object.rotation.z});
}

// Pixels per scene unit at camera depth z (negative in front): the perspective's focal length
// over the distance, or the parallel camera's scale.
float PixelsPerUnit(const ObjectView& camera, int width, float z) {
  if (camera.mode != 0) return z < -1.0f ? float(width) * camera.zoom * 0.5f / -z : 0.0f;
  return camera.zoom * ComposerOrthographicScale();
}

// A drag of the placement area, of the light ball or of the camera, from its last point.
struct DragPoint {
  int x = 0, y = 0;
};

// The scene changed: the project is modified and the view shows a quick preview again.
void MarkChanged() {
  MarkProjectModified();
  ui.composerPreviewStale = true;
}

std::array<double, 9> ToDouble(const Rotation3& a) {
  std::array<double, 9> d{};
  for (size_t i = 0; i < 9; ++i) d[i] = double(a[i]);
  return d;
}

}  // namespace

// ------------------------------------------------------------------------------- projection

Vec3f ScenePointOf(const SceneObject& object, const Vec3f& point) {
  return Rotate(ComposerObjectMatrix(object), point) + object.position;
}

bool ProjectForCamera(const Vec3f& scene, int width, int height, PicturePosition& at) {
  const ObjectView& camera = Camera();
  const Vec3f offset{camera.offset[0], camera.offset[1], camera.offset[2]};
  Vec3f c = Rotate(ViewRotationMatrix(camera.angles), scene + offset);
  c.z -= kCameraDistance;
  if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
  float scale = 0;
  if (camera.mode != 0) {
    if (!(c.z < -1.0f)) return false;
    scale = float(width) * camera.zoom * 0.5f;
    at.depth = -1.0f / c.z;
    scale *= at.depth;
  } else {
    scale = camera.zoom * ComposerOrthographicScale();
    at.depth = c.z;
  }
  // x right and y up, as the modeling views show them.
  at.x = float(width) * 0.5f + c.x * scale;
  at.y = float(height) * 0.5f - c.y * scale;
  return std::isfinite(at.x) && std::isfinite(at.y);
}

SceneObject* ObjectAtPicturePoint(float x, float y, int width, int height) {
  SceneObject* best = nullptr;
  float nearest = -INFINITY;
  for (const auto& slot : scene.objectTable) {
    SceneObject* object = slot.get();
    if (object == nullptr || (object->ghostState & kGhosted) != 0) continue;
    const std::span<const Triangle> triangles = Triangles(*object);
    const size_t points = std::min(object->points.size(), size_t(std::max(object->pointCount, 0)));
    for (const Triangle& t : triangles) {
      if (t[0] >= points || t[1] >= points || t[2] >= points) continue;
      PicturePosition a, b, c;
      if (!ProjectForCamera(ScenePointOf(*object, object->points[t[0]]), width, height, a) ||
          !ProjectForCamera(ScenePointOf(*object, object->points[t[1]]), width, height, b) ||
          !ProjectForCamera(ScenePointOf(*object, object->points[t[2]]), width, height, c)) {
        continue;
      }
      // Barycentric weights of (x, y); either winding counts, so open surfaces pick from behind too.
      const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
      if (area == 0 || !std::isfinite(area)) continue;
      const float u = ((b.x - x) * (c.y - y) - (c.x - x) * (b.y - y)) / area;
      const float v = ((c.x - x) * (a.y - y) - (a.x - x) * (c.y - y)) / area;
      const float w = 1.0f - u - v;
      if (u < 0 || v < 0 || w < 0) continue;
      const float depth = u * a.depth + v * b.depth + w * c.depth;
      if (depth > nearest) {
        nearest = depth;
        best = object;
      }
    }
  }
  return best;
}

void MoveObjectInScene(SceneObject& object, int dx, int dy, uint16_t modifiers, int width, int height) {
  (void)height;
  ObjectView& camera = Camera();
  const Rotation3 c = ViewRotationMatrix(camera.angles);
  const Vec3f offset{camera.offset[0], camera.offset[1], camera.offset[2]};
  const float z = Rotate(c, object.position + offset).z - kCameraDistance;
  const float perPixel = PixelsPerUnit(camera, width, z);
  const float unit = perPixel > 0 && std::isfinite(perPixel) ? 1.0f / perPixel : 1.0f;
  if (modifiers & kAltBit) {
    object.scale = std::clamp(object.scale * std::exp2(-float(dy) / 100.0f), 0.001f, 1000.0f);
  } else if (modifiers & kControlBit) {
    // Turned as seen through the camera: the trackball turns the object's rotation in camera space.
    const Rotation3 seen = Multiply(c, ObjectRotation(object));
    std::array<float, 3> angles{};
    TrackballRotate(seen, angles, dx, dy);
    const Rotation3 turned = Multiply(Transposed(c), ViewRotationMatrix(angles));
    const std::array<float, 3> back = AnglesOfRotation(ToDouble(turned));
    object.rotation = {back[0], back[1], back[2]};
  } else if (modifiers & kShiftBit) {
    object.position = object.position + RotateInverse(c, Vec3f{0, 0, float(dy) * unit});
  } else {
    object.position = object.position + RotateInverse(c, Vec3f{float(dx) * unit, -float(dy) * unit, 0});
  }
  MarkChanged();
}

// --------------------------------------------------------------------------------- the panels

bool SceneItemEnabled(int item) {
  using namespace layout::SceneObjects;
  if (item == kPlacement || item == kGhost) return scene.currentObject != nullptr;
  return true;
}

bool SceneItemChecked(int item) {
  using namespace layout::SceneObjects;
  if (item == kGhost) return scene.currentObject != nullptr && (scene.currentObject->ghostState & kGhosted) != 0;
  if (item == kPerspective) return Camera().mode != 0;
  if (item >= kCamera1 && item <= kCamera7) return Project().cameraViewIndex == item - kCamera1;
  return false;
}

int SceneItemClick(int item, Rect) {
  using namespace layout::SceneObjects;
  if (item >= kCamera1 && item <= kCamera7) return ChooseCamera(item - kCamera1);
  switch (item) {
    case kGhost:
      if (scene.currentObject == nullptr) return 0;
      scene.currentObject->ghostState ^= kGhosted;
      MarkChanged();
      return kLoopRedrawViewFull;
    case kPerspective:
      Camera().mode = Camera().mode != 0 ? 0 : 1;
      MarkChanged();
      return kLoopRedrawViewFull;
    default: return 0;
  }
}

int SceneItemPress(const PlacedPanel& placed, const PanelItem& item, int phase) {
  using namespace layout::SceneObjects;
  if (item.id != kPlacement && item.id != kLight) return kNotMine;
  ComposerDrag& drag = ui.composerDrag;
  if (phase == kPhasePress) {
    if (item.id == kPlacement && scene.currentObject == nullptr) return 0;
    drag = ComposerDrag{item.id, input.mouseX, input.mouseY};
    // The drag steps come back to this item.
    ui.trackingMouse = true;
    ui.pressedPanel = LayoutOf(placed).number;
    ui.pressedItem = item.id;
    ui.pressedInside = true;
    return kLoopRedrawViewFull;
  }
  const int dx = input.mouseX - drag.lastX, dy = input.mouseY - drag.lastY;
  drag.lastX = input.mouseX;
  drag.lastY = input.mouseY;
  if (dx != 0 || dy != 0) {
    if (drag.item == kPlacement && scene.currentObject != nullptr) {
      MoveObjectInScene(*scene.currentObject, dx, dy, input.modifiers, ComposerPictureWidth(), ComposerPictureHeight());
    } else if (drag.item == kLight) {
      std::array<float, 3>& light = Project().lightAngles;
      TrackballRotate(ViewRotationMatrix(light), light, dx, dy);
      MarkChanged();
    }
  }
  if (phase != kPhaseDrag) {
    ui.trackingMouse = false;
    ui.pressedPanel = ui.pressedItem = 0;
    drag = ComposerDrag{};
    return kLoopRedrawViewFull;
  }
  return dx != 0 || dy != 0 ? kLoopRedrawViewFull : kLoopContinue;
}

bool RenderSettingsItemEnabled(int) { return true; }

bool RenderSettingsItemChecked(int item) {
  using namespace layout::RenderSettings;
  const ProjectRecord& p = Project();
  switch (item) {
    case kSupersampling: return p.supersampling != 0;
    case kShadows: return p.shadowsOn != 0;
    case kTextures: return p.texturesOn == 1;
    default: return false;
  }
}

int RenderSettingsItemClick(int item, Rect) {
  using namespace layout::RenderSettings;
  ProjectRecord& p = Project();
  switch (item) {
    case kSupersampling: p.supersampling = p.supersampling != 0 ? 0 : 1; break;
    case kShadows: p.shadowsOn = p.shadowsOn != 0 ? 0 : 1; break;
    case kTextures: p.texturesOn = p.texturesOn == 1 ? 0 : 1; break;
    case layout::RenderSettings::kFogAndSmoke: (void)RunFogDialog(); return kLoopRedrawViewFull;
    case kBackground: (void)RunBackgroundDialog(); return kLoopRedrawViewFull;
    default: return 0;
  }
  MarkChanged();
  return kLoopRedrawViewFull;
}

// ------------------------------------------------------------------------------- background

Dialog MakeBackgroundDialog() {
  constexpr int kWidth = 360, kMargin = 12;
  const ProjectRecord& p = Project();
  Dialog dialog;
  dialog.title = GetString(kUiBackgroundTitle);
  dialog.width = kWidth;
  dialog.height = 150;
  const auto withId = [&](int index, int id) { dialog.items[size_t(index)].id = id; };
  AddLabel(dialog, {kMargin, kMargin, 120, 22}, GetString(kUiBackgroundColour));
  withId(AddSwatch(dialog, {kMargin + 130, kMargin, 60, 22}, p.backgroundColor, GetString(kHoverBackgroundColour)),
         kBackgroundColourItem);
  withId(AddCheckBox(dialog, {kMargin, kMargin + 32, 200, 22}, GetString(kUiBackgroundPictureOn), p.backgroundPictureOn != 0,
                     GetString(kHoverBackgroundPictureOn)),
         kBackgroundPictureOnItem);
  withId(AddButton(dialog, {kMargin + 210, kMargin + 32, 126, 22}, GetString(kUiChoosePicture), ButtonRole::Command,
                   GetString(kHoverChooseBackground)),
         kBackgroundChooseItem);
  const std::string file = IsFileSpecSet(p.quorvelFile) ? FileNameOfPath(PathOfSpec(p.quorvelFile)) : GetString(kUiNoPicture);
  withId(AddLabel(dialog, {kMargin, kMargin + 62, kWidth - 2 * kMargin, 22}, file), kBackgroundFileItem);
  AddOkCancel(dialog);
  return dialog;
}

bool RunBackgroundDialog() {
  Dialog dialog = MakeBackgroundDialog();
  FileSpec chosen = Project().quorvelFile;
  dialog.onCommand = [&chosen](Dialog& d, int index) {
    if (d.items[size_t(index)].id != kBackgroundChooseItem) return;
    FileSpec spec = chosen;
    spec.typeCount = uint16_t(std::size(kOpenPictureTypes));
    std::copy(std::begin(kOpenPictureTypes), std::end(kOpenPictureTypes), spec.fileTypes);
    if (AskOpenFile(spec) != kNoError) return;
    chosen = spec;
    const int file = FindDialogItem(d, kBackgroundFileItem);
    if (file >= 0) d.items[size_t(file)].text = FileNameOfPath(PathOfSpec(spec));
    const int on = FindDialogItem(d, kBackgroundPictureOnItem);
    if (on >= 0) d.items[size_t(on)].checked = true;  // a picture just chosen is meant to be seen
  };
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  ProjectRecord& p = Project();
  if (const int colour = FindDialogItem(dialog, kBackgroundColourItem); colour >= 0) {
    p.backgroundColor = dialog.items[size_t(colour)].colour;
  }
  if (const int on = FindDialogItem(dialog, kBackgroundPictureOnItem); on >= 0) {
    p.backgroundPictureOn = dialog.items[size_t(on)].checked ? 1 : 0;
  }
  p.quorvelFile = chosen;
  MarkChanged();
  return true;
}

// --------------------------------------------------------------------------------- the view

Rect FittedPictureRect(Rect area, int width, int height) {
  if (width <= 0 || height <= 0 || area.width <= 0 || area.height <= 0) return {area.left, area.top, 0, 0};
  // The largest size of the picture's shape within the area, centred.
  int w = area.width, h = int(int64_t(area.width) * height / width);
  if (h > area.height) {
    h = area.height;
    w = int(int64_t(area.height) * width / height);
  }
  w = std::max(w, 1);
  h = std::max(h, 1);
  return {area.left + (area.width - w) / 2, area.top + (area.height - h) / 2, w, h};
}

int HandleComposerView(int phase, int mouseX, int mouseY) {
  ComposerDrag& drag = ui.composerDrag;
  const int width = ComposerPictureWidth(), height = ComposerPictureHeight();
  const Rect fit = FittedPictureRect(ui.composerViewRect, width, height);
  if (phase == kPhasePress) {
    if (input.space) {
      // Space+drag moves the camera: the scene follows the pointer.
      drag = ComposerDrag{-1, mouseX, mouseY};
      ui.trackingMouse = true;
      return 0;
    }
    if (fit.width <= 0) return 0;
    const float x = float(mouseX - fit.left) * float(width) / float(fit.width);
    const float y = float(mouseY - fit.top) * float(height) / float(fit.height);
    SceneObject* picked = ObjectAtPicturePoint(x, y, width, height);
    if (picked == nullptr) return 0;
    (void)SetCurrentObject(SlotOfObject(picked));  // a failure has been shown
    return kLoopRedrawViewFull;
  }
  if (drag.item != -1) {
    ui.trackingMouse = false;
    return 0;
  }
  const float toPicture = fit.width > 0 ? float(width) / float(fit.width) : 1.0f;
  const int dx = mouseX - drag.lastX, dy = mouseY - drag.lastY;
  drag.lastX = mouseX;
  drag.lastY = mouseY;
  if (dx != 0 || dy != 0) {
    ObjectView& camera = Camera();
    const Rotation3 c = ViewRotationMatrix(camera.angles);
    const float perPixel = PixelsPerUnit(camera, width, -kCameraDistance);
    const float unit = (perPixel > 0 && std::isfinite(perPixel) ? 1.0f / perPixel : 1.0f) * toPicture;
    const Vec3f moved = RotateInverse(c, Vec3f{float(dx) * unit, -float(dy) * unit, 0});
    camera.offset[0] += moved.x;
    camera.offset[1] += moved.y;
    camera.offset[2] += moved.z;
    MarkChanged();
  }
  if (phase != kPhaseDrag) {
    ui.trackingMouse = false;
    drag = ComposerDrag{};
    return kLoopRedrawViewFull;
  }
  return dx != 0 || dy != 0 ? kLoopRedrawViewFull : kLoopContinue;
}

// ------------------------------------------------------------------------- render and save

namespace {

// Renders the scene into the composer picture, each band shown as it lands. `quick` leaves out
// supersampling, shadows and fog (the preview while placing). The object current before stays
// current: the render packs and reorders the table and leaves none current.
int RenderScene(bool quick) {
  ProjectRecord& p = Project();
  const uint16_t supersampling = p.supersampling, shadows = p.shadowsOn, fog = p.fogAndSmokeOn;
  if (quick) {
    p.supersampling = 0;
    p.shadowsOn = 0;
    p.fogAndSmokeOn = 0;
  }
  SceneObject* current = scene.currentObject;
  ui.composerPreviewStale = false;
  // A full render shows each band as it lands; a quick one is shown when it is done.
  if (!quick) {
    renderState.composerBandStored = PresentComposerBand;
  }
  const int result = RenderComposerFrame();
  renderState.composerBandStored = nullptr;
  p.supersampling = supersampling;
  p.shadowsOn = shadows;
  p.fogAndSmokeOn = fog;
  if (current != nullptr && SlotOfObject(current) >= 0) (void)SetCurrentObject(SlotOfObject(current));
  return result;
}

}  // namespace

int RenderComposerPicture() {
  (void)RenderScene(false);  // a failure or a cancel has been shown; the bands done stay
  return kLoopRedrawViewFull;
}

int SaveComposerPicture() {
  const ComposerPicture& picture = renderState.composerPicture;
  return CommandSavePixels(picture.pixels, picture.width, picture.height, CountedToText(Project().projectName));
}

int AnimationItemClick(int item) {
  if (item == layout::Animation::kRender) return RenderComposerPicture();
  if (item == layout::Animation::kSavePicture) return SaveComposerPicture();
  return 0;
}

void PresentComposerBand(int, int) {
  if (mainWindow.frame.width == 0) return;
  DrawComposerView(mainWindow.frame);
  PresentFrame();
}

void DrawComposerView(Canvas& canvas) {
  const ComposerPicture& picture = renderState.composerPicture;
  FillRect(canvas, ui.composerViewRect, PixelOfColour(preferences.composerBackground));
  if (picture.width <= 0 || picture.height <= 0) return;
  if (ui.composerPreviewStale) (void)RenderScene(true);
  const Rect fit = FittedPictureRect(ui.composerViewRect, picture.width, picture.height);
  for (int y = 0; y < fit.height; ++y) {
    const int py = fit.top + y;
    if (py < 0 || py >= canvas.height) continue;
    const size_t sy = size_t(int64_t(y) * picture.height / fit.height);
    for (int x = 0; x < fit.width; ++x) {
      const int px = fit.left + x;
      if (px < 0 || px >= canvas.width) continue;
      const size_t sx = size_t(int64_t(x) * picture.width / fit.width);
      canvas.pixels[size_t(py) * size_t(canvas.width) + size_t(px)] = picture.pixels[sy * size_t(picture.width) + sx] & 0xFFFFFF;
    }
  }
}

// ---------------------------------------------------------------------------------- cameras

int ChooseCamera(int index) {
  if (index < 0 || index >= kComposerViewCount) return -1;
  Project().cameraViewIndex = uint16_t(index);
  MarkChanged();
  return kLoopRedrawViewFull;
}

int ZoomCamera(int steps) {
  ObjectView& camera = Camera();
  camera.zoom = ZoomFromPosition(PositionFromZoom(camera.zoom) + kZoomStep * float(steps));
  MarkChanged();
  return kLoopRedrawViewFull;
}

}  // namespace tsv

namespace tsv {
namespace {

// ------------------------------------------------------------------------------ fog and smoke

enum FogItemId : int {
  kFogOnItem = 1, kFogColourItem, kFogStartItem, kFogStrengthItem, kFogFalloffItem, kSmokeStrengthItem,
  kSmokeDensityItem, kSmokeContrastItem, kSmokeSeedItem, kSmokeDetailItem, kFogPreviewItem,
};
constexpr int kFogPreviewSide = 100;

struct FogField {
  int id;
  StringId label, hover;
  double minimum, maximum;
  int decimals;
};
constexpr FogField kFogFields[] = {
    {kFogStartItem, kFogStart, kHoverFogStart, 0, 32000, 1},
    {kFogStrengthItem, kFogStrength, kHoverFogStrength, 0, 256, 1},
    {kFogFalloffItem, kFogFalloff, kHoverFogFalloff, 0, 3200, 1},
    {kSmokeStrengthItem, kFogStrength, kHoverSmokeStrength, 0, 100, 1},
    {kSmokeDensityItem, kSmokeDensity, kHoverSmokeDensity, 0.001, 1, 3},
    {kSmokeContrastItem, kToolContrast, kHoverSmokeContrast, 0.001, 10, 3},
    {kSmokeSeedItem, kSmokeRandomSeed, kHoverSmokeSeed, 0, 100, 1},
    {kSmokeDetailItem, kSmokeDetail, kHoverSmokeDetail, 1, 10, 0},
};

// The dialog's values as a project would hold them.
void ReadFogValues(const Dialog& d, ProjectRecord& p) {
  const auto number = [&](int id, double fallback) {
    const int index = FindDialogItem(d, id);
    if (index < 0) return fallback;
    const DialogItem& item = d.items[size_t(index)];
    // While a field is being edited its text leads; a text that is no number keeps the value.
    char* end = nullptr;
    const double typed = std::strtod(item.text.c_str(), &end);
    const double value = end != item.text.c_str() && std::isfinite(typed) ? typed : item.number;
    return std::clamp(value, item.minimum, item.maximum);
  };
  FogSmokeSettings& f = p.fogSmoke;
  f.fogStart = float(number(kFogStartItem, f.fogStart));
  f.fogStrength = float(number(kFogStrengthItem, f.fogStrength));
  f.fogFalloff = float(number(kFogFalloffItem, f.fogFalloff));
  f.smokeStrength = float(number(kSmokeStrengthItem, f.smokeStrength));
  f.smokeDensity = float(number(kSmokeDensityItem, f.smokeDensity));
  f.smokeContrast = float(number(kSmokeContrastItem, f.smokeContrast));
  f.smokeRandomSeed = float(number(kSmokeSeedItem, f.smokeRandomSeed));
  p.smokeDetail = uint16_t(std::lround(number(kSmokeDetailItem, p.smokeDetail)));
  if (const int colour = FindDialogItem(d, kFogColourItem); colour >= 0) p.fogColor = d.items[size_t(colour)].colour;
  if (const int on = FindDialogItem(d, kFogOnItem); on >= 0) p.fogAndSmokeOn = d.items[size_t(on)].checked ? 1 : 0;
}

// The preview: a grey sphere of radius 30 in the middle of 100 x 100 pixels, 2000 units away
// and bulging 1000 units towards the camera, before the background colour far behind, under the
// fog and smoke of `values`. Runs on its own thread: it reads only its copy of the values and
// writes only `pixels`, and gives up as soon as `stop` is set.
void DrawFogPreview(const FogAndSmoke& values, uint32_t background, std::vector<uint32_t>& pixels,
                    const std::atomic<bool>& stop) {
  std::vector<float> depth(size_t(kFogPreviewSide) * kFogPreviewSide);
  pixels.assign(size_t(kFogPreviewSide) * kFogPreviewSide, background);
  for (int y = 0; y < kFogPreviewSide; ++y) {
    for (int x = 0; x < kFogPreviewSide; ++x) {
      const float dx = float(x) + 0.5f - 50.0f, dy = float(y) + 0.5f - 50.0f;
      const float r2 = dx * dx + dy * dy;
      const size_t i = size_t(y) * kFogPreviewSide + size_t(x);
      if (r2 >= 900.0f) {
        depth[i] = kEmptyComposerDepth;
        continue;
      }
      const float bulge = std::sqrt(900.0f - r2);
      depth[i] = -2000.0f - 33.333f * bulge;
      // Lit from the upper left.
      const float light = std::clamp((-0.5f * dx - 0.5f * dy + 0.7f * bulge) / 30.0f, 0.0f, 1.0f);
      const uint32_t grey = uint32_t(60.0f + 180.0f * light);
      pixels[i] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
    }
  }
  ComposerBand band;
  band.colour = pixels.data();
  band.depth = depth.data();
  band.width = band.pictureWidth = kFogPreviewSide;
  band.rows = band.pictureHeight = kFogPreviewSide;
  FogAndSmoke flat = values;
  flat.perspective = false;  // the depths above are distances
  (void)FogAndSmokePass(band, flat, &stop);  // a stopped preview is thrown away
}

// The preview thread of the dialog: started again whenever a value changes; stopped and joined
// before the dialog's values are applied or thrown away.
struct FogPreview {
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  std::vector<uint32_t> pixels;  // the thread's own
  Canvas shown;                  // what the dialog shows, copied from `pixels` once done

  void Stop() {
    stop = true;
    if (thread.joinable()) thread.join();
    stop = false;
  }
  void Start(const FogAndSmoke& values, uint32_t background) {
    Stop();
    done = false;
    thread = std::thread([this, values, background] {
      DrawFogPreview(values, background, pixels, stop);
      if (!stop) done = true;
    });
  }
  // Takes a finished preview into the shown picture; true when there was one.
  bool Take() {
    if (!done) return false;
    Stop();  // finished: the join is immediate
    done = false;
    ResizeCanvas(shown, kFogPreviewSide, kFogPreviewSide);
    for (size_t i = 0; i < pixels.size() && i < shown.pixels.size(); ++i) shown.pixels[i] = pixels[i] & 0xFFFFFF;
    return true;
  }
  ~FogPreview() { Stop(); }
};

}  // namespace

Dialog MakeFogDialog(const Canvas* preview) {
  constexpr int kMargin = 12, kColumn = 230, kLabel = 110, kField = 96, kRow = 28;
  const ProjectRecord& p = Project();
  Dialog dialog;
  dialog.title = GetString(kFogAndSmoke);
  dialog.width = 2 * kMargin + 2 * kColumn + kFogPreviewSide + 12;
  dialog.height = 262;
  const auto withId = [&](int index, int id) { dialog.items[size_t(index)].id = id; };
  withId(AddCheckBox(dialog, {kMargin, kMargin, 200, 22}, GetString(kUiFogOn), p.fogAndSmokeOn != 0, GetString(kHoverFogOn)),
         kFogOnItem);
  AddGroup(dialog, {kMargin, kMargin + 30, kColumn - 8, 4 * kRow + 30}, GetString(kUiFogGroup));
  AddGroup(dialog, {kMargin + kColumn, kMargin + 30, kColumn - 8, 5 * kRow + 30}, GetString(kUiSmokeGroup));
  const FogSmokeSettings& f = p.fogSmoke;
  const double values[] = {f.fogStart, f.fogStrength, f.fogFalloff, f.smokeStrength, f.smokeDensity,
                           f.smokeContrast, f.smokeRandomSeed, double(p.smokeDetail)};
  for (size_t n = 0; n < std::size(kFogFields); ++n) {
    const FogField& field = kFogFields[n];
    const bool smoke = n >= 3;
    const int left = kMargin + (smoke ? kColumn : 0) + 10;
    const int top = kMargin + 52 + int(smoke ? n - 3 : n) * kRow;
    AddLabel(dialog, {left, top, kLabel, 22}, GetString(field.label), {}, GetString(field.hover));
    const double value = std::isfinite(values[n]) ? std::clamp(values[n], field.minimum, field.maximum) : field.minimum;
    withId(AddNumberField(dialog, {left + kLabel, top, kField, 22}, value, field.minimum, field.maximum, field.decimals,
                          GetString(field.hover)),
           field.id);
  }
  // The fog colour under the fog's fields.
  const int colourTop = kMargin + 52 + 3 * kRow;
  AddLabel(dialog, {kMargin + 10, colourTop, kLabel, 22}, GetString(kUiFogColour), {}, GetString(kHoverFogColour));
  withId(AddSwatch(dialog, {kMargin + 10 + kLabel, colourTop, kField, 22}, p.fogColor, GetString(kHoverFogColour)),
         kFogColourItem);
  withId(AddPicture(dialog, {kMargin + 2 * kColumn, kMargin + 38, kFogPreviewSide + 2, kFogPreviewSide + 2}, preview,
                    GetString(kHoverFogPreview)),
         kFogPreviewItem);
  AddOkCancel(dialog);
  return dialog;
}

bool RunFogDialog() {
  FogPreview preview;
  ResizeCanvas(preview.shown, kFogPreviewSide, kFogPreviewSide, PixelOfColour(Project().backgroundColor));
  Dialog dialog = MakeFogDialog(&preview.shown);
  const uint32_t background = PixelOfColour(Project().backgroundColor);
  EnsureNoiseLattice();  // filled here, so the preview thread only reads it
  const auto restart = [&preview, background](const Dialog& d) {
    ProjectRecord values = Project();
    ReadFogValues(d, values);
    preview.Start(FogAndSmokeOfProject(values, false), background);
  };
  restart(dialog);
  dialog.onChange = [&restart](Dialog& d, int) { restart(d); };
  dialog.onIdle = [&preview](Dialog&) { return preview.Take(); };
  const DialogResult result = RunDialog(dialog);
  preview.Stop();  // the thread is gone before the values are applied or thrown away
  if (result.role == ButtonRole::Cancel) return false;
  ReadFogValues(dialog, Project());
  MarkChanged();
  return true;
}

}  // namespace tsv
