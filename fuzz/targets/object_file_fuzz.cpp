// object_file_fuzz.cpp: any bytes as an object file, read the way the open command reads one
// (without the texture picture, which has a target of its own).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "scene/object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string path = fuzz::WriteFuzzFile("Input.cmf", std::span<const uint8_t>(data, size));
  const ObjectFileRead read = ReadObjectFileQuietly(FileSpecForPath(path, kObjectFileType));
  // A read either gives an object or says why not; never both, never neither.
  if ((read.object != nullptr) == (read.status != kNoError)) std::abort();
  if (!read.object && read.message.empty()) std::abort();
  fuzz::ForgetShownTexts();
  return 0;
}
