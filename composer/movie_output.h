// movie_output.h: the animation's output: the "Compression" choices (the animated GIF, then every
// video encoder a QuickTime movie can hold), the six qualities, and the writer that takes the
// frames one by one into a .mov (libavformat and libavcodec) or an animated GIF (GifWriter).
// The frame loop, the dialogs and the progress display belong to the callers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"
#include "platform/string_id.h"

namespace tsv {

// The output type of the animated GIF; a movie's output type is its encoder's codec tag.
inline constexpr uint32_t kAnimatedGifOutputType = FourCC("GIFy");

// A movie track counts time in 600ths of a second; a frame lasts 600 / fps of them.
inline constexpr int kMovieTimeScale = 600;
inline constexpr int kMaxMovieFramesPerSecond = 600;  // a frame lasts at least one unit
inline constexpr int kMaxGifFramesPerSecond = 100;    // a GIF frame lasts at least 1/100 s
inline constexpr int kMaxMovieSide = 16384;

// One "Compression" choice.
struct MovieEncoder {
  std::string name;      // the encoder's short name: "Animated GIF", "mjpeg", "libx264", "png"
  std::string longName;  // what it is: "MJPEG (Motion JPEG)"
  uint32_t outputType = 0;  // 'GIFy', or the four-character tag the movie stores ('jpeg', 'avc1')
};

// "Animated GIF" first, then one entry per video codec the mov muxer accepts and that this
// machine can encode without special hardware, by long name. The same on every call of one run.
// VP8, VP9 and AV1 are not among them: the muxer writes those only into MP4 files.
std::vector<MovieEncoder> ListMovieEncoders();
// The entry with that output type, or null.
const MovieEncoder* FindMovieEncoder(std::span<const MovieEncoder> encoders, uint32_t outputType);
// The entry whose name or four-character tag (trailing spaces optional: "png") is `text`, case
// ignored, or null; for a command line's "--codec".
const MovieEncoder* FindMovieEncoderByName(std::span<const MovieEncoder> encoders, std::string_view text);
// The encoder a movie gets when none was chosen: H.264 when an encoder for it is present, else
// Motion JPEG, else the first movie encoder; 0 when this machine writes no movie at all.
uint32_t DefaultMovieOutputType();

// The "Quality:" list, in the order it shows, with the quality each entry stands for.
inline constexpr uint32_t kQualityMinimum = 0;
inline constexpr uint32_t kQualityLow = 256;
inline constexpr uint32_t kQualityNormal = 512;
inline constexpr uint32_t kQualityHigh = 768;
inline constexpr uint32_t kQualityMaximum = 1023;
inline constexpr uint32_t kQualityLossless = 1024;
struct MovieQualityChoice {
  StringId label;
  uint32_t quality;
};
std::span<const MovieQualityChoice> MovieQualityChoices();
// The quality of list entry `index` (0-based); any other entry gives Normal.
uint32_t MovieQualityOfChoice(int index);

// How a quality reaches each encoder. The quality falls into one of six steps (below 128
// Minimum, below 384 Low, below 640 Normal, below 896 High, below 1024 Maximum, else Lossless),
// and each step sets the encoder's own scale:
//
//   step                 Minimum  Low  Normal  High  Maximum  Lossless
//   qscale (MJPEG, MPEG-4, MPEG-1/2, H.263, MS-MPEG4, SVQ1)
//                          31     20     8      4      2      1
//   crf of libx264         51     35    23     18     12      qp 0 (lossless)
//   crf of libx265         51     36    28     22     16      lossless
//   PNG compression level   1      3     6      8      9      9
//   ProRes profile        proxy    LT  standard  HQ     HQ     4444
//   DNxHR profile           LB     LB    SQ      HQ      HQ     444
//
// The other encoders are lossless by nature (QuickTime Animation, raw, TIFF, ...) or keep their
// own defaults. A lossless movie also takes an RGB picture format where the encoder has one, so
// that the frames come back exactly; H.264 stores its lossless frames in YUV and comes back within
// the rounding of the colour conversion.
// The GIF options of the animation dialog: "Transparent" (alpha 0 becomes the transparent colour,
// the GIF89a signature), "Interlaced", "Dithered".
struct AnimationOutputOptions {
  uint32_t outputType = kAnimatedGifOutputType;
  uint32_t quality = kQualityNormal;
  PictureSaveOptions gif;
};

// Writes one animation. Begin, AddFrame for every frame, then Finish; or Abandon at any time.
//
// The file is written into a temporary beside the target and renamed over it only by a
// successful Finish: a failure, an Abandon or a writer dropped before Finish removes the
// temporary and leaves an existing target as it was. After a failing call the writer is
// abandoned and every later call fails until the next Begin.
//
// Movie: a QuickTime movie of one video track whose time scale is 600; frame i is sample i at
// i * (600 / fps) lasting 600 / fps units (integer division), in display order (no B-frames).
// Frames are converted from 32-bit pixels by libswscale; a picture format that halves the chroma
// is avoided along an odd side. Pixels are 0x00RRGGBB, rows top first; the top byte is ignored.
// Animated GIF: the fixed-palette GIF writer with a delay of 100 / fps hundredths (integer
// division); the top byte is the alpha that "Transparent" looks at.
class MovieWriter {
 public:
  MovieWriter();
  ~MovieWriter();
  MovieWriter(const MovieWriter&) = delete;
  MovieWriter& operator=(const MovieWriter&) = delete;

  // kMalformed when the size (1..16384 a side), the frames per second (1..600 for a movie,
  // 1..100 for a GIF) or the output type is not one this machine writes; kWriteError when the
  // file or the encoder cannot be set up; kNoMemory.
  Status Begin(const FileSpec& target, int width, int height, int framesPerSecond,
               const AnimationOutputOptions& options);
  // `pixels` holds width x height pixels. kMalformed for a short span; kWriteError when the
  // encoder or the file fails.
  Status AddFrame(std::span<const uint32_t> pixels);
  // Ends the stream and puts the file in place. kWriteError when nothing was begun or any of it
  // fails (the temporary is removed then).
  Status Finish();
  void Abandon();
  // Ends a frame loop by its status: 0 finishes, anything else (123 cancelled included)
  // abandons and is returned as it is. Returns the finish's status for 0.
  int End(int loopStatus);

  [[nodiscard]] bool IsOpen() const { return state_ != nullptr; }
  // After Begin: the sample duration of a movie in 600ths, or the GIF delay in hundredths.
  [[nodiscard]] int FrameDuration() const;
  // After Begin of a movie: the encoder and picture format in use ("libx264", "yuv420p").
  [[nodiscard]] std::string EncoderName() const;
  [[nodiscard]] std::string PixelFormatName() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace tsv
