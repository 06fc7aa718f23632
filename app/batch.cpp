// batch.cpp: the batch commands.
#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include "app/batch_animation.h"
#include "app/batch_convert.h"
#include "app/batch_letters.h"
#include "app/batch_support.h"
#include "app/command_line.h"
#include "core/application.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/string_table.h"
#include "formats/object_texture.h"
#include "formats/picture.h"
#include "formats/picture_files.h"
#include "mesh/mesh_file_command.h"
#include "mesh/shape_files.h"
#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/native_file_info.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "tools/deform_batch.h"
#include "tools/quorvels.h"

namespace tsv {
namespace {


// What every batch command needs: the resource folder, the texts, the preferences (the colours
// of new objects), a scratch folder of this run alone (runs spread over the cores of one machine
// must not share, or delete, each other's keyframe slots) and an empty scene.
bool StartBatch() {
  InitPlatformDirectories();
  // A missing text resource has been reported; the built-in texts stand in for it.
  (void)LoadStringTable();
  ReadPreferences();
  if (CreateProcessTempFolder() != kNoError) {
    ShowStopMessage(FormatString(kFatalNoTempFolder, {TempFolderPath()}));
    return false;
  }
  if (!InitScene()) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  }
  ResetProject();
  nativeFiles.loadTexturePicture = LoadObjectTexturePicture;
  return true;
}

// The window replays what is sound of a damaged task list and notes the rest; a script sees only
// the exit status, and a list that lost steps would give another object than the one recorded
// while reporting success. So the replay command takes a list only whole: a damaged one is refused
// with the same note, before anything is read or written.
bool UndamagedTaskList(const std::string& path) {
  std::vector<TaskStep> steps;
  TaskFileDamage damage;
  if (const Status read = ReadTaskFile(path, steps, &damage); read != kNoError) {
    ShowStopMessage(TaskFileErrorText(path, read));
    return false;
  }
  const std::string note = TaskFileDamageNote(path, damage);
  if (note.empty()) return true;
  ShowStopMessage(note);
  std::fprintf(stderr, "tessivar: nothing replayed from the damaged task list %s\n", path.c_str());
  return false;
}

// The balls of a Quorvels set, one line each.
int QuorvelSetInfo(const std::string& path) {
  if (QuorvelFile(QuorvelCommand::Open, FileSpecForPath(path, FourCC("MTBL"))) != kNoError) return 1;  // said why
  std::printf("Quorvels set: %zu balls\n", quorvelState.balls.size());
  for (size_t n = 0; n < quorvelState.balls.size(); ++n) {
    const Ball& b = quorvelState.balls[n];
    std::printf("%zu %s: centre %g, %g, %g; axis %g, %g, %g; r1 %g; r2 %g; strength %g\n", n + 1, b.name.c_str(),
                double(b.centre.x), double(b.centre.y), double(b.centre.z), double(b.axis.x), double(b.axis.y),
                double(b.axis.z), double(b.r1), double(b.r2), double(b.strength));
  }
  return 0;
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("info", "info takes one file");
  if (!ReadableInput(args[0])) return 1;
  if (FileTypeFromName(args[0]) == FourCC("MTBL")) return QuorvelSetInfo(args[0]);
  NativeFileInfo info = InfoOfNativeFile(args[0]);
  std::fputs(info.text.c_str(), info.ok ? stdout : stderr);
  if (!info.text.empty() && info.text.back() != '\n') std::fputc('\n', info.ok ? stdout : stderr);
  return info.ok ? 0 : 1;
}

// tessivar view IN OUT.png|bmp [--view N] [--zoom Z] [--mode M] [--quarter]
int View(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("view", "view takes an object file (or sphere) and a picture file");
  int view = 0;
  float zoom = 1.0f;
  ViewMode mode = ViewMode::Shaded;
  bool quarter = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--quarter") {
      quarter = true;
    } else if (option == "--view" && hasValue) {
      char* end = nullptr;
      long n = std::strtol(args[++i].c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 7) return Usage("view", "--view takes 1 to 7");
      view = int(n) - 1;
    } else if (option == "--zoom" && hasValue) {
      char* end = nullptr;
      zoom = std::strtof(args[++i].c_str(), &end);
      if (*end != '\0' || !(zoom > 0.0f) || zoom > 1000.0f) return Usage("view", "--zoom takes a positive number");
    } else if (option == "--mode" && hasValue) {
      std::optional<ViewMode> m = ViewModeFromName(args[++i]);
      if (!m) return Usage("view", "--mode takes shaded, painted, textured, depth or mask");
      mode = *m;
    } else {
      return Usage("view", "unknown option " + option);
    }
  }
  const std::string& out = args[1];
  if (!IsWritablePictureType(FileTypeFromName(out))) {
    return Usage("view", "the picture file must end in .png, .bmp, .gif, .tif or .img");
  }
  if (args[0] != "sphere" && !ReadableInput(args[0])) return 1;
  if (!WritableOutput(out)) return 1;
  if (!InitSoftDraw()) return 1;

  std::unique_ptr<SceneObject> object;
  if (args[0] == "sphere") {
    object = NewOrganicSceneObject();
    if (object && !FillOrganicShape(*object, 0)) object.reset();
  } else {
    object = ReadObjectFile(FileSpecForPath(args[0], FileTypeFromName(args[0])));
  }
  int status = 1;
  std::vector<uint32_t> pixels;
  if (object && RenderObjectView(*object, view, zoom, mode, quarter, pixels)) {
    for (uint32_t& pixel : pixels) pixel |= 0xFF000000u;  // the view is opaque
    PictureSaveOptions options;
    if (WritePictureFile(out, pixels, kViewSide, kViewSide, options)) status = 0;
  }
  DisposeSceneObject(object);
  ShutdownSoftDraw();
  return status;
}

// tessivar new organic:SHAPE|synthetic:SHAPE OUT.cmf [--x N] [--y N] [--b N] [--f F]
int New(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("new", "new takes a shape (organic:SHAPE or synthetic:SHAPE) and an object file");
  NewShapeOptions options;
  if (!ParseNewShapeOptions(std::span<const std::string>(args).subspan(2), options)) return 1;
  return NewShapeFile(args[0], args[1], options) == kNoError ? 0 : 1;
}

// tessivar deform IN.cmf OUT.cmf TOOL AMOUNT [AMOUNT_Y] [--view N]
int Deform(const std::vector<std::string>& args) {
  if (args.size() < 4) return Usage("deform", "deform takes IN.cmf OUT.cmf TOOL AMOUNT [AMOUNT_Y] [--view N]");
  auto number = [](const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= -32768 && value <= 32767;
  };
  long amount = 0, amountY = 0, view = 1;
  if (!number(args[3], amount)) return Usage("deform", "the amount must be a whole number");
  size_t i = 4;
  if (i < args.size() && args[i] != "--view") {
    if (!number(args[i], amountY)) return Usage("deform", "the second amount must be a whole number");
    ++i;
  }
  if (i < args.size()) {
    if (args[i] != "--view" || i + 2 != args.size() || !number(args[i + 1], view)) return Usage("deform", "expected --view N");
  }
  if (!ReadableInput(args[0]) || !WritableOutput(args[1])) return 1;
  if (!InitSoftDraw()) return 1;
  Status status = DeformObjectFile(args[0], args[1], args[2], int16_t(amount), int16_t(amountY), int(view) - 1);
  ShutdownSoftDraw();
  return status == kNoError ? 0 : 1;
}

// tessivar picture IN OUT [--interlaced] [--alpha] [--dither|--no-dither] [--compressed]
int ConvertPicture(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("picture", "picture takes the picture to read and the picture to write");
  PictureSaveOptions options;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--interlaced") {
      options.interlaced = true;
    } else if (option == "--alpha") {
      options.includeAlpha = true;
    } else if (option == "--dither") {
      options.dithered = true;
    } else if (option == "--no-dither") {
      options.dithered = false;
    } else if (option == "--compressed") {
      options.compressed = true;
    } else {
      return Usage("picture", "unknown option " + option);
    }
  }
  if (!IsWritablePictureType(FileTypeFromName(args[1]))) {
    return Usage("picture", "the picture to write must end in .png, .bmp, .gif, .tif or .img");
  }
  if (!ReadableInput(args[0]) || !WritableOutput(args[1])) return 1;
  FileSpec in = FileSpecForPath(args[0], FileTypeFromName(args[0]));
  Picture picture;
  if (LoadPicture(in, picture) != kNoError) return 1;  // the loader has said why
  return WritePictureFile(args[1], picture.pixels, picture.width, picture.height, options) ? 0 : 1;
}

// tessivar replay TASKS.tsks IN.cmf OUT.cmf [--strength S]
int Replay(const std::vector<std::string>& args) {
  if (args.size() != 3 && args.size() != 5) return Usage("replay", "replay takes TASKS.tsks IN.cmf OUT.cmf [--strength S]");
  long strength = 256;
  if (args.size() == 5) {
    char* end = nullptr;
    strength = std::strtol(args[4].c_str(), &end, 10);
    if (args[3] != "--strength" || args[4].empty() || *end != '\0') return Usage("replay", "expected --strength S");
  }
  if (!ReadableInput(args[0]) || !ReadableInput(args[1]) || !WritableOutput(args[2])) return 1;
  if (!UndamagedTaskList(args[0])) return 1;
  if (!InitSoftDraw()) return 1;
  const Status status = ReplayTaskFile(args[0], args[1], args[2], int(std::clamp(strength, -100000L, 100000L)));
  ShutdownSoftDraw();
  return status == kNoError ? 0 : 1;
}

// tessivar mesh IN.cmf OUT.cmf [--synthetic] [--join] [--normals] [--simplify [N]] [--quad [N]] [--adaptive]
//   [--no-protect-borders] [--turn x|y|z]... [--invert] [--mirror x|y|z] [--merge OTHER.cmf] [--drop-hierarchy]
int Mesh(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("mesh", "mesh takes IN.cmf OUT.cmf and the operations to run");
  constexpr long kMostPasses = 100;
  MeshFileRequest request;
  auto axisOf = [](const std::string& text) { return text == "x" ? 0 : text == "y" ? 1 : text == "z" ? 2 : -1; };
  // An optional count after --simplify and --quad: the next argument when it is a whole number.
  auto passes = [&](size_t& i, int& count) {
    count = 1;
    if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '-') return true;
    char* end = nullptr;
    const long value = std::strtol(args[i + 1].c_str(), &end, 10);
    if (*end != '\0' || value < 1 || value > kMostPasses) return false;
    count = int(value);
    ++i;
    return true;
  };
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--synthetic") {
      request.makeSynthetic = true;
    } else if (option == "--join") {
      request.steps.joinPoints = true;
    } else if (option == "--normals") {
      request.steps.correctNormals = true;
    } else if (option == "--simplify") {
      if (!passes(i, request.steps.simplifyPasses)) return Usage("mesh", "--simplify takes a number of passes from 1 to 100");
    } else if (option == "--quad") {
      if (!passes(i, request.steps.quadPasses)) return Usage("mesh", "--quad takes a number of passes from 1 to 100");
    } else if (option == "--adaptive") {
      request.steps.adaptiveRemesh = true;
    } else if (option == "--no-protect-borders") {
      request.protectBorders = false;
    } else if (option == "--turn" && hasValue && axisOf(args[i + 1]) >= 0) {
      const int axis = axisOf(args[++i]);
      ++(axis == 0 ? request.steps.turnsX : axis == 1 ? request.steps.turnsY : request.steps.turnsZ);
    } else if (option == "--invert") {
      request.steps.invertNormals = true;
    } else if (option == "--mirror" && hasValue && axisOf(args[i + 1]) >= 0) {
      request.mirrorAxis = axisOf(args[++i]);
    } else if (option == "--merge" && hasValue && !args[i + 1].empty()) {
      request.mergeWith = args[++i];
    } else if (option == "--drop-hierarchy") {
      request.dropHierarchy = true;
    } else if (option == "--turn" || option == "--mirror") {
      return Usage("mesh", option + " takes x, y or z");
    } else if (option == "--merge") {
      return Usage("mesh", "--merge takes the second object file");
    } else {
      return Usage("mesh", "unknown option " + option);
    }
  }
  if (!ReadableInput(args[0]) || !WritableOutput(args[1])) return 1;
  if (!request.mergeWith.empty() && !ReadableInput(request.mergeWith)) return 1;
  return MeshObjectFile(args[0], args[1], request) == kNoError ? 0 : 1;
}

// One --ball value: X,Y,Z[,R1[,R2[,W[,AX,AY,AZ]]]], what is left out as a new ball has it. False
// for anything else, a number that is not finite, a radius not above 0 or a zero axis.
bool ParseBall(const std::string& text, Ball& ball) {
  std::vector<float> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const float value = std::strtof(item.c_str(), &end);
    if (item.empty() || *end != '\0' || !std::isfinite(value)) return false;
    values.push_back(value);
  }
  if (!text.empty() && text.back() == ',') return false;
  const size_t count = values.size();
  if (count < 3 || count > 9 || count == 7 || count == 8) return false;
  ball = Ball{};
  ball.centre = {values[0], values[1], values[2]};
  if (count > 3) ball.r1 = values[3];
  if (count > 4) ball.r2 = values[4];
  if (count > 5) ball.strength = values[5];
  if (count > 8) ball.axis = Normalised({values[6], values[7], values[8]});
  return ball.r1 > 0.0f && ball.r2 > 0.0f && !(ball.axis == Vec3f{});
}

// tessivar quorvels SET.bsph|--ball X,Y,Z[,R1[,R2[,W[,AX,AY,AZ]]]]... OUT.cmf|OUT.bsph [--resolution N]
//   [--threshold T] [--atomize] [--no-refine]
int Quorvels(const std::vector<std::string>& args) {
  const char* shape = "quorvels takes SET.bsph or --ball X,Y,Z[,R1[,R2[,W[,AX,AY,AZ]]]]..., then OUT.cmf or OUT.bsph";
  std::vector<std::string> files;
  std::vector<Ball> balls;
  long resolution = preferences.quorvelFinalResolution;
  long threshold = kDefaultQuorvelThreshold;
  bool atomize = false, noRefine = false, meshOption = false;
  auto whole = [](const std::string& text, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--ball" && hasValue) {
      Ball ball;
      if (!ParseBall(args[++i], ball)) {
        return Usage("quorvels", "--ball takes X,Y,Z[,R1[,R2[,W[,AX,AY,AZ]]]]: finite numbers, radii above 0, an axis");
      }
      if (balls.size() >= size_t(kMostBalls)) return Usage("quorvels", "a set holds at most 255 balls");
      balls.push_back(ball);
    } else if (option == "--resolution" && hasValue) {
      if (!whole(args[++i], resolution) || resolution < kLeastResolution || resolution > kMostResolution) {
        return Usage("quorvels", "--resolution takes a whole number from 8 to 128");
      }
      meshOption = true;
    } else if (option == "--threshold" && hasValue) {
      if (!whole(args[++i], threshold) || threshold < -32768 || threshold > 32767) {
        return Usage("quorvels", "--threshold takes a whole number from -32768 to 32767");
      }
      meshOption = true;
    } else if (option == "--atomize") {
      atomize = meshOption = true;
    } else if (option == "--no-refine") {
      noRefine = meshOption = true;
    } else if (!option.empty() && option[0] == '-') {
      return Usage("quorvels", option == "--ball" || option == "--resolution" || option == "--threshold"
                                   ? option + " needs a value"
                                   : "unknown option " + option);
    } else {
      files.push_back(option);
    }
  }
  if (files.size() != (balls.empty() ? 2u : 1u)) return Usage("quorvels", shape);
  const std::string& out = files.back();
  const uint32_t outType = FileTypeFromName(out);
  if (outType != kObjectFileType && outType != FourCC("MTBL")) return Usage("quorvels", "the file to write must end in .cmf or .bsph");
  if (outType != kObjectFileType && meshOption) {
    return Usage("quorvels", "--resolution, --threshold, --atomize and --no-refine make an object: write a .cmf");
  }
  if (balls.empty() && !ReadableInput(files[0])) return 1;
  if (!WritableOutput(out)) return 1;
  if (balls.empty()) {
    if (QuorvelFile(QuorvelCommand::Open, FileSpecForPath(files[0], FourCC("MTBL"))) != kNoError) return 1;  // said why
  } else {
    quorvelState.balls = balls;
    quorvelState.selected = 0;
  }
  if (outType == FourCC("MTBL")) {
    if (QuorvelFile(QuorvelCommand::Save, FileSpecForPath(out, FourCC("MTBL"))) != kNoError) return 1;
    std::printf("saved %zu balls\n", quorvelState.balls.size());
    return 0;
  }
  quorvelState.threshold = int16_t(threshold);
  quorvelState.refine = !noRefine;
  SceneObject* object = GenerateMetaballMesh(atomize ? MetaballMode::Atomize : MetaballMode::Kelvane, int(resolution), false);
  if (object == nullptr) return 1;  // said why
  if (!SaveObjectToFile(*object, FileSpecForPath(out, kObjectFileType))) return 1;
  std::printf("made %d points, %d triangles from %zu balls\n", object->pointCount, object->triangleCount,
              quorvelState.balls.size());
  return 0;
}

int Project(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("project", "project takes the project file and at least one object file");
  std::vector<std::string> objects(args.begin() + 1, args.end());
  for (const std::string& object : objects) {
    if (!ReadableInput(object)) return 1;
  }
  return MakeProjectFromObjects(args[0], objects) == 0 ? 0 : 1;
}

// A switch given on the command line as --NAME or --no-NAME; the project's value otherwise.
struct RenderSwitch {
  const char* name;
  std::optional<bool> value;
};

// A name read from a file, fit for a terminal: control bytes become '?'.
// tessivar render PROJECT.cma OUT [--size WxH] [--camera N] [--[no-]supersample] [--[no-]shadows]
//                 [--[no-]textures] [--[no-]fog] [--[no-]background-picture] [--alpha]
int Render(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("render", "render takes a project file and a picture file");
  RenderSwitch switches[] = {{"supersample", {}}, {"shadows", {}}, {"textures", {}}, {"fog", {}},
                             {"background-picture", {}}};
  int width = preferences.composerBufferWidth, height = preferences.composerBufferHeight;
  if (width < 1 || height < 1 || width > kMostRenderSide || height > kMostRenderSide ||
      int64_t(width) * height > kMostRenderPixels) {
    width = height = 128;  // what start-up makes of sizes it cannot have
  }
  int camera = -1;
  bool alpha = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    bool matched = false;
    for (RenderSwitch& s : switches) {
      if (option == std::string("--") + s.name) s.value = true;
      else if (option == std::string("--no-") + s.name) s.value = false;
      else continue;
      matched = true;
    }
    if (matched) continue;
    if (option == "--alpha") {
      alpha = true;
    } else if (option == "--size" && hasValue) {
      if (!ParseRenderSize(args[++i], width, height)) {
        return Usage("render", "--size takes WIDTHxHEIGHT, each side 1 to 16384, at most 64 M pixels");
      }
    } else if (option == "--camera" && hasValue) {
      const std::string& n = args[++i];
      if (n.size() != 1 || n[0] < '1' || n[0] > '7') return Usage("render", "--camera takes 1 to 7");
      camera = n[0] - '1';
    } else {
      return Usage("render", "unknown option " + option);
    }
  }
  const std::string& in = args[0];
  const std::string& out = args[1];
  if (!IsWritablePictureType(FileTypeFromName(out))) {
    return Usage("render", "the picture file must end in .png, .bmp, .gif, .tif or .img");
  }
  if (const uint32_t type = FileTypeFromName(in); type != 0 && type != kProjectFileType) {
    return Usage("render", "the project file must end in .cma");
  }
  if (!ReadableInput(in) || !WritableOutput(out)) return 1;

  OpenedProject opened;
  if (!OpenProjectForBatch(in, opened)) return 1;
  const std::vector<std::string>& unreadableTextures = opened.unreadableTextures;

  ProjectRecord& project = nativeFiles.project;
  auto apply = [](const RenderSwitch& s, uint16_t& word) {
    if (s.value) word = *s.value ? 1 : 0;
  };
  apply(switches[0], project.supersampling);
  apply(switches[1], project.shadowsOn);
  apply(switches[2], project.texturesOn);
  apply(switches[3], project.fogAndSmokeOn);
  apply(switches[4], project.backgroundPictureOn);
  if (camera >= 0) project.cameraViewIndex = uint16_t(camera);
  if (project.texturesOn == 1 && !unreadableTextures.empty()) {
    std::fprintf(stderr, "tessivar: the texture picture %s cannot be loaded; --no-textures renders without textures\n",
                 PrintableText(unreadableTextures.front()).c_str());
    return 1;
  }

  if (!InitSoftDraw()) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return 1;
  }
  int status = 1;
  ComposerPicture& picture = renderState.composerPicture;
  try {
    picture.pixels.assign(size_t(width) * size_t(height), 0);
    picture.width = width;
    picture.height = height;
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNoMemoryForRendering));
    picture = ComposerPicture{};
  }
  renderState.loadComposerPicture = LoadComposerPicture;
  if (!picture.pixels.empty() && RenderComposerFrame() == kFrameRendered) {
    if (!alpha) {
      for (uint32_t& pixel : picture.pixels) pixel |= 0xFF000000u;
    }
    PictureSaveOptions options;
    options.includeAlpha = alpha;
    if (WritePictureFile(out, picture.pixels, width, height, options)) status = 0;
  }
  ShutdownSoftDraw();
  return status;
}

}  // namespace

int RunBatchCommand(const std::string& name, const std::vector<std::string>& args) {
  if (!IsBatchCommand(name)) return Usage("", "unknown command " + name);
  if (!StartBatch()) return 1;  // it has said why
  int status = name == "info"   ? Info(args)
               : name == "view" ? View(args)
               : name == "new"  ? New(args)
               : name == "deform" ? Deform(args)
               : name == "picture" ? ConvertPicture(args)
               : name == "replay"  ? Replay(args)
               : name == "mesh"    ? Mesh(args)
               : name == "quorvels" ? Quorvels(args)
               : name == "render"   ? Render(args)
               : name == "animate"  ? AnimateCommand(args)
               : name == "assemble" ? AssembleCommand(args)
               : name == "keyframes" ? KeyframesCommand(args)
               : name == "letters"   ? LettersCommand(args)
               : name == "convert"   ? ConvertCommand(args)
                                : Project(args);
  nativeFiles.loadTexturePicture = nullptr;
  ShutdownScene();
  return status;
}

}  // namespace tsv
