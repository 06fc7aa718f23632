// application.h: the program's entry, its window, the ordered start-up of every subsystem, the main
// loop and the orderly shutdown.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"
#include "platform/window.h"

namespace tsv {

struct FileSpec;
struct ComposerTexture;

enum class WindowResult {
  Created,
  SecondInstance,  // another instance runs and was handed the command-line file
  Failed,          // no window could be made; the reason was shown
};

// Runs the whole program for one command-line file (empty for none); returns the exit status.
int AppEntry(const std::string& commandLineFile);

WindowResult CreateMainWindow();
void DestroyMainWindow();

// Start-up, main loop and shutdown. Start-up failures show their fatal message and go straight to
// shutdown.
void RunApplication();
// The start-up steps alone: 0, or the fatal code that stopped them (already shown).
int InitializeApplication();
void RunMainLoop();
// Tolerates a start-up that stopped anywhere.
void ShutdownApplication();

// 128 for a screen narrower than 800, lower than 600 or with fewer than 16 bits a pixel, else 0.
int CheckDisplay(const DisplayInfo& display);
// The renderer in use from the preferred byte and the availability bits; the last match wins.
uint16_t ChooseRenderer(uint16_t preferred, uint16_t availability);
void ShowFatalMessage(int code);

// The composer's picture loader (renderState.loadComposerPicture): the picture the file spec names,
// looked for in the project's "Textures" folder when it is not where the file spec points. A
// failure shows a message naming the file and why, and returns the loader's status.
Status LoadComposerPicture(const FileSpec& file, ComposerTexture& picture);

// Opens a file by its type, as for a command-line file or a file handed over by a later start.
void OpenFileByType(const std::string& path);
// Redraws the whole window and shows it.
void RedrawWindow();
// Only the modeling view's layers again (its last picture, the readout and the brush outline).
void RedrawViewLayers();

}  // namespace tsv
