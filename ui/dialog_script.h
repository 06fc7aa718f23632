// dialog_script.h: scripted input for driving dialogs without a display. Each call queues event
// records in the input layer's queue, in the order a user would make them; RunDialog then takes
// them like real input and ends with Cancel once they are used up.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/canvas.h"
#include "ui/dialog.h"

namespace tsv {

void QueueMouseDown(int x, int y, uint16_t modifiers = 0);
void QueueMouseUp(int x, int y, uint16_t modifiers = 0);
// A press and a release at the same place; ClickOn aims at the centre of a rectangle.
void QueueClick(int x, int y, uint16_t modifiers = 0);
void QueueClickOn(Rect rect);
// One key with the program's character code (kCharReturn, kCharTab, 'a' with kControlBit, ...).
void QueueKey(uint32_t code, uint16_t modifiers = 0);
// Escape, which arrives as Ctrl+'.'.
void QueueEscape();
// Typed text, one key event per character (UTF-8).
void QueueText(std::string_view text);

// Where RunDialog will show item `index` of `dialog` over the main window's frame buffer.
Rect ItemOnScreen(const Dialog& dialog, int index);
Rect RadioEntryOnScreen(const Dialog& dialog, int index, int entry);

}  // namespace tsv
