// app_state.h: the state the application core keeps for the whole run.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sdl_services.h"
#include "platform/window.h"
#include "ui/loop_result.h"

namespace tsv {

// Renderer word: the renderer in use in the low byte, availability in the high bits.
inline constexpr uint16_t kBackendSoftDraw = 0;
inline constexpr uint16_t kBackendQuickDraw3D = 1;
inline constexpr uint16_t kBackendOpenGL = 2;
inline constexpr uint16_t kBackendDirect3D = 4;
inline constexpr uint16_t kDirect3DAvailable = 0x2000;
inline constexpr uint16_t kOpenGLAvailable = 0x4000;
inline constexpr uint16_t kQuickDraw3DAvailable = 0x8000;

// Fatal start-up codes.
inline constexpr int kFatalCodeDisplay = 128;
inline constexpr int kFatalCodeMemory = 129;

struct AppState {
  std::string commandLineFile;
  bool readyToPaint = false;
  uint16_t partCode = 0;    // the part code of the last press (not with the right button)
  int trackedPanel = 0;     // the panel that follows the press being tracked
  // The panel handlers (panel, phase, part code); tests put a recorder in their place.
  std::function<int(int, int, uint16_t)> panelHandler;
  uint16_t preferredRenderer = 0;  // the low byte saved with the preferences
  DisplayInfo display;
  std::optional<DisplayInfo> displayOverride;  // tests stand in for the screen with this
  // Set by SIGINT or SIGTERM while a batch animation runs: it ends after the frame in hand.
  volatile std::sig_atomic_t stopSignal = 0;

  // Constants of the composer camera and of the free view's spin.
  float cameraDistance = -25.0f;
  float spinRates[3] = {1.0822536f, 7.575775f, 3.1830988f};

  bool instanceListening = false;
  // The window's dialogs and message boxes, installed while the program window exists.
  SdlServices sdlServices;
  // Where the pointer was at the last step of the free view that follows the mouse (-1: not yet).
  int followPointerX = -1, followPointerY = -1;
  bool preferencesRead = false;  // set once start-up has read the preferences file
};

extern AppState app;
void ResetAppState();

}  // namespace tsv
