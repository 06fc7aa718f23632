// noise.h: the smooth pseudo-random field behind the procedural colours and the composer's smoke:
// trilinear noise over a fixed 32 x 32 x 32 lattice (kept in the render state), repeating every 32
// units, and turbulence, its sum over halving scales.
#pragma once

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

}  // namespace tsv
