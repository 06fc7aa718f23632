// preview_file_fuzz.cpp: any bytes as the preview file beside an object file, read for the open
// dialog's preview pane and for its file information.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/fuzz_support.h"
#include "scene/native_file_info.h"
#include "scene/preview_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string path = fuzz::WriteFuzzFile("Input.cif", std::span<const uint8_t>(data, size));
  (void)PreviewPaneForObjectFile(fuzz::FuzzFolder() + "/Input.cmf");  // any pane, or none, will do
  const NativeFileInfo info = InfoOfNativeFile(path);
  if (info.text.empty()) std::abort();  // described, or said why not
  fuzz::ForgetShownTexts();
  return 0;
}
