// noise.cpp: lattice noise and turbulence.
#include "render/noise.h"

#include <cmath>

#include "render/render_state.h"

namespace tsv {

namespace {

// The lattice has its own fixed sequence, independent of any generator the commands draw from, so
// that no amount of painting before start-up or between tests changes it.
constexpr uint64_t kLatticeSeed = 0x7E55172A0C01D5EEull;

// splitmix64: every step gives 64 well-mixed bits.
uint64_t NextLatticeBits(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct LatticeCoordinate {
  int index = 0;     // the truncated coordinate modulo 32
  float weight = 0;  // its distance from the truncated coordinate
};

// Truncation toward zero keeps the weight in 0..1 on both sides of 0. The index is taken modulo 32
// on the truncated value itself, which stays exact however far out the coordinate lies (a float
// that large is an integer already), instead of converting it to an int, which could overflow.
LatticeCoordinate Split(float value) {
  if (!std::isfinite(value)) return {};
  const float whole = std::trunc(value);
  int index = int(std::fmod(whole, float(kNoiseLatticeSide)));
  if (index < 0) index += kNoiseLatticeSide;
  return {index, std::fabs(value - whole)};
}

float Mix(float a, float b, float t) { return a * (1.0f - t) + b * t; }

}  // namespace

void EnsureNoiseLattice() {
  if (renderState.noiseLatticeReady) return;
  uint64_t state = kLatticeSeed;
  for (float& value : renderState.noiseLattice) {
    // 24 bits: every value a float holds exactly, in 0..1 (1 itself excluded).
    value = float(NextLatticeBits(state) >> 40) / 16777216.0f;
  }
  renderState.noiseLatticeReady = true;
}

float Noise3(float x, float y, float z) {
  EnsureNoiseLattice();
  const LatticeCoordinate cx = Split(x), cy = Split(y), cz = Split(z);
  constexpr int kMask = kNoiseLatticeSide - 1;
  const int x0 = cx.index * kNoiseLatticeSide * kNoiseLatticeSide;
  const int x1 = ((cx.index + 1) & kMask) * kNoiseLatticeSide * kNoiseLatticeSide;
  const int y0 = cy.index * kNoiseLatticeSide, y1 = ((cy.index + 1) & kMask) * kNoiseLatticeSide;
  const int z0 = cz.index, z1 = (cz.index + 1) & kMask;
  const float* lattice = renderState.noiseLattice.data();
  const float fx = cx.weight, fy = cy.weight, fz = cz.weight;
  const float c00 = Mix(lattice[x0 + y0 + z0], lattice[x1 + y0 + z0], fx);
  const float c10 = Mix(lattice[x0 + y1 + z0], lattice[x1 + y1 + z0], fx);
  const float c01 = Mix(lattice[x0 + y0 + z1], lattice[x1 + y0 + z1], fx);
  const float c11 = Mix(lattice[x0 + y1 + z1], lattice[x1 + y1 + z1], fx);
  return Mix(Mix(c00, c10, fy), Mix(c01, c11, fy), fz);
}

float Turbulence(float x, float y, float z, float startScale, float minScale) {
  float sum = 0;
  if (!std::isfinite(startScale)) return sum;
  // Halving reaches 0 after at most a few hundred steps, so even a minimum of 0 or below ends.
  for (float s = startScale; s > minScale && s > 0; s /= 2) sum += Noise3(x / s, y / s, z / s) * s;
  return sum;
}

}  // namespace tsv
