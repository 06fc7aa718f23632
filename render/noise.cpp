// noise.cpp: lattice noise and turbulence.
#include "render/noise.h"

#include <algorithm>
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

// Split for the coordinates a row is made of: a value in 0..2^24 converts to an int exactly, and
// for those truncation and the fractional part are plain; anything else goes the general way.
LatticeCoordinate SplitRowCoordinate(float value) {
  if (value >= 0.0f && value < 16777216.0f) {
    const int whole = int(value);
    return {whole & (kNoiseLatticeSide - 1), value - float(whole)};
  }
  return Split(value);
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

void FillTurbulenceRow(TurbulenceRow& row, float y, const float* z, int zCount, float startScale, float minScale) {
  EnsureNoiseLattice();
  row = TurbulenceRow{};
  zCount = std::clamp(zCount, 0, TurbulenceRow::kMostDepths);
  if (!std::isfinite(startScale)) return;
  constexpr int kSide = kNoiseLatticeSide;
  const float* lattice = renderState.noiseLattice.data();
  for (float s = startScale; s > minScale && s > 0 && row.octaves < TurbulenceRow::kMostOctaves; s /= 2) {
    const int octave = row.octaves++;
    row.inverseScale[octave] = 1.0f / s;
    const LatticeCoordinate cy = Split(y / s);
    const int y0 = cy.index * kSide, y1 = ((cy.index + 1) & (kSide - 1)) * kSide;
    for (int k = 0; k < zCount; ++k) {
      const LatticeCoordinate cz = Split(z[k] / s);
      const int z0 = cz.index, z1 = (cz.index + 1) & (kSide - 1);
      for (int column = 0; column < kSide; ++column) {
        const float* plane = lattice + column * kSide * kSide;
        const float near = Mix(plane[y0 + z0], plane[y1 + z0], cy.weight);
        const float far = Mix(plane[y0 + z1], plane[y1 + z1], cy.weight);
        row.values[octave][column][k] = Mix(near, far, cz.weight) * s;
      }
      row.values[octave][kSide][k] = row.values[octave][0][k];
    }
  }
}

void TurbulenceAlongRow(const TurbulenceRow& row, float x, float* t) {
  constexpr int kDepths = TurbulenceRow::kMostDepths;
  float sum[kDepths] = {};
  for (int octave = 0; octave < row.octaves; ++octave) {
    const LatticeCoordinate cx = SplitRowCoordinate(x * row.inverseScale[octave]);
    const float* left = row.values[octave][cx.index];
    const float* right = row.values[octave][cx.index + 1];
    const float w = cx.weight;
    for (int k = 0; k < kDepths; ++k) sum[k] += left[k] * (1.0f - w) + right[k] * w;
  }
  std::copy(sum, sum + kDepths, t);
}

}  // namespace tsv
