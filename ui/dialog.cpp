// dialog.cpp: the modal loop of the dialog toolkit. The loop edits a working copy of the
// description and copies it back only when the dialog is accepted, so Cancel changes nothing.
#include "ui/dialog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/counted_string.h"
#include "platform/events.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "ui/rooms.h"

namespace tsv {

DialogState dialogState;

void ResetDialogState() { dialogState = DialogState{}; }

namespace {

constexpr int kRadioRowHeight = 20;
constexpr size_t kNumberFieldLength = 16;
// How long one wait for input lasts while a window shows the dialog: short enough for the
// hover delay and drags to feel immediate.
constexpr int kWaitMs = 15;

bool Interactive(DialogItemKind kind) {
  switch (kind) {
    case DialogItemKind::Label:
    case DialogItemKind::Group:
    case DialogItemKind::Picture: return false;
    default: return true;
  }
}

bool IsField(DialogItemKind kind) { return kind == DialogItemKind::NumberField || kind == DialogItemKind::TextField; }

bool Focusable(const DialogItem& item) { return item.enabled && Interactive(item.kind); }

Rect Offset(Rect rect, Rect origin) { return {rect.left + origin.left, rect.top + origin.top, rect.width, rect.height}; }

size_t PreviousBoundary(std::string_view text, size_t at) {
  if (at == 0) return 0;
  do {
    --at;
  } while (at > 0 && IsTrailByte(text[at]));
  return at;
}

size_t NextBoundary(std::string_view text, size_t at) {
  if (at >= text.size()) return text.size();
  do {
    ++at;
  } while (at < text.size() && IsTrailByte(text[at]));
  return at;
}

std::string EncodeUtf8(uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | (code >> 6));
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | (code >> 12));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x110000) {
    out += char(0xF0 | (code >> 18));
    out += char(0x80 | ((code >> 12) & 0x3F));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
  return out;
}

void ClampNumber(DialogItem& item) {
  if (std::isnan(item.number)) item.number = item.minimum;
  if (item.minimum <= item.maximum) item.number = std::clamp(item.number, item.minimum, item.maximum);
}

void ScrollRowIntoView(DialogItem& list) {
  int visible = std::max(1, ListVisibleRows(list.rect));
  if (list.selected >= 0) {
    if (list.selected < list.firstRow) list.firstRow = list.selected;
    if (list.selected >= list.firstRow + visible) list.firstRow = list.selected - visible + 1;
  }
  list.firstRow = std::clamp(list.firstRow, 0, std::max(0, int(list.entries.size()) - visible));
}

enum class PressPart { None, Body, ScrollThumb, ScrollPage };

// One run of a dialog: the working copy and everything the loop tracks about it.
struct Session {
  Session(Dialog& d, Canvas& c) : dialog(d), screen(c) {}
  Dialog& dialog;
  Canvas& screen;
  Rect window, content;
  Canvas saved;  // the screen beneath the window
  int focus = -1;
  size_t caret = 0, anchor = 0;  // in the focused field
  int pressed = -1;              // the item the button went down on
  int pressedEntry = -1;         // its radio entry or list row
  PressPart part = PressPart::None;
  int grabOffset = 0;  // where the scroll thumb was taken, from its top
  int pointerX = -1, pointerY = -1;
  int under = -1;  // the enabled control under the pointer, which shows its hover look
  int hover = -1;  // the item whose hover text applies there
  uint32_t restSince = 0;
  bool tipAllowed = true;  // false after a press or a key until the pointer moves on
  bool tipShown = false;
  Rect tipRect;
  Canvas tipSaved;
  bool dirty = true;
  bool done = false;
  DialogResult result;

  DialogItem& Item(int index) { return dialog.items[size_t(index)]; }
  Rect ScreenRect(int index) { return Offset(Item(index).rect, content); }
};

int EntryAt(Session& s, int index, int x, int y) {
  DialogItem& item = s.Item(index);
  for (int k = 0; k < int(item.entries.size()); ++k) {
    if (RectContains(Offset(RadioEntryRect(item, k), s.content), x, y)) return k;
  }
  return -1;
}

// The enabled control under the point, the last one described winning where they overlap.
int InteractiveItemAt(Session& s, int x, int y) {
  for (int i = int(s.dialog.items.size()) - 1; i >= 0; --i) {
    const DialogItem& item = s.Item(i);
    if (Focusable(item) && RectContains(s.ScreenRect(i), x, y)) return i;
  }
  return -1;
}

// The item whose hover text applies under the point: controls (enabled or not) before labels and
// pictures, and those before the groups around them.
int HoverItemAt(Session& s, int x, int y) {
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = int(s.dialog.items.size()) - 1; i >= 0; --i) {
      const DialogItem& item = s.Item(i);
      int rank = item.kind == DialogItemKind::Group ? 2 : Interactive(item.kind) ? 0 : 1;
      if (rank == pass && RectContains(s.ScreenRect(i), x, y)) return item.hover.empty() ? -1 : i;
    }
  }
  return -1;
}

int DefaultButton(const Dialog& dialog) {
  for (ButtonRole role : {ButtonRole::Ok, ButtonRole::Close}) {
    for (size_t i = 0; i < dialog.items.size(); ++i) {
      const DialogItem& item = dialog.items[i];
      if (item.kind == DialogItemKind::Button && item.role == role && item.enabled) return int(i);
    }
  }
  return -1;
}

int CancelButton(const Dialog& dialog) {
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    const DialogItem& item = dialog.items[i];
    if (item.kind == DialogItemKind::Button && item.role == ButtonRole::Cancel) return int(i);
  }
  return -1;
}

// A number field's text becomes its value, limited to its range, and shows that value again; text
// that is not a number leaves the previous value. A text nobody edited keeps the value's full
// precision rather than the rounded one shown.
void CommitNumber(Session& s, int index) {
  if (index < 0 || s.Item(index).kind != DialogItemKind::NumberField) return;
  DialogItem& item = s.Item(index);
  double value = 0;
  if (item.text != FormatNumber(item.number, item.decimals) && ParseNumberText(item.text, value)) item.number = value;
  ClampNumber(item);
  item.text = FormatNumber(item.number, item.decimals);
  if (index == s.focus) s.caret = s.anchor = std::min(s.caret, item.text.size());
  s.dirty = true;
}

void SetFocus(Session& s, int index, bool selectAll) {
  if (index != s.focus) CommitNumber(s, s.focus);
  s.focus = index;
  if (index >= 0 && IsField(s.Item(index).kind)) {
    s.anchor = selectAll ? 0 : s.Item(index).text.size();
    s.caret = s.Item(index).text.size();
  }
  s.dirty = true;
}

void MoveFocus(Session& s, int direction) {
  int count = int(s.dialog.items.size());
  if (count == 0) return;
  int start = s.focus < 0 ? (direction > 0 ? -1 : count) : s.focus;
  for (int step = 1; step <= count; ++step) {
    int index = ((start + direction * step) % count + count) % count;
    if (Focusable(s.Item(index))) {
      SetFocus(s, index, true);
      return;
    }
  }
}

// After the dialog's own code changed items: fields that are not being edited show their values,
// and the focus leaves an item that was disabled.
void Settle(Session& s) {
  s.dirty = true;
  for (size_t i = 0; i < s.dialog.items.size(); ++i) {
    DialogItem& item = s.dialog.items[i];
    if (item.kind == DialogItemKind::NumberField && int(i) != s.focus) item.text = FormatNumber(item.number, item.decimals);
  }
  if (s.focus >= 0 && (s.focus >= int(s.dialog.items.size()) || !Focusable(s.Item(s.focus)))) {
    s.focus = std::min(s.focus, int(s.dialog.items.size()) - 1);
    MoveFocus(s, 1);
  }
}

void Changed(Session& s, int index) {
  s.dirty = true;
  if (!s.dialog.onChange) return;
  s.dialog.onChange(s.dialog, index);
  Settle(s);
}

void Finish(Session& s, ButtonRole role, int item) {
  s.done = true;
  s.result = {role, item};
}

// OK or Close: the dialog's own check comes first and may keep it open. It may have changed any
// item (the text being edited too), so the focus starts again where it did when the dialog opened.
void Accept(Session& s, int button) {
  if (s.dialog.onAccept) {
    CommitNumber(s, s.focus);
    if (!s.dialog.onAccept(s.dialog, button)) {
      s.focus = -1;
      MoveFocus(s, 1);
      Settle(s);
      return;
    }
  }
  Finish(s, s.Item(button).role, button);
}

void Activate(Session& s, int index, int entry) {
  DialogItem& item = s.Item(index);
  switch (item.kind) {
    case DialogItemKind::Button:
      if (item.role == ButtonRole::Command) {
        CommitNumber(s, s.focus);
        if (s.dialog.onCommand) s.dialog.onCommand(s.dialog, index);
        Changed(s, index);
      } else if (item.role == ButtonRole::Cancel) {
        Finish(s, item.role, index);
      } else {
        Accept(s, index);
      }
      break;
    case DialogItemKind::CheckBox:
      item.checked = !item.checked;
      Changed(s, index);
      break;
    case DialogItemKind::RadioGroup:
      if (entry >= 0 && entry < int(item.entries.size()) && entry != item.selected) {
        item.selected = entry;
        Changed(s, index);
      }
      break;
    case DialogItemKind::Swatch: {
      Rgb16 chosen;
      bool picked = AskColor(item.colour, chosen);
      s.dirty = true;  // a chooser drawn over the dialog has restored its own area by now
      if (picked) {
        s.Item(index).colour = chosen;
        Changed(s, index);
      }
      break;
    }
    default: break;
  }
}

// --- Text editing -------------------------------------------------------------------------------

bool AcceptsNumberCharacter(const DialogItem& item, std::string_view before, uint32_t& code) {
  if (code == ',') code = '.';
  if (code >= '0' && code <= '9') return true;
  if (code == '-') return item.minimum < 0 && before.empty();
  if (code == '.') return item.decimals > 0;
  return false;
}

void ReplaceSelection(Session& s, std::string_view insert) {
  DialogItem& item = s.Item(s.focus);
  size_t from = std::min(s.caret, s.anchor), to = std::max(s.caret, s.anchor);
  item.text.replace(from, to - from, insert);
  s.caret = s.anchor = from + insert.size();
}

void NumberFromText(DialogItem& item) {
  double value = 0;
  if (item.kind == DialogItemKind::NumberField && ParseNumberText(item.text, value)) item.number = value;
}

void TypeCharacter(Session& s, uint32_t code) {
  DialogItem& item = s.Item(s.focus);
  size_t from = std::min(s.caret, s.anchor), to = std::max(s.caret, s.anchor);
  if (item.kind == DialogItemKind::NumberField) {
    if (!AcceptsNumberCharacter(item, std::string_view(item.text).substr(0, from), code)) return;
    std::string after = item.text.substr(0, from) + item.text.substr(to);
    if (code == '-' && after.find('-') != std::string::npos) return;
    if (code == '.' && after.find('.') != std::string::npos) return;
  }
  std::string encoded = EncodeUtf8(code);
  if (item.text.size() - (to - from) + encoded.size() > item.maxLength) return;
  ReplaceSelection(s, encoded);
  NumberFromText(item);
  Changed(s, s.focus);
}

void EditKey(Session& s, uint32_t code, uint16_t modifiers) {
  DialogItem& item = s.Item(s.focus);
  bool shift = (modifiers & kShiftBit) != 0;
  switch (code) {
    case kCharDelete:
      if (s.caret == s.anchor) s.anchor = PreviousBoundary(item.text, s.caret);
      ReplaceSelection(s, {});
      NumberFromText(item);
      Changed(s, s.focus);
      return;
    case kCharLeft:
    case kCharRight: {
      size_t moved = code == kCharLeft ? PreviousBoundary(item.text, s.caret) : NextBoundary(item.text, s.caret);
      if (!shift && s.caret != s.anchor) moved = code == kCharLeft ? std::min(s.caret, s.anchor) : std::max(s.caret, s.anchor);
      s.caret = moved;
      if (!shift) s.anchor = moved;
      s.dirty = true;
      return;
    }
    case kCharUp:
    case kCharDown:
      if (item.kind == DialogItemKind::NumberField) {
        CommitNumber(s, s.focus);
        DialogItem& field = s.Item(s.focus);
        field.number += code == kCharUp ? field.step : -field.step;
        ClampNumber(field);
        field.text = FormatNumber(field.number, field.decimals);
        s.anchor = 0;
        s.caret = field.text.size();
        Changed(s, s.focus);
      }
      return;
    default:
      if (code >= 0x20 && code != 0x7F) TypeCharacter(s, code);
      return;
  }
}

// --- Keys ---------------------------------------------------------------------------------------

void StepChoice(Session& s, int delta) {
  DialogItem& item = s.Item(s.focus);
  switch (item.kind) {
    case DialogItemKind::RadioGroup: {
      int count = int(item.entries.size());
      if (count == 0) return;
      int next = item.selected < 0 ? (delta > 0 ? 0 : count - 1) : std::clamp(item.selected + delta, 0, count - 1);
      if (next != item.selected) {
        item.selected = next;
        Changed(s, s.focus);
      }
      return;
    }
    case DialogItemKind::List: {
      int count = int(item.entries.size());
      if (count == 0) return;
      int next = item.selected < 0 ? 0 : std::clamp(item.selected + delta, 0, count - 1);
      if (next != item.selected) {
        item.selected = next;
        ScrollRowIntoView(item);
        Changed(s, s.focus);
      }
      return;
    }
    case DialogItemKind::Slider: {
      int next = std::clamp(item.sliderValue + delta, 0, std::max(0, item.sliderMaximum));
      if (next != item.sliderValue) {
        item.sliderValue = next;
        Changed(s, s.focus);
      }
      return;
    }
    default: return;
  }
}

void KeyDown(Session& s, const EventRecord& event) {
  uint32_t code = event.message;
  bool control = (event.modifiers & kControlBit) != 0;
  if (control && code == kCharCancel) {
    Finish(s, ButtonRole::Cancel, CancelButton(s.dialog));
    return;
  }
  if (control && code == 'q' && input.quitRequested) {
    // The window is being closed: give up the dialog and leave the request to the main loop.
    input.queue.push_front(event);
    Finish(s, ButtonRole::Cancel, CancelButton(s.dialog));
    return;
  }
  if (code == kCharReturn) {
    int button = DefaultButton(s.dialog);
    if (button >= 0) Accept(s, button);
    return;
  }
  if (code == kCharTab) {
    MoveFocus(s, (event.modifiers & kShiftBit) ? -1 : 1);
    return;
  }
  // Alt with a check box's key letter toggles it and gives it the focus.
  if ((event.modifiers & kAltBit) != 0 && code < 128 && std::isalpha(int(code))) {
    for (size_t i = 0; i < s.dialog.items.size(); ++i) {
      const DialogItem& candidate = s.dialog.items[i];
      if (candidate.keyLetter == std::tolower(int(code)) && candidate.enabled) {
        s.focus = int(i);
        Activate(s, int(i), -1);
        s.dirty = true;
        return;
      }
    }
  }
  if (s.focus < 0) return;
  DialogItem& item = s.Item(s.focus);
  if (IsField(item.kind)) {
    if (control) {
      if (code == 'a') {
        s.anchor = 0;
        s.caret = item.text.size();
        s.dirty = true;
      }
      return;
    }
    EditKey(s, code, event.modifiers);
    return;
  }
  if (control) return;
  // Up and Down walk through choices as they are listed, and raise or lower a slider.
  bool slider = item.kind == DialogItemKind::Slider;
  int delta = code == kCharLeft ? -1 : code == kCharRight ? 1 : code == kCharUp ? (slider ? 1 : -1)
            : code == kCharDown ? (slider ? -1 : 1) : 0;
  if (delta != 0) StepChoice(s, delta);
  if (code == ' ' && item.kind != DialogItemKind::RadioGroup) Activate(s, s.focus, -1);
}

// --- Mouse --------------------------------------------------------------------------------------

void DragTo(Session& s, int x, int y) {
  if (s.pressed < 0) return;
  DialogItem& item = s.Item(s.pressed);
  Rect rect = s.ScreenRect(s.pressed);
  switch (item.kind) {
    case DialogItemKind::NumberField:
    case DialogItemKind::TextField: {
      size_t caret = EditCaretAt(rect, item.text, {{true, false, false, true}, s.caret, s.anchor}, x);
      if (caret != s.caret) {
        s.caret = caret;
        s.dirty = true;
      }
      break;
    }
    case DialogItemKind::Slider: {
      int value = SliderValueAt(rect, item.sliderMaximum, x);
      if (value != item.sliderValue) {
        item.sliderValue = value;
        Changed(s, s.pressed);
      }
      break;
    }
    case DialogItemKind::List:
      if (s.part == PressPart::ScrollThumb) {
        int count = int(item.entries.size());
        int first = ScrollFirstForThumbTop(ListScrollBarRect(rect), count, ListVisibleRows(rect), y - s.grabOffset);
        if (first != item.firstRow) {
          item.firstRow = first;
          s.dirty = true;
        }
      } else if (s.part == PressPart::Body) {
        int row = ListRowAt(rect, int(item.entries.size()), item.firstRow, x, y);
        if (row >= 0 && row != item.selected) {
          item.selected = row;
          Changed(s, s.pressed);
        }
      }
      break;
    default: break;
  }
}

void MouseDown(Session& s, int x, int y) {
  s.tipAllowed = false;
  int index = InteractiveItemAt(s, x, y);
  if (index < 0) return;
  DialogItem& item = s.Item(index);
  Rect rect = s.ScreenRect(index);
  s.pressed = index;
  s.pressedEntry = -1;
  s.part = PressPart::Body;
  SetFocus(s, index, false);
  switch (item.kind) {
    case DialogItemKind::NumberField:
    case DialogItemKind::TextField:
      s.caret = s.anchor = EditCaretAt(rect, item.text, {{true, false, false, true}, s.caret, s.anchor}, x);
      break;
    case DialogItemKind::RadioGroup:
      s.pressedEntry = EntryAt(s, index, x, y);
      if (s.pressedEntry < 0) s.pressed = -1;
      break;
    case DialogItemKind::Slider: DragTo(s, x, y); break;
    case DialogItemKind::List: {
      int count = int(item.entries.size());
      Rect bar = ListScrollBarRect(rect);
      if (ListHasScrollBar(rect, count) && RectContains(bar, x, y)) {
        int visible = ListVisibleRows(rect);
        Rect thumb = ScrollThumbRect(bar, count, visible, item.firstRow);
        if (RectContains(thumb, x, y)) {
          s.part = PressPart::ScrollThumb;
          s.grabOffset = y - thumb.top;
        } else {
          s.part = PressPart::ScrollPage;
          item.firstRow += y < thumb.top ? -visible : visible;
          item.firstRow = std::clamp(item.firstRow, 0, std::max(0, count - visible));
        }
      } else {
        DragTo(s, x, y);
      }
      break;
    }
    default: break;
  }
  s.dirty = true;
}

void MouseUp(Session& s, int x, int y) {
  if (s.pressed < 0) return;
  int index = s.pressed;
  DragTo(s, x, y);
  s.pressed = -1;
  s.part = PressPart::None;
  s.dirty = true;
  // Buttons and choices act only when the release is on the control the press began on.
  if (InteractiveItemAt(s, x, y) != index) return;
  DialogItemKind kind = s.Item(index).kind;
  if (kind == DialogItemKind::RadioGroup) {
    int entry = EntryAt(s, index, x, y);
    if (entry == s.pressedEntry) Activate(s, index, entry);
  } else if (kind == DialogItemKind::Button || kind == DialogItemKind::CheckBox || kind == DialogItemKind::Swatch) {
    Activate(s, index, -1);
  }
}

// --- Drawing ------------------------------------------------------------------------------------

void DrawItem(Session& s, int index) {
  DialogItem& item = s.Item(index);
  Rect rect = s.ScreenRect(index);
  bool pointerInside = RectContains(rect, s.pointerX, s.pointerY);
  ControlLook look;
  look.enabled = item.enabled;
  look.hover = pointerInside && s.under == index;
  look.pressed = s.pressed == index && pointerInside;
  look.focused = s.focus == index;
  switch (item.kind) {
    case DialogItemKind::Button:
      DrawPushButton(s.screen, rect, item.text, look, index == DefaultButton(s.dialog));
      break;
    case DialogItemKind::CheckBox:
      DrawCheckBox(s.screen, rect, item.text, item.checked, look);
      if (item.keyIndex >= 0) {
        // The key letter underlined, where the check box's text puts it.
        const std::string_view text = item.text;
        const int left = rect.left + kCheckBoxTextOffset + TextWidth(FontKind::Normal, text.substr(0, size_t(item.keyIndex)));
        const int width = TextWidth(FontKind::Normal, text.substr(size_t(item.keyIndex), 1));
        const int baseline = CentredTextTop(FontKind::Normal, rect) + LineHeight(FontKind::Normal) - 2;
        if (left + width <= rect.left + rect.width) {
          FillRect(s.screen, {left, baseline, width, 1}, look.enabled ? kTextColour : kGreyedTextColour);
        }
      }
      break;
    case DialogItemKind::RadioGroup:
      for (int k = 0; k < int(item.entries.size()); ++k) {
        Rect entry = Offset(RadioEntryRect(item, k), s.content);
        bool inside = RectContains(entry, s.pointerX, s.pointerY);
        ControlLook entryLook = look;
        entryLook.hover = look.hover && inside;
        entryLook.pressed = look.pressed && inside && s.pressedEntry == k;
        entryLook.focused = look.focused && (k == item.selected || (item.selected < 0 && k == 0));
        DrawRadioButton(s.screen, entry, item.entries[size_t(k)], k == item.selected, entryLook);
      }
      break;
    case DialogItemKind::NumberField:
    case DialogItemKind::TextField:
      DrawEditField(s.screen, rect, item.text, {look, look.focused ? s.caret : 0, look.focused ? s.anchor : 0});
      break;
    case DialogItemKind::List: {
      int hoverRow = look.hover ? ListRowAt(rect, int(item.entries.size()), item.firstRow, s.pointerX, s.pointerY) : -1;
      DrawListBox(s.screen, rect, item.entries, {look, item.selected, item.firstRow, hoverRow});
      break;
    }
    case DialogItemKind::Swatch: DrawColourSwatch(s.screen, rect, PixelOfColour(item.colour), look); break;
    case DialogItemKind::Picture:
      if (!item.framed) {
        if (item.picture != nullptr) {
          PasteArea(s.screen, *item.picture, rect.left + (rect.width - item.picture->width) / 2,
                    rect.top + (rect.height - item.picture->height) / 2);
        }
        break;
      }
      DrawPictureBox(s.screen, rect, item.picture ? *item.picture : Canvas{}, look);
      break;
    case DialogItemKind::Label: {
      LabelStyle style = item.style;
      style.enabled = style.enabled && item.enabled;
      DrawLabel(s.screen, rect, item.text, style);
      break;
    }
    case DialogItemKind::Slider: DrawSlider(s.screen, rect, item.sliderValue, item.sliderMaximum, look); break;
    case DialogItemKind::Group: DrawGroupFrame(s.screen, rect, item.text, item.enabled); break;
  }
}

void HideTip(Session& s) {
  if (!s.tipShown) return;
  PasteArea(s.screen, s.tipSaved, s.tipRect.left, s.tipRect.top);
  s.tipShown = false;
}

void Present(Session& s) {
  if (mainWindow.window != nullptr) PresentFrame();
  if (dialogState.observer) dialogState.observer(s.screen, s.dialog);
}

void Render(Session& s, bool withTip) {
  HideTip(s);
  PasteArea(s.screen, s.saved, s.window.left, s.window.top);
  DrawWindowFrame(s.screen, s.window, s.dialog.title);
  // Group frames first, so the controls inside them lie on top.
  for (int i = 0; i < int(s.dialog.items.size()); ++i) {
    if (s.Item(i).kind == DialogItemKind::Group) DrawItem(s, i);
  }
  for (int i = 0; i < int(s.dialog.items.size()); ++i) {
    if (s.Item(i).kind != DialogItemKind::Group) DrawItem(s, i);
  }
  if (withTip && s.hover >= 0) {
    std::string_view text = s.Item(s.hover).hover;
    s.tipRect = HoverBoxRect({0, 0, s.screen.width, s.screen.height}, s.pointerX, s.pointerY, text);
    s.tipSaved = CopyArea(s.screen, s.tipRect);
    DrawHoverBox(s.screen, s.tipRect, text);
    s.tipShown = true;
  }
  s.dirty = false;
  Present(s);
}

// Between events: the pointer's position drives hover looks, hover texts, drags and the wheel.
void Idle(Session& s, int x, int y) {
  uint32_t now = TickCount();
  bool moved = x != s.pointerX || y != s.pointerY;
  if (moved) {
    s.pointerX = x;
    s.pointerY = y;
    s.restSince = now;
    int hover = HoverItemAt(s, x, y), under = InteractiveItemAt(s, x, y);
    if (hover != s.hover) {
      s.hover = hover;
      s.tipAllowed = true;
      s.dirty = true;
    }
    if (under != s.under) {
      s.under = under;
      s.dirty = true;
    }
    // While a control is held it follows the pointer; radio entries and list rows light up one
    // by one, so those redraw on every move.
    if (s.pressed >= 0) {
      if (input.buttonDown) DragTo(s, x, y);
      s.dirty = true;
    }
    if (under >= 0 && (s.Item(under).kind == DialogItemKind::RadioGroup || s.Item(under).kind == DialogItemKind::List)) {
      s.dirty = true;
    }
  }
  if (input.wheel != 0) {
    int index = InteractiveItemAt(s, x, y);
    if (index >= 0 && s.Item(index).kind == DialogItemKind::List) {
      DialogItem& list = s.Item(index);
      int visible = std::max(1, ListVisibleRows(list.rect));
      list.firstRow = std::clamp(list.firstRow - input.wheel * 3, 0, std::max(0, int(list.entries.size()) - visible));
      s.dirty = true;
    }
    input.wheel = 0;  // the wheel belongs to the dialog while it is open
  }
  bool wantTip = s.hover >= 0 && s.tipAllowed && s.pressed < 0 && now - s.restSince >= dialogState.hoverDelayMs;
  if (wantTip != s.tipShown || s.dirty) Render(s, wantTip);
}

// The window's hover text comes off the screen before a dialog opens over it, and its rest starts
// afresh once the dialog has closed: the pointer may have moved on, and a text shown beside the
// dialog's own would be two at once.
void ForgetWindowHover(Canvas& screen, bool redraw) {
  const bool mayShow = ui.hoverPanel != 0;
  ui.hoverPanel = ui.hoverItem = 0;
  ui.hoverShown = false;
  ui.hoverSince = TickCount();
  if (redraw && mayShow && !ui.placed.empty()) DrawInterface(screen);
}

}  // namespace

// --- Public -------------------------------------------------------------------------------------

DialogResult RunDialog(Dialog& dialog) {
  Canvas& screen = mainWindow.frame;
  // Over another dialog the window beneath is not drawn again: that would wipe the dialog out.
  // The window is drawn at its own scale, before the dialog's size takes over.
  ForgetWindowHover(screen, dialogState.openDialogs == 0);
  const ScopedFontScale designSize(1.0f);  // dialogs are laid out at the design's size
  Dialog working = dialog;
  ++dialogState.openDialogs;
  Session s(working, screen);
  s.window = DialogWindowRect(working, screen.width, screen.height);
  s.content = DialogContentRect(s.window);
  s.saved = CopyArea(screen, s.window);
  for (DialogItem& item : working.items) {
    if (item.kind == DialogItemKind::NumberField) item.text = FormatNumber(item.number, item.decimals);
    if (item.kind == DialogItemKind::List) ScrollRowIntoView(item);
  }
  MoveFocus(s, 1);
  s.restSince = TickCount();
  Render(s, false);

  int idleSteps = 0;
  while (!s.done) {
    if (!GetNextEvent(mainWindow.window != nullptr ? kWaitMs : 0)) {
      if (mainWindow.window == nullptr && ++idleSteps > dialogState.idleStepLimit) {
        Finish(s, ButtonRole::Cancel, CancelButton(working));
        break;
      }
      Idle(s, input.event.whereH, input.event.whereV);
      if (working.onIdle && working.onIdle(working) && !s.done) Render(s, false);
      continue;
    }
    idleSteps = 0;
    const EventRecord event = input.event;
    int x = event.whereH, y = event.whereV;
    if (event.what == kMouseDown || event.what == kMouseUp) {
      s.pointerX = x;
      s.pointerY = y;
      s.hover = HoverItemAt(s, x, y);
      s.under = InteractiveItemAt(s, x, y);
    }
    s.tipAllowed = false;
    // The tip goes before the event acts: a dialog opened by it must not save the tip beneath.
    if (s.tipShown) {
      HideTip(s);
      s.dirty = true;
    }
    switch (event.what) {
      case kMouseDown: MouseDown(s, x, y); break;
      case kMouseUp: MouseUp(s, x, y); break;
      case kKeyDown:
      case kDeadKeyCharacter: KeyDown(s, event); break;
      default: break;
    }
    if (!s.done && (s.dirty || s.tipShown)) Render(s, false);
  }

  HideTip(s);
  PasteArea(screen, s.saved, s.window.left, s.window.top);
  if (mainWindow.window != nullptr) PresentFrame();
  --dialogState.openDialogs;
  ForgetWindowHover(screen, false);
  if (s.result.role != ButtonRole::Cancel) {
    for (size_t i = 0; i < working.items.size(); ++i) CommitNumber(s, int(i));
    dialog.items = std::move(working.items);
  }
  return s.result;
}

int AddButton(Dialog& dialog, Rect rect, std::string text, ButtonRole role, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::Button;
  item.rect = rect;
  item.text = std::move(text);
  item.role = role;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddCheckBox(Dialog& dialog, Rect rect, std::string text, bool checked, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::CheckBox;
  item.rect = rect;
  item.text = TakeKeyLetter(text, item.keyIndex);
  if (item.keyIndex >= 0) item.keyLetter = char(std::tolower(uint8_t(item.text[size_t(item.keyIndex)])));
  item.checked = checked;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddRadioGroup(Dialog& dialog, Rect rect, std::vector<std::string> entries, int selected, std::string hover,
                  int columns) {
  DialogItem item;
  item.kind = DialogItemKind::RadioGroup;
  item.rect = rect;
  item.entries = std::move(entries);
  item.selected = selected >= 0 && selected < int(item.entries.size()) ? selected : -1;
  item.columns = std::max(1, columns);
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddNumberField(Dialog& dialog, Rect rect, double value, double minimum, double maximum, int decimals,
                   std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::NumberField;
  item.rect = rect;
  item.number = value;
  item.minimum = minimum;
  item.maximum = maximum;
  item.decimals = std::clamp(decimals, 0, 6);
  item.step = decimals > 0 ? std::pow(10.0, -std::min(decimals, 2)) : 1.0;
  item.maxLength = kNumberFieldLength;
  item.text = FormatNumber(value, item.decimals);
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddTextField(Dialog& dialog, Rect rect, std::string text, std::string hover, size_t maxLength) {
  DialogItem item;
  item.kind = DialogItemKind::TextField;
  item.rect = rect;
  item.text = std::move(text);
  item.maxLength = maxLength;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddList(Dialog& dialog, Rect rect, std::vector<std::string> rows, int selected, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::List;
  item.rect = rect;
  item.entries = std::move(rows);
  item.selected = selected >= 0 && selected < int(item.entries.size()) ? selected : -1;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddSwatch(Dialog& dialog, Rect rect, Rgb16 colour, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::Swatch;
  item.rect = rect;
  item.colour = colour;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddPicture(Dialog& dialog, Rect rect, const Canvas* picture, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::Picture;
  item.rect = rect;
  item.picture = picture;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddLabel(Dialog& dialog, Rect rect, std::string text, LabelStyle style, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::Label;
  item.rect = rect;
  item.text = std::move(text);
  item.style = style;
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddSlider(Dialog& dialog, Rect rect, int value, int maximum, std::string hover) {
  DialogItem item;
  item.kind = DialogItemKind::Slider;
  item.rect = rect;
  item.sliderMaximum = std::max(0, maximum);
  item.sliderValue = std::clamp(value, 0, item.sliderMaximum);
  item.hover = std::move(hover);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

int AddGroup(Dialog& dialog, Rect rect, std::string title) {
  DialogItem item;
  item.kind = DialogItemKind::Group;
  item.rect = rect;
  item.text = std::move(title);
  dialog.items.push_back(std::move(item));
  return int(dialog.items.size()) - 1;
}

void AddOkCancel(Dialog& dialog) {
  constexpr int kWidth = 84, kHeight = 24, kMargin = 12, kGap = 8;
  int top = dialog.height - kMargin - kHeight;
  int cancelLeft = dialog.width - kMargin - kWidth;
  AddButton(dialog, {cancelLeft - kGap - kWidth, top, kWidth, kHeight}, GetString(kDialogOk), ButtonRole::Ok,
            GetString(kHoverDialogOk));
  AddButton(dialog, {cancelLeft, top, kWidth, kHeight}, GetString(kDialogCancel), ButtonRole::Cancel,
            GetString(kHoverDialogCancel));
}

int FindDialogItem(const Dialog& dialog, int id) {
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    if (dialog.items[i].id == id) return int(i);
  }
  return -1;
}

Rect DialogWindowRect(const Dialog& dialog, int screenWidth, int screenHeight) {
  int width = dialog.width + 2, height = dialog.height + kWindowTitleHeight + 1;
  int left = std::max(0, (screenWidth - width) / 2), top = std::max(0, (screenHeight - height) / 2);
  return {left, top, width + kWindowShadow, height + kWindowShadow};
}

Rect DialogContentRect(Rect window) { return WindowContentRect(window); }

Rect ItemScreenRect(const Dialog& dialog, Rect window, int index) {
  if (index < 0 || index >= int(dialog.items.size())) return {};
  return Offset(dialog.items[size_t(index)].rect, DialogContentRect(window));
}

Rect RadioEntryRect(const DialogItem& item, int entry) {
  int columns = std::max(1, item.columns);
  int columnWidth = item.rect.width / columns;
  return {item.rect.left + (entry % columns) * columnWidth, item.rect.top + (entry / columns) * kRadioRowHeight,
          columnWidth, kRadioRowHeight};
}

std::string FormatNumber(double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(decimals, 0, 6), value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

bool ParseNumberText(std::string_view text, double& value) {
  // Only plain decimal notation: sign, digits, one point. strtod alone would also take "inf",
  // hexadecimal and exponents, which a field never shows.
  bool digit = false, point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else if (!(c == '-' && i == 0)) {
      return false;
    }
  }
  if (!digit) return false;
  std::string copy(text);
  errno = 0;
  double parsed = std::strtod(copy.c_str(), nullptr);
  if (errno == ERANGE || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

uint32_t PixelOfColour(Rgb16 colour) { return Rgb(uint8_t(colour.red >> 8), uint8_t(colour.green >> 8), uint8_t(colour.blue >> 8)); }

}  // namespace tsv
