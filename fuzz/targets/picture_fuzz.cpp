// picture_fuzz.cpp: any bytes as a picture of one type through the shared picture loader, the way
// a texture or an opened picture is loaded. Built once per type; TESSIVAR_FUZZ_PICTURE picks it
// (a picture whose first bytes name another format is read as that one, as in the program).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"

namespace {

// In the order fuzz/CMakeLists.txt builds them: bmp, ei, tiff, png, jpeg.
constexpr uint32_t kFuzzedTypes[] = {tsv::FourCC("BMP "), tsv::FourCC("EIDI"), tsv::FourCC("TIFF"),
                                     tsv::FourCC("PNGf"), tsv::FourCC("JPEG")};
constexpr uint32_t kFuzzedType = kFuzzedTypes[TESSIVAR_FUZZ_PICTURE];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  Picture picture;
  const Status status =
      DecodePictureBytes(std::span<const uint8_t>(data, size), kFuzzedType, picture);
  if (status == kNoError) {
    // An accepted picture is whole and within the sizes the program keeps.
    if (CheckPictureSize(picture.width, picture.height) != kNoError) std::abort();
    if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) std::abort();
  } else if (!picture.pixels.empty() || PictureLoadFailureText(status).empty()) {
    std::abort();  // a failed load leaves no picture and always has a message
  }
  fuzz::ForgetShownTexts();
  return 0;
}
