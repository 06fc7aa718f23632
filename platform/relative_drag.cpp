// relative_drag.cpp: relative mouse mode for the drags of the interactive tools.
#include "platform/relative_drag.h"

#include <SDL.h>

#include "platform/events.h"
#include "platform/window.h"

namespace tsv {

RelativeDragState relativeDrag;

void ResetRelativeDrag() { relativeDrag = RelativeDragState{}; }

bool DragButtonDown() { return input.buttonDown && SDL_WasInit(SDL_INIT_EVENTS) != 0; }

void BeginRelativeDrag() {
  RelativeDragState& drag = relativeDrag;
  drag.active = true;
  drag.startX = drag.currentX = drag.previousX = input.mouseX;
  drag.startY = drag.currentY = drag.previousY = input.mouseY;
  drag.relativeMode = false;
  if (HasProgramWindow() && SDL_SetRelativeMouseMode(SDL_TRUE) == 0) {
    drag.relativeMode = true;
    // Motion from before the press is no part of the drag.
    SDL_GetRelativeMouseState(nullptr, nullptr);
  }
}

void ReadDragPointer(int& dx, int& dy) {
  RelativeDragState& drag = relativeDrag;
  if (drag.relativeMode) {
    // SDL's window coordinates stop at the window's edges; its deltas do not.
    int moveX = 0, moveY = 0;
    SDL_GetRelativeMouseState(&moveX, &moveY);
    drag.currentX += moveX;
    drag.currentY += moveY;
  } else {
    drag.currentX = input.mouseX;
    drag.currentY = input.mouseY;
  }
  dx = drag.currentX - drag.previousX;
  dy = drag.currentY - drag.previousY;
}

void RecentreCursor() {
  RelativeDragState& drag = relativeDrag;
  if (drag.relativeMode) {
    // The drag position is our own; keep the hidden pointer in the middle so SDL's window
    // coordinates never pin at an edge while the drag runs.
    int width = 0, height = 0;
    SDL_GetWindowSize(mainWindow.window, &width, &height);
    SDL_WarpMouseInWindow(mainWindow.window, width / 2, height / 2);
    drag.currentX = drag.previousX = width / 2;
    drag.currentY = drag.previousY = height / 2;
    return;
  }
  drag.previousX = drag.currentX;
  drag.previousY = drag.currentY;
}

void EndRelativeDrag() {
  RelativeDragState& drag = relativeDrag;
  if (!drag.active) return;
  if (drag.relativeMode) {
    SDL_SetRelativeMouseMode(SDL_FALSE);
    if (HasProgramWindow()) SDL_WarpMouseInWindow(mainWindow.window, drag.startX, drag.startY);
    SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_ShowCursor(SDL_ENABLE);
    input.mouseX = drag.startX;
    input.mouseY = drag.startY;
  }
  drag.active = false;
  drag.relativeMode = false;
}

}  // namespace tsv
