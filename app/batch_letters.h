// batch_letters.h: the letters batch command.
//   tessivar letters TEXT OUT.cmf [--font FAMILY] [--bold] [--italic] [--filled] [--2d]
//                    [--segments N] [--divisions N] [--no-fit]
//   tessivar letters --list-fonts
#pragma once

#include <string>
#include <vector>

namespace tsv {

int LettersCommand(const std::vector<std::string>& args);

}  // namespace tsv
