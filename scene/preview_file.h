// preview_file.h: the object preview file ('CIF ', "cif"), written beside every saved object file
// so the open dialog can show a thumbnail and the object's key facts without opening the object;
// and the facts the dialog's preview pane shows, from such a file or from an object directly.
//
// Layout (41084 bytes, little-endian): type flags (u32: 1 organic, + 2 fast synthetic), triangle
// count, point count, texture loaded (0/1), painted (u32 each), the 1024-byte description, a
// 40-byte bitmap information header (100 x 100, 32 bits, uncompressed), then 100 x 100 pixels of
// blue, green, red, 0 with the bottom row first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/user_services.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr size_t kPreviewFileSize = 41084;
inline constexpr uint32_t kPreviewFileType = FourCC("CIF ");
inline constexpr size_t kPreviewBitmapHeaderOffset = 1044;
inline constexpr size_t kPreviewPixelsOffset = 1084;

inline constexpr uint32_t kPreviewOrganic = 1;
inline constexpr uint32_t kPreviewFastSynthetic = 2;

struct PreviewFacts {
  uint32_t typeFlags = 0;
  uint32_t triangleCount = 0;
  uint32_t pointCount = 0;
  uint32_t hasTexture = 0;  // 1 when a texture picture is loaded
  int32_t isPainted = 0;
  std::array<char, kDescriptionSize> description{};  // zero-terminated
  std::vector<uint32_t> pixels;  // 100 x 100, 0x00RRGGBB, top row first
};

PreviewFacts PreviewFactsOf(const SceneObject& object);
void StorePreviewFile(const PreviewFacts& facts, std::span<uint8_t, kPreviewFileSize> out);
// False for an image whose bitmap header is not the 100 x 100, 32-bit one the file always holds, or
// whose facts no object can have (an unknown kind, counts beyond an object's limits, an organic
// object with other counts than the organic topology's).
[[nodiscard]] bool LoadPreviewFile(std::span<const uint8_t, kPreviewFileSize> in, PreviewFacts& facts);

// The preview file of an object file: the same folder and name, "cif" for "cmf".
FileSpec PreviewFileSpecOf(const FileSpec& objectFile);

// Writes the preview file beside the object's file (through a temporary, like every save). A file
// that cannot be written is passed over: the object itself is saved already. False then.
[[nodiscard]] bool WritePreviewFile(const SceneObject& object);

// The preview pane's contents (PreviewPane) are declared with the dialogs that show them.
// The pane for the object file selected in the dialog (native path): read from its preview file.
PreviewPane PreviewPaneForObjectFile(const std::string& objectPath);
// The pane of a dialog opened for one particular object (the save dialogs).
PreviewPane PreviewPaneForObject(const SceneObject& object);

}  // namespace tsv
