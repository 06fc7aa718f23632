// Rooms and panels: placing, hit testing, drawing, the object list and the object pop-up list.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/events.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "platform/settings.h"
#include "render/render_state.h"
#include "render/view_screen.h"
#include "platform/window.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/support/interface_fixture.h"
#include "ui/layout_ids.h"
#include "ui/object_list.h"
#include "ui/panels.h"
#include "ui/panel_table.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

using Rooms = test::InterfaceFixture;

TEST_F(Rooms, EveryRoomPlacesItsPanelsInsideTheWindowWithoutOverlap) {
  // At the design's size and at the scales larger windows take.
  for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{1280, 1024}, std::pair{1920, 1080}}) {
    PlaceRoom(width, height, true);
    for (int room = 1; room <= kRoomCount; ++room) {
      SetCurrentRoom(room);
      ASSERT_FALSE(ui.placed.empty()) << room;
      for (size_t i = 0; i < ui.placed.size(); ++i) {
        const Rect& a = ui.placed[i].rect;
        EXPECT_GE(a.left, 0) << room;
        EXPECT_GE(a.top, 0) << room;
        EXPECT_LE(a.left + a.width, width) << room << " " << LayoutOf(ui.placed[i]).name;
        EXPECT_LE(a.top + a.height, height) << room << " " << LayoutOf(ui.placed[i]).name;
        for (size_t j = i + 1; j < ui.placed.size(); ++j) {
          const Rect& b = ui.placed[j].rect;
          bool overlap = a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
                         b.top < a.top + a.height;
          EXPECT_FALSE(overlap) << "room " << room << ": " << LayoutOf(ui.placed[i]).name << " and "
                                << LayoutOf(ui.placed[j]).name;
        }
        // No panel covers the modeling view or the thumbnail.
        for (const Rect& v : {ui.viewRect, ui.thumbnailRect}) {
          if (room == kComposerRoomNumber) break;
          bool overlap = a.left < v.left + v.width && v.left < a.left + a.width && a.top < v.top + v.height &&
                         v.top < a.top + a.height;
          EXPECT_FALSE(overlap) << "room " << room << ": " << LayoutOf(ui.placed[i]).name;
        }
      }
    }
  }
}

TEST_F(Rooms, TheInterfaceScaleIsTheLargestThatFitsOrTheSettingWhenItFits) {
  struct Case {
    int setting, width, height;
    float scale;
  };
  for (const Case& c : {Case{kInterfaceScaleAuto, 1024, 768, 1.0f}, Case{kInterfaceScaleAuto, 800, 600, 1.0f},
                        Case{kInterfaceScaleAuto, 1280, 1024, 1.25f}, Case{kInterfaceScaleAuto, 1920, 1080, 1.4f},
                        Case{kInterfaceScaleAuto, 4000, 3000, 2.0f}, Case{120, 1920, 1080, 1.2f},
                        Case{200, 1920, 1080, 1.4f}, Case{100, 1920, 1080, 1.0f}}) {
    EXPECT_FLOAT_EQ(InterfaceScaleFor(c.setting, c.width, c.height), c.scale) << c.setting << " " << c.width;
  }
}

TEST_F(Rooms, AtALargerScaleItemsHitAndTheViewMapsToItsOwnUnits) {
  // The same design points hit the same items at 1.4.
  PlaceRoom(1920, 1080, true);
  ASSERT_FLOAT_EQ(ui.scale, 1.4f);
  const PlacedPanel* tools = FindPlacedPanel(5);
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->rect.width, Scaled(LayoutOf(*tools).width));
  EXPECT_EQ(HitTest(tools->rect.left + Scaled(12), tools->rect.top + Scaled(24)), (5 << 8) | layout::DeformTools::kScale);
  // The view is 560 pixels wide and keeps its 400 units; the whole view hits the view.
  EXPECT_EQ(ui.viewRect.width, 560);
  EXPECT_EQ(ui.viewRect.height, 560);
  const Rect& v = ui.viewRect;
  EXPECT_EQ(HitTest(v.left + v.width - 1, v.top + v.height - 1), kPartModelingView);
  int x = 0, y = 0;
  ScreenToView(ViewOnScreen(), v.left, v.top, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(0, 0));
  ScreenToView(ViewOnScreen(), v.left + v.width - 1, v.top + v.height - 1, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(399, 399));
  ScreenToView(ViewOnScreen(), v.left + 280, v.top + 140, x, y);
  EXPECT_EQ(std::pair(x, y), std::pair(200, 100));
  ScreenToView(ViewOnScreen(), v.left - 1, v.top - 1, x, y);
  EXPECT_LT(x, 0);
  EXPECT_LT(y, 0);
  EXPECT_FLOAT_EQ(ViewUnitsToScreen(ViewOnScreen(), 100.0f), 140.0f);

  // The view's picture fills its rectangle: a flat picture stays flat, its edges included.
  Canvas screen;
  ResizeCanvas(screen, 1920, 1080);
  std::vector<uint32_t> picture(size_t(kViewSide) * kViewSide, Rgb(10, 200, 30));
  DrawViewPicture(screen, ViewOnScreen(), picture);
  for (const auto& [px, py] : {std::pair{v.left, v.top}, std::pair{v.left + v.width - 1, v.top + v.height - 1},
                              std::pair{v.left + 279, v.top + 311}}) {
    EXPECT_EQ(screen.pixels[size_t(py) * 1920 + size_t(px)] & 0xFFFFFF, Rgb(10, 200, 30) & 0xFFFFFF);
  }
  EXPECT_EQ(screen.pixels[size_t(v.top) * 1920 + size_t(v.left - 1)], 0u);
  EXPECT_EQ(screen.pixels[size_t(v.top + v.height) * 1920 + size_t(v.left)], 0u);
}

TEST_F(Rooms, HitTestFindsItemsAndTheViewAreas) {
  const PlacedPanel* strip = FindPlacedPanel(1);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(HitTest(strip->rect.left + 10, strip->rect.top + 10), (1 << 8) | layout::TopStrip::kModeling);
  EXPECT_EQ(HitTest(strip->rect.left + 1, strip->rect.top + 1), 0);  // panel, but no item
  const PlacedPanel* tools = FindPlacedPanel(5);
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(HitTest(tools->rect.left + 12, tools->rect.top + 24), (5 << 8) | layout::DeformTools::kScale);
  EXPECT_EQ(HitTest(ui.viewRect.left + 200, ui.viewRect.top + 200), kPartModelingView);
  EXPECT_EQ(HitTest(ui.thumbnailRect.left + 50, ui.thumbnailRect.top + 50), 0);

  // The strip over the view; its second item over the thumbnail only with the preference.
  EXPECT_EQ(HitTest(ui.stripRect.left + 5, ui.stripRect.top + 5), (kStripPanel << 8) | 1);
  EXPECT_EQ(HitTest(ui.stripRect.left + kThumbnailOffset + 5, ui.stripRect.top + 5), 0);
  preferences.showSecondStripItem = 1;
  EXPECT_EQ(HitTest(ui.stripRect.left + kThumbnailOffset + 5, ui.stripRect.top + 5), (kStripPanel << 8) | 2);

  // In the composer the view areas are the composer's.
  SetCurrentRoom(kComposerRoomNumber);
  EXPECT_EQ(HitTest(ui.composerViewRect.left + 5, ui.composerViewRect.top + 5), kPartComposerView);
  EXPECT_EQ(HitTest(ui.stripRect.left + kThumbnailOffset + 5, ui.stripRect.top + 5), 0);
}

TEST_F(Rooms, LaterPanelsReplaceEarlierOnes) {
  // Two panels on top of each other: the later one's item wins where both have one.
  const int toolsLayout = FindPlacedPanel(5)->layout;
  ui.placed = {ui.placed[0], ui.placed[0]};
  ui.placed[1].layout = toolsLayout;
  ui.placed[1].rect = {0, 0, LayoutOf(ui.placed[1]).width, LayoutOf(ui.placed[1]).height};
  ui.viewRect = {2000, 2000, 1, 1};
  ui.stripRect = {2000, 2000, 1, 1};
  EXPECT_EQ(HitTest(12, 24) >> 8, 5);
  EXPECT_EQ(HitTest(600, 10) >> 8, 1);  // only the strip there
}

TEST_F(Rooms, TheWindowDrawsEveryRoomAndGreysWhatIsNotAvailable) {
  for (int room = 1; room <= kRoomCount; ++room) {
    SetCurrentRoom(room);
    DrawInterface(mainWindow.frame);
  }
  SetCurrentRoom(1);
  const PlacedPanel* tools = FindPlacedPanel(5);
  const PanelLayout& layout = LayoutOf(*tools);
  EXPECT_TRUE(ItemEnabled(layout, *FindItem(layout, layout::DeformTools::kTwist)));
  // The brush types belong to the modeling room, the paint colours to the paint room.
  const PlacedPanel* brushes = FindPlacedPanel(6);
  EXPECT_TRUE(ItemEnabled(LayoutOf(*brushes), *FindItem(LayoutOf(*brushes), layout::Brushes::kTypeSmudge)));
  EXPECT_FALSE(ItemEnabled(LayoutOf(*brushes), *FindItem(LayoutOf(*brushes), layout::Brushes::kPaintColor)));
  // What is not built yet is greyed: the composer's Animate.
  SetCurrentRoom(5);
  const PlacedPanel* animation = FindPlacedPanel(4);
  EXPECT_FALSE(ItemEnabled(LayoutOf(*animation), *FindItem(LayoutOf(*animation), layout::Animation::kAnimate)));
  SetCurrentRoom(1);
  const PlacedPanel* top = FindPlacedPanel(1);
  EXPECT_TRUE(ItemEnabled(LayoutOf(*top), *FindItem(LayoutOf(*top), layout::TopStrip::kPaint)));
  EXPECT_EQ(HoverTextOf((1 << 8) | layout::TopStrip::kPaint),
            "Paint room: paint points, procedural colour and map apply (key y)");
  EXPECT_EQ(HoverTextOf((6 << 8) | 1), "Brush type: Brush");
}

// Every control that works does something: a button, tab, toggle or menu that is available has a
// click or a press of its own, a slider a value, a swatch a colour.
TEST_F(Rooms, EveryAvailableControlHasItsHandler) {
  ASSERT_NE(NewObjectInTable(true), nullptr);
  for (const PanelLayout& panel : ui.layout.panels) {
    const PanelHandlers& handlers = PanelHandlersOf(panel);
    for (const PanelItem& item : panel.items) {
      if (!ItemEnabled(panel, item)) continue;
      SCOPED_TRACE(panel.name + " item " + std::to_string(item.id));
      switch (item.kind) {
        case ItemKind::Button:
        case ItemKind::Tab:
        case ItemKind::Toggle:
        case ItemKind::Menu:
        case ItemKind::Swatch:
          EXPECT_TRUE(handlers.click != nullptr || handlers.press != nullptr);
          break;
        case ItemKind::Slider:
          EXPECT_TRUE(handlers.value != nullptr && handlers.setValue != nullptr);
          break;
        case ItemKind::Drag:
        case ItemKind::Trackball:
        case ItemKind::List:
          EXPECT_NE(handlers.press, nullptr);
          break;
        default:
          break;
      }
      if (item.kind == ItemKind::Swatch) {
        EXPECT_NE(handlers.colour, nullptr);
      }
      if (item.kind == ItemKind::Toggle || item.kind == ItemKind::Tab) {
        EXPECT_NE(handlers.checked, nullptr);
      }
    }
  }
  // The table was built for this very layout.
  ASSERT_EQ(ui.layout.panels.size(), size_t(layout::kLayoutCount));
  EXPECT_EQ(ui.layout.panels[size_t(layout::PaintTools::kLayout)].name, "PaintTools");
}

TEST_F(Rooms, ATabClickChangesTheRoom) {
  const PlacedPanel* top = FindPlacedPanel(1);
  const PanelItem* tab = FindItem(LayoutOf(*top), layout::TopStrip::kComposer);
  const int x = top->rect.left + tab->rect.left + 5, y = top->rect.top + tab->rect.top + 5;
  input.mouseX = x;
  input.mouseY = y;
  const uint16_t part = HitTest(x, y);
  EXPECT_EQ(HandlePanel(1, kPhasePress, part), 4);
  EXPECT_TRUE(ui.trackingMouse);
  EXPECT_EQ(HandlePanel(1, kPhaseRelease, part), 4);
  EXPECT_EQ(ui.currentRoom, kComposerRoomNumber);
  EXPECT_EQ(HandlePanel(2, kPhasePress, part), kNotMine);
}

TEST_F(Rooms, AClickInTheObjectListMakesThatObjectCurrent) {
  for (int i = 0; i < 3; ++i) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ASSERT_EQ(scene.currentObjectIndex, 2);
  const PlacedPanel* list = FindPlacedPanel(10);
  const PanelItem* item = FindItem(LayoutOf(*list), layout::ObjectList::kList);
  input.mouseX = list->rect.left + item->rect.left + 40;
  input.mouseY = list->rect.top + item->rect.top + 1 + kObjectRowHeight + 10;  // the second row
  EXPECT_EQ(HandlePanel(10, kPhasePress, uint16_t((10 << 8) | layout::ObjectList::kList)), 4);
  EXPECT_EQ(scene.currentObjectIndex, 1);
  EXPECT_EQ(scene.currentObject, scene.objectTable[1].get());
}

TEST_F(Rooms, DeletingTheCurrentObjectMakesTheNextOneCurrent) {
  for (int i = 0; i < 3; ++i) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  EXPECT_TRUE(SetCurrentObject(1));
  EXPECT_EQ(DeleteCurrentObject(), 4);
  EXPECT_EQ(scene.objectTable[1], nullptr);
  EXPECT_EQ(scene.currentObjectIndex, 2);
  EXPECT_EQ(SelectAdjacentObject(-1), 4);
  EXPECT_EQ(scene.currentObjectIndex, 0);
}

TEST_F(Rooms, ThePopUpListOfThreeObjectsEndsWhereTenRowsWould) {
  PopUpGeometry g = ObjectPopUpGeometry(3, 100, 50);
  EXPECT_EQ(g.rows, 3);
  EXPECT_EQ(g.list.height, 90);
  EXPECT_EQ(g.list.top + g.list.height, 50 + 300);
  EXPECT_EQ(ObjectPopUpGeometry(12, 100, 50).list.height, 300);
  EXPECT_EQ(ObjectPopUp(100, 50), nullptr);  // no objects: nothing to choose
}

TEST_F(Rooms, HoldingThePointerBelowThePopUpScrollsToTheLastObject) {
  for (int i = 0; i < 12; ++i) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  const PopUpGeometry g = ObjectPopUpGeometry(12, 100, 50);
  const Canvas before = mainWindow.frame;
  // The pointer rests just below the list; the list scrolls a row at a time until the twelfth
  // object shows in the last row, where the click then lands.
  input.mouseX = 150;
  input.mouseY = g.list.top + g.list.height + 5;
  // The click comes a while later, from a timer, as a user's would.
  static int lastRowY;
  lastRowY = g.list.top + g.list.height - 10;
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0);
  SDL_TimerID timer = SDL_AddTimer(
      500,
      [](Uint32, void*) -> Uint32 {
        Push(SDL_MOUSEMOTION, 150, lastRowY);
        Push(SDL_MOUSEBUTTONDOWN, 150, lastRowY);
        Push(SDL_MOUSEBUTTONUP, 150, lastRowY);
        return 0;
      },
      nullptr);
  EXPECT_EQ(ObjectPopUp(100, 50), scene.objectTable[11].get());
  SDL_RemoveTimer(timer);
  SDL_QuitSubSystem(SDL_INIT_TIMER);
  EXPECT_EQ(mainWindow.frame.pixels, before.pixels);  // the screen beneath is back
}

TEST_F(Rooms, APopUpReleaseOutsideChoosesNothing) {
  for (int i = 0; i < 3; ++i) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  Push(SDL_MOUSEMOTION, 700, 700);
  Push(SDL_MOUSEBUTTONDOWN, 700, 700);
  Push(SDL_MOUSEBUTTONUP, 700, 700);
  EXPECT_EQ(ObjectPopUp(100, 50), nullptr);
}

}  // namespace
}  // namespace tsv
