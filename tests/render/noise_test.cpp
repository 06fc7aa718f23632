// The noise lattice, Noise3 and Turbulence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/noise.h"
#include "render/render_state.h"

namespace tsv::test {
namespace {

class Noise : public testing::Test {
 protected:
  // The lattice rebuilt from its seed whatever a test did to it.
  void SetUp() override {
    renderState.noiseLatticeReady = false;
    EnsureNoiseLattice();
  }
  void TearDown() override { renderState.noiseLatticeReady = false; }

  static float Lattice(int x, int y, int z) {
    return renderState.noiseLattice[size_t(((x & 31) << 10) | ((y & 31) << 5) | (z & 31))];
  }
};

TEST_F(Noise, TheLatticeIsTheSameInEveryRunAndLiesWithinZeroToOne) {
  const auto first = renderState.noiseLattice;
  renderState.noiseLattice.fill(0);
  renderState.noiseLatticeReady = false;
  // Read before any start-up call: the lattice is built on demand, with the same values.
  EXPECT_EQ(Noise3(3, 4, 5), first[3 * 1024 + 4 * 32 + 5]);
  EXPECT_EQ(renderState.noiseLattice, first);
  const auto [low, high] = std::minmax_element(first.begin(), first.end());
  EXPECT_GE(*low, 0.0f);
  EXPECT_LT(*high, 1.0f);
  // Spread over the range, not a constant.
  EXPECT_LT(*low, 0.01f);
  EXPECT_GT(*high, 0.99f);
}

TEST_F(Noise, AtLatticePointsItIsTheLatticeValueWrappingEvery32) {
  const int points[][3] = {{0, 0, 0},  {3, 4, 5},   {31, 31, 31},
                           {32, 1, 2}, {70, -1, 9}, {-33, 5, -7}};
  for (const auto& p : points) {
    EXPECT_EQ(Noise3(float(p[0]), float(p[1]), float(p[2])), Lattice(p[0], p[1], p[2]))
        << p[0] << " " << p[1] << " " << p[2];
  }
}

TEST_F(Noise, BetweenLatticePointsItBlendsAlongXThenYThenZ) {
  // Halfway along each axis alone.
  EXPECT_FLOAT_EQ(Noise3(3.5f, 4, 5), (Lattice(3, 4, 5) + Lattice(4, 4, 5)) / 2);
  EXPECT_FLOAT_EQ(Noise3(3, 4.25f, 5), Lattice(3, 4, 5) * 0.75f + Lattice(3, 5, 5) * 0.25f);
  EXPECT_FLOAT_EQ(Noise3(3, 4, 5.75f), Lattice(3, 4, 5) * 0.25f + Lattice(3, 4, 6) * 0.75f);
  // Across the wrap: 31 blends with 0.
  EXPECT_FLOAT_EQ(Noise3(31.5f, 0, 0), (Lattice(31, 0, 0) + Lattice(0, 0, 0)) / 2);
  // Below zero the weight is the distance from the truncated coordinate (toward zero), so -0.25
  // blends cell 0 with cell 1 as +0.25 does.
  EXPECT_FLOAT_EQ(Noise3(-0.25f, 2, 2), Noise3(0.25f, 2, 2));

  const float x = 6.2f, y = 17.7f, z = 30.4f;
  const float fx = x - 6, fy = y - 17, fz = z - 30;
  auto along = [&](int j, int k) { return Lattice(6, j, k) * (1 - fx) + Lattice(7, j, k) * fx; };
  const float expected = (along(17, 30) * (1 - fy) + along(18, 30) * fy) * (1 - fz) +
                         (along(17, 31) * (1 - fy) + along(18, 31) * fy) * fz;
  EXPECT_NEAR(Noise3(x, y, z), expected, 1e-6f);
}

TEST_F(Noise, FarAndNonFiniteCoordinatesStayOnTheLattice) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Noise3(kNaN, 0, 0), Noise3(0, 0, 0));
  EXPECT_EQ(Noise3(0, -kInf, kInf), Noise3(0, 0, 0));
  // 2^40 lies on lattice column 0 like 0 itself (a float that large is whole).
  EXPECT_EQ(Noise3(1099511627776.0f, 2, 3), Lattice(0, 2, 3));
  EXPECT_EQ(Noise3(-3e38f, 2, 3), Noise3(3e38f, 2, 3));
  const float far = Noise3(1e30f, -1e30f, 12345.678f);
  EXPECT_TRUE(far >= 0 && far < 1);
}

TEST_F(Noise, TurbulenceSumsTheHalvingScalesAboveTheMinimum) {
  // A lattice of ones makes every Noise3 1, so the sum is the sum of the scales.
  renderState.noiseLattice.fill(1.0f);
  struct Case {
    float start, minimum, sum;
  };
  const Case cases[] = {
      {0.5f, 0.01f, 0.984375f},  // 0.5 .. 0.015625: six scales
      {1.0f, 0.2f, 1.75f},       // 1, 0.5, 0.25; 0.125 is below the minimum
      {0.5f, 0.25f, 0.5f},       // a scale equal to the minimum is not taken
      {0.5f, 0.5f, 0.0f},
      {0.0f, -1.0f, 0.0f},       // no scale above 0
      {-2.0f, -10.0f, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(Turbulence(1.3f, 2.7f, 9.1f, c.start, c.minimum), c.sum)
        << c.start << " " << c.minimum;
  }
  // A minimum of 0 or below ends when the halving reaches 0, after every positive scale.
  EXPECT_NEAR(Turbulence(0, 0, 0, 0.5f, 0.0f), 1.0f, 1e-6f);
  EXPECT_NEAR(Turbulence(0, 0, 0, 0.5f, -1.0f), 1.0f, 1e-6f);
  EXPECT_EQ(Turbulence(0, 0, 0, std::numeric_limits<float>::infinity(), 0.01f), 0.0f);
}

TEST_F(Noise, TurbulenceWeighsEachScaleItsNoiseAtTheScaledPosition) {
  const float x = 1003.25f, y = 1021.5f, z = 1040.125f;
  float expected = 0;
  for (float s : {0.5f, 0.25f, 0.125f, 0.0625f, 0.03125f, 0.015625f}) {
    expected += Noise3(x / s, y / s, z / s) * s;
  }
  EXPECT_FLOAT_EQ(Turbulence(x, y, z, 0.5f, 0.01f), expected);
}

}  // namespace
// The row form the smoke takes: every z of the row, at points across lattice columns and across
// the wrap of the lattice, agrees with Turbulence taken point by point; z past the count are 0.
TEST_F(Noise, TurbulenceAlongARowAgreesWithTurbulence) {
  const float z[] = {0.0f, 0.1f, 0.25f, 7.5f, 31.99f, 100.0f};
  constexpr int kCount = int(std::size(z));
  for (const float minScale : {0.5f / 256.0f, 0.5f / 1024.0f, 0.25f}) {
    TurbulenceRow row;
    const float y = 3.2175f;
    FillTurbulenceRow(row, y, z, kCount, 0.5f, minScale);
    for (const float x : {0.0f, 0.005f, 1.2345f, 15.999f, 16.0f, 163.84f, 400.5f}) {
      float t[TurbulenceRow::kMostDepths];
      TurbulenceAlongRow(row, x, t);
      for (int k = 0; k < kCount; ++k)
        EXPECT_NEAR(t[k], Turbulence(x, y, z[k], 0.5f, minScale), 1e-5f) << x << " " << z[k] << " " << minScale;
      for (int k = kCount; k < TurbulenceRow::kMostDepths; ++k) EXPECT_EQ(t[k], 0.0f);
    }
  }
}

}  // namespace tsv::test
