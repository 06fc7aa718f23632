// batch_convert.h: the convert batch command: an object from one exchange or object file into
// another, with the export options of the export dialog and no clean-up after the import.
#pragma once

#include <string>
#include <vector>

namespace tsv {

// tessivar convert IN OUT [--dxf polyline|3dface] [--scale-factor F]
int ConvertCommand(const std::vector<std::string>& args);

}  // namespace tsv
