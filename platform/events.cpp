// events.cpp: SDL events to the program's event records and input state.
#include "platform/events.h"

#include <SDL.h>

#include <algorithm>

namespace tsv {

InputState input;

void ResetInput() { input = InputState{}; }

namespace {

uint16_t ModifierBits(Uint16 mod) {
  uint16_t bits = 0;
  if (mod & KMOD_CTRL) bits |= kControlBit;
  if (mod & KMOD_SHIFT) bits |= kShiftBit;
  if (mod & KMOD_ALT) bits |= kAltBit;
  return bits;
}

void Queue(uint16_t what, uint32_t message, uint32_t timestamp, uint16_t extraModifiers = 0) {
  EventRecord record;
  record.what = what;
  record.message = message;
  record.when = TicksFromMilliseconds(timestamp);
  record.whereV = int16_t(std::clamp(input.mouseY, -32768, 32767));
  record.whereH = int16_t(std::clamp(input.mouseX, -32768, 32767));
  record.modifiers = uint16_t(input.modifiers | extraModifiers);
  input.queue.push_back(record);
}

void SetKeyFlag(SDL_Keycode key, bool down) {
  switch (key) {
    case SDLK_SPACE: input.space = down; break;
    case SDLK_a: input.keyA = down; break;
    case SDLK_s: input.keyS = down; break;
    case SDLK_d: input.keyD = down; break;
    case SDLK_f: input.keyF = down; break;
    case SDLK_g: input.keyG = down; break;
    default: break;
  }
}

// The character a key stands for when it has none of its own, or 0.
uint32_t SpecialKeyCharacter(SDL_Keycode key) {
  switch (key) {
    case SDLK_UP: return kCharUp;
    case SDLK_DOWN: return kCharDown;
    case SDLK_LEFT: return kCharLeft;
    case SDLK_RIGHT: return kCharRight;
    case SDLK_DELETE:
    case SDLK_BACKSPACE: return kCharDelete;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return kCharReturn;
    case SDLK_TAB: return kCharTab;
    case SDLK_HOME: return kCharHome;
    default: return 0;
  }
}

// Next code point of UTF-8 text; malformed bytes are skipped.
uint32_t NextCodePoint(const char* text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  uint8_t c = byte(i++);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0;
  uint32_t code = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i++) & 0x3F);
  }
  return code;
}

void KeyDown(const SDL_KeyboardEvent& key) {
  input.modifiers = uint16_t((input.modifiers & ~(kControlBit | kShiftBit | kAltBit)) | ModifierBits(key.keysym.mod));
  SetKeyFlag(key.keysym.sym, true);
  if (key.keysym.sym == SDLK_ESCAPE) {
    Queue(kKeyDown, kCharCancel, key.timestamp, kControlBit);
    return;
  }
  if (uint32_t special = SpecialKeyCharacter(key.keysym.sym)) {
    Queue(kKeyDown, special, key.timestamp);
    return;
  }
  // With Ctrl held there is no text event: Ctrl+letter arrives as the lower-case letter with the
  // Ctrl bit. So does a letter with the left Alt (a dialog's key letters); the right Alt is left to
  // the keyboard layout (AltGr), whose characters arrive as text. Plain characters arrive as text
  // events.
  const bool leftAltLetter = (key.keysym.mod & KMOD_LALT) && key.keysym.sym >= 'a' && key.keysym.sym <= 'z';
  if (((input.modifiers & kControlBit) || leftAltLetter) && key.keysym.sym >= 0x20 && key.keysym.sym < 0x7F) {
    Queue(kKeyDown, uint32_t(key.keysym.sym), key.timestamp);
  }
}

// The next SDL event without waiting. SDL_PollEvent is not used: it leaves a marker in SDL's queue
// when a caller stops before the queue is empty (as the pump does at every significant event), and
// the next poll then reports an empty queue although events wait.
bool NextSdlEvent(SDL_Event& event) {
  for (;;) {
    if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) SDL_PumpEvents();
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return false;
    if (event.type != SDL_POLLSENTINEL) return true;
  }
}

}  // namespace

bool ProcessSdlEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
      KeyDown(event.key);
      return true;
    case SDL_KEYUP:
      input.modifiers =
          uint16_t((input.modifiers & ~(kControlBit | kShiftBit | kAltBit)) | ModifierBits(event.key.keysym.mod));
      SetKeyFlag(event.key.keysym.sym, false);
      return true;
    case SDL_TEXTINPUT: {
      // Already queued from the key itself.
      if ((input.modifiers & kControlBit) || (SDL_GetModState() & KMOD_LALT)) return true;
      for (size_t i = 0; event.text.text[i] != '\0';) {
        uint32_t code = NextCodePoint(event.text.text, i);
        if (code >= 0x20 && code != 0x7F) Queue(kKeyDown, code, event.text.timestamp);
      }
      return true;
    }
    case SDL_MOUSEMOTION:
      input.mouseX = event.motion.x;
      input.mouseY = event.motion.y;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      input.mouseX = event.button.x;
      input.mouseY = event.button.y;
      if (event.button.button == SDL_BUTTON_LEFT) {
        input.buttonDown = down;
        Queue(down ? kMouseDown : kMouseUp, 0, event.button.timestamp);
      } else if (event.button.button == SDL_BUTTON_RIGHT) {
        input.modifiers = down ? uint16_t(input.modifiers | kRightButtonBit) : uint16_t(input.modifiers & ~kRightButtonBit);
      }
      return true;
    }
    case SDL_MOUSEWHEEL:
      input.wheel += event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
      return true;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        // The close request becomes the quit command, Ctrl+Q, so it goes through the same questions.
        input.quitRequested = true;
        Queue(kKeyDown, 'q', event.window.timestamp, kControlBit);
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                 event.window.event == SDL_WINDOWEVENT_RESTORED || event.window.event == SDL_WINDOWEVENT_MAXIMIZED ||
                 event.window.event == SDL_WINDOWEVENT_SHOWN) {
        input.redrawRequested = true;
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        // Keys released while another window had the focus never reach us: forget them.
        input.modifiers &= kRightButtonBit;
        input.space = input.keyA = input.keyS = input.keyD = input.keyF = input.keyG = false;
      }
      return true;
    case SDL_QUIT:  // SIGINT or SIGTERM, or the last window closed
      if (!input.quitRequested) {
        input.quitRequested = true;
        Queue(kKeyDown, 'q', event.quit.timestamp, kControlBit);
      }
      return true;
    default:
      return false;
  }
}

void PumpEvents(int waitMs) {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
  // One SDL event after another until one of them matters to a waiting caller: a queued event,
  // a change of the button, or a move while the button is down (a drag step). The rest stay in
  // SDL's queue, as messages would, so every drag step and press is seen in order.
  auto significant = [](const SDL_Event& e, size_t queuedBefore, bool buttonBefore) {
    return input.queue.size() != queuedBefore || input.buttonDown != buttonBefore ||
           (e.type == SDL_MOUSEMOTION && input.buttonDown);
  };
  SDL_Event event;
  if (waitMs > 0 && input.queue.empty()) {
    size_t queued = input.queue.size();
    bool button = input.buttonDown;
    if (!SDL_WaitEventTimeout(&event, waitMs)) return;
    ProcessSdlEvent(event);
    if (significant(event, queued, button)) return;
  }
  for (;;) {
    size_t queued = input.queue.size();
    bool button = input.buttonDown;
    if (!NextSdlEvent(event)) return;
    ProcessSdlEvent(event);
    if (significant(event, queued, button)) return;
  }
}

bool GetNextEvent(int waitMs) {
  if (input.queue.empty()) PumpEvents(waitMs);
  if (input.queue.empty()) {
    input.event = EventRecord{};
    input.event.whereV = int16_t(input.mouseY);
    input.event.whereH = int16_t(input.mouseX);
    input.event.modifiers = input.modifiers;
    input.event.when = TicksFromMilliseconds(SDL_WasInit(SDL_INIT_EVENTS) ? SDL_GetTicks() : 0);
    return false;
  }
  input.event = input.queue.front();
  input.queue.pop_front();
  return true;
}

bool StillDown() {
  PumpEvents(0);
  return input.buttonDown;
}

bool IsKeyDown(char key) {
  switch (key) {
    case ' ': return input.space;
    case 'a': return input.keyA;
    case 's': return input.keyS;
    case 'd': return input.keyD;
    case 'f': return input.keyF;
    case 'g': return input.keyG;
    default: return false;
  }
}

bool CancelRequested() {
  // Everything waiting is looked at: the gesture may come after other input.
  if (SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event event;
    while (NextSdlEvent(event)) ProcessSdlEvent(event);
  }
  auto cancel = std::find_if(input.queue.begin(), input.queue.end(), [](const EventRecord& e) {
    return e.what == kKeyDown && e.message == kCharCancel && (e.modifiers & kControlBit);
  });
  if (cancel == input.queue.end()) return false;
  input.queue.erase(cancel);
  return true;
}

void DrainInput() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event event;
    while (NextSdlEvent(event)) ProcessSdlEvent(event);
  }
  // A close request waiting among them is kept: the program still has to answer it.
  input.queue.erase(std::remove_if(input.queue.begin(), input.queue.end(),
                                   [](const EventRecord& e) {
                                     bool quit = input.quitRequested && e.what == kKeyDown && e.message == 'q' &&
                                                 (e.modifiers & kControlBit);
                                     return !quit && (e.what == kMouseDown || e.what == kMouseUp ||
                                                      e.what == kKeyDown || e.what == kDeadKeyCharacter);
                                   }),
                    input.queue.end());
}

}  // namespace tsv
