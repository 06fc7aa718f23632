// colour_dialog.h: the colour chooser behind AskColor: a saturation/value square for the current
// hue, a hue strip, the old and the new colour side by side, and number fields for red, green and
// blue (0..255) and hue (0..359 degrees), saturation and value (0..100 percent), all kept in step.
#pragma once

#include "platform/user_services.h"
#include "scene/types.h"
#include "ui/dialog.h"

namespace tsv {

// Hue in degrees [0, 360); saturation and value 0..1.
struct Hsv {
  double hue = 0;
  double saturation = 0;
  double value = 0;
};

// A grey has no hue of its own and black no saturation: those keep the ones of `previous`, so that
// a colour taken through grey or black comes back with them.
Hsv HsvFromRgb(Rgb8 colour, const Hsv& previous = {});
// Components rounded to the nearest of 0..255; RgbFromHsv(HsvFromRgb(c)) gives c back.
Rgb8 RgbFromHsv(const Hsv& colour);

// The ids of the dialog's items (DialogItem::id), for the code and the tests that look them up.
enum ColourItemId : int {
  kColourItemRed = 1,
  kColourItemGreen,
  kColourItemBlue,
  kColourItemHue,
  kColourItemSaturation,
  kColourItemValue,
  kColourItemSquareControl,  // takes the presses, drags and keys of the square
  kColourItemSquare,         // the square's picture, drawn over its control
  kColourItemHueControl,
  kColourItemHueStrip,
  kColourItemOld,
  kColourItemNew,
};

// The chooser the window's user services take (SdlServices::colorDialog). On OK `chosen` holds
// the 8-bit components in the high bytes (0xAB00); false when cancelled.
[[nodiscard]] bool ChooseColour(Rgb16 initial, Rgb16& chosen);

}  // namespace tsv
