// deform_batch.h: one deformation tool applied to an object file without a window, the way a
// task replay applies it: open, apply once with the given amounts, commit, save.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace tsv {

struct SceneObject;

// The frame of every batch edit: opens the object file `inPath`, binds it to the work arrays,
// runs `edit` on it (with the undo copy), commits, saves the result to `outPath` and binds the
// object that was active before again. -39 when the file cannot be opened, 1 when the object
// cannot be bound or the result cannot be written (after the file layer's own message).
Status EditObjectFile(const std::string& inPath, const std::string& outPath,
                      const std::function<void(SceneObject& object, SceneObject* undo)>& edit);

// Opens the object file `inPath`, binds it to the work arrays, applies `tool` (found by
// FindDeformTool: name or two-letter code) once with `amount` (and `amountY` for Stretch, the dy
// of the trackball) as seen through stored view `viewIndex` (0..6), commits and saves the result
// to `outPath`. An unknown tool, an amount outside the tool's range or a view out of range is
// refused with its message before anything is read (status 1); a file that cannot be opened
// gives -39 and one that cannot be written 1, after the file layer's own message. The object's
// current view is kept as it was. The work arrays are bound to the object that was active
// before again afterwards (its work records freshly filled from its committed state).
Status DeformObjectFile(const std::string& inPath, const std::string& outPath, std::string_view tool,
                        int amount, int amountY, int viewIndex);

}  // namespace tsv
