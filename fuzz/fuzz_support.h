// fuzz_support.h: what every fuzz target shares. A quiet program state (scripted user services
// that answer every dialog with Cancel and record what is shown) and a private folder where the
// readers that only take a path find the input written as a file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/scripted_services.h"
#include "scene/scene_object.h"

namespace tsv::fuzz {

// The state of a fuzz process: libFuzzer calls the targets without context, so the harness keeps
// its own record like every subsystem does.
struct FuzzState {
  std::unique_ptr<ScriptedServices> services;
  std::string folder;  // the private folder, empty until first used
  std::unique_ptr<SceneObject> object;  // an object a target opens files onto, made once
};
extern FuzzState fuzzState;
// Uninstalls the services and removes the private folder.
void ResetFuzzState();

// Sets up the state once per process: the generated resource folder, the scripted services and
// the private folder. fuzz_support.cpp's LLVMFuzzerInitialize calls it for the targets that need
// nothing more; a target with a set-up of its own defines LLVMFuzzerInitialize and calls it first.
void InitFuzzTarget();

// Forgets the texts shown and the answers asked for by the last input, so memory stays flat.
void ForgetShownTexts();

// The private folder of this process (created on first use, removed at exit).
const std::string& FuzzFolder();

// Writes `bytes` as the whole contents of `name` inside the private folder; returns its path.
// Aborts when the file cannot be written: a target that silently read nothing would fuzz nothing.
std::string WriteFuzzFile(const std::string& name, std::span<const uint8_t> bytes);

// The picture targets decode only pictures up to this many pixels (256 x 256); larger
// ones have their header read and stop there. Filling a picture of the largest size the loader
// takes costs over a second under the sanitizers whatever the reader does, which would drown the
// slow inputs worth finding; the sizes themselves are fuzzed all the same.
inline constexpr int64_t kFuzzMaxPixels = int64_t(1) << 16;

// Reads an input front to back: bytes, little-endian words and floats, zeros once it has ended.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() { return uint16_t(Byte() | (Byte() << 8)); }
  float Float() {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= uint32_t(Byte()) << (8 * i);
    return std::bit_cast<float>(bits);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The objects the project seeds name, as the program saves them: a sphere and a small square.
inline constexpr const char* kFuzzSphereName = "Sphere.cmf";
inline constexpr const char* kFuzzSquareName = "Square.cmf";
// Saves both into `folder` (made when missing), each with its preview file beside it.
[[nodiscard]] bool WriteFuzzObjects(const std::string& folder);

}  // namespace tsv::fuzz
