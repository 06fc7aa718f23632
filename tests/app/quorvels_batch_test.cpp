// The quorvels batch command and "info" on a Quorvels set, run as the real program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/platform_state.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/quorvels.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;

class QuorvelsBatch : public test::BatchRun {};

TEST_F(QuorvelsBatch, MakesObjectsAndSetsFromBallsOrSets) {
  // Balls on the command line into a set: left-out values as a new ball has them, the axis normalised.
  ASSERT_EQ(Run({"quorvels", "--ball", "0,0,0,50,1,20,2,0,0", "--ball", "70,0,0", dir / "pair.bsph"}), 0) << Err();
  EXPECT_EQ(Out(), "saved 2 balls\n");
  std::vector<Ball> balls;
  std::string reason;
  ASSERT_EQ(DecodeQuorvelSet(test::ReadFileBytes(dir / "pair.bsph"), balls, reason), kNoError) << reason;
  ASSERT_EQ(balls.size(), 2u);
  EXPECT_EQ(balls[0].axis, (Vec3f{1, 0, 0}));
  EXPECT_EQ(balls[0].r1, 50.0f);
  EXPECT_EQ(balls[0].strength, 20.0f);
  EXPECT_EQ(balls[1].r1, kNewBallRadius);
  EXPECT_EQ(balls[1].strength, kNewBallStrength);

  ASSERT_EQ(Run({"info", dir / "pair.bsph"}), 0) << Err();
  EXPECT_EQ(Out().substr(0, Out().find('\n')), "Quorvels set: 2 balls");
  EXPECT_NE(Out().find("2 Untitled: centre 70, 0, 0; axis 0, 1, 0; r1 100; r2 1;"), std::string::npos) << Out();

  // The set into objects, Kelvane and Atomize.
  ASSERT_EQ(Run({"quorvels", dir / "pair.bsph", dir / "body.cmf", "--resolution", "24"}), 0) << Err();
  EXPECT_EQ(Out().substr(0, 5), "made ");
  ASSERT_EQ(Run({"quorvels", dir / "pair.bsph", dir / "atoms.cmf", "--atomize", "--no-refine", "--resolution", "16"}), 0)
      << Err();

  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  ASSERT_TRUE(InitScene());
  for (const char* name : {"body.cmf", "atoms.cmf"}) {
    std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(dir / name, kObjectFileType));
    ASSERT_TRUE(object) << name;
    EXPECT_GT(object->triangleCount, 100) << name;
    EXPECT_EQ(ObjectTypeText(*object), "Synthetic");
    // Unrefined atoms are spheres of r1 scaled by 1.28: the first ball reaches x = -50 x 1.28.
    if (std::string(name) == "atoms.cmf") {
      float least = 0;
      for (const Vec3f& p : object->points) least = std::min(least, p.x);
      EXPECT_NEAR(least, -64.0f, 6.0f);
    }
    DisposeSceneObject(object);
  }
  ShutdownScene();
}

TEST_F(QuorvelsBatch, RefusalsSayWhyAndWriteNothing) {
  test::WriteFileText(dir / "junk.bsph", "not a set");
  test::WriteFileBytes(dir / "empty.bsph", EncodeQuorvelSet({}));
  struct Case {
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {{"--ball", "1,2"}, "--ball takes X,Y,Z"},
      {{"--ball", "1,2,3,0"}, "--ball takes X,Y,Z"},
      {{"--ball", "1,2,3,40,1,1,0,0,0"}, "--ball takes X,Y,Z"},
      {{"--ball", "1,2,3,nan"}, "--ball takes X,Y,Z"},
      {{"--ball", "0,0,0", "--resolution", "7"}, "--resolution takes a whole number from 8 to 128"},
      {{"--ball", "0,0,0", "--resolution", "129"}, "--resolution takes a whole number from 8 to 128"},
      {{"--ball", "0,0,0,100,1,0.5"}, "Error: Couldn't perform operation."},  // too weak for any surface
      {{dir / "empty.bsph"}, "Error: Couldn't perform operation."},
      {{dir / "junk.bsph"}, dir / "junk.bsph" + ": it is 9 bytes long; a Quorvels set is 31744 bytes"},
      {{dir / "missing.bsph"}, "cannot read " + dir / "missing.bsph"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"quorvels"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(dir / "out.cmf");
    EXPECT_EQ(Run(args), 1) << c.said;
    EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
    EXPECT_FALSE(std::filesystem::exists(dir / "out.cmf")) << c.said;
  }
  EXPECT_EQ(Run({"quorvels", "--ball", "0,0,0", dir / "out.bsph", "--atomize"}), 1);
  EXPECT_EQ(Run({"quorvels", dir / "empty.bsph", dir / "out.bsph"}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.bsph"));
}

}  // namespace
}  // namespace tsv
