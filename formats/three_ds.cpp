// three_ds.cpp: 3D Studio import and export over the chunk table shared by both directions.
//
// The import walks the chunk tree twice over the file's bytes: once to count and check everything
// (so the object is allocated once, at its final size, and nothing half-filled is ever handed
// out), once to fill the object. Both walks run the same handlers; only the second stores.
#include "formats/three_ds.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "platform/files.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_table.h"
#include "scene/safe_save.h"

namespace tsv {

using H = ThreeDsHandler;

const std::array<ThreeDsChunk, kThreeDsChunkCount> kThreeDsChunks = {{
    {0x0002, "Version", H::None, false},
    {0x0010, "RGB float", H::Discard, false},
    {0x0011, "RGB byte", H::Discard, false},
    {0x0100, "Master scale factor", H::None, false},
    {0x4D4D, "Main", H::None, true},
    {0x3D3D, "Object Mesh", H::None, true},
    {0x3D3E, "Mesh version", H::None, false},
    {0x1200, "Background color", H::None, false},
    {0x2100, "Ambient color", H::None, false},
    {0x4000, "Object Block", H::Discard, true},
    {0x4100, "Tri-Mesh", H::None, true},
    {0x4110, "Vertex list", H::Vertices, false},
    {0x4120, "Face list", H::Faces, false},
    {0x4130, "Face material", H::None, false},
    {0x4140, "Mappings list", H::None, false},
    {0x4150, "Smoothings", H::None, false},
    {0x4160, "Matrix", H::None, false},
    {0x4600, "Light", H::None, false},
    {0x4610, "Spotlight", H::None, false},
    {0x4700, "Camera", H::None, false},
    {0xAFFF, "Material", H::None, true},
    {0xA000, "Material name", H::Discard, false},
    {0xA010, "Ambient color", H::None, true},
    {0xA020, "Diffuse color", H::None, true},
    {0xA030, "Specular color", H::None, true},
    {0xA200, "Texture map", H::None, false},
    {0xA230, "Bump map", H::None, false},
    {0xA300, "Map filename", H::None, false},
    {0xB000, "Keyframer data", H::None, true},
    {0xB002, "Object node", H::None, true},
    {0xB008, "Frames", H::None, false},
    {0xB009, "Current frame", H::None, false},
    {0xB00A, "Frames header", H::None, false},
    {0xB002, "Object description", H::None, false},  // shadowed by "Object node"
    {0xB030, "Node ID", H::None, false},
    {0xB010, "Object name & hierarchy", H::Node, false},
    {0xB013, "Object pivot point", H::None, false},
    {0xB020, "Position track", H::Discard, false},
    {0xB021, "Rotation track", H::Discard, false},
    {0xB022, "Scale track", H::Discard, false},
}};

const ThreeDsChunk* FindThreeDsChunk(uint16_t id) {
  for (const ThreeDsChunk& chunk : kThreeDsChunks) {
    if (chunk.id == id) return &chunk;
  }
  return nullptr;
}

namespace {

constexpr size_t kChunkHeaderSize = 6;
constexpr int kProgressTop = -1;

uint16_t U16At(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32At(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
float F32At(const uint8_t* p) { return std::bit_cast<float>(U32At(p)); }

// Where one mesh's points and triangles went, in file order.
struct MeshRange {
  uint32_t firstPoint = 0;
  uint32_t pointCount = 0;
  uint32_t firstTriangle = 0;
  uint32_t triangleCount = 0;
};

struct KeyframerNode {
  std::string_view name;
  uint16_t parent = kThreeDsNoParent;
};

// One walk over the file. `object` is null while counting.
struct ImportWalk {
  std::span<const uint8_t> bytes;
  SceneObject* object = nullptr;
  Vec3f* points = nullptr;
  Triangle* triangles = nullptr;
  bool failed = false;
  bool faceListWithoutVertices = false;
  bool sawKeyframer = false;
  bool brokenNode = false;  // a node chunk too short for its parent word
  int64_t pointCount = 0;
  int64_t triangleCount = 0;
  int64_t totalTriangles = 0;  // from the counting walk, for the progress bar
  int64_t vertexBase = -1;     // first point of the mesh whose faces may follow; -1: none
  uint32_t vertexBaseCount = 0;
  std::vector<MeshRange> meshes;
  std::vector<KeyframerNode> nodes;
};

bool Fail(ImportWalk& walk) {
  walk.failed = true;
  return false;
}

// The end of the zero-terminated name starting at `from`, or npos when the chunk holds no 0 byte.
size_t NameEnd(const ImportWalk& walk, size_t from, size_t end) {
  const uint8_t* begin = walk.bytes.data() + from;
  const void* zero = std::memchr(begin, 0, end - from);
  return zero ? size_t(static_cast<const uint8_t*>(zero) - walk.bytes.data()) : std::string_view::npos;
}

bool ReadVertices(ImportWalk& walk, size_t data, size_t end) {
  if (end - data < 2) return Fail(walk);
  const uint8_t* p = walk.bytes.data() + data;
  const uint32_t n = U16At(p);
  if (uint64_t(n) * 12 > end - data - 2) return Fail(walk);
  p += 2;
  walk.vertexBase = walk.pointCount;
  walk.vertexBaseCount = n;
  walk.meshes.push_back(MeshRange{uint32_t(walk.pointCount), n, uint32_t(walk.triangleCount), 0});
  Vec3f* out = walk.points ? walk.points + walk.pointCount : nullptr;
  for (uint32_t i = 0; i < n; ++i, p += 12) {
    const float x = F32At(p), y = F32At(p + 4), z = F32At(p + 8);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return Fail(walk);
    // The file is Z-up: (X, Y, Z) is our (X, Z, -Y).
    if (out) out[i] = Vec3f{x, z, -y};
  }
  walk.pointCount += n;
  return true;
}

bool ReadFaces(ImportWalk& walk, size_t data, size_t end) {
  if (walk.vertexBase < 0) {
    walk.faceListWithoutVertices = true;
    return Fail(walk);
  }
  if (end - data < 2) return Fail(walk);
  const uint8_t* p = walk.bytes.data() + data;
  const uint32_t m = U16At(p);
  if (uint64_t(m) * 8 > end - data - 2) return Fail(walk);
  p += 2;
  MeshRange& mesh = walk.meshes.back();
  mesh.firstTriangle = uint32_t(walk.triangleCount);
  mesh.triangleCount = m;
  const uint32_t base = uint32_t(walk.vertexBase);
  const uint32_t limit = walk.vertexBaseCount;
  Triangle* out = walk.triangles ? walk.triangles + walk.triangleCount : nullptr;
  for (uint32_t i = 0; i < m; ++i, p += 8) {
    const uint32_t a = U16At(p), b = U16At(p + 2), c = U16At(p + 4);  // then a flag word, unused
    // An index beyond its own mesh would reach into another mesh's points, or past them all.
    if (a >= limit || b >= limit || c >= limit) return Fail(walk);
    if (out) {
      out[i] = Triangle{a + base, b + base, c + base};
      const int64_t done = walk.triangleCount + i + 1;
      if ((done & 1023) == 0) AdvanceProgress(int(done * 128 / std::max<int64_t>(walk.totalTriangles, 1)), kProgressTop);
    }
  }
  walk.triangleCount += m;
  walk.vertexBase = -1;
  return true;
}

void ReadNode(ImportWalk& walk, size_t data, size_t end) {
  const size_t nameEnd = NameEnd(walk, data, end);
  if (nameEnd == std::string_view::npos || end - nameEnd - 1 < 6) {
    // Keyframer data never costs the geometry: the hierarchy is dropped instead.
    walk.brokenNode = true;
    return;
  }
  const uint8_t* p = walk.bytes.data() + nameEnd + 1;
  KeyframerNode node;
  node.name = std::string_view(reinterpret_cast<const char*>(walk.bytes.data() + data), nameEnd - data);
  node.parent = U16At(p + 4);  // after two flag words
  walk.nodes.push_back(node);
}

// Walks the chunks from `begin` to `end`, which must be filled by whole chunks exactly.
bool WalkChunks(ImportWalk& walk, size_t begin, size_t end, int depth) {
  if (depth >= kThreeDsMaxDepth) return Fail(walk);
  size_t position = begin;
  while (position != end) {
    if (end - position < kChunkHeaderSize) return Fail(walk);
    const uint8_t* header = walk.bytes.data() + position;
    const uint16_t id = U16At(header);
    const uint32_t length = U32At(header + 2);
    // A length under the header would never advance; one past the parent would leave it.
    if (length < kChunkHeaderSize || length > end - position) return Fail(walk);
    const size_t chunkEnd = position + length;
    size_t data = position + kChunkHeaderSize;
    if (const ThreeDsChunk* entry = FindThreeDsChunk(id)) {
      switch (entry->handler) {
        case H::None: break;
        case H::Discard:
          if (entry->descend) {  // a name before the sub-chunks
            const size_t nameEnd = NameEnd(walk, data, chunkEnd);
            if (nameEnd == std::string_view::npos) return Fail(walk);
            data = nameEnd + 1;
          }
          break;
        case H::Vertices:
          if (!ReadVertices(walk, data, chunkEnd)) return false;
          break;
        case H::Faces:
          if (!ReadFaces(walk, data, chunkEnd)) return false;
          break;
        case H::Node: ReadNode(walk, data, chunkEnd); break;
      }
      if (id == kChunkKeyframer) walk.sawKeyframer = true;
      if (entry->descend && !WalkChunks(walk, data, chunkEnd, depth + 1)) return false;
    }
    position = chunkEnd;
  }
  return true;
}

// The hierarchy the nodes describe: one node per mesh, the first a root, each later node a child
// of the first (parent 65535) or of a node on the path to the node before it (so the list is in
// pre-order). Child counts per node; empty when the nodes describe no such tree.
std::vector<uint32_t> HierarchyChildCounts(const ImportWalk& walk) {
  const size_t n = walk.nodes.size();
  if (walk.brokenNode || n == 0 || n != walk.meshes.size() || walk.nodes[0].parent != kThreeDsNoParent) return {};
  std::vector<uint32_t> children(n, 0);
  std::vector<uint32_t> path{0};
  for (uint32_t i = 1; i < n; ++i) {
    uint32_t parent = walk.nodes[i].parent;
    if (parent == kThreeDsNoParent) parent = 0;
    if (parent >= i) return {};
    while (!path.empty() && path.back() != parent) path.pop_back();
    if (path.empty()) return {};
    ++children[parent];
    path.push_back(i);
  }
  return children;
}

void ShowCantImport() { ShowStopMessage(GetString(kErrCantImportObject)); }

std::unique_ptr<SceneObject> ImportBytes(std::span<const uint8_t> bytes) {
  ImportWalk counting;
  counting.bytes = bytes;
  if (!WalkChunks(counting, 0, bytes.size(), 0) || counting.pointCount < 1 || counting.triangleCount < 1 ||
      counting.pointCount > INT32_MAX || counting.triangleCount > INT32_MAX) {
    ShowCantImport();
    return nullptr;
  }

  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(counting.pointCount), int32_t(counting.triangleCount));
  if (!object) return nullptr;
  Topology* topology = MutableTopology(*object);
  if (!topology || topology->triangles.size() != size_t(counting.triangleCount)) return nullptr;
  ImportWalk reading;
  reading.bytes = bytes;
  reading.object = object.get();
  reading.points = object->points.data();
  reading.triangles = topology->triangles.data();
  reading.totalTriangles = counting.triangleCount;
  reading.meshes.reserve(counting.meshes.size());
  reading.nodes.reserve(counting.nodes.size());
  if (!WalkChunks(reading, 0, bytes.size(), 0) || reading.pointCount != counting.pointCount ||
      reading.triangleCount != counting.triangleCount) {
    ShowCantImport();
    return nullptr;
  }

  const std::vector<uint32_t> children = HierarchyChildCounts(reading);
  if (!children.empty()) {
    const Rgb16& colour = object->optics.diffuseColor;
    const uint32_t partColor = (uint32_t(colour.red >> 8) << 16) | (uint32_t(colour.green >> 8) << 8) | uint32_t(colour.blue >> 8);
    object->hierarchy.resize(reading.nodes.size());
    for (size_t k = 0; k < reading.nodes.size(); ++k) {
      HierarchyNode& node = object->hierarchy[k];
      node.role = kHierarchyCompact;
      node.object = nullptr;
      node.partName = TextToCountedString(reading.nodes[k].name);
      node.partFirstPoint = reading.meshes[k].firstPoint;
      node.partFirstTriangle = reading.meshes[k].firstTriangle;
      node.partTriangleCount = reading.meshes[k].triangleCount;
      node.partPointCount = reading.meshes[k].pointCount;
      node.childCount = children[k];
      node.partColor = partColor;
    }
  } else if (reading.sawKeyframer || !reading.nodes.empty() || reading.brokenNode) {
    ShowAlert(GetString(kWarnInvalidHierarchy));
  }

  if (!CompleteImportedObject(object.get())) return nullptr;
  // Every importer hands over objects of radius 128; importScale remembers the file's size.
  // In double: coordinates near the float limit would square to infinity.
  double squared = 0.0;
  for (const Vec3f& p : object->points) {
    squared = std::max(squared, double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
  }
  const double radius = std::max(std::sqrt(squared), 0.001);
  const double factor = 128.0 / radius;
  for (Vec3f& p : object->points) p = Vec3f{float(p.x * factor), float(p.y * factor), float(p.z * factor)};
  object->importScale = float(radius / 128.0);
  return object;
}

}  // namespace

std::unique_ptr<SceneObject> Import3dsBytes(std::span<const uint8_t> bytes) {
  ShowProgress(GetString(kProgressImporting3ds), kProgressTop);
  std::unique_ptr<SceneObject> object;
  try {
    object = ImportBytes(bytes);
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    object = nullptr;
  }
  HideProgress();
  return object;
}

std::unique_ptr<SceneObject> Import3ds(const FileSpec& file) {
  FileSpec spec = file;
  FileRef ref;
  if (OpenFile(spec, FileMode::Read, ref) != kNoError) {
    ShowStopMessage(GetString(kErrFileError));
    return nullptr;
  }
  int64_t size = 0;
  if (GetFileSize(ref, size) != kNoError) return nullptr;  // shown, and the file closed
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    CloseFileQuietly(ref);
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return nullptr;
  }
  if (ReadBytes(ref, bytes.data(), bytes.size()) != kNoError) {
    CloseFileQuietly(ref);
    ShowStopMessage(GetString(kErrFileError));
    return nullptr;
  }
  CloseFileQuietly(ref);
  return Import3dsBytes(bytes);
}

// ---------------------------------------------------------------------------------------------
// Export

namespace {

struct ExportNode {
  const CountedString* name = nullptr;
  uint32_t firstPoint = 0;
  uint32_t pointCount = 0;
  uint32_t firstTriangle = 0;
  uint32_t triangleCount = 0;
  uint16_t parent = kThreeDsNoParent;
};

struct ChunkWriter {
  std::vector<uint8_t>& out;
  void U16(uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(uint16_t(v));
    U16(uint16_t(v >> 16));
  }
  void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
  void Name(const CountedString& name) {
    out.insert(out.end(), name.text, name.text + name.length);
    out.push_back(0);
  }
  void Zeros(size_t n) { out.insert(out.end(), n, 0); }
  // The id and a length to be filled in by End.
  size_t Begin(uint16_t id) {
    const size_t position = out.size();
    U16(id);
    U32(0);
    return position;
  }
  void End(size_t position) {
    const uint32_t length = uint32_t(out.size() - position);
    for (int i = 0; i < 4; ++i) out[position + 2 + size_t(i)] = uint8_t(length >> (8 * i));
  }
};

// The parts of the hierarchy as export nodes, or empty when the hierarchy does not fit the object:
// a range outside the arrays, a triangle naming a point outside its part (its 16-bit index would
// be wrong), or triangles that belong to no part or to two (they would be lost or doubled).
std::vector<ExportNode> HierarchyNodes(const SceneObject& object) {
  const std::vector<HierarchyNode>& hierarchy = object.hierarchy;
  const std::span<const Triangle> triangles = Triangles(object);
  std::vector<ExportNode> nodes;
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const HierarchyNode& h : hierarchy) {
    const uint64_t pointEnd = uint64_t(h.partFirstPoint) + h.partPointCount;
    const uint64_t triangleEnd = uint64_t(h.partFirstTriangle) + h.partTriangleCount;
    if (pointEnd > uint64_t(object.pointCount) || triangleEnd > triangles.size()) return {};
    for (uint64_t t = h.partFirstTriangle; t < triangleEnd; ++t) {
      for (const uint32_t corner : triangles[t]) {
        if (corner < h.partFirstPoint || corner >= pointEnd) return {};
      }
    }
    spans.emplace_back(h.partFirstTriangle, triangleEnd);
    nodes.push_back(ExportNode{&h.partName, h.partFirstPoint, h.partPointCount, h.partFirstTriangle, h.partTriangleCount});
  }
  std::sort(spans.begin(), spans.end());
  uint64_t covered = 0;
  for (const auto& [begin, end] : spans) {
    if (begin != covered) return {};
    covered = end;
  }
  if (covered != triangles.size()) return {};
  // Parents from the child counts of the pre-order list; a node the counts leave without a parent
  // is written as another root.
  struct Open {
    uint16_t index;
    uint32_t remaining;
  };
  std::vector<Open> path;
  for (size_t k = 0; k < hierarchy.size(); ++k) {
    while (!path.empty() && path.back().remaining == 0) path.pop_back();
    if (k > 0 && !path.empty()) {
      nodes[k].parent = path.back().index;
      --path.back().remaining;
    }
    path.push_back(Open{uint16_t(k), hierarchy[k].childCount});
  }
  return nodes;
}

void WriteTrackHeader(ChunkWriter& w) {
  w.U16(0);    // flags
  w.Zeros(8);
  w.U32(1);    // one key
  w.U32(0);    // at frame 0
  w.U16(0);    // key flags
}

}  // namespace

Status Encode3ds(const SceneObject& object, std::vector<uint8_t>& bytes) {
  if (object.pointCount > kThreeDsMaxCount) {
    ShowAlert(GetString(kErrTooManyPoints3ds));
    return kMalformed;
  }
  if (object.triangleCount > kThreeDsMaxCount) {
    ShowAlert(GetString(kErrTooManyFaces3ds));
    return kMalformed;
  }
  const std::span<const Triangle> triangles = Triangles(object);
  if (object.points.size() != size_t(object.pointCount) || triangles.size() != size_t(object.triangleCount)) {
    return kMalformed;
  }
  std::vector<ExportNode> nodes = HierarchyNodes(object);
  if (nodes.empty()) {
    nodes.push_back(ExportNode{&object.name, 0, uint32_t(object.pointCount), 0, uint32_t(object.triangleCount)});
  }

  bytes.clear();
  bytes.reserve(size_t(object.pointCount) * 12 + triangles.size() * 8 + nodes.size() * 400 + 256);
  ChunkWriter w{bytes};
  const size_t main = w.Begin(kChunkMain);
  {
    const size_t c = w.Begin(kChunkVersion);
    w.U32(3);
    w.End(c);
  }
  const size_t mesh = w.Begin(kChunkObjectMesh);
  {
    const size_t c = w.Begin(kChunkMeshVersion);
    w.U32(3);
    w.End(c);
    const size_t s = w.Begin(kChunkMasterScale);
    w.F32(1.0f);
    w.End(s);
  }
  int64_t written = 0;
  for (const ExportNode& node : nodes) {
    const size_t block = w.Begin(kChunkObjectBlock);
    w.Name(*node.name);
    const size_t triMesh = w.Begin(kChunkTriMesh);
    const size_t vertices = w.Begin(kChunkVertexList);
    w.U16(uint16_t(node.pointCount));
    for (uint32_t i = 0; i < node.pointCount; ++i) {
      const Vec3f& p = object.points[node.firstPoint + i];
      w.F32(p.x);  // we are Y-up, the file Z-up
      w.F32(-p.z);
      w.F32(p.y);
    }
    w.End(vertices);
    const size_t faces = w.Begin(kChunkFaceList);
    w.U16(uint16_t(node.triangleCount));
    for (uint32_t t = 0; t < node.triangleCount; ++t, ++written) {
      const Triangle& tri = triangles[node.firstTriangle + t];
      for (const uint32_t corner : tri) w.U16(uint16_t(corner - node.firstPoint));
      w.U16(7);  // all three edges visible
      if ((written & 127) == 0) AdvanceProgress(int(written * 128 / std::max(object.triangleCount, 1)), kProgressTop);
    }
    w.End(faces);
    w.End(triMesh);
    w.End(block);
  }
  w.End(mesh);

  const size_t keyframer = w.Begin(kChunkKeyframer);
  {
    const size_t header = w.Begin(kChunkFramesHeader);
    w.U16(5);
    static constexpr char kScene[] = "MAXSCENE";
    w.out.insert(w.out.end(), kScene, kScene + sizeof kScene);  // with its 0 byte
    w.U32(1);
    w.End(header);
    const size_t frames = w.Begin(kChunkFrames);
    w.U32(0);
    w.U32(1);
    w.End(frames);
    const size_t current = w.Begin(kChunkCurrentFrame);
    w.U32(0);
    w.End(current);
  }
  for (size_t k = 0; k < nodes.size(); ++k) {
    const size_t node = w.Begin(kChunkObjectNode);
    size_t c = w.Begin(kChunkNodeId);
    w.U16(uint16_t(k));
    w.End(c);
    c = w.Begin(kChunkNodeName);
    w.Name(*nodes[k].name);
    w.U16(0);
    w.U16(0);
    w.U16(nodes[k].parent);
    w.End(c);
    c = w.Begin(kChunkPivot);
    w.Zeros(12);
    w.End(c);
    c = w.Begin(kChunkPositionTrack);
    WriteTrackHeader(w);
    w.Zeros(12);
    w.End(c);
    c = w.Begin(kChunkRotationTrack);
    WriteTrackHeader(w);
    w.Zeros(16);  // angle and axis
    w.End(c);
    c = w.Begin(kChunkScaleTrack);
    WriteTrackHeader(w);
    w.F32(1.0f);
    w.F32(1.0f);
    w.F32(1.0f);
    w.End(c);
    w.End(node);
  }
  w.End(keyframer);
  w.End(main);
  return kNoError;
}

Status Export3ds(const SceneObject* object, uint32_t /*options*/, const FileSpec& file) {
  if (object == nullptr) return kWriteError;
  std::vector<uint8_t> bytes;
  // Too large: the alert is shown and no file is touched.
  if (object->pointCount > kThreeDsMaxCount || object->triangleCount > kThreeDsMaxCount) {
    (void)Encode3ds(*object, bytes);
    return kWriteError;
  }
  SafeSave save;
  if (!BeginSafeSave(file, save)) return kWriteError;
  ShowProgress(GetString(kProgressExporting3ds), kProgressTop);
  Status status = kNoError;
  try {
    status = Encode3ds(*object, bytes);
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    status = kNoMemory;
  }
  const bool ok = status == kNoError && WriteSafeSave(save, bytes) && CommitSafeSave(save);
  if (!ok && save.active) AbandonSafeSave(save);
  HideProgress();
  return ok ? kNoError : kWriteError;
}

}  // namespace tsv
