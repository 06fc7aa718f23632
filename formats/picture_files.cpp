// picture_files.cpp: picture type dispatch, the shared loader with its "Find Picture" retry, the
// saver, and the whole-file reads and replacing writes the codecs share.
#include "formats/picture_files.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>

#include "formats/bmp_picture.h"
#include "formats/ei_picture.h"
#include "formats/gif.h"
#include "formats/library_pictures.h"
#include "formats/tiff_picture.h"
#include "platform/counted_string.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/safe_save.h"

namespace tsv {
namespace {

constexpr uint32_t kTypeBmp = FourCC("BMP ");
constexpr uint32_t kTypeGif = FourCC("GIFf");
constexpr uint32_t kTypeTiff = FourCC("TIFF");
constexpr uint32_t kTypeElectricImage = FourCC("EIDI");
constexpr uint32_t kTypePng = FourCC("PNGf");
constexpr uint32_t kTypeJpeg = FourCC("JPEG");
constexpr uint32_t kTypePict = FourCC("PICT");

// The picture types the "Find Picture" dialog offers, after the missing picture's own.
constexpr uint32_t kPictureTypes[] = {kTypeBmp, kTypeGif,  kTypeTiff, kTypeElectricImage,
                                      kTypePng, kTypeJpeg, kTypePict};

// The size and decode operations of every format, on the file's bytes.
Status SizeFromBytes(uint32_t type, std::span<const uint8_t> bytes, int& width, int& height) {
  switch (type) {
    case kTypeBmp: return GetBmpSize(bytes, width, height);
    case kTypeGif: return DecodeGifSize(bytes, width, height);
    case kTypeTiff: return GetTiffSize(bytes, width, height);
    case kTypeElectricImage: return GetElectricImageSize(bytes, width, height);
    case kTypePng: return GetPngSize(bytes, width, height);
    case kTypeJpeg: return GetJpegSize(bytes, width, height);
    default: return kNoPictureReader;
  }
}

Status DecodeFromBytes(uint32_t type, std::span<const uint8_t> bytes, const PixelBuffer& destination) {
  switch (type) {
    case kTypeBmp: return DecodeBmp(bytes, destination);
    case kTypeGif: return DecodeGif(bytes, destination);
    case kTypeTiff: return DecodeTiff(bytes, destination);
    case kTypeElectricImage: return DecodeElectricImage(bytes, destination);
    case kTypePng: return DecodePng(bytes, destination);
    case kTypeJpeg: return DecodeJpeg(bytes, destination);
    default: return kNoPictureReader;
  }
}

// The type to read bytes as: what their contents announce, else the type they came with.
uint32_t ReadingType(std::span<const uint8_t> bytes, uint32_t givenType) {
  const uint32_t sniffed = SniffPictureType(bytes);
  return sniffed != 0 ? sniffed : givenType;
}

// Size, allocation, decode; `picture` is left empty on failure.
Status DecodeInto(uint32_t type, std::span<const uint8_t> bytes, Picture& picture) {
  picture = Picture{};
  int width = 0;
  int height = 0;
  if (Status s = SizeFromBytes(type, bytes, width, height); s != kNoError) return s;
  if (Status s = CheckPictureSize(width, height); s != kNoError) return s;
  Picture result;
  try {
    result.pixels.resize(size_t(width) * size_t(height));
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  result.width = width;
  result.height = height;
  const PixelBuffer destination{result.pixels, width, height, size_t(width)};
  if (Status s = DecodeFromBytes(type, bytes, destination); s != kNoError) return s;
  picture = std::move(result);
  return kNoError;
}

// The open dialog for a picture that is not where its FileSpec points, offering the picture types
// with the missing picture's own first and proposing its file name. False when cancelled.
bool AskForMissingPicture(const FileSpec& missing, FileSpec& chosen) {
  FileSpec ask = missing;
  uint32_t ownType = PictureTypeOfSpec(missing);
  if (std::find(std::begin(kPictureTypes), std::end(kPictureTypes), ownType) == std::end(kPictureTypes)) ownType = 0;
  int count = 0;
  if (ownType != 0) ask.fileTypes[count++] = ownType;
  for (uint32_t type : kPictureTypes) {
    if (type != ownType && count < kMaxFileTypes) ask.fileTypes[count++] = type;
  }
  ask.typeCount = uint16_t(count);
  const std::string title =
      SubstitutePlaceholder(GetString(kAskFindPicture), 0, FileNameOfPath(InternalToPath(missing.name)));
  if (AskOpenFile(ask, nullptr, title) != kNoError) return false;
  chosen = ask;
  return true;
}

}  // namespace

Status CheckPictureSize(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return kMalformed;
  if (width > kMaxPictureSide || height > kMaxPictureSide) return kNoMemory;
  return width * height > kMaxPicturePixels ? kNoMemory : kNoError;
}

bool PictureFitsBuffer(const PixelBuffer& buffer, int width, int height) {
  if (buffer.width != width || buffer.height != height || width <= 0 || height <= 0) return false;
  if (buffer.stride < size_t(width)) return false;
  const uint64_t needed = uint64_t(height - 1) * buffer.stride + uint64_t(width);
  return needed <= buffer.pixels.size();
}

bool IsPictureSourceValid(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes) {
  const int width = rect.Width();
  const int height = rect.Height();
  if (width <= 0 || height <= 0 || strideBytes % 4 != 0 || strideBytes / 4 < size_t(width)) return false;
  const uint64_t needed = uint64_t(height - 1) * (strideBytes / 4) + uint64_t(width);
  return needed <= pixels.size();
}

uint32_t PictureTypeOfSpec(const FileSpec& spec) {
  if (spec.typeCount > 0 && spec.fileTypes[0] != 0) return spec.fileTypes[0];
  return FileTypeFromName(PathOfSpec(spec));
}

uint32_t SniffPictureType(std::span<const uint8_t> b) {
  auto starts = [&](std::initializer_list<uint8_t> magic) {
    return b.size() >= magic.size() && std::equal(magic.begin(), magic.end(), b.begin());
  };
  if (starts({'B', 'M'})) return kTypeBmp;
  if (starts({'G', 'I', 'F', '8'})) return kTypeGif;
  if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return kTypePng;
  if (starts({0xFF, 0xD8, 0xFF})) return kTypeJpeg;
  if (starts({'M', 'M', 0, 42}) || starts({'I', 'I', 42, 0})) return kTypeTiff;
  // The Electric Image block header: u16 5, u32 1.
  if (starts({0, 5, 0, 0, 0, 1})) return kTypeElectricImage;
  return 0;
}

Status ReadPictureFileBytes(const FileSpec& spec, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileSpec opened = spec;  // opening would reset its type from the name
  FileRef file;
  if (Status s = OpenFile(opened, FileMode::Read, file); s != kNoError) return s;
  int64_t size = 0;
  Status s = GetFileSize(file, size);
  if (s != kNoError) return kReadError;  // the file error has been shown and the file closed
  if (size > kMaxPictureFileBytes) {
    CloseFileQuietly(file);
    return kNoMemory;
  }
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    CloseFileQuietly(file);
    return kNoMemory;
  }
  s = ReadBytes(file, bytes.data(), bytes.size());
  CloseFileQuietly(file);
  if (s != kNoError) bytes.clear();
  return s;
}

Status WritePictureFileBytes(const FileSpec& spec, std::span<const uint8_t> bytes) {
  SafeSave save;
  if (!BeginSafeSave(spec, save)) return kWriteError;
  if (WriteBytes(save.file, bytes.data(), bytes.size()) != kNoError) return kWriteError;
  return CommitSafeSave(save) ? kNoError : kWriteError;
}

Status FinishPictureWrite(const FileSpec& spec, Status encoded, std::span<const uint8_t> bytes) {
  if (encoded == kNoMemory) ShowStopMessage(GetString(kErrNotEnoughMemory));
  if (encoded != kNoError) return encoded;
  return WritePictureFileBytes(spec, bytes);
}

Status DecodePictureBytes(std::span<const uint8_t> bytes, uint32_t type, Picture& picture) {
  return DecodeInto(ReadingType(bytes, type), bytes, picture);
}

Status PictureSizeOfBytes(std::span<const uint8_t> bytes, uint32_t type, int& width, int& height) {
  return SizeFromBytes(ReadingType(bytes, type), bytes, width, height);
}

Status ReadPictureSize(const FileSpec& spec, int& width, int& height) {
  std::vector<uint8_t> bytes;
  if (Status s = ReadPictureFileBytes(spec, bytes); s != kNoError) return s;
  const uint32_t type = ReadingType(bytes, PictureTypeOfSpec(spec));
  if (Status s = SizeFromBytes(type, bytes, width, height); s != kNoError) return s;
  return CheckPictureSize(width, height);
}

Status ReadPicture(const FileSpec& spec, const PixelBuffer& destination) {
  std::vector<uint8_t> bytes;
  if (Status s = ReadPictureFileBytes(spec, bytes); s != kNoError) return s;
  return DecodeFromBytes(ReadingType(bytes, PictureTypeOfSpec(spec)), bytes, destination);
}

std::string PictureLoadFailureText(Status status) {
  switch (status) {
    case kNoError: return {};
    case kNoMemory: return GetString(kErrNotEnoughMemory);
    case kInvalidBmpFile: return GetString(kErrInvalidBmpFile);
    case kNoPictureReader: return GetString(kErrNoPictureReader);
    default: return GetString(kErrCouldntLoadPicture);
  }
}

void ReportPictureLoadFailure(Status status) {
  if (status != kNoError) ShowStopMessage(PictureLoadFailureText(status));
}

PictureLoad LoadPictureQuietly(const FileSpec& spec, Picture& picture) {
  picture = Picture{};
  std::vector<uint8_t> bytes;
  Status status = ReadPictureFileBytes(spec, bytes);
  if (status == kNoError) status = DecodePictureBytes(bytes, PictureTypeOfSpec(spec), picture);
  return PictureLoad{status, PictureLoadFailureText(status)};
}

PictureLoad FindAndLoadPicture(FileSpec& spec, Picture& picture, const std::string& searchFolder) {
  PictureLoad load = LoadPictureQuietly(spec, picture);
  if (load.status != kFileNotFound) return load;
  FileSpec found;
  const std::string name = FileNameOfPath(PathOfSpec(spec));
  const bool inFolder = !searchFolder.empty() && FindFileInFolderTree(searchFolder, name, found);
  if (!inFolder && !AskForMissingPicture(spec, found)) return load;
  load = LoadPictureQuietly(found, picture);
  if (load.status == kNoError) spec = found;
  return load;
}

Status LoadPicture(FileSpec& spec, Picture& picture) {
  const PictureLoad load = FindAndLoadPicture(spec, picture, std::string());
  ReportPictureLoadFailure(load.status);
  return load.status;
}

static_assert(std::size(kOpenPictureTypes) <= size_t(kMaxFileTypes), "the open dialog's filters hold every type");

OpenedPicture AskAndOpenPicture(const FileSpec* startFrom) {
  OpenedPicture opened;
  if (startFrom != nullptr && IsFileSpecSet(*startFrom)) CopyFileSpec(opened.spec, *startFrom);
  opened.spec.typeCount = uint16_t(std::size(kOpenPictureTypes));
  std::copy(std::begin(kOpenPictureTypes), std::end(kOpenPictureTypes), opened.spec.fileTypes);
  // A dialog that fails has said why; a cancelled one is no failure to report.
  opened.status = AskOpenFile(opened.spec);
  if (opened.status == kNoError) opened.status = LoadPicture(opened.spec, opened.picture);
  return opened;
}

Status SavePicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                   const PictureSaveOptions& options) {
  switch (PictureTypeOfSpec(spec)) {
    case kTypeBmp: return WriteBmpPicture(spec, pixels, rect, strideBytes);
    case kTypeElectricImage: return WriteElectricImagePicture(spec, pixels, rect, strideBytes, options);
    case kTypeTiff: return WriteTiffPicture(spec, pixels, rect, strideBytes, options);
    case kTypePng: return WritePngPicture(spec, pixels, rect, strideBytes, options);
    case kTypeGif: return WriteGifPicture(spec, pixels, rect, strideBytes, options);
    default:
      ShowStopMessage(GetString(kErrNoPictureWriter));
      return kNoPictureWriter;
  }
}

}  // namespace tsv
