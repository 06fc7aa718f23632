// The file commands of the top strip: the unsaved-changes question, new project, opening by type.
#include <gtest/gtest.h>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "tests/support/temp_dir.h"
#include "ui/file_commands.h"

namespace tsv {
namespace {

class FileCommands : public testing::Test {
 protected:
  void SetUp() override {
    ResetScene();
    SetDefaultPreferences(preferences);
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    ResetProject();
  }
  void TearDown() override {
    ResetScene();
    ResetPlatformState();
  }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(FileCommands, NewProjectAsksAboutUnsavedChangesAndKeepsEverythingWhenRefused) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ASSERT_TRUE(HasUnsavedChanges());
  services.messageAnswers = {false, true};
  CommandNewProject();
  EXPECT_NE(scene.objectTable[0], nullptr);
  ASSERT_EQ(services.Texts(ShownKind::Message).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Message)[0],
            "Warning: There are unsaved changes. Do you want to continue without saving them?");
  CommandNewProject();
  // The new project starts as the program does: with the organic sphere.
  ASSERT_NE(scene.objectTable[0], nullptr);
  EXPECT_NE(scene.objectTable[0]->isOrganic, 0);
  EXPECT_EQ(scene.objectTable[1], nullptr);
  EXPECT_FALSE(HasUnsavedChanges());
}

TEST_F(FileCommands, OpeningBySavedObjectFileAddsItAsTheCurrentObject) {
  SceneObject* object = NewObjectInTable(false, 3, 1);
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(SaveObjectToFile(*object, FileSpecForPath(dir / "Rock.cmf", kObjectFileType)));
  EXPECT_TRUE(OpenFileOfType(dir / "Rock.cmf"));
  ASSERT_NE(scene.objectTable[1], nullptr);
  EXPECT_EQ(scene.currentObjectIndex, 1);
  EXPECT_EQ(PathOfSpec(scene.objectTable[1]->fileSpec), dir / "Rock.cmf");

  EXPECT_FALSE(OpenFileOfType(dir / "notes.xyz"));
  EXPECT_EQ(services.Texts(ShownKind::Stop).back(), "Can't open " + (dir / "notes.xyz") + ": Unknown file type.");
}

}  // namespace
}  // namespace tsv
