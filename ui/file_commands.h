// file_commands.h: the project and object file commands of the top strip and their keys, the
// optics clipboard keys, and opening a file by its type (command line, a later start's hand-over).
// Each returns a loop result (4 redraws the window).
#pragma once

#include <string>

namespace tsv {

// Before the project is closed (`quitting`: by quitting the program): with unsaved changes, asks
// whether to save them first ("Save", "Don't Save", "Cancel"). True when there is nothing unsaved,
// the user chose not to save, or chose to save and the project was saved.
[[nodiscard]] bool ResolveUnsavedChanges(bool quitting);
[[nodiscard]] bool HasUnsavedChanges();

int CommandNewProject();   // Ctrl+N
int CommandOpenProject();  // Ctrl+O
int CommandSaveProject();  // Ctrl+S
int CommandOpenObject();
int CommandSaveObject();
int CommandSaveObjectAs();
// Quit (the top strip's Quit, Ctrl+Q, closing the window): while tasks are recorded, asks whether
// to stop recording; with unsaved changes, whether to save them first. kLoopQuit when the user
// agreed and nothing unsaved is left behind against the user's choice, else the redraw result.
int CommandQuit();
int CommandCopyOptics();   // Ctrl+C
int CommandPasteOptics();  // Ctrl+V

// Opens a file by the type its name gives: an object into a free slot, a project in place of the
// one open, a task list into the task panel, an optics file or a picture onto the current object
// (its material, its texture). False, after the reason was shown, for other types and failures.
[[nodiscard]] bool OpenFileOfType(const std::string& path);
// Whether the file is of a kind that goes onto the current object (optics, pictures).
[[nodiscard]] bool GoesOntoCurrentObject(const std::string& path);

}  // namespace tsv
