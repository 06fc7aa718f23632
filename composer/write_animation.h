// write_animation.h: the animation command's output: the file asked for, "Animating..." shown
// while every frame is blended, rendered and written into the movie or animated GIF.
#pragma once

#include <string>

#include "composer/keyframes.h"
#include "composer/movie_output.h"

namespace tsv {

// Asks for the file ("Save Movie:", "Untitled.mov" or "Untitled.gif" by the output type), then runs
// the frame loop into it with the progress box up (Cancel or Escape stops it). 0 when written (the
// path in `written`), 123 when the user cancelled the file dialog or the run (an existing file
// stays as it was), 0 without output when there is no composer picture; anything else a failure.
int WriteAnimation(AnimationSettings& settings, const PictureSaveOptions& gifOptions, std::string& written);

}  // namespace tsv
