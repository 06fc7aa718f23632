// dxf.h: AutoCAD DXF text files. The importer makes a new object of the closed 3D polylines,
// polygon meshes, polyface meshes and 3D faces of a file; the exporter writes one object as a
// polyface mesh ("Polyline") or as one 3DFACE per triangle ("3D Face"). The choice of file and
// the clean-up after an import belong to the import and export commands.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "scene/scene_object.h"

namespace tsv {

// The export variants.
inline constexpr uint16_t kDxfPolyline = 0;
inline constexpr uint16_t kDxf3dFace = 1;

// A new object (not entered into the table) with the file's geometry, scaled so that its farthest
// point lies 256 units from the origin (`importScale` keeps the factor back to the file's units),
// named after the file and completed as every import is. Null after the reason has been shown:
// "Error: Can't import object." for a file without geometry or with broken geometry, the file
// error for a file that cannot be read, the memory error.
std::unique_ptr<SceneObject> ImportDxf(const FileSpec& spec);

// Writes the object as the variant (kDxfPolyline or kDxf3dFace) with every coordinate times
// formatsState.exportScale, through a temporary file renamed over `target` once it is complete:
// on any failure the target stays as it was. Status 1 for a missing object or an unknown variant
// (nothing written), the write error otherwise (shown).
Status ExportDxf(const SceneObject* object, uint16_t variant, const FileSpec& target);

}  // namespace tsv
