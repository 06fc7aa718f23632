// paint_fixture.h: the tools' fixture (scene, renderer, input, recorded steps, scripted drags,
// hand-built meshes) with the paint state and the brush settings that hold the paint colour
// fresh for every test, and the lattice rebuilt from its seed whatever a test did to it.
#pragma once

#include "paint/paint_state.h"
#include "render/render_state.h"
#include "tests/tools/tool_fixture.h"
#include "tools/brush_settings.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

class PaintFixture : public ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    renderState.noiseLatticeReady = false;
    InitPaint();
  }

  // The paint colour from 8-bit channels, as the colour chooser widens them.
  static void SetPaintColour(uint8_t r, uint8_t g, uint8_t b) {
    brushSettings.paintColour = Rgb16{uint16_t(r << 8), uint16_t(g << 8), uint16_t(b << 8)};
  }
};

}  // namespace tsv::test
