// make_seeds.cpp: writes the seed corpora with the program's own writers, so every seed is a file
// the program itself would write. Usage: tessivar_fuzz_seeds CORPUS_FOLDER (fuzz/corpus).
#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <utility>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "composer/movie_output.h"
#include "formats/dxf.h"
#include "formats/formats_state.h"
#include "formats/picture.h"
#include "formats/picture_files.h"
#include "formats/three_ds.h"
#include "letters/letter_fonts.h"
#include "letters/letters.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/optics_file.h"
#include "scene/keyframe_file.h"
#include "scene/native_files.h"
#include "scene/preview_file.h"
#include "scene/project.h"
#include "scene/project_record.h"
#include "scene/scene_state.h"
#include "tasks/task_record.h"
#include "tools/quorvels.h"

namespace {

using namespace tsv;

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// A small picture with every kind of pixel the readers tell apart: colours, greys, see-through.
Picture SeedPicture(int width, int height) {
  Picture picture{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t alpha = (x + y) % 5 == 0 ? 0u : 255u;
      picture.pixels[size_t(y * width + x)] =
          alpha << 24 | uint32_t(x * 37 % 256) << 16 | uint32_t(y * 53 % 256) << 8 | uint32_t((x ^ y) * 29 % 256);
    }
  }
  return picture;
}

bool WriteObjectSeeds(const std::string& corpus) {
  // The saves write the preview files beside the objects: they are the preview seeds.
  const std::string objects = corpus + "/object_file";
  if (!fuzz::WriteFuzzObjects(objects)) return false;
  for (const char* name : {fuzz::kFuzzSphereName, fuzz::kFuzzSquareName}) {
    const std::string preview =
        FileNameOfPath(PathOfSpec(PreviewFileSpecOf(FileSpecForPath(objects + "/" + name, kObjectFileType))));
    std::filesystem::rename(objects + "/" + preview, corpus + "/preview_file/" + preview);
  }
  OpticsFileWords words{};
  std::vector<uint8_t> optics(kOpticsFileSize);
  StoreOpticsFile(words, std::span<uint8_t, kOpticsFileSize>(optics.data(), kOpticsFileSize));
  return WriteBytes(corpus + "/optics_file/zero.cmo", optics);
}

// Keys of `object` in `slots`: its shape moved, and its placement, material, texture settings and
// the scene's fog and light changed, by more for each slot.
bool SetSeedKeys(const SceneObject& object, std::initializer_list<int> slots) {
  for (int slot : slots) {
    const float k = float(slot + 1);
    SceneObject key = object;
    for (Vec3f& p : key.points) p = {p.x * (1 + k / 8), p.y, p.z + k};
    for (Uv& uv : key.pointUV) uv.u += k;
    for (Rgb8& c : key.pointColors) c.red = uint8_t(c.red + 20 * slot);
    key.scale = 1 + k / 4;
    key.position = {k, 0, -k};
    key.rotation = {0, k / 8, 0};
    key.optics.shininess = uint16_t(20 * k);
    key.textureBump = uint16_t(8 * k);
    key.textureZoom = 1 + k;
    ProjectRecord sceneRecord = nativeFiles.project;
    sceneRecord.fogSmoke.fogStrength = k / 10;
    sceneRecord.lightAngles[0] = -k / 8;
    sceneRecord.fogColor = {uint16_t(0x1000 * slot), 0x8000, 0xFF00};
    if (WriteKeyframeSlot(slot, key, sceneRecord) != kNoError) return false;
  }
  return true;
}

bool WriteObjectTo(const std::string& path, const SceneObject& object) {
  FileSpec spec = FileSpecForPath(path, kObjectFileType);
  FileRef file;
  if (CreateFile(spec) != kNoError || OpenFile(spec, FileMode::Write, file) != kNoError) return false;
  const bool written = WriteObjectFile(file, object) == kNoError;
  return CloseFile(file) == kNoError && written;
}

// Objects that own keyframes, as the program saves them: the square of the tests with keys in
// slots 0, 2 and 7, and the sphere with a key in slot 3.
bool WriteKeyframeSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/object_keyframes";
  platform.tempFolder = fuzz::FuzzFolder() + "/scratch";
  std::error_code error;
  std::filesystem::create_directories(platform.tempFolder, error);
  std::unique_ptr<SceneObject> square = NewSceneObject(4, 2);
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  if (error || !square || !sphere || !FillOrganicShape(*sphere, 0)) return false;
  square->points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  square->pointColors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  square->pointUV = {{0, 0}, {256, 0}, {256, 256}, {0, 256}};
  Topology* topology = MutableTopology(*square);
  if (topology == nullptr) return false;
  topology->triangles = {{0, 1, 2}, {0, 2, 3}};
  if (!BuildCornerLists(*square)) return false;
  auto keyed = [&](SceneObject& object, std::initializer_list<int> slots, const char* name) {
    scene.keyframeOwner = &object;
    const bool written = SetSeedKeys(object, slots) && WriteObjectTo(folder + "/" + name, object);
    DeleteAllKeyframes();
    return written;
  };
  const bool ok = keyed(*square, {0, 2, 7}, "KeyedSquare.cmf") && keyed(*sphere, {3}, "KeyedSphere.cmf");
  scene.keyframeOwner = nullptr;
  DisposeSceneObject(square);
  DisposeSceneObject(sphere);
  return ok;
}

// A project of two objects, the sphere and the square, named where the seed generator saved them:
// the fuzz target finds them by name in the "Objects" folder beside its project file.
bool WriteProjectSeeds(const std::string& corpus) {
  ResetProject();
  ProjectRecord record = nativeFiles.project;
  record.objectFiles[0] = FileSpecForPath(corpus + "/object_file/" + fuzz::kFuzzSphereName, kObjectFileType);
  record.objectFiles[1] = FileSpecForPath(corpus + "/object_file/" + fuzz::kFuzzSquareName, kObjectFileType);
  std::vector<uint8_t> bytes(kProjectRecordSize);
  StoreProjectRecord(record, std::span<uint8_t, kProjectRecordSize>(bytes.data(), kProjectRecordSize));
  return WriteBytes(corpus + "/project_file/two_objects.cma", bytes);
}

// A task list with one step of every code the program records, each with a sound view, and the end.
bool WriteTaskListSeeds(const std::string& corpus) {
  static constexpr const char kCodes[][3] = {
      "BA", "BE", "BG", "BL", "BO", "BR", "BS", "BU", "CC", "CE", "CO", "CP", "EQ", "FL", "KA", "KD",
      "KS", "MA", "MO", "NO", "PC", "PG", "PM", "PN", "PV", "RO", "RS", "RX", "SC", "SH", "SM", "SP",
      "ST", "TA", "TS", "TT", "TW", "UN", "WA", "ZR", "EN"};
  std::vector<uint8_t> bytes;
  int16_t n = 0;
  for (const auto& code : kCodes) {
    TaskStep step;
    step.code = TaskStepCode(code);
    step.value1 = int16_t(16 * n % 256);
    step.value2 = int16_t(128 + n);
    step.value3 = int16_t(n % 3);
    step.value4 = int16_t(n % 2);
    step.brushDepth = 64;
    step.brushSize = 32;
    step.red = uint16_t(n * 1500);
    std::array<uint8_t, kTaskStepSize> image{};
    EncodeTaskStep(step, image);
    bytes.insert(bytes.end(), image.begin(), image.end());
    ++n;
  }
  if (!WriteBytes(corpus + "/task_list/every_step.tsk", bytes)) return false;
  // The replay target takes four steps of a list: the same steps in lists of four.
  const size_t part = 4 * kTaskStepSize;
  for (size_t at = 0, n = 1; at < bytes.size(); at += part, ++n) {
    const std::span<const uint8_t> steps(bytes.data() + at, std::min(part, bytes.size() - at));
    if (!WriteBytes(corpus + "/task_replay/steps_" + std::to_string(n) + ".tsk", steps)) return false;
  }
  return true;
}

bool WritePreferenceSeeds(const std::string& corpus) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  std::vector<uint8_t> bytes(kPreferencesSize);
  StorePreferences(prefs, std::span<uint8_t, kPreferencesSize>(bytes.data(), kPreferencesSize));
  return WriteBytes(corpus + "/preferences/defaults.prf", bytes);
}

bool WritePictureSeeds(const std::string& corpus) {
  struct Seed { const char* target; const char* name; uint32_t type; PictureSaveOptions options; };
  const Seed seeds[] = {
      {"bmp", "small.bmp", FourCC("BMP "), {}},
      {"ei", "plain.img", FourCC("EIDI"), {false, true, false, false}},
      {"ei", "compressed.img", FourCC("EIDI"), {false, true, false, true}},
      {"tiff", "alpha.tif", FourCC("TIFF"), {false, true, false, false}},
      {"tiff", "plain.tif", FourCC("TIFF"), {}},
      {"gif", "plain.gif", FourCC("GIFf"), {false, false, false, false}},
      {"gif", "alpha_interlaced.gif", FourCC("GIFf"), {true, true, true, false}},
      {"png", "small.png", FourCC("PNGf"), {}},
  };
  const Picture picture = SeedPicture(13, 7);
  for (const Seed& seed : seeds) {
    const std::string path = corpus + "/" + seed.target + "/" + seed.name;
    if (SavePicture(FileSpecForPath(path, seed.type), picture.pixels, RectOfPicture(picture),
                    size_t(picture.width) * 4, seed.options) != kNoError) {
      std::fprintf(stderr, "tessivar_fuzz_seeds: could not write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

// A mesh in the byte layout of mesh_ops_fuzz.cpp, with every operation chosen.
std::vector<uint8_t> MeshOpsSeed(uint8_t settings, const std::vector<Vec3f>& points,
                                 const std::vector<Triangle>& triangles) {
  std::vector<uint8_t> bytes = {0xFF, settings};
  auto word = [&](uint32_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
  };
  word(uint32_t(points.size()));
  word(uint32_t(triangles.size()));
  for (const Vec3f& p : points) {
    for (float c : {p.x, p.y, p.z}) {
      const uint32_t bits = std::bit_cast<uint32_t>(c);
      for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(bits >> (8 * i)));
    }
  }
  for (size_t i = 0; i < points.size(); ++i) bytes.insert(bytes.end(), {uint8_t(i * 40), 128, uint8_t(255 - i * 40)});
  for (const Triangle& t : triangles) {
    for (uint32_t corner : t) word(corner);
  }
  return bytes;
}

// The meshes the mesh tests use: a tetrahedron, two triangles wound against each other, an
// octahedron, three triangles on one edge, and a disc whose border the simplification keeps.
bool WriteMeshOpsSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/mesh_ops/";
  const std::vector<Vec3f> disc = {{0, 0, 0},  {1, 0, 0},   {0.5f, 0.87f, 0}, {-0.5f, 0.87f, 0},
                                   {-1, 0, 0}, {-0.5f, -0.87f, 0}, {0.5f, -0.87f, 0}};
  return WriteBytes(folder + "tetrahedron", MeshOpsSeed(0x04, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                                        {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}})) &&
         WriteBytes(folder + "against", MeshOpsSeed(0x01, {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}},
                                                    {{0, 1, 2}, {1, 2, 3}})) &&
         WriteBytes(folder + "octahedron",
                    MeshOpsSeed(0x56, {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
                                {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                 {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}})) &&
         WriteBytes(folder + "fin", MeshOpsSeed(0x0A, {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}},
                                                {{0, 1, 2}, {0, 1, 3}, {1, 0, 4}})) &&
         WriteBytes(folder + "disc", MeshOpsSeed(0x84, disc, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5},
                                                              {0, 5, 6}, {0, 6, 1}}));
}

// Glyph contours in the byte layout of letter_outlines_fuzz.cpp: the tests' small contours (a
// square, a square with a hole, a curve, a contour of off-curve points only) and glyphs of DejaVu
// Sans in font units.
std::vector<uint8_t> LetterSeed(uint8_t settings, const GlyphContours& glyph) {
  std::vector<uint8_t> bytes = {settings, uint8_t(glyph.points.size()), uint8_t(glyph.contourEnds.size())};
  for (int32_t end : glyph.contourEnds) bytes.push_back(uint8_t(end));
  for (size_t k = 0; k < glyph.points.size(); ++k) {
    for (double c : {glyph.points[k].x, glyph.points[k].y}) {
      const uint16_t value = uint16_t(int16_t(std::lround(c)));
      bytes.push_back(uint8_t(value));
      bytes.push_back(uint8_t(value >> 8));
    }
    bytes.push_back(glyph.onCurve[k]);
  }
  return bytes;
}

bool WriteLetterSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/letter_outlines/";
  GlyphContours square{{{0, 0}, {0, 100}, {100, 100}, {100, 0}}, {1, 1, 1, 1}, {3}};
  GlyphContours ring = square;
  for (LetterPoint p : {LetterPoint{40, 40}, LetterPoint{60, 40}, LetterPoint{60, 60}, LetterPoint{40, 60}}) {
    ring.points.push_back(p);
    ring.onCurve.push_back(1);
  }
  ring.contourEnds = {3, 7};
  const GlyphContours curve{{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, {1, 0, 0, 1}, {3}};
  const GlyphContours circle{{{0, 10}, {10, 0}, {0, -10}, {-10, 0}}, {0, 0, 0, 0}, {3}};
  bool ok = WriteBytes(folder + "square", LetterSeed(0x12, square)) && WriteBytes(folder + "ring", LetterSeed(0x02, ring)) &&
            WriteBytes(folder + "ring-filled-3d", LetterSeed(0x3A, ring)) &&
            WriteBytes(folder + "curve", LetterSeed(0x00, curve)) && WriteBytes(folder + "circle", LetterSeed(0x13, circle));
  std::optional<LetterFace> face = OpenLetterFace(kDefaultLetterFamily, false, false);
  if (!face) return ok;
  face->scale = 1;  // font units
  for (const auto& [code, name] : {std::pair<uint32_t, const char*>{'o', "glyph-o"}, {'i', "glyph-i"}, {0xAE, "glyph-registered"},
                                   {'8', "glyph-8"}, {'B', "glyph-B"}}) {
    GlyphContours glyph = LoadLetterGlyph(*face, code, 0).contours;
    if (glyph.points.size() > 255) continue;
    ok = ok && WriteBytes(folder + name, LetterSeed(0x12, glyph));
  }
  ResetLetterState();
  return ok;
}

// Sets as the tests build them: one default ball, two that blend, a turned ellipsoid with a
// carving ball, atoms apart, and a set without balls.
bool WriteQuorvelSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/quorvel_file/";
  auto ball = [](Vec3f centre, float r1, float r2, Vec3f axis, float strength, const char* name) {
    Ball b = MakeBall(centre, r1, r2, axis, strength);
    b.name = name;
    return b;
  };
  const Vec3f up{0, 1, 0}, turned{0.267261f, 0.534522f, 0.801784f};
  const std::vector<Ball> lone = {Ball{}};
  const std::vector<Ball> pair = {ball({0, 0, 0}, 100, 1, up, kNewBallStrength, "Left"),
                                  ball({80, 10, 0}, 100, 1, up, kNewBallStrength, "Right")};
  const std::vector<Ball> carved = {ball({0, 0, 0}, 100, 0.4f, turned, kNewBallStrength, "Body"),
                                    ball({60, 0, 0}, 70, 1, up, -30, "Bite")};
  const std::vector<Ball> atoms = {ball({0, 0, 0}, 30, 1, up, kNewBallStrength, "A"),
                                   ball({100, 0, 0}, 30, 3, turned, kNewBallStrength, "B")};
  return WriteBytes(folder + "lone.bsph", EncodeQuorvelSet(lone)) &&
         WriteBytes(folder + "pair.bsph", EncodeQuorvelSet(pair)) &&
         WriteBytes(folder + "carved.bsph", EncodeQuorvelSet(carved)) &&
         WriteBytes(folder + "atoms.bsph", EncodeQuorvelSet(atoms)) &&
         WriteBytes(folder + "empty.bsph", EncodeQuorvelSet({}));
}

// The composer scene: a project record (a new project with the fog and smoke of the fog tests, and
// with the orthographic front camera) followed by an object in the layout of composer_scene_fuzz.cpp:
// a square facing the camera and a tetrahedron, each lit, shadowed and textured.
std::vector<uint8_t> ComposerObjectSeed(uint8_t flags, const std::vector<Vec3f>& points,
                                        const std::vector<Triangle>& triangles) {
  std::vector<uint8_t> bytes;
  auto number = [&](float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(bits >> (8 * i)));
  };
  for (float value : {1.0f, 0.0f, 0.0f, 0.0f, 0.3f, -0.4f, 0.0f}) number(value);
  bytes.push_back(flags);
  bytes.push_back(uint8_t(points.size()));
  bytes.push_back(uint8_t(triangles.size()));
  for (const Vec3f& p : points) {
    for (float c : {p.x, p.y, p.z}) number(c);
  }
  for (const Triangle& t : triangles) {
    for (uint32_t corner : t) bytes.push_back(uint8_t(corner));
  }
  return bytes;
}

bool WriteComposerSceneSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/composer_scene/";
  ResetProject();
  ProjectRecord hazy = nativeFiles.project;
  hazy.fogSmoke = {200, 1, 3200, 10, 100, 0.5f, 17};
  hazy.smokeDetail = 3;
  ProjectRecord front = nativeFiles.project;
  front.cameraViewIndex = 0;
  front.lightAngles = {0.3f, 1.2f, -0.5f};
  const std::vector<uint8_t> square =
      ComposerObjectSeed(0x1E, {{-150, -150, 0}, {150, -150, 0}, {150, 150, 0}, {-150, 150, 0}}, {{0, 1, 2}, {0, 2, 3}});
  const std::vector<uint8_t> tetrahedron = ComposerObjectSeed(
      0x1E, {{0, 0, 0}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
  struct Seed { const char* name; const ProjectRecord* record; const std::vector<uint8_t>* object; };
  const Seed seeds[] = {{"hazy_square", &hazy, &square}, {"hazy_tetrahedron", &hazy, &tetrahedron},
                        {"front_square", &front, &square}, {"front_tetrahedron", &front, &tetrahedron}};
  for (const Seed& seed : seeds) {
    std::vector<uint8_t> bytes(kProjectRecordSize);
    StoreProjectRecord(*seed.record, std::span<uint8_t, kProjectRecordSize>(bytes.data(), kProjectRecordSize));
    bytes.insert(bytes.end(), seed.object->begin(), seed.object->end());
    if (!WriteBytes(folder + seed.name, bytes)) return false;
  }
  return true;
}

// Small movies of every encoder the program offers first (and those libx264 or its peers give
// where present), and an animated GIF, as the movie writer writes them.
bool WriteMovieSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/movie/";
  const Picture picture = SeedPicture(16, 12);
  struct MovieSeed {
    const char* name;
    uint32_t outputType;
    uint32_t quality;
  };
  const MovieSeed seeds[] = {
      {"animated.gif", kAnimatedGifOutputType, kQualityNormal}, {"png.mov", FourCC("png "), kQualityNormal},
      {"mjpeg.mov", FourCC("jpeg"), kQualityLow},                {"animation.mov", FourCC("rle "), kQualityNormal},
      {"mpeg4.mov", FourCC("mp4v"), kQualityLow},                {"h264.mov", FourCC("avc1"), kQualityLow},
  };
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  for (const MovieSeed& seed : seeds) {
    if (FindMovieEncoder(encoders, seed.outputType) == nullptr) continue;
    AnimationOutputOptions options;
    options.outputType = seed.outputType;
    options.quality = seed.quality;
    options.gif.includeAlpha = true;
    MovieWriter writer;
    const uint32_t type = seed.outputType == kAnimatedGifOutputType ? FourCC("GIFf") : FourCC("MooV");
    const FileSpec spec = FileSpecForPath(std::filesystem::absolute(folder + seed.name).string(), type);
    if (writer.Begin(spec, picture.width, picture.height, 15, options) != kNoError) return false;
    for (int frame = 0; frame < 3; ++frame) {
      std::vector<uint32_t> pixels = picture.pixels;
      std::rotate(pixels.begin(), pixels.begin() + frame * 5, pixels.end());  // frames that differ
      if (writer.AddFrame(pixels) != kNoError) return false;
    }
    if (writer.Finish() != kNoError) return false;
  }
  return true;
}

// 3D Studio files from the exporter: a single mesh, and an object of three parts in a hierarchy
// (a root with a child that has a child of its own).
bool WriteThreeDsSeeds(const std::string& corpus) {
  std::unique_ptr<SceneObject> object = NewSceneObject(9, 3);
  if (!object) return false;
  Topology* topology = MutableTopology(*object);
  if (!topology) return false;
  for (int32_t i = 0; i < 9; ++i) object->points[size_t(i)] = Vec3f{float(i % 3), float(i / 3), float(i % 2)};
  topology->triangles = {Triangle{0, 1, 2}, Triangle{3, 4, 5}, Triangle{6, 7, 8}};
  object->name = TextToCountedString("Seed");
  std::vector<uint8_t> bytes;
  if (Encode3ds(*object, bytes) != kNoError || !WriteBytes(corpus + "/three_ds/single.3ds", bytes)) return false;
  object->hierarchy.resize(3);
  for (uint32_t k = 0; k < 3; ++k) {
    HierarchyNode& node = object->hierarchy[k];
    node.partName = TextToCountedString(std::string("Part") + char('A' + k));
    node.partFirstPoint = 3 * k;
    node.partPointCount = 3;
    node.partFirstTriangle = k;
    node.partTriangleCount = 1;
    node.childCount = k < 2 ? 1 : 0;
  }
  return Encode3ds(*object, bytes) == kNoError && WriteBytes(corpus + "/three_ds/parts.3ds", bytes);
}

// DXF: a small closed mesh in both export variants, and one file of each entity kind the export
// never writes (closed polyline, polygon mesh, a polyface with four-cornered faces, a quadrilateral
// 3DFACE with right-aligned codes).
bool WriteDxfSeeds(const std::string& corpus) {
  const std::string folder = corpus + "/dxf/";
  std::unique_ptr<SceneObject> object = NewSceneObject(4, 4);
  if (!object) return false;
  object->points = {{0, 100, 0}, {-80, -40, 60}, {80, -40, 60}, {0, -40, -90}};
  Topology* topology = MutableTopology(*object);
  if (topology == nullptr) return false;
  topology->triangles = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}};
  if (!BuildCornerLists(*object)) return false;
  object->name = TextToCountedString("Tetra");
  formatsState.exportScale = ExportScaleFactor(1.0f);
  const bool exported = ExportDxf(object.get(), kDxfPolyline, FileSpecForPath(folder + "polyline.dxf", FourCC("TEXT"))) == kNoError &&
                        ExportDxf(object.get(), kDxf3dFace, FileSpecForPath(folder + "faces.dxf", FourCC("TEXT"))) == kNoError;
  DisposeSceneObject(object);
  if (!exported) return false;
  auto vertex = [](const char* x, const char* y, const char* z, const char* extra = "") {
    return std::string("0\nVERTEX\n8\n0\n10\n") + x + "\n20\n" + y + "\n30\n" + z + "\n" + extra;
  };
  std::string closed = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n9\n";
  closed += vertex("0", "0", "0") + vertex("1", "0", "0") + vertex("1.5", "1", "0.5") + vertex("0.5", "2", "1") +
            vertex("-1e0", "1", "0") + "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
  std::string grid = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n16\n71\n3\n72\n3\n";
  for (int i = 0; i < 9; ++i) {
    const std::string x = std::to_string(i % 3), y = std::to_string(i / 3), z = std::to_string((i * 7) % 3);
    grid += vertex(x.c_str(), y.c_str(), z.c_str());
  }
  grid += "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
  std::string polyface = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n64\n71\n5\n72\n2\n";
  for (const char* p : {"0", "1", "2", "3", "4"}) polyface += vertex(p, "1", p, "70\n192\n");
  polyface += vertex("0", "0", "0", "70\n128\n71\n1\n72\n-2\n73\n3\n74\n4\n") +
              vertex("0", "0", "0", "70\n128\n71\n3\n72\n4\n73\n5\n74\n0\n") + "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
  const std::string quad =
      "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\n3DFACE\r\n  8\r\nA\r\n 10\r\n0\r\n 20\r\n0\r\n 30\r\n0\r\n"
      " 11\r\n1\r\n 21\r\n0\r\n 31\r\n0\r\n 12\r\n1\r\n 22\r\n1\r\n 32\r\n0\r\n 13\r\n0\r\n 23\r\n1\r\n 33\r\n0\r\n"
      "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
  for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"closed.dxf", closed},
                                   {"grid.dxf", grid}, {"polyface.dxf", polyface}, {"quad.dxf", quad}}) {
    if (!WriteBytes(folder + name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessivar_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  fuzz::InitFuzzTarget();
  const std::string corpus = argv[1];
  for (const char* target : {"object_file", "object_keyframes", "project_file", "optics_file", "preview_file", "preferences", "task_list",
                             "task_replay", "gif", "three_ds", "bmp", "ei", "tiff", "png", "jpeg", "mesh_ops", "letter_outlines", "quorvel_file",
                             "composer_scene", "movie", "dxf"}) {
    std::filesystem::create_directories(corpus + "/" + target);
  }
  if (!InitScene()) return 1;
  const bool ok = WriteObjectSeeds(corpus) && WriteProjectSeeds(corpus) && WriteTaskListSeeds(corpus) &&
                  WritePreferenceSeeds(corpus) && WritePictureSeeds(corpus) && WriteMeshOpsSeeds(corpus) && WriteLetterSeeds(corpus) &&
                  WriteQuorvelSeeds(corpus) && WriteComposerSceneSeeds(corpus) && WriteKeyframeSeeds(corpus) &&
                  WriteMovieSeeds(corpus) && WriteThreeDsSeeds(corpus) &&
                  WriteDxfSeeds(corpus);
  if (!ok) std::fprintf(stderr, "tessivar_fuzz_seeds: a seed could not be written\n");
  fuzz::ResetFuzzState();
  return ok ? 0 : 1;
}
