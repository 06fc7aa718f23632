// The new-shape command: the file holds what the panel makes, the dialog's ranges apply, and bad
// shapes, options and paths fail with the program's texts and leave the table as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mesh/shape_files.h"
#include "platform/file_spec.h"
#include "scene/object_file.h"
#include "scene/scene_state.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

class MeshShapeFiles : public test::MeshFixture {
 protected:
  std::unique_ptr<SceneObject> Read(const std::string& path) {
    return ReadObjectFile(FileSpecForPath(path, kObjectFileType));
  }
  test::TempDir folder;
};

TEST_F(MeshShapeFiles, SyntheticShapeWithOptionsClampedByTheDialog) {
  SceneObject* before = NewObjectInTable(true);
  ASSERT_NE(before, nullptr);
  NewShapeOptions options;
  const std::vector<std::string> args = {"--y", "4", "--x", "1000", "--b", "2"};
  ASSERT_TRUE(ParseNewShapeOptions(args, options));
  const std::string path = folder / "Funnel.cmf";
  ASSERT_EQ(NewShapeFile("synthetic:cone", path, options), kNoError);

  auto cone = Read(path);
  ASSERT_TRUE(cone);
  EXPECT_EQ(cone->pointCount, 512 * (2 - 1 + 4) + 2);
  EXPECT_EQ(cone->triangleCount, 2 * 512 * (2 - 1 + 4));
  EXPECT_EQ(cone->isOrganic, 0);
  EXPECT_EQ(CountedToText(cone->name), "Funnel");
  EXPECT_TRUE(test::ClosedAndOutward(*cone));
  EXPECT_TRUE(std::filesystem::exists(folder / "Funnel.cif")) << "the preview beside it";

  // Only the file remains: the table and the current object are as they were.
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(scene.currentObject, before);
  EXPECT_TRUE(Stops().empty());
}

TEST_F(MeshShapeFiles, OrganicShapeAndDefaults) {
  const std::string organic = folder / "Box.cmf", doughnut = folder / "Ring.cmf";
  ASSERT_EQ(NewShapeFile("organic:cube", organic), kNoError);
  ASSERT_EQ(NewShapeFile("synthetic:doughnut", doughnut), kNoError);
  auto box = Read(organic);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->isOrganic, 1);
  EXPECT_EQ(box->pointCount, 8194);
  auto ring = Read(doughnut);
  ASSERT_TRUE(ring);
  const SyntheticShapeSettings defaults;
  EXPECT_EQ(ring->pointCount, defaults.x * defaults.y);
  EXPECT_EQ(ObjectCount(), 0);
}

TEST_F(MeshShapeFiles, FailuresShowTheirTextAndWriteNothing) {
  struct Case {
    const char* spec;
    NewShapeOptions options;
    std::string text;
  };
  NewShapeOptions sized;
  sized.x = 4;
  const Case cases[] = {
      {"synthetic:pyramid", {},
       "Error: Unknown shape \"synthetic:pyramid\". Use organic: with sphere, tetrahedron, cylinder, cube, "
       "capped-cylinder, or synthetic: with front-plain, both-plain, sphere, cylinder, cube, cone, doughnut."},
      {"sphere", {}, ""},
      {"organic:sphere", sized,
       "Error: Bad shape option \"--x\". Use --x N, --y N, --b N or --f F with a synthetic shape."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    services.shown.clear();
    const std::string path = folder / "Never.cmf";
    EXPECT_EQ(NewShapeFile(c.spec, path, c.options), kMalformed);
    ASSERT_EQ(Stops().size(), 1u);
    if (!c.text.empty()) {
      EXPECT_EQ(Stops()[0], c.text);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  services.shown.clear();
  EXPECT_EQ(NewShapeFile("synthetic:cube", folder / "missing/Cube.cmf"), 1);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: File error has occured."});
  EXPECT_EQ(ObjectCount(), 0);
}

TEST_F(MeshShapeFiles, OptionsParse) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::string bad;  // the word the message names
  };
  const Case cases[] = {
      {{}, true, ""},
      {{"--x", "12", "--f", "0.25", "--b", "-3", "--y", "99999999999"}, true, ""},
      {{"--x"}, false, "--x"},
      {{"--x", "1.5"}, false, "1.5"},
      {{"--f", "thin"}, false, "thin"},
      {{"--z", "3"}, false, "--z"},
      {{"--y", "3", "--y", "4"}, false, "--y"},
  };
  for (const Case& c : cases) {
    services.shown.clear();
    NewShapeOptions options;
    EXPECT_EQ(ParseNewShapeOptions(c.args, options), c.ok) << (c.args.empty() ? "" : c.args[0]);
    if (c.ok) {
      EXPECT_TRUE(Stops().empty());
    } else {
      ASSERT_EQ(Stops().size(), 1u);
      EXPECT_NE(Stops()[0].find("\"" + c.bad + "\""), std::string::npos) << Stops()[0];
    }
  }
  NewShapeOptions options;
  const std::vector<std::string> args = {"--x", "12", "--f", "0.25", "--b", "-3", "--y", "99999999999"};
  ASSERT_TRUE(ParseNewShapeOptions(args, options));
  EXPECT_EQ(options.x, 12);
  EXPECT_EQ(options.y, INT32_MAX);
  EXPECT_EQ(options.b, -3);
  EXPECT_EQ(options.f, 0.25f);
}

}  // namespace
}  // namespace tsv
