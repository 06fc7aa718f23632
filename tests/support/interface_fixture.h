// interface_fixture.h: the whole interface without a window: SDL's event queue, the layout loaded
// from the resource folder, an empty scene, room 1 placed in a 1024 x 768 frame; and SDL events
// pushed as the window system would deliver them. Dialogs answer from `services`.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/canvas.h"
#include "platform/events.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "ui/interface_layout.h"
#include "ui/rooms.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

class InterfaceFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    if (ui.layout.panels.empty()) {
      ASSERT_TRUE(LoadInterface());
    }
    ResizeCanvas(mainWindow.frame, 1024, 768);
    SetCurrentRoom(1);
    PlaceRoom(1024, 768, true);
  }
  void TearDown() override {
    test::ResetAllState();
    mainWindow.frame = Canvas{};
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }
  // A mouse motion, or a left-button press or release, at (x, y).
  static void Push(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.x = x;
      e.motion.y = y;
    } else {
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = x;
      e.button.y = y;
    }
    SDL_PushEvent(&e);
  }
  // A key, with the text event that follows a printable key pressed alone.
  static void PushKey(SDL_Keycode sym, Uint16 mod = 0) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
    if (sym >= '0' && sym <= 'z' && mod == 0) {
      SDL_Event t{};
      t.type = SDL_TEXTINPUT;
      t.text.text[0] = char(sym);
      SDL_PushEvent(&t);
    }
  }
  ScriptedServices services;
};

}  // namespace tsv::test
