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

// The object record as a slot file keeps it: every field in record order, each at a fixed offset,
// written field by field (arrays are not part of it; where the record holds an array its place
// is zero). Store and Load round-trip every field of the record that is not an array.
void StoreObjectRecordImage(const SceneObject& object, std::span<uint8_t, kObjectRecordImageSize> out);
// Sets the record fields of `object` from an image; counts, arrays, topology and hierarchy are
// left alone. Values out of their range come back held to it (a damaged scratch file never makes
// a record that crashes a renderer).
void LoadObjectRecordImage(std::span<const uint8_t, kObjectRecordImageSize> in, SceneObject& object);

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

// Writes `object` and `scene` as slot `slot`: kNoError, or kWriteError when the file could not be
// written (a partly written file is removed, so the slot stays unset).
[[nodiscard]] Status WriteKeyframeSlot(int slot, const SceneObject& object, const ProjectRecord& scene);
// Reads only the two counts of a slot: kNoError, kFileNotFound when the slot is not set,
// kReadError when the file is short or unreadable.
[[nodiscard]] Status ReadKeyframeCounts(int slot, uint32_t& pointCount, uint32_t& triangleCount);
// Reads a whole slot: kNoError, kFileNotFound when it is not set, kReadError when the file is
// short, its counts disagree with its length, or it cannot be read. `shape` is only changed on
// success.
[[nodiscard]] Status ReadKeyframeSlot(int slot, KeyframeShape& shape);

}  // namespace tsv
