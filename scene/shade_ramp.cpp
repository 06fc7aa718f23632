// shade_ramp.cpp: an interim shade ramp, good enough to show objects until the software renderer
// brings the ramp that matches its lighting tables; it will replace this file.
//
// Shade index i runs from the unlit side (low) to the light (high). Below the ambient level only
// the ambient colour shows; above it the colour rises toward the diffuse colour (scaled by the
// diffuse strength), and over the upper half a specular highlight is added whose width follows
// the shininess.
#include "scene/shade_ramp.h"

#include <algorithm>
#include <cmath>

#include "platform/canvas.h"
#include "platform/preferences.h"
#include "scene/scene_object.h"

namespace tsv {
namespace {

int HighByte(uint16_t component) { return component >> 8; }

}  // namespace

void BuildShadeRamp(SceneObject& object) {
  if (object.shadeRamp.size() != size_t(kShadeRampSize)) return;
  const Optics& optics = object.optics;
  const int ambientTop = std::min<int>(optics.ambientLevel, 255);
  const int strength = std::min<int>(optics.diffuseStrength, 256);
  // A higher shininess gives a narrower highlight: the exponent runs from 1 to 17.
  const double exponent = 1.0 + std::min<int>(optics.shininess, 256) / 16.0;
  const Rgb16& ambient = optics.ambientColor;
  const Rgb16& diffuse = optics.diffuseColor;
  const Rgb16& specular = optics.specularColor;

  for (int i = 0; i < kShadeRampSize; ++i) {
    // Diffuse weight 0..strength across the lit part of the ramp.
    int lit = 0;
    if (i > ambientTop && ambientTop < 255) lit = (i - ambientTop) * strength / (255 - ambientTop);
    int highlight = 0;
    if (i >= 128) highlight = int(256.0 * std::pow((i - 128) / 127.0, exponent));
    auto channel = [&](uint16_t a, uint16_t d, uint16_t s) {
      int base = HighByte(a) + (HighByte(d) - HighByte(a)) * lit / 256;
      return uint8_t(std::clamp(base + HighByte(s) * highlight / 256, 0, 255));
    };
    object.shadeRamp[size_t(i)] = Rgb(channel(ambient.red, diffuse.red, specular.red),
                                      channel(ambient.green, diffuse.green, specular.green),
                                      channel(ambient.blue, diffuse.blue, specular.blue));
  }
  const Rgb16& background = preferences.modelingBackground;
  object.shadeRamp[0] = Rgb(uint8_t(HighByte(background.red)), uint8_t(HighByte(background.green)),
                            uint8_t(HighByte(background.blue)));
}

}  // namespace tsv
