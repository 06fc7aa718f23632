// The convert batch command, run as the real program: an object file out to both DXF variants with
// the scale factor, a DXF file into an object file with its preview, and refusals that say why and
// leave the output as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;

class ConvertBatch : public test::BatchRun {
 protected:
  size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(ConvertBatch, ObjectToDxfAndBack) {
  ASSERT_EQ(Run({"new", "synthetic:cube", dir / "cube.cmf"}), 0) << Err();
  ASSERT_EQ(Run({"convert", dir / "cube.cmf", dir / "poly.dxf"}), 0) << Err();
  const std::string poly = test::ReadFileText(dir / "poly.dxf");
  ASSERT_EQ(poly.rfind("999\nDXF file exported from Quelbrook Tessivar. v1\n0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n", 0), 0u);
  EXPECT_EQ(Out().substr(0, 6), "wrote ");

  ASSERT_EQ(Run({"convert", dir / "cube.cmf", dir / "faces.dxf", "--dxf", "3dface", "--scale-factor", "2"}), 0) << Err();
  const std::string faces = test::ReadFileText(dir / "faces.dxf");
  EXPECT_EQ(Count(faces, "\n3DFACE\n8\ncube\n"), Count(poly, "\n70\n128\n"));
  EXPECT_GT(Count(faces, "\n3DFACE\n"), 0u);

  // Back into an object file, with its preview beside it; the points and triangles the files hold.
  ASSERT_EQ(Run({"convert", dir / "poly.dxf", dir / "again.cmf"}), 0) << Err();
  EXPECT_TRUE(std::filesystem::exists(dir / "again.cif"));
  const size_t points = Count(poly, "\n70\n192\n"), triangles = Count(poly, "\n70\n128\n");
  EXPECT_EQ(Out(), "wrote " + std::to_string(points) + " points, " + std::to_string(triangles) + " triangles\n");
  ASSERT_EQ(Run({"convert", dir / "faces.dxf", dir / "faces.cmf"}), 0) << Err();
  EXPECT_EQ(Out(), "wrote " + std::to_string(3 * triangles) + " points, " + std::to_string(triangles) + " triangles\n");
  ASSERT_EQ(Run({"info", dir / "again.cmf"}), 0) << Err();
}

// A 3D Studio file out and back: the main chunk first, the same points and triangles both ways.
TEST_F(ConvertBatch, ObjectTo3dsAndBack) {
  ASSERT_EQ(Run({"new", "synthetic:cube", dir / "cube.cmf"}), 0) << Err();
  ASSERT_EQ(Run({"convert", dir / "cube.cmf", dir / "cube.3ds"}), 0) << Err();
  const std::string studio = test::ReadFileText(dir / "cube.3ds");
  ASSERT_GE(studio.size(), 6u);
  EXPECT_EQ(studio.substr(0, 2), std::string("\x4D\x4D"));
  const std::string wrote = Out();
  EXPECT_EQ(wrote.substr(0, 6), "wrote ");
  ASSERT_EQ(Run({"convert", dir / "cube.3ds", dir / "back.cmf"}), 0) << Err();
  EXPECT_EQ(Out(), wrote);
  EXPECT_TRUE(std::filesystem::exists(dir / "back.cif"));
}

TEST_F(ConvertBatch, RefusalsSayWhyAndKeepTheOutput) {
  test::WriteFileText(dir / "header.dxf", "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n");
  test::WriteFileText(dir / "keep.cmf", "earlier");
  test::WriteFileText(dir / "keep.dxf", "earlier");
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"convert", dir / "header.dxf", dir / "keep.cmf"}, "Error: Can't import object."},
      {{"convert", dir / "missing.dxf", dir / "keep.cmf"}, "missing.dxf"},
      {{"convert", dir / "header.dxf", dir / "keep.png"}, "must end in .dxf, .3ds, .cmf"},
      {{"convert", dir / "header.dxf", dir / "keep.dxf", "--dxf", "lines"}, "--dxf takes polyline or 3dface"},
      {{"convert", dir / "header.dxf", dir / "keep.dxf", "--scale-factor", "big"}, "--scale-factor takes a number"},
      {{"convert", dir / "header.dxf"}, "usage: tessivar convert"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    EXPECT_EQ(Run(c.args), 1);
    EXPECT_NE(Err().find(c.says), std::string::npos) << Err();
    EXPECT_EQ(test::ReadFileText(dir / "keep.cmf"), "earlier");
    EXPECT_EQ(test::ReadFileText(dir / "keep.dxf"), "earlier");
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "keep.png"));
}

}  // namespace
}  // namespace tsv
