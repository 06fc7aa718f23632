// shade_ramp.cpp: the shade palette of the 8-bit modeling view. Shade index i runs from the unlit
// side (low) through 128 (light at right angles) to the light (high). Each entry mixes the
// ambient tint toward full light by the diffuse weight, multiplies by the object colour and, over
// the upper half, adds the highlight. The same weights drive the renderer's light tables, so the
// 8-bit picture and the 32-bit painted and textured pictures light alike.
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

double SpecularExponent(uint16_t shininess) {
  const int s = std::min<int>(shininess, 256);
  return std::exp(std::log(9801.0) * double(256 - s) * 0.00390625);
}

int AmbientThreshold(uint16_t ambientLevel) { return std::min<int>(ambientLevel, 254); }

int DiffuseWeight(int i, uint16_t ambientLevel, uint16_t diffuseStrength) {
  const int threshold = AmbientThreshold(ambientLevel);
  if (i <= threshold) return 0;
  return (i - threshold) * std::min<int>(diffuseStrength, 256) / (255 - threshold);
}

void BuildShadeRamp(SceneObject& object) {
  if (object.shadeRamp.size() != size_t(kShadeRampSize)) return;
  const Optics& optics = object.optics;
  const double n = SpecularExponent(optics.shininess);
  const int ambient[3] = {HighByte(optics.ambientColor.red), HighByte(optics.ambientColor.green),
                          HighByte(optics.ambientColor.blue)};
  const int diffuse[3] = {HighByte(optics.diffuseColor.red), HighByte(optics.diffuseColor.green),
                          HighByte(optics.diffuseColor.blue)};
  const int specular[3] = {HighByte(optics.specularColor.red), HighByte(optics.specularColor.green),
                           HighByte(optics.specularColor.blue)};

  for (int i = 0; i < kShadeRampSize; ++i) {
    const int lit = DiffuseWeight(i, optics.ambientLevel, optics.diffuseStrength);
    // The palette uses a highlight of full scale 256 and no clamp of its own; the channel clamp
    // below catches the top entry.
    int highlight = 0;
    if (i >= 128) highlight = int(256.0 * HighlightCurve((i - 128) / 127.0, n));
    uint8_t channel[3];
    for (int c = 0; c < 3; ++c) {
      int x = ((((256 - lit) * ambient[c]) >> 8) + lit) * diffuse[c] >> 8;
      if (i >= 128) x += specular[c] * highlight >> 8;
      channel[c] = uint8_t(std::min(x, 255));
    }
    object.shadeRamp[size_t(i)] = Rgb(channel[0], channel[1], channel[2]);
  }
  const Rgb16& background = preferences.modelingBackground;
  object.shadeRamp[0] = Rgb(uint8_t(HighByte(background.red)), uint8_t(HighByte(background.green)),
                            uint8_t(HighByte(background.blue)));
}

}  // namespace tsv
