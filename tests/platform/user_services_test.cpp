// The user services: file dialogs' bookkeeping, colours and the progress box.
#include <gtest/gtest.h>

#include "platform/platform_state.h"
#include "platform/progress.h"
#include "platform/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class Dialogs : public testing::Test {
 protected:
  void TearDown() override { test::ResetAllState(); }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(Dialogs, OpenSetsTheNameTypeFolderAndFilter) {
  test::WriteFileText(dir / "scene.obj", "v 0 0 0\n");
  FileSpec spec;
  spec.typeCount = 3;
  spec.fileTypes[0] = FourCC("CMF ");
  spec.fileTypes[1] = FourCC("WAVF");
  spec.fileTypes[2] = FourCC("TEXT");
  services.openAnswers.push_back(FileChoice{dir / "scene.obj", 2});
  int filter = 0;
  ASSERT_EQ(AskOpenFile(spec, &filter), kNoError);
  EXPECT_EQ(filter, 2);
  EXPECT_EQ(PathOfSpec(spec), dir / "scene.obj");
  EXPECT_EQ(spec.fileTypes[0], FourCC("WAVF"));
  EXPECT_EQ(platform.rememberedFolder, dir.str());
  EXPECT_EQ(platform.chosenFilterType, FourCC("WAVF"));
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].types.size(), 3u);

  // The next dialog opens where the last one ended.
  services.openAnswers.push_back(std::nullopt);
  FileSpec unchanged = spec;
  EXPECT_EQ(AskOpenFile(spec), kCancelled);
  EXPECT_EQ(services.fileRequests[1].folder, dir.str());
  EXPECT_TRUE(SameCountedString(spec.name, unchanged.name));
}

TEST_F(Dialogs, OpenRefusesAFileThatIsNotThere) {
  FileSpec spec;
  services.openAnswers.push_back(FileChoice{dir / "gone.cmf", 1});
  EXPECT_EQ(AskOpenFile(spec), kFileNotFound);
  EXPECT_FALSE(IsFileSpecSet(spec));
}

TEST_F(Dialogs, SaveAddsTheFilterExtensionAndCreatesNothing) {
  FileSpec spec;
  MakeFileSpec(spec, 0, 0, TextToCountedString("Untitled.cmf"), FourCC("CMF "));
  spec.typeCount = 2;
  spec.fileTypes[1] = FourCC("STUD");
  services.saveAnswers.push_back(FileChoice{dir / "Rock", 2});
  ASSERT_EQ(AskSaveFile(spec), kNoError);
  EXPECT_EQ(PathOfSpec(spec), dir / "Rock.3ds");
  EXPECT_EQ(spec.fileTypes[0], FourCC("STUD"));
  // The file comes into being only when a save writes it whole.
  EXPECT_FALSE(std::filesystem::exists(dir / "Rock.3ds"));
  EXPECT_EQ(services.fileRequests[0].proposedName, "Untitled.cmf");

  services.saveAnswers.push_back(std::nullopt);
  FileSpec before = spec;
  EXPECT_EQ(AskSaveFile(spec), kCancelled);
  EXPECT_TRUE(SameCountedString(spec.name, before.name));
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());
}

TEST_F(Dialogs, ColourChoicesKeepTheHighByte) {
  services.colorAnswers.push_back(Rgb16{0x12FF, 0x0080, 0xFFFF});
  Rgb16 chosen;
  ASSERT_TRUE(AskColor(Rgb16{}, chosen));
  EXPECT_EQ(chosen.red, 0x1200);
  EXPECT_EQ(chosen.green, 0x0000);
  EXPECT_EQ(chosen.blue, 0xFF00);
  EXPECT_FALSE(AskColor(Rgb16{}, chosen));
}

TEST_F(Dialogs, MessageBoxAnswersAndTexts) {
  services.messageAnswers = {true, false};
  EXPECT_TRUE(AskMessage("Warning: one?"));
  EXPECT_FALSE(AskMessage("Warning: two?"));
  EXPECT_FALSE(AskMessage("Warning: three?"));  // no answer queued: Cancel
  ShowAlert("Error: Leave Tessivar now.");
  EXPECT_EQ(services.Texts(ShownKind::Message).size(), 3u);
  EXPECT_EQ(services.Texts(ShownKind::Alert), std::vector<std::string>{"Error: Leave Tessivar now."});
}

TEST(Progress, BoxPlacement) {
  EXPECT_EQ(ProgressBoxRect(1024, 768, -1).left, 412);
  EXPECT_EQ(ProgressBoxRect(1024, 768, -1).top, 349);
  EXPECT_EQ(ProgressBoxRect(1024, 768, -2, 30).top, 40);
  EXPECT_EQ(ProgressBoxRect(1024, 768, 123).top, 123);
  EXPECT_EQ(ProgressBoxRect(800, 600, 0).width, 200);
  EXPECT_EQ(ProgressBoxRect(800, 600, 0).height, 70);
}

TEST(Progress, DrawsTextBarAndRestoresTheScreen) {
  ScriptedServices services;
  const Canvas before = services.screen;
  ShowProgress("Saving object...", -1);
  const Rect box = ProgressBoxRect(1024, 768, -1);
  const uint32_t frame = PixelAt(services.screen, box.left + 35, box.top + 39);
  EXPECT_EQ(PixelAt(services.screen, box.left + 165, box.top + 51), frame);
  const uint32_t empty = PixelAt(services.screen, box.left + 100, box.top + 45);
  EXPECT_NE(empty, frame);

  // Text: some pixels of the text rows are white, some black (the shadow).
  bool white = false, black = false;
  for (int y = box.top + 20; y < box.top + 36; ++y) {
    for (int x = box.left + 10; x < box.left + 120; ++x) {
      white |= PixelAt(services.screen, x, y) == Rgb(255, 255, 255);
      black |= PixelAt(services.screen, x, y) == Rgb(0, 0, 0);
    }
  }
  EXPECT_TRUE(white);
  EXPECT_TRUE(black);

  AdvanceProgress(64, -1);
  const uint32_t filled = PixelAt(services.screen, box.left + 36, box.top + 40);
  EXPECT_NE(filled, empty);
  EXPECT_EQ(PixelAt(services.screen, box.left + 100, box.top + 50), filled);
  EXPECT_EQ(PixelAt(services.screen, box.left + 101, box.top + 45), empty);
  EXPECT_EQ(PixelAt(services.screen, box.left + 100, box.top + 51), frame);
  AdvanceProgress(500, -1);  // clamped to the end of the bar
  EXPECT_EQ(PixelAt(services.screen, box.left + 164, box.top + 45), filled);
  EXPECT_EQ(services.progressValues, (std::vector<int>{64, 128}));
  EXPECT_EQ(services.Texts(ShownKind::Progress), std::vector<std::string>{"Saving object..."});

  HideProgress();
  EXPECT_EQ(services.screen.pixels, before.pixels);
}

}  // namespace
}  // namespace tsv
