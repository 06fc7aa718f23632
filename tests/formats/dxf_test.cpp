// DXF import and export: the four entity kinds with their flags, fans, grid cells and polyface
// records from small hand-written files; the refusals; the size normalisation and naming; both
// export variants byte for byte; round trips; and writes that fail or are refused keeping the
// target file as it was.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "formats/dxf.h"
#include "formats/formats_state.h"
#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "tests/scene/scene_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

constexpr char kCantImport[] = "Error: Can't import object.";

std::string Face(std::initializer_list<float> corners) {
  static constexpr int kCodes[12] = {10, 20, 30, 11, 21, 31, 12, 22, 32, 13, 23, 33};
  std::string text = "0\n3DFACE\n8\nlayer\n";
  int k = 0;
  for (float v : corners) text += std::to_string(kCodes[k++]) + "\n" + std::to_string(v) + "\n";
  return text;
}

std::string Vertex(float x, float y, float z, int flags = -1) {
  std::string text = "0\nVERTEX\n8\n0\n10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n30\n" +
                     std::to_string(z) + "\n";
  if (flags >= 0) text += "70\n" + std::to_string(flags) + "\n";
  return text;
}

std::string FaceRecord(const std::string& indices) {
  return "0\nVERTEX\n8\n0\n10\n0\n20\n0\n30\n0\n70\n128\n" + indices;
}

std::string Polyface(int points, const std::string& records) {
  std::string text = "0\nPOLYLINE\n8\n0\n66\n1\n70\n64\n";
  for (int i = 0; i < points; ++i) text += Vertex(float(i), float(i * i), 1.0f, 192);
  return text + records + "0\nSEQEND\n";
}

std::string Wrap(const std::string& entities) { return "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n"; }

class Dxf : public test::SceneFixture {
 protected:
  std::unique_ptr<SceneObject> Import(const std::string& text, const std::string& name = "part.dxf") {
    test::WriteFileText(dir / name, text);
    return ImportDxf(FileSpecForPath(dir / name, FourCC("TEXT")));
  }
  std::vector<Triangle> TrianglesOf(const SceneObject& object) {
    return std::vector<Triangle>(Triangles(object).begin(), Triangles(object).end());
  }
  test::TempDir dir;
};

TEST_F(Dxf, EntitiesBecomePointsAndTriangles) {
  struct Case {
    const char* name;
    std::string text;
    int points;
    std::vector<Triangle> triangles;
  };
  std::string grid = "0\nPOLYLINE\n66\n1\n70\n16\n71\n3\n72\n4\n";
  for (int i = 0; i < 12; ++i) grid += Vertex(float(i % 4), float(i / 4), 0) + (i == 5 ? "0\nSTRAY\n" : "");
  const std::string closed = "0\nPOLYLINE\n66\n1\n70\n9\n" + Vertex(0, 0, 0) + Vertex(1, 0, 0) + Vertex(2, 1, 0) +
                             Vertex(1, 2, 0) + Vertex(0, 1, 0) + "0\nSEQEND\n";
  const std::vector<Case> cases = {
      {"four distinct corners: split on the 1-3 diagonal", Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}), 4,
       {{0, 1, 2}, {0, 2, 3}}},
      {"fourth corner repeats the third", Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0}), 3, {{0, 1, 2}}},
      {"closed polyline of five fans into three", closed, 5, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}}},
      {"3 x 4 polygon mesh, a stray line among its vertices", grid, 12,
       {{0, 5, 4}, {0, 1, 5}, {1, 6, 5}, {1, 2, 6}, {2, 7, 6}, {2, 3, 7},
        {4, 9, 8}, {4, 5, 9}, {5, 10, 9}, {5, 6, 10}, {6, 11, 10}, {6, 7, 11}}},
      {"polyface: -3 and 3 are one point, 74 = 73 or 0 adds nothing, another 74 a second triangle",
       Polyface(4, FaceRecord("71\n1\n72\n-2\n73\n-3\n74\n3\n") + FaceRecord("71\n-1\n72\n3\n73\n4\n74\n0\n") +
                       FaceRecord("71\n4\n72\n3\n73\n2\n74\n-1\n")),
       4, {{0, 1, 2}, {0, 2, 3}, {3, 2, 1}, {3, 1, 0}}},
      {"second entity's indices count from its own first point",
       Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0}) + Polyface(3, FaceRecord("71\n1\n72\n2\n73\n3\n")), 6,
       {{0, 1, 2}, {3, 4, 5}}},
      {"right-aligned group codes",
       "  0\n3DFACE\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n0\n 31\n0\n 12\n1\n 22\n1\n 32\n0\n 13\n1\n 23\n1\n 33\n0\n",
       3, {{0, 1, 2}}},
      {"a face out of order is passed over, the next one read",
       "0\n3DFACE\n10\n0\n20\n0\n11\n1\n" + Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0}), 3, {{0, 1, 2}}},
      {"ignored: no 66, other flags, a mesh without 72, short closed polyline",
       "0\nPOLYLINE\n70\n64\n" + Vertex(0, 0, 0, 192) + "0\nPOLYLINE\n66\n1\n70\n65\n" + Vertex(0, 0, 0) +
           "0\nPOLYLINE\n66\n1\n70\n16\n71\n2\n" + Vertex(0, 0, 0) + "0\nPOLYLINE\n66\n1\n70\n9\n" + Vertex(0, 0, 0) +
           Vertex(1, 1, 1) + "0\nSEQEND\n" + Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0}),
       3, {{0, 1, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<SceneObject> object = Import(Wrap(c.text));
    ASSERT_TRUE(object) << (Stops().empty() ? "" : Stops().back());
    EXPECT_EQ(object->pointCount, c.points);
    EXPECT_EQ(TrianglesOf(*object), c.triangles);
    EXPECT_TRUE(HasConsistentArrays(*object));
    DisposeSceneObject(object);
  }
  EXPECT_TRUE(Stops().empty());
}

TEST_F(Dxf, AxesSizeNameAndCompletion) {
  // File corners (X, Y, Z) become (X, Z, -Y); the farthest point (3, 4, 12)/13 lands at 256.
  std::unique_ptr<SceneObject> object = Import(Wrap(Face({0, 0, 0, 3, 4, 12, 1, 0, 0, 1, 0, 0})), "Rock Pile.v2.dxf");
  ASSERT_TRUE(object);
  const float f = 256.0f / 13.0f;
  EXPECT_NEAR(object->points[1].x, 3 * f, 1e-3);
  EXPECT_NEAR(object->points[1].y, 12 * f, 1e-3);
  EXPECT_NEAR(object->points[1].z, -4 * f, 1e-3);
  EXPECT_NEAR(object->points[2].x, f, 1e-4);
  EXPECT_NEAR(object->importScale, 13.0f / 256.0f, 1e-7);
  EXPECT_EQ(View(object->name), "Rock Pile.v2");
  EXPECT_EQ(object->isOrganic, 0);
  EXPECT_EQ(PointFirstCorner(*object).size(), 3u);
  EXPECT_NE(PointFirstCorner(*object)[0], kEndOfCornerList);
  DisposeSceneObject(object);

  // Every point at the origin: the size stays finite instead of dividing by zero.
  object = Import(Wrap(Face({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
  ASSERT_TRUE(object);
  for (const Vec3f& p : object->points) EXPECT_EQ(p, Vec3f{});
  EXPECT_NEAR(object->importScale, 0.001f / 256.0f, 1e-9);
  EXPECT_TRUE(std::isfinite(object->importScale) && object->importScale > 0);
  DisposeSceneObject(object);
}

TEST_F(Dxf, BrokenGeometryIsRefusedWithNoObject) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  };
  const std::string mesh = "0\nPOLYLINE\n66\n1\n70\n16\n71\n";
  const std::vector<Case> cases = {
      {"only a HEADER", "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n0\nEOF\n", kCantImport},
      {"empty file", "", kCantImport},
      {"polygon mesh of one row", Wrap(mesh + "1\n72\n4\n" + Vertex(0, 0, 0)), kCantImport},
      {"mesh vertex without coordinates",
       Wrap(mesh + "2\n72\n2\n" + Vertex(0, 0, 0) + "0\nVERTEX\n8\n0\n70\n0\n" + Vertex(1, 1, 1) + Vertex(1, 0, 1)),
       kCantImport},
      {"polyface vertex neither 192 nor 128", Wrap(Polyface(3, "0\nVERTEX\n10\n0\n70\n32\n")), kCantImport},
      {"face record without 73", Wrap(Polyface(3, FaceRecord("71\n1\n72\n2\n"))), kCantImport},
      {"face index 0", Wrap(Polyface(3, FaceRecord("71\n0\n72\n2\n73\n3\n"))), kCantImport},
      {"face index beyond the mesh's points", Wrap(Polyface(3, FaceRecord("71\n1\n72\n2\n73\n4\n"))), kCantImport},
      {"fourth index beyond the mesh's points", Wrap(Polyface(3, FaceRecord("71\n1\n72\n2\n73\n3\n74\n-9\n"))),
       kCantImport},
      {"index reaching into the points of the next entity",
       Wrap(Polyface(1, FaceRecord("71\n1\n72\n2\n73\n3\n")) + Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0})),
       kCantImport},
      {"a file that ends inside an entity", "0\n3DFACE\n10\n0\n20\n", "Error: File error has occured."},
      {"a line over 255 bytes", Wrap(Face({0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 0})) + "999\n" + std::string(300, 'x'),
       "Error: File error has occured."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    services.shown.clear();
    std::unique_ptr<SceneObject> object = Import(c.text);
    EXPECT_FALSE(object);
    ASSERT_EQ(Stops().size(), 1u);
    EXPECT_EQ(Stops()[0], c.message);
    EXPECT_FALSE(services.progressVisible);
    EXPECT_EQ(ObjectCount(), 0);
  }
}

// A triangle and a lone point, as the export tests write them.
std::unique_ptr<SceneObject> SmallObject(const char* name) {
  std::unique_ptr<SceneObject> object = test::MakeMesh(3, {{0, 1, 2}});
  object->points = {{1, 2, 3}, {0, 0, 0}, {-1.5f, 0.25f, 0}};
  object->name = TextToCountedString(name);
  return object;
}

TEST_F(Dxf, ExportVariantsByteForByte) {
  formatsState.exportScale = 1.0f;
  std::unique_ptr<SceneObject> object = SmallObject("Rock");
  const std::string head = "999\nDXF file exported from Quelbrook Tessivar. v1\n0\n";
  ASSERT_EQ(ExportDxf(object.get(), kDxfPolyline, FileSpecForPath(dir / "p.dxf", FourCC("TEXT"))), kNoError);
  EXPECT_EQ(test::ReadFileText(dir / "p.dxf"),
            head +
                "SECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n64\n71\n3\n72\n1\n0\n"
                "VERTEX\n8\n0\n10\n1.0000000\n20\n-3.0000000\n30\n2.0000000\n70\n192\n0\n"
                "VERTEX\n8\n0\n10\n0.0000000\n20\n0.0000000\n30\n0.0000000\n70\n192\n0\n"
                "VERTEX\n8\n0\n10\n-1.5000000\n20\n0.0000000\n30\n0.2500000\n70\n192\n0\n"
                "VERTEX\n8\n0\n10\n0\n20\n0\n30\n0\n70\n128\n71\n1\n72\n2\n73\n3\n74\n3\n0\n"
                "SEQEND\n8\n0\n0\nENDSEC\n0\nEOF\n");
  ASSERT_EQ(ExportDxf(object.get(), kDxf3dFace, FileSpecForPath(dir / "f.dxf", FourCC("TEXT"))), kNoError);
  EXPECT_EQ(test::ReadFileText(dir / "f.dxf"),
            head +
                "SECTION\n2\nHEADER\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\n"
                "3DFACE\n8\nRock\n62\n1\n10\n1.0000000\n20\n-3.0000000\n30\n2.0000000\n"
                "11\n0.0000000\n21\n0.0000000\n31\n0.0000000\n12\n-1.5000000\n22\n0.0000000\n32\n0.2500000\n"
                "13\n-1.5000000\n23\n0.0000000\n33\n0.2500000\n0\n"
                "ENDSEC\n0\nEOF\n");
  const std::vector<int> progress = services.progressValues;
  EXPECT_FALSE(progress.empty());
  EXPECT_FALSE(services.progressVisible);

  // The layer is one non-empty line whatever the name holds; the default factor is 0.78125.
  formatsState.exportScale = ExportScaleFactor(1.0f);
  EXPECT_EQ(formatsState.exportScale, 0.78125f);
  EXPECT_EQ(ExportScaleFactor(1000.0f), 78.125f);
  EXPECT_FLOAT_EQ(ExportScaleFactor(0.0f), 0.0078125f);
  EXPECT_EQ(ExportScaleFactor(std::nanf("")), 0.78125f);
  for (const auto& [name, layer] : std::vector<std::pair<std::string, std::string>>{{"", "\n0\n"}, {"a\nb\rc", "\na b c\n"}}) {
    object->name = TextToCountedString(name);
    ASSERT_EQ(ExportDxf(object.get(), kDxf3dFace, FileSpecForPath(dir / "n.dxf", FourCC("TEXT"))), kNoError);
    const std::string text = test::ReadFileText(dir / "n.dxf");
    EXPECT_NE(text.find("3DFACE\n8" + layer + "62\n1\n10\n0.7812500\n"), std::string::npos) << text;
    std::unique_ptr<SceneObject> back = Import(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->triangleCount, 1);
    DisposeSceneObject(back);
  }
  DisposeSceneObject(object);
}

TEST_F(Dxf, RoundTripsKeepTheMesh) {
  std::unique_ptr<SceneObject> object =
      test::MakeMesh(5, {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {1, 4, 3}, {1, 3, 2}});
  object->points = {{0, 200, 0}, {-100, 0, 100}, {100, 0, 100}, {100, 0, -100}, {-100, 0, -100}};
  for (uint16_t variant : {kDxfPolyline, kDxf3dFace}) {
    SCOPED_TRACE(variant);
    ASSERT_EQ(ExportDxf(object.get(), variant, FileSpecForPath(dir / "r.dxf", FourCC("TEXT"))), kNoError);
    std::unique_ptr<SceneObject> back = ImportDxf(FileSpecForPath(dir / "r.dxf", FourCC("TEXT")));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->triangleCount, 6);
    ASSERT_EQ(back->pointCount, variant == kDxfPolyline ? 5 : 18);
    EXPECT_NEAR(back->importScale * 256.0f, 200 * 0.78125f, 1e-3);
    for (int32_t t = 0; t < 6; ++t) {
      for (int k = 0; k < 3; ++k) {
        const Vec3f& p = back->points[Triangles(*back)[size_t(t)][size_t(k)]];
        const Vec3f& q = object->points[Triangles(*object)[size_t(t)][size_t(k)]];
        EXPECT_NEAR(p.x, q.x * 256 / 200, 1e-3);
        EXPECT_NEAR(p.y, q.y * 256 / 200, 1e-3);
        EXPECT_NEAR(p.z, q.z * 256 / 200, 1e-3);
      }
    }
    DisposeSceneObject(back);
  }
  DisposeSceneObject(object);
}

TEST_F(Dxf, FailedOrRefusedExportsKeepTheTarget) {
  std::unique_ptr<SceneObject> object = test::MakeMesh(3, {{0, 1, 2}});
  const std::string target = dir / "keep.dxf";
  const std::string before = "the user's earlier file\n";
  test::WriteFileText(target, before);
  const FileSpec spec = FileSpecForPath(target, FourCC("TEXT"));
  EXPECT_EQ(ExportDxf(object.get(), 2, spec), kWriteError);
  EXPECT_EQ(ExportDxf(nullptr, kDxfPolyline, spec), kWriteError);
  EXPECT_EQ(test::ReadFileText(target), before);

  // The disk fills up part-way through a large file.
  std::unique_ptr<SceneObject> big = test::MakeMesh(3, std::vector<Triangle>(60000, Triangle{0, 1, 2}));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previousHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status status = ExportDxf(big.get(), kDxf3dFace, spec);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(status, kWriteError);
  EXPECT_EQ(test::ReadFileText(target), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1);
  DisposeSceneObject(big);
  DisposeSceneObject(object);
}

}  // namespace
}  // namespace tsv
