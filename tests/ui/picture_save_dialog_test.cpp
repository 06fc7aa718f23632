// The picture options dialog and saving the modeling view as a picture.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/picture_files.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/temp_dir.h"
#include "ui/dialog_script.h"
#include "ui/picture_save_dialog.h"
#include "ui/widgets.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class PictureOptions : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    CurrentPictureSaveOptions() = PictureSaveOptions{};
  }
  static const DialogItem& Item(const Dialog& dialog, int id) { return dialog.items[size_t(FindDialogItem(dialog, id))]; }
  ScriptedServices services;
  test::TempDir dir;
};

TEST_F(PictureOptions, EachTypeOffersOnlyTheOptionsItUses) {
  struct Case {
    uint32_t type;
    bool interlaced, alpha, dithered, compressed;
  };
  const Case cases[] = {{FourCC("GIFf"), true, true, true, false},
                        {FourCC("EIDI"), false, true, false, true},
                        {FourCC("TIFF"), false, true, false, false},
                        {FourCC("PNGf"), false, false, false, false},
                        {FourCC("BMP "), false, false, false, false}};
  for (const Case& c : cases) {
    const Dialog d = MakePictureOptionsDialog(c.type, PictureSaveOptions{});
    EXPECT_EQ(Item(d, kPictureItemInterlaced).enabled, c.interlaced) << c.type;
    EXPECT_EQ(Item(d, kPictureItemIncludeAlpha).enabled, c.alpha) << c.type;
    EXPECT_EQ(Item(d, kPictureItemDithered).enabled, c.dithered) << c.type;
    EXPECT_EQ(Item(d, kPictureItemCompressed).enabled, c.compressed) << c.type;
  }
  // Dithered is on by default, the others off.
  const Dialog d = MakePictureOptionsDialog(FourCC("GIFf"), PictureSaveOptions{});
  EXPECT_TRUE(Item(d, kPictureItemDithered).checked);
  EXPECT_FALSE(Item(d, kPictureItemInterlaced).checked);
  EXPECT_EQ(d.title, "Picture options");
}

TEST_F(PictureOptions, OkStoresTheTicksAndCancelKeepsThePreviousOptions) {
  const Dialog shown = MakePictureOptionsDialog(FourCC("GIFf"), PictureSaveOptions{});
  QueueClickOn(ItemOnScreen(shown, FindDialogItem(shown, kPictureItemInterlaced)));
  QueueClickOn(ItemOnScreen(shown, FindDialogItem(shown, kPictureItemDithered)));
  QueueKey(kCharReturn);
  ASSERT_TRUE(AskPictureSaveOptions(FourCC("GIFf")));
  EXPECT_TRUE(CurrentPictureSaveOptions().interlaced);
  EXPECT_FALSE(CurrentPictureSaveOptions().dithered);

  QueueClickOn(ItemOnScreen(shown, FindDialogItem(shown, kPictureItemInterlaced)));
  QueueEscape();
  EXPECT_FALSE(AskPictureSaveOptions(FourCC("GIFf")));
  EXPECT_TRUE(CurrentPictureSaveOptions().interlaced);
  // BMP has nothing to ask.
  EXPECT_TRUE(AskPictureSaveOptions(FourCC("BMP ")));
}

TEST_F(PictureOptions, TheViewIsSavedAsTheChosenPicture) {
  renderState.viewPicture.assign(size_t(kViewSide) * kViewSide, 0x00336699u);
  renderState.viewPicture[0] = 0x00FF0000u;
  const std::string path = dir / "view.png";
  services.saveAnswers = {FileChoice{path, 1}};
  CommandSaveViewPicture();
  FileSpec spec = FileSpecForPath(path, FourCC("PNGf"));
  Picture picture;
  ASSERT_EQ(LoadPicture(spec, picture), kNoError);
  ASSERT_EQ(picture.width, kViewSide);
  ASSERT_EQ(picture.height, kViewSide);
  EXPECT_EQ(picture.pixels[0], 0xFFFF0000u);
  EXPECT_EQ(picture.pixels[1], 0xFF336699u);
}

TEST_F(PictureOptions, CancelledOptionsLeaveNoEmptyFileBehind) {
  renderState.viewPicture.assign(size_t(kViewSide) * kViewSide, 0);
  const std::string path = dir / "view.gif";
  services.saveAnswers = {FileChoice{path, 3}};
  QueueEscape();
  CommandSaveViewPicture();
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tsv
