// colour_dialog.cpp: the colour chooser. The colour is held twice, as 8-bit RGB and as HSV in
// doubles; whichever the user edits is the source and the other follows, so dragging through grey
// or black never loses the hue. The square and the strip are pictures drawn over sliders: the
// sliders take the pointer and the keys, the pictures show the colours.
#include "ui/colour_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/events.h"
#include "platform/string_table.h"
#include "platform/window.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kSquareSide = 256;  // one pixel per step of saturation and value
constexpr int kStripHeight = 20;
constexpr int kColumnLeft = kMargin + kSquareSide + 2 + 16;
constexpr int kColumnWidth = 172;
constexpr int kSwatchHeight = 44;
constexpr int kFieldRow = 26;
constexpr int kFieldWidth = 64;
constexpr int kHueMaximum = 359;
constexpr double kKeyStep = 0.01;  // an arrow key moves saturation or value by one percent

struct ColourChooser {
  Rgb8 colour;
  Hsv hsv;
  Canvas square, strip, oldSwatch, newSwatch;
  Canvas squareColours;   // the square without its marker,
  double squareHue = -1;  // for this hue
};

DialogItem& ItemOf(Dialog& dialog, int id) { return dialog.items[size_t(FindDialogItem(dialog, id))]; }

uint32_t Pixel(Rgb8 c) { return Rgb(c.red, c.green, c.blue); }

void Fill(Canvas& canvas, uint32_t colour) { std::fill(canvas.pixels.begin(), canvas.pixels.end(), colour); }

void Plot(Canvas& canvas, int x, int y, uint32_t colour) {
  if (x >= 0 && y >= 0 && x < canvas.width && y < canvas.height) canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)] = colour;
}

// The screen rectangle of an item while RunDialog shows the dialog over the main window.
Rect OnScreen(const Dialog& dialog, int index) {
  return ItemScreenRect(dialog, DialogWindowRect(dialog, mainWindow.frame.width, mainWindow.frame.height), index);
}

// A black ring around a white one, visible on every colour the square can show.
void DrawSquareMarker(Canvas& canvas, const Hsv& hsv) {
  const double cx = hsv.saturation * (kSquareSide - 1), cy = (1 - hsv.value) * (kSquareSide - 1);
  for (int y = int(cy) - 7; y <= int(cy) + 7; ++y) {
    for (int x = int(cx) - 7; x <= int(cx) + 7; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      if (d >= 3.5 && d < 5) Plot(canvas, x, y, Rgb(255, 255, 255));
      else if (d >= 5 && d < 6.5) Plot(canvas, x, y, Rgb(0, 0, 0));
    }
  }
}

void DrawSquare(ColourChooser& chooser) {
  if (chooser.hsv.hue != chooser.squareHue) {
    ResizeCanvas(chooser.squareColours, kSquareSide, kSquareSide);
    for (int y = 0; y < kSquareSide; ++y) {
      for (int x = 0; x < kSquareSide; ++x) {
        Hsv at{chooser.hsv.hue, x / double(kSquareSide - 1), 1 - y / double(kSquareSide - 1)};
        chooser.squareColours.pixels[size_t(y) * kSquareSide + size_t(x)] = Pixel(RgbFromHsv(at));
      }
    }
    chooser.squareHue = chooser.hsv.hue;
  }
  chooser.square = chooser.squareColours;
  DrawSquareMarker(chooser.square, chooser.hsv);
}

// Each column of the strip shows the hue a press on that column chooses, so the strip and the
// slider beneath it agree to the pixel.
void DrawStrip(ColourChooser& chooser, Rect control) {
  const int width = control.width - 2, height = control.height - 2;
  ResizeCanvas(chooser.strip, width, height);
  for (int x = 0; x < width; ++x) {
    const int hue = SliderValueAt(control, kHueMaximum, control.left + 1 + x);
    const uint32_t pixel = Pixel(RgbFromHsv({double(hue), 1, 1}));
    for (int y = 0; y < height; ++y) chooser.strip.pixels[size_t(y) * size_t(width) + size_t(x)] = pixel;
  }
  const int trackLeft = control.left + 6, trackWidth = control.width - 12;
  const int hue = std::clamp(int(std::lround(chooser.hsv.hue)) % 360, 0, kHueMaximum);
  const int marker = trackLeft + trackWidth * hue / kHueMaximum - (control.left + 1);
  for (int y = 0; y < height; ++y) {
    Plot(chooser.strip, marker - 2, y, Rgb(0, 0, 0));
    Plot(chooser.strip, marker + 2, y, Rgb(0, 0, 0));
    for (int x = marker - 1; x <= marker + 1; ++x) Plot(chooser.strip, x, y, Rgb(255, 255, 255));
  }
}

// Everything shown follows the chooser's colour; the field being edited keeps its own text.
void ShowColour(ColourChooser& chooser, Dialog& dialog, int editedId) {
  const double values[] = {double(chooser.colour.red),
                           double(chooser.colour.green),
                           double(chooser.colour.blue),
                           double(int(std::lround(chooser.hsv.hue)) % 360),
                           std::round(chooser.hsv.saturation * 100),
                           std::round(chooser.hsv.value * 100)};
  const int ids[] = {kColourItemRed, kColourItemGreen, kColourItemBlue, kColourItemHue, kColourItemSaturation, kColourItemValue};
  for (int k = 0; k < 6; ++k) {
    if (ids[k] == editedId) continue;
    DialogItem& field = ItemOf(dialog, ids[k]);
    field.number = values[k];
    field.text = FormatNumber(field.number, 0);
  }
  DialogItem& hueControl = ItemOf(dialog, kColourItemHueControl);
  hueControl.sliderValue = int(values[3]);
  DrawSquare(chooser);
  DrawStrip(chooser, hueControl.rect);
  Fill(chooser.newSwatch, Pixel(chooser.colour));
}

void SquareChanged(ColourChooser& chooser, Dialog& dialog, int index) {
  const EventRecord& event = input.event;
  Hsv& hsv = chooser.hsv;
  if (event.what == kKeyDown) {
    switch (event.message) {
      case kCharLeft: hsv.saturation -= kKeyStep; break;
      case kCharRight: hsv.saturation += kKeyStep; break;
      case kCharUp: hsv.value += kKeyStep; break;
      case kCharDown: hsv.value -= kKeyStep; break;
      default: break;
    }
  } else {
    // The slider tells only the pointer's column; the row comes from the event that moved it.
    Rect inner = InsetRect(OnScreen(dialog, index), 1);
    hsv.saturation = double(event.whereH - inner.left) / (inner.width - 1);
    hsv.value = 1 - double(event.whereV - inner.top) / (inner.height - 1);
  }
  hsv.saturation = std::clamp(hsv.saturation, 0.0, 1.0);
  hsv.value = std::clamp(hsv.value, 0.0, 1.0);
  // A value the slider can never take makes every further press, motion and key a change, so
  // that moving straight up or down in the square is reported too.
  dialog.items[size_t(index)].sliderValue = -1;
  chooser.colour = RgbFromHsv(hsv);
  ShowColour(chooser, dialog, 0);
}

void OnChange(ColourChooser& chooser, Dialog& dialog, int index) {
  const DialogItem& item = dialog.items[size_t(index)];
  auto component = [&item](double maximum) { return std::clamp(std::round(item.number), 0.0, maximum); };
  switch (item.id) {
    case kColourItemSquareControl: SquareChanged(chooser, dialog, index); return;
    case kColourItemHueControl: chooser.hsv.hue = std::clamp(item.sliderValue, 0, kHueMaximum); break;
    case kColourItemRed: chooser.colour.red = uint8_t(component(255)); break;
    case kColourItemGreen: chooser.colour.green = uint8_t(component(255)); break;
    case kColourItemBlue: chooser.colour.blue = uint8_t(component(255)); break;
    case kColourItemHue: chooser.hsv.hue = component(kHueMaximum); break;
    case kColourItemSaturation: chooser.hsv.saturation = component(100) / 100; break;
    case kColourItemValue: chooser.hsv.value = component(100) / 100; break;
    default: return;
  }
  const bool fromRgb = item.id == kColourItemRed || item.id == kColourItemGreen || item.id == kColourItemBlue;
  if (fromRgb) {
    chooser.hsv = HsvFromRgb(chooser.colour, chooser.hsv);
  } else {
    chooser.colour = RgbFromHsv(chooser.hsv);
  }
  ShowColour(chooser, dialog, item.id == kColourItemHueControl ? 0 : item.id);
}

int FieldRow(Dialog& dialog, int top, StringId label, int maximum, int id) {
  const std::string name = GetString(label);
  const std::string hover = FormatString(kHoverColourField, {name, std::to_string(maximum)});
  AddLabel(dialog, {kColumnLeft, top, kColumnWidth - kFieldWidth - 8, 22}, name, {}, hover);
  int index = AddNumberField(dialog, {kColumnLeft + kColumnWidth - kFieldWidth, top, kFieldWidth, 22}, 0, 0, maximum, 0, hover);
  dialog.items[size_t(index)].id = id;
  return index;
}

Dialog MakeLayout(ColourChooser& chooser) {
  Dialog dialog;
  dialog.title = GetString(kColourTitle);
  dialog.width = kColumnLeft + kColumnWidth + kMargin;
  const Rect square = {kMargin, kMargin, kSquareSide + 2, kSquareSide + 2};
  const Rect strip = {kMargin, square.top + square.height + 10, kSquareSide + 2, kStripHeight + 2};
  dialog.height = strip.top + strip.height + kMargin;

  // The fields come first, so that the focus starts in "Red".
  int top = kMargin + 16 + kSwatchHeight + 14;
  FieldRow(dialog, top, kColourRed, 255, kColourItemRed);
  FieldRow(dialog, top += kFieldRow, kColourGreen, 255, kColourItemGreen);
  FieldRow(dialog, top += kFieldRow, kColourBlue, 255, kColourItemBlue);
  top += 8;
  FieldRow(dialog, top += kFieldRow, kColourHue, kHueMaximum, kColourItemHue);
  FieldRow(dialog, top += kFieldRow, kColourSaturation, 100, kColourItemSaturation);
  FieldRow(dialog, top += kFieldRow, kColourValue, 100, kColourItemValue);

  // Each picture lies over its slider: drawn after it, while presses go to the slider.
  const std::string squareHover = GetString(kHoverColourSquare);
  DialogItem& squareControl = dialog.items[size_t(AddSlider(dialog, square, 0, kSquareSide - 1, squareHover))];
  squareControl.id = kColourItemSquareControl;
  squareControl.sliderValue = -1;  // see SquareChanged
  dialog.items[size_t(AddPicture(dialog, square, &chooser.square, squareHover))].id = kColourItemSquare;
  const std::string hueHover = GetString(kHoverColourHue);
  dialog.items[size_t(AddSlider(dialog, strip, 0, kHueMaximum, hueHover))].id = kColourItemHueControl;
  dialog.items[size_t(AddPicture(dialog, strip, &chooser.strip, hueHover))].id = kColourItemHueStrip;

  // Old and new side by side, each under its name.
  const int swatchWidth = (kColumnWidth - 8) / 2;
  const Rect oldRect = {kColumnLeft, kMargin + 16, swatchWidth, kSwatchHeight};
  const Rect newRect = {kColumnLeft + kColumnWidth - swatchWidth, kMargin + 16, swatchWidth, kSwatchHeight};
  LabelStyle centred;
  centred.align = TextAlign::Centre;
  AddLabel(dialog, {oldRect.left, kMargin, swatchWidth, 16}, GetString(kColourOld), centred, GetString(kHoverColourOld));
  AddLabel(dialog, {newRect.left, kMargin, swatchWidth, 16}, GetString(kColourNew), centred, GetString(kHoverColourNew));
  dialog.items[size_t(AddPicture(dialog, oldRect, &chooser.oldSwatch, GetString(kHoverColourOld)))].id = kColourItemOld;
  dialog.items[size_t(AddPicture(dialog, newRect, &chooser.newSwatch, GetString(kHoverColourNew)))].id = kColourItemNew;
  ResizeCanvas(chooser.oldSwatch, oldRect.width - 2, oldRect.height - 2);
  ResizeCanvas(chooser.newSwatch, newRect.width - 2, newRect.height - 2);

  AddOkCancel(dialog);
  dialog.onChange = [&chooser](Dialog& d, int index) { OnChange(chooser, d, index); };
  return dialog;
}

}  // namespace

Hsv HsvFromRgb(Rgb8 colour, const Hsv& previous) {
  const double r = colour.red / 255.0, g = colour.green / 255.0, b = colour.blue / 255.0;
  const double high = std::max({r, g, b}), low = std::min({r, g, b}), range = high - low;
  Hsv hsv;
  hsv.value = high;
  hsv.saturation = high > 0 ? range / high : previous.saturation;
  if (range <= 0) {
    hsv.hue = previous.hue;
    if (high > 0) hsv.saturation = 0;
    return hsv;
  }
  double hue;
  if (high == r) {
    hue = (g - b) / range;
  } else if (high == g) {
    hue = 2 + (b - r) / range;
  } else {
    hue = 4 + (r - g) / range;
  }
  hue *= 60;
  if (hue < 0) hue += 360;
  hsv.hue = hue >= 360 ? hue - 360 : hue;
  return hsv;
}

Rgb8 RgbFromHsv(const Hsv& colour) {
  double hue = std::fmod(colour.hue, 360.0);
  if (hue < 0) hue += 360;
  const double s = std::clamp(colour.saturation, 0.0, 1.0), v = std::clamp(colour.value, 0.0, 1.0);
  const double chroma = v * s;
  const double sector = hue / 60;
  const double x = chroma * (1 - std::fabs(std::fmod(sector, 2.0) - 1));
  double r = 0, g = 0, b = 0;
  switch (int(sector)) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
  }
  const double m = v - chroma;
  auto byte = [m](double c) { return uint8_t(std::clamp(std::lround((c + m) * 255), 0L, 255L)); };
  return {byte(r), byte(g), byte(b)};
}

bool ChooseColour(Rgb16 initial, Rgb16& chosen) {
  ColourChooser chooser;
  chooser.colour = {uint8_t(initial.red >> 8), uint8_t(initial.green >> 8), uint8_t(initial.blue >> 8)};
  chooser.hsv = HsvFromRgb(chooser.colour);
  Dialog dialog = MakeLayout(chooser);
  Fill(chooser.oldSwatch, Pixel(chooser.colour));
  ShowColour(chooser, dialog, 0);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  chosen = {uint16_t(chooser.colour.red << 8), uint16_t(chooser.colour.green << 8), uint16_t(chooser.colour.blue << 8)};
  return true;
}

}  // namespace tsv
