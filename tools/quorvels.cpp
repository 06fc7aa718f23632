// quorvels.cpp: the Quorvels state record, ball editing and the set file ("bsph"). The field, the
// surface extraction and the generated object are in quorvel_surface.cpp.
#include "tools/quorvels.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/safe_save.h"

namespace tsv {

QuorvelState quorvelState;

namespace {

// Offsets inside one 124-byte record; every number big-endian.
constexpr size_t kCellAt = 0;       // 3 x i16 (record 0: the ball count in the first)
constexpr size_t kCentreAt = 8;     // 3 x f32, after 2 bytes of padding
constexpr size_t kAxisAt = 20;      // 3 x f32
constexpr size_t kAlongAt = 32;     // 3 x f32
constexpr size_t kAcrossAt = 44;    // 3 x f32
constexpr size_t kStrengthAt = 56;  // f32
constexpr size_t kR1At = 60;        // f32
constexpr size_t kR2At = 64;        // f32
constexpr size_t kDisplayAt = 68;   // 12 x i16
constexpr size_t kNameAt = 92;      // counted string, 32 bytes, stored as it is
static_assert(kNameAt + kMostBallNameBytes + 1 == kQuorvelRecordBytes);
static_assert(kQuorvelFileBytes == 31744);

void StoreVec(uint8_t* at, const Vec3f& v) {
  StoreF32BE(at, v.x);
  StoreF32BE(at + 4, v.y);
  StoreF32BE(at + 8, v.z);
}

Vec3f LoadVec(const uint8_t* at) { return {LoadF32BE(at), LoadF32BE(at + 4), LoadF32BE(at + 8)}; }

bool IsFinite(const Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// "Error: Couldn't perform operation." with the file and what is wrong with it.
void ShowSetProblem(const FileSpec& file, const std::string& reason) {
  ShowStopMessage(GetString(kErrCouldntPerform) + "\n" + FormatString(kQuorvelSetProblem, {PathOfSpec(file), reason}));
}

Status OpenSet(const FileSpec& spec) {
  FileSpec opened = spec;
  FileRef file;
  int64_t size = 0;
  std::vector<uint8_t> bytes;
  Status status = OpenFile(opened, FileMode::Read, file);
  if (status == kNoError) status = GetFileSize(file, size) == kNoError ? kNoError : kReadError;
  // A size other than a set's is refused before anything is read, so a huge file costs nothing.
  if (status == kNoError && size == int64_t(kQuorvelFileBytes)) {
    bytes.resize(kQuorvelFileBytes);
    status = ReadBytes(file, bytes.data(), bytes.size());
  }
  CloseFileQuietly(file);
  if (status != kNoError) {
    ShowSetProblem(spec, GetString(kQuorvelSetUnreadable));
    return status;
  }
  std::string reason;
  std::vector<Ball> balls;
  if (size != int64_t(kQuorvelFileBytes)) {
    reason = FormatString(kQuorvelSetWrongSize, {std::to_string(size)});
    status = kMalformed;
  } else {
    status = DecodeQuorvelSet(bytes, balls, reason);
  }
  if (status != kNoError) {
    ShowSetProblem(spec, reason);
    return status;
  }
  quorvelState.balls = std::move(balls);
  quorvelState.selected = quorvelState.balls.empty() ? -1 : 0;
  quorvelState.setFile = spec;
  return kNoError;
}

Status SaveSet(const FileSpec& spec) {
  if (quorvelState.balls.empty()) {
    ShowSetProblem(spec, GetString(kQuorvelSetNoBalls));
    return kMalformed;
  }
  const std::vector<uint8_t> bytes = EncodeQuorvelSet(quorvelState.balls);
  SafeSave save;
  save.quiet = true;  // the failure is reported below, naming the set
  if (!BeginSafeSave(spec, save) || !WriteSafeSave(save, bytes) || !CommitSafeSave(save)) {
    ShowSetProblem(spec, GetString(kQuorvelSetUnwritable));
    return kWriteError;
  }
  quorvelState.setFile = spec;
  return kNoError;
}

}  // namespace

float KelvaneViewZoom(float z) {
  const double exponent = (1.0 - double(z) / 10.0) * 256.0 * 0.0179889;
  const double zoom = 0.08 * std::exp2(exponent);
  return float(std::isfinite(zoom) ? std::max(0.1, zoom) : 0.1);
}

void ResetQuorvelState() { quorvelState = QuorvelState{}; }

Ball MakeBall(const Vec3f& centre, float r1, float r2, const Vec3f& axis, float strength) {
  Ball ball;
  ball.centre = centre;
  ball.r1 = r1;
  ball.r2 = r2;
  ball.axis = axis;
  ball.strength = strength;
  return ball;
}

bool AddBall() {
  QuorvelState& s = quorvelState;
  if (s.balls.size() >= size_t(kMostBalls)) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  }
  const bool copy = s.selected >= 0 && size_t(s.selected) < s.balls.size();
  s.balls.push_back(copy ? s.balls[size_t(s.selected)] : Ball{});
  s.selected = int(s.balls.size()) - 1;
  return true;
}

void DeleteBall() {
  QuorvelState& s = quorvelState;
  if (s.selected < 0 || size_t(s.selected) >= s.balls.size()) return;
  s.balls.erase(s.balls.begin() + s.selected);
  if (s.balls.empty()) {
    s.selected = -1;
  } else if (size_t(s.selected) >= s.balls.size()) {
    s.selected = int(s.balls.size()) - 1;
  }
}

BallListStep CurrentBallList() { return {quorvelState.balls, quorvelState.selected}; }

void RememberBallList(BallListStep before) {
  std::vector<BallListStep>& undo = quorvelState.undoSteps;
  if (undo.size() >= kMostBallSteps) undo.erase(undo.begin());
  undo.push_back(std::move(before));
  quorvelState.redoSteps.clear();
}

namespace {

// Puts the last step of `from` in force and keeps the list it replaces at the end of `to`.
bool StepBallList(std::vector<BallListStep>& from, std::vector<BallListStep>& to) {
  if (from.empty()) return false;
  to.push_back(CurrentBallList());
  BallListStep& step = from.back();
  quorvelState.balls = std::move(step.balls);
  quorvelState.selected = step.selected < int(quorvelState.balls.size()) ? step.selected : -1;
  from.pop_back();
  return true;
}

}  // namespace

bool UndoBallEdit() { return StepBallList(quorvelState.undoSteps, quorvelState.redoSteps); }
bool RedoBallEdit() { return StepBallList(quorvelState.redoSteps, quorvelState.undoSteps); }

Status QuorvelFile(QuorvelCommand command, const FileSpec& file) {
  switch (command) {
    case QuorvelCommand::New:
      quorvelState.balls.clear();
      quorvelState.selected = -1;
      ClearFileSpec(quorvelState.setFile);
      return kNoError;
    case QuorvelCommand::Open: return OpenSet(file);
    case QuorvelCommand::Save: return SaveSet(file);
  }
  return kMalformed;
}

std::vector<uint8_t> EncodeQuorvelSet(std::span<const Ball> balls) {
  std::vector<uint8_t> bytes(kQuorvelFileBytes, 0);
  const size_t count = std::min(balls.size(), size_t(kMostBalls));
  for (size_t n = 0; n < count; ++n) {
    const Ball& b = balls[n];
    uint8_t* r = bytes.data() + n * kQuorvelRecordBytes;
    for (size_t a = 0; a < 3; ++a) StoreU16BE(r + kCellAt + 2 * a, uint16_t(b.cell[a]));
    StoreVec(r + kCentreAt, b.centre);
    StoreVec(r + kAxisAt, b.axis);
    StoreVec(r + kAlongAt, b.along);
    StoreVec(r + kAcrossAt, b.across);
    StoreF32BE(r + kStrengthAt, b.strength);
    StoreF32BE(r + kR1At, b.r1);
    StoreF32BE(r + kR2At, b.r2);
    for (size_t d = 0; d < b.display.size(); ++d) StoreU16BE(r + kDisplayAt + 2 * d, uint16_t(b.display[d]));
    const size_t length = std::min(b.name.size(), kMostBallNameBytes);
    r[kNameAt] = uint8_t(length);
    for (size_t c = 0; c < length; ++c) r[kNameAt + 1 + c] = uint8_t(b.name[c]);
  }
  StoreU16BE(bytes.data(), uint16_t(count));
  return bytes;
}

Status DecodeQuorvelSet(std::span<const uint8_t> bytes, std::vector<Ball>& balls, std::string& reason) {
  if (bytes.size() != kQuorvelFileBytes) {
    reason = FormatString(kQuorvelSetWrongSize, {std::to_string(bytes.size())});
    return kMalformed;
  }
  const int16_t count = int16_t(LoadU16BE(bytes.data()));
  if (count < 0 || count > kMostBalls) {
    reason = FormatString(kQuorvelSetBadCount, {std::to_string(count)});
    return kMalformed;
  }
  std::vector<Ball> read(static_cast<size_t>(count));
  for (size_t n = 0; n < read.size(); ++n) {
    const uint8_t* r = bytes.data() + n * kQuorvelRecordBytes;
    Ball& b = read[n];
    const std::string number = std::to_string(n + 1);
    for (size_t a = 0; a < 3; ++a) b.cell[a] = int16_t(LoadU16BE(r + kCellAt + 2 * a));
    if (n == 0) b.cell[0] = 0;  // that word holds the count
    b.centre = LoadVec(r + kCentreAt);
    b.axis = LoadVec(r + kAxisAt);
    b.along = LoadVec(r + kAlongAt);
    b.across = LoadVec(r + kAcrossAt);
    b.strength = LoadF32BE(r + kStrengthAt);
    b.r1 = LoadF32BE(r + kR1At);
    b.r2 = LoadF32BE(r + kR2At);
    for (size_t d = 0; d < b.display.size(); ++d) b.display[d] = int16_t(LoadU16BE(r + kDisplayAt + 2 * d));
    const size_t length = r[kNameAt];
    if (!IsFinite(b.centre) || !IsFinite(b.axis) || !IsFinite(b.along) || !IsFinite(b.across) ||
        !std::isfinite(b.strength) || !std::isfinite(b.r1) || !std::isfinite(b.r2)) {
      reason = FormatString(kQuorvelSetBadNumber, {number});
      return kMalformed;
    }
    if (!(b.r1 > 0.0f) || !(b.r2 > 0.0f)) {
      reason = FormatString(kQuorvelSetBadRadius, {number});
      return kMalformed;
    }
    if (b.axis.x == 0.0f && b.axis.y == 0.0f && b.axis.z == 0.0f) {
      reason = FormatString(kQuorvelSetZeroAxis, {number});
      return kMalformed;
    }
    if (length > kMostBallNameBytes) {
      reason = FormatString(kQuorvelSetLongName, {number});
      return kMalformed;
    }
    b.name.assign(reinterpret_cast<const char*>(r + kNameAt + 1), length);
  }
  balls = std::move(read);
  return kNoError;
}

}  // namespace tsv
