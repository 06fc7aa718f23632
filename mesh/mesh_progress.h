// mesh_progress.h: the progress box of a long mesh operation, with the cancel gesture looked for
// as the bar moves. Internal to the mesh operations.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/events.h"
#include "platform/progress.h"
#include "platform/string_id.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {

class MeshProgress {
 public:
  MeshProgress(StringId text, uint64_t total) : total_(std::max<uint64_t>(total, 1)) {
    ShowProgress(GetString(text), -1);
  }
  ~MeshProgress() { HideProgress(); }
  MeshProgress(const MeshProgress&) = delete;
  MeshProgress& operator=(const MeshProgress&) = delete;

  // Called with the work done so far; every 64k items the bar moves and the events waiting are
  // looked at. False once the user has cancelled.
  [[nodiscard]] bool Reached(uint64_t done) {
    if ((done & kStride) != 0) return !cancelled_;
    AdvanceProgress(int(std::min<uint64_t>(done, total_) * kProgressMax / total_), -1);
    if (CancelRequested()) cancelled_ = true;
    return !cancelled_;
  }

 private:
  static constexpr uint64_t kStride = (1u << 16) - 1;
  uint64_t total_;
  bool cancelled_ = false;
};

}  // namespace tsv
