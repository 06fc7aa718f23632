// fuzz_support.h: what every fuzz target shares. A quiet program state (scripted user services
// that answer every dialog with Cancel and record what is shown) and a private folder where the
// readers that only take a path find the input written as a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/scripted_services.h"

namespace tsv::fuzz {

// The state of a fuzz process: libFuzzer calls the targets without context, so the harness keeps
// its own record like every subsystem does.
struct FuzzState {
  std::unique_ptr<ScriptedServices> services;
  std::string folder;  // the private folder, empty until first used
};
extern FuzzState fuzzState;
// Uninstalls the services and removes the private folder.
void ResetFuzzState();

// Sets up the state once per process: the generated resource folder, the scripted services and
// the private folder. Called by each target's LLVMFuzzerInitialize.
void InitFuzzTarget();

// Forgets the texts shown and the answers asked for by the last input, so memory stays flat.
void ForgetShownTexts();

// The private folder of this process (created on first use, removed at exit).
const std::string& FuzzFolder();

// Writes `bytes` as the whole contents of `name` inside the private folder; returns its path.
// Aborts when the file cannot be written: a target that silently read nothing would fuzz nothing.
std::string WriteFuzzFile(const std::string& name, std::span<const uint8_t> bytes);

}  // namespace tsv::fuzz
