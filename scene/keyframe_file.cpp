// keyframe_file.cpp: the record image and the keyframe slot files.
#include "scene/keyframe_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "scene/file_bytes.h"
#include "scene/safe_save.h"

namespace tsv {
namespace {

using namespace record_offset;

// ---------------------------------------------------------------------------------------------
// Record image

constexpr uint16_t kRangeTop = 256;  // the top of every 0..256 word of the record

void StoreF32s(uint8_t* p, std::initializer_list<float> values) {
  for (float v : values) {
    StoreF32BE(p, v);
    p += 4;
  }
}

void StoreView(const ObjectView& view, uint8_t* p) {
  StoreU16BE(p, view.centerY);
  StoreU16BE(p + 2, view.centerX);
  StoreF32BE(p + 4, view.zoom);
  StoreU16BE(p + 8, view.mode);
  for (size_t i = 0; i < 3; ++i) StoreF32BE(p + 12 + 4 * i, view.angles[i]);
  for (size_t i = 0; i < 3; ++i) StoreF32BE(p + 24 + 4 * i, view.offset[i]);
}

// A number that is not finite comes back as `otherwise`.
float Finite(float value, float otherwise) { return std::isfinite(value) ? value : otherwise; }
// A scale factor must be a finite number above zero: it divides and multiplies distances.
float Positive(float value, float otherwise) { return std::isfinite(value) && value > 0 ? value : otherwise; }
uint16_t InRange(uint16_t value) { return std::min(value, kRangeTop); }

float LoadFinite(const uint8_t* p, float otherwise) { return Finite(LoadF32BE(p), otherwise); }
Vec3f LoadVec3(const uint8_t* p) { return {LoadFinite(p, 0), LoadFinite(p + 4, 0), LoadFinite(p + 8, 0)}; }

ObjectView LoadView(const uint8_t* p) {
  ObjectView view;
  view.centerY = LoadU16BE(p);
  view.centerX = LoadU16BE(p + 2);
  view.zoom = Positive(LoadF32BE(p + 4), 1.0f);
  view.mode = LoadU16BE(p + 8);
  for (size_t i = 0; i < 3; ++i) view.angles[i] = LoadFinite(p + 12 + 4 * i, 0);
  for (size_t i = 0; i < 3; ++i) view.offset[i] = LoadFinite(p + 24 + 4 * i, 0);
  return view;
}

FileSpec LoadSpecAt(const uint8_t* p) { return LoadFileSpec(std::span<const uint8_t, kFileSpecSize>(p, kFileSpecSize)); }
void StoreSpecAt(const FileSpec& spec, uint8_t* p) {
  StoreFileSpec(spec, std::span<uint8_t, kFileSpecSize>(p, kFileSpecSize));
}

// Every field but the counts and the type flags, held to its range.
void LoadRecordFields(const uint8_t* p, SceneObject& o) {
  o.signature = LoadU32BE(p + kAtSignature);
  o.version = LoadU32BE(p + kAtVersion);
  o.fileSpec = LoadSpecAt(p + kAtFileSpec);
  o.name.length = p[kAtName];
  std::memcpy(o.name.text, p + kAtName + 1, o.name.length);
  std::memcpy(o.description.data(), p + kAtDescription, kDescriptionSize);
  // Whoever shows the description reads up to its terminator.
  o.description[kDescriptionSize - 1] = '\0';
  o.headerFlagA = LoadU16BE(p + kAtHeaderFlagA);
  o.headerFlagB = LoadU16BE(p + kAtHeaderFlagB);
  o.ghostState = LoadU16BE(p + kAtGhostState);
  o.hasUnsavedChanges = LoadU16BE(p + kAtHasUnsavedChanges);
  // Snap points name points of this object: anything else is an empty entry, and the used
  // entries stay first.
  o.snapPoints = kEmptySnapPoints;
  size_t used = 0;
  for (size_t i = 0; i < kSnapPointCount; ++i) {
    const int32_t entry = int32_t(LoadU32BE(p + kAtSnapPoints + 4 * i));
    if (entry >= 0 && entry < o.pointCount) o.snapPoints[used++] = entry;
  }
  o.importScale = Positive(LoadF32BE(p + kAtImportScale), 1.0f);
  o.currentView = LoadU16BE(p + kAtCurrentView);
  if (o.currentView >= kObjectViewCount) o.currentView = 0;
  for (size_t v = 0; v < kObjectViewCount; ++v) o.views[v] = LoadView(p + kAtViews + kViewBytes * v);
  o.scale = Finite(LoadF32BE(p + kAtScale), 1.0f);
  o.position = LoadVec3(p + kAtPosition);
  o.rotation = LoadVec3(p + kAtRotation);
  o.depthMax = LoadFinite(p + kAtDepthMax, 0);
  o.depthMin = LoadFinite(p + kAtDepthMin, 0);
  OpticsWordArray words;
  for (size_t i = 0; i < kOpticsWordCount; ++i) words[i] = LoadU16BE(p + kAtOptics + 2 * i);
  o.optics = OpticsFromWords(words);
  for (uint16_t* ranged : {&o.optics.shininess, &o.optics.diffuseStrength, &o.optics.ambientLevel,
                           &o.optics.transparency, &o.optics.opticsExtra1, &o.optics.opticsExtra2}) {
    *ranged = InRange(*ranged);
  }
  o.textureFile = LoadSpecAt(p + kAtTextureFile);
  o.textureUsesAlpha = LoadU16BE(p + kAtTextureUsesAlpha);
  o.textureBump = InRange(LoadU16BE(p + kAtTextureBump));
  o.textureFlags = LoadU16BE(p + kAtTextureFlags);
  o.textureZoom = Finite(LoadF32BE(p + kAtTextureZoom), 1.0f);
  for (size_t i = 0; i < kTextureParamCount; ++i) o.textureParams[i] = InRange(LoadU16BE(p + kAtTextureParams + 2 * i));
  o.textureKind = LoadU16BE(p + kAtTextureKind);
  for (size_t i = 0; i < 2; ++i) {
    o.textureImageSize[i] = LoadU16BE(p + kAtTextureImageSize + 2 * i);
    o.textureOffset[i] = LoadU16BE(p + kAtTextureOffset + 2 * i);
    o.textureDepth[i] = LoadU16BE(p + kAtTextureDepth + 2 * i);
  }
  o.textureError = LoadU32BE(p + kAtTextureError);
  o.backendTextureA = LoadU32BE(p + kAtBackendTextureA);
  o.backendTextureB = LoadU32BE(p + kAtBackendTextureB);
  o.dirtyFlags = LoadU16BE(p + kAtDirtyFlags) & kAllDirty;
}

// ---------------------------------------------------------------------------------------------
// Slot files

// Arrays go through the file in blocks of this many elements.
constexpr size_t kBlockElements = 16384;

// The arrays are memory images in the machine's byte order: a number is stored as its bytes lie
// in memory.
void StoreU32Machine(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void StoreF32Machine(uint8_t* p, float v) { std::memcpy(p, &v, 4); }
uint32_t LoadU32Machine(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
float LoadF32Machine(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}

// Buffers the bytes of a slot file and hands them to the save in large pieces.
struct SlotWriter {
  SafeSave& save;
  std::vector<uint8_t> buffer;
  bool failed = false;

  void Flush() {
    if (!failed && !buffer.empty() && !WriteSafeSave(save, buffer)) failed = true;
    buffer.clear();
  }
  uint8_t* Reserve(size_t count) {
    if (buffer.size() + count > buffer.capacity()) Flush();
    buffer.resize(buffer.size() + count);
    return buffer.data() + buffer.size() - count;
  }
  template <class T, class Encode>
  void Array(std::span<const T> values, size_t bytesPerElement, Encode encode) {
    for (size_t start = 0; start < values.size(); start += kBlockElements) {
      const size_t n = std::min(kBlockElements, values.size() - start);
      uint8_t* out = Reserve(n * bytesPerElement);
      for (size_t i = 0; i < n; ++i) encode(values[start + i], out + i * bytesPerElement);
    }
  }
};

template <class T, class Decode>
bool ReadBlocks(FileReader& r, std::vector<T>& values, size_t bytesPerElement, Decode decode) {
  std::vector<uint8_t> block(std::min(values.size(), kBlockElements) * bytesPerElement);
  for (size_t start = 0; start < values.size(); start += kBlockElements) {
    const size_t n = std::min(kBlockElements, values.size() - start);
    if (!r.Read(block.data(), n * bytesPerElement)) return false;
    for (size_t i = 0; i < n; ++i) decode(block.data() + i * bytesPerElement, values[start + i]);
  }
  return true;
}

FileSpec SpecOfPath(const std::string& path) { return FileSpecForPath(path, kKeyframeFileType); }

bool IsSlot(int slot) { return slot >= 0 && slot <= kKeyframeBackupSlot; }

// Opens a slot file and checks its length against its counts before anything is allocated for
// them: a damaged count never turns into a huge allocation.
Status OpenSlotFile(const std::string& path, FileRef& file, uint32_t& pointCount, uint32_t& triangleCount) {
  FileSpec spec = SpecOfPath(path);
  if (path.empty() || !IsFileSpecSet(spec) || OpenFile(spec, FileMode::Read, file) != kNoError) {
    return kFileNotFound;
  }
  int64_t size = 0;
  uint8_t counts[8];
  if (GetFileSize(file, size) != kNoError || size < 8 || ReadBytes(file, counts, 8) != kNoError) return kReadError;
  pointCount = LoadU32BE(counts);
  triangleCount = LoadU32BE(counts + 4);
  if (pointCount > uint32_t(kMaxMeshPoints) || triangleCount > uint32_t(kMaxMeshTriangles) ||
      uint64_t(size) != KeyframeFileSize(pointCount, triangleCount)) {
    return kReadError;
  }
  return kNoError;
}

}  // namespace

void StoreObjectRecordImage(const SceneObject& o, std::span<uint8_t, kObjectRecordImageSize> out) {
  uint8_t* p = out.data();
  // Handles, padding and the tail after the last field stay zero.
  std::memset(p, 0, kObjectRecordImageSize);
  StoreU32BE(p + kAtSignature, o.signature);
  StoreU32BE(p + kAtVersion, o.version);
  StoreSpecAt(o.fileSpec, p + kAtFileSpec);
  p[kAtName] = o.name.length;
  std::memcpy(p + kAtName + 1, o.name.text, o.name.length);
  std::memcpy(p + kAtDescription, o.description.data(), kDescriptionSize);
  StoreU16BE(p + kAtHeaderFlagA, o.headerFlagA);
  StoreU16BE(p + kAtHeaderFlagB, o.headerFlagB);
  StoreU16BE(p + kAtIsOrganic, o.isOrganic);
  StoreU16BE(p + kAtIsFastSynthetic, o.isFastSynthetic);
  StoreU16BE(p + kAtGhostState, o.ghostState);
  StoreU16BE(p + kAtHasUnsavedChanges, o.hasUnsavedChanges);
  for (size_t i = 0; i < kSnapPointCount; ++i) StoreU32BE(p + kAtSnapPoints + 4 * i, uint32_t(o.snapPoints[i]));
  StoreU32BE(p + kAtPointCount, uint32_t(o.pointCount));
  StoreU32BE(p + kAtTriangleCount, uint32_t(o.triangleCount));
  StoreF32BE(p + kAtImportScale, o.importScale);
  StoreU16BE(p + kAtCurrentView, o.currentView);
  for (size_t v = 0; v < kObjectViewCount; ++v) StoreView(o.views[v], p + kAtViews + kViewBytes * v);
  StoreF32BE(p + kAtScale, o.scale);
  StoreF32s(p + kAtPosition, {o.position.x, o.position.y, o.position.z});
  StoreF32s(p + kAtRotation, {o.rotation.x, o.rotation.y, o.rotation.z});
  StoreF32BE(p + kAtDepthMax, o.depthMax);
  StoreF32BE(p + kAtDepthMin, o.depthMin);
  const OpticsWordArray words = OpticsWords(o.optics);
  for (size_t i = 0; i < kOpticsWordCount; ++i) StoreU16BE(p + kAtOptics + 2 * i, words[i]);
  StoreSpecAt(o.textureFile, p + kAtTextureFile);
  StoreU16BE(p + kAtTextureUsesAlpha, o.textureUsesAlpha);
  StoreU16BE(p + kAtTextureBump, o.textureBump);
  StoreU16BE(p + kAtTextureFlags, o.textureFlags);
  StoreF32BE(p + kAtTextureZoom, o.textureZoom);
  for (size_t i = 0; i < kTextureParamCount; ++i) StoreU16BE(p + kAtTextureParams + 2 * i, o.textureParams[i]);
  StoreU16BE(p + kAtTextureKind, o.textureKind);
  for (size_t i = 0; i < 2; ++i) {
    StoreU16BE(p + kAtTextureImageSize + 2 * i, o.textureImageSize[i]);
    StoreU16BE(p + kAtTextureOffset + 2 * i, o.textureOffset[i]);
    StoreU16BE(p + kAtTextureDepth + 2 * i, o.textureDepth[i]);
  }
  StoreU32BE(p + kAtTextureError, o.textureError);
  StoreU32BE(p + kAtBackendTextureA, o.backendTextureA);
  StoreU32BE(p + kAtBackendTextureB, o.backendTextureB);
  StoreU16BE(p + kAtDirtyFlags, o.dirtyFlags);
}

void LoadObjectRecordImage(std::span<const uint8_t, kObjectRecordImageSize> in, SceneObject& object) {
  LoadRecordFields(in.data(), object);
}

SceneObject ObjectRecordFields(const SceneObject& object) {
  std::array<uint8_t, kObjectRecordImageSize> image;
  StoreObjectRecordImage(object, image);
  SceneObject copy;
  copy.pointCount = object.pointCount;
  copy.triangleCount = object.triangleCount;
  copy.isOrganic = object.isOrganic;
  copy.isFastSynthetic = object.isFastSynthetic;
  LoadRecordFields(image.data(), copy);
  return copy;
}

std::string KeyframeSlotPath(int slot) {
  if (!IsSlot(slot)) return {};
  const FileSpec spec = slot == kKeyframeBackupSlot ? MakeTempFileSpec(ScratchFile::MorphObject)
                                                    : MakeTempFileSpec(ScratchFile::MorphKeyframe, slot);
  return IsFileSpecSet(spec) ? PathOfSpec(spec) : std::string{};
}

bool KeyframeExists(int slot) {
  const std::string path = KeyframeSlotPath(slot);
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void DeleteKeyframe(int slot) {
  const std::string path = KeyframeSlotPath(slot);
  if (!path.empty()) (void)DeleteFile(SpecOfPath(path));
}

void DeleteAllKeyframes() {
  for (int slot = 0; slot <= kKeyframeBackupSlot; ++slot) DeleteKeyframe(slot);
}

bool AnyKeyframeSet() {
  for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
    if (KeyframeExists(slot)) return true;
  }
  return false;
}

Status WriteKeyframeFile(const std::string& path, std::span<const Vec3f> points, std::span<const Uv> pointUV,
                         std::span<const Rgb8> pointColors, std::span<const Triangle> triangles,
                         const SceneObject& record, const ProjectRecord& sceneRecord) {
  if (pointUV.size() != points.size() || pointColors.size() != points.size() ||
      points.size() > size_t(kMaxMeshPoints) || triangles.size() > size_t(kMaxMeshTriangles)) {
    return kWriteError;
  }
  const FileSpec spec = SpecOfPath(path);
  if (path.empty() || !IsFileSpecSet(spec)) return kWriteError;
  SafeSave save;
  save.quiet = true;
  if (!BeginSafeSave(spec, save)) return kWriteError;
  try {
    SlotWriter w{save, {}};
    w.buffer.reserve(size_t(1) << 16);
    uint8_t* counts = w.Reserve(8);
    StoreU32BE(counts, uint32_t(points.size()));
    StoreU32BE(counts + 4, uint32_t(triangles.size()));
    w.Array(points, 12, [](const Vec3f& v, uint8_t* out) {
      StoreF32Machine(out, v.x);
      StoreF32Machine(out + 4, v.y);
      StoreF32Machine(out + 8, v.z);
    });
    w.Array(pointUV, 8, [](const Uv& uv, uint8_t* out) {
      StoreF32Machine(out, uv.u);
      StoreF32Machine(out + 4, uv.v);
    });
    w.Array(pointColors, 3, [](const Rgb8& c, uint8_t* out) {
      out[0] = c.red;
      out[1] = c.green;
      out[2] = c.blue;
    });
    w.Array(triangles, 12, [](const Triangle& t, uint8_t* out) {
      for (size_t k = 0; k < 3; ++k) StoreU32Machine(out + 4 * k, t[k]);
    });
    w.Flush();
    std::array<uint8_t, kObjectRecordImageSize> image;
    StoreObjectRecordImage(record, image);
    if (!w.failed && !WriteSafeSave(save, image)) w.failed = true;
    std::vector<uint8_t> project(kProjectRecordSize);
    StoreProjectRecord(sceneRecord, std::span<uint8_t, kProjectRecordSize>(project.data(), kProjectRecordSize));
    if (!w.failed && !WriteSafeSave(save, project)) w.failed = true;
    if (w.failed || !CommitSafeSave(save)) {
      AbandonSafeSave(save);
      return kWriteError;
    }
  } catch (const std::bad_alloc&) {
    AbandonSafeSave(save);
    return kWriteError;
  }
  return kNoError;
}

Status ReadKeyframeFile(const std::string& path, KeyframeShape& shape) {
  FileRef file;
  uint32_t pointCount = 0, triangleCount = 0;
  if (Status status = OpenSlotFile(path, file, pointCount, triangleCount); status != kNoError) return status;
  FileReader r(file);
  if (r.failed) return kReadError;
  try {
    // Built aside: `shape` changes only when the whole file has been read.
    auto read = std::make_unique<KeyframeShape>();
    read->pointCount = pointCount;
    read->triangleCount = triangleCount;
    read->points.resize(pointCount);
    read->pointUV.resize(pointCount);
    read->pointColors.resize(pointCount);
    read->triangles.resize(triangleCount);
    const bool arrays =
        ReadBlocks(r, read->points, 12, [](const uint8_t* in, Vec3f& v) {
          v = {LoadF32Machine(in), LoadF32Machine(in + 4), LoadF32Machine(in + 8)};
        }) &&
        ReadBlocks(r, read->pointUV, 8, [](const uint8_t* in, Uv& uv) { uv = {LoadF32Machine(in), LoadF32Machine(in + 4)}; }) &&
        ReadBlocks(r, read->pointColors, 3, [](const uint8_t* in, Rgb8& c) { c = {in[0], in[1], in[2]}; }) &&
        ReadBlocks(r, read->triangles, 12, [](const uint8_t* in, Triangle& t) {
          t = {LoadU32Machine(in), LoadU32Machine(in + 4), LoadU32Machine(in + 8)};
        });
    std::array<uint8_t, kObjectRecordImageSize> image;
    std::vector<uint8_t> project(kProjectRecordSize);
    if (!arrays || !r.Read(image.data(), image.size()) || !r.Read(project.data(), project.size())) return kReadError;
    SceneObject& record = read->record;
    record.pointCount = int32_t(pointCount);
    record.triangleCount = int32_t(triangleCount);
    record.isOrganic = LoadU16BE(image.data() + kAtIsOrganic);
    record.isFastSynthetic = LoadU16BE(image.data() + kAtIsFastSynthetic);
    LoadRecordFields(image.data(), record);
    read->scene = LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(project.data(), kProjectRecordSize));
    shape = std::move(*read);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return kNoError;
}

Status WriteKeyframeSlot(int slot, const SceneObject& object, const ProjectRecord& sceneRecord) {
  if (!IsSlot(slot)) return kWriteError;
  return WriteKeyframeFile(KeyframeSlotPath(slot), object.points, object.pointUV, object.pointColors,
                           Triangles(object), object, sceneRecord);
}

Status ReadKeyframeCounts(int slot, uint32_t& pointCount, uint32_t& triangleCount) {
  FileRef file;
  uint32_t points = 0, triangles = 0;
  if (Status status = OpenSlotFile(KeyframeSlotPath(slot), file, points, triangles); status != kNoError) {
    return status;
  }
  pointCount = points;
  triangleCount = triangles;
  return kNoError;
}

Status ReadKeyframeSlot(int slot, KeyframeShape& shape) {
  return ReadKeyframeFile(KeyframeSlotPath(slot), shape);
}

std::string KeyframeStagingPath(int slot) {
  if (slot < 0 || slot >= kKeyframeSlotCount) return {};
  const std::string path = KeyframeSlotPath(slot);
  return path.empty() ? path : path + ".opening";
}

bool AdoptStagedKeyframes(const std::array<bool, kKeyframeSlotCount>& staged) {
  for (int slot = 0; slot < kKeyframeSlotCount; ++slot) DeleteKeyframe(slot);
  bool all = true;
  for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
    if (!staged[size_t(slot)]) continue;
    const std::string from = KeyframeStagingPath(slot);
    const std::string to = KeyframeSlotPath(slot);
    if (from.empty() || to.empty() || std::rename(from.c_str(), to.c_str()) != 0) {
      if (!from.empty()) (void)DeleteFile(SpecOfPath(from));
      all = false;
    }
  }
  return all;
}

void DeleteStagedKeyframes() {
  for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
    const std::string path = KeyframeStagingPath(slot);
    if (!path.empty()) (void)DeleteFile(SpecOfPath(path));
  }
}

}  // namespace tsv
