// optics_file.h: the optics file ('CMO ', "cmo"): a material on its own, so that it can be put on
// other objects; and the optics clipboard, which holds the same words in memory ("Copy Optics",
// "Paste Optics"). Painted vertices and the two shadow switches are not part of either: they
// stay with the object.
//
// Layout (30 bytes, big-endian u16, no header): shininess, diffuse strength, ambient level,
// transparency, the two extra words, then the specular, diffuse and ambient colours (red, green,
// blue each).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "scene/native_files.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr size_t kOpticsFileSize = 30;
inline constexpr uint32_t kOpticsFileType = FourCC("CMO ");

OpticsFileWords OpticsFileWordsOf(const Optics& optics);
// Puts the fifteen words into `optics`; `isPainted` and the shadow switches are left as they are.
void ApplyOpticsFileWords(Optics& optics, const OpticsFileWords& words);

void StoreOpticsFile(const OpticsFileWords& words, std::span<uint8_t, kOpticsFileSize> out);
OpticsFileWords LoadOpticsFile(std::span<const uint8_t, kOpticsFileSize> in);

// "Open Optics...": the open dialog for optics files, then the words into the object's optics,
// its shade ramp rebuilt and the object marked changed. A cancelled dialog or a file that cannot
// be read changes nothing and shows nothing; false then. The redraw is the caller's.
[[nodiscard]] bool OpenOptics(SceneObject& object);
// The same without the dialog: the optics file `spec` names. kFileNotFound or kReadError (a file
// shorter than an optics file), with nothing changed and nothing shown.
[[nodiscard]] Status OpenOpticsFile(SceneObject& object, const FileSpec& spec);
// "Save Optics...": the save dialog (".cmo" proposed), then the words written. False when
// cancelled or when the write fails (the previous file then stays intact).
[[nodiscard]] bool SaveOptics(const SceneObject& object);

// "Copy Optics": the object's words onto the clipboard.
void CopyOptics(const SceneObject& object);
// "Paste Optics": the clipboard's words into the object, its shade ramp rebuilt and the object
// marked changed. Before anything was copied there is nothing to paste: false, nothing changed.
[[nodiscard]] bool PasteOptics(SceneObject& object);

}  // namespace tsv
