// tool_state.h: the deformation tools' global state in one record: what the interface hands the
// tools (where the amount readout sits, how a redraw reaches the screen, the view options, the
// trackball's axis lock), what the readout shows, and the two snapshots of material and texture
// settings that every commit shifts. The tools keep nothing else between calls.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform/canvas.h"
#include "render/soft_draw.h"
#include "scene/scene_object.h"

namespace tsv {

// The readout box of the modeling panel.
inline constexpr int kReadoutWidth = 45;
inline constexpr int kReadoutHeight = 30;
inline constexpr uint32_t kReadoutColour = 0x222222;
inline constexpr uint32_t kReadoutTextColour = Rgb(224, 224, 224);
inline constexpr int kReadoutLineStep = 15;  // the second value sits this much below the first

// A readout value of -32000 stands for "no value".
inline constexpr int kNoReadoutValue = -32000;

// Axis lock of the trackball, with the values of the interface's axis menu: 1 "no vertical"
// (horizontal motion, which turns about the vertical axis, is dropped), 2 "no horizontal"
// (vertical motion is dropped), 3 both.
inline constexpr int kLockVerticalAxis = 1;
inline constexpr int kLockHorizontalAxis = 2;

struct ToolState {
  // Where the amount readout is drawn into the window's frame buffer: the panel sets it to its
  // readout item (kReadoutWidth x kReadoutHeight). Empty until then: nothing is drawn.
  Rect readoutRect;
  // Called after every redraw of a drag to put the view (renderState.viewPicture) and the
  // readout on the screen. Empty: nothing is presented (batch commands, tests).
  std::function<void()> present;
  // The view's drawing options for the redraws during a drag; they always draw the quick
  // four-to-one outline whatever fullDetail says.
  SoftDrawOptions drawOptions;
  // The trackball's axis lock: kLockVerticalAxis, kLockHorizontalAxis, both, or 0.
  int axisLock = 0;

  // What the readout shows now; kNoReadoutValue where it shows nothing.
  int readoutValue1 = kNoReadoutValue;
  int readoutValue2 = kNoReadoutValue;

  // Material and texture mapping at the last commit and at the commit before it.
  Optics currentOptics;
  Optics previousOptics;
  TextureMapping currentTextureMapping;
  TextureMapping previousTextureMapping;
};

extern ToolState toolState;

// A fresh state (tests).
void ResetToolState();

}  // namespace tsv
