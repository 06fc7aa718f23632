// The object and project information dialogs: the texts they show for a record, and the edited
// name and description reaching the record (within the sizes it has) only through OK.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/fonts.h"
#include "platform/window.h"
#include "scene/native_files.h"
#include "scene/project.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/info_dialogs.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class InfoDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    object.name = TextToCountedString("Rock");
    std::strcpy(object.description.data(), "Grey stone");
    object.pointCount = 8194;
    object.triangleCount = 16384;
    object.isOrganic = object.isFastSynthetic = 1;
  }
  void TearDown() override { DialogFixture::TearDown(); }
  static std::string Text(const Dialog& d, int id) { return d.items[size_t(FindDialogItem(d, id))].text; }
  static void TypeInto(const Dialog& d, int id, std::string_view text) {
    QueueClickOn(ItemOnScreen(d, FindDialogItem(d, id)));
    QueueKey('a', kControlBit);
    QueueText(text);
  }

  SceneObject object;
};

TEST_F(InfoDialogTest, ShowsWhatTheRecordSays) {
  Dialog d = MakeObjectInfoDialog(object);
  EXPECT_EQ(Text(d, kInfoItemName), "Rock");
  EXPECT_EQ(Text(d, kInfoItemDescription), "Grey stone");
  EXPECT_EQ(Text(d, kInfoItemType), "Organic");
  EXPECT_EQ(Text(d, kInfoItemPoints), "8194");
  EXPECT_EQ(Text(d, kInfoItemTriangles), "16384");
  EXPECT_EQ(Text(d, kInfoItemTexture), "No");
  EXPECT_EQ(Text(d, kInfoItemHierarchy), "No");
  EXPECT_EQ(Text(d, kInfoItemShadows), "Casts and Receives");
  EXPECT_EQ(Text(d, kInfoItemPainted), "No");
  EXPECT_EQ(Text(d, kInfoItemGhosted), "No");
  EXPECT_EQ(Text(d, kInfoItemUnsaved), "No");

  object.isOrganic = 0;
  object.optics.isPainted = 1;
  object.ghostState = kGhosted;
  object.hasUnsavedChanges = 1;
  d = MakeObjectInfoDialog(object);
  EXPECT_EQ(Text(d, kInfoItemType), "Fast Synthetic");
  EXPECT_EQ(Text(d, kInfoItemPainted), "Yes");
  EXPECT_EQ(Text(d, kInfoItemGhosted), "Yes");
  EXPECT_EQ(Text(d, kInfoItemUnsaved), "Yes");
  object.isFastSynthetic = 0;
  EXPECT_EQ(Text(MakeObjectInfoDialog(object), kInfoItemType), "Synthetic");
}

TEST_F(InfoDialogTest, TextureHierarchyAndShadowTexts) {
  EXPECT_EQ(TextureInfoText(object), "No");
  object.textureFile = FileSpecForPath("/pics/wood.png", FourCC("PNGf"));
  object.textureUsesAlpha = 1;
  EXPECT_EQ(TextureInfoText(object), "Yes (uses alpha)");
  object.textureUsesAlpha = 0;
  EXPECT_EQ(TextureInfoText(object), "Yes");

  struct Hierarchy {
    uint16_t role;
    const char* text;
  } roles[] = {{kHierarchyCompact, "Compact"}, {kHierarchyParent, "Parent"}, {kHierarchyChild, "Child (linked to parent)"}};
  for (const Hierarchy& h : roles) {
    object.hierarchy.assign(1, HierarchyNode{});
    object.hierarchy[0].role = h.role;
    EXPECT_EQ(HierarchyInfoText(object), h.text);
  }

  struct Shadow {
    uint16_t casts, receives;
    const char* text;
  } shadows[] = {{1, 1, "Casts and Receives"}, {1, 0, "Only Casts"}, {0, 1, "Only Receives"}, {0, 0, "Transparent"}};
  for (const Shadow& s : shadows) {
    Optics optics;
    optics.castsShadow = s.casts;
    optics.receivesShadow = s.receives;
    EXPECT_EQ(ShadowInfoText(optics), s.text);
  }
}

TEST_F(InfoDialogTest, OkStoresTheEditedNameAndDescription) {
  const Dialog d = MakeObjectInfoDialog(object);
  TypeInto(d, kInfoItemName, "Boulder");
  TypeInto(d, kInfoItemDescription, "A big one");
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunObjectInfoDialog(object));
  EXPECT_EQ(CountedToText(object.name), "Boulder");
  EXPECT_STREQ(object.description.data(), "A big one");
  EXPECT_EQ(object.hasUnsavedChanges, 1);

  // OK without an edit changes nothing; Cancel throws the edits away.
  object.hasUnsavedChanges = 0;
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunObjectInfoDialog(object));
  EXPECT_EQ(object.hasUnsavedChanges, 0);
  TypeInto(d, kInfoItemName, "Pebble");
  QueueEscape();
  EXPECT_FALSE(RunObjectInfoDialog(object));
  EXPECT_EQ(CountedToText(object.name), "Boulder");
  EXPECT_EQ(object.hasUnsavedChanges, 0);
}

TEST_F(InfoDialogTest, EditsStayWithinTheRecordsSizes) {
  Dialog d = MakeObjectInfoDialog(object);
  d.items[size_t(FindDialogItem(d, kInfoItemName))].text = "   ";
  // 1021 ASCII bytes, then a three-byte character that would not fit the 1023 the block holds.
  std::string description(1021, 'a');
  description += "\xE2\x82\xAC";
  description += "tail";
  d.items[size_t(FindDialogItem(d, kInfoItemDescription))].text = description;
  ASSERT_TRUE(ReadObjectInfoDialog(d, object));
  EXPECT_EQ(CountedToText(object.name), "Rock") << "an emptied name keeps the old one";
  EXPECT_EQ(std::strlen(object.description.data()), 1021u);
  EXPECT_EQ(object.description.back(), 0);

  // The fields refuse to grow beyond those sizes while typing.
  EXPECT_EQ(d.items[size_t(FindDialogItem(d, kInfoItemName))].maxLength, 255u);
  EXPECT_EQ(d.items[size_t(FindDialogItem(d, kInfoItemDescription))].maxLength, 1023u);
}

TEST_F(InfoDialogTest, ProjectInformationEditsTheProjectRecord) {
  nativeFiles.project.projectName = TextToCountedString("UntitledProject");
  const Dialog d = MakeProjectInfoDialog(nativeFiles.project, 3);
  EXPECT_EQ(Text(d, kInfoItemObjects), "3");
  EXPECT_EQ(Text(d, kInfoItemProjectFile), "Not saved yet");
  TypeInto(d, kInfoItemName, "Garden");
  TypeInto(d, kInfoItemDescription, "Stones and a pond");
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunProjectInfoDialog());
  EXPECT_EQ(CountedToText(nativeFiles.project.projectName), "Garden");
  EXPECT_STREQ(nativeFiles.project.projectDescription.data(), "Stones and a pond");
  EXPECT_TRUE(IsProjectModified());

  ClearProjectModified();
  TypeInto(d, kInfoItemName, "Desert");
  QueueEscape();
  EXPECT_FALSE(RunProjectInfoDialog());
  EXPECT_EQ(CountedToText(nativeFiles.project.projectName), "Garden");
  EXPECT_FALSE(IsProjectModified());
}

}  // namespace
}  // namespace tsv
