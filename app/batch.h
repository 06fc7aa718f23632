// batch.h: the batch commands: the program's procedures run from the command line without a
// window. Errors go to standard error in the program's own words; the exit status is 0 or 1.
#pragma once

#include <string>
#include <vector>

namespace tsv {

// Runs the named command; 1 with a usage text for an unknown one.
int RunBatchCommand(const std::string& name, const std::vector<std::string>& args);

}  // namespace tsv
