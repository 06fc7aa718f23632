// relative_drag.h: the pointer of a relative drag, as the interactive tools use it: the amount
// follows the motion of the mouse, not its place, so a drag can run on past the edges of the
// screen. With a window that supports it this is SDL's relative mouse mode (pointer hidden and
// held, motion read as deltas); without one (batch commands, tests, drivers without pointer
// control) the drag pointer follows the input layer's pointer.
#pragma once

namespace tsv {

struct RelativeDragState {
  bool active = false;
  // SDL's relative mouse mode is on: motion comes from SDL's relative deltas and the pointer
  // stays hidden where it is. Otherwise the drag pointer is the input layer's pointer.
  bool relativeMode = false;
  int startX = 0, startY = 0;        // where the drag began; the pointer goes back there at the end
  int currentX = 0, currentY = 0;    // the drag pointer, after the last ReadDragPointer
  int previousX = 0, previousY = 0;  // where it was when the last motion was handled
};

extern RelativeDragState relativeDrag;

// Remembers the pointer, starts relative mode when the program window supports it, and sets
// the current and previous drag positions to the start.
void BeginRelativeDrag();

// Brings the drag pointer up to date with the input pumped so far; returns the motion since the
// previous position (the position at the last RecentreCursor).
void ReadDragPointer(int& dx, int& dy);

// A motion has been handled: the next one is measured from here. In relative mode the hidden
// pointer is put back into the middle of the window, so it never runs into an edge.
void RecentreCursor();

// Leaves relative mode, puts the pointer back where the drag began and shows the arrow.
void EndRelativeDrag();

// The primary button is down as far as the input pumped so far knows. False when no input can
// arrive at all (the event subsystem is not running), so a loop waiting for the release cannot
// hang in a batch command.
[[nodiscard]] bool DragButtonDown();

// No drag (tests).
void ResetRelativeDrag();

}  // namespace tsv
