// assemble_animation.h: one movie or animated GIF from a folder of rendered frame files
// (frame-000000.png, frame-000001.png, ...), as runs spread over several processes or machines
// leave them.
#pragma once

#include <cstdint>
#include <string>

#include "composer/movie_output.h"
#include "platform/status.h"

namespace tsv {

// The name of frame `index` in a frames folder: "frame-" and six digits, ".png".
std::string AnimationFrameFileName(int64_t index);

// Writes the frames DIR/frame-NNNNNN.png, N consecutive from the lowest present, in order into
// `outputPath`: an animated GIF when it ends in ".gif" (with the GIF options), a movie when it
// ends in ".mov" (with the options' output type and quality; the default movie encoder when the
// output type is the GIF's). Other files in the folder are ignored. Frames are read with the
// program's PNG reader; alpha counts only for a transparent GIF.
// Refused, with nothing written and a text saying why in `errorText`: no frames, a gap in the
// numbers, a frame that is not a readable PNG or whose size differs from the first's, a frame rate
// outside 1..100 (GIF) or 1..600 (movie), an unknown output type or file ending. kMalformed for
// those, kWriteError when the output cannot be written, kNoMemory; an existing output file stays
// as it was on any failure.
Status AssembleAnimation(const std::string& framesFolder, const std::string& outputPath, int framesPerSecond,
                         const AnimationOutputOptions& options, std::string& errorText);

}  // namespace tsv
