// keyframe_file.h: the keyframe shapes of the animated object. Slots 0..7 hold the keyframes and
// slot 8 a backup of the object while an animation runs; each slot is a file in the scratch folder
// ("MorphKF0".."MorphKF7", "MorphObject") holding a snapshot of the object (shape, texture
// coordinates, paint and the record's own fields) and of the project's scene settings.
//
// Slot file layout: point and triangle counts (u32 big-endian), then points (3 x f32), texture
// coordinates (2 x f32), paint (3 bytes) and triangles (3 x u32), each in the machine's byte order,
// then the fixed 2612-byte image of the object record and the 79336-byte project record image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/status.h"
#include "scene/project_record.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr int kKeyframeSlotCount = 8;  // slots 0..7
inline constexpr int kKeyframeBackupSlot = 8;  // "MorphObject"
inline constexpr size_t kObjectRecordImageSize = 2612;
inline constexpr uint32_t kKeyframeFileType = FourCC("MKFF");

// Offsets of the fields inside the record image. Every number is big-endian; a field sits where
// the record's memory layout put it (two-byte words before a four-byte field are followed by two
// bytes of padding). Handles are zero words at their place. The fields end at 2606; the image
// keeps its fixed size of 2612 bytes, the rest zero.
namespace record_offset {
inline constexpr size_t kAtSignature = 0;
inline constexpr size_t kAtVersion = 4;
inline constexpr size_t kAtFileSpec = 8;          // 300-byte file spec image
inline constexpr size_t kAtName = 308;            // counted string, 256 bytes
inline constexpr size_t kAtDescription = 564;     // 1024 bytes
inline constexpr size_t kAtHeaderFlagA = 1588;
inline constexpr size_t kAtHeaderFlagB = 1590;
inline constexpr size_t kAtIsOrganic = 1592;
inline constexpr size_t kAtIsFastSynthetic = 1594;
inline constexpr size_t kAtGhostState = 1596;
inline constexpr size_t kAtHasUnsavedChanges = 1598;
inline constexpr size_t kAtSnapPoints = 1600;     // 64 x i32
inline constexpr size_t kAtPointCount = 1856;
inline constexpr size_t kAtTriangleCount = 1860;
// shadeRamp, preview, points, pointColors, pointFirstCorner, pointUV, triangles,
// triangleNextCorner, hierarchy, pointWork, triangleWork: eleven zero handle words.
inline constexpr size_t kAtArrayHandles = 1864;
inline constexpr size_t kAtImportScale = 1908;
inline constexpr size_t kAtCurrentView = 1912;
inline constexpr size_t kAtViews = 1916;          // 7 views of 36 bytes
inline constexpr size_t kViewBytes = 36;          // centerY, centerX, zoom, mode, 2 padding, angles, offset
inline constexpr size_t kAtScale = 2168;
inline constexpr size_t kAtPosition = 2172;
inline constexpr size_t kAtRotation = 2184;
inline constexpr size_t kAtDepthMax = 2196;
inline constexpr size_t kAtDepthMin = 2200;
inline constexpr size_t kAtOptics = 2204;         // the 18 optics words in their stored order
inline constexpr size_t kAtTextureFile = 2240;    // 300-byte file spec image
inline constexpr size_t kAtTextureUsesAlpha = 2540;
inline constexpr size_t kAtTextureBump = 2542;
inline constexpr size_t kAtTextureFlags = 2544;
inline constexpr size_t kAtTextureZoom = 2548;
inline constexpr size_t kAtTextureParams = 2552;  // 5 x u16
inline constexpr size_t kAtTextureKind = 2562;
inline constexpr size_t kAtTextureImageSize = 2564;
inline constexpr size_t kAtTextureOffset = 2568;
inline constexpr size_t kAtTextureDepth = 2572;
// textureImage, triangleStrips, quarterStrips: three zero handle words.
inline constexpr size_t kAtPictureHandles = 2576;
inline constexpr size_t kAtTextureError = 2588;
inline constexpr size_t kAtBackendTextureA = 2592;
inline constexpr size_t kAtBackendTextureB = 2596;
inline constexpr size_t kAtPointMaskHandle = 2600;
inline constexpr size_t kAtDirtyFlags = 2604;
inline constexpr size_t kFieldsEnd = 2606;
}  // namespace record_offset

static_assert(record_offset::kAtName == record_offset::kAtFileSpec + kFileSpecSize);
static_assert(record_offset::kAtPointCount == record_offset::kAtSnapPoints + 4 * kSnapPointCount);
static_assert(record_offset::kAtImportScale == record_offset::kAtArrayHandles + 4 * 11);
static_assert(record_offset::kAtScale == record_offset::kAtViews + kObjectViewCount * record_offset::kViewBytes);
static_assert(record_offset::kAtTextureFile == record_offset::kAtOptics + 2 * kOpticsWordCount);
static_assert(record_offset::kAtTextureUsesAlpha == record_offset::kAtTextureFile + kFileSpecSize);
static_assert(record_offset::kAtTextureError == record_offset::kAtPictureHandles + 4 * 3);
static_assert(record_offset::kFieldsEnd <= kObjectRecordImageSize);

// The object record as a slot file keeps it: every field in record order, each at a fixed offset,
// written field by field (arrays are not part of it; where the record holds an array its place
// is zero). Store and Load round-trip every field of the record that is not an array.
void StoreObjectRecordImage(const SceneObject& object, std::span<uint8_t, kObjectRecordImageSize> out);
// Sets the record fields of `object` from an image; counts, the type flags (`isOrganic`,
// `isFastSynthetic`: they go with the topology), arrays, topology and hierarchy are left alone.
// Values out of their range come back held to it (a damaged scratch file never makes a record
// that crashes a renderer): words with a 0..256 range, the current view, numbers that are not
// finite, snap points beyond the object's points, file specs and the description.
void LoadObjectRecordImage(std::span<const uint8_t, kObjectRecordImageSize> in, SceneObject& object);

// A copy of the object's record fields (counts and type flags included) without any of its
// arrays: what a slot file keeps of an object, held to the ranges a slot file gives back.
SceneObject ObjectRecordFields(const SceneObject& object);

// Path of slot 0..8 in the scratch folder.
std::string KeyframeSlotPath(int slot);
bool KeyframeExists(int slot);
void DeleteKeyframe(int slot);
void DeleteAllKeyframes();  // slots 0..8
// True when any of slots 0..7 is set.
bool AnyKeyframeSet();

// A slot file read into memory.
struct KeyframeShape {
  uint32_t pointCount = 0;
  uint32_t triangleCount = 0;
  std::vector<Vec3f> points;
  std::vector<Uv> pointUV;
  std::vector<Rgb8> pointColors;
  std::vector<Triangle> triangles;
  SceneObject record;    // the record's own fields; its arrays stay empty
  ProjectRecord scene;   // the scene settings at the time of the keyframe
};

// The length of a slot file holding these counts.
constexpr uint64_t KeyframeFileSize(uint64_t pointCount, uint64_t triangleCount) {
  return 8 + 23 * pointCount + 12 * triangleCount + kObjectRecordImageSize + kProjectRecordSize;
}

// Writes `object` and `scene` as slot `slot`: kNoError, or kWriteError when the file could not be
// written. The file is written beside the slot and renamed into place when whole, so a failed
// write leaves the slot as it was (an unset slot stays unset). Nothing is shown: the caller says
// what failed.
[[nodiscard]] Status WriteKeyframeSlot(int slot, const SceneObject& object, const ProjectRecord& scene);
// Reads only the two counts of a slot: kNoError, kFileNotFound when the slot is not set,
// kReadError when the file is short, unreadable, or its length is not what the counts call for.
[[nodiscard]] Status ReadKeyframeCounts(int slot, uint32_t& pointCount, uint32_t& triangleCount);
// Reads a whole slot: kNoError, kFileNotFound when it is not set, kReadError when the file is
// short, its counts disagree with its length, or it cannot be read, kNoMemory when its arrays
// cannot be had. `shape` is only changed on success; its record has the file's counts and the
// type flags of its image.
[[nodiscard]] Status ReadKeyframeSlot(int slot, KeyframeShape& shape);

// The same at any path: a slot file from its parts. The counts are the sizes of `points` and
// `triangles`; `pointUV` and `pointColors` have one entry per point (else kWriteError and no
// file). `record` gives the record image (its arrays are not looked at).
[[nodiscard]] Status WriteKeyframeFile(const std::string& path, std::span<const Vec3f> points,
                                       std::span<const Uv> pointUV, std::span<const Rgb8> pointColors,
                                       std::span<const Triangle> triangles, const SceneObject& record,
                                       const ProjectRecord& scene);
[[nodiscard]] Status ReadKeyframeFile(const std::string& path, KeyframeShape& shape);

// The keyframe shapes of an object file wait in staging files beside the slots ("MorphKF3" plus
// ".opening") until the open has succeeded; only then do they replace the slots.
std::string KeyframeStagingPath(int slot);
// Deletes slots 0..7, then renames every staged slot (staged[k]) into its place. False when a
// staged file could not be renamed (that slot stays unset; the others are in).
[[nodiscard]] bool AdoptStagedKeyframes(const std::array<bool, kKeyframeSlotCount>& staged);
// Deletes the staging files of slots 0..7.
void DeleteStagedKeyframes();

}  // namespace tsv
