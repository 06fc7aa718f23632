// message_box.h: the program's message boxes, drawn inside its window with the dialog toolkit: a
// coloured mark (the red stop sign, the amber caution triangle), the text wrapped to the box and a
// row of buttons. They stand behind ShowStopMessage, AskMessage, ShowAlert and AskChoice once the
// window's services take RunMessageBox.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/user_services.h"
#include "ui/dialog.h"

namespace tsv {

// The ids of the box's items (DialogItem::id), for the tests that look them up.
enum MessageBoxItemId : int {
  kBoxItemMark = 1,
  kBoxItemFirstLine = 100,    // the text's lines, ids counting up
  kBoxItemFirstButton = 200,  // the buttons in the order of the request, ids counting up
};
inline constexpr int kMessageMarkSize = 32;

// The box of a request over a screen of that size. The text is broken at spaces, and a word wider
// than the box (a long path) at any character, so nothing of it is lost; only a text taller than
// the screen is cut, its last line ending in "…". `mark` receives the mark's picture and must
// outlive the dialog.
Dialog MakeMessageBox(const MessageRequest& request, int screenWidth, int screenHeight, Canvas& mark);
// The mark of that kind, kMessageMarkSize square over the panel colour.
void DrawMessageMark(Canvas& mark, MessageMark kind);
// Lines of at most `maxWidth` pixels: broken at spaces and at '\n', and inside words that are
// wider than a line.
std::vector<std::string> WrapMessageText(std::string_view text, int maxWidth);

// Shows the box over the main window and returns the index of the button chosen: a click or Space
// on a button gives that button, Return the default one, Escape (and the window's close request)
// the Cancel button. The keyboard focus starts on the default button.
int RunMessageBox(const MessageRequest& request);

}  // namespace tsv
