// The letters batch command, run as the real program: the object written, the family list, and
// refusals that write nothing.
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

namespace tsv {
namespace {

using namespace std::chrono_literals;

class LettersBatch : public test::BatchRun {};

TEST_F(LettersBatch, WritesTheLettersObject) {
  ASSERT_EQ(Run({"letters", "oi", dir / "oi.cmf", "--2d", "--segments", "2"}), 0) << Err();
  EXPECT_EQ(Out().substr(0, 5), "made ");
  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  ASSERT_TRUE(InitScene());
  std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(dir / "oi.cmf", kObjectFileType));
  ASSERT_TRUE(object);
  EXPECT_EQ(View(object->name), "oi");
  EXPECT_EQ(ObjectTypeText(*object), "Synthetic");
  ASSERT_EQ(object->hierarchy.size(), 3u);  // "o", then the stem and the dot of "i"
  EXPECT_EQ(View(object->hierarchy[0].partName), "o");
  EXPECT_EQ(View(object->hierarchy[2].partName), "i");
  for (const Vec3f& p : object->points) EXPECT_EQ(p.z, 0.0f);
  DisposeSceneObject(object);
  ShutdownScene();

  ASSERT_EQ(Run({"letters", "--list-fonts"}), 0) << Err();
  EXPECT_NE(Out().find("\nDejaVu Sans\n"), std::string::npos) << Out();
}

TEST_F(LettersBatch, RefusalsSayWhyAndWriteNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  };
  const std::string out = dir / "x.cmf";
  const Case cases[] = {
      {"unknown family", {"letters", "a", out, "--font", "No Such"}, "\"No Such\"; tessivar letters --list-fonts"},
      {"segments off the list", {"letters", "a", out, "--segments", "3"}, "--segments takes 1, 2, 4"},
      {"divisions off the list", {"letters", "a", out, "--divisions", "128"}, "--divisions takes 1, 2, 4"},
      {"empty text", {"letters", "", out}, "Error: The text is empty."},
      {"too long", {"letters", std::string(256, 'x'), out}, "256 bytes long"},
      {"not UTF-8", {"letters", "ok\xFF", out}, "not UTF-8 at byte 2"},
      {"no outlines", {"letters", "  ", out}, "Error: Couldn't generate any letters."},
      {"unknown option", {"letters", "a", out, "--deep"}, "unknown option --deep"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), 1) << c.name;
    EXPECT_NE(Err().find(c.says), std::string::npos) << c.name << ": " << Err();
    EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
  }
}

}  // namespace
}  // namespace tsv
