// assemble_animation.cpp: frame files into one animation through the movie writer.
#include "composer/assemble_animation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "formats/library_pictures.h"
#include "formats/picture.h"
#include "formats/picture_files.h"
#include "platform/file_spec.h"

namespace tsv {
namespace {

constexpr std::string_view kFramePrefix = "frame-";
constexpr std::string_view kFrameSuffix = ".png";
constexpr size_t kFrameDigits = 6;

// The number of a frame file's name, or -1 for any other name.
int64_t FrameNumberOfName(std::string_view name) {
  if (name.size() != kFramePrefix.size() + kFrameDigits + kFrameSuffix.size() || !name.starts_with(kFramePrefix) ||
      !name.ends_with(kFrameSuffix)) {
    return -1;
  }
  int64_t number = 0;
  for (char c : name.substr(kFramePrefix.size(), kFrameDigits)) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), text.end() - std::ptrdiff_t(ending.size()), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

std::string SizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// Reads one frame file into `picture` (its size taken from the file). The text says why not.
Status ReadFrame(const std::string& path, const std::string& name, Picture& picture, std::string& errorText) {
  std::vector<uint8_t> bytes;
  const Status read = ReadPictureFileBytes(FileSpecForPath(path, FourCC("PNGf")), bytes);
  if (read != kNoError) {
    errorText = read == kNoMemory ? name + " is too large to read." : "Can't read " + path + ".";
    return read == kNoMemory ? kNoMemory : kMalformed;
  }
  int width = 0;
  int height = 0;
  if (SniffPictureType(bytes) != FourCC("PNGf") || GetPngSize(bytes, width, height) != kNoError) {
    errorText = name + " is not a PNG picture.";
    return kMalformed;
  }
  if (width < 1 || height < 1 || width > kMaxMovieSide || height > kMaxMovieSide) {
    errorText = name + " is " + SizeText(width, height) + " pixels; a frame may be at most " +
                std::to_string(kMaxMovieSide) + " pixels a side.";
    return kMalformed;
  }
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(size_t(width) * size_t(height));
  if (DecodePng(bytes, PixelBuffer{picture.pixels, width, height, size_t(width)}) != kNoError) {
    errorText = name + " is damaged: it does not decode as a PNG picture.";
    return kMalformed;
  }
  return kNoError;
}

}  // namespace

std::string AnimationFrameFileName(int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
  return name;
}

Status AssembleAnimation(const std::string& framesFolder, const std::string& outputPath, int framesPerSecond,
                         const AnimationOutputOptions& options, std::string& errorText) {
  errorText.clear();
  try {
    AnimationOutputOptions output = options;
    const bool gif = EndsWithNoCase(outputPath, ".gif");
    if (gif) {
      output.outputType = kAnimatedGifOutputType;
    } else if (EndsWithNoCase(outputPath, ".mov")) {
      if (output.outputType == kAnimatedGifOutputType) output.outputType = DefaultMovieOutputType();
      const std::vector<MovieEncoder> encoders = ListMovieEncoders();
      if (output.outputType == 0 || FindMovieEncoder(encoders, output.outputType) == nullptr) {
        errorText = "No movie encoder on this machine writes the chosen compression.";
        return kMalformed;
      }
    } else {
      errorText = "The animation must be written to a .gif or .mov file: " + outputPath;
      return kMalformed;
    }
    const int maxRate = gif ? kMaxGifFramesPerSecond : kMaxMovieFramesPerSecond;
    if (framesPerSecond < 1 || framesPerSecond > maxRate) {
      errorText = std::string("The frame rate must be 1 to ") + std::to_string(maxRate) + " frames per second for " +
                  (gif ? "an animated GIF." : "a movie.");
      return kMalformed;
    }
    const FileSpec target = FileSpecForPath(outputPath, gif ? FourCC("GIFf") : FourCC("MooV"));
    if (!IsFileSpecSet(target)) {
      errorText = "The output path is too long or holds a ':': " + outputPath;
      return kMalformed;
    }

    // Every frame file of the folder, by number; the numbers must run without a gap.
    std::vector<int64_t> numbers;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(framesFolder, error), end; !error && entry != end;
         entry.increment(error)) {
      const int64_t number = FrameNumberOfName(entry->path().filename().string());
      if (number >= 0) numbers.push_back(number);
    }
    if (error) {
      errorText = "Can't read the frames folder " + framesFolder + ": " + error.message() + ".";
      return kMalformed;
    }
    if (numbers.empty()) {
      errorText = "There are no frames (frame-NNNNNN.png) in " + framesFolder + ".";
      return kMalformed;
    }
    std::sort(numbers.begin(), numbers.end());
    for (size_t i = 1; i < numbers.size(); ++i) {
      if (numbers[i] != numbers[i - 1] + 1) {
        errorText = AnimationFrameFileName(numbers[i - 1] + 1) + " is missing: the frames in " + framesFolder +
                    " run from " + AnimationFrameFileName(numbers.front()) + " to " +
                    AnimationFrameFileName(numbers.back()) + ".";
        return kMalformed;
      }
    }

    // One pass: the writer works into a temporary that only a complete run puts in place, so a
    // frame found bad half-way leaves nothing behind.
    MovieWriter writer;
    Picture picture;
    int width = 0;
    int height = 0;
    for (const int64_t number : numbers) {
      const std::string name = AnimationFrameFileName(number);
      const std::string path = (std::filesystem::path(framesFolder) / name).string();
      if (Status s = ReadFrame(path, name, picture, errorText); s != kNoError) return s;
      if (number == numbers.front()) {
        width = picture.width;
        height = picture.height;
        if (Status s = writer.Begin(target, width, height, framesPerSecond, output); s != kNoError) {
          errorText = s == kNoMemory ? "Not enough memory to write " + outputPath + "."
                                     : "Can't write " + outputPath + " with the chosen compression at " +
                                           SizeText(width, height) + ".";
          return s == kMalformed ? kMalformed : s;
        }
      } else if (picture.width != width || picture.height != height) {
        errorText = name + " is " + SizeText(picture.width, picture.height) + ", but " +
                    AnimationFrameFileName(numbers.front()) + " is " + SizeText(width, height) + ".";
        return kMalformed;
      }
      if (Status s = writer.AddFrame(picture.pixels); s != kNoError) {
        errorText = "Can't write " + outputPath + ".";
        return s;
      }
    }
    if (Status s = writer.Finish(); s != kNoError) {
      errorText = "Can't write " + outputPath + ".";
      return s;
    }
    return kNoError;
  } catch (const std::bad_alloc&) {
    errorText = "Not enough memory to assemble the animation.";
    return kNoMemory;
  }
}

}  // namespace tsv
