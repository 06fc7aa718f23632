// optics_file_fuzz.cpp: any bytes as an optics file, opened onto an object as "Open Optics..."
// does, and described as the file information of the open dialog describes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "scene/native_file_info.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  // Every input is opened onto the same object: making one costs more than reading the file.
  tsv::fuzz::fuzzState.object = tsv::NewSceneObject(4, 2);
  if (!tsv::fuzz::fuzzState.object) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string path = fuzz::WriteFuzzFile("Input.cmo", std::span<const uint8_t>(data, size));
  const Status status = OpenOpticsFile(*fuzz::fuzzState.object, FileSpecForPath(path, kOpticsFileType));
  if (status != kNoError && status != kReadError) std::abort();
  const NativeFileInfo info = InfoOfNativeFile(path);
  if (info.text.empty()) std::abort();  // described, or said why not
  fuzz::ForgetShownTexts();
  return 0;
}
