// deform_tools.cpp: the deformation tools: one frame that runs every tool (direct or following a
// drag), and per tool a preparation done once before the drag and a pass done on every motion.
//
// Two kinds of tool. The two-end tools move every point along a straight line: the preparation
// stores the starting position in deformLow and the change toward the top of the range in
// deformHigh, and a pass sets position = start + change x s(amount). The neutral amount gives
// s = 0, so dragging back returns every point to its starting position bit for bit. The
// direct-formula tools (signed amounts, Flatten) keep the starting positions in deformHigh and a
// per-point coefficient (mask and falloff folded in) in deformLow.x; their passes evaluate only
// what depends on the amount. Nothing is allocated once a drag runs.
#include "tools/deform_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <span>

#include "platform/events.h"
#include "platform/relative_drag.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/history.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "scene/topology.h"
#include "scene/vec3.h"
#include "tools/deform_run.h"
#include "tools/deform_table.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"

namespace tsv {

bool StartDeformRun(SceneObject* object, SceneObject* undo, DeformRun& run) {
  if (object == nullptr || !HasWorkRecords(*object)) return false;
  const size_t count = size_t(object->pointCount);
  if (scene.deformLow.size() < count || scene.deformHigh.size() < count) return false;
  run = DeformRun{};
  run.object = object;
  run.undo = undo;
  run.work = object->pointWork->data();
  run.count = count;
  run.mask = object->pointMask.size() >= count ? object->pointMask.data() : nullptr;
  run.low = scene.deformLow.data();
  run.high = scene.deformHigh.data();

  // The view positions are whatever the last projection left; a tool must start from the shape
  // as it is now, in the view the user looks through.
  BuildViewRotation(CurrentView(*object).angles);
  ProjectPoints(*object, kViewBottomRow);
  if (count == 0) return true;

  const PointWork* work = run.work;
  float xmin = work[0].vx, xmax = xmin, ymin = work[0].vy, ymax = ymin;
  float zmin = work[0].vz, zmax = zmin;
  double radiusSquared = 0;
  for (size_t i = 0; i < count; ++i) {
    const PointWork& p = work[i];
    xmin = std::min(xmin, p.vx);
    xmax = std::max(xmax, p.vx);
    ymin = std::min(ymin, p.vy);
    ymax = std::max(ymax, p.vy);
    zmin = std::min(zmin, p.vz);
    zmax = std::max(zmax, p.vz);
    radiusSquared = std::max(radiusSquared, double(p.vx) * p.vx + double(p.vy) * p.vy);
  }
  run.xmin = xmin;
  run.xmax = xmax;
  run.ymin = ymin;
  run.ymax = ymax;
  run.zmin = zmin;
  run.zmax = zmax;
  run.height = ymax - ymin;
  run.radius = float(std::sqrt(radiusSquared));
  return true;
}

namespace {

// pi / 128 to the digits the amounts have always been turned with.
constexpr double kPiOver128 = 0.024543692606171875;
constexpr double kPi = std::numbers::pi;
// 0.6666 / 128: the width change per unit of amount of Bottle and Belly at a full mask.
constexpr double kWidthPerUnit = 0.0052078125;

// G(s) = 2^(-100 s): 1 at s = 0, falling to a thousandth by s = 0.1.
double Falloff(double s) { return std::exp(-100.0 * std::numbers::ln2 * s); }

// Taper and Bulge act less strongly on the negative side: 96/128 of the amount, truncated.
int ReducedNegative(int amount) { return amount >= 0 ? amount : amount * 96 / 128; }

// |p| in double: Spikes, Equalize and Contrast compare and average the lengths of all points.
double PreciseLength(const Vec3f& p) {
  return std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
}

// Calls visit(t) for every triangle t around `point`, along its corner list. The walk is bounded
// by the number of corners, so a damaged list cannot run away or read outside the arrays.
template <class Visit>
void ForEachTriangleAround(const SceneObject& object, size_t point, Visit visit) {
  const std::span<const uint32_t> first = PointFirstCorner(object);
  const std::span<const uint32_t> next = TriangleNextCorner(object);
  const size_t triangleCount =
      std::min(Triangles(object).size(), size_t(std::max(object.triangleCount, 0)));
  const size_t walkLimit = triangleCount * 3;
  uint32_t corner = point < first.size() ? first[point] : kEndOfCornerList;
  for (size_t steps = 0; CornerNumber(corner) != 3 && steps < walkLimit; ++steps) {
    const uint32_t t = CornerTriangle(corner);
    const size_t slot = CornerSlot(corner);
    if (t >= triangleCount || slot >= next.size()) return;
    visit(t);
    corner = next[slot];
  }
}

// ---------------------------------------------------------------- passes

// Two-end pass: start + change x s.
void Blend(const DeformRun& run, float s) {
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& start = run.low[i];
    const Vec3f& change = run.high[i];
    run.SetViewPosition(i, Vec3f{start.x + change.x * s, start.y + change.y * s,
                                 start.z + change.z * s});
  }
}

// 128 neutral, 0 and 256 the two ends.
void PassCentred(const DeformRun& run, int amount, int) { Blend(run, float(amount - 128) / 128.0f); }
// 0 neutral, 256 the top.
void PassRising(const DeformRun& run, int amount, int) { Blend(run, float(amount) / 256.0f); }
// Noise reaches twice its drawn displacement at the top.
void PassNoise(const DeformRun& run, int amount, int) { Blend(run, float(amount) / 128.0f); }

void PassStretch(const DeformRun& run, int amountX, int amountY) {
  const float sx = float(amountX - 128) / 128.0f, sy = float(amountY - 128) / 128.0f;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& start = run.low[i];
    const Vec3f& change = run.high[i];
    run.SetViewPosition(i, Vec3f{start.x + change.x * sx, start.y + change.y * sy, start.z});
  }
}

// Bottle and Belly: x and z scaled by 1 - amount x coefficient.
void PassNarrow(const DeformRun& run, int amount, int) {
  const float a = float(amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float f = 1.0f - a * run.low[i].x;
    run.SetViewPosition(i, Vec3f{p.x * f, p.y, p.z * f});
  }
}

// Taper and Bulge: x and z scaled by 1 + reduced amount x coefficient.
void PassWiden(const DeformRun& run, int amount, int) {
  const float a = float(ReducedNegative(amount));
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float f = 1.0f + a * run.low[i].x;
    run.SetViewPosition(i, Vec3f{p.x * f, p.y, p.z * f});
  }
}

// Twist: a turn about the view's vertical axis.
void PassTwist(const DeformRun& run, int amount, int) {
  const float a = float(amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float theta = a * run.low[i].x;
    const float c = std::cos(theta), s = std::sin(theta);
    run.SetViewPosition(i, Vec3f{p.x * c - p.z * s, p.y, p.z * c + p.x * s});
  }
}

// Twirl and Bank: a turn in the view plane.
void PassTurn(const DeformRun& run, int amount, int) {
  const float a = float(amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float theta = a * run.low[i].x;
    const float c = std::cos(theta), s = std::sin(theta);
    run.SetViewPosition(i, Vec3f{p.x * c - p.y * s, p.y * c + p.x * s, p.z});
  }
}

// Bend: the height is rolled onto a circle whose radius shrinks as the amount grows; the bottom
// stays fixed and a full amount on a full mask turns the top through a whole circle.
void PassBend(const DeformRun& run, int amount, int) {
  const double xc = (double(run.xmin) + run.xmax) / 2.0;
  const double ymin = run.ymin, height = run.height;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const double k = -double(run.low[i].x) * amount;
    if (k >= -1.0 && k <= 1.0) {
      run.SetViewPosition(i, p);
      continue;
    }
    const double rho = 64.0 * height / (-k * kPi);
    const double u = p.x - xc, v = ymin - p.y;
    const float angle = float(v / rho);
    const double arm = u - rho;
    run.SetViewPosition(
        i, Vec3f{float(xc + rho + arm * std::cos(angle)), float(ymin + arm * std::sin(angle)), p.z});
  }
}

// Flatten: everything in front of a plane that moves back from the front as the amount falls is
// pressed onto it.
void PassFlatten(const DeformRun& run, int amount, int) {
  const float back = float(256 - amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float plane = run.zmax - back * run.low[i].x;
    run.SetViewPosition(i, Vec3f{p.x, p.y, std::min(p.z, plane)});
  }
}

void PassShear(const DeformRun& run, int amount, int) {
  const float a = float(amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    const float d = a * run.low[i].x;
    run.SetViewPosition(i, Vec3f{p.x - d, p.y, p.z - d});
  }
}

void PassRadialShear(const DeformRun& run, int amount, int) {
  const float a = float(amount);
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f& p = run.high[i];
    run.SetViewPosition(i, Vec3f{p.x + a * run.low[i].x, p.y, p.z});
  }
}

// A paint channel between the committed value (amount 0) and the undo copy's (256).
uint8_t BlendPaint(uint8_t committed, uint8_t previous, int amount) {
  const int value = (int(committed) * (256 - amount) + int(previous) * amount) >> 8;
  return uint8_t(std::clamp(value, 0, 255));
}

// To undo: the committed state (0) blended toward the undo copy (256).
void PassToUndo(const DeformRun& run, int amount, int) {
  SceneObject& object = *run.object;
  const SceneObject& undo = *run.undo;
  const float t = float(amount) / 256.0f, keep = 1.0f - t;
  const Rotation3 m = ViewRotationMatrix(CurrentView(object).angles);
  for (size_t i = 0; i < run.count; ++i) {
    run.SetViewPosition(i, Rotate(m, object.points[i] * keep + undo.points[i] * t));
  }
  if (object.optics.isPainted != 0) {
    for (size_t i = 0; i < run.count; ++i) {
      const PointWork& saved = run.work[i];
      const Rgb8& previous = undo.pointColors[i];
      object.pointColors[i] = Rgb8{BlendPaint(saved.red, previous.red, amount),
                                   BlendPaint(saved.green, previous.green, amount),
                                   BlendPaint(saved.blue, previous.blue, amount)};
    }
  }
  // The deformation mask goes back with the shape, so that a mask stroke can be undone too.
  if (object.pointMask.size() >= run.count && undo.pointMask.size() >= run.count) {
    for (size_t i = 0; i < run.count; ++i) {
      object.pointMask[i] = BlendPaint(run.work[i].mask, undo.pointMask[i], amount);
    }
  }
  if (object.isOrganic == 0) {
    for (size_t i = 0; i < run.count; ++i) {
      const Uv& committed = undo.pointUV[2 * i];
      const Uv& previous = undo.pointUV[2 * i + 1];
      object.pointUV[i] = Uv{committed.u * keep + previous.u * t, committed.v * keep + previous.v * t};
    }
  }
  object.dirtyFlags = kAllDirty;
}

// ---------------------------------------------------------------- preparations

// Two-end: start = p, change = p x k (the same scale on every axis).
void PrepareScale(DeformRun& run) {
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const float k = 0.666f * run.Weight(i);
    run.low[i] = p;
    run.high[i] = Vec3f{p.x * k, p.y * k, p.z * k};
  }
}

void PrepareSpikes(DeformRun& run) {
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const double r = PreciseLength(p);
    double k = 0;
    if (r > 0) {
      // Rounding may put a cosine a hair outside -1..1, where acos has no value.
      auto q = [r](float c) { return std::sin(4.0 * std::acos(std::clamp(c / r, -1.0, 1.0))); };
      const double qx = q(p.x), qy = q(p.y), qz = q(p.z);
      k = 0.6 * run.Weight(i) * std::exp(-2.0 * (qx * qx + qy * qy + qz * qz));
    }
    run.low[i] = p;
    run.high[i] = Vec3f{float(p.x * k), float(p.y * k), float(p.z * k)};
  }
}

// Waves along the height: x and z swell and shrink by `depth` over `halfTurns` half waves.
void PrepareWavesOf(DeformRun& run, double halfTurns, double depth) {
  const double h = run.height;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const double k = depth * run.Weight(i) * std::sin(halfTurns * kPi * (p.y - run.ymin) / h);
    run.low[i] = p;
    run.high[i] = Vec3f{float(p.x * k), 0.0f, float(p.z * k)};
  }
}
void PrepareWaves(DeformRun& run) { PrepareWavesOf(run, 9.0, 0.5); }
void PrepareTsunami(DeformRun& run) { PrepareWavesOf(run, 5.0, 0.6); }

void PrepareButton(DeformRun& run) {
  const double rr = double(run.radius) * run.radius;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const double k =
        0.6666 * run.Weight(i) * Falloff((double(p.x) * p.x + double(p.y) * p.y) / rr);
    run.low[i] = p;
    run.high[i] = Vec3f{0.0f, 0.0f, float(p.z * k)};
  }
}

// Noise: a random push along each point's outward normal, drawn once per drag. The normals are
// the object's face normals summed around the point, turned into view space.
void PrepareNoise(DeformRun& run) {
  SceneObject& object = *run.object;
  ComputeFaceNormals(object);
  const TriangleWork* faces = object.triangleWork->data();
  const Rotation3 m = ViewRotationMatrix(CurrentView(object).angles);
  for (size_t n = run.count; n-- > 0;) {
    Vec3f sum;
    ForEachTriangleAround(object, n, [&](uint32_t t) {
      sum = sum + Vec3f{faces[t].nx, faces[t].ny, faces[t].nz};
    });
    const Vec3f direction = Normalised(sum);
    Vec3f push;
    // A point whose faces cancel has no direction and draws no number.
    if (Dot(direction, direction) > 0) {
      const float size = float(std::rand() % 32768) * 0.001f * run.Weight(n);
      push = Rotate(m, direction) * size;
    }
    run.low[n] = run.ViewPosition(n);
    run.high[n] = push;
  }
}

// Smooth: each point toward the mean of its neighbours (the other two corners of every triangle
// around it), read from the starting positions.
void PrepareSmooth(DeformRun& run) {
  const SceneObject& object = *run.object;
  const std::span<const Triangle> triangles = Triangles(object);
  for (size_t i = 0; i < run.count; ++i) {
    double sx = 0, sy = 0, sz = 0;
    int n = 0;
    ForEachTriangleAround(object, i, [&](uint32_t t) {
      const Triangle& tri = triangles[t];
      if (tri[0] >= run.count || tri[1] >= run.count || tri[2] >= run.count) return;
      for (uint32_t corner : tri) {
        const PointWork& q = run.work[corner];
        sx += q.vx;
        sy += q.vy;
        sz += q.vz;
      }
      ++n;
    });
    const Vec3f p = run.ViewPosition(i);
    Vec3f change;
    if (n > 0) {
      const double w = run.Weight(i), twice = 2.0 * n;
      change = Vec3f{float(((sx - n * double(p.x)) / twice - p.x) * w),
                     float(((sy - n * double(p.y)) / twice - p.y) * w),
                     float(((sz - n * double(p.z)) / twice - p.z) * w)};
    }
    run.low[i] = p;
    run.high[i] = change;
  }
}

// Two-end toward p x f: change = p (f - 1) w.
void SetScaledChange(DeformRun& run, size_t i, const Vec3f& p, double f) {
  const double k = (f - 1.0) * run.Weight(i);
  run.low[i] = p;
  run.high[i] = Vec3f{float(p.x * k), float(p.y * k), float(p.z * k)};
}

void PrepareEqualize(DeformRun& run) {
  double sum = 0;
  for (size_t i = 0; i < run.count; ++i) sum += PreciseLength(run.ViewPosition(i));
  const double mean = run.count > 0 ? sum / double(run.count) : 0.0;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const double r = PreciseLength(p);
    SetScaledChange(run, i, p, r > 0 ? mean / r : 1.0);
  }
}

void PrepareContrast(DeformRun& run) {
  double rmin = HUGE_VAL, rmax = 0;
  for (size_t i = 0; i < run.count; ++i) {
    const double r = PreciseLength(run.ViewPosition(i));
    rmin = std::min(rmin, r);
    rmax = std::max(rmax, r);
  }
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const double r = PreciseLength(p);
    const double f = r <= 0 ? 0.0 : r - rmin <= rmax - r ? rmin / r : rmax / r;
    SetScaledChange(run, i, p, f);
  }
}

void PrepareToCenter(DeformRun& run) {
  double gx = 0, gy = 0, gz = 0;
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    gx += p.x;
    gy += p.y;
    gz += p.z;
  }
  if (run.count > 0) {
    gx /= double(run.count);
    gy /= double(run.count);
    gz /= double(run.count);
  }
  for (size_t i = 0; i < run.count; ++i) {
    const double w = run.Weight(i);
    run.low[i] = run.ViewPosition(i);
    run.high[i] = Vec3f{float(-w * gx), float(-w * gy), float(-w * gz)};
  }
}

void PrepareStretch(DeformRun& run) {
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    const float k = 0.666f * run.Weight(i);
    run.low[i] = p;
    run.high[i] = Vec3f{p.x * k, p.y * k, 0.0f};
  }
}

// Direct-formula tools: deformHigh = the starting positions, deformLow.x = `coefficient` of each.
template <class Coefficient>
void PrepareDirect(DeformRun& run, Coefficient coefficient) {
  for (size_t i = 0; i < run.count; ++i) {
    const Vec3f p = run.ViewPosition(i);
    run.high[i] = p;
    run.low[i] = Vec3f{float(coefficient(p, double(run.Weight(i)))), 0.0f, 0.0f};
  }
}

double CentreY(const DeformRun& run) { return double(run.ymin) + double(run.height) / 2.0; }

void PrepareBottle(DeformRun& run) {
  const double top = run.ymax, hh = double(run.height) * run.height;
  PrepareDirect(run, [&](const Vec3f& p, double w) {
    const double d = top - p.y;
    return w * kWidthPerUnit * Falloff(d * d / hh);
  });
}

void PrepareBelly(DeformRun& run) {
  const double yc = CentreY(run), hh = double(run.height) * run.height;
  PrepareDirect(run, [&](const Vec3f& p, double w) {
    const double d = yc - p.y;
    return w * kWidthPerUnit * Falloff(3.0 * d * d / hh);
  });
}

void PrepareTwist(DeformRun& run) {
  const double yc = CentreY(run), h = run.height;
  PrepareDirect(run, [&](const Vec3f& p, double w) { return w * kPiOver128 * (p.y - yc) / h; });
}

void PrepareTwirl(DeformRun& run) {
  const double rr = double(run.radius) * run.radius;
  PrepareDirect(run, [&](const Vec3f& p, double w) {
    return w * kPiOver128 * Falloff((double(p.x) * p.x + double(p.y) * p.y) / rr);
  });
}

void PrepareBank(DeformRun& run) {
  PrepareDirect(run, [](const Vec3f&, double w) { return w * kPiOver128; });
}

void PrepareBend(DeformRun& run) {
  PrepareDirect(run, [](const Vec3f&, double w) { return w; });
}

void PrepareFlatten(DeformRun& run) {
  const double depth = double(run.zmax) - run.zmin;
  PrepareDirect(run, [&](const Vec3f&, double w) { return w * depth / 512.0; });
}

void PrepareShear(DeformRun& run) {
  const double yc = CentreY(run);
  PrepareDirect(run, [&](const Vec3f& p, double w) { return w * (yc - p.y) / 128.0; });
}

void PrepareRadialShear(DeformRun& run) {
  const double yc = CentreY(run), half = double(run.height) / 2.0;
  PrepareDirect(run, [&](const Vec3f& p, double w) {
    const double s = half * half - (yc - p.y) * (yc - p.y);
    return s >= 0 ? w * std::sqrt(s) / 128.0 : 0.0;
  });
}

void PrepareTaper(DeformRun& run) {
  const double ymin = run.ymin, h = run.height;
  PrepareDirect(run, [&](const Vec3f& p, double w) { return w * (ymin - p.y) / (128.0 * h); });
}

void PrepareBulge(DeformRun& run) {
  const double yc = CentreY(run), half = double(run.height) / 2.0;
  PrepareDirect(run, [&](const Vec3f& p, double w) {
    const double u = (yc - p.y) / half, s = 1.0 - u * u;
    return s < 0 ? 0.0 : w * std::sqrt(s) / 128.0;
  });
}

void PrepareNothing(DeformRun&) {}

// ---------------------------------------------------------------- the frame

// What the readout shows for an amount.
enum class Readout : uint8_t { Centred, Rising, Signed, Flatten, Taper };

int ReadoutValue(Readout readout, int a) {
  switch (readout) {
    case Readout::Centred: return ((a - 128) * 200) >> 8;
    case Readout::Rising: return (a * 100) >> 8;
    case Readout::Signed: return (a * 200) >> 8;
    case Readout::Flatten: return ((256 - a) * 100) >> 8;
    case Readout::Taper: return (a * -200) >> 8;
  }
  return 0;
}

// What a tool needs of the starting shape before it can act at all. A tool dividing by the
// height or by the radius leaves a shape without it alone.
enum class Guard : uint8_t { None, Height, Radius, UndoCopy };

}  // namespace

struct DeformMember {
  uint16_t code;
  DeformKind kind;
  Readout readout;
  Guard guard;
  bool leftRaises;  // a leftward drag raises the amount
  bool continuous;  // redraws on every pass, even without motion
  void (*prepare)(DeformRun&);
  void (*pass)(const DeformRun&, int amount, int amountY);
};

namespace {

using Member = DeformMember;

bool UndoCopyFits(const SceneObject* object, const SceneObject* undo) {
  if (object == nullptr || undo == nullptr || object == undo) return false;
  const size_t count = size_t(std::max(object->pointCount, 0));
  return object->points.size() >= count && object->pointColors.size() >= count &&
         object->pointUV.size() >= count && undo->points.size() >= count &&
         undo->pointColors.size() >= count && undo->pointUV.size() >= 2 * count;
}

bool GuardHolds(Guard guard, const DeformRun& run) {
  switch (guard) {
    case Guard::None: return true;
    case Guard::Height: return run.height != 0 && std::isfinite(run.height);
    case Guard::Radius: return run.radius > 0 && std::isfinite(run.radius);
    case Guard::UndoCopy: return UndoCopyFits(run.object, run.undo);
  }
  return false;
}

void RunMember(const Member& member, SceneObject* object, SceneObject* undo, int16_t amount,
               int16_t amountY) {
  DeformRun run;
  if (!PrepareDeformRun(member, object, undo, run)) {
    WaitForMouseRelease();
    return;
  }
  if (amount != kAmountInteractive) {
    member.pass(run, amount, amountY);
    RedrawAfterEdit(object, undo);
    return;
  }

  const AmountRange range = RangeOfKind(member.kind);
  AmountDrag drag;
  drag.minimum = range.minimum;
  drag.maximum = range.maximum;
  drag.start = range.start;
  drag.twoAxis = member.kind == DeformKind::TwoAxis;
  drag.continuous = member.continuous;
  drag.leftRaises = member.leftRaises;
  FollowAmountDrag(
      drag, object, undo, [&](int value) { return ReadoutValue(member.readout, value); },
      [&](int a, int b) { member.pass(run, a, b); },
      [&](int a, int b) { RecordTaskStep(member.code, int16_t(a), int16_t(drag.twoAxis ? b : 0)); });
}

using K = DeformKind;
using R = Readout;
using G = Guard;

// code, kind, readout, guard, leftward drag raises, redraws every pass, preparation, pass
constexpr Member kScale{TaskStepCode("SC"), K::Centred, R::Centred, G::None, false, false,
                        PrepareScale, PassCentred};
constexpr Member kSpikes{TaskStepCode("SP"), K::Centred, R::Centred, G::None, false, false,
                         PrepareSpikes, PassCentred};
constexpr Member kWaves{TaskStepCode("WA"), K::Centred, R::Centred, G::Height, false, false,
                        PrepareWaves, PassCentred};
constexpr Member kTsunami{TaskStepCode("TS"), K::Centred, R::Centred, G::Height, false, false,
                          PrepareTsunami, PassCentred};
constexpr Member kNoise{TaskStepCode("NO"), K::Rising, R::Rising, G::None, false, true,
                        PrepareNoise, PassNoise};
constexpr Member kSmooth{TaskStepCode("SM"), K::Rising, R::Rising, G::None, false, true,
                         PrepareSmooth, PassRising};
constexpr Member kBottle{TaskStepCode("BO"), K::Signed, R::Signed, G::Height, false, false,
                         PrepareBottle, PassNarrow};
constexpr Member kBend{TaskStepCode("BA"), K::Signed, R::Signed, G::Height, false, false,
                       PrepareBend, PassBend};
constexpr Member kTwist{TaskStepCode("TT"), K::Signed, R::Signed, G::Height, false, false,
                        PrepareTwist, PassTwist};
constexpr Member kTwirl{TaskStepCode("TW"), K::Signed, R::Signed, G::Radius, false, false,
                        PrepareTwirl, PassTurn};
constexpr Member kBelly{TaskStepCode("BL"), K::Signed, R::Signed, G::Height, false, false,
                        PrepareBelly, PassNarrow};
constexpr Member kButton{TaskStepCode("BU"), K::Centred, R::Centred, G::Radius, false, false,
                         PrepareButton, PassCentred};
constexpr Member kBank{TaskStepCode("ZR"), K::Signed, R::Signed, G::None, false, false,
                       PrepareBank, PassTurn};
constexpr Member kFlatten{TaskStepCode("FL"), K::Flatten, R::Flatten, G::None, true, false,
                          PrepareFlatten, PassFlatten};
constexpr Member kEqualize{TaskStepCode("EQ"), K::Rising, R::Rising, G::None, false, false,
                           PrepareEqualize, PassRising};
constexpr Member kShear{TaskStepCode("SH"), K::Signed, R::Signed, G::None, false, false,
                        PrepareShear, PassShear};
constexpr Member kRadialShear{TaskStepCode("RS"), K::Signed, R::Signed, G::None, false, false,
                              PrepareRadialShear, PassRadialShear};
constexpr Member kToUndo{TaskStepCode("UN"), K::Rising, R::Rising, G::UndoCopy, false, false,
                         PrepareNothing, PassToUndo};
constexpr Member kTaper{TaskStepCode("TA"), K::Signed, R::Taper, G::Height, true, false,
                        PrepareTaper, PassWiden};
constexpr Member kBulge{TaskStepCode("BG"), K::Signed, R::Signed, G::Height, false, false,
                        PrepareBulge, PassWiden};
constexpr Member kToCenter{TaskStepCode("CE"), K::Rising, R::Rising, G::None, false, false,
                           PrepareToCenter, PassRising};
constexpr Member kContrast{TaskStepCode("CO"), K::Rising, R::Rising, G::None, false, false,
                           PrepareContrast, PassRising};
constexpr Member kStretch{TaskStepCode("ST"), K::TwoAxis, R::Centred, G::None, false, false,
                          PrepareStretch, PassStretch};

constexpr const Member* kMembers[] = {
    &kScale,  &kSpikes, &kWaves,  &kTsunami, &kNoise,       &kSmooth,  &kBottle, &kBend,
    &kTwist,  &kTwirl,  &kBelly,  &kButton,  &kBank,        &kFlatten, &kEqualize,
    &kShear,  &kRadialShear,      &kToUndo,  &kTaper,       &kBulge,   &kToCenter,
    &kContrast, &kStretch};

}  // namespace

const DeformMember* FindDeformMember(uint16_t code) {
  for (const Member* member : kMembers) {
    if (member->code == code) return member;
  }
  return nullptr;
}

bool PrepareDeformRun(const DeformMember& member, SceneObject* object, SceneObject* undo,
                      DeformRun& run) {
  if (!StartDeformRun(object, undo, run) || !GuardHolds(member.guard, run)) return false;
  member.prepare(run);
  return true;
}

void RunDeformPass(const DeformMember& member, const DeformRun& run, int amount, int amountY) {
  member.pass(run, amount, amountY);
}

void DeformScale(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kScale, o, u, a, 0); }
void DeformSpikes(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kSpikes, o, u, a, 0); }
void DeformWaves(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kWaves, o, u, a, 0); }
void DeformTsunami(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kTsunami, o, u, a, 0); }
void DeformNoise(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kNoise, o, u, a, 0); }
void DeformSmooth(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kSmooth, o, u, a, 0); }
void DeformBottle(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kBottle, o, u, a, 0); }
void DeformBend(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kBend, o, u, a, 0); }
void DeformTwist(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kTwist, o, u, a, 0); }
void DeformTwirl(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kTwirl, o, u, a, 0); }
void DeformBelly(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kBelly, o, u, a, 0); }
void DeformButton(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kButton, o, u, a, 0); }
void DeformBank(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kBank, o, u, a, 0); }
void DeformFlatten(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kFlatten, o, u, a, 0); }
void DeformEqualize(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kEqualize, o, u, a, 0); }
void DeformShear(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kShear, o, u, a, 0); }
void DeformRadialShear(SceneObject* o, SceneObject* u, int16_t a) {
  RunMember(kRadialShear, o, u, a, 0);
}
void DeformToUndo(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kToUndo, o, u, a, 0); }
void DeformTaper(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kTaper, o, u, a, 0); }
void DeformBulge(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kBulge, o, u, a, 0); }
void DeformToCenter(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kToCenter, o, u, a, 0); }
void DeformContrast(SceneObject* o, SceneObject* u, int16_t a) { RunMember(kContrast, o, u, a, 0); }
void DeformStretch(SceneObject* o, SceneObject* u, int16_t ax, int16_t ay) {
  RunMember(kStretch, o, u, ax, ay);
}

void UndoRedo() {
  SceneObject* object = scene.currentObject;
  SceneObject* undo = scene.workObject.get();
  // Without a usable undo copy the commit would overwrite the copy with the current state.
  if (object == nullptr || !HasWorkRecords(*object) || !UndoCopyFits(object, undo)) return;
  constexpr int16_t kFullAmount = 256;
  DeformToUndo(object, undo, kFullAmount);
  CommitObjectChange(object, undo);
  RecordTaskStep(kToUndo.code, kFullAmount, 0);
}

namespace {

bool StepHistory(int direction) {
  SceneObject* object = scene.currentObject;
  SceneObject* undo = scene.workObject.get();
  if (object == nullptr || undo == nullptr || !HasWorkRecords(*object)) return false;
  HistoryHeader before;
  if (!StepObjectHistory(*object, *undo, direction, &before)) return false;
  // The snapshots hold what a commit into this state would have left: the state before, and now.
  toolState.previousOptics = OpticsFromWords(before.optics);
  toolState.previousTextureMapping = before.mapping;
  toolState.currentOptics = object->optics;
  toolState.currentTextureMapping = TextureMappingOf(*object);
  return true;
}

}  // namespace

bool StepBackInHistory() { return StepHistory(-1); }
bool StepForwardInHistory() { return StepHistory(+1); }

}  // namespace tsv
