// main_loop.cpp: waiting for input, the close request, hand-overs from later starts, redraws.
#include "core/main_loop.h"

#include <SDL.h>

#include "core/app_state.h"
#include "core/application.h"
#include "platform/single_instance.h"
#include "platform/window.h"

namespace tsv {
namespace {

// How long one step waits for input before it looks at the hand-over socket again.
constexpr int kWaitMs = 50;

int HandleWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      return HandleQuitRequest();
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      if (app.readyToPaint) DrawInterface();
      return kLoopContinue;
    default:
      return kLoopContinue;
  }
}

}  // namespace

int HandleQuitRequest() { return kLoopQuit; }

int MainLoopStep(int /*previous*/) {
  int result = kLoopContinue;
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, kWaitMs)) {
    switch (event.type) {
      case SDL_QUIT:  // the last window closed, or SIGINT / SIGTERM
        result = HandleQuitRequest();
        break;
      case SDL_WINDOWEVENT:
        result = HandleWindowEvent(event.window);
        break;
      default:
        break;
    }
  }
  if (result == kLoopContinue) {
    for (const std::string& path : PollInstanceMessages()) {
      RaiseProgramWindow();
      if (!path.empty()) OpenFileByType(path);
    }
  }
  return result;
}

void ActOnLoopResult(int result) {
  switch (result) {
    case kLoopRedrawView:
    case kLoopRedrawViewSecond:
    case kLoopRedrawViewFull:
    case kLoopDepthLeft:
    case kLoopDepthRight:
      DrawInterface();
      break;
    default:
      break;
  }
}

void DrainInput() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_MOUSEMOTION, SDL_MOUSEWHEEL);
  SDL_FlushEvents(SDL_KEYDOWN, SDL_TEXTINPUT);
}

}  // namespace tsv
