// The standard shape dialog: a readable layout, the fields a shape does not use greyed, edits that
// come back forced into the dialog's and the shape's ranges, and Cancel changing nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/shape_dialog.h"

namespace tsv {
namespace {

class ShapeDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    shown = MakeShapeDialog(settings);
  }
  void TearDown() override {
    DialogFixture::TearDown();
  }
  int Index(int id) {
    const int index = FindDialogItem(shown, id);
    EXPECT_GE(index, 0) << "no item " << id;
    return index;
  }
  const DialogItem& Item(const Dialog& dialog, int id) { return dialog.items[size_t(FindDialogItem(dialog, id))]; }
  void ChooseShape(int shape) { QueueClickOn(RadioEntryOnScreen(shown, Index(kShapeItemChoice), shape)); }
  void TypeInto(int id, std::string_view text) {
    QueueClickOn(ItemOnScreen(shown, Index(id)));
    QueueKey('a', kControlBit);
    QueueText(text);
  }

  ScriptedServices services;
  SyntheticShapeSettings settings;
  Dialog shown;
};

bool Overlap(Rect a, Rect b) { return IntersectRects(a, b).width > 0 && IntersectRects(a, b).height > 0; }

TEST_F(ShapeDialogTest, LayoutShowsEveryShapeAndSettingReadably) {
  const Rect window = DialogWindowRect(shown, 800, 600);
  EXPECT_LE(window.width, 800);
  EXPECT_LE(window.height, 600);
  EXPECT_EQ(shown.title, "Standard Shape");
  EXPECT_EQ(Item(shown, kShapeItemChoice).entries,
            (std::vector<std::string>{"Front Side Plain Mesh", "Both Sides Plain Mesh", "Sphere", "Cylinder", "Cube",
                                      "Cone", "Doughnut"}));
  std::vector<std::string> labels;
  for (size_t i = 0; i < shown.items.size(); ++i) {
    const DialogItem& item = shown.items[i];
    EXPECT_TRUE(item.rect.left >= 0 && item.rect.top >= 0 && item.rect.left + item.rect.width <= shown.width &&
                item.rect.top + item.rect.height <= shown.height)
        << item.text;
    if (item.kind == DialogItemKind::Label) {
      labels.push_back(item.text);
      EXPECT_LE(TextWidth(FontKind::Normal, item.text), item.rect.width - 6) << item.text;
    }
    if (item.kind == DialogItemKind::RadioGroup) {
      for (int k = 0; k < int(item.entries.size()); ++k) {
        EXPECT_LE(TextWidth(FontKind::Normal, item.entries[size_t(k)]), RadioEntryRect(item, k).width - 21);
      }
    }
    if (item.kind != DialogItemKind::Label && item.kind != DialogItemKind::Group) {
      EXPECT_FALSE(item.hover.empty()) << "item " << i;
    }
    for (size_t j = i + 1; j < shown.items.size(); ++j) {
      if (item.kind != DialogItemKind::Group && shown.items[j].kind != DialogItemKind::Group) {
        EXPECT_FALSE(Overlap(item.rect, shown.items[j].rect)) << i << " and " << j;
      }
    }
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Divisions", "Base Divisions", "Fatness"}));
}

TEST_F(ShapeDialogTest, FieldsAShapeDoesNotUseAreGreyed) {
  struct Case {
    int shape;
    bool base, fatness;
  };
  for (const Case& c : {Case{kSyntheticSphere, false, false}, Case{kSyntheticCylinder, true, false},
                        Case{kSyntheticCone, true, false}, Case{kSyntheticDoughnut, false, true},
                        Case{kFrontSidePlainMesh, false, false}}) {
    SyntheticShapeSettings s;
    s.shape = uint16_t(c.shape);
    const Dialog d = MakeShapeDialog(s);
    EXPECT_EQ(Item(d, kShapeItemBaseDivisions).enabled, c.base) << c.shape;
    EXPECT_EQ(Item(d, kShapeItemFatness).enabled, c.fatness) << c.shape;
    EXPECT_TRUE(Item(d, kShapeItemDivisionsX).enabled);
    EXPECT_TRUE(Item(d, kShapeItemDivisionsY).enabled);
  }
}

TEST_F(ShapeDialogTest, EditsComeBackWithinTheRanges) {
  ChooseShape(kSyntheticCone);  // base divisions come alive
  TypeInto(kShapeItemDivisionsX, "1000");
  TypeInto(kShapeItemDivisionsY, "0");
  TypeInto(kShapeItemBaseDivisions, "7");
  QueueKey(kCharTab);
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunShapeDialog(settings));
  EXPECT_EQ(settings.shape, kSyntheticCone);
  EXPECT_EQ(settings.x, 512) << "divisions above 512 are used as 512";
  EXPECT_EQ(settings.y, 1);
  EXPECT_EQ(settings.b, 7);
}

TEST_F(ShapeDialogTest, TheChosenShapesOwnRangesApply) {
  struct Case {
    int shape;
    double x, y, f;
    SyntheticShapeSettings expected;
  };
  const Case cases[] = {
      {kSyntheticSphere, 1, 1, 0.5, {kSyntheticSphere, 3, 2, 4, 0.5f}},
      {kSyntheticDoughnut, 2, 700, 3.0, {kSyntheticDoughnut, 3, 512, 4, 1.0f}},
      {kSyntheticDoughnut, 5, 5, 0.0, {kSyntheticDoughnut, 5, 5, 4, 0.05f}},
      {kSyntheticCube, -4, 9, 0.5, {kSyntheticCube, 1, 9, 4, 0.5f}},
  };
  for (const Case& c : cases) {
    Dialog d = MakeShapeDialog(settings);
    d.items[size_t(FindDialogItem(d, kShapeItemChoice))].selected = c.shape;
    d.items[size_t(FindDialogItem(d, kShapeItemDivisionsX))].number = c.x;
    d.items[size_t(FindDialogItem(d, kShapeItemDivisionsY))].number = c.y;
    d.items[size_t(FindDialogItem(d, kShapeItemFatness))].number = c.f;
    SyntheticShapeSettings read = settings;
    ReadShapeDialog(d, read);
    EXPECT_EQ(read.shape, c.expected.shape);
    EXPECT_EQ(read.x, c.expected.x) << c.shape;
    EXPECT_EQ(read.y, c.expected.y) << c.shape;
    EXPECT_EQ(read.b, c.expected.b) << c.shape;
    EXPECT_FLOAT_EQ(read.f, c.expected.f) << c.shape;
  }
}

TEST_F(ShapeDialogTest, CancelLeavesTheSettingsAlone) {
  settings.shape = kSyntheticCube;
  settings.x = 9;
  shown = MakeShapeDialog(settings);
  ChooseShape(kSyntheticDoughnut);
  TypeInto(kShapeItemDivisionsX, "40");
  QueueKey(kCharTab);
  QueueEscape();
  EXPECT_FALSE(RunShapeDialog(settings));
  EXPECT_EQ(settings.shape, kSyntheticCube);
  EXPECT_EQ(settings.x, 9);
}

}  // namespace
}  // namespace tsv
