// file_spec.cpp: file specs, internal paths and the file-type table.
#include "platform/file_spec.h"

#include <unistd.h>

#include <cstring>

#include "platform/byte_order.h"
#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

// Dialog order. Rows after the last dialog row only widen what FileTypeFromName recognises.
const FileTypeEntry kFileTypes[] = {
    {"dxf", FourCC("TEXT"), kFileTypeDxf},
    {"fac", FourCC("FACT"), kFileTypeFact},
    {"3ds", FourCC("STUD"), kFileType3ds},
    {"lwo", FourCC("LWOB"), kFileTypeLwo},
    {"cmf", FourCC("CMF "), kFileTypeObject},
    {"cma", FourCC("CMA "), kFileTypeProject},
    {"cmo", FourCC("CMO "), kFileTypeOptics},
    {"tsks", FourCC("TSKS"), kFileTypeTasks},
    {"bsph", FourCC("MTBL"), kFileTypeQuorvels},
    {"tif", FourCC("TIFF"), kFileTypeTiff},
    {"jpg", FourCC("JPEG"), kFileTypeJpeg},
    {"png", FourCC("PNGf"), kFileTypePng},
    {"wrl", FourCC("VRML"), kFileTypeVrml},
    {"bmp", FourCC("BMP "), kFileTypeBmp},
    {"gif", FourCC("GIFf"), kFileTypeGif},
    {"img", FourCC("EIDI"), kFileTypeImage},
    {"mov", FourCC("MooV"), kFileTypeMovie},
    {"cif", FourCC("CIF "), kFileTypePreview},
    {"obj", FourCC("WAVF"), kFileTypeObj},
    {"cmsw", FourCC("CMSW"), kFileTypeColorSwatch},
    {"pct", FourCC("PICT"), kFileTypePict},
};
constexpr size_t kDialogTypeCount = sizeof kFileTypes / sizeof kFileTypes[0];

// The longer spellings of two picture extensions that pictures from other programs carry.
const FileTypeEntry kExtraExtensions[] = {
    {"tiff", FourCC("TIFF"), kFileTypeTiff},
    {"jpeg", FourCC("JPEG"), kFileTypeJpeg},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool EndsWithDotExtension(std::string_view lowerPath, const char* extension) {
  size_t n = std::strlen(extension);
  if (lowerPath.size() < n + 1) return false;
  return lowerPath[lowerPath.size() - n - 1] == '.' && lowerPath.substr(lowerPath.size() - n) == extension;
}

std::string LowerText(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool IsWindowsPath(std::string_view path) {
  if (path.find('\\') != std::string_view::npos) return true;
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Linux paths split at '/', Windows paths at '\\', internal names at ':'.
size_t LastSeparator(std::string_view path) {
  if (path.find('/') != std::string_view::npos) return path.rfind('/');
  if (path.find('\\') != std::string_view::npos) return path.rfind('\\');
  return path.rfind(':');
}

}  // namespace

void StoreFileSpec(const FileSpec& spec, std::span<uint8_t, kFileSpecSize> out) {
  uint8_t* p = out.data();
  std::memset(p, 0, kFileSpecSize);
  StoreU16BE(p, spec.volumeRef);
  StoreU32BE(p + 4, spec.directoryId);
  p[8] = spec.name.length;
  std::memcpy(p + 9, spec.name.text, spec.name.length);
  StoreU16BE(p + 264, spec.typeCount);
  for (int i = 0; i < kMaxFileTypes; ++i) StoreU32BE(p + 268 + 4 * i, spec.fileTypes[i]);
}

FileSpec LoadFileSpec(std::span<const uint8_t, kFileSpecSize> in) {
  const uint8_t* p = in.data();
  FileSpec spec;
  spec.volumeRef = LoadU16BE(p);
  spec.directoryId = LoadU32BE(p + 4);
  spec.name.length = p[8];
  std::memcpy(spec.name.text, p + 9, spec.name.length);
  // A stored count above eight cannot be followed: only eight entries exist.
  spec.typeCount = LoadU16BE(p + 264) > kMaxFileTypes ? kMaxFileTypes : LoadU16BE(p + 264);
  for (int i = 0; i < kMaxFileTypes; ++i) spec.fileTypes[i] = LoadU32BE(p + 268 + 4 * i);
  return spec;
}

void MakeFileSpec(FileSpec& spec, uint16_t volumeRef, uint32_t directoryId, const CountedString& name,
                  uint32_t fileType) {
  spec.volumeRef = volumeRef;
  spec.directoryId = directoryId;
  CopyCountedString(spec.name, name);
  spec.typeCount = 1;
  spec.fileTypes[0] = fileType;
}

void ClearFileSpec(FileSpec& spec) {
  spec.volumeRef = 0;
  spec.directoryId = 0;
  spec.name.length = 0;
}

bool IsFileSpecSet(const FileSpec& spec) { return spec.name.length != 0; }

FileSpec FileSpecToSave(const FileSpec& last, std::string_view untitled, uint32_t fileType) {
  FileSpec spec = last;
  if (!IsFileSpecSet(spec)) {
    spec = FileSpec{};
    spec.name = TextToCountedString(untitled);
  }
  spec.fileTypes[0] = fileType;
  spec.typeCount = 1;
  return spec;
}

void CopyFileSpec(FileSpec& destination, const FileSpec& source) {
  destination.volumeRef = source.volumeRef;
  destination.directoryId = source.directoryId;
  CopyCountedString(destination.name, source.name);
}

bool PathToInternal(std::string_view path, CountedString& internal) {
  std::string text(path);
  if (IsWindowsPath(text)) {
    if (text.size() >= 3 && text[1] == ':' && text[2] == '\\') text.erase(2, 1);
    for (char& c : text) {
      if (c == '\\') c = ':';
    }
  } else {
    // ':' separates the internal form, so a Linux name holding one could not come back intact.
    if (text.find(':') != std::string::npos) return false;
    if (text.empty() || text[0] != '/') {
      char cwd[4096];
      if (getcwd(cwd, sizeof cwd) == nullptr) return false;
      std::string base = cwd;
      text = base == "/" ? "/" + text : base + "/" + text;
    }
    for (char& c : text) {
      if (c == '/') c = ':';
    }
  }
  if (text.size() > kCountedStringMax) return false;
  internal = TextToCountedString(text);
  return true;
}

std::string InternalToPath(const CountedString& internal) {
  std::string text = CountedToText(internal);
  if (!text.empty() && text[0] == ':') {
    for (char& c : text) {
      if (c == ':') c = '/';
    }
    return text;
  }
  for (char& c : text) {
    if (c == ':') c = '\\';
  }
  if (text.size() >= 2 && text[0] != '\\' && text[1] == '\\') text.insert(1, 1, ':');
  return text;
}

FileSpec FileSpecForPath(std::string_view path, uint32_t fileType) {
  FileSpec spec;
  CountedString internal;
  if (!PathToInternal(path, internal)) internal.length = 0;
  MakeFileSpec(spec, 0, 0, internal, fileType);
  return spec;
}

std::string PathOfSpec(const FileSpec& spec) { return InternalToPath(spec.name); }

std::string FolderOfPath(std::string_view path) {
  size_t cut = LastSeparator(path);
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

std::string FileNameOfPath(std::string_view path) {
  size_t cut = LastSeparator(path);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::span<const FileTypeEntry> FileTypeTable() { return {kFileTypes, kDialogTypeCount}; }

const FileTypeEntry* FindFileType(uint32_t type) {
  for (const FileTypeEntry& entry : kFileTypes) {
    if (entry.type == type) return &entry;
  }
  return nullptr;
}

uint32_t FileTypeFromName(std::string_view path) {
  std::string lower = LowerText(path);
  if (lower.find('.') == std::string::npos) return platform.chosenFilterType;
  for (const FileTypeEntry& entry : kFileTypes) {
    if (EndsWithDotExtension(lower, entry.extension)) return entry.type;
  }
  for (const FileTypeEntry& entry : kExtraExtensions) {
    if (EndsWithDotExtension(lower, entry.extension)) return entry.type;
  }
  return 0;
}

bool AddExtension(CountedString& name, uint32_t fileType) {
  const FileTypeEntry* entry = FindFileType(fileType);
  if (entry == nullptr) {
    ShowStopMessage(GetString(kResUnknownFileType));
    return false;
  }
  if (EndsWithDotExtension(LowerText(View(name)), entry->extension)) return true;
  if (name.length + 1 + std::strlen(entry->extension) > size_t(kCountedStringMax)) return false;
  name = TextToCountedString(std::string(View(name)) + "." + entry->extension);
  return true;
}

void RemoveExtension(CountedString& name, uint32_t fileType) {
  const FileTypeEntry* entry = FindFileType(fileType);
  if (entry == nullptr) return;
  if (EndsWithDotExtension(LowerText(View(name)), entry->extension)) {
    name.length = static_cast<uint8_t>(name.length - std::strlen(entry->extension) - 1);
  }
}

}  // namespace tsv
