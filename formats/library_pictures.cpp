// library_pictures.cpp: libpng, libjpeg and libtiff behind the picture codec interface.
//
// libpng and libjpeg report errors by longjmp. Every function that calls setjmp declares all its
// objects with destructors before the setjmp and creates none after it, so a jump back skips no
// destructor; the callbacks the libraries call hold no such objects either.
#include "formats/library_pictures.h"

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
#include <tiffio.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "formats/picture_files.h"

namespace tsv {

// Decoders write blue, green, red, alpha bytes straight into the 32-bit pixels.
static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian 0xAARRGGBB");

namespace {

// ---------------------------------------------------------------------------------------------
// PNG

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngInput {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void PngRead(png_structp png, png_bytep out, size_t count) {
  auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
  if (count > in->size - in->position) png_error(png, "truncated");
  std::memcpy(out, in->data + in->position, count);
  in->position += count;
}

[[noreturn]] void PngError(png_structp png, png_const_charp) { std::longjmp(png_jmpbuf(png), 1); }
void PngWarning(png_structp, png_const_charp) {}

// Owns libpng's read structures.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngInput input{};
  explicit PngReader(std::span<const uint8_t> file) : input{file.data(), file.size(), 0} {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngReader() { png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
};

bool IsPng(std::span<const uint8_t> file) {
  return file.size() >= 8 && std::memcmp(file.data(), kPngSignature, 8) == 0;
}

// Reads the header; with `rows`, also sets up the conversion to 32-bit pixels and reads the
// picture into them, when it has the size the rows were made for. False after any libpng error.
bool RunPngRead(PngReader& r, png_uint_32& width, png_uint_32& height, png_bytepp rows, png_uint_32 rowsWidth,
                png_uint_32 rowCount) {
  png_structp png = r.png;
  png_infop info = r.info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &r.input, PngRead);
  png_read_info(png, info);
  width = png_get_image_width(png, info);
  height = png_get_image_height(png, info);
  if (rows == nullptr) return true;
  if (width != rowsWidth || height != rowCount) return false;
  const int colorType = png_get_color_type(png, info);
  if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // only pictures without alpha get it
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(width) * 4) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

struct PngOutput {
  std::vector<uint8_t>* out;
};

void PngWrite(png_structp png, png_bytep data, size_t count) {
  auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    output->out->insert(output->out->end(), data, data + count);
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  // Leave the handler before jumping out.
  if (failed) png_error(png, "out of memory");
}

void PngFlush(png_structp) {}

// Owns libpng's write structures.
struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngWriter() {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngWriter() { png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
};

bool RunPngWrite(PngWriter& w, PngOutput& output, png_uint_32 width, png_uint_32 height,
                 const PictureSaveOptions& options, png_bytepp rows) {
  png_structp png = w.png;
  png_infop info = w.info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &output, PngWrite, PngFlush);
  png_set_IHDR(png, info, width, height, 8, options.includeAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  // Our pixels always carry four bytes; without alpha the fourth is dropped on the way out.
  if (!options.includeAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

// ---------------------------------------------------------------------------------------------
// JPEG

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}
void JpegOutputMessage(j_common_ptr) {}
// Warnings are passed over, except the one for a file that ends before its picture: libjpeg
// would fill the rest with grey and call it a success.
void JpegEmitMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(info);
}

bool IsJpeg(std::span<const uint8_t> file) { return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8; }

// Owns the decompressor; reads from the bytes in memory.
struct JpegReader {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  bool created = false;
  JpegReader() {
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegErrorExit;
    errors.manager.output_message = JpegOutputMessage;
    errors.manager.emit_message = JpegEmitMessage;
  }
  ~JpegReader() {
    if (created) jpeg_destroy_decompress(&info);
  }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
};

// Inverted CMYK (Adobe's) stores 255 - ink; plain CMYK stores the ink.
inline uint8_t FromInk(uint8_t c, uint8_t k, bool inverted) {
  return inverted ? uint8_t((unsigned(c) * k + 127) / 255) : uint8_t((unsigned(255 - c) * (255 - k) + 127) / 255);
}

bool RunJpegRead(JpegReader& r, std::span<const uint8_t> file, unsigned& width, unsigned& height,
                 const PixelBuffer* destination) {
  jpeg_decompress_struct* info = &r.info;
  if (setjmp(r.errors.jump)) return false;
  r.created = true;  // destroying a half-made decompressor is safe
  jpeg_create_decompress(info);
  // Without a limit libjpeg takes whatever a (progressive) picture's header asks for; beyond it,
  // having no backing store, it fails.
  info->mem->max_memory_to_use = 1L << 30;
  jpeg_mem_src(info, file.data(), static_cast<unsigned long>(file.size()));
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
  width = info->image_width;
  height = info->image_height;
  if (destination == nullptr) return true;
  if (!PictureFitsBuffer(*destination, int(width), int(height))) return false;
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(info);
  if (info->output_width != width || info->output_height != height || info->output_components != 4) return false;
  const bool inverted = info->saw_Adobe_marker;
  JSAMPARRAY inkRow = cmyk ? (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE, width * 4, 1)
                           : nullptr;
  while (info->output_scanline < height) {
    uint32_t* out = destination->pixels.data() + size_t(info->output_scanline) * destination->stride;
    // Reading from memory never suspends; a row that does not come is a failure, not a wait.
    if (!cmyk) {
      JSAMPROW row = reinterpret_cast<JSAMPROW>(out);
      if (jpeg_read_scanlines(info, &row, 1) != 1) return false;
      continue;
    }
    if (jpeg_read_scanlines(info, inkRow, 1) != 1) return false;
    const JSAMPLE* s = inkRow[0];
    for (unsigned x = 0; x < width; ++x, s += 4) {
      out[x] = 0xFF000000u | (uint32_t(FromInk(s[0], s[3], inverted)) << 16) |
               (uint32_t(FromInk(s[1], s[3], inverted)) << 8) | FromInk(s[2], s[3], inverted);
    }
  }
  jpeg_finish_decompress(info);
  return true;
}

// ---------------------------------------------------------------------------------------------
// TIFF

struct TiffInput {
  const uint8_t* data;
  uint64_t size;
  uint64_t position;
};

tsize_t TiffRead(thandle_t handle, tdata_t buffer, tsize_t count) {
  auto* in = static_cast<TiffInput*>(handle);
  if (count <= 0) return 0;
  const uint64_t available = in->position < in->size ? in->size - in->position : 0;
  const uint64_t n = std::min<uint64_t>(uint64_t(count), available);
  if (n > 0) std::memcpy(buffer, in->data + in->position, n);
  in->position += n;
  return tsize_t(n);
}
tsize_t TiffWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* in = static_cast<TiffInput*>(handle);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = int64_t(in->position);
  if (whence == SEEK_END) base = int64_t(in->size);
  // A relative seek backwards arrives as a wrapped unsigned offset.
  const int64_t target = base + int64_t(offset);
  if (target < 0) return toff_t(-1);
  in->position = uint64_t(target);
  return toff_t(target);
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<TiffInput*>(handle)->size; }
int TiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}
// Returning 1 keeps libtiff from passing the message on to its global (printing) handlers.
int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// An open libtiff reader over bytes in memory, with its messages silenced.
struct TiffReader {
  TiffInput input;
  TIFFOpenOptions* options = nullptr;
  TIFF* tiff = nullptr;
  explicit TiffReader(std::span<const uint8_t> file) : input{file.data(), file.size(), 0} {
    // The few messages libtiff still sends to its process-wide handlers would go to standard
    // error; nothing else in the program uses libtiff.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return;
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxPicturePixels) * 4 + (1 << 20));
    // "m": never map; the bytes are already in memory and must not be written to.
    tiff = TIFFClientOpenExt("picture", "rm", &input, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                             TiffUnmap, options);
  }
  ~TiffReader() {
    if (tiff != nullptr) TIFFClose(tiff);
    if (options != nullptr) TIFFOpenOptionsFree(options);
  }
  TiffReader(const TiffReader&) = delete;
  TiffReader& operator=(const TiffReader&) = delete;
};

bool IsTiff(std::span<const uint8_t> file) {
  return file.size() >= 8 && ((file[0] == 'I' && file[1] == 'I') || (file[0] == 'M' && file[1] == 'M'));
}

Status TiffSizeOf(TiffReader& r, int& width, int& height) {
  uint32_t w = 0;
  uint32_t h = 0;
  if (r.tiff == nullptr || TIFFGetField(r.tiff, TIFFTAG_IMAGEWIDTH, &w) != 1 ||
      TIFFGetField(r.tiff, TIFFTAG_IMAGELENGTH, &h) != 1) {
    return kWriteError;
  }
  if (Status s = CheckPictureSize(w, h); s != kNoError) return s;
  width = int(w);
  height = int(h);
  return kNoError;
}

}  // namespace

Status GetPngSize(std::span<const uint8_t> file, int& width, int& height) {
  if (!IsPng(file)) return file.size() < 8 ? kReadError : kMalformed;
  PngReader r(file);
  if (r.info == nullptr) return kNoMemory;
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  if (!RunPngRead(r, w, h, nullptr, 0, 0)) return kMalformed;
  if (Status s = CheckPictureSize(w, h); s != kNoError) return s;
  width = int(w);
  height = int(h);
  return kNoError;
}

Status DecodePng(std::span<const uint8_t> file, const PixelBuffer& destination) {
  if (!IsPng(file)) return file.size() < 8 ? kReadError : kMalformed;
  if (!PictureFitsBuffer(destination, destination.width, destination.height)) return kMalformed;
  PngReader r(file);
  std::vector<png_bytep> rows;
  try {
    rows.resize(size_t(destination.height));
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  if (r.info == nullptr) return kNoMemory;
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = reinterpret_cast<png_bytep>(destination.pixels.data() + y * destination.stride);
  }
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  const bool read = RunPngRead(r, w, h, rows.data(), png_uint_32(destination.width), png_uint_32(destination.height));
  return read ? kNoError : kMalformed;
}

Status EncodePng(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                 const PictureSaveOptions& options, std::vector<uint8_t>& out) {
  if (!IsPictureSourceValid(pixels, rect, strideBytes)) return kMalformed;
  std::vector<png_bytep> rows;
  PngWriter w;
  PngOutput output{&out};
  try {
    out.clear();
    rows.resize(size_t(rect.Height()));
    out.reserve(size_t(rect.Width()) * size_t(rect.Height()) + 1024);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  if (w.info == nullptr) return kNoMemory;
  // libpng copies each row before transforming it, so the source is never written to.
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = reinterpret_cast<png_bytep>(const_cast<uint32_t*>(pixels.data() + y * (strideBytes / 4)));
  }
  if (!RunPngWrite(w, output, png_uint_32(rect.Width()), png_uint_32(rect.Height()), options, rows.data())) {
    out.clear();
    return kNoMemory;
  }
  return kNoError;
}

Status WritePngPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                       const PictureSaveOptions& options) {
  std::vector<uint8_t> bytes;
  const Status encoded = EncodePng(pixels, rect, strideBytes, options, bytes);
  return FinishPictureWrite(spec, encoded, bytes);
}

Status GetJpegSize(std::span<const uint8_t> file, int& width, int& height) {
  if (!IsJpeg(file)) return file.size() < 3 ? kReadError : kMalformed;
  JpegReader r;
  unsigned w = 0;
  unsigned h = 0;
  if (!RunJpegRead(r, file, w, h, nullptr)) return kMalformed;
  if (Status s = CheckPictureSize(w, h); s != kNoError) return s;
  width = int(w);
  height = int(h);
  return kNoError;
}

Status DecodeJpeg(std::span<const uint8_t> file, const PixelBuffer& destination) {
  if (!IsJpeg(file)) return file.size() < 3 ? kReadError : kMalformed;
  JpegReader r;
  unsigned w = 0;
  unsigned h = 0;
  return RunJpegRead(r, file, w, h, &destination) ? kNoError : kMalformed;
}

Status GetTiffSizeLibrary(std::span<const uint8_t> file, int& width, int& height) {
  if (!IsTiff(file)) return file.size() < 8 ? kReadError : kMalformed;
  TiffReader r(file);
  return TiffSizeOf(r, width, height);
}

Status DecodeTiffLibrary(std::span<const uint8_t> file, const PixelBuffer& destination) {
  if (!IsTiff(file)) return file.size() < 8 ? kReadError : kMalformed;
  TiffReader r(file);
  int width = 0;
  int height = 0;
  if (Status s = TiffSizeOf(r, width, height); s != kNoError) return s;
  if (!PictureFitsBuffer(destination, width, height)) return kMalformed;
  char message[1024];
  if (TIFFRGBAImageOK(r.tiff, message) != 1) return kMalformed;
  // libtiff wants the whole picture without gaps between rows; use the destination itself when
  // it has none.
  std::vector<uint32_t> scratch;
  uint32_t* raster = destination.pixels.data();
  if (destination.stride != size_t(width)) {
    try {
      scratch.resize(size_t(width) * size_t(height));
    } catch (const std::bad_alloc&) {
      return kNoMemory;
    }
    raster = scratch.data();
  }
  if (TIFFReadRGBAImageOriented(r.tiff, uint32_t(width), uint32_t(height), raster, ORIENTATION_TOPLEFT, 1) != 1) {
    return kMalformed;
  }
  // libtiff packs red in the low byte (bytes red, green, blue, alpha); swap red and blue.
  for (int y = 0; y < height; ++y) {
    const uint32_t* s = raster + size_t(y) * size_t(width);
    uint32_t* d = destination.pixels.data() + size_t(y) * destination.stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = s[x];
      d[x] = (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
    }
  }
  return kNoError;
}

}  // namespace tsv
