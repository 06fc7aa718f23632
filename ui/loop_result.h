// loop_result.h: what the main loop does after a step, as panel handlers, keys and commands answer
// it, and the answer of a handler for an event that is not its own.
#pragma once

namespace tsv {

enum LoopResult : int {
  kLoopContinue = 0,
  kLoopQuit = 1,
  kLoopRedrawView = 2,        // the quick or the full view, as the preferences say
  kLoopRedrawViewSecond = 3,  // the current object's view in its second form
  kLoopRedrawViewFull = 4,    // the whole window, the view in full
  kLoopDepthLeft = 5,         // the composer's left object as a depth view
  kLoopDepthRight = 6,
  kLoopRedrawPointer = 7,     // the view's last picture again, with what follows the pointer over it
};

// A panel handler's answer for an event that is not its own; the press then goes on to the next
// panel, and at last to the view areas.
inline constexpr int kNotMine = 12345;

}  // namespace tsv
