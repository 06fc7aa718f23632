// allocation.h: every array and record the scene allocates goes through these helpers, so that a
// test can make the N-th allocation fail (SceneState::failAllocationCountdown). A failure is a
// std::bad_alloc, caught where the program reports running out of memory.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace tsv {

// Throws std::bad_alloc when the test countdown reaches this allocation.
void CountSceneAllocation();

template <class T>
std::vector<T> AllocateArray(size_t count, const T& fill = T{}) {
  CountSceneAllocation();
  return std::vector<T>(count, fill);
}

template <class T>
std::unique_ptr<T> AllocateRecord() {
  CountSceneAllocation();
  return std::make_unique<T>();
}

template <class T>
std::shared_ptr<T> AllocateSharedRecord() {
  CountSceneAllocation();
  return std::make_shared<T>();
}

}  // namespace tsv
