// composer_raster.cpp: one object into one band of the composer picture, the shadow buffer and
// the texel sampler. Camera space has x right, y up and the viewer on +z, as in the modeling
// view; band rows run from the top of the picture down.
#include "render/composer_raster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <span>

#include "platform/preferences.h"
#include "platform/user_services.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/texture_work_image.h"
#include "render/work_data.h"
#include "scene/native_files.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"
#include "scene/vec3.h"

namespace tsv {
namespace {

constexpr float kCameraDistance = kComposerCameraDistance;
constexpr float kNearPlane = -1.0f;        // camera z; a vertex is in front when z < this
constexpr float kLightVectorLength = 127.5f;
constexpr float kDegrees = 0.017453292519944444f;
// Light-space coordinates beyond this are not placed into the shadow buffer (nor do they widen
// its extent): such a point is damaged, and its triangles neither cast nor receive.
constexpr float kFarLimit = 1e15f;
// Empty shadow cells: below every light depth a point can have, so they never shadow.
constexpr float kEmptyShadowDepth = -3.0e38f;
// The light depth given to a point the buffer cannot hold: nearer the light than any cell, and
// far enough inside the float range that interpolating towards it stays finite.
constexpr float kLitDepth = 1e30f;
// Projected positions beyond this (in pixels) are dropped with their triangle.
constexpr double kScreenLimit = 1e30;
constexpr double kMaxShadowCells = double(1 << 25);
constexpr float kShadowMargin = 0.025f, kShadowSpan = 0.95f;
// Texture positions are held within this before they are turned into integers.
constexpr float kTexelLimit = 16777216.0f;

// A vertex as the clipper and the triangle set-up pass it around: 21 words.
struct ClipVertex {
  float x = 0, y = 0, z = 0;  // camera space; after projection screen column, row and w
  int32_t column = 0, row = 0;  // rounded screen position (set-up)
  float w = 0;                  // copy of the depth word (set-up)
  float nx = 0, ny = 0, nz = 0;  // unit normal in the object's frame
  float shadowColumn = 0, shadowRow = 0, shadowDepth = 0;
  float shadowColumnW = 0, shadowRowW = 0, shadowDepthW = 0;  // times w (perspective) or copies
  float u = 0, v = 0;    // texels
  float uW = 0, vW = 0;  // times w (perspective) or copies
  uint16_t red = 0, green = 0, blue = 0, unused = 0;
};
static_assert(sizeof(ClipVertex) == 21 * 4, "a clip vertex is 21 words");

struct SamplePattern;

// What the shadow lookup needs, taken from the buffer and the preferences once per object rather
// than at every pixel.
struct ShadowTaps {
  const ShadowBuffer* buffer = nullptr;  // none (or no usable cells): everything is lit
  const SamplePattern* pattern = nullptr;  // null at "Quality" 3: the whole square around the point
  float m = 5.0f;                          // "Smoothness"
  float floor = 0.0f;                      // "Lightness"
};

struct ObjectRenderState {
  const SceneObject* object = nullptr;
  bool painted = false, textured = false, shadowed = false;
  std::span<const Vec3f> points;
  std::span<const Vec3f> faceNormals;
  std::span<const Vec3f> cameraPoints;
  std::span<const Vec3f> lightPoints;
  std::span<const Triangle> triangles;
  std::span<const uint32_t> pointFirstCorner;
  std::span<const uint32_t> triangleNextCorner;
  std::span<const Rgb8> pointColors;
  std::span<const Uv> pointUV;
  Rotation3 objectMatrix{};
  Rotation3 cameraMatrix{};
  Vec3f origin;
  bool perspective = false;
  float focal = 0;
  float centreX = 0, centreY = 0;
  int clipRight = 0, clipBottom = 0;  // band width, band rows
  float smoothCos = 0;
  float ambient = 0;  // A
  float diffuse = 0;  // D
  float exponent = 1;  // n
  std::array<int32_t, 3> ambientRGB{}, diffuseRGB{}, specularRGB{};
  float scaleU = 0, scaleV = 0, offsetU = 0, offsetV = 0;
  Vec3f light;
  float cxy = 0, cxz = 0, cyz = 0, cxx = 0, cyy = 0, czz = 0;
  const ComposerTexture* texture = nullptr;
  TextureMapping mapping;
  const ShadowBuffer* shadow = nullptr;
  ShadowTaps shadowTaps;
  ComposerBand band;
};

int32_t HighByte(uint16_t component) { return int32_t(component >> 8); }

bool IsFinite(const Vec3f& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

const ObjectView& CameraView() { return nativeFiles.project.composerViews[ComposerCameraIndex(nativeFiles.project)]; }

Vec3f ViewOffset(const ObjectView& view) { return {view.offset[0], view.offset[1], view.offset[2]}; }

Rotation3 ObjectMatrix(const SceneObject& object) { return ComposerObjectMatrix(object); }

// A scene point (placed, plus the camera's offset) in light space.
Vec3f LightSpacePoint(const ShadowBuffer& shadow, const Rotation3& objectMatrix, const Vec3f& position,
                      const Vec3f& p) {
  return Rotate(shadow.lightRotation, Rotate(objectMatrix, p) + position + shadow.viewOffset);
}

bool UsableLightPoint(const Vec3f& p) {
  return IsFinite(p) && std::fabs(p.x) <= kFarLimit && std::fabs(p.y) <= kFarLimit &&
         std::fabs(p.z) <= kFarLimit;
}

// Buffer column and row (rows counted from the top of the buffer) of a light-space point.
float ShadowColumn(const ShadowBuffer& s, float a) {
  return kShadowMargin * float(s.width) + kShadowSpan * float(s.width) * (a - s.a0) / s.ra;
}
float ShadowRow(const ShadowBuffer& s, float b) {
  return kShadowMargin * float(s.height) + kShadowSpan * float(s.height) * (s.rb - (b - s.b0)) / s.rb;
}

// --- Random table ---------------------------------------------------------------------------

void FillRandomTable(ComposerRasterState& state) {
  if (state.randomTable.size() == kRandomTableSize) return;
  try {
    state.randomTable.resize(kRandomTableSize);
  } catch (const std::bad_alloc&) {
    state.randomTable.clear();  // NextRandom answers the middle value instead
    return;
  }
  uint32_t x = 0x2545F491u;  // fixed seed: every run renders the same picture
  for (float& value : state.randomTable) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    value = float(x >> 8) * (1.0f / 16777216.0f);
  }
}

float NextRandom(ComposerRasterState& state) {
  // Filled once (BuildShadowBuffer fills it for every frame); the shadow taps only check.
  if (state.randomTable.size() != kRandomTableSize) {
    FillRandomTable(state);
    if (state.randomTable.size() != kRandomTableSize) return 0.5f;
  }
  const float value = state.randomTable[state.randomIndex & (kRandomTableSize - 1)];
  state.randomIndex = (state.randomIndex + 1) & (kRandomTableSize - 1);
  return value;
}

// Three values in a row, as every shadow tap takes them: one look at the table for the three.
struct RandomTriple {
  float first, second, third;
};
RandomTriple NextRandomTriple(ComposerRasterState& state) {
  if (state.randomTable.size() != kRandomTableSize) {
    const float first = NextRandom(state), second = NextRandom(state);
    return {first, second, NextRandom(state)};
  }
  constexpr uint32_t kMask = kRandomTableSize - 1;
  const uint32_t i = state.randomIndex;
  const float* table = state.randomTable.data();
  state.randomIndex = (i + 3) & kMask;
  return {table[i & kMask], table[(i + 1) & kMask], table[(i + 2) & kMask]};
}

// --- Shadow sample patterns -----------------------------------------------------------------

struct SamplePattern {
  std::array<std::array<float, 2>, 25> points{};
  int first = 0;  // k1: the samples taken before the early return
  int total = 0;
};

constexpr float kThird = 1.0f / 3.0f;

SamplePattern MakePattern(int quality) {
  SamplePattern p;
  int n = 0;
  auto add = [&](float x, float y) { p.points[size_t(n++)] = {x, y}; };
  if (quality == 0) {
    const float steps[4] = {-1.0f, kThird, -kThird, 1.0f};
    const float rows[4] = {1.0f, kThird, -kThird, -1.0f};
    for (float y : rows)
      for (float x : steps) add(x, y);
    add(0, 0);
    p.first = 13;
  } else if (quality == 1) {
    auto ring = [&](float radius, float startDegrees) {
      for (int i = 0; i < 6; ++i) {
        const double a = double(startDegrees + 60.0f * float(i)) * 0.017453292519943295;
        add(float(radius * std::cos(a)), float(radius * std::sin(a)));
      }
    };
    ring(0.8660254f, 30.0f);
    add(0, 0);
    ring(0.75f, 0.0f);
    ring(0.4330127f, 30.0f);
    p.first = 7;
  } else {
    for (int row = 0; row < 5; ++row)
      for (int column = 0; column < 5; ++column) add(-1.0f + 0.5f * float(column), 1.0f - 0.5f * float(row));
    p.first = 17;
  }
  p.total = n;
  return p;
}

const std::array<SamplePattern, 3> kPatterns = {MakePattern(0), MakePattern(1), MakePattern(2)};


// A sample coordinate truncated and held within 0..size - 1 (not a number: 0).
int CellIndex(float value, int size) {
  if (!(value >= 0.0f)) return 0;
  if (value >= float(size - 1)) return size - 1;
  return int(value);
}

ShadowTaps ShadowTapsOf(const ShadowBuffer& shadow) {
  ShadowTaps taps;
  if (shadow.cells.empty() || shadow.width <= 0 || shadow.height <= 0 ||
      shadow.cells.size() < size_t(shadow.width) * size_t(shadow.height))
    return taps;
  taps.buffer = &shadow;
  const int quality = std::min<int>(preferences.shadowQuality, 3);
  taps.pattern = quality < 3 ? &kPatterns[size_t(quality)] : nullptr;
  taps.m = std::isfinite(preferences.shadowSmoothness) ? std::clamp(preferences.shadowSmoothness, 0.0f, 40.0f) : 5.0f;
  taps.floor = std::clamp(shadow.floor, 0.0f, 1.0f);
  return taps;
}

float ShadowFactorWith(const ShadowTaps& taps, float x, float y, float z) {
  if (taps.buffer == nullptr) return 1.0f;
  const ShadowBuffer& shadow = *taps.buffer;
  ComposerRasterState& state = renderState.composer;
  const float m = taps.m, floor = taps.floor;
  const int width = shadow.width, height = shadow.height;
  const float* cells = shadow.cells.data();
  auto lit = [&](int column, int row, float r) {
    const float cell = cells[size_t(height - 1 - row) * size_t(width) + size_t(column)];
    return cell - 2.5f - 4.0f * r < z;
  };

  int sum = 0, total = 0;
  if (taps.pattern != nullptr && state.randomTable.size() == kRandomTableSize) {
    // The hot path: the table and its index in locals, each tap written out.
    const SamplePattern& pattern = *taps.pattern;
    const float* table = state.randomTable.data();
    uint32_t index = state.randomIndex;
    constexpr uint32_t kMask = kRandomTableSize - 1;
    int litCount = 0;
    // Taps first .. last - 1, with the count and the index kept in registers.
    auto taps = [&](int first, int last) {
      int lit = 0;
      uint32_t at = index;
      for (int i = first; i < last; ++i) {
        const float r1 = table[at & kMask], r2 = table[(at + 1) & kMask], r3 = table[(at + 2) & kMask];
        at = (at + 3) & kMask;
        const float* offset = pattern.points[size_t(i)].data();
        const int column = CellIndex(x + m * (offset[0] + 0.2f * (2.0f * r1 - 1.0f)), width);
        const int row = CellIndex(y + m * (offset[1] + 0.2f * (2.0f * r2 - 1.0f)), height);
        lit += cells[size_t(height - 1 - row) * size_t(width) + size_t(column)] - 2.5f - 4.0f * r3 < z ? 1 : 0;
      }
      index = at;
      return lit;
    };
    litCount = taps(0, pattern.first);
    if (litCount == 0 || litCount == pattern.first) {
      state.randomIndex = index;
      return litCount == 0 ? floor : 1.0f;
    }
    litCount += taps(pattern.first, pattern.total);
    state.randomIndex = index;
    sum = litCount * 512;
    total = pattern.total;
  } else if (taps.pattern != nullptr) {
    const SamplePattern& pattern = *taps.pattern;
    auto sample = [&](int i) {
      const RandomTriple r = NextRandomTriple(state);
      const auto& offset = pattern.points[size_t(i)];
      const int column = CellIndex(x + m * (offset[0] + 0.2f * (2.0f * r.first - 1.0f)), width);
      const int row = CellIndex(y + m * (offset[1] + 0.2f * (2.0f * r.second - 1.0f)), height);
      if (lit(column, row, r.third)) sum += 512;
    };
    for (int i = 0; i < pattern.first; ++i) sample(i);
    if (sum == 0) return floor;
    if (sum >= pattern.first * 511) return 1.0f;
    for (int i = pattern.first; i < pattern.total; ++i) sample(i);
    total = pattern.total;
  } else {
    const int left = CellIndex(x - m, width), right = CellIndex(x + m, width);
    const int top = CellIndex(y - m, height), bottom = CellIndex(y + m, height);
    for (int row = top; row <= bottom; ++row)
      for (int column = left; column <= right; ++column) {
        if (lit(column, row, NextRandom(state))) sum += 512;
        ++total;
      }
  }
  const float s = std::min(float(sum) / float(total), 256.0f);
  return (floor * 256.0f + (1.0f - floor) * s) / 256.0f;
}

// --- Texture --------------------------------------------------------------------------------

// The texel at integer position (x, y), tiled over the plane: repeated, or mirrored in every
// other tile when the mapping's repetition flag is clear.
uint32_t TexelAt(const ComposerTexture& texture, bool mirror, int64_t x, int64_t y) {
  auto wrap = [mirror](int64_t position, int64_t size) {
    int64_t tile = position / size;
    int64_t within = position - tile * size;
    if (within < 0) {
      within += size;
      --tile;
    }
    if (mirror && (tile & 1) != 0) within = size - 1 - within;
    return within;
  };
  const int64_t column = wrap(x, texture.width), row = wrap(y, texture.height);
  return texture.pixels[size_t(row) * size_t(texture.width) + size_t(column)];
}

struct TexelValue {
  float alpha = 0, red = 0, green = 0, blue = 0;
};

TexelValue TexelValueOf(uint32_t pixel, const TextureMapping& mapping) {
  int alpha = 255;
  if ((mapping.textureUsesAlpha & 3) != 0)
    alpha = (mapping.textureUsesAlpha & 2) != 0 ? 255 - int(pixel >> 24) : int(pixel >> 24);
  return {float(TexelOpacity(alpha, mapping.textureParams[0])), float((pixel >> 16) & 255u),
          float((pixel >> 8) & 255u), float(pixel & 255u)};
}

// Brightness of a texel, 0..255.
float TexelBrightness(uint32_t pixel) {
  return float(((pixel >> 16) & 255u) * 77u + ((pixel >> 8) & 255u) * 150u + (pixel & 255u) * 29u) / 256.0f;
}

// The relief of the texture at (tu, tv): the brightness is a height, sampled a step of bump / 256
// x 8 texels back and ahead along both picture axes; a slope that rises toward the top left (the
// side the light comes from) brightens, one that falls darkens, by up to half the light at a full
// step's difference of 255.
float ReliefShade(const ComposerTexture& texture, const TextureMapping& mapping, bool mirror, float tu, float tv) {
  const int bump = std::min<int>(mapping.textureBump, 256);
  if (bump <= 0) return 1.0f;
  const float step = float(bump) / 256.0f * 8.0f;
  auto height = [&](float u, float v) {
    return TexelBrightness(TexelAt(texture, mirror, int64_t(std::floor(u)), int64_t(std::floor(v))));
  };
  const float slopeU = height(tu + step, tv) - height(tu - step, tv);
  const float slopeV = height(tu, tv + step) - height(tu, tv - step);
  return std::clamp(1.0f + (slopeU + slopeV) / (4.0f * 255.0f), 0.5f, 1.5f);
}

float HeldTexel(double value) {
  if (!std::isfinite(value)) return 0.0f;
  return float(std::clamp(value, -double(kTexelLimit), double(kTexelLimit)));
}

// --- Clipping -------------------------------------------------------------------------------

// a + (b - a) t for every word; the colour rounded. Done in double so that two far ends of an
// edge (a float's whole range apart) still give a finite point between them.
ClipVertex Interpolate(const ClipVertex& a, const ClipVertex& b, double t) {
  auto mix = [t](float p, float q) { return float(double(p) + (double(q) - double(p)) * t); };
  auto mixColour = [t](uint16_t p, uint16_t q) {
    return uint16_t(std::clamp(std::lround(double(p) + (double(q) - double(p)) * t), 0L, 255L));
  };
  ClipVertex r;
  r.x = mix(a.x, b.x);
  r.y = mix(a.y, b.y);
  r.z = mix(a.z, b.z);
  r.w = mix(a.w, b.w);
  r.nx = mix(a.nx, b.nx);
  r.ny = mix(a.ny, b.ny);
  r.nz = mix(a.nz, b.nz);
  r.shadowColumn = mix(a.shadowColumn, b.shadowColumn);
  r.shadowRow = mix(a.shadowRow, b.shadowRow);
  r.shadowDepth = mix(a.shadowDepth, b.shadowDepth);
  r.shadowColumnW = mix(a.shadowColumnW, b.shadowColumnW);
  r.shadowRowW = mix(a.shadowRowW, b.shadowRowW);
  r.shadowDepthW = mix(a.shadowDepthW, b.shadowDepthW);
  r.u = mix(a.u, b.u);
  r.v = mix(a.v, b.v);
  r.uW = mix(a.uW, b.uW);
  r.vW = mix(a.vW, b.vW);
  r.red = mixColour(a.red, b.red);
  r.green = mixColour(a.green, b.green);
  r.blue = mixColour(a.blue, b.blue);
  return r;
}

// A triangle clipped by the near plane and the four band edges has at most 3 + 5 corners.
constexpr int kMaxPolygon = 12;
struct Polygon {
  std::array<ClipVertex, kMaxPolygon> v;
  int count = 0;
};

// Sutherland-Hodgman against one plane: `side` gives a signed distance, inside when >= 0 (or > 0
// when `strict`); crossing points are interpolated and `place` puts them exactly on the plane.
template <class Side, class Place>
void ClipAgainst(const Polygon& in, Polygon& out, Side side, bool strict, Place place) {
  out.count = 0;
  auto inside = [&](const ClipVertex& v) { return strict ? side(v) > 0.0 : side(v) >= 0.0; };
  for (int i = 0; i < in.count; ++i) {
    const ClipVertex& a = in.v[size_t(i)];
    const ClipVertex& b = in.v[size_t((i + 1) % in.count)];
    const bool aIn = inside(a), bIn = inside(b);
    if (aIn && out.count < kMaxPolygon) out.v[size_t(out.count++)] = a;
    if (aIn != bIn && out.count < kMaxPolygon) {
      const double da = side(a), db = side(b);
      ClipVertex c = Interpolate(a, b, da / (da - db));
      place(c);
      out.v[size_t(out.count++)] = c;
    }
  }
}

// --- Triangle set-up and spans ----------------------------------------------------------------

// The attributes interpolated across a triangle: w, the normal, the shadow words, u, v (all as
// the vertex carries them, times w under perspective) and the colour.
constexpr int kAttributes = 12;
using Attributes = std::array<float, kAttributes>;

Attributes AttributesOf(const ClipVertex& v) {
  return {v.w, v.nx, v.ny, v.nz, v.shadowColumnW, v.shadowRowW, v.shadowDepthW, v.uW, v.vW,
          float(v.red), float(v.green), float(v.blue)};
}

// floor(a / b) for b > 0.
int64_t FloorDivide(int64_t a, int64_t b) {
  int64_t q = a / b;
  if (q * b > a) --q;
  return q;
}

// Column of the edge from (c0, r0) to (c1, r1) at row r (r0 <= r < r1), computed the same way
// from the same corners by every triangle that shares the edge, so neighbours neither overlap
// nor leave a gap.
int32_t EdgeColumn(int32_t c0, int32_t r0, int32_t c1, int32_t r1, int32_t r) {
  return int32_t(c0 + FloorDivide(int64_t(c1 - c0) * (r - r0), r1 - r0));
}

// One pixel that passed the depth test, from its interpolated attributes.
uint32_t ShadePixel(const ObjectRenderState& s, const Attributes& a, uint32_t old) {
  const float w = a[0];
  // Perspective-correct words are carried times w; one division brings them all back.
  const float back = s.perspective ? 1.0f / w : 1.0f;
  int32_t base[3];
  float relief = 1.0f;
  for (int i = 0; i < 3; ++i)
    base[i] = s.painted ? std::clamp(int32_t(std::lround(a[size_t(9 + i)])), 0, 255) : s.diffuseRGB[size_t(i)];
  if (s.textured) {
    const ComposerTexel t = SampleComposerTexture(*s.texture, s.mapping, a[7] * back, a[8] * back);
    const int32_t texel[3] = {t.red, t.green, t.blue};
    for (int i = 0; i < 3; ++i) base[i] = (base[i] * (255 - t.alpha) + texel[i] * t.alpha) / 255;
    relief = 1.0f + (t.relief - 1.0f) * float(t.alpha) / 255.0f;  // where the texture shows
  }
  const float shadow = s.shadowed ? ShadowFactorWith(s.shadowTaps, a[4] * back, a[5] * back, a[6] * back) : 1.0f;

  Vec3f n = {a[1], a[2], a[3]};
  const float length = Length(n);
  if (length > 0.0f && std::isfinite(length)) n = n * (1.0f / length);
  const float dReal = shadow * relief * s.diffuse * (Dot(n, s.light) - s.ambient + 128.0f) / (255.0f - s.ambient);
  const int32_t d = std::isfinite(dReal) ? int32_t(std::clamp(dReal, 0.0f, 256.0f)) : 0;
  int32_t colour[3];
  for (int i = 0; i < 3; ++i) colour[i] = ((s.ambientRGB[size_t(i)] * (256 - d) + 255 * d) * base[i]) >> 16;

  // The cosine between the light's mirror direction and the viewing axis.
  const float q = s.cxx * (n.x * n.x - 0.5f) + s.cyy * (n.y * n.y - 0.5f) + s.czz * (n.z * n.z - 0.5f) +
                  s.cxy * n.x * n.y + s.cxz * n.x * n.z + s.cyz * n.y * n.z;
  if (q > 0.0f) {
    const float sReal = 256.0f * shadow * q / (s.exponent - s.exponent * q + q);
    const int32_t highlight = std::isfinite(sReal) ? int32_t(std::clamp(sReal, 0.0f, 256.0f)) : 0;
    for (int i = 0; i < 3; ++i) colour[i] += (s.specularRGB[size_t(i)] * highlight) >> 8;
  }
  return (old & 0xFF000000u) | (uint32_t(std::clamp(colour[0], 0, 255)) << 16) |
         (uint32_t(std::clamp(colour[1], 0, 255)) << 8) | uint32_t(std::clamp(colour[2], 0, 255));
}

// Columns left .. right - 1 of one row; a pixel is replaced only by a strictly nearer one.
void ShadeComposerSpan(const ObjectRenderState& s, int32_t left, int32_t right, const Attributes& start,
                       const Attributes& step, uint32_t* colourRow, float* depthRow) {
  Attributes a = start;
  for (int32_t x = left; x < right; ++x) {
    // Under perspective w is positive inside a triangle; a sliver's edge pixel can fall a little
    // outside it, and must not be divided by.
    if (depthRow[x] < a[0] && (!s.perspective || a[0] > 0.0f)) {
      colourRow[x] = ShadePixel(s, a, colourRow[x]);
      depthRow[x] = a[0];
    }
    for (int i = 0; i < kAttributes; ++i) a[size_t(i)] += step[size_t(i)];
  }
}

void DrawComposerTriangle(const ObjectRenderState& s, ClipVertex f, ClipVertex g, ClipVertex h) {
  ClipVertex* corners[3] = {&f, &g, &h};
  for (ClipVertex* c : corners) {
    c->column = std::clamp(int32_t(std::floor(c->x + 0.5f)), 0, s.clipRight);
    c->row = std::clamp(int32_t(std::floor(c->y + 0.5f)), 0, s.clipBottom);
    c->w = c->z;
  }
  // Rows grow downwards, so a face turned towards the camera runs this way round.
  const int64_t facing = int64_t(h.column - f.column) * (g.row - f.row) -
                         int64_t(g.column - f.column) * (h.row - f.row);
  if (facing < 0) return;
  // Zero area after rounding: the edges coincide on every row, so no pixel is covered.
  if (facing == 0) return;

  std::sort(corners, corners + 3, [](const ClipVertex* a, const ClipVertex* b) { return a->row < b->row; });
  const ClipVertex& top = *corners[0];
  const ClipVertex& mid = *corners[1];
  const ClipVertex& bottom = *corners[2];

  // Plane equations of the attributes over the rounded corner positions.
  const Attributes a0 = AttributesOf(top), a1 = AttributesOf(mid), a2 = AttributesOf(bottom);
  const double x1 = mid.column - top.column, y1 = mid.row - top.row;
  const double x2 = bottom.column - top.column, y2 = bottom.row - top.row;
  const double area = x1 * y2 - x2 * y1;
  std::array<double, kAttributes> dx{}, dy{};
  for (int i = 0; i < kAttributes; ++i) {
    const double d1 = double(a1[size_t(i)]) - a0[size_t(i)], d2 = double(a2[size_t(i)]) - a0[size_t(i)];
    dx[size_t(i)] = (d1 * y2 - d2 * y1) / area;
    dy[size_t(i)] = (d2 * x1 - d1 * x2) / area;
  }
  Attributes step{};
  for (int i = 0; i < kAttributes; ++i) step[size_t(i)] = float(dx[size_t(i)]);

  const ComposerBand& band = s.band;
  for (int32_t row = top.row; row < bottom.row; ++row) {
    if (row < 0 || row >= band.rows) continue;
    const int32_t longColumn = EdgeColumn(top.column, top.row, bottom.column, bottom.row, row);
    const int32_t shortColumn = row < mid.row ? EdgeColumn(top.column, top.row, mid.column, mid.row, row)
                                              : EdgeColumn(mid.column, mid.row, bottom.column, bottom.row, row);
    const int32_t left = std::clamp(std::min(longColumn, shortColumn), 0, band.width);
    const int32_t right = std::clamp(std::max(longColumn, shortColumn), 0, band.width);
    if (left >= right) continue;
    Attributes start{};
    for (int i = 0; i < kAttributes; ++i)
      start[size_t(i)] = float(a0[size_t(i)] + dx[size_t(i)] * (left - top.column) + dy[size_t(i)] * (row - top.row));
    const size_t rowBase = size_t(row) * size_t(band.width);
    ShadeComposerSpan(s, left, right, start, step, band.colour + rowBase, band.depth + rowBase);
  }
}

bool FiniteScreen(const ClipVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void ClipAndFanPolygon(const ObjectRenderState& s, const ClipVertex& a, const ClipVertex& b,
                       const ClipVertex& c) {
  Polygon p, q;
  p.v[0] = a;
  p.v[1] = b;
  p.v[2] = c;
  p.count = 3;
  // Damaged corners are dropped before anything turns them into integers.
  for (int i = 0; i < 3; ++i)
    if (!FiniteScreen(p.v[size_t(i)])) return;

  ClipAgainst(p, q, [](const ClipVertex& v) { return double(kNearPlane) - double(v.z); }, true,
              [](ClipVertex& v) { v.z = kNearPlane; });
  if (q.count < 3) return;

  for (int i = 0; i < q.count; ++i) {
    ClipVertex& v = q.v[size_t(i)];
    double x = double(v.x) * s.focal, y = double(v.y) * s.focal;
    if (s.perspective) {
      const double w = -1.0 / double(v.z);
      x *= w;
      y *= w;
      v.z = float(w);
      v.shadowColumnW = float(v.shadowColumn * w);
      v.shadowRowW = float(v.shadowRow * w);
      v.shadowDepthW = float(v.shadowDepth * w);
      v.uW = float(v.u * w);
      v.vW = float(v.v * w);
      // The normal too: the pixel normalises it, so it never needs dividing back.
      v.nx = float(v.nx * w);
      v.ny = float(v.ny * w);
      v.nz = float(v.nz * w);
    } else {
      v.shadowColumnW = v.shadowColumn;
      v.shadowRowW = v.shadowRow;
      v.shadowDepthW = v.shadowDepth;
      v.uW = v.u;
      v.vW = v.v;
    }
    x += s.centreX;
    y = s.centreY - y;  // camera y up, band rows down
    if (!(std::fabs(x) < kScreenLimit) || !(std::fabs(y) < kScreenLimit)) return;
    v.x = float(x);
    v.y = float(y);
    if (!FiniteScreen(v)) return;
  }

  const double width = s.clipRight, rows = s.clipBottom;
  ClipAgainst(q, p, [](const ClipVertex& v) { return double(v.x); }, false, [](ClipVertex& v) { v.x = 0; });
  ClipAgainst(p, q, [width](const ClipVertex& v) { return width - double(v.x); }, false,
              [width](ClipVertex& v) { v.x = float(width); });
  ClipAgainst(q, p, [](const ClipVertex& v) { return double(v.y); }, false, [](ClipVertex& v) { v.y = 0; });
  ClipAgainst(p, q, [rows](const ClipVertex& v) { return rows - double(v.y); }, false,
              [rows](ClipVertex& v) { v.y = float(rows); });
  if (q.count < 3) return;
  for (int k = q.count - 2; k >= 1; --k) DrawComposerTriangle(s, q.v[0], q.v[size_t(k)], q.v[size_t(k + 1)]);
}

// --- Per object -------------------------------------------------------------------------------

bool UsableBand(const ComposerBand& band) {
  return band.colour != nullptr && band.depth != nullptr && band.width > 0 && band.rows > 0 &&
         band.pictureWidth > 0 && band.pictureHeight > 0;
}

// The normal of point `p` at triangle `t`: the face normals around p within the breaking angle
// of t's, summed and normalised; t's own when they sum to nothing.
Vec3f SmoothedNormal(const ObjectRenderState& s, uint32_t p, uint32_t t) {
  const Vec3f face = s.faceNormals[t];
  if (p >= s.pointFirstCorner.size()) return face;
  Vec3f sum{};
  uint32_t reference = s.pointFirstCorner[p];
  // Bounded by the number of corners, so a damaged list that loops cannot hang the drawing.
  size_t budget = s.triangleNextCorner.size() + 1;
  while (reference != kEndOfCornerList && budget-- > 0) {
    const uint32_t triangle = CornerTriangle(reference);
    const uint32_t slot = CornerSlot(reference);
    if (CornerNumber(reference) > 2 || triangle >= s.faceNormals.size() || slot >= s.triangleNextCorner.size())
      break;
    const Vec3f other = s.faceNormals[triangle];
    if (Dot(other, face) > s.smoothCos) sum = sum + other;
    reference = s.triangleNextCorner[slot];
  }
  const float length = Length(sum);
  if (!(length > 0.0f) || !std::isfinite(length)) return face;
  return sum * (1.0f / length);
}

ClipVertex MakeVertex(const ObjectRenderState& s, uint32_t p, uint32_t t) {
  ClipVertex v;
  const Vec3f c = s.cameraPoints[p];
  v.x = c.x;
  v.y = c.y;
  v.z = c.z;
  if (s.textured) {
    v.u = HeldTexel(double(s.pointUV[p].u) * s.scaleU + s.offsetU);
    v.v = HeldTexel(double(s.pointUV[p].v) * s.scaleV + s.offsetV);
  }
  if (s.shadowed) {
    const Vec3f l = s.lightPoints[p];
    if (UsableLightPoint(l)) {
      v.shadowColumn = ShadowColumn(*s.shadow, l.x);
      v.shadowRow = ShadowRow(*s.shadow, l.y);
      v.shadowDepth = l.z;
    } else {  // lies nowhere in the buffer: lit
      v.shadowColumn = 0;
      v.shadowRow = 0;
      v.shadowDepth = kLitDepth;
    }
  }
  if (s.painted) {
    const Rgb8& colour = s.pointColors[p];
    v.red = colour.red;
    v.green = colour.green;
    v.blue = colour.blue;
  }
  const Vec3f n = SmoothedNormal(s, p, t);
  v.nx = n.x;
  v.ny = n.y;
  v.nz = n.z;
  return v;
}

bool BuildObjectRenderState(ObjectRenderState& s, const ComposerBand& band, const SceneObject& object,
                            const ComposerTexture* texture, const ShadowBuffer* shadow) {
  const std::span<const Triangle> triangles = Triangles(object);
  if (object.pointCount <= 0 || object.triangleCount <= 0) return false;
  const size_t pointCount = size_t(object.pointCount);
  const size_t triangleCount = std::min(triangles.size(), size_t(object.triangleCount));
  if (object.points.size() < pointCount || triangleCount == 0) return false;

  s.object = &object;
  s.band = band;
  s.points = std::span<const Vec3f>(object.points.data(), pointCount);
  s.triangles = triangles.first(triangleCount);
  const std::span<const uint32_t> first = PointFirstCorner(object);
  const std::span<const uint32_t> next = TriangleNextCorner(object);
  if (first.size() >= pointCount && next.size() >= 3 * triangleCount) {
    s.pointFirstCorner = first.first(pointCount);
    s.triangleNextCorner = next.first(3 * triangleCount);
  }
  const Optics& optics = object.optics;
  s.painted = optics.isPainted != 0 && object.pointColors.size() >= pointCount;
  if (s.painted) s.pointColors = std::span<const Rgb8>(object.pointColors.data(), pointCount);
  s.textured = texture != nullptr && texture->width > 0 && texture->height > 0 &&
               texture->pixels.size() >= size_t(texture->width) * size_t(texture->height) &&
               object.pointUV.size() >= pointCount;
  if (s.textured) {
    s.pointUV = std::span<const Uv>(object.pointUV.data(), pointCount);
    s.texture = texture;
    s.mapping = TextureMappingOf(object);
    const float zoom = std::isfinite(s.mapping.textureZoom) ? s.mapping.textureZoom : 1.0f;
    s.scaleU = float(texture->width) * zoom / 256.0f;
    s.scaleV = float(texture->height) * zoom / 256.0f;
    // The panning words are signed.
    s.offsetU = float(int16_t(s.mapping.textureOffset[0])) * float(texture->width) / 128.0f;
    s.offsetV = float(int16_t(s.mapping.textureOffset[1])) * float(texture->height) / 128.0f;
  }
  s.shadowed = shadow != nullptr && optics.receivesShadow != 0 && shadow->width > 0 && shadow->height > 0 &&
               shadow->cells.size() >= size_t(shadow->width) * size_t(shadow->height) && shadow->ra > 0.0f &&
               shadow->rb > 0.0f;
  if (s.shadowed) {
    s.shadow = shadow;
    s.shadowTaps = ShadowTapsOf(*shadow);
  }

  const ObjectView& camera = CameraView();
  s.objectMatrix = ObjectMatrix(object);
  s.cameraMatrix = ViewRotationMatrix(camera.angles);
  s.origin = object.position + ViewOffset(camera);
  s.perspective = camera.mode != 0;
  s.focal = s.perspective ? float(band.pictureWidth) * camera.zoom * 0.5f : camera.zoom * band.orthographicScale;
  if (!std::isfinite(s.focal)) return false;
  s.centreX = float(band.pictureWidth) / 2.0f;
  s.centreY = float(band.pictureHeight) / 2.0f - float(band.firstRow);
  s.clipRight = band.width;
  s.clipBottom = band.rows;
  const float breaking = std::isfinite(preferences.breakingAngle) ? std::clamp(preferences.breakingAngle, 0.0f, 180.0f) : 45.0f;
  s.smoothCos = std::cos(breaking * kDegrees);
  // 255 would make the diffuse term divide by zero.
  s.ambient = float(std::min<uint16_t>(optics.ambientLevel, 254));
  s.diffuse = float(std::min<uint16_t>(optics.diffuseStrength, 254));
  s.exponent = float(SpecularExponent(optics.shininess));
  s.ambientRGB = {HighByte(optics.ambientColor.red), HighByte(optics.ambientColor.green), HighByte(optics.ambientColor.blue)};
  s.diffuseRGB = {HighByte(optics.diffuseColor.red), HighByte(optics.diffuseColor.green), HighByte(optics.diffuseColor.blue)};
  s.specularRGB = {HighByte(optics.specularColor.red), HighByte(optics.specularColor.green),
                   HighByte(optics.specularColor.blue)};

  // The light is fixed to the camera; into the object's frame through both inverse rotations.
  // The same rotation as the modeling view's light (BuildLightVector), built here without
  // touching that view's global.
  const Rotation3 lightTurn = ViewRotationMatrix(nativeFiles.project.lightAngles);
  const Vec3f cameraLight = {lightTurn[2], lightTurn[5], lightTurn[8]};
  const Rotation3 objectTurn = ViewRotationMatrix({object.rotation.x, object.rotation.y, object.rotation.z});
  const Vec3f l = Normalised(RotateInverse(objectTurn, RotateInverse(s.cameraMatrix, cameraLight)));
  const Vec3f v = Normalised(RotateInverse(objectTurn, RotateInverse(s.cameraMatrix, Vec3f{0, 0, 1}))) * (2.0f / 128.0f);
  s.light = l * kLightVectorLength;
  const Vec3f& L = s.light;
  s.cxy = v.x * L.y + v.y * L.x;
  s.cxz = v.x * L.z + v.z * L.x;
  s.cyz = v.z * L.y + v.y * L.z;
  s.cxx = v.x * L.x;
  s.cyy = v.y * L.y;
  s.czz = v.z * L.z;

  ComposerRasterState& scratch = renderState.composer;
  try {
    if (scratch.faceNormals.size() < triangleCount) scratch.faceNormals.resize(triangleCount);
    if (scratch.cameraPoints.size() < pointCount) scratch.cameraPoints.resize(pointCount);
    if (s.shadowed && scratch.lightPoints.size() < pointCount) scratch.lightPoints.resize(pointCount);
  } catch (const std::bad_alloc&) {
    return false;  // the object is left out of the picture; the frame goes on
  }

  for (size_t t = 0; t < triangleCount; ++t) {
    const Triangle& tri = s.triangles[t];
    Vec3f n{};
    if (tri[0] < pointCount && tri[1] < pointCount && tri[2] < pointCount) {
      const Vec3f p0 = s.points[tri[0]];
      n = Cross(s.points[tri[1]] - p0, s.points[tri[2]] - p0);
      const float length = Length(n);
      n = length > 0.0f && std::isfinite(length) ? n * (1.0f / length) : (IsFinite(n) ? n : Vec3f{});
    }
    scratch.faceNormals[t] = n;
  }
  s.faceNormals = std::span<const Vec3f>(scratch.faceNormals.data(), triangleCount);

  for (size_t p = 0; p < pointCount; ++p) {
    Vec3f c = Rotate(s.cameraMatrix, Rotate(s.objectMatrix, s.points[p]) + s.origin);
    c.z -= kCameraDistance;
    scratch.cameraPoints[p] = c;
  }
  s.cameraPoints = std::span<const Vec3f>(scratch.cameraPoints.data(), pointCount);

  if (s.shadowed) {
    for (size_t p = 0; p < pointCount; ++p)
      scratch.lightPoints[p] = LightSpacePoint(*shadow, s.objectMatrix, object.position, s.points[p]);
    s.lightPoints = std::span<const Vec3f>(scratch.lightPoints.data(), pointCount);
  }
  return true;
}

void AdvanceObjectProgress(const ComposerBand& band, int quarter) {
  if (band.progressStart < 0) return;
  AdvanceProgress(band.progressStart + (band.progressEnd - band.progressStart) * quarter / 4, band.progressTop);
}

}  // namespace

void RestartRandomTable() {
  FillRandomTable(renderState.composer);
  renderState.composer.randomIndex = 0;
}

float ShadowFactor(float x, float y, float z, const ShadowBuffer& shadow) {
  return ShadowFactorWith(ShadowTapsOf(shadow), x, y, z);
}

ComposerTexel SampleComposerTexture(const ComposerTexture& texture, const TextureMapping& mapping, float u,
                                    float v) {
  if (texture.width <= 0 || texture.height <= 0 ||
      texture.pixels.size() < size_t(texture.width) * size_t(texture.height))
    return {};
  // The texture's own transform: turned by its angle and scaled about the picture's middle,
  // then shifted by its two offsets (each 128 a whole picture).
  const double w = texture.width, h = texture.height;
  const double scale = std::max<int>(mapping.textureParams[2], 1) / 128.0;
  const double angle = mapping.textureParams[4] * 0.0234374;
  const double du = (double(u) - w / 2) / scale, dv = (double(v) - h / 2) / scale;
  const double ca = std::cos(angle), sa = std::sin(angle);
  const float tu = HeldTexel(ca * du - sa * dv + w / 2 + (mapping.textureParams[1] - 128) / 128.0 * w);
  const float tv = HeldTexel(sa * du + ca * dv + h / 2 + (mapping.textureParams[3] - 128) / 128.0 * h);

  const bool mirror = (mapping.textureFlags & 2) == 0;
  const int64_t x0 = int64_t(std::floor(tu)), y0 = int64_t(std::floor(tv));
  const float relief = ReliefShade(texture, mapping, mirror, tu, tv);
  const int quality = std::min<int>(preferences.textureQuality, 2);
  if (quality == 0) {
    const TexelValue t = TexelValueOf(TexelAt(texture, mirror, x0, y0), mapping);
    return {int(t.alpha), int(t.red), int(t.green), int(t.blue), relief};
  }
  float fx = tu - float(x0), fy = tv - float(y0);
  if (quality == 2) {
    fx = fx * fx * (3.0f - 2.0f * fx);
    fy = fy * fy * (3.0f - 2.0f * fy);
  }
  const TexelValue t00 = TexelValueOf(TexelAt(texture, mirror, x0, y0), mapping);
  const TexelValue t10 = TexelValueOf(TexelAt(texture, mirror, x0 + 1, y0), mapping);
  const TexelValue t01 = TexelValueOf(TexelAt(texture, mirror, x0, y0 + 1), mapping);
  const TexelValue t11 = TexelValueOf(TexelAt(texture, mirror, x0 + 1, y0 + 1), mapping);
  auto blend = [&](float TexelValue::*channel) {
    const float top = t00.*channel + (t10.*channel - t00.*channel) * fx;
    const float bottom = t01.*channel + (t11.*channel - t01.*channel) * fx;
    return std::clamp(int(std::lround(top + (bottom - top) * fy)), 0, 255);
  };
  return {blend(&TexelValue::alpha), blend(&TexelValue::red), blend(&TexelValue::green), blend(&TexelValue::blue),
          relief};
}

size_t ComposerCameraIndex(const ProjectRecord& project) {
  // A damaged index takes the default camera.
  return project.cameraViewIndex < project.composerViews.size() ? project.cameraViewIndex : project.composerViews.size() - 1;
}

Rotation3 ComposerObjectMatrix(const SceneObject& object) {
  Rotation3 m = ViewRotationMatrix({object.rotation.x, object.rotation.y, object.rotation.z});
  for (float& e : m) e *= object.scale;
  return m;
}

// True when the triangle surely draws nothing in this band: its three corners lie in front of the
// near plane and, projected, all above or all below the band, all left or all right of it, or the
// triangle turns its back to the camera by more than the rounding of its corners could undo. Such
// triangles skip the corner set-up and clipping. Anything less certain goes the full way.
bool SurelyOutsideBand(const ObjectRenderState& s, const Triangle& tri) {
  float x[3], y[3];
  for (int i = 0; i < 3; ++i) {
    const Vec3f c = s.cameraPoints[tri[size_t(i)]];
    if (!(c.z < kNearPlane - 0.001f) || !IsFinite(c)) return false;
    const float w = s.perspective ? -1.0f / c.z : 1.0f;
    x[i] = s.centreX + c.x * s.focal * w;
    y[i] = s.centreY - c.y * s.focal * w;
    if (!(std::fabs(x[i]) < kScreenLimit) || !(std::fabs(y[i]) < kScreenLimit)) return false;
  }
  const float bottom = float(s.clipBottom) + 1.0f, right = float(s.clipRight) + 1.0f;
  if ((y[0] < -1.0f && y[1] < -1.0f && y[2] < -1.0f) || (y[0] > bottom && y[1] > bottom && y[2] > bottom)) return true;
  if ((x[0] < -1.0f && x[1] < -1.0f && x[2] < -1.0f) || (x[0] > right && x[1] > right && x[2] > right)) return true;
  // The drawing culls on corners rounded to whole pixels, each moved by at most half a pixel
  // each way: the signed area can change by no more than this bound.
  const float e1x = x[2] - x[0], e1y = y[2] - y[0], e2x = x[1] - x[0], e2y = y[1] - y[0];
  const float facing = e1x * e2y - e2x * e1y;
  const float slack = 1.5f * (std::fabs(e1x) + std::fabs(e1y) + std::fabs(e2x) + std::fabs(e2y)) + 4.0f;
  return facing < -slack;
}

void RenderObjectIntoBand(const ComposerBand& band, SceneObject* object, const ComposerTexture* texture,
                          const ShadowBuffer* shadow) {
  ObjectRenderState state;
  if (object == nullptr || !UsableBand(band) || !BuildObjectRenderState(state, band, *object, texture, shadow)) {
    for (int quarter = 1; quarter <= 4; ++quarter) AdvanceObjectProgress(band, quarter);
    return;
  }
  const size_t count = state.triangles.size();
  const size_t milestones[4] = {count / 4, 2 * count / 4, 3 * count / 4, count - 1};
  int quarter = 0;
  const size_t pointCount = state.points.size();
  for (size_t t = 0; t < count; ++t) {
    const Triangle& tri = state.triangles[t];
    if (tri[0] < pointCount && tri[1] < pointCount && tri[2] < pointCount && !SurelyOutsideBand(state, tri)) {
      const uint32_t index = uint32_t(t);
      ClipAndFanPolygon(state, MakeVertex(state, tri[0], index), MakeVertex(state, tri[1], index),
                        MakeVertex(state, tri[2], index));
    }
    while (quarter < 4 && milestones[quarter] <= t) AdvanceObjectProgress(band, ++quarter);
  }
}

bool BuildShadowBuffer(int pictureWidth, int pictureHeight, ShadowBuffer& shadow) {
  shadow = ShadowBuffer{};
  RestartRandomTable();
  const ProjectRecord& project = nativeFiles.project;
  if (project.shadowsOn == 0 || pictureWidth <= 0 || pictureHeight <= 0) return true;

  const ObjectView& camera = CameraView();
  shadow.lightAngles = project.lightAngles;
  shadow.viewOffset = ViewOffset(camera);
  shadow.floor = std::isfinite(preferences.shadowLightness) ? std::clamp(preferences.shadowLightness, 0.0f, 1.0f) : 0.1f;
  // Camera space into light space: the light vector the shading uses, R_light (0, 0, 1), becomes
  // the light space's +z, so the depth grows towards the light.
  shadow.lightRotation = Multiply(Transposed(ViewRotationMatrix(project.lightAngles)), ViewRotationMatrix(camera.angles));

  auto casts = [](const SceneObject* object) {
    return object != nullptr && object->optics.castsShadow != 0 && object->ghostState == 0 &&
           object->pointCount > 0 && object->points.size() >= size_t(object->pointCount) &&
           !Triangles(*object).empty();
  };
  float minA = std::numeric_limits<float>::max(), maxA = std::numeric_limits<float>::lowest();
  float minB = minA, maxB = maxA;
  bool any = false;
  for (const std::unique_ptr<SceneObject>& slot : scene.objectTable) {
    const SceneObject* object = slot.get();
    if (!casts(object)) continue;
    const Rotation3 matrix = ObjectMatrix(*object);
    for (size_t p = 0; p < size_t(object->pointCount); ++p) {
      const Vec3f l = LightSpacePoint(shadow, matrix, object->position, object->points[p]);
      if (!UsableLightPoint(l)) continue;
      minA = std::min(minA, l.x);
      maxA = std::max(maxA, l.x);
      minB = std::min(minB, l.y);
      maxB = std::max(maxB, l.y);
      any = true;
    }
  }
  if (!any) return true;  // nothing casts: every point is lit
  shadow.a0 = minA;
  shadow.b0 = minB;
  // A caster without width (or height) as the light sees it still maps onto the buffer: any
  // positive extent puts all of it on the one column (row) the margin gives.
  shadow.ra = maxA - minA > 0.0f ? maxA - minA : 1.0f;
  shadow.rb = maxB - minB > 0.0f ? maxB - minB : 1.0f;

  const float bufferSize = std::isfinite(preferences.shadowBufferSize) ? std::clamp(preferences.shadowBufferSize, 0.5f, 10.0f) : 1.0f;
  const double cells = double(bufferSize) * pictureWidth * pictureHeight;
  const double ratio = std::clamp(double(shadow.ra) / double(shadow.rb), 1e-4, 1e4);
  double width = std::round(std::sqrt(ratio * cells)), height = std::round(std::sqrt(cells / ratio));
  width = std::clamp(width, 1.0, double(kMaxDepthTargetSide));
  height = std::clamp(height, 1.0, double(kMaxDepthTargetSide));
  if (width * height > kMaxShadowCells) {
    const double shrink = std::sqrt(kMaxShadowCells / (width * height));
    width = std::max(1.0, std::floor(width * shrink));
    height = std::max(1.0, std::floor(height * shrink));
  }
  shadow.width = int(width);
  shadow.height = int(height);

  ComposerRasterState& scratch = renderState.composer;
  try {
    shadow.cells.assign(size_t(shadow.width) * size_t(shadow.height), kEmptyShadowDepth);
  } catch (const std::bad_alloc&) {
    shadow = ShadowBuffer{};
    ShowStopMessage("Error: Not enough memory for rendering.");
    return false;
  }

  for (const std::unique_ptr<SceneObject>& slot : scene.objectTable) {
    const SceneObject* object = slot.get();
    if (!casts(object)) continue;
    const size_t pointCount = size_t(object->pointCount);
    const Rotation3 matrix = ObjectMatrix(*object);
    try {
      scratch.shadowCorners.resize(pointCount);
      scratch.shadowUsable.resize(pointCount);
      scratch.shadowTriangles.clear();
      scratch.shadowTriangles.reserve(Triangles(*object).size());
    } catch (const std::bad_alloc&) {
      continue;  // this caster casts nothing; the frame goes on
    }
    for (size_t p = 0; p < pointCount; ++p) {
      const Vec3f l = LightSpacePoint(shadow, matrix, object->position, object->points[p]);
      PointWork& corner = scratch.shadowCorners[p];
      scratch.shadowUsable[p] = UsableLightPoint(l) ? 1 : 0;
      if (scratch.shadowUsable[p] == 0) continue;
      const float column = std::clamp(ShadowColumn(shadow, l.x), 0.0f, float(shadow.width - 1));
      const float row = std::clamp(ShadowRow(shadow, l.y), 0.0f, float(shadow.height - 1));
      corner.sx = int16_t(std::lround(column));
      // The buffer's rows are stored bottom row first, as the depth rasteriser counts them.
      corner.sy = int16_t(shadow.height - 1 - int(std::lround(row)));
      corner.depth = l.z;
    }
    const std::span<const Triangle> triangles = Triangles(*object);
    for (const Triangle& tri : triangles.first(std::min(triangles.size(), size_t(std::max(object->triangleCount, 0))))) {
      if (tri[0] < pointCount && tri[1] < pointCount && tri[2] < pointCount && scratch.shadowUsable[tri[0]] != 0 &&
          scratch.shadowUsable[tri[1]] != 0 && scratch.shadowUsable[tri[2]] != 0)
        scratch.shadowTriangles.push_back(tri);
    }
    DrawDepthTrianglesSized(shadow.cells, shadow.width, shadow.height, scratch.shadowCorners,
                            scratch.shadowTriangles);
  }
  return true;
}

}  // namespace tsv
