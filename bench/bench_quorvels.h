// bench_quorvels.h: the balls the Quorvels benchmarks mesh, shared by the extraction's own
// benchmarks and its peers'.
#pragma once

#include <vector>

#include "bench/bench_support.h"
#include "tools/quorvels.h"

namespace tsv::bench {

// Eight balls of a body: a trunk, a head, limbs on turned axes and one carving ball.
inline std::vector<Ball> EightBalls() {
  struct Spec {
    Vec3f centre;
    float r1, r2;
    Vec3f axis;
    float strength;
  } specs[] = {
      {{0, 0, 0}, 120, 0.7f, {0, 1, 0}, kNewBallStrength},      {{0, 150, 10}, 70, 1, {0, 1, 0}, kNewBallStrength},
      {{90, -40, 0}, 90, 0.35f, {1, -1, 0}, kNewBallStrength},  {{-90, -40, 0}, 90, 0.35f, {-1, -1, 0}, kNewBallStrength},
      {{50, -170, 20}, 100, 0.3f, {0, 1, 0.2f}, kNewBallStrength}, {{-50, -170, 20}, 100, 0.3f, {0, 1, -0.2f}, kNewBallStrength},
      {{0, 40, 80}, 60, 1.5f, {0, 0, 1}, kNewBallStrength},     {{0, 150, 70}, 40, 1, {0, 1, 0}, -20},
  };
  std::vector<Ball> balls;
  for (const Spec& s : specs) balls.push_back(MakeBall(s.centre, s.r1, s.r2, Normalised(s.axis), s.strength));
  return balls;
}

// 255 atoms on a loose lattice with a little disorder, radii 12 to 20.
inline std::vector<Ball> Atoms() {
  std::vector<Ball> balls;
  for (int n = 0; n < kMostBalls; ++n) {
    Ball b;
    const float jitter = float((n * 7919) % 13) - 6.0f;
    b.centre = {float(n % 8) * 30.0f + jitter, float((n / 8) % 8) * 30.0f - jitter, float(n / 64) * 30.0f + jitter * 0.5f};
    b.r1 = 12.0f + float(n % 5) * 2.0f;
    balls.push_back(b);
  }
  return balls;
}

inline bool Start(const std::vector<Ball>& balls) {
  if (!StartScene()) return false;
  ResetQuorvelState();
  quorvelState.balls = balls;
  return true;
}

}  // namespace tsv::bench
