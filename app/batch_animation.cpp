// batch_animation.cpp: the keyframe batch commands: animate (a movie, an animated GIF, or a range
// of frame files that runs spread over processes or machines), assemble (those frames into one
// movie or GIF) and keyframes (set or delete the keys of an object file).
#include "app/batch_animation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_support.h"
#include "composer/assemble_animation.h"
#include "composer/keyframes.h"
#include "composer/movie_output.h"
#include "core/app_state.h"
#include "core/application.h"
#include "formats/picture_files.h"
#include "platform/file_spec.h"
#include "platform/preferences.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/keyframe_file.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

// SIGINT or SIGTERM: the run ends after the frame in hand, keeping the finished frames.
extern "C" void OnStopSignal(int) { app.stopSignal = 1; }

struct StopSignals {
  struct sigaction previousInt {}, previousTerm {};
  StopSignals() {
    app.stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
  }
  ~StopSignals() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// A whole number within low..high.
bool ParseWhole(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::strtoll(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
}

bool ParseSeconds(const std::string& text, float& value) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !(v > 0.0) || v > 1e6) return false;
  value = float(v);
  return true;
}

struct QualityName {
  const char* name;
  uint32_t quality;
};
constexpr QualityName kQualityNames[] = {{"minimum", kQualityMinimum}, {"low", kQualityLow},
                                         {"normal", kQualityNormal},   {"high", kQualityHigh},
                                         {"maximum", kQualityMaximum}, {"lossless", kQualityLossless}};

// The options animate and assemble share: codec, quality and the GIF switches.
struct OutputOptionParser {
  AnimationOutputOptions options;
  bool codecChosen = false;
  bool listCodecs = false;
  std::string error;

  // True when args[i] (and its value) was one of them; `i` moves past a value.
  bool Take(const std::vector<std::string>& args, size_t& i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--transparent") options.gif.includeAlpha = true;
    else if (option == "--interlaced") options.gif.interlaced = true;
    else if (option == "--dither") options.gif.dithered = true;
    else if (option == "--no-dither") options.gif.dithered = false;
    else if (option == "--codec" && hasValue) {
      const std::string& name = args[++i];
      if (name == "list") {
        listCodecs = true;
        return true;
      }
      const std::vector<MovieEncoder> encoders = ListMovieEncoders();
      const MovieEncoder* encoder = FindMovieEncoderByName(encoders, name);
      if (encoder == nullptr) error = "unknown codec " + PrintableText(name) + " (--codec list shows them)";
      else {
        options.outputType = encoder->outputType;
        codecChosen = true;
      }
    } else if (option == "--quality" && hasValue) {
      const std::string& name = args[++i];
      const auto* found = std::find_if(std::begin(kQualityNames), std::end(kQualityNames),
                                       [&](const QualityName& q) { return name == q.name; });
      if (found == std::end(kQualityNames)) error = "--quality takes minimum, low, normal, high, maximum or lossless";
      else options.quality = found->quality;
    } else {
      return false;
    }
    return true;
  }
};

int ListCodecs() {
  for (const MovieEncoder& e : ListMovieEncoders()) {
    std::printf("%-16s %s\n", e.name.c_str(), e.longName.c_str());
  }
  return 0;
}

// The output type for a file: the GIF for .gif; for .mov the chosen codec (not the GIF's), else
// the default movie encoder.
bool OutputTypeForFile(const std::string& path, OutputOptionParser& parsed, const std::string& command) {
  if (EndsWith(path, ".gif")) {
    if (parsed.codecChosen && parsed.options.outputType != kAnimatedGifOutputType) {
      parsed.error = "--codec names a movie encoder; a .gif is written as an animated GIF";
      return false;
    }
    parsed.options.outputType = kAnimatedGifOutputType;
    return true;
  }
  if (!EndsWith(path, ".mov")) {
    parsed.error = command == "animate" ? "the output must end in .gif or .mov, or be --frames-out DIR"
                                        : "the output must end in .gif or .mov";
    return false;
  }
  if (!parsed.codecChosen || parsed.options.outputType == kAnimatedGifOutputType) {
    parsed.options.outputType = DefaultMovieOutputType();
    if (parsed.options.outputType == 0) {
      parsed.error = "this machine has no movie encoder; write a .gif";
      return false;
    }
  }
  return true;
}

// The folder frame files go into: made when missing; it must be a folder we can write in.
bool UsableFramesFolder(const std::string& folder) {
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT && ::mkdir(folder.c_str(), 0777) == 0) return true;
    std::fprintf(stderr, "tessivar: cannot make the folder %s: %s\n", PrintableText(folder).c_str(), std::strerror(errno));
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "tessivar: %s is not a folder\n", PrintableText(folder).c_str());
    return false;
  }
  return WritableOutput(folder + "/" + AnimationFrameFileName(0));
}

// The scene of the run: a project with its objects, or an object file alone in a new project.
// The keys come with the file. False with the reason said.
bool OpenAnimationInput(const std::string& in) {
  if (EndsWith(in, ".cmf")) {
    std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(in, kObjectFileType), KeyframeChunks::Take);
    if (!object) {
      std::fprintf(stderr, "tessivar: %s is not an object file, or is damaged\n", PrintableText(in).c_str());
      return false;
    }
    SceneObject* kept = object.get();
    if (!StoreObjectInSlot(0, std::move(object)) || !SetCurrentObject(0)) {
      if (scene.keyframeOwner == kept) scene.keyframeOwner = nullptr;
      return false;
    }
    return true;
  }
  OpenedProject opened;
  if (!OpenProjectForBatch(in, opened)) return false;
  if (nativeFiles.project.texturesOn == 1 && !opened.unreadableTextures.empty()) {
    std::fprintf(stderr, "tessivar: the texture picture %s cannot be loaded\n",
                 PrintableText(opened.unreadableTextures.front()).c_str());
    return false;
  }
  return true;
}

bool SizeComposerPicture(int width, int height) {
  ComposerPicture& picture = renderState.composerPicture;
  try {
    picture.pixels.assign(size_t(width) * size_t(height), 0);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tessivar: not enough memory for a %dx%d picture\n", width, height);
    return false;
  }
  picture.width = width;
  picture.height = height;
  return true;
}

bool ParseTransitions(const std::string& list, AnimationSettings& s) {
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    if (name == "size") s.blendSize = 0;
    else if (name == "position") s.blendPosition = 0;
    else if (name == "rotation") s.blendRotation = 0;
    else if (name == "optics") s.blendOptics = 0;
    else if (name == "texture") s.blendTexture = 0;
    else if (name == "fog") s.blendFog = 0;
    else if (name == "light") s.blendLight = 0;
    else return false;
    start = comma + 1;
  }
  return true;
}

}  // namespace

// tessivar animate IN (OUT.gif|OUT.mov|--frames-out DIR) [options]
int AnimateCommand(const std::vector<std::string>& args) {
  if (!args.empty() && args.size() >= 2 && args[1] == "--codec" && args.size() == 3 && args[2] == "list") return ListCodecs();
  if (args.size() < 2) return Usage("animate", "animate takes a project or object file and an output");
  AnimationSettings settings;
  OutputOptionParser output;
  std::string framesFolder, outPath;
  size_t i = 1;
  if (args[1] == "--frames-out") {
    if (args.size() < 3) return Usage("animate", "--frames-out takes a folder");
    framesFolder = args[2];
    i = 3;
  } else {
    outPath = args[1];
    i = 2;
  }
  std::optional<int64_t> fps, frames, from, to;
  std::optional<float> seconds;
  int width = preferences.composerBufferWidth, height = preferences.composerBufferHeight;
  for (; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    int64_t value = 0;
    if (output.Take(args, i)) {
      if (!output.error.empty()) return Usage("animate", output.error);
      if (output.listCodecs) return ListCodecs();
    } else if (option == "--fps" && hasValue) {
      if (!ParseWhole(args[++i], 1, kMaxMovieFramesPerSecond, value)) return Usage("animate", "--fps takes 1 to 600");
      fps = value;
    } else if (option == "--frames" && hasValue) {
      if (!ParseWhole(args[++i], 1, 1000000, value)) return Usage("animate", "--frames takes 1 to 1000000");
      frames = value;
    } else if (option == "--time" && hasValue) {
      float s = 0;
      if (!ParseSeconds(args[++i], s)) return Usage("animate", "--time takes a number of seconds above 0");
      seconds = s;
    } else if (option == "--method" && hasValue) {
      const std::string& m = args[++i];
      if (m == "sharp") settings.method = kMethodSharp;
      else if (m == "gentle") settings.method = kMethodGentle;
      else if (m == "smooth") settings.method = kMethodSmooth;
      else return Usage("animate", "--method takes sharp, gentle or smooth");
    } else if (option == "--forth-and-back") {
      settings.forthAndBack = 1;
    } else if (option == "--alone") {
      settings.hideOthers = 1;
    } else if (option == "--no-transition" && hasValue) {
      if (!ParseTransitions(args[++i], settings)) {
        return Usage("animate", "--no-transition takes a list of size, position, rotation, optics, texture, fog, light");
      }
    } else if (option == "--size" && hasValue) {
      if (!ParseRenderSize(args[++i], width, height)) {
        return Usage("animate", "--size takes WIDTHxHEIGHT, each side 1 to 16384, at most 64 M pixels");
      }
    } else if (option == "--from" && hasValue) {
      if (!ParseWhole(args[++i], 0, 999999, value)) return Usage("animate", "--from takes a frame number 0 to 999999");
      from = value;
    } else if (option == "--to" && hasValue) {
      if (!ParseWhole(args[++i], 0, 999999, value)) return Usage("animate", "--to takes a frame number 0 to 999999");
      to = value;
    } else {
      return Usage("animate", "unknown option " + PrintableText(option));
    }
  }
  if (frames && seconds) return Usage("animate", "give --time or --frames, not both");
  settings.framesPerSecond = int(fps.value_or(15));
  settings.totalTime = seconds.value_or(2.0f);
  settings.byFrames = frames ? 1 : 0;
  settings.frameCount = frames ? int(*frames)
                               : int(std::clamp<double>(std::trunc(settings.framesPerSecond * double(settings.totalTime) + 0.5), 1, 1000000));
  if (width < 1 || height < 1 || width > kMostRenderSide || height > kMostRenderSide) width = height = 128;
  if (framesFolder.empty()) {
    if (from || to) return Usage("animate", "--from and --to go with --frames-out");
    if (!OutputTypeForFile(outPath, output, "animate")) return Usage("animate", output.error);
    if (output.options.outputType == kAnimatedGifOutputType && settings.framesPerSecond > kMaxGifFramesPerSecond) {
      return Usage("animate", "a GIF takes 1 to 100 frames a second");
    }
  }
  const int first = int(from.value_or(0));
  const int last = int(to.value_or(settings.frameCount - 1));
  if (first > last || last >= settings.frameCount) {
    return Usage("animate", "the range --from A --to B must lie within the run's frames 0 .. " +
                                std::to_string(settings.frameCount - 1));
  }
  const std::string& in = args[0];
  if (!ReadableInput(in)) return 1;
  if (!EndsWith(in, ".cma") && !EndsWith(in, ".cmf")) return Usage("animate", "the input must end in .cma or .cmf");
  if (framesFolder.empty() ? !WritableOutput(outPath) : !UsableFramesFolder(framesFolder)) return 1;

  if (!OpenAnimationInput(in)) return 1;
  if (scene.keyframeOwner == nullptr) {
    std::fprintf(stderr, "tessivar: %s has no keyframes\n", PrintableText(in).c_str());
    return 1;
  }
  if (ReadAnimationKeys(settings) != kNoError) return 1;  // said why
  if (settings.firstKey < 0) {
    std::fprintf(stderr, "tessivar: no keyframe of %s fits its object\n", PrintableText(in).c_str());
    return 1;
  }
  if (!InitSoftDraw()) return 1;
  if (!SizeComposerPicture(width, height)) {
    ShutdownSoftDraw();
    return 1;
  }
  renderState.loadComposerPicture = LoadComposerPicture;

  StopSignals signals;
  int written = 0;
  const int result = RunAnimation(settings, [&](AnimationSettings& run) -> int {
    const ComposerPicture& picture = renderState.composerPicture;
    if (!framesFolder.empty()) {
      return RunFrameLoop(run, first, last, [&](int index, int) {
        PictureSaveOptions options;
        options.includeAlpha = true;  // the coverage, for compositing the frames elsewhere
        const std::string path = framesFolder + "/" + AnimationFrameFileName(index);
        if (!WritePictureFile(path, picture.pixels, picture.width, picture.height, options)) {
          std::fprintf(stderr, "tessivar: cannot write %s\n", PrintableText(path).c_str());
          return int(kWriteError);
        }
        ++written;
        return app.stopSignal ? kAnimationCancelled : 0;
      });
    }
    MovieWriter writer;
    const Status begun =
        writer.Begin(FileSpecForPath(outPath, FileTypeFromName(outPath)), picture.width, picture.height,
                     run.framesPerSecond, output.options);
    if (begun != kNoError) return int(begun);
    const int loop = RunFrameLoop(run, 0, run.frameCount - 1, [&](int, int) {
      if (const Status added = writer.AddFrame(picture.pixels); added != kNoError) return int(added);
      ++written;
      return app.stopSignal ? kAnimationCancelled : 0;
    });
    return writer.End(loop);
  });
  ShutdownSoftDraw();
  if (result == kAnimationCancelled) {
    if (framesFolder.empty()) {
      std::fprintf(stderr, "tessivar: stopped; %s was not written\n", PrintableText(outPath).c_str());
    } else {
      std::fprintf(stderr, "tessivar: stopped after %d frames; those are kept\n", written);
    }
    return 1;
  }
  return result == 0 ? 0 : 1;
}

// tessivar assemble DIR OUT --fps N [options]
int AssembleCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("assemble", "assemble takes a frames folder and an output");
  OutputOptionParser output;
  std::optional<int64_t> fps;
  for (size_t i = 2; i < args.size(); ++i) {
    int64_t value = 0;
    if (output.Take(args, i)) {
      if (!output.error.empty()) return Usage("assemble", output.error);
      if (output.listCodecs) return ListCodecs();
    } else if (args[i] == "--fps" && i + 1 < args.size()) {
      if (!ParseWhole(args[++i], 1, kMaxMovieFramesPerSecond, value)) return Usage("assemble", "--fps takes 1 to 600");
      fps = value;
    } else {
      return Usage("assemble", "unknown option " + PrintableText(args[i]));
    }
  }
  if (!fps) return Usage("assemble", "--fps N is needed: the frames do not say their rate");
  const std::string& folder = args[0];
  const std::string& out = args[1];
  if (!OutputTypeForFile(out, output, "assemble")) return Usage("assemble", output.error);
  if (!WritableOutput(out)) return 1;
  std::string error;
  if (AssembleAnimation(folder, out, int(*fps), output.options, error) != kNoError) {
    std::fprintf(stderr, "tessivar: %s\n", error.empty() ? "the animation could not be written" : error.c_str());
    return 1;
  }
  return 0;
}

// tessivar keyframes OWNER.cmf OUT.cmf [K=KEY.cmf]... [--delete K]... [--scene P.cma]
int KeyframesCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("keyframes", "keyframes takes the owner's object file and the file to write");
  struct Step {
    int slot;
    std::string keyFile;  // empty: delete the slot
  };
  std::vector<Step> steps;
  std::string scenePath;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    int64_t key = 0;
    if (a == "--delete" && i + 1 < args.size()) {
      if (!ParseWhole(args[++i], 1, kKeyframeSlotCount, key)) return Usage("keyframes", "--delete takes a key 1 to 8");
      steps.push_back({int(key) - 1, {}});
    } else if (a == "--scene" && i + 1 < args.size()) {
      scenePath = args[++i];
    } else if (a.size() > 2 && a[1] == '=' && ParseWhole(a.substr(0, 1), 1, kKeyframeSlotCount, key)) {
      steps.push_back({int(key) - 1, a.substr(2)});
    } else {
      return Usage("keyframes", "expected K=KEY.cmf, --delete K or --scene P.cma, not " + PrintableText(a));
    }
  }
  const std::string& ownerPath = args[0];
  const std::string& out = args[1];
  if (!ReadableInput(ownerPath)) return 1;
  for (const Step& step : steps)
    if (!step.keyFile.empty() && !ReadableInput(step.keyFile)) return 1;
  if (!scenePath.empty() && !ReadableInput(scenePath)) return 1;
  if (!WritableOutput(out)) return 1;

  if (!scenePath.empty()) {
    std::unique_ptr<ProjectRecord> record;
    if (ReadProjectRecordFile(FileSpecForPath(scenePath, kProjectFileType), record) != kNoError || !record) {
      std::fprintf(stderr, "tessivar: %s is not a project file, or is cut short\n", PrintableText(scenePath).c_str());
      return 1;
    }
    nativeFiles.project = *record;
  }
  std::unique_ptr<SceneObject> owner = ReadObjectFile(FileSpecForPath(ownerPath, kObjectFileType), KeyframeChunks::Take);
  if (!owner) {
    std::fprintf(stderr, "tessivar: %s is not an object file, or is damaged\n", PrintableText(ownerPath).c_str());
    return 1;
  }
  SceneObject* const ownerObject = owner.get();
  auto fail = [&] {
    DisposeSceneObject(owner);
    return 1;
  };
  const std::span<const Triangle> ownTriangles = Triangles(*ownerObject);
  for (const Step& step : steps) {
    if (step.keyFile.empty()) {
      DeleteKeyframe(step.slot);
      continue;
    }
    std::unique_ptr<SceneObject> key = ReadObjectFile(FileSpecForPath(step.keyFile, kObjectFileType));
    if (!key) {
      std::fprintf(stderr, "tessivar: %s is not an object file, or is damaged\n", PrintableText(step.keyFile).c_str());
      return fail();
    }
    const std::span<const Triangle> keyTriangles = Triangles(*key);
    const bool fits = key->pointCount == ownerObject->pointCount && key->triangleCount == ownerObject->triangleCount &&
                      std::equal(ownTriangles.begin(), ownTriangles.end(), keyTriangles.begin(), keyTriangles.end());
    if (!fits) {
      std::fprintf(stderr, "tessivar: %s has other points or triangles than %s\n", PrintableText(step.keyFile).c_str(),
                   PrintableText(ownerPath).c_str());
      DisposeSceneObject(key);
      return fail();
    }
    DeleteKeyframe(step.slot);
    const Status written = WriteKeyframeSlot(step.slot, *key, nativeFiles.project);
    DisposeSceneObject(key);
    if (written != kNoError) {
      std::fprintf(stderr, "tessivar: the key %d could not be kept in the scratch folder\n", step.slot + 1);
      return fail();
    }
  }
  scene.keyframeOwner = AnyKeyframeSet() ? ownerObject : nullptr;
  const bool saved = SaveObjectToFile(*ownerObject, FileSpecForPath(out, kObjectFileType));
  DisposeSceneObject(owner);
  return saved ? 0 : 1;
}

}  // namespace tsv
