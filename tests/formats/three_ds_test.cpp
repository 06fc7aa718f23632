// 3D Studio import and export: hand-built files for the importer (meshes, hierarchies, damaged
// chunk trees), the exporter's chunk tree walked back, the 65535 limits, round trips of parts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "formats/three_ds.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

constexpr char kCantImport[] = "Error: Can't import object.";
constexpr char kInvalidHierarchy[] = "Invalid object hierarchy, so disabling hierarchy altogether.";

// Little-endian chunks built by hand.
struct Chunk {
  std::vector<uint8_t> data;
  Chunk& U16(uint16_t v) {
    data.push_back(uint8_t(v));
    data.push_back(uint8_t(v >> 8));
    return *this;
  }
  Chunk& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
  Chunk& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
  Chunk& Name(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
    return *this;
  }
  Chunk& Add(const std::vector<uint8_t>& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return *this;
  }
};

std::vector<uint8_t> Wrap(uint16_t id, const Chunk& body) {
  Chunk c;
  c.U16(id).U32(uint32_t(body.data.size() + 6)).Add(body.data);
  return c.data;
}

std::vector<uint8_t> Vertices(const std::vector<Vec3f>& points) {
  Chunk c;
  c.U16(uint16_t(points.size()));
  for (const Vec3f& p : points) c.F32(p.x).F32(p.y).F32(p.z);
  return Wrap(0x4110, c);
}

std::vector<uint8_t> Faces(const std::vector<Triangle>& faces) {
  Chunk c;
  c.U16(uint16_t(faces.size()));
  for (const Triangle& f : faces) c.U16(uint16_t(f[0])).U16(uint16_t(f[1])).U16(uint16_t(f[2])).U16(7);
  return Wrap(0x4120, c);
}

std::vector<uint8_t> Block(const std::string& name, const std::vector<uint8_t>& triMeshBody) {
  return Wrap(0x4000, Chunk().Name(name).Add(Wrap(0x4100, Chunk().Add(triMeshBody))));
}

std::vector<uint8_t> Node(const std::string& name, uint16_t parent) {
  return Wrap(0xB002, Chunk().Add(Wrap(0xB010, Chunk().Name(name).U16(0).U16(0).U16(parent))));
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A main chunk holding the meshes, and the keyframer chunk when `nodes` is not null.
std::vector<uint8_t> File(const std::vector<uint8_t>& meshes, const std::vector<uint8_t>* nodes) {
  Chunk main;
  main.Add(Wrap(0x3D3D, Chunk().Add(meshes)));
  if (nodes) main.Add(Wrap(0xB000, Chunk().Add(*nodes)));
  return Wrap(0x4D4D, main);
}

const std::vector<Vec3f> kQuad = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
const std::vector<Vec3f> kTri = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};

std::vector<uint8_t> TwoMeshes() {
  return Cat({Block("Quad", Cat({Vertices(kQuad), Faces({{0, 1, 2}, {0, 2, 3}})})),
              Block("Tri", Cat({Vertices(kTri), Faces({{0, 1, 2}})}))});
}

class ThreeDs : public test::NativeFilesFixture {
 protected:
  std::unique_ptr<SceneObject> Import(const std::vector<uint8_t>& bytes) {
    const std::string path = Path("in.3ds");
    test::WriteFileBytes(path, bytes);
    return Import3ds(Spec(path, FourCC("STUD")));
  }
  std::vector<std::string> Stops() const { return services.Texts(ShownKind::Stop); }
};

TEST_F(ThreeDs, MeshesFollowOneAnotherWithTheirHierarchy) {
  const std::vector<uint8_t> nodes = Cat({Node("Quad", 65535), Node("Tri", 0)});
  const auto object = Import(File(TwoMeshes(), &nodes));
  ASSERT_TRUE(object);
  EXPECT_TRUE(Stops().empty());
  EXPECT_TRUE(Alerts().empty());
  ASSERT_EQ(object->pointCount, 7);
  ASSERT_EQ(object->triangleCount, 3);
  // The second mesh's face (0, 1, 2) names the points after the first mesh's four.
  EXPECT_EQ(Triangles(*object)[2], (Triangle{4, 5, 6}));
  EXPECT_EQ(Triangles(*object)[1], (Triangle{0, 2, 3}));
  // Z-up to Y-up, then normalised: the farthest point, (2, 2, 0), is 128 from the origin.
  const float radius = std::sqrt(8.0f);
  EXPECT_NEAR(object->importScale * 128.0f, radius, 1e-5f);
  const float k = 128.0f / radius;
  EXPECT_NEAR(object->points[2].x, 2 * k, 1e-3f);
  EXPECT_NEAR(object->points[2].z, -2 * k, 1e-3f);  // file Y is our -Z
  EXPECT_NEAR(object->points[4].y, 1 * k, 1e-3f);   // file Z is our Y
  EXPECT_EQ(object->isOrganic, 0);
  ASSERT_EQ(object->hierarchy.size(), 2u);
  const HierarchyNode& quad = object->hierarchy[0];
  const HierarchyNode& tri = object->hierarchy[1];
  EXPECT_EQ(View(quad.partName), "Quad");
  EXPECT_EQ(View(tri.partName), "Tri");
  EXPECT_EQ(quad.childCount, 1u);
  EXPECT_EQ(tri.childCount, 0u);
  EXPECT_EQ((std::array{quad.partFirstPoint, quad.partPointCount, quad.partFirstTriangle, quad.partTriangleCount}),
            (std::array{0u, 4u, 0u, 2u}));
  EXPECT_EQ((std::array{tri.partFirstPoint, tri.partPointCount, tri.partFirstTriangle, tri.partTriangleCount}),
            (std::array{4u, 3u, 2u, 1u}));
  const Rgb16 c = object->optics.diffuseColor;
  EXPECT_EQ(tri.partColor, (uint32_t(c.red >> 8) << 16) | (uint32_t(c.green >> 8) << 8) | uint32_t(c.blue >> 8));
}

TEST_F(ThreeDs, ChunksOutsideTheTableAndMaterialsArePassedOver) {
  const std::vector<uint8_t> material =
      Wrap(0xAFFF, Chunk().Add(Wrap(0xA000, Chunk().Name("Red"))).Add(Wrap(0xA020, Chunk().Add(Wrap(0x0011, Chunk().U16(0xFF).U16(0))))));
  const std::vector<uint8_t> unknown = Wrap(0x1234, Chunk().U32(0xFFFFFFFF).U32(7));
  const std::vector<uint8_t> meshes = Cat({material, unknown, Block("Quad", Cat({Vertices(kQuad), Faces({{0, 1, 2}})}))});
  const auto object = Import(File(meshes, nullptr));
  ASSERT_TRUE(object);
  EXPECT_EQ(object->pointCount, 4);
  EXPECT_EQ(object->triangleCount, 1);
}

// What becomes of the keyframer nodes: a hierarchy only for one node per mesh in a pre-order tree;
// otherwise the meshes still import, with the alert when there was keyframer data.
TEST_F(ThreeDs, HierarchyKeptOnlyForOneNodePerMeshInPreOrder) {
  struct Case {
    const char* name;
    std::vector<uint8_t> nodes;
    bool keyframer;
    size_t hierarchy;
    bool alert;
  };
  const std::vector<Case> cases = {
      {"no keyframer data", {}, false, 0, false},
      {"two roots: the second a child of the first", Cat({Node("A", 65535), Node("B", 65535)}), true, 2, false},
      {"a dummy root above the meshes", Cat({Node("$$$DUMMY", 65535), Node("A", 0), Node("B", 0)}), true, 0, true},
      {"fewer nodes than meshes", Node("A", 65535), true, 0, true},
      {"first node not a root", Cat({Node("A", 1), Node("B", 65535)}), true, 0, true},
      {"parent after its child", Cat({Node("A", 65535), Node("B", 1)}), true, 0, true},
      {"keyframer section without nodes", {}, true, 0, true},
  };
  for (const Case& c : cases) {
    services.shown.clear();
    const auto object = Import(File(TwoMeshes(), c.keyframer ? &c.nodes : nullptr));
    ASSERT_TRUE(object) << c.name;
    EXPECT_EQ(object->pointCount, 7) << c.name;
    EXPECT_EQ(object->hierarchy.size(), c.hierarchy) << c.name;
    EXPECT_EQ(Alerts(), c.alert ? std::vector<std::string>{kInvalidHierarchy} : std::vector<std::string>{}) << c.name;
    EXPECT_TRUE(Stops().empty()) << c.name;
  }
}

std::vector<uint8_t> Nested(int levels) {
  std::vector<uint8_t> inner = File(Block("Quad", Cat({Vertices(kQuad), Faces({{0, 1, 2}})})), nullptr);
  for (int i = 0; i < levels; ++i) inner = Wrap(0x4D4D, Chunk().Add(inner));
  return inner;
}

TEST_F(ThreeDs, DamagedFilesAreRefusedWithTheMessage) {
  const std::vector<uint8_t> good = File(Block("Quad", Cat({Vertices(kQuad), Faces({{0, 1, 2}})})), nullptr);
  auto withLength = [&](size_t at, uint32_t length) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[at + 2], &length, 4);  // little-endian machine, as the file
    return bytes;
  };
  const size_t objectMesh = 6;
  std::vector<uint8_t> nan = good;
  const float bad = std::nanf("");
  // The first coordinate: Main, Object Mesh, Object Block + "Quad\0", Tri-Mesh, Vertex list, count.
  std::memcpy(&nan[6 + 6 + 6 + 5 + 6 + 6 + 2], &bad, 4);
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty file", {}},
      {"a header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 4)},
      {"a file cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"a zero length", withLength(objectMesh, 0)},
      {"a length under the header", withLength(objectMesh, 5)},
      {"a chunk past its parent", withLength(objectMesh, uint32_t(good.size()))},
      {"nested over 32 levels", Nested(40)},
      {"a vertex count beyond its chunk", File(Block("Q", Cat({Wrap(0x4110, Chunk().U16(9).F32(0).F32(0).F32(0)), Faces({{0, 0, 0}})})), nullptr)},
      {"a face count beyond its chunk", File(Block("Q", Cat({Vertices(kQuad), Wrap(0x4120, Chunk().U16(2).U16(0).U16(1).U16(2).U16(0))})), nullptr)},
      {"a face index beyond its mesh", File(Block("Q", Cat({Vertices(kQuad), Faces({{0, 1, 4}})})), nullptr)},
      {"a face index into the next mesh", File(Cat({Block("Q", Cat({Vertices(kTri), Faces({{0, 1, 3}})})), Block("R", Vertices(kQuad))}), nullptr)},
      {"a face list before any vertex list", File(Block("Q", Cat({Faces({{0, 1, 2}}), Vertices(kQuad)})), nullptr)},
      {"a coordinate that is not a number", nan},
      {"points without faces", File(Block("Q", Vertices(kQuad)), nullptr)},
      {"an object block name without its end", File(Wrap(0x4000, Chunk().U32(0x41414141)), nullptr)},
  };
  EXPECT_TRUE(Import(Nested(20)));  // deep, but within the limit
  for (const auto& [name, bytes] : cases) {
    services.shown.clear();
    EXPECT_FALSE(Import(bytes)) << name;
    EXPECT_EQ(Stops(), std::vector<std::string>{kCantImport}) << name;
  }
}

// Every truncation and many single-byte changes of a valid file: a clean refusal or a whole object.
TEST_F(ThreeDs, CorruptionsNeverGiveABrokenObject) {
  const std::vector<uint8_t> nodes = Cat({Node("Quad", 65535), Node("Tri", 0)});
  const std::vector<uint8_t> good = File(TwoMeshes(), &nodes);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(Import3dsBytes(std::span(good.data(), cut))) << cut;
  }
  for (size_t at = 0; at < good.size(); ++at) {
    for (const uint8_t value : {uint8_t(0), uint8_t(0x7F), uint8_t(0xFF)}) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = value;
      const auto object = Import3dsBytes(bytes);
      if (!object) continue;
      EXPECT_TRUE(HasConsistentArrays(*object)) << at;
      for (const Triangle& t : Triangles(*object))
        for (const uint32_t corner : t) ASSERT_LT(corner, uint32_t(object->pointCount)) << at;
    }
  }
}

// Walks the chunks of [begin, end), which must be filled by whole chunks; returns ids in pre-order.
void WalkWritten(const std::vector<uint8_t>& bytes, size_t begin, size_t end, std::vector<uint16_t>& ids) {
  size_t at = begin;
  while (at < end) {
    ASSERT_LE(at + 6, end);
    const uint16_t id = uint16_t(bytes[at] | bytes[at + 1] << 8);
    uint32_t length = 0;
    std::memcpy(&length, &bytes[at + 2], 4);
    ASSERT_GE(length, 6u);
    ASSERT_LE(at + length, end) << "chunk " << std::hex << id;
    ids.push_back(id);
    size_t data = at + 6;
    if (id == 0x4000) data = size_t(std::find(bytes.begin() + long(data), bytes.end(), 0) - bytes.begin()) + 1;
    if (id == 0x4D4D || id == 0x3D3D || id == 0x4000 || id == 0x4100 || id == 0xB000 || id == 0xB002) {
      WalkWritten(bytes, data, at + length, ids);
    }
    at += length;
  }
  EXPECT_EQ(at, end);
}

TEST_F(ThreeDs, ExportWritesTheChunkTreeWithLengthsReachingTheNextSibling) {
  const auto object = test::MakeMesh(3, {Triangle{0, 1, 2}});
  ASSERT_TRUE(object);
  object->name = TextToCountedString("Thing");
  object->points = {{1, 2, 3}, {0, 0, 0}, {4, 5, 6}};
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Encode3ds(*object, bytes), kNoError);
  std::vector<uint16_t> ids;
  WalkWritten(bytes, 0, bytes.size(), ids);
  const std::vector<uint16_t> expected = {0x4D4D, 0x0002, 0x3D3D, 0x3D3E, 0x0100, 0x4000, 0x4100, 0x4110, 0x4120,
                                          0xB000, 0xB00A, 0xB008, 0xB009, 0xB002, 0xB030, 0xB010, 0xB013, 0xB020,
                                          0xB021, 0xB022};
  EXPECT_EQ(ids, expected);
  // Fixed parts byte for byte: the vertex list's first point (1, 2, 3) as (1, -3, 2), the face
  // with its flag word, the node's name and parent, and the track sizes.
  Chunk vertexStart;
  vertexStart.U16(0x4110).U32(6 + 2 + 36).U16(3).F32(1).F32(-3).F32(2);
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), vertexStart.data.begin(), vertexStart.data.end()), bytes.end());
  Chunk faces;
  faces.U16(0x4120).U32(6 + 2 + 8).U16(1).U16(0).U16(1).U16(2).U16(7);
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), faces.data.begin(), faces.data.end()), bytes.end());
  Chunk node;
  node.U16(0xB010).U32(6 + 6 + 6).Name("Thing").U16(0).U16(0).U16(65535);
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), node.data.begin(), node.data.end()), bytes.end());
  Chunk header;
  header.U16(0xB00A).U32(6 + 2 + 9 + 4).U16(5).Name("MAXSCENE").U32(1);
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), header.data.begin(), header.data.end()), bytes.end());
  Chunk scale;
  scale.U16(0xB022).U32(6 + 32).U16(0).U32(0).U32(0).U32(1).U32(0).U16(0).F32(1).F32(1).F32(1);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - long(scale.data.size()), bytes.end()), scale.data);
}

TEST_F(ThreeDs, HierarchyRoundTripKeepsNamesRangesAndChildCounts) {
  // Root (one triangle), a child with a grandchild, and a second child: four parts.
  std::vector<uint8_t> meshes;
  for (int k = 0; k < 4; ++k) {
    meshes = Cat({meshes, Block("Part" + std::to_string(k), Cat({Vertices(kTri), Faces({{0, 1, 2}, {2, 1, 0}})}))});
  }
  const std::vector<uint8_t> nodes = Cat({Node("Part0", 65535), Node("Part1", 0), Node("Part2", 1), Node("Part3", 0)});
  const auto first = Import(File(meshes, &nodes));
  ASSERT_TRUE(first);
  ASSERT_EQ(first->hierarchy.size(), 4u);
  EXPECT_EQ(first->hierarchy[0].childCount, 2u);
  EXPECT_EQ(first->hierarchy[1].childCount, 1u);

  const std::string path = Path("out.3ds");
  ASSERT_EQ(Export3ds(first.get(), 0, Spec(path, FourCC("STUD"))), kNoError);
  EXPECT_TRUE(HiddenFiles(dir.str()).empty());
  const auto second = Import3ds(Spec(path, FourCC("STUD")));
  ASSERT_TRUE(second);
  EXPECT_TRUE(Alerts().empty());
  ASSERT_EQ(second->hierarchy.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    const HierarchyNode& a = first->hierarchy[k];
    const HierarchyNode& b = second->hierarchy[k];
    EXPECT_EQ(View(a.partName), View(b.partName));
    EXPECT_EQ((std::array{a.partFirstPoint, a.partPointCount, a.partFirstTriangle, a.partTriangleCount, a.childCount}),
              (std::array{b.partFirstPoint, b.partPointCount, b.partFirstTriangle, b.partTriangleCount, b.childCount}));
  }
  for (int32_t i = 0; i < first->triangleCount; ++i) EXPECT_EQ(Triangles(*first)[size_t(i)], Triangles(*second)[size_t(i)]);
  for (int32_t i = 0; i < first->pointCount; ++i) {
    EXPECT_NEAR(first->points[size_t(i)].x, second->points[size_t(i)].x, 1e-3f);
    EXPECT_NEAR(first->points[size_t(i)].y, second->points[size_t(i)].y, 1e-3f);
    EXPECT_NEAR(first->points[size_t(i)].z, second->points[size_t(i)].z, 1e-3f);
  }
}

TEST_F(ThreeDs, HierarchyThatDoesNotFitTheObjectIsWrittenAsOnePart) {
  auto object = test::MakeSquare();
  ASSERT_TRUE(object);
  object->hierarchy.resize(2);
  object->hierarchy[0].partName = TextToCountedString("A");
  object->hierarchy[0].partPointCount = 3;  // triangle 1 names point 3, outside its part
  object->hierarchy[0].partTriangleCount = 2;
  object->hierarchy[0].childCount = 1;
  object->hierarchy[1].partName = TextToCountedString("B");
  object->hierarchy[1].partFirstPoint = 3;
  object->hierarchy[1].partPointCount = 1;
  object->hierarchy[1].partFirstTriangle = 2;
  std::vector<uint8_t> bytes;
  ASSERT_EQ(Encode3ds(*object, bytes), kNoError);
  const auto back = Import3dsBytes(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pointCount, 4);
  EXPECT_EQ(back->triangleCount, 2);
  ASSERT_EQ(back->hierarchy.size(), 1u);
  EXPECT_EQ(View(back->hierarchy[0].partName), "Square");
}

TEST_F(ThreeDs, ExportLimitsAre65535PointsAndFaces) {
  const std::string path = Path("big.3ds");
  test::WriteFileText(path, "previous");
  auto points = NewSceneObject(65535, 1);
  ASSERT_TRUE(points);
  MutableTopology(*points)->triangles[0] = Triangle{0, 1, 65534};
  ASSERT_EQ(Export3ds(points.get(), 0, Spec(path, FourCC("STUD"))), kNoError);
  const std::vector<uint8_t> written = test::ReadFileBytes(path);
  ASSERT_GT(written.size(), 65535u * 12);
  EXPECT_TRUE(Alerts().empty());

  test::WriteFileText(path, "previous");
  const auto tooManyPoints = NewSceneObject(65536, 1);
  ASSERT_TRUE(tooManyPoints);
  EXPECT_EQ(Export3ds(tooManyPoints.get(), 0, Spec(path, FourCC("STUD"))), kWriteError);
  const auto tooManyFaces = NewSceneObject(3, 65536);
  ASSERT_TRUE(tooManyFaces);
  EXPECT_EQ(Export3ds(tooManyFaces.get(), 0, Spec(path, FourCC("STUD"))), kWriteError);
  EXPECT_EQ(Alerts(), (std::vector<std::string>{
                          "Error: Object is too large to be exported to 3dStudio (number of points is over 65535).",
                          "Error: Object is too large to be exported to 3dStudio (number of faces is over 65535)."}));
  EXPECT_EQ(test::ReadFileText(path), "previous");
  EXPECT_TRUE(HiddenFiles(dir.str()).empty());
  EXPECT_EQ(Export3ds(nullptr, 0, Spec(path, FourCC("STUD"))), kWriteError);
}

}  // namespace
}  // namespace tsv
