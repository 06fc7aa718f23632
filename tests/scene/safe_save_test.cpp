// Saves into targets that are not plain files: devices, pipes, folders, links; the quiet preview;
// and the object the save dialog shows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>

#include "scene/object_file.h"
#include "scene/safe_save.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

constexpr const char* kFileError = "Error: File error has occured.";

class SafeSaveTargets : public test::NativeFilesFixture {};

bool IsCharacterDevice(const char* path) {
  struct stat info;
  return ::lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

TEST_F(SafeSaveTargets, APipeIsWrittenInPlaceAndStaysAPipe) {
  auto object = test::MakeSquare("Rock");
  const std::string pipe = Path("out.cmf");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(pipe, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  });
  const bool saved = SaveObjectToFile(*object, Spec(pipe, kObjectFileType));
  reader.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(received.substr(0, 4), "HEAD");
  EXPECT_EQ(received.substr(received.size() - 8, 4), "END ");
  struct stat info;
  ASSERT_EQ(::lstat(pipe.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_TRUE(Stops().empty());
  // Nothing is made beside a device or pipe: no preview, no temporary.
  EXPECT_FALSE(Exists(Path("out.cif")));
  EXPECT_EQ(HiddenFiles(dir.str()), std::vector<std::string>{});
}

TEST_F(SafeSaveTargets, DevicesAreWrittenInPlaceAndAFullOneFails) {
  auto object = test::MakeSquare("Rock");
  // Through a link, as a user would name an output file.
  std::filesystem::create_symlink("/dev/null", Path("null.cmf"));
  std::filesystem::create_symlink("/dev/full", Path("full.cmf"));
  EXPECT_TRUE(SaveObjectToFile(*object, Spec(Path("null.cmf"), kObjectFileType)));
  EXPECT_TRUE(Stops().empty());
  EXPECT_TRUE(IsCharacterDevice("/dev/null"));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("null.cmf")));

  EXPECT_FALSE(SaveObjectToFile(*object, Spec(Path("full.cmf"), kObjectFileType)));
  EXPECT_EQ(Stops(), std::vector<std::string>{kFileError});
  EXPECT_TRUE(IsCharacterDevice("/dev/full"));
  EXPECT_FALSE(IsFileSpecSet(object->fileSpec));
}

TEST_F(SafeSaveTargets, AFolderIsRefusedByName) {
  auto object = test::MakeSquare("Rock");
  std::filesystem::create_directories(Path("Rock.cmf"));
  EXPECT_FALSE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
  ASSERT_EQ(Stops().size(), 1u);
  EXPECT_NE(Stops()[0].find(Path("Rock.cmf")), std::string::npos) << Stops()[0];
  EXPECT_TRUE(std::filesystem::is_directory(Path("Rock.cmf")));
  EXPECT_EQ(HiddenFiles(dir.str()), std::vector<std::string>{});
}

TEST_F(SafeSaveTargets, APreviewThatCannotBeWrittenIsPassedOverInSilence) {
  auto object = test::MakeSquare("Rock");
  std::filesystem::create_directories(Path("Rock.cif"));
  EXPECT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
  EXPECT_TRUE(Stops().empty());
  EXPECT_TRUE(Alerts().empty());
  EXPECT_TRUE(std::filesystem::is_directory(Path("Rock.cif")));
  EXPECT_EQ(HiddenFiles(dir.str()), std::vector<std::string>{});
}

// A point driven to infinity (or made NaN) by the tools is saved where the reader takes it back.
TEST_F(SafeSaveTargets, PointsThatAreNotNumbersAreSavedSoTheFileOpensAgain) {
  auto object = test::MakeSquare("Rock");
  object->points[1] = {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN()};
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
  auto reopened = ReadObjectFile(Spec(Path("Rock.cmf"), kObjectFileType));
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->points[1].x, std::numeric_limits<float>::max());
  EXPECT_EQ(reopened->points[1].y, -std::numeric_limits<float>::max());
  EXPECT_EQ(reopened->points[1].z, 0.0f);
  EXPECT_EQ(reopened->points[2].x, 1.0f);
}

TEST_F(SafeSaveTargets, TheSaveDialogOfOneObjectShowsThatObject) {
  auto object = NewOrganicSceneObject();
  ASSERT_TRUE(object);
  object->description[0] = 'x';
  services.saveAnswers.push_back(std::nullopt);
  EXPECT_FALSE(SaveObjectAs(*object));
  ASSERT_EQ(services.fileRequests.size(), 1u);
  const PreviewPane& pane = services.fileRequests[0].objectPreview;
  EXPECT_TRUE(pane.available);
  EXPECT_EQ(pane.typeText, "Organic");
  EXPECT_EQ(pane.pointCountText, "8194");
  EXPECT_EQ(pane.description, "x");
  EXPECT_EQ(pane.pixels, object->preview);
}

}  // namespace
}  // namespace tsv
