// The input layer: SDL events to event records, modifier bits, key flags and the pump.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/events.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

SDL_Event Key(Uint32 type, SDL_Keycode sym, Uint16 mod = 0) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  e.key.timestamp = 1000;
  return e;
}

SDL_Event Text(const char* text) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, text, sizeof e.text.text);
  return e;
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  return e;
}

class Events : public testing::Test {
 protected:
  void SetUp() override { test::ResetAllState(); }
  void TearDown() override { test::ResetAllState(); }
  EventRecord Take() {
    EXPECT_FALSE(input.queue.empty());
    if (input.queue.empty()) return {};
    EventRecord r = input.queue.front();
    input.queue.pop_front();
    return r;
  }
};

struct KeyCase {
  SDL_Keycode sym;
  Uint16 mod;
  uint32_t message;
  uint16_t modifiers;
  friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << SDL_GetKeyName(c.sym) << " mod " << c.mod; }
};

class KeyMapping : public Events, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyMapping, KeysBecomeTheProgramsCharacters) {
  const KeyCase& c = GetParam();
  ProcessSdlEvent(Key(SDL_KEYDOWN, c.sym, c.mod));
  ASSERT_EQ(input.queue.size(), 1u);
  EventRecord r = Take();
  EXPECT_EQ(r.what, kKeyDown);
  EXPECT_EQ(r.message, c.message);
  EXPECT_EQ(r.modifiers, c.modifiers);
  EXPECT_EQ(r.when, 60u);  // 1000 ms in sixtieths
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyMapping,
    testing::Values(KeyCase{SDLK_ESCAPE, 0, '.', kControlBit}, KeyCase{SDLK_UP, 0, 0x1E, 0},
                    KeyCase{SDLK_DOWN, 0, 0x1F, 0}, KeyCase{SDLK_DELETE, 0, 0x08, 0},
                    KeyCase{SDLK_BACKSPACE, 0, 0x08, 0}, KeyCase{SDLK_RETURN, 0, 0x0D, 0}, KeyCase{SDLK_TAB, 0, 0x09, 0},
                    KeyCase{SDLK_a, KMOD_LCTRL, 'a', kControlBit}, KeyCase{SDLK_q, KMOD_RCTRL, 'q', kControlBit},
                    KeyCase{SDLK_z, KMOD_LCTRL | KMOD_LSHIFT, 'z', kControlBit | kShiftBit},
                    KeyCase{SDLK_TAB, KMOD_LALT, 0x09, kAltBit}));

TEST_F(Events, PlainCharactersArriveAsTextAndKeysWithoutTextAreQuiet) {
  ProcessSdlEvent(Key(SDL_KEYDOWN, SDLK_a));  // the text event carries it
  EXPECT_TRUE(input.queue.empty());
  EXPECT_TRUE(IsKeyDown('a'));
  ProcessSdlEvent(Text("a\xC3\xA9"));
  EXPECT_EQ(Take().message, uint32_t('a'));
  EXPECT_EQ(Take().message, 0xE9u);
  ProcessSdlEvent(Key(SDL_KEYUP, SDLK_a));
  EXPECT_FALSE(IsKeyDown('a'));
}

TEST_F(Events, ButtonsAndTheKeyFlags) {
  ProcessSdlEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40));
  EventRecord down = Take();
  EXPECT_EQ(down.what, kMouseDown);
  EXPECT_EQ(down.whereH, 30);
  EXPECT_EQ(down.whereV, 40);
  EXPECT_TRUE(input.buttonDown);
  ProcessSdlEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 30, 40));
  EXPECT_TRUE(input.queue.empty());  // the right button is a modifier, not a press
  EXPECT_TRUE(input.modifiers & kRightButtonBit);
  ProcessSdlEvent(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 30, 40));
  EXPECT_FALSE(input.modifiers & kRightButtonBit);
  ProcessSdlEvent(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 31, 41));
  EXPECT_EQ(Take().what, kMouseUp);
  EXPECT_FALSE(input.buttonDown);

  ProcessSdlEvent(Key(SDL_KEYDOWN, SDLK_SPACE));
  ProcessSdlEvent(Key(SDL_KEYDOWN, SDLK_s));
  EXPECT_TRUE(IsKeyDown(' '));
  EXPECT_TRUE(IsKeyDown('s'));
  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  ProcessSdlEvent(focus);  // released elsewhere: forgotten
  EXPECT_FALSE(IsKeyDown(' '));
  EXPECT_FALSE(IsKeyDown('s'));
}

TEST_F(Events, TheCloseRequestBecomesCtrlQOnce) {
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  ProcessSdlEvent(close);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ProcessSdlEvent(quit);
  ASSERT_EQ(input.queue.size(), 1u);
  EventRecord r = Take();
  EXPECT_EQ(r.message, uint32_t('q'));
  EXPECT_EQ(r.modifiers & kControlBit, kControlBit);
  EXPECT_EQ(input.modifiers & kControlBit, 0);  // no Ctrl stays behind
}

TEST_F(Events, ThePumpStopsAtEveryStepAWaitingLoopMustSee) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  auto motion = [](int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    return e;
  };
  SDL_Event events[] = {motion(5, 5), Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 10), motion(12, 10),
                        motion(14, 10), Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 14, 10)};
  for (SDL_Event& e : events) SDL_PushEvent(&e);
  ASSERT_TRUE(GetNextEvent());
  EXPECT_EQ(input.event.what, kMouseDown);
  EXPECT_TRUE(StillDown());   // one drag step
  EXPECT_EQ(input.mouseX, 12);
  EXPECT_TRUE(StillDown());   // the next
  EXPECT_EQ(input.mouseX, 14);
  EXPECT_FALSE(StillDown());  // released
  ASSERT_TRUE(GetNextEvent());
  EXPECT_EQ(input.event.what, kMouseUp);

  SDL_Event escape = Key(SDL_KEYDOWN, SDLK_ESCAPE);
  SDL_PushEvent(&escape);
  EXPECT_TRUE(CancelRequested());
  EXPECT_FALSE(CancelRequested());
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

}  // namespace
}  // namespace tsv
