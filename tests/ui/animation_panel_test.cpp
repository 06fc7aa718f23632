// The animation panel: key buttons and their delete boxes, the marks of set keys, the animate
// dialog's layout, defaults and the choices it keeps in step, and the result player without a
// window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "composer/movie_output.h"
#include "platform/fonts.h"
#include "platform/preferences.h"
#include "scene/keyframe_file.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/interface_fixture.h"
#include "ui/animation_panel.h"
#include "ui/dialog.h"
#include "ui/layout_ids.h"
#include "ui/panel_table.h"

namespace tsv {
namespace {

using namespace layout::Animation;

class AnimationPanel : public test::InterfaceFixture {};

TEST_F(AnimationPanel, KeyButtonsSetMarkDeleteAndBelongToTheirObject) {
  EXPECT_FALSE(AnimationItemEnabled(kKey1));  // no current object
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_TRUE(sphere != nullptr && FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(sphere)));
  EXPECT_TRUE(AnimationItemEnabled(kKey1));
  EXPECT_FALSE(AnimationItemEnabled(kDeleteKey1));
  EXPECT_FALSE(AnimationItemEnabled(kAnimate));
  EXPECT_EQ(AnimationItemColour(kKey1), kNoItemColour);

  (void)AnimationPanelClick(kKey2);
  EXPECT_TRUE(KeyframeExists(1));
  EXPECT_EQ(scene.keyframeOwner, sphere);
  preferences.composerAnim = {0x1200, 0x3400, 0x5600};
  EXPECT_EQ(AnimationItemColour(kKey2), 0x123456u);
  EXPECT_EQ(AnimationItemColour(kKey1), kNoItemColour);
  EXPECT_EQ(AnimationItemColour(kDeleteKey2), kNoItemColour);
  EXPECT_TRUE(AnimationItemEnabled(kDeleteKey2));
  EXPECT_TRUE(AnimationItemEnabled(kAnimate));
  std::string text = "Key";
  EXPECT_TRUE(AnimationItemText(kKey2, text));
  EXPECT_EQ(text, "Key 2");

  (void)AnimationPanelClick(kDeleteKey2);
  EXPECT_FALSE(KeyframeExists(1));
  EXPECT_EQ(scene.keyframeOwner, nullptr);
  EXPECT_FALSE(AnimationItemEnabled(kAnimate));
}

TEST_F(AnimationPanel, TheAnimateDialogIsReadableAndKeepsItsChoicesInStep) {
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  ASSERT_GE(encoders.size(), 2u);  // the GIF and at least one movie encoder
  PictureSaveOptions gif;
  gif.interlaced = true;
  Dialog dialog = MakeAnimateDialog(encoders, gif);
  test::ExpectReadableDialog(dialog);

  // The defaults: 15 frames a second for 2 seconds, Smooth, every transition, the GIF.
  AnimationSettings settings;
  PictureSaveOptions kept;
  ReadAnimateDialog(dialog, encoders, settings, kept);
  EXPECT_EQ(settings.framesPerSecond, 15);
  EXPECT_EQ(settings.frameCount, 30);
  EXPECT_EQ(settings.method, kMethodSmooth);
  EXPECT_EQ(settings.hideOthers, 0);
  EXPECT_EQ(settings.outputType, kAnimatedGifOutputType);
  EXPECT_TRUE(settings.blendSize && settings.blendPosition && settings.blendRotation && settings.blendOptics &&
              settings.blendTexture && settings.blendFog && settings.blendLight);
  EXPECT_TRUE(kept.interlaced);

  // A movie encoder: the qualities wake, the GIF's options sleep, 600 frames a second are allowed.
  auto item = [&](const std::string& text) -> DialogItem& {
    for (DialogItem& i : dialog.items)
      if (i.kind == DialogItemKind::List) return i;
    ADD_FAILURE() << text;
    return dialog.items[0];
  };
  DialogItem& list = item("compression");
  list.selected = 1;
  ASSERT_TRUE(dialog.onChange);
  dialog.onChange(dialog, 0);
  for (const DialogItem& i : dialog.items) {
    if (i.kind == DialogItemKind::CheckBox && i.text == "Dithered") {
      EXPECT_FALSE(i.enabled);
    }
    if (i.kind == DialogItemKind::RadioGroup && i.entries.size() == 6) {
      EXPECT_TRUE(i.enabled);
    }
    if (i.kind == DialogItemKind::NumberField && i.number == 15) {
      EXPECT_EQ(i.maximum, 600);
    }
  }
  ReadAnimateDialog(dialog, encoders, settings, kept);
  EXPECT_EQ(settings.outputType, encoders[1].outputType);
}

TEST_F(AnimationPanel, TheResultPlayerGivesUpWithoutAWindowOrAFile) {
  ShowResultMovie("/nonexistent/movie.mov");  // nothing to play: returns at once
  SUCCEED();
}

}  // namespace
}  // namespace tsv
