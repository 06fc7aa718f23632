// The deform batch procedure: an object file through one tool into another file, and what it
// refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_spec.h"
#include "scene/object_file.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/tool_fixture.h"
#include "tools/deform_batch.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"

namespace tsv::test {
namespace {

class DeformBatch : public ToolFixture {
 protected:
  std::string SaveSphere() {
    SceneObject* sphere = AddSphere();
    if (sphere == nullptr) return {};
    const std::string path = dir / "in.cmf";
    return SaveObjectToFile(*sphere, FileSpecForPath(path, kObjectFileType)) ? path : std::string{};
  }
  std::vector<Vec3f> PointsOf(const std::string& path) {
    std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(path, kObjectFileType));
    return object ? object->points : std::vector<Vec3f>{};
  }

  TempDir dir;
};

TEST_F(DeformBatch, AppliesTheToolAsReplayWouldAndSavesTheResult) {
  const std::string in = SaveSphere();
  ASSERT_FALSE(in.empty());
  const struct {
    const char* tool;
    int amount, amountY, view;
  } cases[] = {{"Twist", 64, 0, 0}, {"ST", 128, 256, 2}, {"radial shear", -40, 0, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tool);
    const std::string out = dir / "out.cmf";
    ASSERT_EQ(DeformObjectFile(in, out, c.tool, c.amount, c.amountY, c.view), kNoError);
    // The same tool on the same shape in memory.
    SceneObject* sphere = scene.currentObject;
    sphere->points = PointsOf(in);
    sphere->currentView = uint16_t(c.view);
    ASSERT_TRUE(ActivateSceneObject(sphere));
    RunDeformTool(*FindDeformTool(c.tool), sphere, Undo(), int16_t(c.amount), int16_t(c.amountY));
    CommitObjectChange(sphere, Undo());
    sphere->currentView = 0;
    const std::vector<Vec3f> written = PointsOf(out);
    ASSERT_EQ(written.size(), sphere->points.size());
    for (size_t i = 0; i < written.size(); ++i) ASSERT_TRUE(SamePosition(written[i], sphere->points[i])) << i;
    EXPECT_FALSE(SamePosition(written[0], PointsOf(in)[0]) && SamePosition(written[100], PointsOf(in)[100]));
  }
  EXPECT_TRUE(steps.empty());  // a direct application records nothing
  EXPECT_TRUE(Stops().empty());
}

TEST_F(DeformBatch, RefusesUnknownToolsAmountsAndViewsBeforeReading) {
  const std::string in = SaveSphere();
  ASSERT_FALSE(in.empty());
  const std::string out = dir / "out.cmf";
  const struct {
    const char* tool;
    int amount, amountY, view;
    const char* message;
  } cases[] = {
      {"Sculpt", 10, 0, 0, "Error: There is no deformation tool called \"Sculpt\"."},
      {"Twist", 129, 0, 0, "Error: The amount of Twist must lie between -128 and 128."},
      {"Flatten", -1, 0, 0, "Error: The amount of Flatten must lie between 0 and 256."},
      {"Stretch", 100, 300, 0, "Error: The amount of Stretch must lie between 0 and 256."},
      {"Rotate session", -32000, 0, 0, "Error: The amount of Rotate session must lie between -31999 and 31999."},
      {"Scale", 100, 0, 7, "Error: The view must be a number from 1 to 7."},
  };
  for (const auto& c : cases) {
    services.shown.clear();
    EXPECT_EQ(DeformObjectFile(in, out, c.tool, c.amount, c.amountY, c.view), kMalformed) << c.tool;
    EXPECT_EQ(Stops(), std::vector<std::string>{c.message});
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(DeformBatch, AMissingObjectFileFailsWithTheOpenMessage) {
  const std::string out = dir / "out.cmf";
  EXPECT_EQ(DeformObjectFile(dir / "missing.cmf", out, "Scale", 200, 0, 0), kReadError);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Can't open object."});
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace tsv::test
