// dialog.h: the modal dialog toolkit. A dialog is a plain description (title, size, items with
// their values and hover texts); RunDialog shows it centred over the main window's frame buffer,
// lets the user edit it with the mouse and the keyboard until OK or Cancel, restores the screen
// beneath, and writes the edited values back into the description when it was not cancelled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/fonts.h"
#include "platform/user_services.h"
#include "ui/widgets.h"

namespace tsv {

enum class DialogItemKind : uint8_t {
  Button,
  CheckBox,
  RadioGroup,   // one choice among `entries`
  NumberField,  // a number within [minimum, maximum]
  TextField,
  List,         // rows of `entries`, scrolling
  Swatch,       // a colour; a click opens the colour chooser
  Picture,
  Label,
  Slider,       // 0..sliderMaximum
  Group,        // a titled frame around other items
};

enum class ButtonRole : uint8_t {
  Ok,       // closes; the values are written back. The first one is the default (Return).
  Cancel,   // closes; nothing is written back (Escape)
  Close,    // closes like OK, for dialogs with more than one way to accept
  Command,  // stays open and calls the dialog's onCommand
};

struct DialogItem {
  DialogItemKind kind = DialogItemKind::Label;
  int id = 0;                  // the caller's name for the item (FindDialogItem)
  Rect rect;                   // relative to the dialog's content area
  std::string text;            // caption, label, group title, or a text field's contents
  std::string hover;           // hover text: its name, what it does, its key
  bool enabled = true;
  ButtonRole role = ButtonRole::Command;  // buttons
  bool checked = false;                   // check boxes
  std::vector<std::string> entries;       // radio groups and lists
  int selected = -1;                      // radio groups and lists; -1 when none is chosen
  int columns = 1;                        // radio groups: entries fill the columns row by row
  int firstRow = 0;                       // lists: the first row shown
  double number = 0;                      // number fields; `text` shows it while editing
  double minimum = 0, maximum = 0, step = 1;
  int decimals = 0;
  size_t maxLength = 255;                 // number and text fields, in bytes
  Rgb16 colour;                           // swatches
  const Canvas* picture = nullptr;        // picture boxes; owned by the caller, outlives the dialog
  bool framed = true;                     // pictures: false draws the picture as it is, centred, no box
  int sliderValue = 0, sliderMaximum = 0; // sliders
  LabelStyle style;                       // labels
  // Check boxes: the key letter ('&' before it in the text given; lower case) that Alt with it
  // toggles, and where it stands in `text` (which keeps no '&'), to be underlined. 0 / -1: none.
  char keyLetter = 0;
  int keyIndex = -1;
};

struct Dialog {
  std::string title;
  int width = 0, height = 0;  // the content area below the title bar
  std::vector<DialogItem> items;
  // Called on the dialog being edited after the user changed item `index`, so that a dialog can
  // keep its items in step (enable one field by a check box, and so on).
  std::function<void(Dialog&, int index)> onChange;
  // Called when a Command button is pressed.
  std::function<void(Dialog&, int index)> onCommand;
  // Called when button `index` (OK or Close, by a click or Return) is about to close the dialog;
  // false keeps it open (the dialog has asked a question or shown why in its items). The dialog
  // is still on the screen meanwhile, so a question asked here appears over it.
  std::function<bool(Dialog&, int index)> onAccept;
  // Called while the dialog waits for input; true redraws it (a picture that changed meanwhile).
  std::function<bool(Dialog&)> onIdle;
};

struct DialogResult {
  ButtonRole role = ButtonRole::Cancel;
  int item = -1;  // the button that closed the dialog; -1 when it closed without one
};

// Shows the dialog and runs it until a button closes it, Escape cancels it, or the window asks to
// quit (that request stays queued for the main loop). The window's own hover text goes when a
// dialog opens and its rest starts afresh after the dialog closed, so that never two are shown.
// Without a program window it draws into mainWindow.frame and ends with Cancel once no event has
// arrived for dialogState.idleStepLimit steps.
DialogResult RunDialog(Dialog& dialog);

// Building a description; each returns the new item's index.
int AddButton(Dialog& dialog, Rect rect, std::string text, ButtonRole role, std::string hover = {});
// A '&' in the text marks the next letter as the check box's key letter (Alt with it toggles it;
// it is drawn underlined); "&&" stands for '&' itself.
int AddCheckBox(Dialog& dialog, Rect rect, std::string text, bool checked, std::string hover);
int AddRadioGroup(Dialog& dialog, Rect rect, std::vector<std::string> entries, int selected, std::string hover,
                  int columns = 1);
int AddNumberField(Dialog& dialog, Rect rect, double value, double minimum, double maximum, int decimals,
                   std::string hover);
int AddTextField(Dialog& dialog, Rect rect, std::string text, std::string hover, size_t maxLength = 255);
int AddList(Dialog& dialog, Rect rect, std::vector<std::string> rows, int selected, std::string hover);
int AddSwatch(Dialog& dialog, Rect rect, Rgb16 colour, std::string hover);
int AddPicture(Dialog& dialog, Rect rect, const Canvas* picture, std::string hover = {});
int AddLabel(Dialog& dialog, Rect rect, std::string text, LabelStyle style = {}, std::string hover = {});
int AddSlider(Dialog& dialog, Rect rect, int value, int maximum, std::string hover);
int AddGroup(Dialog& dialog, Rect rect, std::string title);
// "OK" and "Cancel" in the bottom right corner of the content area.
void AddOkCancel(Dialog& dialog);

// The index of the item with `id`, or -1.
int FindDialogItem(const Dialog& dialog, int id);

// Geometry, for callers and tests that point at items. The window includes its drop shadow.
Rect DialogWindowRect(const Dialog& dialog, int screenWidth, int screenHeight);
Rect DialogContentRect(Rect window);
Rect ItemScreenRect(const Dialog& dialog, Rect window, int index);
// One entry of a radio group, relative to the content area.
Rect RadioEntryRect(const DialogItem& item, int entry);

// Numbers in fields: at most `decimals` places without trailing zeros ("7", "0.25", "-1.5").
std::string FormatNumber(double value, int decimals);
// The whole text must be a decimal number ("12", "-0.5", ".5"); false otherwise.
[[nodiscard]] bool ParseNumberText(std::string_view text, double& value);
// The colour of a colour setting (its high bytes) as a pixel.
uint32_t PixelOfColour(Rgb16 colour);

// The toolkit's settings: one record, reset by tests.
struct DialogState {
  // Without a program window: the empty event steps after which a dialog gives up with Cancel, so
  // that a test whose events ran out never hangs.
  int idleStepLimit = 20;
  uint32_t hoverDelayMs = 600;  // the pointer rests this long before a hover text appears
  // Called after every redraw with the frame buffer and the dialog being edited (tests and
  // screenshots).
  std::function<void(const Canvas& screen, const Dialog& shown)> observer;
  int openDialogs = 0;  // dialogs on the screen now (one over another while a dialog asks)
};

extern DialogState dialogState;
void ResetDialogState();

}  // namespace tsv
