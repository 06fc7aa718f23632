// dialog_script.cpp: queued input events for scripted dialogs.
#include "ui/dialog_script.h"

#include <algorithm>

#include "platform/events.h"
#include "platform/window.h"

namespace tsv {
namespace {

void Queue(uint16_t what, uint32_t message, int x, int y, uint16_t modifiers) {
  EventRecord record;
  record.what = what;
  record.message = message;
  record.whereH = int16_t(std::clamp(x, -32768, 32767));
  record.whereV = int16_t(std::clamp(y, -32768, 32767));
  record.modifiers = modifiers;
  input.queue.push_back(record);
}

// Next code point of UTF-8 text; a malformed byte stands for itself.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  uint8_t c = uint8_t(text[i++]);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + size_t(extra) > text.size()) return c;
  uint32_t code = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) code = (code << 6) | (uint8_t(text[i++]) & 0x3F);
  return code;
}

}  // namespace

void QueueMouseDown(int x, int y, uint16_t modifiers) { Queue(kMouseDown, 0, x, y, modifiers); }
void QueueMouseUp(int x, int y, uint16_t modifiers) { Queue(kMouseUp, 0, x, y, modifiers); }

void QueueClick(int x, int y, uint16_t modifiers) {
  QueueMouseDown(x, y, modifiers);
  QueueMouseUp(x, y, modifiers);
}

void QueueClickOn(Rect rect) { QueueClick(rect.left + rect.width / 2, rect.top + rect.height / 2); }

void QueueKey(uint32_t code, uint16_t modifiers) { Queue(kKeyDown, code, input.mouseX, input.mouseY, modifiers); }

void QueueEscape() { QueueKey(kCharCancel, kControlBit); }

void QueueText(std::string_view text) {
  for (size_t i = 0; i < text.size();) QueueKey(NextCodePoint(text, i));
}

Rect ItemOnScreen(const Dialog& dialog, int index) {
  Rect window = DialogWindowRect(dialog, mainWindow.frame.width, mainWindow.frame.height);
  return ItemScreenRect(dialog, window, index);
}

Rect RadioEntryOnScreen(const Dialog& dialog, int index, int entry) {
  Rect window = DialogWindowRect(dialog, mainWindow.frame.width, mainWindow.frame.height);
  Rect content = DialogContentRect(window);
  Rect r = RadioEntryRect(dialog.items[size_t(index)], entry);
  return {r.left + content.left, r.top + content.top, r.width, r.height};
}

}  // namespace tsv
