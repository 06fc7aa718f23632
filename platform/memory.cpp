// memory.cpp: the C library's allocator settings for large blocks.
#include "platform/memory.h"

#include <malloc.h>

namespace tsv {

void KeepLargeBlocksForReuse() {
  constexpr int kLargest = 1 << 30;
  // Blocks below this come from the heap rather than from a mapping of their own, and up to this
  // much free memory at the heap's top stays with the process. A refusal only leaves the
  // library's own settings in force.
  (void)mallopt(M_MMAP_THRESHOLD, kLargest);
  (void)mallopt(M_TRIM_THRESHOLD, kLargest);
}

}  // namespace tsv
