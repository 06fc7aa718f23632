// quorvel_panel.cpp: the Quorvels room's panel, its view's mouse and its view controls.
#include "ui/quorvel_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/counted_string.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/view_screen.h"
#include "scene/scene_object.h"
#include "tools/kelvane_view.h"
#include "tools/quorvels.h"
#include "ui/dialog.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/menus.h"
#include "ui/panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

constexpr int kSliderTop = 256;
constexpr float kStrengthReach = 50.0f;  // the strength slider's ends, -50 and 50
constexpr uint32_t kSetFileType = FourCC("MTBL");
// Zoom positions per step of the zoom keys and the wheel, as in the modeling views.
constexpr int kZoomStep = 16;
// The Kelvane zoom's exponent per slider position (the zoom doubles every 1 / this positions).
constexpr double kZoomPerPosition = 0.0179889;
// A fitted view shows the balls within this many pixels of its centre.
constexpr float kFittedRadius = 170.0f;
// A duplicate moves this many view units to the right of its original, so that it shows.
constexpr int kDuplicateOffset = 24;

Ball* SelectedBall() {
  QuorvelState& q = quorvelState;
  if (q.selected < 0 || size_t(q.selected) >= q.balls.size()) return nullptr;
  return &q.balls[size_t(q.selected)];
}

int Slider(double value) { return std::clamp(int(std::lround(value)), 0, kSliderTop); }

// The axis choices of the menu; -1 for an axis along none of them.
constexpr Vec3f kAxes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
int AxisChoice(const Ball& ball) {
  const Vec3f axis = Normalised(ball.axis);
  for (int a = 0; a < 3; ++a) {
    if (std::fabs(std::fabs(Dot(axis, kAxes[a])) - 1.0f) < 1e-6f) return a;
  }
  return -1;
}

int MakeMesh(MetaballMode mode) {
  // The progress box shows while it runs; a failure or a cancel has said what it needs to.
  if (GenerateMetaballMesh(mode, preferences.quorvelFinalResolution, true) != nullptr) SetCurrentRoom(1);
  return kLoopRedrawViewFull;
}

// Opens a set in place of the balls, as one step Undo takes back.
bool OpenSetInto(const FileSpec& spec) {
  BallListStep before = CurrentBallList();
  if (QuorvelFile(QuorvelCommand::Open, spec) != kNoError) return false;  // said why; the balls stay
  RememberBallList(std::move(before));
  RefreshQuorvelPreview();
  return true;
}

int OpenSet() {
  FileSpec spec;
  spec.fileTypes[0] = kSetFileType;
  spec.typeCount = 1;
  if (AskOpenFile(spec) != kNoError) return kLoopRedrawViewFull;  // cancelled
  (void)OpenSetInto(spec);  // a failure has been shown; the balls stay
  return kLoopRedrawViewFull;
}

int SaveSet() {
  FileSpec spec = FileSpecToSave(quorvelState.setFile, GetString(kNameUntitledQuorvels), kSetFileType);
  if (AskSaveFile(spec) != kNoError) return kLoopRedrawViewFull;  // cancelled
  (void)QuorvelFile(QuorvelCommand::Save, spec);  // a failure has been shown
  return kLoopRedrawViewFull;
}

// Kelvane zoom z of a zoom slider position: 10 at the far end, 0 at the near one.
float KelvaneZAtSlider(int value) { return 10.0f * (1.0f - float(std::clamp(value, 0, kSliderTop)) / 256.0f); }

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

// ----------------------------------------------------------------------------- the name dialog

Dialog MakeBallNameDialog(const Ball& ball) {
  constexpr int kWidth = 320, kMargin = 12;
  Dialog dialog;
  dialog.title = GetString(kUiBallNameTitle);
  dialog.width = kWidth;
  dialog.height = 96;
  const int field = AddTextField(dialog, {kMargin, kMargin, kWidth - 2 * kMargin, 22}, ball.name,
                                 GetString(kHoverQuorvelName), kMostBallNameBytes);
  dialog.items[size_t(field)].id = kBallNameField;
  AddOkCancel(dialog);
  return dialog;
}

bool AskBallName(Ball& ball) {
  Dialog dialog = MakeBallNameDialog(ball);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  const int field = FindDialogItem(dialog, kBallNameField);
  if (field < 0) return false;
  const std::string_view text = dialog.items[size_t(field)].text;
  if (text.find_first_not_of(" \t") == std::string_view::npos) return false;  // a blank name keeps the old one
  size_t length = std::min(text.size(), kMostBallNameBytes);
  while (length > 0 && length < text.size() && IsTrailByte(text[length])) --length;
  ball.name = std::string(text.substr(0, length));
  return true;
}

// ------------------------------------------------------------------------------ slider scales

int StrengthSlider(float strength) { return Slider(128.0 + double(strength) * 128.0 / kStrengthReach); }
float StrengthFromSlider(int value) { return float(std::clamp(value, 0, kSliderTop) - 128) * kStrengthReach / 128.0f; }
int RadiusSlider(float r1) { return r1 > 0 ? Slider(256.0 * std::log10(double(r1)) / 3.0) : 0; }
float RadiusFromSlider(int value) { return float(std::pow(10.0, 3.0 * std::clamp(value, 0, kSliderTop) / 256.0)); }
int AcrossSlider(float r2) { return r2 > 0 ? Slider(128.0 + 128.0 * std::log10(double(r2))) : 0; }
float AcrossFromSlider(int value) { return float(std::pow(10.0, (std::clamp(value, 0, kSliderTop) - 128) / 128.0)); }
int ThresholdSlider(int threshold) { return threshold > 0 ? Slider(128.0 * std::log10(double(threshold))) : 0; }
int ThresholdFromSlider(int value) {
  return int(std::lround(std::pow(10.0, std::clamp(value, 0, kSliderTop) / 128.0)));
}

// -------------------------------------------------------------------------------- the panel

bool BallsItemEnabled(int item) {
  using namespace layout::Balls;
  const bool selected = SelectedBall() != nullptr;
  switch (item) {
    case kDuplicate: case kDelete: case kStrength: case kRadius: case kAcross: case kAxis: case kName:
      return selected;
    case kNext: return !quorvelState.balls.empty();
    case kMesh: case kAtomize: case kSaveSet: return !quorvelState.balls.empty();
    default: return true;
  }
}

bool BallsItemChecked(int item) {
  if (item == layout::Balls::kPreview) return quorvelState.previewOn;
  if (item == layout::Balls::kRefine) return quorvelState.refine;
  return false;
}

int BallsItemValue(int item) {
  using namespace layout::Balls;
  if (item == kThreshold) return ThresholdSlider(quorvelState.threshold);
  const Ball* ball = SelectedBall();
  if (ball == nullptr) return 0;
  switch (item) {
    case kStrength: return StrengthSlider(ball->strength);
    case kRadius: return RadiusSlider(ball->r1);
    case kAcross: return AcrossSlider(ball->r2);
    default: return 0;
  }
}

void SetBallsItemValue(int item, int value) {
  using namespace layout::Balls;
  if (item == kThreshold) {
    quorvelState.threshold = int16_t(ThresholdFromSlider(value));
  } else if (Ball* ball = SelectedBall()) {
    if (item == kStrength) ball->strength = StrengthFromSlider(value);
    if (item == kRadius) ball->r1 = RadiusFromSlider(value);
    if (item == kAcross) ball->r2 = AcrossFromSlider(value);
  }
  RefreshQuorvelPreview();
}

bool BallsItemValueText(int item, int value, std::string& text) {
  using namespace layout::Balls;
  // The ball's own value where the slider stands on it, so that a value typed into a set file
  // shows as it is.
  const Ball* ball = SelectedBall();
  const bool own = ball != nullptr && value == BallsItemValue(item);
  switch (item) {
    case kStrength: text = Fixed(own ? ball->strength : StrengthFromSlider(value), 2); return true;
    case kRadius: {
      const float r1 = own ? ball->r1 : RadiusFromSlider(value);
      text = Fixed(r1, r1 < 10 ? 2 : r1 < 100 ? 1 : 0);
      return true;
    }
    case kAcross: text = Fixed(own ? ball->r2 : AcrossFromSlider(value), 2); return true;
    case kThreshold:
      text = std::to_string(value == ThresholdSlider(quorvelState.threshold) ? int(quorvelState.threshold)
                                                                              : ThresholdFromSlider(value));
      return true;
    default: return false;
  }
}

bool BallsItemText(int item, std::string& text) {
  using namespace layout::Balls;
  const Ball* ball = SelectedBall();
  if (item == kName) {
    text = ball != nullptr ? ball->name : std::string();
    return true;
  }
  if (item != kAxis || ball == nullptr) return false;
  static constexpr StringId kChoices[3] = {kUiAxisAlongX, kUiAxisAlongY, kUiAxisAlongZ};
  const int choice = AxisChoice(*ball);
  text = GetString(choice < 0 ? kUiAxisTurned : kChoices[choice]);
  return true;
}

int BallsItemClick(int item, Rect rect) {
  using namespace layout::Balls;
  QuorvelState& q = quorvelState;
  switch (item) {
    case kAdd: {
      // A new ball with the defaults, not a copy of the selected one.
      BallListStep before = CurrentBallList();
      q.selected = -1;
      if (AddBall()) {
        RememberBallList(std::move(before));
      } else {
        q.selected = before.selected;  // the list is full: it has been said
      }
      break;
    }
    case kDuplicate: {
      BallListStep before = CurrentBallList();
      if (!AddBall()) break;  // the list is full: it has been said
      MoveBallInView(q.selected, kDuplicateOffset, 0);
      RememberBallList(std::move(before));
      break;
    }
    case kDelete: return DeleteSelectedBall();
    case kNext:
      if (!q.balls.empty()) q.selected = (q.selected + 1) % int(q.balls.size());
      return kLoopRedrawViewFull;
    case kAxis: {
      Ball* ball = SelectedBall();
      if (ball == nullptr) return 0;
      const std::vector<std::string> entries{GetString(kUiAxisAlongX), GetString(kUiAxisAlongY), GetString(kUiAxisAlongZ)};
      const int chosen = PopUpMenu(entries, rect.left, rect.top + rect.height, AxisChoice(*ball));
      if (chosen < 0 || chosen > 2) return kLoopRedrawViewFull;
      RememberBallList(CurrentBallList());
      ball->axis = kAxes[chosen];
      break;
    }
    case kName:
      if (Ball* ball = SelectedBall()) {
        BallListStep before = CurrentBallList();
        if (AskBallName(*ball)) RememberBallList(std::move(before));  // Cancel keeps the name
      }
      return kLoopRedrawViewFull;
    case kMesh: return MakeMesh(MetaballMode::Kelvane);
    case kAtomize: return MakeMesh(MetaballMode::Atomize);
    case kPreview:
      q.previewOn = !q.previewOn;
      break;
    case kRefine:
      q.refine = !q.refine;
      return kLoopRedrawViewFull;
    case kOpenSet: return OpenSet();
    case kSaveSet: return SaveSet();
    default: return 0;
  }
  RefreshQuorvelPreview();
  return kLoopRedrawViewFull;
}

int BallsItemPress(int item, int phase) {
  using namespace layout::Balls;
  // A press on a slider of the selected ball starts an edit that Undo takes back as one step.
  if (phase == kPhasePress && SelectedBall() != nullptr && (item == kStrength || item == kRadius || item == kAcross)) {
    RememberBallList(CurrentBallList());
  }
  return kNotMine;
}

int UndoBallStep() {
  if (!UndoBallEdit()) return kLoopContinue;
  RefreshQuorvelPreview();
  return kLoopRedrawViewFull;
}

int RedoBallStep() {
  if (!RedoBallEdit()) return kLoopContinue;
  RefreshQuorvelPreview();
  return kLoopRedrawViewFull;
}

void RefreshQuorvelPreview() {
  QuorvelState& q = quorvelState;
  if (!q.previewOn) {
    q.preview = MetaballPreview{};
    return;
  }
  // No surface leaves the preview empty: the view then shows the balls themselves.
  (void)PreviewMetaballMesh(preferences.quorvelRealtimeResolution);
}

int DeleteSelectedBall() {
  if (SelectedBall() == nullptr) return kLoopContinue;
  RememberBallList(CurrentBallList());
  DeleteBall();
  RefreshQuorvelPreview();
  return kLoopRedrawViewFull;
}

// --------------------------------------------------------------------------------- the view

int HandleKelvaneView(int phase, int mouseX, int mouseY) {
  KelvaneDrag& drag = ui.kelvaneDrag;
  int x = 0, y = 0;
  ScreenToView(ViewOnScreen(), mouseX, mouseY, x, y);
  if (phase == kPhasePress) {
    drag = KelvaneDrag{};
    drag.lastX = x;
    drag.lastY = y;
    drag.ball = KelvaneBallAt(x, y);
    if (drag.ball >= 0) {
      drag.before = CurrentBallList();
      quorvelState.selected = drag.ball;
      drag.mode = (input.modifiers & kShiftBit)     ? KelvaneDragMode::Scale
                  : (input.modifiers & kControlBit) ? KelvaneDragMode::Turn
                                                    : KelvaneDragMode::Move;
    } else {
      drag.mode = KelvaneDragMode::TurnView;
    }
    ui.trackingMouse = true;
    return kLoopRedrawViewFull;
  }
  const int dx = x - drag.lastX, dy = y - drag.lastY;
  drag.lastX = x;
  drag.lastY = y;
  const bool release = phase != kPhaseDrag;
  if (release) ui.trackingMouse = false;
  if (dx != 0 || dy != 0) {
    drag.moved = true;
    switch (drag.mode) {
      case KelvaneDragMode::Move: MoveBallInView(drag.ball, dx, dy); break;
      case KelvaneDragMode::Scale: ScaleBallInView(drag.ball, dx, dy); break;
      case KelvaneDragMode::Turn: TurnBallAxisInView(drag.ball, dx, dy); break;
      case KelvaneDragMode::TurnView: TurnKelvaneView(dx, dy); break;
      case KelvaneDragMode::None: break;
    }
    if (drag.mode != KelvaneDragMode::TurnView) RefreshQuorvelPreview();
  }
  if (release) {
    // A click beside every ball clears the selection; a ball dragged is one step for Undo.
    if (drag.mode == KelvaneDragMode::TurnView && !drag.moved) quorvelState.selected = -1;
    if (drag.mode != KelvaneDragMode::TurnView && drag.moved) RememberBallList(std::move(drag.before));
    drag = KelvaneDrag{};
    return kLoopRedrawViewFull;
  }
  return dx != 0 || dy != 0 ? kLoopRedrawViewFull : kLoopContinue;
}

// ------------------------------------------------------------------------- the view controls

int ChooseKelvaneView(int view) {
  if (view < 0 || view > 6) return -1;
  quorvelState.view.angles = DefaultObjectView(view).angles;
  return kLoopRedrawViewFull;
}

int KelvaneZoomSlider() { return Slider(256.0 * (1.0 - double(quorvelState.view.zoom) / 10.0)); }

void SetKelvaneZoomSlider(int value) { quorvelState.view.zoom = KelvaneZAtSlider(value); }

float KelvaneZoomAtSlider(int value) { return KelvaneViewZoom(KelvaneZAtSlider(value)); }

int StepKelvaneZoom(int steps) {
  SetKelvaneZoomSlider(KelvaneZoomSlider() + kZoomStep * steps);
  return kLoopRedrawViewFull;
}

int FrameKelvaneBalls() {
  const QuorvelState& q = quorvelState;
  if (q.balls.empty()) return -1;
  float reach = 0;
  for (const Ball& ball : q.balls) {
    const float radius = BallDisplayFactor(ball, float(q.threshold)) * ball.r1 * std::max(1.0f, ball.r2);
    reach = std::max(reach, (Length(ball.centre) + radius) * kMetaballObjectScale);
  }
  if (!(reach > 0) || !std::isfinite(reach)) return -1;
  // zoom = 0.08 x 2^(position x 0.0179889), the position of the slider.
  const double position = std::log2(double(kFittedRadius / reach) / 0.08) / kZoomPerPosition;
  quorvelState.view.zoom = KelvaneZAtSlider(int(std::lround(std::clamp(position, 0.0, double(kSliderTop)))));
  quorvelState.view.centerX = quorvelState.view.centerY = 200;
  return kLoopRedrawViewFull;
}

std::string KelvaneTitle() {
  const QuorvelState& q = quorvelState;
  const std::string name = IsFileSpecSet(q.setFile) ? FileNameOfPath(PathOfSpec(q.setFile)) : GetString(kNameUntitledQuorvels);
  return FormatString(kUiKelvaneTitle, {name, std::to_string(q.balls.size())});
}

bool DrawKelvane() {
  SoftDrawOptions options;
  options.texturedObjects = false;
  options.depthView = ui.depthView;
  options.fullDetail = true;
  options.renderer = uint8_t(preferences.rendererWord & 0xFF);
  return DrawKelvaneView(options);
}

bool OpenQuorvelSetFile(const std::string& path) {
  if (!OpenSetInto(FileSpecForPath(path, kSetFileType))) return false;
  SetCurrentRoom(kQuorvelsRoomNumber);
  return true;
}

}  // namespace tsv
