// The open and save dialogs driven by queued input: the filter list, what a folder lists, going
// into folders and back, open accepting only existing files, save asking before a file is
// replaced, and the preview pane of object files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/fonts.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "platform/sdl_services.h"
#include "platform/window.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/preview_file.h"
#include "scene/scene_state.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

constexpr uint32_t kDxf = FourCC("TEXT");
constexpr uint32_t k3ds = FourCC("STUD");
constexpr uint32_t kObj = FourCC("WAVF");
constexpr uint32_t kCmf = FourCC("CMF ");

class FileDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    char pattern[] = "/tmp/tsv-file-dialog-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::filesystem::remove_all(root);
    DialogFixture::TearDown();
  }

  std::string Path(const std::string& name) const { return root + "/" + name; }
  void Touch(const std::string& name) { std::ofstream(Path(name)) << "x"; }
  void Folder(const std::string& name) { std::filesystem::create_directories(Path(name)); }
  FileDialogRequest Request(std::vector<uint32_t> types, std::string proposed = {}) const {
    return {std::move(types), std::move(proposed), root, {}, {}};
  }

  // Runs a chooser over the queued input, keeping every dialog it showed.
  bool Run(bool save, const FileDialogRequest& request, FileChoice& choice) {
    dialogState.observer = [this](const Canvas&, const Dialog& d) { frames.push_back(d); };
    bool chosen = save ? ChooseFileToSave(request, choice) : ChooseFileToOpen(request, choice);
    dialogState.observer = nullptr;
    return chosen;
  }
  // The dialog as it first appears, for aiming at its items.
  Dialog Shown(bool save, const FileDialogRequest& request) {
    FileChoice ignored;
    frames.clear();
    EXPECT_FALSE(Run(save, request, ignored));
    Dialog first = frames.front();
    frames.clear();
    return first;
  }
  static const DialogItem& Item(const Dialog& d, int id) { return d.items[size_t(FindDialogItem(d, id))]; }
  static Rect On(const Dialog& d, int id) { return ItemOnScreen(d, FindDialogItem(d, id)); }
  // Row `row` of a list whose first row is shown at its top.
  static Rect RowOn(const Dialog& d, int id, int row) {
    Rect list = On(d, id);
    return {list.left + 1, list.top + 1 + row * kListRowHeight, 60, kListRowHeight};
  }
  void TypeName(const Dialog& d, std::string_view text) {
    QueueClickOn(On(d, kFileItemName));
    QueueKey('a', kControlBit);
    QueueText(text);
  }
  // The distinct texts one item showed, in order.
  std::vector<std::string> Trail(int id) const {
    std::vector<std::string> texts;
    for (const Dialog& d : frames) {
      const std::string& text = Item(d, id).text;
      if (texts.empty() || texts.back() != text) texts.push_back(text);
    }
    return texts;
  }

  ScriptedServices services;
  std::string root;
  std::vector<Dialog> frames;
};

TEST_F(FileDialogTest, FilterListHasOneEntryPerTypeThenAllFormatsAndAllFiles) {
  const FileDialogRequest request = Request({kDxf, k3ds, kObj});
  EXPECT_EQ(FileFilterEntries(request),
            (std::vector<std::string>{"Autocad DXF (*.dxf)", "3D Studio 3DS (*.3ds)", "Wavefront OBJ (*.obj)",
                                      "All formats", "All files (*.*)"}));
  struct Case {
    int filter;
    const char* name;
    bool listed;
  } cases[] = {
      {1, "Rock.dxf", true}, {1, "ROCK.DXF", true}, {1, "Rock.3ds", false}, {1, "dxf", false},
      {2, "Rock.3ds", true}, {4, "Rock.obj", true}, {4, "Rock.txt", false}, {5, "Rock.txt", true},
  };
  for (const Case& c : cases) EXPECT_EQ(FileMatchesFilter(request, c.filter, c.name), c.listed) << c.filter << c.name;

  // Opening several types starts on "All formats"; saving starts on the first type.
  EXPECT_EQ(Item(Shown(false, request), kFileItemFilter).selected, 3);
  EXPECT_EQ(Item(Shown(true, request), kFileItemFilter).selected, 0);
  EXPECT_EQ(Item(Shown(false, Request({kDxf})), kFileItemFilter).selected, 0);
}

TEST_F(FileDialogTest, FoldersComeFirstSortedWithoutCaseAndHiddenOrSpecialFilesAreLeftOut) {
  for (const char* folder : {"beta", "Alpha", ".cache"}) Folder(folder);
  for (const char* file : {"b.dxf", "A.DXF", "c.obj", ".secret.dxf", "notes.txt", "b10.dxf", "b9.dxf"}) Touch(file);
  ASSERT_EQ(::mkfifo(Path("pipe.dxf").c_str(), 0600), 0);
  const FileDialogRequest request = Request({kDxf, kObj});

  FolderListing all = ListFolder(root, request, 3);
  EXPECT_EQ(all.folders, (std::vector<std::string>{"Alpha", "beta"}));
  EXPECT_EQ(all.files, (std::vector<std::string>{"A.DXF", "b.dxf", "b9.dxf", "b10.dxf", "c.obj"}));
  EXPECT_TRUE(all.error.empty());
  EXPECT_EQ(ListFolder(root, request, 1).files, (std::vector<std::string>{"A.DXF", "b.dxf", "b9.dxf", "b10.dxf"}));
  EXPECT_EQ(ListFolder(root, request, 4).files,
            (std::vector<std::string>{"A.DXF", "b.dxf", "b9.dxf", "b10.dxf", "c.obj", "notes.txt"}));
  EXPECT_EQ(Item(Shown(false, request), kFileItemList).entries,
            (std::vector<std::string>{"Alpha/", "beta/", "A.DXF", "b.dxf", "b9.dxf", "b10.dxf", "c.obj"}));

  FolderListing broken = ListFolder(Path("b.dxf"), request, 3);
  EXPECT_FALSE(broken.error.empty());
  EXPECT_TRUE(broken.folders.empty() && broken.files.empty());
}

TEST_F(FileDialogTest, GoesIntoFoldersAndBackToTheParent) {
  Folder("Sub");
  Touch("Sub/inner.dxf");
  Touch("top.dxf");
  const FileDialogRequest request = Request({kDxf});
  const Dialog d = Shown(false, request);
  QueueClickOn(RowOn(d, kFileItemList, 0));  // a double-click on "Sub/" goes in
  QueueClickOn(RowOn(d, kFileItemList, 0));
  QueueClickOn(On(d, kFileItemUp));          // and "Up" comes back
  QueueClickOn(RowOn(d, kFileItemList, 0));  // choosing "Sub/" and Return goes in again
  QueueKey(kCharReturn);
  QueueClickOn(RowOn(d, kFileItemList, 0));  // "inner.dxf"
  QueueKey(kCharReturn);
  FileChoice choice;
  ASSERT_TRUE(Run(false, request, choice));
  EXPECT_EQ(choice.path, Path("Sub/inner.dxf"));
  EXPECT_EQ(choice.filterIndex, 1);
  EXPECT_EQ(Trail(kFileItemFolder), (std::vector<std::string>{root, Path("Sub"), root, Path("Sub")}));
}

TEST_F(FileDialogTest, AFolderThatCannotBeReadShowsAnErrorLine) {
  Folder("gone");
  const FileDialogRequest request = Request({kDxf});
  const Dialog d = Shown(false, request);
  QueueClickOn(RowOn(d, kFileItemList, 0));
  QueueKey(kCharReturn);
  // The folder disappears between being listed and being opened.
  dialogState.observer = [this](const Canvas&, const Dialog& shown) {
    std::filesystem::remove_all(Path("gone"));
    frames.push_back(shown);
  };
  FileChoice choice;
  EXPECT_FALSE(ChooseFileToOpen(request, choice));
  EXPECT_EQ(Item(frames.back(), kFileItemMessage).text, "Can't read this folder: No such file or directory");
  EXPECT_TRUE(Item(frames.back(), kFileItemList).entries.empty());
}

TEST_F(FileDialogTest, OpenRefusesAMissingFileAndGoesToATypedFolder) {
  Touch("rock.dxf");
  Folder("Sub");
  Touch("Sub/deep.dxf");
  const FileDialogRequest request = Request({kDxf});
  const Dialog d = Shown(false, request);
  TypeName(d, "missing.dxf");
  QueueKey(kCharReturn);
  TypeName(d, "Sub");
  QueueKey(kCharReturn);
  TypeName(d, "deep.dxf");
  QueueKey(kCharReturn);
  FileChoice choice;
  ASSERT_TRUE(Run(false, request, choice));
  EXPECT_EQ(choice.path, Path("Sub/deep.dxf"));
  std::vector<std::string> messages = Trail(kFileItemMessage);
  EXPECT_NE(std::find(messages.begin(), messages.end(), "Can't find missing.dxf."), messages.end());

  // An existing file is taken as it is, by its name or by its path.
  frames.clear();
  TypeName(d, Path("rock.dxf"));
  QueueKey(kCharReturn);
  ASSERT_TRUE(Run(false, request, choice));
  EXPECT_EQ(choice.path, Path("rock.dxf"));
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(FileDialogTest, SaveAddsTheFilterExtensionAndAsksBeforeReplacing) {
  Touch("Rock.obj");
  const FileDialogRequest request = Request({kDxf, kObj}, "Rock.dxf");
  const Dialog d = Shown(true, request);
  EXPECT_EQ(Item(d, kFileItemName).text, "Rock.dxf");
  const std::string question = "Rock.obj already exists. Do you want to replace it?";
  struct Case {
    const char* name;
    std::function<void()> script;
    std::vector<bool> answers;
    bool chosen;
    std::string path;
    int filter;
    std::vector<std::string> asked;
  } cases[] = {
      // Choosing OBJ renames the proposed file; the existing one is replaced only after a yes.
      {"replace", [&] { QueueClickOn(RowOn(d, kFileItemFilter, 1)); QueueKey(kCharReturn); }, {true}, true,
       Path("Rock.obj"), 2, {question}},
      {"keep", [&] { QueueClickOn(RowOn(d, kFileItemFilter, 1)); QueueKey(kCharReturn); QueueEscape(); }, {false},
       false, "", 0, {question}},
      {"new name", [&] { TypeName(d, "Model"); QueueKey(kCharReturn); }, {}, true, Path("Model.dxf"), 1, {}},
      {"typed extension", [&] { QueueClickOn(RowOn(d, kFileItemFilter, 1)); TypeName(d, "rock.OBJ"); QueueKey(kCharReturn); },
       {false}, false, "", 0, {"rock.OBJ already exists. Do you want to replace it?"}},
  };
  Touch("rock.OBJ");
  for (const Case& c : cases) {
    services.shown.clear();
    services.messageAnswers.assign(c.answers.begin(), c.answers.end());
    c.script();
    FileChoice choice;
    EXPECT_EQ(Run(true, request, choice), c.chosen) << c.name;
    if (c.chosen) {
      EXPECT_EQ(choice.path, c.path) << c.name;
      EXPECT_EQ(choice.filterIndex, c.filter) << c.name;
    }
    EXPECT_EQ(services.Texts(ShownKind::Message), c.asked) << c.name;
    ResetInput();
  }
}

// With the window's own boxes the question before replacing a file is drawn over the save dialog,
// which stays on the screen behind it, stays open after Cancel (Escape) and ends after OK (Return).
TEST_F(FileDialogTest, TheReplaceQuestionIsDrawnOverTheSaveDialog) {
  Touch("Rock.dxf");
  const FileDialogRequest request = Request({kDxf}, "Rock.dxf");
  const Dialog d = Shown(true, request);
  const Rect window = DialogWindowRect(d, mainWindow.frame.width, mainWindow.frame.height);
  SdlServices boxes;
  boxes.messageBox = RunMessageBox;
  SetServices(&boxes);
  std::vector<std::string> titles;
  Canvas dialogScreen;
  int boxesOverTheDialog = 0;
  dialogState.observer = [&](const Canvas& screen, const Dialog& shown) {
    if (titles.empty() || titles.back() != shown.title) titles.push_back(shown.title);
    if (shown.title == d.title) {
      dialogScreen = screen;
      return;
    }
    // The save dialog's title bar, above the box, is as the dialog drew it.
    bool same = true;
    const int y = window.top + kWindowTitleHeight / 2;
    for (int x = window.left; x < window.left + window.width - kWindowShadow; ++x) {
      same = same && PixelAt(screen, x, y) == PixelAt(dialogScreen, x, y);
    }
    boxesOverTheDialog += same ? 1 : 0;
  };
  QueueKey(kCharReturn);  // the save dialog's OK: the question
  QueueEscape();          // Cancel: back in the dialog
  QueueKey(kCharReturn);
  QueueKey(kCharReturn);  // OK: the file is to be replaced
  FileChoice choice;
  const bool chosen = ChooseFileToSave(request, choice);
  SetServices(&services);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(choice.path, Path("Rock.dxf"));
  EXPECT_EQ(titles, (std::vector<std::string>{d.title, "Message", d.title, "Message"}));
  EXPECT_GE(boxesOverTheDialog, 2);
}

TEST_F(FileDialogTest, SaveRefusesAPathTheProgramCannotKeep) {
  const FileDialogRequest request = Request({kDxf}, "Rock.dxf");
  const Dialog d = Shown(true, request);
  TypeName(d, "a:b");
  QueueKey(kCharReturn);
  TypeName(d, "nowhere/Rock");
  QueueKey(kCharReturn);
  FileChoice choice;
  EXPECT_FALSE(Run(true, request, choice));
  std::vector<std::string> messages = Trail(kFileItemMessage);
  EXPECT_NE(std::find(messages.begin(), messages.end(),
                      "Tessivar can't keep this path: it may hold at most 255 bytes and no ':'."),
            messages.end());
  EXPECT_NE(std::find(messages.begin(), messages.end(), "There is no folder " + Path("nowhere") + "."), messages.end());
}

class FileDialogPreview : public FileDialogTest {
 protected:
  // The dialog fixture resets the scene and the preferences with everything else.
};

TEST_F(FileDialogPreview, ThePaneShowsTheObjectFilesPreview) {
  std::unique_ptr<SceneObject> object = NewSceneObject(4, 2);
  ASSERT_TRUE(object);
  MutableTopology(*object)->triangles = {{0, 1, 2}, {0, 2, 3}};
  ASSERT_TRUE(BuildCornerLists(*object));
  const std::string description = "Granite from the northern quarry, split along its grain and polished on one side";
  std::copy(description.begin(), description.end(), object->description.begin());
  object->preview[0] = Rgb(10, 20, 30);
  ASSERT_TRUE(SaveObjectToFile(*object, FileSpecForPath(Path("Rock.cmf"), kCmf)));
  Touch("Bare.cmf");  // an object file without a preview file beside it

  const FileDialogRequest request = Request({kCmf}, "Rock.cmf");
  std::vector<Canvas> pictures;
  dialogState.observer = [&](const Canvas&, const Dialog& shown) {
    frames.push_back(shown);
    const DialogItem& picture = Item(shown, kFileItemPreviewPicture);
    pictures.push_back(picture.picture ? *picture.picture : Canvas{});
  };
  Dialog d;
  FileChoice choice;
  ASSERT_FALSE(ChooseFileToOpen(request, choice));
  d = frames.back();
  EXPECT_EQ(Item(d, kFileItemList).entries, (std::vector<std::string>{"Bare.cmf", "Rock.cmf"}));
  EXPECT_EQ(Item(d, kFileItemList).selected, 1) << "the proposed file is chosen";
  EXPECT_EQ(Item(d, kFileItemPreviewType).text, "Synthetic");
  EXPECT_EQ(Item(d, kFileItemPreviewCounts).text, "Points: 4, triangles: 2");
  EXPECT_EQ(Item(d, kFileItemPreviewTexture).text, "Texture: No");
  std::string lines;
  for (int k = 0; k < kPreviewDescriptionLines; ++k) {
    const std::string& line = Item(d, kFileItemPreviewDescription + k).text;
    if (!line.empty()) lines += (lines.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(lines, description);
  EXPECT_NE(Item(d, kFileItemPreviewDescription + 1).text, "") << "wrapped over several lines";
  ASSERT_EQ(pictures.back().width, kPreviewSide);
  EXPECT_EQ(pictures.back().pixels, object->preview);

  // Choosing the file without a preview empties the pane.
  frames.clear();
  pictures.clear();
  QueueClickOn(RowOn(d, kFileItemList, 0));
  ASSERT_FALSE(ChooseFileToOpen(request, choice));
  d = frames.back();
  EXPECT_EQ(Item(d, kFileItemName).text, "Bare.cmf");
  for (int id : {kFileItemPreviewType, kFileItemPreviewCounts, kFileItemPreviewTexture, kFileItemPreviewDescription}) {
    EXPECT_EQ(Item(d, id).text, "") << id;
  }
  EXPECT_EQ(pictures.back().width, 0);

  // Other dialogs have no pane.
  EXPECT_LT(FindDialogItem(Shown(false, Request({kDxf})), kFileItemPreviewPicture), 0);
  EXPECT_LT(FindDialogItem(Shown(true, request), kFileItemPreviewPicture), 0);
}

TEST_F(FileDialogTest, LayoutKeepsEveryItemInsideWithoutOverlaps) {
  const Dialog d = Shown(false, Request({kCmf}));
  Rect window = DialogWindowRect(d, 800, 600);
  EXPECT_LE(window.width, 800);
  EXPECT_LE(window.height, 600);
  for (size_t i = 0; i < d.items.size(); ++i) {
    const Rect a = d.items[i].rect;
    EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.left + a.width <= d.width && a.top + a.height <= d.height) << i;
    for (size_t j = i + 1; j < d.items.size(); ++j) {
      if (d.items[i].kind == DialogItemKind::Group || d.items[j].kind == DialogItemKind::Group) continue;
      const Rect overlap = IntersectRects(a, d.items[j].rect);
      EXPECT_FALSE(overlap.width > 0 && overlap.height > 0) << i << " and " << j;
    }
  }
}

}  // namespace
}  // namespace tsv
