// object_file.cpp: writing and reading object files, and the open and save commands.
#include "scene/object_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "platform/byte_order.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/file_bytes.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/preview_file.h"
#include "scene/safe_save.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

constexpr uint32_t kTagHead = FourCC("HEAD");
constexpr uint32_t kTagSnap = FourCC("SNAP");
constexpr uint32_t kTagOptics = FourCC("OPTC");
constexpr uint32_t kTagView = FourCC("VIEW");
constexpr uint32_t kTagPlacement = FourCC("PSTN");
constexpr uint32_t kTagTexture = FourCC("TEXT");
constexpr uint32_t kTagImportScale = FourCC("ISCL");
constexpr uint32_t kTagPoints = FourCC("VERT");
constexpr uint32_t kTagColors = FourCC("COLV");
constexpr uint32_t kTagMask = FourCC("MASK");
constexpr uint32_t kTagUV = FourCC("TEXV");
constexpr uint32_t kTagTriangles = FourCC("TRIP");
constexpr uint32_t kTagHierarchy = FourCC("HCHY");
constexpr uint32_t kTagParameters = FourCC("PARM");  // inside a keyframe chunk
constexpr uint32_t kTagEnd = FourCC("END ");
constexpr uint32_t kTagOldEnd = FourCC("CMFE");

constexpr uint16_t kFastSyntheticBit = 0x8000;

// "KFR0".."KFR7": the first three letters, and the slot's digit in the last byte.
constexpr uint32_t kKeyframeTagStem = FourCC("KFR0") & 0xFFFFFF00u;
constexpr uint32_t kParameterChunkLength = 126;

// Slot 0..7 of a keyframe chunk's tag; -1 for any other tag.
int KeyframeSlotOfTag(uint32_t tag) {
  if ((tag & 0xFFFFFF00u) != kKeyframeTagStem) return -1;
  const int digit = int(tag & 0xFF) - '0';
  return digit >= 0 && digit < kKeyframeSlotCount ? digit : -1;
}
constexpr uint32_t KeyframeTag(int slot) { return kKeyframeTagStem | uint32_t('0' + slot); }

// The four nested chunks with their headers: 12 + 8 + 3 bytes a point, 4 x 8 header bytes and
// the 126 of "PARM".
constexpr int64_t KeyframeChunkLength(int64_t pointCount) { return 23 * pointCount + 32 + kParameterChunkLength; }
static_assert(KeyframeChunkLength(0) == 158);

// Arrays move through the file in blocks of this many elements, so a big mesh never needs a
// second copy of itself in memory.
constexpr size_t kArrayBlock = 16384;

// ---------------------------------------------------------------------------------------------
// Writing

void WriteCounted(FileWriter& w, const CountedString& s) {
  w.U8(s.length);
  w.Bytes(s.text, s.length);
  w.Zeros(size_t(kCountedStringMax) - s.length);
}

void WriteChunkHeader(FileWriter& w, uint32_t tag, uint32_t length) {
  w.U32(tag);
  w.U32(length);
}

template <class Array, class Encode>
void WriteArray(FileWriter& w, const Array& values, size_t bytesPerElement, Encode encode) {
  std::vector<uint8_t> block(std::min(values.size(), kArrayBlock) * bytesPerElement);
  for (size_t start = 0; start < values.size() && !w.failed; start += kArrayBlock) {
    const size_t n = std::min(kArrayBlock, values.size() - start);
    for (size_t i = 0; i < n; ++i) encode(values[start + i], block.data() + i * bytesPerElement);
    w.Bytes(block.data(), n * bytesPerElement);
  }
}

void WriteHead(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagHead, kHeadChunkLength);
  w.U32(o.signature);
  w.U32(o.version);
  w.U32(uint32_t(o.pointCount));
  w.U32(uint32_t(o.triangleCount));
  WriteCounted(w, o.name);
  w.Bytes(o.description.data(), kDescriptionSize);
  w.U16(uint16_t((o.isFastSynthetic != 0 ? kFastSyntheticBit : 0) | (o.isOrganic & 0x7FFF)));
  w.U16(o.ghostState);
}

void WriteSnap(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagSnap, kSnapChunkLength);
  for (int32_t entry : o.snapPoints) w.U32(uint32_t(entry));
}

void WriteOptics(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagOptics, kOpticsChunkLength);
  for (uint16_t word : OpticsWords(o.optics)) w.U16(word);
}

// The free view, with the horizontal centre first (the reverse of the record's order).
void WriteView(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagView, kViewChunkLength);
  const ObjectView& view = o.views[kFreeView];
  w.U16(o.currentView);
  w.U16(view.centerX);
  w.U16(view.centerY);
  w.F32(view.zoom);
  w.U16(view.mode);
  for (float a : view.angles) w.F32(a);
  for (float a : view.offset) w.F32(a);
}

void WritePlacement(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagPlacement, kPlacementChunkLength);
  w.F32(o.scale);
  for (float v : {o.position.x, o.position.y, o.position.z}) w.F32(v);
  for (float v : {o.rotation.x, o.rotation.y, o.rotation.z}) w.F32(v);
}

void WriteTexture(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagTexture, kTextureChunkLength);
  w.U16(o.textureFile.volumeRef);
  w.U32(o.textureFile.directoryId);
  WriteCounted(w, o.textureFile.name);
  w.U16(o.textureKind);
  w.U16(o.textureOffset[0]);
  w.U16(o.textureOffset[1]);
  w.U16(o.textureUsesAlpha);
  w.U16(o.textureBump);
  w.F32(o.textureZoom);
  for (uint16_t p : o.textureParams) w.U16(p);
}

void WriteImportScale(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagImportScale, kImportScaleChunkLength);
  w.F32(o.importScale);
}

// The reader refuses coordinates that are not numbers: a point a long run of tools has driven to
// infinity (or made NaN) is stored at the end of the float range (NaN at 0), so that every file
// the program writes opens again.
float StorableCoordinate(float value) {
  if (std::isnan(value)) return 0.0f;
  return std::clamp(value, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
}

void EncodePoint(const Vec3f& p, uint8_t* out) {
  StoreF32BE(out, StorableCoordinate(p.x));
  StoreF32BE(out + 4, StorableCoordinate(p.y));
  StoreF32BE(out + 8, StorableCoordinate(p.z));
}
void EncodeUV(const Uv& uv, uint8_t* out) {
  StoreF32BE(out, uv.u);
  StoreF32BE(out + 4, uv.v);
}
void EncodeColor(const Rgb8& c, uint8_t* out) {
  out[0] = c.red;
  out[1] = c.green;
  out[2] = c.blue;
}

void WritePoints(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagPoints, uint32_t(12 * o.points.size()));
  WriteArray(w, o.points, 12, EncodePoint);
}

void WriteColors(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagColors, uint32_t(3 * o.pointColors.size()));
  WriteArray(w, o.pointColors, 3, EncodeColor);
}

void WriteMask(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagMask, uint32_t(o.pointMask.size()));
  w.Bytes(o.pointMask.data(), o.pointMask.size());
}

void WriteUV(FileWriter& w, const SceneObject& o) {
  WriteChunkHeader(w, kTagUV, uint32_t(8 * o.pointUV.size()));
  WriteArray(w, o.pointUV, 8, EncodeUV);
}

void WriteTriangles(FileWriter& w, const SceneObject& o) {
  const std::span<const Triangle> triangles = Triangles(o);
  WriteChunkHeader(w, kTagTriangles, uint32_t(12 * triangles.size()));
  WriteArray(w, triangles, 12, [](const Triangle& t, uint8_t* out) {
    StoreU32BE(out, t[0]);
    StoreU32BE(out + 4, t[1]);
    StoreU32BE(out + 8, t[2]);
  });
}

// Entry: its length (276), the part name, then first point, first triangle, point count,
// triangle count and child count; the part colour is not kept.
void WriteHierarchy(FileWriter& w, const SceneObject& o) {
  const uint32_t n = uint32_t(o.hierarchy.size());
  WriteChunkHeader(w, kTagHierarchy, 4 + (kHierarchyEntryLength + 4) * n);
  w.U32(n);
  for (const HierarchyNode& node : o.hierarchy) {
    w.U32(kHierarchyEntryLength);
    WriteCounted(w, node.partName);
    w.U32(node.partFirstPoint);
    w.U32(node.partFirstTriangle);
    w.U32(node.partPointCount);
    w.U32(node.partTriangleCount);
    w.U32(node.childCount);
  }
}

bool WritesHierarchy(const SceneObject& o) {
  return !o.hierarchy.empty() && o.hierarchy[0].role == kHierarchyCompact;
}

// "PARM": what a keyframe changes besides the shape. The object's placement, optics and texture
// settings, and the scene's light angles, fog and smoke settings and fog colour at the keyframe.
struct KeyframeParameters {
  float scale = 1.0f;
  Vec3f position;
  Vec3f rotation;
  OpticsWordArray optics{};
  uint16_t textureBump = 0;
  float textureZoom = 1.0f;
  std::array<uint16_t, kTextureParamCount> textureParams{};
  std::array<float, 3> lightAngles{};
  std::array<float, 7> fogSmoke{};  // in the project record's order
  Rgb16 fogColor;
};

KeyframeParameters ParametersOf(const SceneObject& record, const ProjectRecord& sceneRecord) {
  KeyframeParameters k;
  k.scale = record.scale;
  k.position = record.position;
  k.rotation = record.rotation;
  k.optics = OpticsWords(record.optics);
  k.textureBump = record.textureBump;
  k.textureZoom = record.textureZoom;
  k.textureParams = record.textureParams;
  k.lightAngles = sceneRecord.lightAngles;
  const FogSmokeSettings& f = sceneRecord.fogSmoke;
  k.fogSmoke = {f.fogStrength, f.smokeDensity, f.fogFalloff, f.fogStart, f.smokeStrength, f.smokeContrast,
                f.smokeRandomSeed};
  k.fogColor = sceneRecord.fogColor;
  return k;
}

void ApplyParameters(const KeyframeParameters& k, SceneObject& record, ProjectRecord& sceneRecord) {
  record.scale = k.scale;
  record.position = k.position;
  record.rotation = k.rotation;
  record.optics = OpticsFromWords(k.optics);
  record.textureBump = k.textureBump;
  record.textureZoom = k.textureZoom;
  record.textureParams = k.textureParams;
  sceneRecord.lightAngles = k.lightAngles;
  const auto& f = k.fogSmoke;
  sceneRecord.fogSmoke = {f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
  sceneRecord.fogColor = k.fogColor;
}

void EncodeParameters(const KeyframeParameters& k, uint8_t* p) {
  auto f32 = [&p](float v) {
    StoreF32BE(p, v);
    p += 4;
  };
  auto u16 = [&p](uint16_t v) {
    StoreU16BE(p, v);
    p += 2;
  };
  f32(k.scale);
  for (float v : {k.position.x, k.position.y, k.position.z, k.rotation.x, k.rotation.y, k.rotation.z}) f32(v);
  for (uint16_t word : k.optics) u16(word);
  u16(k.textureBump);
  f32(k.textureZoom);
  for (uint16_t v : k.textureParams) u16(v);
  for (float v : k.lightAngles) f32(v);
  for (float v : k.fogSmoke) f32(v);
  for (uint16_t v : {k.fogColor.red, k.fogColor.green, k.fogColor.blue}) u16(v);
}

KeyframeParameters DecodeParameters(const uint8_t* p) {
  auto f32 = [&p] {
    const float v = LoadF32BE(p);
    p += 4;
    return v;
  };
  auto u16 = [&p] {
    const uint16_t v = LoadU16BE(p);
    p += 2;
    return v;
  };
  KeyframeParameters k;
  k.scale = f32();
  for (float* v : {&k.position.x, &k.position.y, &k.position.z, &k.rotation.x, &k.rotation.y, &k.rotation.z}) *v = f32();
  for (uint16_t& word : k.optics) word = u16();
  k.textureBump = u16();
  k.textureZoom = f32();
  for (uint16_t& v : k.textureParams) v = u16();
  for (float& v : k.lightAngles) v = f32();
  for (float& v : k.fogSmoke) v = f32();
  k.fogColor.red = u16();
  k.fogColor.green = u16();
  k.fogColor.blue = u16();
  return k;
}

// "KFRk" from slot k. False, with nothing written, when the slot cannot be read whole or holds a
// shape of other counts than the object's: a chunk is only begun once everything it holds is in
// memory, so its length never lies.
bool WriteKeyframeChunk(FileWriter& w, const SceneObject& o, int slot) {
  std::unique_ptr<KeyframeShape> shape;
  try {
    shape = std::make_unique<KeyframeShape>();
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (ReadKeyframeSlot(slot, *shape) != kNoError || shape->pointCount != uint32_t(o.pointCount) ||
      shape->triangleCount != uint32_t(o.triangleCount)) {
    return false;
  }
  const uint32_t n = uint32_t(o.pointCount);
  WriteChunkHeader(w, KeyframeTag(slot), uint32_t(KeyframeChunkLength(n)));
  WriteChunkHeader(w, kTagPoints, 12 * n);
  WriteArray(w, shape->points, 12, EncodePoint);
  WriteChunkHeader(w, kTagUV, 8 * n);
  WriteArray(w, shape->pointUV, 8, EncodeUV);
  WriteChunkHeader(w, kTagColors, 3 * n);
  WriteArray(w, shape->pointColors, 3, EncodeColor);
  WriteChunkHeader(w, kTagParameters, kParameterChunkLength);
  uint8_t parameters[kParameterChunkLength];
  EncodeParameters(ParametersOf(shape->record, shape->scene), parameters);
  w.Bytes(parameters, sizeof parameters);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Reading

// The fields of a chunk are read in order while the chunk still covers them. A field that the
// chunk covers only in part is not read: reading it would take bytes of the next chunk and lose
// the chunk boundaries. In "HEAD" such a field makes the chunk malformed.
struct FieldCursor {
  FileReader& r;
  int64_t remaining;
  bool strict;  // "HEAD"
  bool stopped = false;
  bool malformed = false;

  bool Take(int64_t size) {
    if (stopped) return false;
    if (remaining < size) {
      if (strict) malformed = true;
      stopped = true;
      return false;
    }
    remaining -= size;
    if (remaining == 0) stopped = true;
    return true;
  }
  // Skips what the fields left over; false on a read failure.
  bool Finish() {
    if (remaining > 0) r.Skip(remaining);
    remaining = 0;
    return !r.failed;
  }
};

CountedString ReadCounted(FileReader& r) {
  uint8_t bytes[256];
  r.Read(bytes, sizeof bytes);
  CountedString s;
  s.length = bytes[0];
  std::memcpy(s.text, bytes + 1, s.length);
  return s;
}

struct HeadFields {
  uint32_t signature;
  uint32_t version;
  int32_t pointCount;
  int32_t triangleCount;
  CountedString name;
  std::array<char, kDescriptionSize> description;
  uint16_t isOrganic;
  uint16_t isFastSynthetic;
  uint16_t ghostState;
};

HeadFields HeadOf(const SceneObject& o) {
  return {o.signature, o.version,   o.pointCount,      o.triangleCount, o.name,
          o.description, o.isOrganic, o.isFastSynthetic, o.ghostState};
}

Status ReadHead(FileReader& r, int64_t length, HeadFields& h) {
  FieldCursor c{r, length, true};
  if (c.Take(4)) h.signature = r.U32();
  if (c.Take(4)) h.version = r.U32();
  if (c.Take(4)) h.pointCount = int32_t(r.U32());
  if (c.Take(4)) h.triangleCount = int32_t(r.U32());
  if (c.Take(256)) h.name = ReadCounted(r);
  if (c.Take(int64_t(kDescriptionSize))) {
    r.Read(h.description.data(), kDescriptionSize);
    // Everything that shows the description reads to its terminator.
    h.description[kDescriptionSize - 1] = '\0';
  }
  if (c.Take(2)) {
    const uint16_t type = r.U16();
    h.isFastSynthetic = (type & kFastSyntheticBit) != 0 ? 1 : 0;
    h.isOrganic = type & 0x7FFF;
  }
  if (c.Take(2)) h.ghostState = r.U16();
  if (c.malformed) return kMalformed;
  return c.Finish() ? kNoError : r.status;
}

Status ReadSnap(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  for (int32_t& entry : o.snapPoints) {
    if (c.Take(4)) entry = int32_t(r.U32());
  }
  return c.Finish() ? kNoError : r.status;
}

Status ReadOptics(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  OpticsWordArray words = OpticsWords(o.optics);
  for (uint16_t& word : words) {
    if (c.Take(2)) word = r.U16();
  }
  o.optics = OpticsFromWords(words);
  return c.Finish() ? kNoError : r.status;
}

Status ReadView(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  ObjectView& view = o.views[kFreeView];
  if (c.Take(2)) {
    // The index picks one of the seven views; anything else is not taken.
    const uint16_t current = r.U16();
    if (current < kObjectViewCount) o.currentView = current;
  }
  if (c.Take(2)) view.centerX = r.U16();
  if (c.Take(2)) view.centerY = r.U16();
  if (c.Take(4)) view.zoom = r.F32();
  if (c.Take(2)) view.mode = r.U16();
  for (float& a : view.angles) {
    if (c.Take(4)) a = r.F32();
  }
  for (float& a : view.offset) {
    if (c.Take(4)) a = r.F32();
  }
  return c.Finish() ? kNoError : r.status;
}

Status ReadPlacement(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  if (c.Take(4)) o.scale = r.F32();
  for (float* v : {&o.position.x, &o.position.y, &o.position.z, &o.rotation.x, &o.rotation.y, &o.rotation.z}) {
    if (c.Take(4)) *v = r.F32();
  }
  return c.Finish() ? kNoError : r.status;
}

Status ReadTexture(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  if (c.Take(2)) o.textureFile.volumeRef = r.U16();
  if (c.Take(4)) o.textureFile.directoryId = r.U32();
  if (c.Take(256)) {
    o.textureFile.name = ReadCounted(r);
    o.textureFile.typeCount = 1;
    o.textureFile.fileTypes[0] = IsFileSpecSet(o.textureFile) ? FileTypeFromName(PathOfSpec(o.textureFile)) : 0;
  }
  if (c.Take(2)) o.textureKind = r.U16();
  if (c.Take(2)) o.textureOffset[0] = r.U16();
  if (c.Take(2)) o.textureOffset[1] = r.U16();
  if (c.Take(2)) o.textureUsesAlpha = r.U16();
  if (c.Take(2)) o.textureBump = r.U16();
  if (c.Take(4)) o.textureZoom = r.F32();
  for (uint16_t& p : o.textureParams) {
    if (c.Take(2)) p = r.U16();
  }
  return c.Finish() ? kNoError : r.status;
}

Status ReadImportScale(FileReader& r, int64_t length, SceneObject& o) {
  FieldCursor c{r, length, false};
  if (c.Take(4)) o.importScale = r.F32();
  return c.Finish() ? kNoError : r.status;
}

bool IsFinitePoint(const Vec3f& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// An array chunk holds exactly `bytesPerElement` x the element count.
template <class T, class Decode>
Status ReadArray(FileReader& r, int64_t length, std::vector<T>& values, size_t bytesPerElement, Decode decode) {
  if (length != int64_t(values.size() * bytesPerElement)) return kMalformed;
  std::vector<uint8_t> block(std::min(values.size(), kArrayBlock) * bytesPerElement);
  for (size_t start = 0; start < values.size(); start += kArrayBlock) {
    const size_t n = std::min(kArrayBlock, values.size() - start);
    if (!r.Read(block.data(), n * bytesPerElement)) return r.status;
    for (size_t i = 0; i < n; ++i) decode(block.data() + i * bytesPerElement, values[start + i]);
  }
  return kNoError;
}

Status ReadTriangles(FileReader& r, int64_t length, SceneObject& o) {
  if (o.isOrganic != 0) {
    // Organic objects keep the shared topology; a stray triangle list is passed over.
    return r.Skip(length) ? kNoError : r.status;
  }
  if (length != int64_t(o.triangleCount) * 12) return kMalformed;
  // Copied first if the block is shared, so no other object ever sees these triangles.
  Topology* topology = MutableTopology(o);
  if (topology == nullptr) return kMalformed;
  try {
    topology->triangles.resize(size_t(o.triangleCount));
  } catch (const std::bad_alloc&) {
    return kMalformed;
  }
  return ReadArray(r, length, topology->triangles, 12, [](const uint8_t* in, Triangle& t) {
    t = {LoadU32BE(in), LoadU32BE(in + 4), LoadU32BE(in + 8)};
  });
}

// Node count, then the entries; each entry is read by the field rules within its own length and
// must lie inside the chunk. Nodes are added as they are read, so a count the chunk cannot hold
// never turns into a large allocation.
Status ReadHierarchy(FileReader& r, int64_t length, SceneObject& o) {
  if (length < 4) return kMalformed;
  const uint32_t count = r.U32();
  int64_t remaining = length - 4;
  // Every entry starts with its length word, so the chunk bounds the count.
  if (int64_t(count) > remaining / 4) return kMalformed;
  std::vector<HierarchyNode> nodes;
  try {
    nodes.reserve(std::min<size_t>(count, size_t(remaining) / (kHierarchyEntryLength + 4)));
  } catch (const std::bad_alloc&) {
    return kMalformed;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (remaining < 4) return kMalformed;
    const uint32_t entryLength = r.U32();
    remaining -= 4;
    if (int64_t(entryLength) > remaining) return kMalformed;
    remaining -= entryLength;
    HierarchyNode node;  // role 0, no object, identity matrix, colour 0
    FieldCursor c{r, int64_t(entryLength), false};
    if (c.Take(256)) node.partName = ReadCounted(r);
    if (c.Take(4)) node.partFirstPoint = r.U32();
    if (c.Take(4)) node.partFirstTriangle = r.U32();
    if (c.Take(4)) node.partPointCount = r.U32();
    if (c.Take(4)) node.partTriangleCount = r.U32();
    if (c.Take(4)) node.childCount = r.U32();
    if (!c.Finish()) return r.status;
    try {
      nodes.push_back(node);
    } catch (const std::bad_alloc&) {
      return kMalformed;
    }
  }
  if (remaining > 0 && !r.Skip(remaining)) return r.status;
  if (r.failed) return r.status;
  o.hierarchy = std::move(nodes);
  return kNoError;
}

// A hierarchy is usable when its nodes form one tree in pre-order (every child count accounted
// for, nothing left over) and every part's ranges lie within the object's points and triangles.
bool IsValidHierarchy(const SceneObject& o) {
  const auto& nodes = o.hierarchy;
  if (nodes.empty()) return true;
  uint64_t open = 1;  // nodes still expected
  for (const HierarchyNode& node : nodes) {
    if (open == 0) return false;
    open = open - 1 + node.childCount;
    if (uint64_t(node.partFirstPoint) + node.partPointCount > uint64_t(o.pointCount)) return false;
    if (uint64_t(node.partFirstTriangle) + node.partTriangleCount > uint64_t(o.triangleCount)) return false;
  }
  return open == 0;
}

// A keyframe shape as a "KFRk" chunk holds it.
struct KeyframeChunkShape {
  std::vector<Vec3f> points;
  std::vector<Uv> pointUV;
  std::vector<Rgb8> pointColors;
  KeyframeParameters parameters;
};

// A nested chunk's header must name exactly this tag and length.
Status NestedHeader(FileReader& r, uint32_t tag, int64_t length) {
  const uint32_t nestedTag = r.U32();
  const uint32_t nestedLength = r.U32();
  if (r.failed) return r.status;
  return nestedTag == tag && int64_t(nestedLength) == length ? kNoError : kMalformed;
}

// An array of a keyframe chunk: read into `values` when given, else passed over; every decoded
// element must pass `check`.
template <class T, class Decode, class Check>
Status ReadNestedArray(FileReader& r, size_t count, size_t bytesPerElement, std::vector<T>* values, Decode decode,
                       Check check) {
  std::vector<uint8_t> block(std::min(count, kArrayBlock) * bytesPerElement);
  for (size_t start = 0; start < count; start += kArrayBlock) {
    const size_t n = std::min(kArrayBlock, count - start);
    if (!r.Read(block.data(), n * bytesPerElement)) return r.status;
    for (size_t i = 0; i < n; ++i) {
      T element;
      decode(block.data() + i * bytesPerElement, element);
      if (!check(element)) return kMalformed;
      if (values != nullptr) (*values)[start + i] = element;
    }
  }
  return kNoError;
}

// One "KFRk" body: its length and its four nested chunks exactly as they must be, and point
// coordinates that are finite numbers (as in the object's own "VERT"). With `shape` null the
// chunk is only checked; texture coordinates and paint are passed over unread.
Status ReadKeyframeChunk(FileReader& r, int64_t length, int32_t pointCount, KeyframeChunkShape* shape) {
  if (pointCount < 0 || length != KeyframeChunkLength(pointCount)) return kMalformed;
  const size_t n = size_t(pointCount);
  if (shape != nullptr) {
    try {
      shape->points.resize(n);
      shape->pointUV.resize(n);
      shape->pointColors.resize(n);
    } catch (const std::bad_alloc&) {
      return kMalformed;
    }
  }
  auto any = [](const auto&) { return true; };
  Status status = NestedHeader(r, kTagPoints, 12 * int64_t(n));
  if (status == kNoError) {
    status = ReadNestedArray(
        r, n, 12, shape != nullptr ? &shape->points : nullptr,
        [](const uint8_t* in, Vec3f& p) { p = {LoadF32BE(in), LoadF32BE(in + 4), LoadF32BE(in + 8)}; }, IsFinitePoint);
  }
  if (status == kNoError) status = NestedHeader(r, kTagUV, 8 * int64_t(n));
  if (status == kNoError) {
    if (shape != nullptr) {
      status = ReadNestedArray(
          r, n, 8, &shape->pointUV, [](const uint8_t* in, Uv& uv) { uv = {LoadF32BE(in), LoadF32BE(in + 4)}; }, any);
    } else if (!r.Skip(8 * int64_t(n))) {
      status = r.status;
    }
  }
  if (status == kNoError) status = NestedHeader(r, kTagColors, 3 * int64_t(n));
  if (status == kNoError) {
    if (shape != nullptr) {
      status = ReadNestedArray(
          r, n, 3, &shape->pointColors, [](const uint8_t* in, Rgb8& c) { c = {in[0], in[1], in[2]}; }, any);
    } else if (!r.Skip(3 * int64_t(n))) {
      status = r.status;
    }
  }
  if (status == kNoError) status = NestedHeader(r, kTagParameters, kParameterChunkLength);
  if (status != kNoError) return status;
  uint8_t parameters[kParameterChunkLength];
  if (!r.Read(parameters, sizeof parameters)) return r.status;
  if (shape != nullptr) shape->parameters = DecodeParameters(parameters);
  return kNoError;
}

// Writes the keyframe chunks found at `chunkAt` (the offset of each slot's body, -1 for none) to
// their staging files, once the whole object is in: the record copy is the complete record and
// the triangles are the object's final ones, whatever order the chunks came in.
void StageKeyframes(FileReader& r, const SceneObject& o, const std::array<int64_t, kKeyframeSlotCount>& chunkAt,
                    KeyframeStaging& staging, std::vector<std::string>* warnings) {
  if (std::none_of(chunkAt.begin(), chunkAt.end(), [](int64_t at) { return at >= 0; })) return;
  if (scene.keyframeOwner != nullptr && scene.keyframeOwner != &o && !AskMessage(GetString(kAskReplaceKeyframes))) {
    staging.declined = true;
    return;
  }
  bool written = true;
  try {
    const SceneObject base = ObjectRecordFields(o);
    auto sceneRecord = std::make_unique<ProjectRecord>();
    KeyframeChunkShape shape;
    for (int slot = 0; slot < kKeyframeSlotCount && written; ++slot) {
      const int64_t at = chunkAt[size_t(slot)];
      if (at < 0) continue;
      if (!r.Seek(at) || ReadKeyframeChunk(r, KeyframeChunkLength(o.pointCount), o.pointCount, &shape) != kNoError) {
        written = false;
        break;
      }
      SceneObject record = base;
      *sceneRecord = nativeFiles.project;
      ApplyParameters(shape.parameters, record, *sceneRecord);
      written = WriteKeyframeFile(KeyframeStagingPath(slot), shape.points, shape.pointUV, shape.pointColors,
                                  Triangles(o), record, *sceneRecord) == kNoError;
      staging.staged[size_t(slot)] = written;
    }
  } catch (const std::bad_alloc&) {
    written = false;
  }
  if (!written) {
    DeleteStagedKeyframes();
    staging.staged = {};
    if (warnings != nullptr) warnings->push_back(GetString(kErrFileError));
  }
}

// ---------------------------------------------------------------------------------------------
// Opening

// Steps after the chunks are in: the topology, and no picture yet.
bool FinishOpenedObject(SceneObject& o) {
  if (o.isOrganic != 0) {
    if (o.pointCount != kOrganicPointCount || o.triangleCount != kOrganicTriangleCount) return false;
    if (!LoadOrganicTopology()) return false;
    o.topology = scene.organicTopology;
  } else if (!BuildCornerLists(o)) {
    // A triangle naming a point that does not exist.
    return false;
  }
  o.textureDepth = {};
  o.textureImage.clear();
  o.textureError = 0;
  if (!IsFileSpecSet(o.textureFile)) {
    ClearFileSpec(o.textureFile);
    o.textureKind = 0;
  }
  return true;
}

// The texture picture the object file names, through the picture hook; a picture that cannot be
// had is dropped from the object (the hook has told the user).
void LoadTextureOfOpenedObject(SceneObject& o) {
  if (!IsFileSpecSet(o.textureFile) || !nativeFiles.loadTexturePicture || nativeFiles.loadTexturePicture(o)) return;
  o.textureImage.clear();
  ClearFileSpec(o.textureFile);
  o.textureKind = 0;
  o.textureOffset = {};
  o.textureDepth = {};
  o.textureError = 0;
}

std::unique_ptr<SceneObject> LoadObject(FileRef& file, const FileSpec& spec, std::vector<uint32_t>* tagsSeen,
                                        std::vector<std::string>& warnings, KeyframeStaging* keyframes) {
  FileReader r(file);
  if (r.failed) return nullptr;
  // The first chunk must be "HEAD" with the object signature.
  const uint32_t tag = r.U32();
  const uint32_t length = r.U32();
  if (r.failed || tag != kTagHead) return nullptr;
  SceneObject scratchDefaults;
  HeadFields head = HeadOf(scratchDefaults);
  head.pointCount = 0;
  head.triangleCount = 0;
  if (int64_t(length) > r.Remaining() || ReadHead(r, length, head) != kNoError) return nullptr;
  if (head.signature != kObjectSignature) return nullptr;

  // Every point and triangle of a written object takes 12 bytes in its arrays at least; counts
  // that the file cannot hold are damage, and must not turn into a huge allocation.
  if (head.isOrganic == 0 && (head.pointCount < 0 || head.triangleCount < 0 ||
                              (int64_t(head.pointCount) + head.triangleCount) * 12 > r.size)) {
    return nullptr;
  }
  // A failed open leaves no trace: the object goes the way every object goes (so the work arrays
  // shrink back), and the project is not marked changed by it.
  const bool wasModified = scene.projectModified;
  std::unique_ptr<SceneObject> object =
      head.isOrganic != 0 ? NewOrganicSceneObject() : NewSceneObject(head.pointCount, head.triangleCount);
  if (!object) {
    scene.projectModified = wasModified;
    return nullptr;
  }
  if (SetFilePosition(file, 0, SeekFrom::Start) != kNoError || ReadObjectChunks(file, *object, tagsSeen, &warnings, keyframes) != kNoError ||
      (object->fileSpec = spec, !FinishOpenedObject(*object))) {
    DisposeSceneObject(object);
    scene.projectModified = wasModified;
    return nullptr;
  }
  return object;
}

ObjectFileRead ReadObject(const FileSpec& spec, std::vector<uint32_t>* tagsSeen, KeyframeStaging* keyframes) {
  ObjectFileRead read;
  FileSpec opened = spec;
  FileRef file;
  if (Status status = OpenFile(opened, FileMode::Read, file); status != kNoError) {
    read.status = status;
    read.message = GetString(kErrCantOpenObject);
    return read;
  }
  opened.typeCount = 1;
  read.object = LoadObject(file, opened, tagsSeen, read.warnings, keyframes);
  if (!read.object) {
    // Whatever was built went with the null result; the table never saw it.
    read.status = kMalformed;
    read.message = GetString(kErrCantOpenObject);
    read.warnings.clear();
  }
  return read;
}

bool AnyStaged(const KeyframeStaging& staging) {
  return std::any_of(staging.staged.begin(), staging.staged.end(), [](bool staged) { return staged; });
}

FileSpec ObjectDialogSpec(const CountedString& proposedName) {
  FileSpec spec;
  spec.name = proposedName;
  spec.typeCount = 1;
  spec.fileTypes[0] = kObjectFileType;
  return spec;
}

// The text after the last ':' of an internal path.
CountedString LastNameOf(const CountedString& internal) {
  const std::string_view text = View(internal);
  const size_t cut = text.rfind(':');
  return TextToCountedString(cut == std::string_view::npos ? text : text.substr(cut + 1));
}

}  // namespace

std::string TagText(uint32_t tag) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) {
    const char c = char(tag >> (24 - 8 * i));
    text[size_t(i)] = c >= 32 && c < 127 ? c : '?';
  }
  return text;
}

Status WriteObjectFile(FileRef& file, const SceneObject& o) {
  const bool organic = o.isOrganic != 0;
  if (!HasConsistentArrays(o)) {
    ShowStopMessage(GetString(kErrFileError));
    return kWriteError;
  }
  const bool hierarchy = WritesHierarchy(o);
  // The keyframe owner's set slots; a slot file that is not whole, or holds other counts than the
  // object's, is left out rather than written as a chunk that does not fit.
  std::vector<int> keyframeSlots;
  bool keyframeLeftOut = false;
  if (&o == scene.keyframeOwner) {
    for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
      uint32_t pointCount = 0, triangleCount = 0;
      const Status status = ReadKeyframeCounts(slot, pointCount, triangleCount);
      if (status == kFileNotFound) continue;
      if (status == kNoError && pointCount == uint32_t(o.pointCount) && triangleCount == uint32_t(o.triangleCount)) {
        keyframeSlots.push_back(slot);
      } else {
        keyframeLeftOut = true;
      }
    }
  }
  const int total = (organic ? 11 : 12) + (hierarchy ? 1 : 0) + int(keyframeSlots.size());
  ShowProgress(GetString(kProgressSavingObject), -1);
  FileWriter w(file);
  int done = 0;
  auto chunk = [&](auto write) {
    if (w.failed) return;
    write(w, o);
    ++done;
    AdvanceProgress(done * kProgressMax / total, -1);
  };
  chunk(WriteHead);
  chunk(WriteSnap);
  chunk(WriteOptics);
  chunk(WriteView);
  chunk(WritePlacement);
  chunk(WriteTexture);
  chunk(WriteImportScale);
  chunk(WritePoints);
  chunk(WriteColors);
  chunk(WriteMask);
  chunk(WriteUV);
  if (!organic) chunk(WriteTriangles);
  if (hierarchy) chunk(WriteHierarchy);
  for (int slot : keyframeSlots) {
    chunk([&](FileWriter& writer, const SceneObject& object) {
      if (!WriteKeyframeChunk(writer, object, slot)) keyframeLeftOut = true;
    });
  }
  if (!w.failed) WriteChunkHeader(w, kTagEnd, 0);
  (void)w.Flush();  // a failure is kept in w.failed
  HideProgress();
  if (w.failed) return w.status;
  if (keyframeLeftOut) ShowAlert(GetString(kErrFileError));
  return kNoError;
}

Status ReadObjectChunks(FileRef& file, SceneObject& o, std::vector<uint32_t>* tagsSeen,
                        std::vector<std::string>* warnings, KeyframeStaging* keyframes) {
  FileReader r(file);
  if (r.failed) return r.status;
  // Where each slot's keyframe chunk body starts; the last chunk of a slot wins.
  std::array<int64_t, kKeyframeSlotCount> keyframeAt;
  keyframeAt.fill(-1);
  for (;;) {
    const uint32_t tag = r.U32();
    const uint32_t length32 = r.U32();
    if (r.failed) return r.status;
    if (tagsSeen != nullptr) tagsSeen->push_back(tag);
    if (tag == kTagEnd || tag == kTagOldEnd) break;
    const int64_t length = length32;
    // A chunk that runs past the end of the file is a short file, whatever its tag.
    if (length > r.Remaining()) return kReadError;
    Status status = kNoError;
    switch (tag) {
      case kTagHead: {
        HeadFields head = HeadOf(o);
        status = ReadHead(r, length, head);
        if (status != kNoError) break;
        // The arrays were made for the counts the object has; a second opinion cannot be followed.
        if (head.pointCount != o.pointCount || head.triangleCount != o.triangleCount) {
          status = kMalformed;
          break;
        }
        o.signature = head.signature;
        o.version = head.version;
        o.name = head.name;
        o.description = head.description;
        o.isOrganic = head.isOrganic;
        o.isFastSynthetic = head.isFastSynthetic;
        o.ghostState = head.ghostState;
        break;
      }
      case kTagSnap: status = ReadSnap(r, length, o); break;
      case kTagOptics: status = ReadOptics(r, length, o); break;
      case kTagView: status = ReadView(r, length, o); break;
      case kTagPlacement: status = ReadPlacement(r, length, o); break;
      case kTagTexture: status = ReadTexture(r, length, o); break;
      case kTagImportScale: status = ReadImportScale(r, length, o); break;
      case kTagPoints:
        status = ReadArray(r, length, o.points, 12, [](const uint8_t* in, Vec3f& p) {
          p = {LoadF32BE(in), LoadF32BE(in + 4), LoadF32BE(in + 8)};
        });
        // A coordinate that is not a finite number is damage: the views, tools and exchange
        // formats all take positions to be finite numbers.
        if (status == kNoError && !std::all_of(o.points.begin(), o.points.end(), IsFinitePoint)) {
          status = kMalformed;
        }
        break;
      case kTagColors:
        status = ReadArray(r, length, o.pointColors, 3, [](const uint8_t* in, Rgb8& c) {
          c = {in[0], in[1], in[2]};
        });
        break;
      case kTagMask:
        status = ReadArray(r, length, o.pointMask, 1, [](const uint8_t* in, uint8_t& m) { m = in[0]; });
        break;
      case kTagUV:
        status = ReadArray(r, length, o.pointUV, 8, [](const uint8_t* in, Uv& uv) {
          uv = {LoadF32BE(in), LoadF32BE(in + 4)};
        });
        break;
      case kTagTriangles: status = ReadTriangles(r, length, o); break;
      case kTagHierarchy: status = ReadHierarchy(r, length, o); break;
      default:
        if (const int slot = KeyframeSlotOfTag(tag); slot >= 0) {
          // Checked now; staged once the whole object is in.
          keyframeAt[size_t(slot)] = r.position;
          status = ReadKeyframeChunk(r, length, o.pointCount, nullptr);
        } else if (!r.Skip(length)) {
          // Tags of no meaning here are passed over.
          status = r.status;
        }
        break;
    }
    if (status != kNoError) return status;
  }
  if (!IsValidHierarchy(o)) {
    if (warnings != nullptr) warnings->push_back(GetString(kWarnInvalidHierarchy));
    o.hierarchy.clear();
  }
  if (keyframes != nullptr) StageKeyframes(r, o, keyframeAt, *keyframes, warnings);
  return kNoError;
}

ObjectFileRead ReadObjectFileQuietly(const FileSpec& spec, std::vector<uint32_t>* tagsSeen) {
  return ReadObject(spec, tagsSeen, nullptr);
}

std::unique_ptr<SceneObject> ReadObjectFile(const FileSpec& spec, KeyframeChunks keyframes) {
  KeyframeStaging staging;
  ObjectFileRead read = ReadObject(spec, nullptr, keyframes == KeyframeChunks::Take ? &staging : nullptr);
  if (!read.object) {
    // The shapes staged before a later step failed go; the current keyframes were never touched.
    if (AnyStaged(staging)) DeleteStagedKeyframes();
    ShowStopMessage(read.message);
    return nullptr;
  }
  if (AnyStaged(staging)) {
    // The whole object is in: only now do its shapes replace the keyframes of their owner.
    if (!AdoptStagedKeyframes(staging.staged)) read.warnings.push_back(GetString(kErrFileError));
    scene.keyframeOwner = AnyKeyframeSet() ? read.object.get() : nullptr;
  }
  for (const std::string& warning : read.warnings) ShowAlert(warning);
  LoadTextureOfOpenedObject(*read.object);
  return std::move(read.object);
}

std::unique_ptr<SceneObject> OpenObjectFileSearching(const FileSpec& spec, const std::string& searchFolder) {
  FileSpec located = spec;
  FileRef probe;
  if (OpenFile(located, FileMode::Read, probe) == kNoError) {
    CloseFileQuietly(probe);
    return ReadObjectFile(located, KeyframeChunks::Take);
  }
  // Missing: the same name somewhere in the project's folder tree, else the user's choice.
  const CountedString name = LastNameOf(spec.name);
  FileSpec found;
  if (!searchFolder.empty() && name.length > 0 && FindFileInFolderTree(searchFolder, View(name), found)) {
    return ReadObjectFile(found, KeyframeChunks::Take);
  }
  FileSpec chosen = ObjectDialogSpec(name);
  if (AskOpenFile(chosen) != kNoError) return nullptr;
  return ReadObjectFile(chosen, KeyframeChunks::Take);
}

std::unique_ptr<SceneObject> OpenObjectFile(const FileSpec& spec) {
  return OpenObjectFileSearching(spec, ProjectFolderPath());
}

std::unique_ptr<SceneObject> AskAndOpenObject() {
  FileSpec chosen = ObjectDialogSpec(CountedString{});
  if (AskOpenFile(chosen) != kNoError) return nullptr;
  return OpenObjectFile(chosen);
}

bool SaveObjectToFile(SceneObject& object, const FileSpec& target) {
  SafeSave save;
  if (!BeginSafeSave(target, save)) {
    ClearFileSpec(object.fileSpec);
    return false;
  }
  const bool toFile = !save.inPlace;
  if (WriteObjectFile(save.file, object) != kNoError || !CommitSafeSave(save)) {
    AbandonSafeSave(save);
    ClearFileSpec(object.fileSpec);
    return false;
  }
  object.fileSpec = target;
  object.fileSpec.typeCount = 1;
  object.fileSpec.fileTypes[0] = kObjectFileType;
  object.hasUnsavedChanges = 0;
  // The preview is a courtesy for the open dialog: the object is saved whether or not it is
  // written. A device or pipe has no folder of objects beside it to put one in.
  if (toFile) (void)WritePreviewFile(object);
  return true;
}

bool SaveObject(SceneObject& object) {
  if (!IsFileSpecSet(object.fileSpec)) return SaveObjectAs(object);
  return SaveObjectToFile(object, object.fileSpec);
}

bool SaveObjectAs(SceneObject& object) {
  CountedString proposed = object.name;
  (void)AddExtension(proposed, kObjectFileType);  // a type of the table: always known
  FileSpec chosen = ObjectDialogSpec(proposed);
  // An object of a project is saved into the project's Objects folder unless the user goes elsewhere.
  const PreviewPane shown = PreviewPaneForObject(object);
  if (AskSaveFile(chosen, &shown, {}, ProjectObjectsFolderPath()) != kNoError) return false;
  object.name = ObjectNameOfFile(chosen);
  return SaveObjectToFile(object, chosen);
}

CountedString ObjectNameOfFile(const FileSpec& spec) {
  CountedString name = LastNameOf(spec.name);
  RemoveExtension(name, kObjectFileType);
  return name;
}

}  // namespace tsv
