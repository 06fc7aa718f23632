// events.h: the program's input events. SDL's events are turned into one event record at a time
// (mouse down and up, key down with the program's character codes) while the modifier bits, the
// button, the mouse position and a few key flags are kept up to date on every SDL event. Tools and
// dialogs that run their own loops read input through the same calls.
#pragma once

#include <cstdint>
#include <deque>

union SDL_Event;

namespace tsv {

enum EventKind : uint16_t {
  kNullEvent = 0,
  kMouseDown = 1,
  kMouseUp = 2,
  kKeyDown = 3,
  kDeadKeyCharacter = 4,
};

// Modifier bits of EventRecord::modifiers.
inline constexpr uint16_t kControlBit = 0x0100;      // the command key of the interface
inline constexpr uint16_t kShiftBit = 0x0200;
inline constexpr uint16_t kAltBit = 0x0800;          // Alt, or the pen's second button
inline constexpr uint16_t kRightButtonBit = 0x1000;  // right button, or the pen's third button

// Character codes of the keys without a character of their own.
inline constexpr uint32_t kCharHome = 0x01;
inline constexpr uint32_t kCharDelete = 0x08;  // Delete and Backspace
inline constexpr uint32_t kCharTab = 0x09;
inline constexpr uint32_t kCharReturn = 0x0D;
inline constexpr uint32_t kCharLeft = 0x1C;
inline constexpr uint32_t kCharRight = 0x1D;
inline constexpr uint32_t kCharUp = 0x1E;
inline constexpr uint32_t kCharDown = 0x1F;
inline constexpr uint32_t kCharCancel = '.';  // with kControlBit: Escape, the cancel gesture

struct EventRecord {
  uint16_t what = kNullEvent;
  uint32_t message = 0;  // key events: the character code
  uint32_t when = 0;     // sixtieths of a second
  int16_t whereV = 0;    // mouse position relative to the content origin
  int16_t whereH = 0;
  uint16_t modifiers = 0;
};

struct InputState {
  EventRecord event;               // the event of the last GetNextEvent
  std::deque<EventRecord> queue;   // events waiting to be taken
  uint16_t modifiers = 0;          // kept up to date on every SDL event
  bool buttonDown = false;         // the primary button
  int mouseX = 0, mouseY = 0;      // window coordinates
  bool space = false, keyA = false, keyS = false, keyD = false, keyF = false, keyG = false;
  bool quitRequested = false;      // the window's or the system's close request is waiting
  bool redrawRequested = false;    // the window was uncovered or changed its size
  int wheel = 0;                   // wheel steps since the last look (up positive)
};

extern InputState input;
void ResetInput();

// The window procedure of the program: updates the state and queues the events one SDL event
// stands for. Returns false for events of no interest to the input layer.
bool ProcessSdlEvent(const SDL_Event& event);

// Takes SDL's pending events into the input state, waiting up to `waitMs` when none is queued.
void PumpEvents(int waitMs = 0);
// Fills input.event with the next event (kNullEvent when there is none after waiting up to
// `waitMs`); returns true for a real event.
[[nodiscard]] bool GetNextEvent(int waitMs = 0);

// The primary button is down (pumps first).
[[nodiscard]] bool StillDown();
// Space and the letters a, d, f, g, s by their characters.
[[nodiscard]] bool IsKeyDown(char key);
// The cancel gesture (Escape, or Ctrl+'.') is among the waiting events; it is taken from the queue.
[[nodiscard]] bool CancelRequested();
// Throws away all waiting mouse and key events.
void DrainInput();

// Milliseconds to the sixtieths of event times.
constexpr uint32_t TicksFromMilliseconds(uint32_t ms) { return uint32_t(uint64_t(ms) * 60 / 1000); }

}  // namespace tsv
