// movie_player.h: plays back a written animation: a QuickTime movie or an animated GIF, decoded
// frame by frame into 32-bit pixels of any size with the time each frame shows. It reads files
// from outside as well: a damaged or foreign file gives a status, never a crash or a hang.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/status.h"

namespace tsv {

// The largest picture a movie may have for the player (its width x height): 8192 x 8192.
inline constexpr int64_t kMaxPlayerSourcePixels = int64_t(8192) * 8192;

// Opens the file and shows its frames scaled to width x height. Only what the program writes is
// read: a .mov (or MP4) whose video track uses one of the movie encoders' codecs, or a GIF;
// nothing in the file can make the player open another file.
class MoviePlayer {
 public:
  MoviePlayer();
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // kFileNotFound when the file cannot be opened, kMalformed when it is not a regular file, not a
  // movie or GIF, has no video track, a codec we do not write, or a picture larger than
  // `maxSourcePixels`; kNoMemory. The size to show at is 1..16384 a side (else kMalformed).
  Status Open(const std::string& path, int width, int height, int64_t maxSourcePixels = kMaxPlayerSourcePixels);
  // The same on a file held in memory, which must outlive the player.
  Status OpenBytes(std::span<const uint8_t> bytes, int width, int height,
                   int64_t maxSourcePixels = kMaxPlayerSourcePixels);

  // The next frame into `pixels` (width x height, 0x00RRGGBB, top row first) and how long it
  // shows (0.01 .. 60 s; a frame without a duration shows for the movie's frame rate, else 0.1 s).
  // At the end of the movie: kNoError with `ended` set and the pixels untouched. Damaged frames are
  // passed over; kMalformed when the movie ends without a single frame decoded, or for a span that
  // is too short or a player that is not open.
  Status NextFrame(std::span<uint32_t> pixels, double& seconds, bool& ended);
  // Back to the first frame (the file is opened again). Its status as Open's.
  Status Rewind();
  void Close();

  [[nodiscard]] bool IsOpen() const { return state_ != nullptr; }
  // The picture size stored in the file, after Open (or, for a track that leaves it to its
  // frames, after the first frame; 0 until then).
  [[nodiscard]] int SourceWidth() const;
  [[nodiscard]] int SourceHeight() const;

  struct State;

 private:
  Status OpenSource(int width, int height);

  std::unique_ptr<State> state_;
  // What Rewind opens again.
  std::string path_;
  std::span<const uint8_t> bytes_;
  bool fromBytes_ = false;
  int64_t maxSourcePixels_ = kMaxPlayerSourcePixels;
};

}  // namespace tsv
