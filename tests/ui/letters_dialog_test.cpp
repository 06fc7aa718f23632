// The letters dialog: readable and complete, its items read back into the settings, the depth
// divisions greyed for flat letters, the preview following the text and the style; the command
// makes a current object of the letters, and none when the table is full or the text is empty.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "letters/letters.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/letters_dialog.h"

namespace tsv {
namespace {

class LettersDialog : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    ASSERT_TRUE(InitScene());
  }
  ScriptedServices services;
};

DialogItem* Find(Dialog& dialog, DialogItemKind kind, const std::string& text = {}) {
  for (DialogItem& item : dialog.items)
    if (item.kind == kind && (text.empty() || item.text == text)) return &item;
  return nullptr;
}

TEST_F(LettersDialog, ReadableCompleteAndReadBack) {
  const std::vector<std::string> families = LetterFontFamilies();
  ASSERT_FALSE(families.empty());
  LetterSettings settings;
  Canvas preview;
  Dialog dialog = MakeLettersDialog(settings, families, preview);
  EXPECT_EQ(dialog.title, "Lettrino");
  test::ExpectReadableDialog(dialog);

  // The defaults come back as they went in; the family shown is DejaVu Sans.
  LetterSettings read;
  ReadLettersDialog(dialog, families, read);
  EXPECT_EQ(read.text, "Text");
  EXPECT_EQ(read.family, kDefaultLetterFamily);
  EXPECT_TRUE(read.threeD && read.scaleToFit && !read.bold && !read.filled);
  EXPECT_EQ(read.segments, 4);
  EXPECT_EQ(read.depthDivisions, 4);

  // Flat letters grey the depth divisions; the preview follows the style.
  const std::vector<uint32_t> before = preview.pixels;
  DialogItem* mode = nullptr;
  for (DialogItem& item : dialog.items)
    if (item.kind == DialogItemKind::RadioGroup && item.entries.size() == 2) mode = &item;
  ASSERT_NE(mode, nullptr);
  mode->selected = 0;
  Find(dialog, DialogItemKind::CheckBox, "Bold")->checked = true;
  DialogItem* segments = nullptr;
  for (DialogItem& item : dialog.items)
    if (item.kind == DialogItemKind::RadioGroup && item.entries.size() == 7 && segments == nullptr) segments = &item;
  segments->selected = 6;
  dialog.onChange(dialog, 0);
  int greyed = 0;
  for (const DialogItem& item : dialog.items) greyed += item.kind == DialogItemKind::RadioGroup && !item.enabled ? 1 : 0;
  EXPECT_EQ(greyed, 1);
  EXPECT_NE(preview.pixels, before);
  ReadLettersDialog(dialog, families, read);
  EXPECT_TRUE(read.bold);
  EXPECT_FALSE(read.threeD);
  EXPECT_EQ(read.segments, 64);
}

TEST_F(LettersDialog, TheCommandMakesACurrentObjectOrNone) {
  // A full table refuses before the dialog opens.
  for (int slot = 0; slot < kObjectSlotCount; ++slot) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  (void)NewLettersFromDialog();
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{GetString(kErrNoEmptySpace)});
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);

  // OK with "io" in flat letters: one new current object, two parts.
  CurrentLetterSettings().text = "io";
  CurrentLetterSettings().threeD = false;
  QueueKey(kCharReturn);
  (void)NewLettersFromDialog();
  ASSERT_NE(scene.currentObject, nullptr);
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_GT(scene.currentObject->triangleCount, 0);
  EXPECT_FALSE(scene.currentObject->hierarchy.empty());

  // Cancel makes nothing.
  QueueEscape();
  (void)NewLettersFromDialog();
  EXPECT_EQ(ObjectCount(), 1);
}

}  // namespace
}  // namespace tsv
