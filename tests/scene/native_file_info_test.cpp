// The batch functions: what a native file holds, and a project made from object files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scene/native_file_info.h"
#include "scene/object_file.h"
#include "scene/optics_file.h"
#include "scene/project.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

using test::MakeSquare;

using NativeFileBatch = test::NativeFilesFixture;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(NativeFileBatch, InfoTellsWhatEachKindOfFileHolds) {
  auto object = MakeSquare("Rock");
  std::strcpy(object->description.data(), "Grey");
  object->textureFile = Spec("/pics/wood.bmp", FourCC("BMP "));
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
  scene.projectModified = false;
  const bool modifiedBefore = false;

  const NativeFileInfo info = InfoOfNativeFile(Path("Rock.cmf"));
  ASSERT_TRUE(info.ok) << info.text;
  for (const char* line : {"Type: Tessivar object", "Name: Rock", "Kind: Synthetic", "Points: 4, triangles: 2",
                           "Description: Grey", "Texture: /pics/wood.bmp",
                           "Optics: shininess 128, diffuse strength 256, ambient level 128, transparency 0",
                           "Colors: specular 9000 9000 9000", "Hierarchy: No",
                           "Chunks: HEAD SNAP OPTC VIEW PSTN TEXT ISCL VERT COLV MASK TEXV TRIP END "}) {
    EXPECT_TRUE(Contains(info.text, line)) << line << "\n" << info.text;
  }
  // Looking changes nothing of the program's state.
  EXPECT_EQ(scene.projectModified, modifiedBefore);
  EXPECT_EQ(ObjectCount(), 0);

  const NativeFileInfo preview = InfoOfNativeFile(Path("Rock.cif"));
  ASSERT_TRUE(preview.ok);
  EXPECT_TRUE(Contains(preview.text, "Type: Tessivar object preview"));
  EXPECT_TRUE(Contains(preview.text, "Points: 4, triangles: 2"));

  test::WriteFileBytes(Path("m.cmo"), std::vector<uint8_t>(30, 0x10));
  const NativeFileInfo optics = InfoOfNativeFile(Path("m.cmo"));
  ASSERT_TRUE(optics.ok);
  EXPECT_TRUE(Contains(optics.text, "Optics: shininess 4112"));

  std::filesystem::create_directories(Path("Proj"));
  EXPECT_TRUE(StoreObjectInSlot(4, std::move(object)));
  services.saveAnswers.push_back(FileChoice{Path("Proj/p"), 1});
  services.saveAnswers.push_back(FileChoice{Path("Proj/Objects/Rock"), 1});
  ASSERT_TRUE(SaveProject());
  const NativeFileInfo project = InfoOfNativeFile(Path("Proj/p.cma"));
  ASSERT_TRUE(project.ok);
  EXPECT_TRUE(Contains(project.text, "Type: Tessivar project"));
  EXPECT_TRUE(Contains(project.text, "Name: UntitledProject"));
  EXPECT_TRUE(Contains(project.text, "Objects: 1"));
  EXPECT_TRUE(Contains(project.text, "slot 4: " + Path("Proj/Objects/Rock.cmf")));
  EXPECT_TRUE(Contains(project.text, "Current object: slot 4"));
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());
}

TEST_F(NativeFileBatch, InfoGivesTheProgramsErrorTextAndShowsNothing) {
  test::WriteFileBytes(Path("bad.cmf"), {'H', 'E', 'A', 'D', 0, 0, 0, 0});
  test::WriteFileBytes(Path("bad.cma"), {1, 2, 3});
  const struct {
    std::string path;
    std::string error;
  } cases[] = {
      {Path("bad.cmf"), "Error: Can't open object."},
      {Path("missing.cmf"), "Error: Can't open object."},
      {Path("bad.cma"), "Error: Can't open project."},
      {Path("bad.cmo"), "Error: Can't open optics."},
      {Path("bad.cif"), "Error: Can't open object preview."},
      {Path("picture.xyz"), "Can't open " + Path("picture.xyz") + ": Unknown file type."},
      {Path("noextension"), "Can't open " + Path("noextension") + ": Unknown file type."},
  };
  for (const auto& c : cases) {
    const NativeFileInfo info = InfoOfNativeFile(c.path);
    EXPECT_FALSE(info.ok) << c.path;
    EXPECT_EQ(info.text, c.error) << c.path;
  }
  EXPECT_TRUE(services.shown.empty());
  EXPECT_TRUE(services.fileRequests.empty());
}

TEST_F(NativeFileBatch, MakeProjectFromObjectsSavesThemIntoItsObjectsFolder) {
  std::filesystem::create_directories(Path("a"));
  std::filesystem::create_directories(Path("b"));
  std::filesystem::create_directories(Path("out"));
  test::WriteFileText(Path("a/wood.bmp"), "WOOD");
  auto first = MakeSquare("Rock");
  first->textureFile = Spec(Path("a/wood.bmp"), FourCC("BMP "));
  ASSERT_TRUE(SaveObjectToFile(*first, Spec(Path("a/Rock.cmf"), kObjectFileType)));
  auto second = MakeSquare("Other");
  ASSERT_TRUE(SaveObjectToFile(*second, Spec(Path("b/Rock.cmf"), kObjectFileType)));

  ASSERT_EQ(MakeProjectFromObjects(Path("out/Scene"), {Path("a/Rock.cmf"), Path("b/Rock.cmf")}), kNoError);
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(Exists(Path("out/Scene.cma")));
  EXPECT_TRUE(Exists(Path("out/Objects/Rock.cmf")));
  EXPECT_TRUE(Exists(Path("out/Objects/Rock 2.cmf")));
  EXPECT_EQ(test::ReadFileText(Path("out/Textures/wood.bmp")), "WOOD");
  EXPECT_EQ(CountedToText(scene.objectTable[1]->name), "Rock 2");

  // The project opens with both objects where they were put.
  ClearProjectModified();
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ASSERT_TRUE(OpenProjectFile(Spec(Path("out/Scene.cma"), kProjectFileType)));
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(CountedToText(nativeFiles.project.projectName), "Scene");
  EXPECT_EQ(PathOfSpec(scene.objectTable[0]->textureFile), Path("out/Textures/wood.bmp"));
  EXPECT_TRUE(services.fileRequests.empty());

  // A missing object stops before anything changes.
  EXPECT_EQ(MakeProjectFromObjects(Path("out/Other"), {Path("a/Rock.cmf"), Path("none.cmf")}), kFileNotFound);
  EXPECT_FALSE(Exists(Path("out/Other.cma")));
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            std::vector<std::string>{"Can't open " + Path("none.cmf") + ": Error: Can't open object."});
}

}  // namespace
}  // namespace tsv
