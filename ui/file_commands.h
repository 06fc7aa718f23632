// file_commands.h: the project and object file commands of the top strip and their keys, the
// optics clipboard keys, and opening a file by its type (command line, a later start's hand-over).
// Each returns a loop result (4 redraws the window).
#pragma once

#include <string>

namespace tsv {

// True when nothing is unsaved, or the user agrees to go on without saving.
[[nodiscard]] bool ConfirmDiscardChanges();
[[nodiscard]] bool HasUnsavedChanges();

int CommandNewProject();   // Ctrl+N
int CommandOpenProject();  // Ctrl+O
int CommandSaveProject();  // Ctrl+S
int CommandOpenObject();
int CommandSaveObject();
int CommandSaveObjectAs();
// Quit (the top strip's Quit, Ctrl+Q, closing the window): while tasks are recorded, asks whether
// to stop recording; with unsaved changes, whether to go on without saving them. kLoopQuit when
// both are answered yes (or not asked), else the redraw result.
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
