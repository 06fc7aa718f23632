// The render batch command, run as the real program: a project's picture with its switches or the
// command line's, and every refusal (bad command line, damaged or short project, an object or a
// texture that cannot be had) failing with the program's text and writing nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "platform/file_spec.h"
#include "platform/platform_state.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class RenderBatch : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"src", "work", "proj", "lost", "wood"}) fs::create_directories(dir / folder);
    ASSERT_EQ(Run({"new", "organic:sphere", dir / "src/ball.cmf"}), 0) << Err();
    ASSERT_EQ(Run({"project", dir / "proj/Scene.cma", dir / "src/ball.cmf"}), 0) << Err();
  }
  int Run(const std::vector<std::string>& args) {
    test::Process p = test::Start(args, {"XDG_CONFIG_HOME=" + (dir / "config"), "TMPDIR=" + dir.str(), "HOME=" + dir.str()},
                                  dir / "out", dir / "err");
    return test::WaitForExit(p, 120s);
  }
  std::string Err() { return test::ReadFileText(dir / "err"); }
  static Picture Read(const std::string& path) {
    Picture picture;
    EXPECT_EQ(LoadPictureQuietly(FileSpecForPath(path, FileTypeFromName(path)), picture).status, kNoError) << path;
    return picture;
  }
  static uint32_t At(const Picture& picture, int x, int y) { return picture.pixels[size_t(y * picture.width + x)]; }
  std::map<std::string, std::string> WorkFiles() {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir / "work")) {
      files[entry.path().filename().string()] = test::ReadFileText(entry.path().string());
    }
    return files;
  }

  test::TempDir dir;
};

TEST_F(RenderBatch, WritesTheProjectsPictureAtTheSizeAsked) {
  ASSERT_EQ(Run({"render", dir / "proj/Scene.cma", dir / "work/scene.png", "--size", "64x48", "--alpha"}), 0) << Err();
  const Picture alpha = Read(dir / "work/scene.png");
  ASSERT_EQ(alpha.width, 64);
  ASSERT_EQ(alpha.height, 48);
  EXPECT_EQ(At(alpha, 0, 0), 0x00000000u);  // the project's black background, uncovered
  EXPECT_EQ(At(alpha, 32, 24) >> 24, 0xFFu);
  EXPECT_NE(At(alpha, 32, 24) & 0xFFFFFF, 0u);

  // Without --alpha the picture is opaque; every switch and camera can be set from the command
  // line; the preferences' size (400 x 300) when none is given.
  ASSERT_EQ(Run({"render", dir / "proj/Scene.cma", dir / "work/scene.bmp", "--no-supersample", "--shadows", "--fog",
                 "--textures", "--no-background-picture", "--camera", "7"}),
            0)
      << Err();
  const Picture opaque = Read(dir / "work/scene.bmp");
  ASSERT_EQ(opaque.width, 400);
  ASSERT_EQ(opaque.height, 300);
  EXPECT_EQ(At(opaque, 0, 0) & 0xFFFFFF, 0xFFFFFFu);  // the white smoke of a new project hides the far background
  EXPECT_NE(At(opaque, 200, 150) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(At(opaque, 200, 150) >> 24, 0xFFu);
  EXPECT_EQ(WorkFiles().size(), 2u);  // no temporary left beside them
}

TEST_F(RenderBatch, RefusalsSayWhyAndWriteNothing) {
  // A project whose object is gone, one cut short, an object file given as a project.
  ASSERT_EQ(Run({"project", dir / "lost/Lost.cma", dir / "src/ball.cmf"}), 0) << Err();
  fs::remove(dir / "lost/Objects/ball.cmf");
  const std::vector<uint8_t> project = test::ReadFileBytes(dir / "proj/Scene.cma");
  test::WriteFileBytes(dir / "src/Short.cma", std::vector<uint8_t>(project.begin(), project.begin() + 1000));

  // An object whose texture picture was damaged after the project was saved.
  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  ASSERT_TRUE(InitScene());
  std::unique_ptr<SceneObject> ball = ReadObjectFile(FileSpecForPath(dir / "src/ball.cmf", kObjectFileType));
  ASSERT_TRUE(ball);
  test::WriteFileBytes(dir / "src/wood.bmp", test::SmallBmp());
  ball->textureFile = FileSpecForPath(dir / "src/wood.bmp", FourCC("BMP "));
  ASSERT_TRUE(SaveObjectToFile(*ball, FileSpecForPath(dir / "src/wooden.cmf", kObjectFileType)));
  DisposeSceneObject(ball);
  ShutdownScene();
  ASSERT_EQ(Run({"project", dir / "wood/Wood.cma", dir / "src/wooden.cmf"}), 0) << Err();
  ASSERT_TRUE(fs::exists(dir / "wood/Textures/wood.bmp"));
  test::WriteFileText(dir / "wood/Textures/wood.bmp", "BM but nothing a picture needs");

  const std::string scene = dir / "proj/Scene.cma";
  struct Case {
    std::vector<std::string> args;  // the output follows the project
    std::string said;
  } cases[] = {
      {{scene, "--size", "0x5"}, "--size takes WIDTHxHEIGHT"},
      {{scene, "--size", "16385x1"}, "--size takes WIDTHxHEIGHT"},
      {{scene, "--size", "9000x9000"}, "at most 64 M pixels"},
      {{scene, "--size", "64"}, "--size takes WIDTHxHEIGHT"},
      {{scene, "--size", "-4x3"}, "--size takes WIDTHxHEIGHT"},
      {{scene, "--camera", "8"}, "--camera takes 1 to 7"},
      {{scene, "--shiny"}, "unknown option --shiny"},
      {{scene, "--size"}, "unknown option --size"},
      {{dir / "src/missing.cma"}, "cannot read " + dir / "src/missing.cma"},
      {{dir / "src/Short.cma"}, "Error: Can't open project."},
      {{dir / "src/ball.cmf"}, "the project file must end in .cma"},
      {{dir / "lost/Lost.cma"}, "the object " + dir / "lost/Objects/ball.cmf" + " of the project"},
      {{dir / "wood/Wood.cma", "--textures"}, "wood.bmp cannot be loaded; --no-textures renders without textures"},
  };
  test::WriteFileText(dir / "work/out.png", "the previous contents");
  const std::map<std::string, std::string> before = WorkFiles();
  for (const Case& c : cases) {
    std::vector<std::string> args = {"render", c.args[0], dir / "work/out.png"};
    args.insert(args.end(), c.args.begin() + 1, c.args.end());
    EXPECT_EQ(Run(args), 1) << c.said;
    EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
    EXPECT_EQ(Err().find("Not enough memory"), std::string::npos) << Err();
    EXPECT_TRUE(WorkFiles() == before) << c.said;
  }
  ASSERT_EQ(Run({"render", dir / "wood/Wood.cma", dir / "work/untextured.png", "--size", "8x6", "--no-textures"}), 0)
      << Err();
  fs::remove(dir / "work/untextured.png");
  EXPECT_EQ(Run({"render", scene, dir / "work/out.jpg"}), 1);
  EXPECT_NE(Err().find("the picture file must end in .png, .bmp, .gif, .tif or .img"), std::string::npos) << Err();
  EXPECT_TRUE(WorkFiles() == before);
}

}  // namespace
}  // namespace tsv
