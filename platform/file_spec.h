// file_spec.h: the file spec (a path in internal form plus up to eight file types), the
// conversions between native paths and the internal form, and the table that maps extensions to
// four-character file types.
//
// Internal form: every separator becomes ':'. A Linux path /home/ann/Rock.cmf is held as
// :home:ann:Rock.cmf; a Windows path C:\Work\Rock.cmf as C:Work:Rock.cmf (the backslash after the
// drive colon dropped). Both forms convert back, so files written on either system read here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/counted_string.h"
#include "platform/status.h"
#include "platform/string_id.h"

namespace tsv {

inline constexpr int kMaxFileTypes = 8;
inline constexpr size_t kFileSpecSize = 300;

struct FileSpec {
  uint16_t volumeRef = 0;
  uint32_t directoryId = 0;
  CountedString name;  // the full path in internal form; empty when the file spec names no file
  uint16_t typeCount = 0;
  uint32_t fileTypes[kMaxFileTypes] = {};
};

// The 300-byte stored image: volumeRef (u16), 2 bytes padding, directoryId (u32), the name as
// 256 bytes (length byte first), typeCount (u16), 2 bytes padding, eight u32 file types; big-endian.
void StoreFileSpec(const FileSpec& spec, std::span<uint8_t, kFileSpecSize> out);
FileSpec LoadFileSpec(std::span<const uint8_t, kFileSpecSize> in);

void MakeFileSpec(FileSpec& spec, uint16_t volumeRef, uint32_t directoryId, const CountedString& name,
                  uint32_t fileType);
void ClearFileSpec(FileSpec& spec);
[[nodiscard]] bool IsFileSpecSet(const FileSpec& spec);
void CopyFileSpec(FileSpec& destination, const FileSpec& source);  // volumeRef, directoryId, name

// Native (or Windows) path text to internal form. Relative Linux paths are made absolute against
// the working directory first. False when the result would not fit 255 bytes, or when a Linux
// path holds a ':' (it could not be told apart from a separator on the way back).
[[nodiscard]] bool PathToInternal(std::string_view path, CountedString& internal);
// Internal form back to a path: a name starting with ':' is a Linux path, anything else is taken
// as the Windows form (drive colon restored).
std::string InternalToPath(const CountedString& internal);

// What a save dialog proposes for a file of one type: the file last opened or saved, else a new one
// named `untitled` ("Untitled.bsph").
FileSpec FileSpecToSave(const FileSpec& last, std::string_view untitled, uint32_t fileType);

// A FileSpec of one type for a native path (name left empty when the path is too long to hold).
FileSpec FileSpecForPath(std::string_view path, uint32_t fileType);
std::string PathOfSpec(const FileSpec& spec);

// Split at the last separator (a Linux path at '/', a Windows path at '\', an internal name at
// ':'): the folder without its trailing separator, and the file name with its extension.
std::string FolderOfPath(std::string_view path);
std::string FileNameOfPath(std::string_view path);

struct FileTypeEntry {
  const char* extension;  // lower case, without the dot
  uint32_t type;
  StringId description;   // the filter text of the dialogs
};
// The table the dialogs list, in its fixed order.
std::span<const FileTypeEntry> FileTypeTable();
const FileTypeEntry* FindFileType(uint32_t type);

// The type of a path: the first table row whose ".extension" the lower-cased path ends with, 0 when
// none does; a path without any '.' takes the type of the filter last chosen in a file dialog.
uint32_t FileTypeFromName(std::string_view path);
// Appends "." and the type's extension unless the name already ends with them (in any case);
// an unknown type shows "Unknown file type." and leaves the name. Returns false then, and when the
// longer name would not fit 255 bytes.
[[nodiscard]] bool AddExtension(CountedString& name, uint32_t fileType);
// Removes "." and the type's extension from the end of the name, when present (in any case).
void RemoveExtension(CountedString& name, uint32_t fileType);

}  // namespace tsv
