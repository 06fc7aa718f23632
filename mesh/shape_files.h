// shape_files.h: the new-shape command without a window: a standard shape made exactly as the
// object panel makes it, written to an object file.
//   tessivar new organic:SHAPE OUT.cmf     SHAPE: sphere tetrahedron cylinder cube capped-cylinder
//   tessivar new synthetic:SHAPE OUT.cmf [--x N] [--y N] [--b N] [--f F]
//                                          SHAPE: front-plain both-plain sphere cylinder cube cone
//                                                 doughnut
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/status.h"
#include "mesh/synthetic_shapes.h"

namespace tsv {

// The settings given on the command line; those left out keep the dialog's starting values
// (SyntheticShapeSettings).
struct NewShapeOptions {
  std::optional<int32_t> x, y, b;
  std::optional<float> f;
};

// Reads "--x N", "--y N", "--b N" (whole numbers) and "--f F" (a number) in any order, each at
// most once. False after "Error: Bad shape option ..." naming the first word it cannot take.
[[nodiscard]] bool ParseNewShapeOptions(std::span<const std::string> args, NewShapeOptions& options);

// The shape named by `spec` ("organic:NAME" or "synthetic:NAME", names in lower case as above).
// For a synthetic shape the options go through the dialog's ranges (ClampShapeDialogSettings).
struct ShapeChoice {
  bool organic = false;
  int shape = 0;  // 0..4 organic, 0..6 synthetic
};
std::optional<ShapeChoice> ParseShapeSpec(const std::string& spec);

// Makes the shape in a free slot of the object table (NewOrganicShapeObject or
// NewSyntheticObject), names it after the file, and saves it to `outPath` as an object file
// (with its preview file beside it). The object is then taken out of the table again and the
// previous current object restored, so only the file remains. 0 on success; 1 after the error
// has been shown: an unknown shape, options given to an organic shape, no free slot, running out
// of memory, a file that cannot be written.
Status NewShapeFile(const std::string& spec, const std::string& outPath, const NewShapeOptions& options = {});

}  // namespace tsv
