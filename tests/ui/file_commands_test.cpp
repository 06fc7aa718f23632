// The file commands of the top strip: the question about unsaved changes, new project, opening by type.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/picture_writers.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/optics_file.h"
#include "scene/scene_state.h"
#include "tasks/task_record.h"
#include "tasks/task_recorder.h"
#include "tests/support/temp_dir.h"
#include "ui/file_commands.h"
#include "ui/loop_result.h"
#include "ui/rooms.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class FileCommands : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  }
  void TearDown() override { test::ResetAllState(); }
  test::TempDir dir;
  ScriptedServices services;
};

const std::vector<std::string> kSaveAnswers = {"Save", "Don't Save", "Cancel"};

TEST_F(FileCommands, NewProjectAsksWhetherToSaveAndKeepsEverythingOnCancel) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ASSERT_TRUE(HasUnsavedChanges());
  services.choiceAnswers = {2, 1};  // Cancel, then Don't Save
  CommandNewProject();
  EXPECT_NE(scene.objectTable[0], nullptr);
  EXPECT_EQ(services.Texts(ShownKind::Choice),
            std::vector<std::string>{"Do you want to save the changes to the project \"UntitledProject\" before "
                                     "closing it? If you don't save them, they are lost."});
  EXPECT_EQ(services.choicesOffered, std::vector<std::vector<std::string>>{kSaveAnswers});
  CommandNewProject();
  // The new project starts as the program does: with the organic sphere.
  ASSERT_NE(scene.objectTable[0], nullptr);
  EXPECT_NE(scene.objectTable[0]->isOrganic, 0);
  EXPECT_EQ(scene.objectTable[1], nullptr);
  EXPECT_FALSE(HasUnsavedChanges());
}

// Quitting with unsaved work: Cancel (Escape) stays, Don't Save quits, Save quits only once the
// project has really been saved.
TEST_F(FileCommands, QuitWithUnsavedChangesOffersToSaveFirst) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  services.choiceAnswers = {2};
  EXPECT_NE(CommandQuit(), kLoopQuit);
  ASSERT_EQ(services.Texts(ShownKind::Choice).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Choice)[0],
            "Do you want to save the changes to the project \"UntitledProject\" before quitting? If you don't save "
            "them, they are lost.");
  EXPECT_EQ(services.choicesOffered.back(), kSaveAnswers);

  services.choiceAnswers = {0};  // Save, and then the project dialog is cancelled: no quit
  EXPECT_NE(CommandQuit(), kLoopQuit);
  EXPECT_TRUE(HasUnsavedChanges());

  services.choiceAnswers = {0};
  services.saveAnswers = {FileChoice{dir / "Scene", 1}, FileChoice{dir / "Objects/Rock", 1}};
  EXPECT_EQ(CommandQuit(), kLoopQuit);
  EXPECT_TRUE(std::filesystem::exists(dir / "Scene.cma"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Objects/Rock.cmf"));
  EXPECT_FALSE(HasUnsavedChanges());
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());

  MarkProjectModified();
  services.choiceAnswers = {1};  // Don't Save
  EXPECT_EQ(CommandQuit(), kLoopQuit);
  EXPECT_TRUE(HasUnsavedChanges());
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

// A file given at start or handed over by a second start opens by its kind: task lists into the
// task panel, optics and pictures onto the current object.
TEST_F(FileCommands, TaskListsOpticsAndPicturesOpenWhereTheyBelong) {
  test::ScopedEnv tmp("TMPDIR", dir.str());
  ASSERT_EQ(CreateTempFolder(), kNoError);
  NewTaskList();
  TaskStep scale;
  scale.code = TaskStepCode("SC");
  TaskStep end;
  end.code = kStepEnd;
  test::WriteFileBytes(dir / "list.tsks", EncodeTaskSteps(std::vector<TaskStep>{scale, end}));
  const uint8_t optics[kOpticsFileSize] = {0, 77};  // shininess 77, everything else 0
  test::WriteFileBytes(dir / "shiny.cmo", std::vector<uint8_t>(optics, optics + kOpticsFileSize));
  ASSERT_EQ(WriteBmpFile(dir / "wood.bmp", std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 2, 2),
            kNoError);

  // Optics and pictures need an object to go onto.
  EXPECT_FALSE(OpenFileOfType(dir / "wood.bmp"));
  EXPECT_EQ(services.Texts(ShownKind::Stop).back(),
            "Error: \"" + (dir / "wood.bmp") + "\" goes onto the current object, and there is none. Open or make an "
            "object first.");

  EXPECT_TRUE(OpenFileOfType(dir / "list.tsks"));
  EXPECT_EQ(taskRecorder.taskStepCount, 2);

  SceneObject* object = NewObjectInTable(false, 3, 1);
  ASSERT_EQ(scene.currentObject, object);
  EXPECT_TRUE(OpenFileOfType(dir / "shiny.cmo"));
  EXPECT_EQ(object->optics.shininess, 77);
  ui.texturedObjects = false;
  EXPECT_TRUE(OpenFileOfType(dir / "wood.bmp"));
  EXPECT_EQ(object->textureImage.size(), 4u);
  EXPECT_EQ(PathOfSpec(object->textureFile), dir / "wood.bmp");
  EXPECT_TRUE(ui.texturedObjects);

  // A kind the program knows but does not open keeps its message.
  EXPECT_FALSE(OpenFileOfType(dir / "film.mov"));
  EXPECT_EQ(services.Texts(ShownKind::Stop).back(), "Tessivar cannot open files of this kind: " + (dir / "film.mov"));
  ResetTaskRecorder();
}

}  // namespace
}  // namespace tsv
