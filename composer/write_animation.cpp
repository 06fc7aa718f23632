// write_animation.cpp: the file, the progress and the frame loop of the animation command.
#include "composer/write_animation.h"

#include <algorithm>

#include "platform/file_spec.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/render_state.h"

namespace tsv {

int WriteAnimation(AnimationSettings& settings, const PictureSaveOptions& gifOptions, std::string& written) {
  written.clear();
  ComposerPicture& picture = renderState.composerPicture;
  if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() < size_t(picture.width) * size_t(picture.height))
    return 0;
  const bool gif = settings.outputType == kAnimatedGifOutputType;
  FileSpec spec;
  spec.typeCount = 1;
  spec.fileTypes[0] = gif ? FourCC("GIFf") : FourCC("MooV");
  spec.name = TextToCountedString(GetString(gif ? kNameUntitledGif : kNameUntitledMovie));
  if (AskSaveFile(spec, nullptr, GetString(kAskSaveMovie)) != kNoError) return kAnimationCancelled;

  AnimationOutputOptions options;
  options.outputType = settings.outputType;
  options.quality = settings.quality;
  options.gif = gifOptions;
  MovieWriter writer;
  if (const Status begun = writer.Begin(spec, picture.width, picture.height, settings.framesPerSecond, options);
      begun != kNoError)
    return begun;

  // One box for the run: each frame moves the bar through its own part of it.
  ShowProgress(GetString(kProgressAnimating), -1);
  const int frames = std::max(settings.frameCount, 1);
  auto partOf = [frames](int index) { return int(int64_t(index) * kProgressMax / frames); };
  renderState.composerFrameInRun = true;
  renderState.composerRunProgressStart = 0;
  renderState.composerRunProgressEnd = partOf(1);
  const int loop = RunFrameLoop(settings, 0, settings.frameCount - 1, [&](int index, int) {
    if (const Status added = writer.AddFrame(picture.pixels); added != kNoError) return int(added);
    std::fill(picture.pixels.begin(), picture.pixels.end(), 0u);
    AdvanceProgress(partOf(index + 1), -1);
    renderState.composerRunProgressStart = partOf(index + 1);
    renderState.composerRunProgressEnd = partOf(index + 2);
    return 0;
  });
  renderState.composerFrameInRun = false;
  HideProgress();
  const int result = writer.End(loop);
  if (result == 0) written = PathOfSpec(spec);
  return result;
}

}  // namespace tsv
