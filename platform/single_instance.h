// single_instance.h: one running program per user. The first start listens on a Unix-domain socket;
// a later start connects, hands over the path of the file it was asked to open (possibly empty) and
// ends, and the first start brings its window to the front and opens the file.
#pragma once

#include <string>
#include <vector>

namespace tsv {

enum class InstanceRole {
  First,   // no other instance runs: this one listens now
  Second,  // another instance runs and has been handed the path
  Alone,   // the socket could not be used: run without the single-instance rule
};

// $XDG_RUNTIME_DIR/tessivar-<uid>.socket, else the socket in the private temporary folder.
std::string InstanceSocketPath();

InstanceRole ClaimSingleInstance(const std::string& socketPath, const std::string& fileToHandOver);
// Messages from later starts since the last call, without waiting; each is a path, empty when the
// later start had no file.
std::vector<std::string> PollInstanceMessages();
void ReleaseSingleInstance();

}  // namespace tsv
