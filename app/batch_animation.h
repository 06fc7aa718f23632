// batch_animation.h: the batch commands of keyframe animation: animate, assemble and keyframes.
#pragma once

#include <string>
#include <vector>

namespace tsv {

int AnimateCommand(const std::vector<std::string>& args);
int AssembleCommand(const std::vector<std::string>& args);
int KeyframesCommand(const std::vector<std::string>& args);

}  // namespace tsv
