// shade_ramp.h: the object's 256-colour shade palette, through which the 8-bit shade buffer of the
// modeling view is shown, and the two lighting rules it shares with the renderers' light tables
// (the highlight exponent and the ambient threshold). Rebuilt whenever the optics or the modeling
// background change.
#pragma once

#include <cstdint>

namespace tsv {

struct SceneObject;

// The exponent n of the highlight curve t^n, from 1 (shininess 256, a linear ramp) to 9801
// (shininess 0, a needle-sharp highlight): 9801^((256 - shininess) / 256). Shininess is taken
// within 0..256.
double SpecularExponent(uint16_t shininess);

// Schlick's rational stand-in for t^n: t / (n - n t + t). Its denominator stays positive for
// n >= 1 and t in 0..1.
inline double HighlightCurve(double t, double n) { return t / (n - n * t + t); }

// The shade index at and below which only the ambient colour shows. 255 and 256 are held at 254,
// since the lit part of the ramp divides by 255 minus this level.
int AmbientThreshold(uint16_t ambientLevel);

// Diffuse weight 0..strength of shade index i: (i - A0) * K / (255 - A0) above the threshold A0,
// 0 at and below it. K is the diffuse strength taken within 0..256.
int DiffuseWeight(int i, uint16_t ambientLevel, uint16_t diffuseStrength);

// Fills the object's `shadeRamp` from its optics; entry 0 is the modeling background colour of the
// preferences. An object without a ramp array (the work object) is left alone.
void BuildShadeRamp(SceneObject& object);

}  // namespace tsv
