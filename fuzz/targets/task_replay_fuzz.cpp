// task_replay_fuzz.cpp: any bytes as a task list replayed by the replay batch command on a small
// cube: every value of every step reaches the tool, brush or paint operation it drives, so this
// is where a value no recorder would write meets the code that acts on it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>

#include "fuzz/fuzz_support.h"
#include "mesh/shape_files.h"
#include "platform/file_spec.h"
#include "platform/folders.h"
#include "render/render_state.h"
#include "scene/object_file.h"
#include "scene/scene_state.h"
#include "tasks/task_record.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"

namespace {

using namespace tsv;

// Every replayed step redraws the view, as in the program; a list longer than this is cut here so
// that one input stays well under the fuzzer's second. What the steps do is what is fuzzed, and a
// short list holds every kind of step as well as a long one.
constexpr size_t kReplayedSteps = 4;

std::string CubePath() { return fuzz::FuzzFolder() + "/Cube.cmf"; }
std::string OutputPath() { return fuzz::FuzzFolder() + "/Replayed.cmf"; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitFuzzTarget();
  // The scratch files of the replay go to the private folder too.
  if (::setenv("TMPDIR", fuzz::FuzzFolder().c_str(), 1) != 0) std::abort();
  if (CreateTempFolder() != kNoError || !InitScene() || !InitSoftDraw()) std::abort();
  if (NewShapeFile("synthetic:cube", CubePath()) != kNoError) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t kept = std::min(size, kReplayedSteps * kTaskStepSize);
  const std::string path = fuzz::WriteFuzzFile("Input.tsks", std::span<const uint8_t>(data, kept));
  const Status status = ReplayTaskFile(path, CubePath(), OutputPath(), kReplayStrengthMax);
  if (status == kNoError) {
    // What the replay saved is an object the program opens again.
    const ObjectFileRead read = ReadObjectFileQuietly(FileSpecForPath(OutputPath(), kObjectFileType));
    if (!read.object) {
      std::fprintf(stderr, "the replayed object could not be read back: %s\n", read.message.c_str());
      std::abort();
    }
  } else if (fuzz::fuzzState.services->shown.empty()) {
    std::abort();  // a replay that fails says why
  }
  std::error_code ignored;
  std::filesystem::remove(OutputPath(), ignored);
  fuzz::ForgetShownTexts();
  return 0;
}
