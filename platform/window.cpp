// window.cpp: the SDL window, its renderer and the streaming texture that shows the frame buffer.
#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <string>

#include "platform/platform_state.h"

namespace tsv {

MainWindow mainWindow;

namespace {


bool MakeTexture(int width, int height) {
  if (mainWindow.texture) SDL_DestroyTexture(mainWindow.texture);
  mainWindow.texture = SDL_CreateTexture(mainWindow.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                         width > 0 ? width : 1, height > 0 ? height : 1);
  return mainWindow.texture != nullptr;
}

}  // namespace

bool StartVideo(std::string* error) {
  if (platform.videoStarted) return true;
  // Everything is drawn into our own frame buffer, so the window only needs a plain copy to the
  // screen: SDL's software path does that without a GL context (the hardware back ends of the
  // modeling views make their own). Settings in the environment still take precedence.
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  platform.videoStarted = true;
  return true;
}

void StopVideo() {
  if (!platform.videoStarted) return;
  SDL_Quit();
  platform.videoStarted = false;
}

DisplayInfo GetDisplayInfo() {
  SDL_DisplayMode mode;
  if (!platform.videoStarted || SDL_GetDesktopDisplayMode(0, &mode) != 0) return {};
  return {mode.w, mode.h, int(SDL_BITSPERPIXEL(mode.format))};
}

bool CreateProgramWindow(const char* title, uint32_t background) {
  DisplayInfo display = GetDisplayInfo();
  int width = display.width > 0 ? display.width : 1024;
  int height = display.height > 0 ? display.height : 768;
  mainWindow.window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_MAXIMIZED | SDL_WINDOW_RESIZABLE);
  if (mainWindow.window == nullptr) return false;
  SDL_SetWindowMinimumSize(mainWindow.window, kMinimumWidth, kMinimumHeight);
  mainWindow.renderer = SDL_CreateRenderer(mainWindow.window, -1, 0);
  if (mainWindow.renderer == nullptr) {
    DestroyProgramWindow();
    return false;
  }
  mainWindow.frame = Canvas{};
  SyncFrameToWindow(background);
  if (mainWindow.texture == nullptr) {
    DestroyProgramWindow();
    return false;
  }
  return true;
}

void DestroyProgramWindow() {
  if (mainWindow.texture) SDL_DestroyTexture(mainWindow.texture);
  if (mainWindow.renderer) SDL_DestroyRenderer(mainWindow.renderer);
  if (mainWindow.window) SDL_DestroyWindow(mainWindow.window);
  mainWindow = MainWindow{};
}

bool SyncFrameToWindow(uint32_t background) {
  if (mainWindow.window == nullptr) return false;
  int outputWidth = 0, outputHeight = 0;
  SDL_GetWindowSize(mainWindow.window, &outputWidth, &outputHeight);
  // The panels are laid out for 1024 x 768. A smaller window shows that whole frame scaled down
  // (SDL maps the pointer back into the frame), so every control stays reachable.
  const int width = std::max(outputWidth, kDesignWidth), height = std::max(outputHeight, kDesignHeight);
  if (width == mainWindow.frame.width && height == mainWindow.frame.height && mainWindow.texture) return false;
  SDL_RenderSetLogicalSize(mainWindow.renderer, width, height);
  ResizeCanvas(mainWindow.frame, width, height, background);
  MakeTexture(width, height);
  return true;
}

void PresentFrame() {
  if (mainWindow.renderer == nullptr || mainWindow.texture == nullptr || mainWindow.frame.width == 0) return;
  SDL_UpdateTexture(mainWindow.texture, nullptr, mainWindow.frame.pixels.data(), mainWindow.frame.width * 4);
  SDL_RenderClear(mainWindow.renderer);
  SDL_RenderCopy(mainWindow.renderer, mainWindow.texture, nullptr, nullptr);
  SDL_RenderPresent(mainWindow.renderer);
}

bool HasProgramWindow() { return mainWindow.window != nullptr; }

void RaiseProgramWindow() {
  if (mainWindow.window == nullptr) return;
  if (SDL_GetWindowFlags(mainWindow.window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(mainWindow.window);
  SDL_MaximizeWindow(mainWindow.window);
  SDL_RaiseWindow(mainWindow.window);
}

}  // namespace tsv
