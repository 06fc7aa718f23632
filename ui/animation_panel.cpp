// animation_panel.cpp: the key buttons, the animation command and its dialog.
#include "ui/animation_panel.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "composer/movie_player.h"
#include "composer/write_animation.h"
#include "formats/picture.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/scene_state.h"
#include "ui/composer_panel.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panel_table.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

enum AnimateItemId : int {
  kFpsItem = 1,
  kLengthChoiceItem,
  kTimeItem,
  kFramesItem,
  kOthersItem,
  kForthAndBackItem,
  kMethodItem,
  kSizeItem,
  kPositionItem,
  kRotationItem,
  kOpticsItem,
  kTextureItem,
  kFogItem,
  kLightItem,
  kCompressionItem,
  kQualityItem,
  kTransparentItem,
  kInterlacedItem,
  kDitheredItem,
};

constexpr int kTransitionItems[] = {kSizeItem, kPositionItem, kRotationItem, kOpticsItem, kTextureItem, kFogItem, kLightItem};

DialogItem* ItemOf(Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

// The length field that the radio choice does not name is greyed; the GIF's options only with the
// GIF chosen, the qualities only with a movie; the frame rate a GIF can show is 1..100 (a delay of
// whole hundredths), a movie's 1..600.
void FollowAnimateChoices(Dialog& dialog) {
  const DialogItem* choice = ItemOf(dialog, kLengthChoiceItem);
  const bool byFrames = choice != nullptr && choice->selected == 1;
  if (DialogItem* time = ItemOf(dialog, kTimeItem)) time->enabled = !byFrames;
  if (DialogItem* frames = ItemOf(dialog, kFramesItem)) frames->enabled = byFrames;
  const DialogItem* compression = ItemOf(dialog, kCompressionItem);
  const bool gif = compression == nullptr || compression->selected <= 0;
  for (int id : {kTransparentItem, kInterlacedItem, kDitheredItem})
    if (DialogItem* item = ItemOf(dialog, id)) item->enabled = gif;
  if (DialogItem* quality = ItemOf(dialog, kQualityItem)) quality->enabled = !gif;
  if (DialogItem* fps = ItemOf(dialog, kFpsItem)) {
    fps->maximum = gif ? kMaxGifFramesPerSecond : kMaxMovieFramesPerSecond;
    if (fps->number > fps->maximum) {
      fps->number = fps->maximum;
      fps->text = FormatNumber(fps->number, 0);
    }
  }
}

}  // namespace

Dialog MakeAnimateDialog(const std::vector<MovieEncoder>& encoders, const PictureSaveOptions& gifOptions) {
  constexpr int kMargin = 12, kLeft = 296, kRight = kMargin + kLeft + 14, kColumn = 262;
  Dialog dialog;
  dialog.title = GetString(kUiAnimate);
  while (!dialog.title.empty() && dialog.title.back() == '.') dialog.title.pop_back();  // "Animate..." names the command
  dialog.width = kRight + kColumn + kMargin;
  dialog.height = 392;
  auto withId = [&](int index, int id) { dialog.items[size_t(index)].id = id; };

  AddLabel(dialog, {kMargin, kMargin, 110, 22}, GetString(kAnimFps));
  withId(AddNumberField(dialog, {kMargin + 140, kMargin, 80, 22}, 15, 1, kMaxGifFramesPerSecond, 0, GetString(kHoverAnimFps)),
         kFpsItem);
  withId(AddRadioGroup(dialog, {kMargin, kMargin + 32, 130, 52}, {GetString(kAnimTotalTime), GetString(kAnimTotalFrames)}, 0,
                       GetString(kHoverAnimLength)),
         kLengthChoiceItem);
  withId(AddNumberField(dialog, {kMargin + 140, kMargin + 32, 80, 22}, 2.0, 0.1, 100000, 1, GetString(kHoverAnimTime)),
         kTimeItem);
  withId(AddNumberField(dialog, {kMargin + 140, kMargin + 60, 80, 22}, 30, 1, 1000000, 0, GetString(kHoverAnimFrames)),
         kFramesItem);
  withId(AddCheckBox(dialog, {kMargin, kMargin + 96, kColumn, 22}, GetString(kAnimRenderOthers), true,
                     GetString(kHoverAnimOthers)),
         kOthersItem);
  withId(AddCheckBox(dialog, {kMargin, kMargin + 122, kColumn, 22}, GetString(kAnimForthAndBack), false,
                     GetString(kHoverAnimForthAndBack)),
         kForthAndBackItem);
  AddLabel(dialog, {kMargin, kMargin + 152, 110, 22}, GetString(kAnimMethod));
  withId(AddRadioGroup(dialog, {kMargin, kMargin + 174, kColumn, 22},
                       {GetString(kAnimSharp), GetString(kAnimGentle), GetString(kToolSmooth)}, kMethodSmooth,
                       GetString(kHoverAnimMethod), 3),
         kMethodItem);
  AddGroup(dialog, {kMargin, kMargin + 208, kLeft, 124}, GetString(kAnimTransition));
  const StringId transitions[] = {kAnimSize, kAnimPosition, kAnimRotation, kAnimOpticParameters, kAnimTextureParameters,
                                  kFogAndSmoke, kAnimLight};
  for (size_t i = 0; i < std::size(transitions); ++i) {
    const int column = int(i % 2), row = int(i / 2);
    withId(AddCheckBox(dialog, {kMargin + 8 + column * 142, kMargin + 226 + row * 24, 140, 22}, GetString(transitions[i]),
                       true, GetString(kHoverAnimTransition)),
           kTransitionItems[i]);
  }

  AddLabel(dialog, {kRight, kMargin, kColumn, 22}, GetString(kAnimCompression));
  std::vector<std::string> rows;
  for (const MovieEncoder& encoder : encoders) {
    rows.push_back(encoder.outputType == kAnimatedGifOutputType ? GetString(kAnimAnimatedGif) : encoder.longName);
  }
  withId(AddList(dialog, {kRight, kMargin + 24, kColumn, 124}, rows, 0, GetString(kHoverAnimCompression)), kCompressionItem);
  AddLabel(dialog, {kRight, kMargin + 156, kColumn, 22}, GetString(kAnimQuality));
  std::vector<std::string> qualities;
  int normal = 0;
  for (const MovieQualityChoice& choice : MovieQualityChoices()) {
    if (choice.quality == kQualityNormal) normal = int(qualities.size());
    qualities.push_back(GetString(choice.label));
  }
  withId(AddRadioGroup(dialog, {kRight, kMargin + 178, kColumn, 52}, qualities, normal, GetString(kHoverAnimQuality), 3),
         kQualityItem);
  AddGroup(dialog, {kRight, kMargin + 240, kColumn, 92}, GetString(kAnimAnimatedGif));
  withId(AddCheckBox(dialog, {kRight + 8, kMargin + 258, 200, 22}, GetString(kAnimTransparent), gifOptions.includeAlpha,
                     GetString(kHoverAnimTransparent)),
         kTransparentItem);
  withId(AddCheckBox(dialog, {kRight + 8, kMargin + 282, 200, 22}, GetString(kPictureInterlaced), gifOptions.interlaced,
                     GetString(kHoverAnimInterlaced)),
         kInterlacedItem);
  withId(AddCheckBox(dialog, {kRight + 8, kMargin + 306, 200, 22}, GetString(kPictureDithered), gifOptions.dithered,
                     GetString(kHoverAnimDithered)),
         kDitheredItem);
  AddOkCancel(dialog);
  FollowAnimateChoices(dialog);
  dialog.onChange = [](Dialog& d, int) { FollowAnimateChoices(d); };
  return dialog;
}

void ReadAnimateDialog(const Dialog& dialog, const std::vector<MovieEncoder>& encoders, AnimationSettings& s,
                       PictureSaveOptions& gifOptions) {
  auto item = [&](int id) -> const DialogItem* {
    const int index = FindDialogItem(dialog, id);
    return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
  };
  auto checked = [&](int id) { return item(id) != nullptr && item(id)->checked; };
  auto number = [&](int id, double fallback) { return item(id) != nullptr ? item(id)->number : fallback; };
  const DialogItem* compression = item(kCompressionItem);
  const int chosen = compression != nullptr ? compression->selected : 0;
  s.outputType = chosen > 0 && size_t(chosen) < encoders.size() ? encoders[size_t(chosen)].outputType : kAnimatedGifOutputType;
  const bool gif = s.outputType == kAnimatedGifOutputType;
  const DialogItem* quality = item(kQualityItem);
  s.quality = MovieQualityOfChoice(quality != nullptr ? quality->selected : -1);
  const int most = gif ? kMaxGifFramesPerSecond : kMaxMovieFramesPerSecond;
  s.framesPerSecond = std::clamp(int(std::lround(number(kFpsItem, 15))), 1, most);
  s.totalTime = float(number(kTimeItem, 2.0));
  const DialogItem* length = item(kLengthChoiceItem);
  s.byFrames = length != nullptr && length->selected == 1 ? 1 : 0;
  const double frames = s.byFrames ? number(kFramesItem, 30) : std::trunc(s.framesPerSecond * double(s.totalTime) + 0.5);
  s.frameCount = int(std::clamp(frames, 1.0, 1000000.0));
  s.hideOthers = checked(kOthersItem) ? 0 : 1;
  s.forthAndBack = checked(kForthAndBackItem) ? 1 : 0;
  const DialogItem* method = item(kMethodItem);
  s.method = uint16_t(std::clamp(method != nullptr ? method->selected : int(kMethodSmooth), 0, 2));
  uint16_t* flags[] = {&s.blendSize, &s.blendPosition, &s.blendRotation, &s.blendOptics, &s.blendTexture, &s.blendFog,
                       &s.blendLight};
  for (size_t i = 0; i < std::size(flags); ++i) *flags[i] = checked(kTransitionItems[i]) ? 1 : 0;
  gifOptions.includeAlpha = checked(kTransparentItem);
  gifOptions.interlaced = checked(kInterlacedItem);
  gifOptions.dithered = checked(kDitheredItem);
}

void ShowResultMovie(const std::string& path) {
  const ComposerPicture& picture = renderState.composerPicture;
  const Rect fit = FittedPictureRect(ui.composerViewRect, picture.width, picture.height);
  Canvas& screen = mainWindow.frame;
  if (fit.width <= 0 || fit.height <= 0 || screen.width == 0) return;
  MoviePlayer player;
  if (player.Open(path, fit.width, fit.height) != kNoError) return;
  Canvas frame;
  frame.width = fit.width;
  frame.height = fit.height;
  frame.pixels.resize(size_t(fit.width) * size_t(fit.height));
  std::span<uint32_t> pixels(frame.pixels);
  const Canvas saved = CopyArea(screen, fit);
  uint32_t nextFrame = TickCount();
  int idleSteps = 0;
  for (;;) {
    if (TickCount() >= nextFrame) {
      double seconds = 0.1;
      bool ended = false;
      if (player.NextFrame(pixels, seconds, ended) != kNoError) break;
      if (ended) {
        if (player.Rewind() != kNoError || player.NextFrame(pixels, seconds, ended) != kNoError || ended) break;
      }
      PasteArea(screen, frame, fit.left, fit.top);
      if (mainWindow.window != nullptr) PresentFrame();
      nextFrame = TickCount() + uint32_t(std::clamp(seconds, 0.01, 60.0) * 1000.0);
    }
    if (GetNextEvent(mainWindow.window != nullptr ? 10 : 0)) {
      idleSteps = 0;
      const EventRecord& event = input.event;
      if (event.what == kMouseDown) break;
      if (event.what == kKeyDown && event.message == kCharCancel && (event.modifiers & kControlBit)) break;
    } else if (mainWindow.window == nullptr && ++idleSteps > dialogState.idleStepLimit) {
      break;  // no window to play in and nobody to stop it
    }
  }
  PasteArea(screen, saved, fit.left, fit.top);
  if (mainWindow.window != nullptr) PresentFrame();
}

int AnimateCommand() {
  AnimationHooks hooks;
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  PictureSaveOptions& gifOptions = CurrentPictureSaveOptions();
  std::string written;
  hooks.askSettings = [&](AnimationSettings& settings) {
    Dialog dialog = MakeAnimateDialog(encoders, gifOptions);
    if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
    ReadAnimateDialog(dialog, encoders, settings, gifOptions);
    return true;
  };
  hooks.output = [&](AnimationSettings& settings) { return WriteAnimation(settings, gifOptions, written); };
  hooks.showResult = [&](const AnimationSettings&) {
    if (!written.empty()) ShowResultMovie(written);
  };
  // Every frame is shown in the composer view as its bands land.
  ui.composerPreviewStale = false;
  renderState.composerBandStored = PresentComposerBand;
  (void)MakeAnimation(hooks);  // failures have been shown
  renderState.composerBandStored = nullptr;
  ui.composerPreviewStale = true;
  return kLoopRedrawViewFull;
}

int KeyButtonSlot(int item) {
  if (item < layout::Animation::kKey1 || item > layout::Animation::kDeleteKey8) return -1;
  return (item - 1) / 2;
}

bool IsDeleteKeyItem(int item) { return KeyButtonSlot(item) >= 0 && item % 2 == 0; }

bool AnimationItemEnabled(int item) {
  using namespace layout::Animation;
  if (const int slot = KeyButtonSlot(item); slot >= 0) {
    if (IsDeleteKeyItem(item)) return KeyframeExists(slot);
    return scene.currentObject != nullptr;
  }
  if (item == kAnimate) return scene.keyframeOwner != nullptr && AnyKeyframeSet();
  return item == kRender || item == kSavePicture;
}

uint32_t AnimationItemColour(int item) {
  const int slot = KeyButtonSlot(item);
  if (slot < 0 || IsDeleteKeyItem(item) || !KeyframeExists(slot)) return kNoItemColour;
  const Rgb16& c = preferences.composerAnim;
  return uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | uint32_t(c.blue >> 8);
}

bool AnimationItemText(int item, std::string& text) {
  const int slot = KeyButtonSlot(item);
  if (slot < 0 || IsDeleteKeyItem(item)) return false;
  text += " " + std::to_string(slot + 1);  // "Key 1" .. "Key 8"
  return true;
}

int AnimationPanelClick(int item) {
  if (const int slot = KeyButtonSlot(item); slot >= 0) {
    if (IsDeleteKeyItem(item)) {
      PressDeleteKeyButton(slot);
      return kLoopRedrawViewFull;
    }
    if (!PressSetKeyButton(slot)) return kLoopRedrawViewFull;  // a refusal has been shown
    ui.composerPreviewStale = true;
    return kLoopRedrawViewFull;
  }
  if (item == layout::Animation::kAnimate) return AnimateCommand();
  return AnimationItemClick(item);
}

}  // namespace tsv
