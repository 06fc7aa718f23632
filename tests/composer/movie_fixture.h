// movie_fixture.h: what the movie tests share: frames that differ from one another, a writer run
// over them, the player reading a file back, and how far two pictures are apart.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "composer/movie_output.h"
#include "composer/movie_player.h"
#include "platform/file_spec.h"
#include "platform/scripted_services.h"
#include "tests/support/temp_dir.h"

namespace tsv::test {

// Frame `index`: smooth ramps (which lossy codecs keep well), a bright square that moves by four
// pixels a frame, and a blue level of its own, so that two frames never pass for each other.
inline std::vector<uint32_t> MovieFrame(int width, int height, int index) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  const int squareX = (index * 4) % std::max(1, width - 6);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t r = uint32_t(x * 255 / std::max(1, width - 1));
      uint32_t g = uint32_t(y * 255 / std::max(1, height - 1));
      uint32_t b = uint32_t((40 + index * 50) % 256);
      if (x >= squareX && x < squareX + 6 && y >= 2 && y < 8) r = g = b = 250;
      pixels[size_t(y) * size_t(width) + size_t(x)] = (r << 16) | (g << 8) | b;
    }
  }
  return pixels;
}

// The mean and the largest difference of one colour channel over two pictures of one size.
struct PictureDifference {
  double mean = 0;
  int largest = 0;
};
inline PictureDifference Difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  PictureDifference d;
  if (a.size() != b.size() || a.empty()) return {1e9, 255};
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int delta = std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF));
      sum += delta;
      d.largest = std::max(d.largest, delta);
    }
  }
  d.mean = sum / double(a.size() * 3);
  return d;
}

inline AnimationOutputOptions OutputOf(uint32_t outputType, uint32_t quality = kQualityNormal) {
  AnimationOutputOptions o;
  o.outputType = outputType;
  o.quality = quality;
  o.gif.dithered = false;
  return o;
}

// Writes `count` frames of MovieFrame; the status of the first failing step.
inline Status WriteMovieFrames(const std::string& path, int width, int height, int fps, int count,
                               const AnimationOutputOptions& options) {
  MovieWriter writer;
  const uint32_t type = options.outputType == kAnimatedGifOutputType ? FourCC("GIFf") : FourCC("MooV");
  if (Status s = writer.Begin(FileSpecForPath(path, type), width, height, fps, options); s != kNoError) return s;
  for (int i = 0; i < count; ++i) {
    if (Status s = writer.AddFrame(MovieFrame(width, height, i)); s != kNoError) return s;
  }
  return writer.Finish();
}

// Every frame of a written file as the player shows it at the given size, with the durations.
struct PlayedMovie {
  Status status = kNoError;
  std::vector<std::vector<uint32_t>> frames;
  std::vector<double> seconds;
};
inline PlayedMovie PlayMovie(const std::string& path, int width, int height, size_t limit = 1000) {
  PlayedMovie played;
  MoviePlayer player;
  played.status = player.Open(path, width, height);
  while (played.status == kNoError && played.frames.size() < limit) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    double seconds = 0;
    bool ended = false;
    played.status = player.NextFrame(pixels, seconds, ended);
    if (played.status != kNoError || ended) break;
    played.frames.push_back(std::move(pixels));
    played.seconds.push_back(seconds);
  }
  return played;
}

// The names in a folder, to see that no temporary was left beside a target.
inline std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

inline bool HasEncoder(uint32_t outputType) {
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  return FindMovieEncoder(encoders, outputType) != nullptr;
}

}  // namespace tsv::test
