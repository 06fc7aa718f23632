// picture_files.h: the shared picture loader and saver. Chooses the reader or writer by the file's
// picture type, reads whole files into memory for the codecs, caps picture sizes, turns a failed
// load into the program's message, and opens pictures the user chooses. The codecs themselves live in bmp_picture.h,
// ei_picture.h, tiff_picture.h, library_pictures.h and gif.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Every picture must fit the 16-bit rectangles the program keeps (at most 32767 on a side), and
// no picture may ask for more than 128 M pixels (512 MB), whatever its header claims.
inline constexpr int kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = int64_t(1) << 27;
// Files larger than this are not read into memory.
inline constexpr int64_t kMaxPictureFileBytes = int64_t(1) << 30;

// 0 when the size can be held; kWriteError for an empty picture, kNoMemory beyond the caps.
Status CheckPictureSize(int64_t width, int64_t height);
// True when `buffer` has exactly this size and its span holds every row at its stride.
[[nodiscard]] bool PictureFitsBuffer(const PixelBuffer& buffer, int width, int height);
// True when a writer may read `rect` (at least one pixel) from `pixels` at `strideBytes` per row
// (a multiple of 4, at least 4 * width). The pixels start at the rectangle's top left.
[[nodiscard]] bool IsPictureSourceValid(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes);
// The source pixel at (x, y) of the rectangle.
inline uint32_t SourcePixel(std::span<const uint32_t> pixels, size_t strideBytes, int x, int y) {
  return pixels[size_t(y) * (strideBytes / 4) + size_t(x)];
}

// The picture type of a FileSpec: its type entry 0, or the type of its extension when that is 0.
uint32_t PictureTypeOfSpec(const FileSpec& spec);
// The type the file's first bytes announce ('BMP ', 'GIFf', 'TIFF', 'PNGf', 'JPEG', 'EIDI'), or 0.
// A picture whose contents name another format than its extension is read as what it is.
uint32_t SniffPictureType(std::span<const uint8_t> bytes);

// The whole file (kFileNotFound when it cannot be opened, kNoMemory when it is too big).
Status ReadPictureFileBytes(const FileSpec& spec, std::vector<uint8_t>& bytes);
// Writes `bytes` as the whole new contents of the file: into a temporary beside it, renamed over
// it only when complete. A failure has shown "Error: File error has occured.".
Status WritePictureFileBytes(const FileSpec& spec, std::span<const uint8_t> bytes);

// The end of every file writer: after an encoder's status, writes its bytes with
// WritePictureFileBytes. kNoMemory shows "Error: Not enough memory."; an encoder's failure is
// returned as it is.
Status FinishPictureWrite(const FileSpec& spec, Status encoded, std::span<const uint8_t> bytes);

// Decodes a picture held in memory as `type` (a sniffed type wins). Quiet: returns the status.
Status DecodePictureBytes(std::span<const uint8_t> bytes, uint32_t type, Picture& picture);

// The size a picture held in memory claims, read as DecodePictureBytes reads it; nothing decoded.
Status PictureSizeOfBytes(std::span<const uint8_t> bytes, uint32_t type, int& width, int& height);

// The two read operations over a file, chosen by the picture type of its FileSpec. Quiet.
Status ReadPictureSize(const FileSpec& spec, int& width, int& height);
Status ReadPicture(const FileSpec& spec, const PixelBuffer& destination);

// What a load that shows nothing gives back: its status and, when it failed, the text the user is
// to be shown for it (PictureLoadFailureText).
struct PictureLoad {
  Status status = kNoError;
  std::string message;
};

// The text for a failed load: "Invalid BMP file.", "Error: Not enough memory.", "No reader is
// available for this picture format." or "Error: Couldn't load picture."; empty for kNoError.
std::string PictureLoadFailureText(Status status);
// Shows that text (nothing for kNoError).
void ReportPictureLoadFailure(Status status);

// The quiet load, for batch commands and for looking at files: reads and decodes the picture the
// FileSpec names, asks nothing and shows nothing. `picture` is empty unless the status is 0.
PictureLoad LoadPictureQuietly(const FileSpec& spec, Picture& picture);

// The steps of the shared loader without its message. A missing file is looked for by its name in
// `searchFolder` and the folders below it (when the folder is not empty), then with the "Find
// Picture" open dialog (its name proposed, the picture types offered); the file found or chosen is
// loaded instead, and on success `spec` names the file actually read. kFileNotFound when no file
// could be had (the dialog cancelled).
PictureLoad FindAndLoadPicture(FileSpec& spec, Picture& picture, const std::string& searchFolder);

// The shared loader: FindAndLoadPicture without a folder to search, showing the message of a
// failure. Every failure has been shown when this returns a status other than 0; `picture` is
// then empty.
Status LoadPicture(FileSpec& spec, Picture& picture);

// The picture types a picture is opened from, in the order of the open dialog's filters.
inline constexpr uint32_t kOpenPictureTypes[] = {FourCC("PNGf"), FourCC("JPEG"), FourCC("BMP "),
                                                 FourCC("GIFf"), FourCC("TIFF"), FourCC("EIDI")};

// A picture the user chose and the loader read, with the file spec of the file read.
struct OpenedPicture {
  Status status = kNoError;
  Picture picture;
  FileSpec spec;
};

// Opening a picture: the open dialog offering kOpenPictureTypes (proposing the file `startFrom`
// names, when it names one), then LoadPicture. kCancelled when the dialog was cancelled, which
// shows nothing; any other failure has been shown.
OpenedPicture AskAndOpenPicture(const FileSpec* startFrom = nullptr);

// Saves `rect` of the pixels as the picture type of the FileSpec ('BMP ', 'EIDI', 'TIFF', 'GIFf',
// 'PNGf') with the save options. A failure has been shown (kNoPictureWriter: "No writer is
// available for this picture format.").
Status SavePicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                   const PictureSaveOptions& options);
inline Status SavePicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                          size_t strideBytes) {
  return SavePicture(spec, pixels, rect, strideBytes, CurrentPictureSaveOptions());
}

// A rectangle of a whole picture's size.
inline PixelRect RectOfPicture(const Picture& picture) {
  return PixelRect{0, 0, int16_t(picture.height), int16_t(picture.width)};
}

}  // namespace tsv
