// letters_dialog.h: the letters dialog ("Lettrino") of the "Letters and shapes" room: the text, the
// TrueType family, the style and the mesh settings, with a preview of the text in the chosen face;
// and the command that makes the new object from it.
#pragma once

#include <string>
#include <vector>

#include "letters/letters.h"
#include "ui/dialog.h"

namespace tsv {

// The dialog over `settings`; `preview` (owned by the caller, outliving the dialog) shows the text
// in the chosen face and follows every change.
Dialog MakeLettersDialog(const LetterSettings& settings, const std::vector<std::string>& families, Canvas& preview);
// The settings the dialog's items hold.
void ReadLettersDialog(const Dialog& dialog, const std::vector<std::string>& families, LetterSettings& settings);

// "Letters...": a free slot first ("Error: No empty space."), then the dialog, then the letters
// made with the progress box (Cancel makes no object); the new object takes the lowest free slot
// and becomes current. A loop result.
int NewLettersFromDialog();

}  // namespace tsv
