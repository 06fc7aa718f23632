// gif_fuzz.cpp: any bytes as a GIF picture through the picture loader; whatever it accepts is
// written by the GIF writer and read back. The writer keeps only its own palette, so the first
// write may change colours; from then on a write and a read must give the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/gif.h"
#include "formats/picture.h"
#include "formats/picture_files.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"

namespace {

using namespace tsv;

// Writes the picture as a GIF (alpha kept, not dithered) and reads it back through the loader.
Picture WrittenAndRead(const Picture& picture) {
  PictureSaveOptions options;
  options.includeAlpha = true;
  options.dithered = false;
  std::vector<uint8_t> bytes;
  if (EncodeGif(picture.pixels, RectOfPicture(picture), size_t(picture.width) * 4, options, bytes) != kNoError) {
    std::fprintf(stderr, "the GIF writer refused a %dx%d picture the reader gave\n", picture.width, picture.height);
    std::abort();
  }
  Picture back;
  if (DecodePictureBytes(bytes, FourCC("GIFf"), back) != kNoError) {
    std::fprintf(stderr, "the GIF reader refused what the GIF writer wrote\n");
    std::abort();
  }
  if (back.width != picture.width || back.height != picture.height) {
    std::fprintf(stderr, "a %dx%d picture came back %dx%d\n", picture.width, picture.height, back.width, back.height);
    std::abort();
  }
  return back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  int width = 0;
  int height = 0;
  if (PictureSizeOfBytes(bytes, FourCC("GIFf"), width, height) == kNoError &&
      int64_t(width) * int64_t(height) > tsv::fuzz::kFuzzMaxPixels) {
    return 0;
  }
  Picture picture;
  const Status status = DecodePictureBytes(bytes, FourCC("GIFf"), picture);
  if (status != kNoError) {
    if (!picture.pixels.empty()) std::abort();  // a failed load leaves no picture behind
    return 0;
  }
  if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) std::abort();
  // The round trip only for the pictures the writer was made for: those that are GIFs.
  if (SniffPictureType(bytes) != FourCC("GIFf")) return 0;
  const Picture once = WrittenAndRead(picture);
  const Picture twice = WrittenAndRead(once);
  for (size_t i = 0; i < once.pixels.size(); ++i) {
    if (once.pixels[i] != twice.pixels[i]) {
      std::fprintf(stderr, "pixel %zu: written as %08x, read back as %08x\n", i, once.pixels[i], twice.pixels[i]);
      std::abort();
    }
  }
  tsv::fuzz::ForgetShownTexts();
  return 0;
}
