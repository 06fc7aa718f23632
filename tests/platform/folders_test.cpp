// File search, the temporary folder and scratch files, the preferences location.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/folders.h"
#include "platform/platform_state.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

TEST(FolderTree, FindsTheFileInTheFolderBeforeAnySubfolder) {
  test::TempDir dir;
  test::WriteFileText(dir / "Objects/deep/Rock.cmf", "deep");
  test::WriteFileText(dir / "Rock.cmf", "top");
  FileSpec found;
  ASSERT_TRUE(FindFileInFolderTree(dir.str(), "Rock.cmf", found));
  EXPECT_EQ(PathOfSpec(found), dir / "Rock.cmf");
  EXPECT_EQ(found.fileTypes[0], FourCC("CMF "));
}

TEST(FolderTree, SearchesSubfoldersDepthFirstAndSurvivesLinkLoops) {
  test::TempDir dir;
  test::WriteFileText(dir / "a/b/c/Rock.cmf", "deep");
  std::filesystem::create_directory_symlink(dir.path, dir.path / "a/b/loop");
  FileSpec found;
  ASSERT_TRUE(FindFileInFolderTree(dir.str(), "Rock.cmf", found));
  EXPECT_EQ(PathOfSpec(found), dir / "a/b/c/Rock.cmf");
  EXPECT_FALSE(FindFileInFolderTree(dir.str(), "Missing.cmf", found));
  EXPECT_FALSE(FindFileInFolderTree(dir.str(), "b", found));  // a folder is not a file
  EXPECT_FALSE(FindFileInFolderTree(dir.str(), "c/Rock.cmf", found));
  EXPECT_FALSE(FindFileInFolderTree(dir / "no-such-folder", "Rock.cmf", found));
}

class TempFolder : public testing::Test {
 protected:
  void SetUp() override { RemoveProcessTempFolder(); }  // the shared folder is under test here
  void TearDown() override { test::ResetAllState(); }
  test::TempDir dir;
  test::ScopedEnv tmpdir{"TMPDIR", dir.str()};
};

TEST_F(TempFolder, CreatedPrivateAndReused) {
  ASSERT_EQ(CreateTempFolder(), kNoError);
  std::string expected = dir / ("Tessivar temp-" + std::to_string(getuid()));
  EXPECT_EQ(platform.tempFolder, expected);
  struct stat info;
  ASSERT_EQ(::stat(expected.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(CreateTempFolder(), kNoError);  // already there
}

TEST_F(TempFolder, RefusesALinkPlantedInItsPlace) {
  test::TempDir elsewhere;
  std::string name = dir / ("Tessivar temp-" + std::to_string(getuid()));
  std::filesystem::create_directory_symlink(elsewhere.path, name);
  EXPECT_EQ(CreateTempFolder(), kWriteError);
  EXPECT_TRUE(platform.tempFolder.empty());
}

TEST_F(TempFolder, ScratchFilesHaveTheirNamesAndTypes) {
  ASSERT_EQ(CreateTempFolder(), kNoError);
  struct Case {
    ScratchFile kind;
    int slot;
    const char* name;
    uint32_t type;
  };
  const Case cases[] = {
      {ScratchFile::MorphKeyframe, 0, "MorphKF0", FourCC("MKFF")},
      {ScratchFile::MorphKeyframe, 7, "MorphKF7", FourCC("MKFF")},
      {ScratchFile::MorphObject, 0, "MorphObject", FourCC("RSRC")},
      {ScratchFile::Strips, 0, "Strips", FourCC("RSRC")},
      {ScratchFile::SavedMetaBalls, 0, "SavedMetaBalls", FourCC("RSRC")},
      {ScratchFile::MetaBallsRec, 0, "MetaBallsRec", FourCC("RSRC")},
      {ScratchFile::MetaBodyVertices, 0, "MetaBodyVertices", FourCC("RSRC")},
      {ScratchFile::MetaBodyTriangles, 0, "MetaBodyTriangles", FourCC("RSRC")},
      {ScratchFile::TaskSteps, 0, "TaskSteps", FourCC("TSKS")},
      {ScratchFile::TaskStepsSession, 0, "TaskStepsSession", FourCC("TSKS")},
      {ScratchFile::TaskStepsNew, 0, "TaskStepsNew", FourCC("TSKS")},
  };
  for (const Case& c : cases) {
    FileSpec spec = MakeTempFileSpec(c.kind, c.slot);
    EXPECT_EQ(PathOfSpec(spec), platform.tempFolder + "/" + c.name);
    EXPECT_EQ(spec.typeCount, 1);
    EXPECT_EQ(spec.fileTypes[0], c.type) << c.name;
  }
}

// A process folder: private, beside the shared one under its own name, taken over the shared one,
// and removed with its scratch files.
TEST_F(TempFolder, AProcessFolderIsItsOwnAndGoesWithItsFiles) {
  ASSERT_EQ(CreateProcessTempFolder(), kNoError);
  const std::string folder = platform.tempFolder;
  const std::string shared = dir / ("Tessivar temp-" + std::to_string(getuid()));
  EXPECT_EQ(folder.rfind(shared + ".", 0), 0u) << folder;
  struct stat info;
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  platform.tempFolder.clear();
  ASSERT_EQ(CreateTempFolder(), kNoError);
  EXPECT_EQ(platform.tempFolder, folder);
  EXPECT_EQ(PathOfSpec(MakeTempFileSpec(ScratchFile::MorphKeyframe, 3)), folder + "/MorphKF3");
  { std::ofstream(folder + "/MorphKF3") << "key"; }
  RemoveProcessTempFolder();
  EXPECT_NE(::stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(platform.tempFolder.empty());
  ASSERT_EQ(CreateTempFolder(), kNoError);
  EXPECT_EQ(platform.tempFolder, shared);  // back to the shared one
}

TEST(PrefsLocation, FollowsXdgConfigHomeElseHome) {
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(PathOfSpec(MakePrefsFileSpec()), "/cfg/Tessivar/Tessivar 1.0 Prefs");
    EXPECT_EQ(MakePrefsFileSpec().fileTypes[0], FourCC("RSRC"));
  }
  test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  test::ScopedEnv home("HOME", "/home/ann");
  EXPECT_EQ(PathOfSpec(MakePrefsFileSpec()), "/home/ann/.config/Tessivar/Tessivar 1.0 Prefs");
}

}  // namespace
}  // namespace tsv
