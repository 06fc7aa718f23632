// The paint panel: the whole-object paint commands and the map picture of "Map apply".
#include <gtest/gtest.h>

#include <vector>

#include "formats/picture_writers.h"
#include "paint/paint_state.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "render/soft_draw.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tests/support/temp_dir.h"
#include "tools/brush_settings.h"
#include "tests/ui/panel_fixture.h"
#include "ui/layout_ids.h"
#include "ui/panels.h"
#include "ui/room_panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

class PaintPanel : public test::PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    ui.currentRoom = 4;
  }
  test::TempDir dir;
};

TEST_F(PaintPanel, PaintObjectMakesTheObjectPaintedColoursItAndCanBeUndone) {
  using namespace layout::PaintTools;
  SceneObject* object = scene.currentObject;
  ASSERT_EQ(object->optics.isPainted, 0);
  const Rgb8 before = object->pointColors[10];
  brushSettings.paintColour = {0xFF00, 0x8000, 0x1000};
  object->pointMask[20] = 0;  // protected: keeps its colour
  PaintItemClick(kPaintObject);
  EXPECT_NE(object->optics.isPainted, 0);
  EXPECT_EQ(object->pointColors[10].red, 0xFF);
  EXPECT_EQ(object->pointColors[10].green, 0x80);
  EXPECT_EQ(object->pointColors[20].red, before.red);
  ASSERT_FALSE(Codes().empty());
  EXPECT_EQ(Codes().front(), TaskStepCode("CP"));
  EXPECT_EQ(Codes().back(), TaskStepCode("CC"));
  UndoLastChange();
  EXPECT_EQ(object->pointColors[10].red, before.red);
}

TEST_F(PaintPanel, TheMapPictureComesInGreyAndEnablesApply) {
  using namespace layout::PaintTools;
  EXPECT_FALSE(PaintItemEnabled(kApply));
  const std::string path = dir / "map.bmp";
  ASSERT_EQ(WriteBmpFile(path, std::vector<uint32_t>{0xFFFFFF, 0x000000, 0xFF0000, 0x0000FF}, 2, 2), kNoError);
  services.openAnswers = {FileChoice{path, 1}};
  PaintItemClick(kMapPicture);
  EXPECT_TRUE(PaintItemEnabled(kApply));
  const Canvas& preview = MapPicture();
  ASSERT_EQ(preview.width, 2);
  EXPECT_EQ(preview.pixels[0], 0xFFFFFFu);
  EXPECT_EQ(preview.pixels[1], 0x000000u);
  EXPECT_EQ(preview.pixels[2] & 0xFF, 76u);  // red in Rec. 601 grey
  PaintItemClick(kCylindric);
  EXPECT_TRUE(PaintItemChecked(kCylindric));
  SetPaintItemValue(kBrightness, 300);
  EXPECT_EQ(PaintItemValue(kBrightness), 256);
}

}  // namespace
}  // namespace tsv
