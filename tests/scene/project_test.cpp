// The project record's byte image and the project file: the first save with its dialogs and
// folders, saves in place, pictures copied once, a moved project, failed saves, damaged files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform_state.h"
#include "scene/object_file.h"
#include "scene/project.h"
#include "scene/project_record.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

using test::MakeSquare;

const std::string kFileError = "Error: File error has occured.";

std::vector<uint8_t> ImageOf(const ProjectRecord& record) {
  std::vector<uint8_t> image(kProjectRecordSize);
  StoreProjectRecord(record, std::span<uint8_t, kProjectRecordSize>(image));
  return image;
}

std::vector<uint8_t> At(const std::vector<uint8_t>& image, size_t offset, size_t count) {
  return {image.begin() + std::ptrdiff_t(offset), image.begin() + std::ptrdiff_t(offset + count)};
}

std::vector<uint8_t> LittleEndian(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}

std::vector<uint8_t> BigEndian(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  return {uint8_t(bits >> 24), uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits)};
}

class Project : public test::NativeFilesFixture {
 protected:
  // Puts a square named `name` into `slot`, made current.
  SceneObject* AddSquare(int slot, const std::string& name) {
    EXPECT_TRUE(StoreObjectInSlot(slot, MakeSquare(name)));
    return scene.objectTable[size_t(slot)].get();
  }
  void Answer(const std::string& path) { services.saveAnswers.push_back(FileChoice{path, 1}); }
  // A saved project in `folder` with the squares "A" (slot 0) and "B" (slot 3).
  void SaveTwoObjectProject(const std::string& folder) {
    std::filesystem::create_directories(folder);
    AddSquare(0, "A");
    AddSquare(3, "B");
    Answer(folder + "/p");
    Answer(folder + "/Objects/A");
    Answer(folder + "/Objects/B");
    ASSERT_TRUE(SaveProject());
    services.fileRequests.clear();
    services.shown.clear();
  }
  void ClearTable() {
    for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  }
};

TEST_F(Project, DefaultRecordByteImage) {
  const std::vector<uint8_t> image = ImageOf(DefaultProjectRecord());
  ASSERT_EQ(image.size(), 79336u);
  EXPECT_EQ(At(image, 0, 16), (std::vector<uint8_t>{15, 'U', 'n', 't', 'i', 't', 'l', 'e', 'd', 'P', 'r', 'o', 'j',
                                                    'e', 'c', 't'}));
  EXPECT_EQ(At(image, 556, 10), (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0, 1}));  // ... current -1
  EXPECT_EQ(At(image, 882, 6), (std::vector<uint8_t>{0xFF, 0, 0xFF, 0, 0xFF, 0}));
  EXPECT_EQ(At(image, 892, 4), BigEndian(0.5f));
  EXPECT_EQ(At(image, 896, 4), BigEndian(60.0f));
  EXPECT_EQ(At(image, 904, 4), BigEndian(100.0f));
  EXPECT_EQ(At(image, 908, 4), BigEndian(2.0f));
  EXPECT_EQ(At(image, 916, 2), (std::vector<uint8_t>{0, 8}));
  EXPECT_EQ(At(image, 920, 6), (std::vector<uint8_t>{0, 1, 0, 10, 0, 1}));
  EXPECT_EQ(At(image, 928, 4), (std::vector<uint8_t>{0xBF, 0x49, 0x0F, 0xDB}));  // -pi/4
  EXPECT_EQ(At(image, 948, 4), (std::vector<uint8_t>{0x3F, 0x49, 0x0F, 0xDB}));  // pi/4
  EXPECT_EQ(At(image, 952, 6), (std::vector<uint8_t>{0, 0, 0, 0, 0, 6}));
  // The composer views keep their floats and mode little-endian.
  EXPECT_EQ(At(image, 960, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(At(image, 964, 4), LittleEndian(0.87863398f));
  EXPECT_EQ(At(image, 996 + 16, 4), LittleEndian(4.712389f));  // view 1 turned 3pi/2 about y
  EXPECT_EQ(At(image, 1176 + 4, 4), LittleEndian(2.4762893f));
  EXPECT_EQ(At(image, 1176 + 8, 2), (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(std::count(image.begin() + 1212, image.end(), 0), std::ptrdiff_t(79336 - 1212));
}

TEST_F(Project, RecordRoundTripsEveryByteAndKeepsFileSpecGroupsBigEndian) {
  ProjectRecord r = DefaultProjectRecord();
  r.projectName = TextToCountedString("Garden");
  r.projectFile = Spec("/w/Garden.cma", kProjectFileType);
  r.projectModified = 1;
  r.sceneWord1 = 2;
  r.sceneWord2 = 3;
  r.currentObjectIndex = 17;
  r.supersampling = 0;
  r.shadowsOn = r.texturesOn = r.fogAndSmokeOn = r.backgroundPictureOn = 1;
  r.backgroundColor = {0x1100, 0x2200, 0x3300};
  r.quorvelFile = Spec("/w/sky.png", FourCC("PNGf"));
  r.sceneWord3 = 4;
  r.fogColor = {1, 2, 3};
  r.fogSmoke = {1, 2, 3, 4, 5, 6, 7};
  r.smokeDetail = 10;
  r.reserved918 = 0x1234;
  r.sceneTriple = {7, 8, 9};
  r.lightAngles = {0.5f, 0.25f, 0.125f};
  r.extraAngles = {-1, -2, -3};
  r.viewWords = {11, 12};
  r.cameraViewIndex = 2;
  r.composerViews[3] = {5, 6, 7.5f, 2, {1, 2, 3}, {4, 5, 6}};
  r.objectFiles[3] = Spec("/w/Objects/Rock.cmf", FourCC("CMF "));
  r.objectFiles[254] = Spec("/w/Objects/Last.cmf", FourCC("CMF "));
  r.objectsFolder = Spec("/w/Objects", 0);
  r.texturesFolder = Spec("/w/Textures", 0);
  std::strcpy(r.projectDescription.data(), "A garden");

  const std::vector<uint8_t> image = ImageOf(r);
  const ProjectRecord loaded = LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(image));
  EXPECT_EQ(ImageOf(loaded), image);
  EXPECT_EQ(loaded.currentObjectIndex, 17);
  EXPECT_EQ(loaded.composerViews[3].zoom, 7.5f);
  EXPECT_EQ(loaded.fogSmoke.smokeRandomSeed, 7.0f);
  EXPECT_EQ(PathOfSpec(loaded.objectFiles[254]), "/w/Objects/Last.cmf");

  // File spec 3 of the table: the name counted, the type count and types big-endian.
  const size_t spec = 1212 + 3 * 300;
  EXPECT_EQ(image[spec + 8], std::string(":w:Objects:Rock.cmf").size());
  EXPECT_EQ(At(image, spec + 264, 2), (std::vector<uint8_t>{0, 1}));
  EXPECT_EQ(At(image, spec + 268, 4), (std::vector<uint8_t>{'C', 'M', 'F', ' '}));
  EXPECT_EQ(At(image, 918, 2), (std::vector<uint8_t>{0x34, 0x12}));  // reserved words as in memory
  EXPECT_EQ(At(image, 960 + 3 * 36, 4), (std::vector<uint8_t>{0, 5, 0, 6}));

  // A camera index beyond the seven views is not taken over.
  std::vector<uint8_t> bad = image;
  bad[957] = 9;
  EXPECT_EQ(LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(bad)).cameraViewIndex, 6);
}

TEST_F(Project, FirstSaveAsksForTheFileMakesTheFoldersAndAsksForEachNewObject) {
  std::filesystem::create_directories(Path("Proj"));
  AddSquare(0, "A");
  AddSquare(2, "B");
  Answer(Path("Proj/Scene"));
  Answer(Path("Proj/Objects/A"));
  Answer(Path("Proj/Objects/Bee"));  // the user picks another name
  ASSERT_TRUE(SaveProject());

  ASSERT_EQ(services.fileRequests.size(), 3u);
  EXPECT_EQ(services.fileRequests[0].proposedName, "UntitledProject.cma");
  EXPECT_EQ(services.fileRequests[0].types, std::vector<uint32_t>{kProjectFileType});
  for (int i : {1, 2}) {
    EXPECT_EQ(services.fileRequests[size_t(i)].folder, Path("Proj/Objects"));
    EXPECT_EQ(services.fileRequests[size_t(i)].types, std::vector<uint32_t>{kObjectFileType});
  }
  EXPECT_EQ(services.fileRequests[1].proposedName, "A.cmf");
  EXPECT_EQ(services.fileRequests[2].proposedName, "B.cmf");
  // Each object's dialog says which object it asks about.
  EXPECT_EQ(services.fileRequests[1].title, "Save object \"A\" of the project as");
  EXPECT_EQ(services.fileRequests[2].title, "Save object \"B\" of the project as");
  EXPECT_TRUE(std::filesystem::is_directory(Path("Proj/Objects")));
  EXPECT_TRUE(std::filesystem::is_directory(Path("Proj/Textures")));
  EXPECT_EQ(CountedToText(scene.objectTable[2]->name), "Bee");
  for (const char* file : {"Proj/Objects/A.cmf", "Proj/Objects/A.cif", "Proj/Objects/Bee.cmf", "Proj/Objects/Bee.cif"}) {
    EXPECT_TRUE(Exists(Path(file))) << file;
  }

  const std::vector<uint8_t> image = test::ReadFileBytes(Path("Proj/Scene.cma"));
  ASSERT_EQ(image.size(), 79336u);
  const ProjectRecord stored = LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(image));
  EXPECT_EQ(PathOfSpec(stored.objectFiles[0]), Path("Proj/Objects/A.cmf"));
  EXPECT_FALSE(IsFileSpecSet(stored.objectFiles[1]));
  EXPECT_EQ(PathOfSpec(stored.objectFiles[2]), Path("Proj/Objects/Bee.cmf"));
  EXPECT_EQ(PathOfSpec(stored.objectsFolder), Path("Proj/Objects"));
  EXPECT_EQ(PathOfSpec(stored.texturesFolder), Path("Proj/Textures"));
  EXPECT_EQ(PathOfSpec(stored.projectFile), Path("Proj/Scene.cma"));
  EXPECT_EQ(stored.currentObjectIndex, 2);
  EXPECT_FALSE(IsProjectModified());
  EXPECT_EQ(scene.objectTable[0]->hasUnsavedChanges, 0);
  EXPECT_EQ(Progress().front(), "Saving project...");
  EXPECT_FALSE(services.progressVisible);
  EXPECT_TRUE(Stops().empty());
  EXPECT_TRUE(HiddenFiles(Path("Proj")).empty());

  // Everything is in place now: the next save asks nothing.
  services.fileRequests.clear();
  scene.objectTable[0]->points[0].x = 9;
  MarkProjectModified();
  ASSERT_TRUE(SaveProject());
  EXPECT_TRUE(services.fileRequests.empty());
  auto reread = ReadObjectFile(Spec(Path("Proj/Objects/A.cmf"), kObjectFileType));
  ASSERT_TRUE(reread);
  EXPECT_EQ(reread->points[0].x, 9.0f);
}

TEST_F(Project, CancellingAnObjectDialogStopsTheSaveAndLeavesNoProjectFile) {
  std::filesystem::create_directories(Path("Proj"));
  AddSquare(0, "A");
  Answer(Path("Proj/Scene"));
  services.saveAnswers.push_back(std::nullopt);
  EXPECT_FALSE(SaveProject());
  EXPECT_FALSE(IsFileSpecSet(nativeFiles.project.projectFile));
  EXPECT_FALSE(Exists(Path("Proj/Scene.cma")));
  EXPECT_FALSE(services.progressVisible);
  EXPECT_TRUE(Stops().empty());

  // Cancelling the project dialog itself changes nothing either.
  EXPECT_FALSE(SaveProject());
  EXPECT_FALSE(IsFileSpecSet(nativeFiles.project.projectFile));
}

TEST_F(Project, PicturesAreCopiedIntoTexturesOnceAndNeverMixedUp) {
  test::WriteFileText(Path("pics/wood.bmp"), "WOOD");
  test::WriteFileText(Path("other/wood.bmp"), "OAK");
  test::WriteFileText(Path("again/wood.bmp"), "WOOD");
  test::WriteFileText(Path("pics/sky.png"), "SKY");
  std::filesystem::create_directories(Path("Proj"));
  SceneObject* a = AddSquare(0, "A");
  SceneObject* b = AddSquare(1, "B");
  SceneObject* c = AddSquare(2, "C");
  a->textureFile = Spec(Path("pics/wood.bmp"), FourCC("BMP "));
  b->textureFile = Spec(Path("other/wood.bmp"), FourCC("BMP "));
  c->textureFile = Spec(Path("again/wood.bmp"), FourCC("BMP "));
  nativeFiles.project.quorvelFile = Spec(Path("pics/sky.png"), FourCC("PNGf"));
  Answer(Path("Proj/p"));
  for (const char* name : {"A", "B", "C"}) Answer(Path("Proj/Objects/") + name);
  ASSERT_TRUE(SaveProject());

  EXPECT_EQ(PathOfSpec(a->textureFile), Path("Proj/Textures/wood.bmp"));
  EXPECT_EQ(PathOfSpec(b->textureFile), Path("Proj/Textures/wood 2.bmp"));  // another picture
  EXPECT_EQ(PathOfSpec(c->textureFile), Path("Proj/Textures/wood.bmp"));    // the same picture
  EXPECT_EQ(PathOfSpec(nativeFiles.project.quorvelFile), Path("Proj/Textures/sky.png"));
  EXPECT_EQ(test::ReadFileText(Path("Proj/Textures/wood.bmp")), "WOOD");
  EXPECT_EQ(test::ReadFileText(Path("Proj/Textures/wood 2.bmp")), "OAK");
  // The objects' files point at the copies.
  auto reread = ReadObjectFile(a->fileSpec);
  ASSERT_TRUE(reread);
  EXPECT_EQ(PathOfSpec(reread->textureFile), Path("Proj/Textures/wood.bmp"));

  // Saving again copies nothing again.
  test::WriteFileText(Path("pics/wood.bmp"), "CHANGED");
  ASSERT_TRUE(SaveProject());
  EXPECT_EQ(test::ReadFileText(Path("Proj/Textures/wood.bmp")), "WOOD");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("Proj/Textures")),
                          std::filesystem::directory_iterator()),
            3);

  // A picture that cannot be read is left where it was.
  FileSpec missing = Spec(Path("pics/none.bmp"), FourCC("BMP "));
  EXPECT_FALSE(EnsurePictureInProject(missing));
  EXPECT_EQ(PathOfSpec(missing), Path("pics/none.bmp"));
}

TEST_F(Project, AMovedProjectFolderStillFindsItsObjects) {
  SaveTwoObjectProject(Path("Old/Proj"));
  ClearTable();
  ResetProject();
  std::filesystem::create_directories(Path("New"));
  std::filesystem::rename(Path("Old/Proj"), Path("New/Moved"));

  int opened = 0;
  nativeFiles.projectObjectOpened = [&](SceneObject&) { ++opened; };
  ASSERT_TRUE(OpenProjectFile(Spec(Path("New/Moved/p.cma"), kProjectFileType)));
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(Stops().empty());
  ASSERT_TRUE(scene.objectTable[0]);
  ASSERT_TRUE(scene.objectTable[3]);
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(CountedToText(scene.objectTable[3]->name), "B");
  EXPECT_EQ(PathOfSpec(scene.objectTable[3]->fileSpec), Path("New/Moved/Objects/B.cmf"));
  EXPECT_EQ(PathOfSpec(nativeFiles.project.projectFile), Path("New/Moved/p.cma"));
  EXPECT_EQ(scene.currentObjectIndex, 3);
  EXPECT_FALSE(IsProjectModified());
  EXPECT_EQ(Progress().front(), "Opening project...");

  // The next save puts everything in the new place without asking.
  ASSERT_TRUE(SaveProject());
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_EQ(PathOfSpec(nativeFiles.project.objectsFolder), Path("New/Moved/Objects"));
}

TEST_F(Project, OpenCommandStartsInTheStartFolder) {
  SaveTwoObjectProject(Path("Proj"));
  ClearTable();
  platform.rememberedFolder = Path("Proj/Objects");
  services.openAnswers.push_back(std::nullopt);
  EXPECT_FALSE(AskAndOpenProject());
  EXPECT_EQ(ObjectCount(), 0);
  services.openAnswers.push_back(FileChoice{Path("Proj/p.cma"), 1});
  ASSERT_TRUE(AskAndOpenProject());
  EXPECT_EQ(ObjectCount(), 2);
  ASSERT_EQ(services.fileRequests.size(), 2u);
  EXPECT_EQ(services.fileRequests[0].folder, dir.str());
  EXPECT_EQ(services.fileRequests[0].proposedName, ".cma");
  EXPECT_EQ(services.fileRequests[0].types, std::vector<uint32_t>{kProjectFileType});
}

TEST_F(Project, OpeningReplacesTheTableAndSkipsObjectsThatCannotBeFound) {
  SaveTwoObjectProject(Path("Proj"));
  std::filesystem::remove(Path("Proj/Objects/A.cmf"));
  ClearTable();
  AddSquare(7, "Old");
  ASSERT_TRUE(OpenProjectFile(Spec(Path("Proj/p.cma"), kProjectFileType)));
  // A was looked for, then asked for (cancelled); B came in; the old object is gone.
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].proposedName, "A.cmf");
  EXPECT_FALSE(scene.objectTable[0]);
  EXPECT_FALSE(scene.objectTable[7]);
  ASSERT_TRUE(scene.objectTable[3]);
  EXPECT_FALSE(IsFileSpecSet(nativeFiles.project.objectFiles[0]));
  EXPECT_EQ(ObjectCount(), 1);
}

TEST_F(Project, AMissingOrShortProjectFileChangesNothing) {
  SaveTwoObjectProject(Path("Proj"));
  const std::vector<uint8_t> valid = test::ReadFileBytes(Path("Proj/p.cma"));
  const ProjectRecord before = nativeFiles.project;
  SceneObject* a = scene.objectTable[0].get();

  EXPECT_FALSE(OpenProjectFile(Spec(Path("Proj/none.cma"), kProjectFileType)));
  // Every length short of the whole record fails.
  const std::string shortPath = Path("short.cma");
  test::WriteFileBytes(shortPath, valid);
  for (size_t length = valid.size(); length-- > 0;) {
    ASSERT_EQ(::truncate(shortPath.c_str(), off_t(length)), 0);
    ASSERT_FALSE(OpenProjectFile(Spec(shortPath, kProjectFileType))) << length;
  }
  EXPECT_EQ(scene.objectTable[0].get(), a);
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(ImageOf(nativeFiles.project), ImageOf(before));
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(Project, AFailedSaveLeavesThePreviousProjectFileAndAsksAgainNextTime) {
  std::filesystem::create_directories(Path("Proj"));
  Answer(Path("Proj/p"));
  ASSERT_TRUE(SaveProject());
  const std::vector<uint8_t> before = test::ReadFileBytes(Path("Proj/p.cma"));

  std::strcpy(nativeFiles.project.projectDescription.data(), "changed");
  nativeFiles.failWriteAfterBytes = 1000;
  EXPECT_FALSE(SaveProject());
  nativeFiles.failWriteAfterBytes = -1;
  EXPECT_EQ(Stops(), std::vector<std::string>{kFileError});
  EXPECT_EQ(test::ReadFileBytes(Path("Proj/p.cma")), before);
  EXPECT_TRUE(HiddenFiles(Path("Proj")).empty());
  EXPECT_FALSE(IsFileSpecSet(nativeFiles.project.projectFile));
  EXPECT_FALSE(services.progressVisible);
}

TEST_F(Project, ResetGivesANewProjectAndClearsTheComposerPreview) {
  int cleared = 0;
  nativeFiles.clearComposerPreview = [&] { ++cleared; };
  nativeFiles.project.projectName = TextToCountedString("Old");
  nativeFiles.project.fogSmoke.fogStart = 5;
  MarkProjectModified();
  ResetProject();
  EXPECT_EQ(ImageOf(nativeFiles.project), ImageOf(DefaultProjectRecord()));
  EXPECT_FALSE(IsProjectModified());
  EXPECT_EQ(cleared, 1);
  // A new object marks the project changed.
  AddSquare(0, "A");
  EXPECT_TRUE(IsProjectModified());
}

TEST_F(Project, DamagedProjectFilesOpenOrFailButNeverBreak) {
  SaveTwoObjectProject(Path("Proj"));
  const std::vector<uint8_t> valid = test::ReadFileBytes(Path("Proj/p.cma"));
  const std::string path = Path("Proj/damaged.cma");
  auto tryOpen = [&](size_t at) {
    std::vector<uint8_t> bytes = valid;
    bytes[at] ^= 0xA5;
    test::OverwriteFile(path, bytes);
    EXPECT_TRUE(OpenProjectFile(Spec(path, kProjectFileType)));
    for (const auto& slot : scene.objectTable) {
      if (slot) {
        ASSERT_TRUE(HasConsistentArrays(*slot)) << at;
      }
    }
    ASSERT_LE(nativeFiles.project.cameraViewIndex, 6) << at;
  };
  // Every byte of what names files to open (the two entries in use, slots 0 and 3, and the
  // folders); a sample of the settings, the empty entries and the description.
  auto inUse = [](size_t at) {
    return (at >= 1212 && at < 1512) || (at >= 2112 && at < 2412) || (at >= 77712 && at < 78312);
  };
  for (size_t at = 0; at < valid.size(); ++at) {
    if (inUse(at) || (at < 1212 && at % 13 == 0) || at % 101 == 0) tryOpen(at);
  }
}

}  // namespace
}  // namespace tsv
