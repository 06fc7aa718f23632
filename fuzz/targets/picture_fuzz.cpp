// picture_fuzz.cpp: any bytes as a picture of one type through the shared picture loader, the way
// a texture or an opened picture is loaded. Built once per type; TESSIVAR_FUZZ_PICTURE picks it
// (a picture whose first bytes name another format is read as that one, as in the program).
// TIFF files go through libtiff with our own reader behind it, and through our reader alone too,
// so that it is fuzzed on the files libtiff takes as well as on those it refuses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "formats/tiff_picture.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"

namespace {

// In the order fuzz/CMakeLists.txt builds them: bmp, ei, tiff, png, jpeg.
constexpr uint32_t kFuzzedTypes[] = {tsv::FourCC("BMP "), tsv::FourCC("EIDI"), tsv::FourCC("TIFF"),
                                     tsv::FourCC("PNGf"), tsv::FourCC("JPEG")};
constexpr uint32_t kFuzzedType = kFuzzedTypes[TESSIVAR_FUZZ_PICTURE];

// The TIFF fallback reader on its own: the size it gives is the size it decodes into.
void FuzzTiffFallback(std::span<const uint8_t> bytes) {
  using namespace tsv;
  int width = 0;
  int height = 0;
  if (GetTiffSizeFallback(bytes, width, height) != kNoError) return;
  if (width <= 0 || height <= 0) std::abort();
  if (CheckPictureSize(width, height) != kNoError) return;  // the loader refuses it before decoding
  if (int64_t(width) * int64_t(height) > tsv::fuzz::kFuzzMaxPixels) return;
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  (void)DecodeTiffFallback(bytes, PixelBuffer{pixels, width, height, size_t(width)});  // either will do
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::span<const uint8_t> bytes(data, size);
  if (kFuzzedType == FourCC("TIFF")) FuzzTiffFallback(bytes);
  int width = 0;
  int height = 0;
  if (PictureSizeOfBytes(bytes, kFuzzedType, width, height) == kNoError &&
      int64_t(width) * int64_t(height) > fuzz::kFuzzMaxPixels) {
    return 0;
  }
  Picture picture;
  const Status status = DecodePictureBytes(bytes, kFuzzedType, picture);
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
