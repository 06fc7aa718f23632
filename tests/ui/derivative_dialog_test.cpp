// The derivation dialog: a readable layout with its explanations, the ticked steps run on a new
// object when it is accepted, and Escape leaving everything alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mesh/mesh_state.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/object_commands.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

class DerivativeDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  }
  ScriptedServices services;
};

bool Overlap(Rect a, Rect b) { return IntersectRects(a, b).width > 0 && IntersectRects(a, b).height > 0; }

TEST_F(DerivativeDialogTest, EveryStepShowsWithItsExplanationReadably) {
  const Dialog shown = MakeDerivativeDialog(DerivationSteps{}, true);
  EXPECT_EQ(shown.title, "Derivative ( Synthetic )");
  const Rect window = DialogWindowRect(shown, 800, 600);
  EXPECT_LE(window.width, 800);
  EXPECT_LE(window.height, 600);
  std::vector<std::string> checks;
  std::string about;
  for (size_t i = 0; i < shown.items.size(); ++i) {
    const DialogItem& item = shown.items[i];
    EXPECT_TRUE(item.rect.left >= 0 && item.rect.top >= 0 && item.rect.left + item.rect.width <= shown.width &&
                item.rect.top + item.rect.height <= shown.height)
        << item.text;
    if (item.kind == DialogItemKind::CheckBox) {
      checks.push_back(item.text);
      EXPECT_LE(TextWidth(FontKind::Normal, item.text) + 24, item.rect.width) << item.text;
    }
    if (item.kind == DialogItemKind::Label) {
      about += item.text + " ";
      EXPECT_LE(TextWidth(FontKind::Small, item.text), item.rect.width) << item.text;
    }
    EXPECT_FALSE(item.hover.empty()) << "item " << i << " " << item.text;
    for (size_t j = i + 1; j < shown.items.size(); ++j) {
      EXPECT_FALSE(Overlap(item.rect, shown.items[j].rect)) << item.text << " and " << shown.items[j].text;
    }
  }
  EXPECT_EQ(checks, (std::vector<std::string>{"Join Vertices", "Correct Normals", "Object simplification",
                                              "Quad mesh density", "Adaptive re-mesh", "Protect edges during decimation",
                                              "X axis", "Y axis", "Z axis", "Invert Normals"}));
  EXPECT_NE(about.find("Also known as Mesh Decimation."), std::string::npos);
  EXPECT_NE(about.find("Paint with black color, areas you want to Simplify."), std::string::npos);
}

TEST_F(DerivativeDialogTest, AcceptedStepsMakeANewObjectAndEscapeMakesNone) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_TRUE(sphere != nullptr && FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));

  // Escape: nothing made, nothing remembered.
  QueueEscape();
  (void)DeriveFromDialog();
  EXPECT_EQ(ObjectCount(), 1);

  // A click on the split, and the borders' switch by its key letter (Alt+D).
  const Dialog shown = MakeDerivativeDialog(ui.lastDerivation, meshState.preserveBorders);
  QueueClickOn(ItemOnScreen(shown, FindDialogItem(shown, kDeriveQuad)));
  QueueKey('d', kAltBit);
  QueueKey(kCharReturn);
  (void)DeriveFromDialog();
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(scene.currentObject->triangleCount, 4 * kOrganicTriangleCount);
  EXPECT_EQ(sphere->triangleCount, kOrganicTriangleCount);
  EXPECT_EQ(ui.lastDerivation.quadPasses, 1);
  EXPECT_FALSE(meshState.preserveBorders);
}

}  // namespace
}  // namespace tsv
