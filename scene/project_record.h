// project_record.h: the project record (the scene settings of the composer, one file spec per slot
// of the object table, the project's folders and description) and its 79336-byte byte image, which
// is the project file. Reading and writing the file, and the project commands, are in project.h.
//
// Byte image: the multi-byte members are big-endian group by group, except what the record always
// kept in machine order (little-endian here): the reserved words, the volume and directory words of
// every file spec, and the zoom, mode, angles and offsets of the composer views.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/user_services.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

namespace tsv {

inline constexpr size_t kProjectRecordSize = 79336;
inline constexpr int kComposerViewCount = 7;

// Offsets of the groups inside the byte image.
namespace project_offset {
inline constexpr size_t kAtName = 0;
inline constexpr size_t kAtProjectFile = 256;
inline constexpr size_t kAtModified = 556;
inline constexpr size_t kAtSceneWord1 = 558;
inline constexpr size_t kAtSceneWord2 = 560;
inline constexpr size_t kAtCurrentObject = 562;
inline constexpr size_t kAtSupersampling = 564;
inline constexpr size_t kAtRenderSwitches = 566;
inline constexpr size_t kAtBackground = 574;
inline constexpr size_t kAtQuorvelFile = 580;
inline constexpr size_t kAtSceneWord3 = 880;
inline constexpr size_t kAtFogColor = 882;
inline constexpr size_t kAtFogSmoke = 888;
inline constexpr size_t kAtSmokeDetail = 916;
inline constexpr size_t kAtReserved918 = 918;
inline constexpr size_t kAtSceneTriple = 920;
inline constexpr size_t kAtReserved926 = 926;
inline constexpr size_t kAtAngles = 928;
inline constexpr size_t kAtViewWords = 952;
inline constexpr size_t kAtReserved958 = 958;
inline constexpr size_t kAtComposerViews = 960;
inline constexpr size_t kComposerViewBytes = 36;
inline constexpr size_t kAtObjectFiles = 1212;
inline constexpr size_t kAtObjectsFolder = 77712;
inline constexpr size_t kAtTexturesFolder = 78012;
inline constexpr size_t kAtDescription = 78312;
}  // namespace project_offset

static_assert(project_offset::kAtComposerViews + kComposerViewCount * project_offset::kComposerViewBytes ==
              project_offset::kAtObjectFiles);
static_assert(project_offset::kAtObjectFiles + kObjectSlotCount * kFileSpecSize == project_offset::kAtObjectsFolder);
static_assert(project_offset::kAtDescription + kDescriptionSize == kProjectRecordSize);

// Fog and smoke, in their stored order.
struct FogSmokeSettings {
  float fogStrength = 0;        // "Strength" of the fog
  float smokeDensity = 0.5f;    // "Density"
  float fogFalloff = 60.0f;     // "Falloff"
  float fogStart = 0;           // "Start"
  float smokeStrength = 100.0f; // "Strength" of the smoke
  float smokeContrast = 2.0f;   // "Contrast"
  float smokeRandomSeed = 0;    // "Random Seed"
};

inline constexpr float kQuarterPi = 0.78539819f;

struct ProjectRecord {
  CountedString projectName;  // "UntitledProject" for a new project
  FileSpec projectFile;       // empty until the project is saved or opened
  // A copy of scene.projectModified for the byte image: the scene's flag is the one every change
  // sets; the project takes it over on every write and clears both after a save or an open.
  uint16_t projectModified = 0;
  uint16_t sceneWord1 = 0;
  uint16_t sceneWord2 = 1;
  int16_t currentObjectIndex = -1;  // slot of the current object when last saved, -1 = none
  uint16_t supersampling = 1;       // nonzero: the composer renders supersampled
  uint16_t shadowsOn = 0;           // composer render switches
  uint16_t texturesOn = 0;          // 1 = on
  uint16_t fogAndSmokeOn = 0;
  uint16_t backgroundPictureOn = 0;
  Rgb16 backgroundColor;            // composer background, high bytes used
  FileSpec quorvelFile;             // the composer's background picture; empty when none
  uint16_t sceneWord3 = 0;
  Rgb16 fogColor{0xFF00, 0xFF00, 0xFF00};
  FogSmokeSettings fogSmoke;
  uint16_t smokeDetail = 8;         // 1..10
  uint16_t reserved918 = 0;
  std::array<uint16_t, 3> sceneTriple{1, 10, 1};
  uint16_t reserved926 = 0;
  std::array<float, 3> lightAngles{-kQuarterPi, 0, kQuarterPi};  // radians
  std::array<float, 3> extraAngles{-kQuarterPi, 0, kQuarterPi};
  std::array<uint16_t, 2> viewWords{0, 0};
  uint16_t cameraViewIndex = 6;     // the composer view used as the camera, 0..6
  uint16_t reserved958 = 0;
  std::array<ObjectView, kComposerViewCount> composerViews;
  std::array<FileSpec, kObjectSlotCount> objectFiles;  // one per slot of the object table
  FileSpec objectsFolder;           // the project's "Objects" folder
  FileSpec texturesFolder;          // the project's "Textures" folder
  std::array<char, kDescriptionSize> projectDescription{};  // zero-terminated "Short Description"
};

// A new project: every member at its default, the name "UntitledProject".
ProjectRecord DefaultProjectRecord();
// The composer views of a new project: centre 0, 0, zoom 0.87863398, the angles of the object
// views; view 6 in mode 1 with zoom 2.4762893.
std::array<ObjectView, kComposerViewCount> DefaultComposerViews();

// The byte image, field by field.
void StoreProjectRecord(const ProjectRecord& record, std::span<uint8_t, kProjectRecordSize> out);
// Reads a byte image. Texts are cut to their terminator; file spec type counts above eight are
// held at eight; a camera view index beyond the seven views falls back to view 6.
ProjectRecord LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize> in);

}  // namespace tsv
