// window.h: the one program window (SDL2) and its 32-bit frame buffer. Everything the program
// shows is drawn into `frame` and presented through a streaming texture. Also the display facts
// that start-up checks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/canvas.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace tsv {

// The size the interface is laid out for, and the smallest window the program accepts.
inline constexpr int kDesignWidth = 1024;
inline constexpr int kDesignHeight = 768;
inline constexpr int kMinimumWidth = 800;
inline constexpr int kMinimumHeight = 600;

struct DisplayInfo {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
};

struct MainWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  Canvas frame;  // the window's pixels, 0x00RRGGBB
};

extern MainWindow mainWindow;

// Starts SDL's video and event subsystems once; false with SDL's reason in `error`.
[[nodiscard]] bool StartVideo(std::string* error = nullptr);
void StopVideo();
// The desktop of the first display; zeros when video is not started.
DisplayInfo GetDisplayInfo();

// The window of the given title covering the desktop, maximised and resizable, with a frame
// buffer of its size filled with `background`.
[[nodiscard]] bool CreateProgramWindow(const char* title, uint32_t background);
void DestroyProgramWindow();
// Follows a change of the window's size: the frame buffer takes the new size (filled with
// `background`); returns true when the size changed.
bool SyncFrameToWindow(uint32_t background);
// Shows the frame buffer.
void PresentFrame();
// True while the program window exists (false in batch commands and tests).
[[nodiscard]] bool HasProgramWindow();
// Brings the window to the front, restoring it when minimised.
void RaiseProgramWindow();

}  // namespace tsv
