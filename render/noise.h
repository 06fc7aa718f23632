// noise.h: the smooth pseudo-random field behind the procedural colours and the composer's smoke:
// trilinear noise over a fixed 32 x 32 x 32 lattice (kept in the render state), repeating every 32
// units, and turbulence, its sum over halving scales.
#pragma once

#include "render/render_state.h"

namespace tsv {

// Fills the noise lattice when it has not been filled yet (every reader calls this first, so the
// lattice is never read empty). The lattice comes from a fixed seed, so it is the same in every
// run and a replayed task paints what the recorded one painted.
void EnsureNoiseLattice();

// The lattice blended trilinearly around (x, y, z): i, j, k are the coordinates truncated toward
// zero, the weights their distances abs(x - i), abs(y - j), abs(z - k), and the eight corners
// (i or i + 1, j or j + 1, k or k + 1), each taken modulo 32, are blended along x, then y, then z.
// At a lattice point it is that point's value; the result stays within 0..1. A coordinate that is
// not finite counts as 0.
float Noise3(float x, float y, float z);

// Noise3 (x / s, y / s, z / s) x s summed for s = startScale, startScale / 2, ... while
// s > minScale (0.5 and 0.01 give the six scales 0.5 .. 0.015625). 0 for a start scale that is not
// a finite number above 0; the halving stops at 0 however small the minimum.
float Turbulence(float x, float y, float z, float startScale, float minScale);

// Turbulence at many points of one row (a fixed y) and a few fixed z at once, as the smoke needs:
// within an octave the noise is linear in x between two lattice columns, so the row keeps, for
// every octave, lattice column and z, the lattice already blended along y and z (and weighed by the
// octave's scale). A point then costs one blend along x per octave for all its z together. The
// values are those of Turbulence up to rounding (the blends are taken in another order).
struct TurbulenceRow {
  static constexpr int kMostOctaves = 10;
  static constexpr int kMostDepths = 16;  // the z values; a multiple of the vector width
  int octaves = 0;
  float inverseScale[kMostOctaves] = {};
  // [octave][lattice column, the first repeated at the end][z]
  alignas(16) float values[kMostOctaves][kNoiseLatticeSide + 1][kMostDepths] = {};
};

// Fills `row` for y and the first `zCount` (at most kMostDepths) values of `z`, over the octaves
// Turbulence takes from startScale down to minScale (at most kMostOctaves of them).
void FillTurbulenceRow(TurbulenceRow& row, float y, const float* z, int zCount, float startScale, float minScale);

// t[i] = Turbulence (x, y, z[i], startScale, minScale) for every z of the row (kMostDepths values;
// those past zCount are 0).
void TurbulenceAlongRow(const TurbulenceRow& row, float x, float* t);

}  // namespace tsv
