// The user services: file dialogs' bookkeeping and remembered folders, the questions, colours and
// the progress box.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform_state.h"
#include "platform/progress.h"
#include "platform/scripted_services.h"
#include "platform/sdl_services.h"
#include "platform/settings.h"
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

TEST_F(Dialogs, ThreeAnswerQuestionsGiveTheIndexAndCancelOtherwise) {
  const std::vector<std::string> answers = {"Save", "Don't Save", "Cancel"};
  services.choiceAnswers = {1, 7, -1};
  EXPECT_EQ(AskChoice("Save first?", answers), 1);
  EXPECT_EQ(AskChoice("Save first?", answers), 2) << "an answer that is not one of them is Cancel";
  EXPECT_EQ(AskChoice("Save first?", answers), 2);
  EXPECT_EQ(AskChoice("Save first?", answers), 2) << "no answer queued: Cancel";
  EXPECT_EQ(services.Texts(ShownKind::Choice).size(), 4u);
  EXPECT_EQ(services.choicesOffered.back(), answers);
  ConsoleServices console;  // batch commands: the text on standard error, and Cancel
  EXPECT_EQ(console.AskChoice("Save first?", answers), 2);
}

// Until the interface installs its boxes the window's services still answer (Cancel) and clean up;
// once installed, each service asks its own box.
TEST(WindowServices, BoxesGoThroughTheInstalledFunction) {
  SdlServices window;
  int cleanUps = 0;
  window.afterModal = [&cleanUps] { ++cleanUps; };
  EXPECT_FALSE(window.AskMessage("Warning: Go on?"));
  EXPECT_EQ(window.AskChoice("Save first?", {"Save", "Don't Save", "Cancel"}), 2);
  window.ShowAlert("Error: Leave Tessivar now.");
  EXPECT_EQ(cleanUps, 3);

  std::vector<MessageRequest> asked;
  std::deque<int> answers = {0, 1, 0, 0, 1};
  window.messageBox = [&](const MessageRequest& request) {
    asked.push_back(request);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  };
  EXPECT_TRUE(window.AskMessage("Warning: Go on?"));
  EXPECT_FALSE(window.AskMessage("Warning: Go on?"));
  window.ShowStopMessage("Error: File error has occured.");
  window.ShowAlert("Error: Leave Tessivar now.");
  EXPECT_EQ(window.AskChoice("Save first?", {"Save", "Don't Save", "Cancel"}), 1);
  EXPECT_EQ(cleanUps, 8);
  ASSERT_EQ(asked.size(), 5u);
  struct Expected {
    MessageMark mark;
    const char* title;
    std::vector<std::string> buttons;
    int cancel;
  };
  const Expected expected[] = {
      {MessageMark::Caution, "Message", {"OK", "Cancel"}, 1},
      {MessageMark::Caution, "Message", {"OK", "Cancel"}, 1},
      {MessageMark::Stop, "Tessivar 1.0", {"OK"}, 0},
      {MessageMark::Caution, "Alert", {"OK"}, 0},
      {MessageMark::Caution, "Message", {"Save", "Don't Save", "Cancel"}, 2},
  };
  for (size_t k = 0; k < asked.size(); ++k) {
    EXPECT_EQ(asked[k].mark, expected[k].mark) << k;
    EXPECT_EQ(asked[k].title, expected[k].title) << k;
    EXPECT_EQ(asked[k].buttons, expected[k].buttons) << k;
    EXPECT_EQ(asked[k].defaultButton, 0) << k;
    EXPECT_EQ(asked[k].cancelButton, expected[k].cancel) << k;
  }
  EXPECT_EQ(asked[2].text, "Error: File error has occured.");
}

// Each kind of file dialog starts where it was last used, also after the program started again;
// a folder the caller gives (a project's Objects folder) comes first, and a remembered folder that
// is gone gives way to this run's.
TEST_F(Dialogs, EachKindOfDialogRemembersItsFolderAcrossStarts) {
  test::TempDir config;
  test::ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  for (const char* folder : {"objects", "pictures", "project/Objects", "gone"}) std::filesystem::create_directories(dir / folder);
  test::WriteFileText(dir / "objects/rock.cmf", "");
  test::WriteFileText(dir / "pictures/wood.png", "");
  auto specOf = [](uint32_t type, const char* name = "") {
    FileSpec spec;
    MakeFileSpec(spec, 0, 0, TextToCountedString(name), type);
    return spec;
  };
  FileSpec spec = specOf(FourCC("CMF "));
  services.openAnswers.push_back(FileChoice{dir / "objects/rock.cmf", 1});
  ASSERT_EQ(AskOpenFile(spec), kNoError);
  spec = specOf(FourCC("PNGf"));
  services.openAnswers.push_back(FileChoice{dir / "pictures/wood.png", 1});
  ASSERT_EQ(AskOpenFile(spec), kNoError);
  spec = specOf(FourCC("CMO "), "shiny.cmo");
  services.saveAnswers.push_back(FileChoice{dir / "gone/shiny", 1});
  ASSERT_EQ(AskSaveFile(spec), kNoError);
  EXPECT_EQ(FileDialogKind(specOf(FourCC("CMF ")), false), "open-object");
  EXPECT_EQ(FileDialogKind(specOf(FourCC("JPEG")), true), "save-picture");
  ASSERT_EQ(WriteSettings(), kNoError);

  // The next start.
  test::ResetAllState();
  std::filesystem::remove_all(dir / "gone");
  platform.startDirectory = dir.str();
  ReadSettings();
  services.fileRequests.clear();
  spec = specOf(FourCC("CMF "));
  EXPECT_EQ(AskOpenFile(spec), kCancelled);
  spec = specOf(FourCC("JPEG"));  // another picture type: the same kind
  EXPECT_EQ(AskOpenFile(spec), kCancelled);
  spec = specOf(FourCC("CMO "), "shiny.cmo");
  EXPECT_EQ(AskSaveFile(spec), kCancelled);
  spec = specOf(FourCC("CMF "), "Rock.cmf");
  EXPECT_EQ(AskSaveFile(spec, nullptr, {}, dir / "project/Objects"), kCancelled);
  ASSERT_EQ(services.fileRequests.size(), 4u);
  EXPECT_EQ(services.fileRequests[0].folder, dir / "objects");
  EXPECT_EQ(services.fileRequests[1].folder, dir / "pictures");
  EXPECT_EQ(services.fileRequests[2].folder, dir.str()) << "its folder is gone: the start folder";
  EXPECT_EQ(services.fileRequests[3].folder, dir / "project/Objects");
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
