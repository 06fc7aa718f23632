// main_loop.h: one step of the main loop (the event, the part code under the pointer, the press,
// drag and release protocol of the panels, the keys, the free-view motion), the actions on its
// results. (DrainInput, which empties the input queue, is the input layer's.)
#pragma once

#include <cstdint>

namespace tsv {

// Takes one event and handles it; returns a LoopResult. `previous` is the result of the step
// before when that was 0.
int MainLoopStep(int previous);
// Carries out a result other than 0 and 1 (the redraws).
void ActOnLoopResult(int result);
// The key of the current event: a LoopResult, or -1 when the key means nothing here.
int HandleKey(int previous);
// A press on the part code: the panels in their fixed order, then the view areas.
int DispatchPress(uint16_t partCode);
// One step of the free-view motion of the current object: 2 when the view moved, else 0.
int FreeViewStep();

}  // namespace tsv
