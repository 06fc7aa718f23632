// main_loop.h: one step of the main loop, the actions on its results, and the input drain.
#pragma once

namespace tsv {

// Waits for and handles one piece of input; returns a LoopResult. `previous` is the result of the
// step before when that was 0.
int MainLoopStep(int previous);
// Carries out a nonzero result other than quit (redraws).
void ActOnLoopResult(int result);
// The close request of the window or the system: 1 to quit, 0 to stay.
int HandleQuitRequest();
// Removes all pending mouse and key input.
void DrainInput();

}  // namespace tsv
