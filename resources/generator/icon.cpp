// icon.cpp: the program's icon, an implicit surface of four soft balls seen from the front, lit the
// way the modeling view lights its objects (a key light from the upper left, a highlight, a cool rim).
#include "resources/generator/icon.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tsv::resgen {
namespace {

// One soft ball: centre and radius of influence. Its field (1 - d^2/r^2)^3 falls to zero at r, so a
// ball only matters along the part of a ray that passes within r of its centre.
struct SoftBall {
  float x, y, z, r;
};

// In icon space: x right, y up, z towards the viewer; the picture spans -1..1 on both axes. A big
// body with three lobes, leaning like something still being sculpted; it stays clear of the edge.
constexpr SoftBall kBalls[] = {
    {0.02f, -0.16f, 0.0f, 1.18f},
    {-0.40f, 0.34f, 0.12f, 0.86f},
    {0.46f, 0.24f, -0.05f, 0.74f},
    {0.20f, -0.50f, 0.22f, 0.70f},
};
constexpr int kBallCount = int(std::size(kBalls));
constexpr float kSurfaceLevel = 0.25f;
constexpr float kMarchStep = 0.04f;  // finer than the thinnest neck of the blob
constexpr int kBisections = 12;

struct Vec {
  float x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Normalised(Vec a) {
  const float length = std::sqrt(Dot(a, a));
  return length > 0 ? a * (1.0f / length) : Vec{0, 0, 1};
}

// The balls a ray at (x, y) passes within reach of.
struct RayBalls {
  const SoftBall* balls[kBallCount];
  int count = 0;
  float zNear = -1e9f, zFar = 1e9f;  // the span of the ray inside any of them
};

RayBalls BallsAlongRay(float x, float y) {
  RayBalls ray;
  for (const SoftBall& ball : kBalls) {
    const float across = (x - ball.x) * (x - ball.x) + (y - ball.y) * (y - ball.y);
    if (across >= ball.r * ball.r) continue;
    const float half = std::sqrt(ball.r * ball.r - across);
    ray.balls[ray.count++] = &ball;
    ray.zNear = std::max(ray.zNear, ball.z + half);
    ray.zFar = std::min(ray.zFar, ball.z - half);
  }
  return ray;
}

float Field(const RayBalls& ray, Vec p) {
  float sum = 0;
  for (int i = 0; i < ray.count; ++i) {
    const SoftBall& b = *ray.balls[i];
    const Vec d{p.x - b.x, p.y - b.y, p.z - b.z};
    const float w = 1.0f - Dot(d, d) / (b.r * b.r);
    if (w > 0) sum += w * w * w;
  }
  return sum;
}

// The outward normal: the field falls off away from the surface, so it is minus the gradient.
Vec SurfaceNormal(const RayBalls& ray, Vec p) {
  Vec gradient;
  for (int i = 0; i < ray.count; ++i) {
    const SoftBall& b = *ray.balls[i];
    const Vec d{p.x - b.x, p.y - b.y, p.z - b.z};
    const float w = 1.0f - Dot(d, d) / (b.r * b.r);
    if (w > 0) gradient = gradient + d * (-6.0f * w * w / (b.r * b.r));
  }
  return Normalised(gradient * -1.0f);
}

// The nearest point of the surface along the ray towards -z, when the ray meets it.
bool FrontSurface(const RayBalls& ray, float x, float y, Vec& hit) {
  if (ray.count == 0) return false;
  float outside = ray.zNear;
  for (float z = ray.zNear - kMarchStep; z > ray.zFar - kMarchStep; z -= kMarchStep) {
    if (Field(ray, {x, y, z}) >= kSurfaceLevel) {
      float inside = z;
      for (int i = 0; i < kBisections; ++i) {
        const float middle = 0.5f * (inside + outside);
        (Field(ray, {x, y, middle}) >= kSurfaceLevel ? inside : outside) = middle;
      }
      hit = {x, y, 0.5f * (inside + outside)};
      return true;
    }
    outside = z;
  }
  return false;
}

// Linear-light colour of the surface at `p` with normal `n`: warm clay, deeper red low down and
// golden at the top, a key light from the upper left front, a white highlight and a cool rim.
Vec Shade(Vec p, Vec n) {
  const Vec low{0.62f, 0.13f, 0.07f}, high{0.98f, 0.56f, 0.16f};
  const float t = std::clamp(0.5f + 0.55f * p.y, 0.0f, 1.0f);
  const Vec base = low * (1 - t) + high * t;
  const Vec light = Normalised({-0.55f, 0.65f, 0.75f});
  const Vec view{0, 0, 1};
  const Vec halfway = Normalised(light + view);
  const float diffuse = std::max(0.0f, Dot(n, light));
  const float specular = std::pow(std::max(0.0f, Dot(n, halfway)), 40.0f);
  const float rim = std::pow(1.0f - std::max(0.0f, Dot(n, view)), 3.0f);
  return base * (0.10f + 0.95f * diffuse) + Vec{1, 1, 1} * (0.55f * specular) +
         Vec{0.35f, 0.55f, 1.0f} * (0.45f * rim);
}

uint32_t EncodeChannel(float linear) {
  const float encoded = std::pow(std::clamp(linear, 0.0f, 1.0f), 1.0f / 2.2f);
  return uint32_t(std::lround(encoded * 255.0f));
}

}  // namespace

std::vector<uint32_t> DrawIcon(int side) {
  if (side <= 0) return {};
  // At least ~384 samples across the picture whatever its size, at least 2 x 2 per pixel.
  const int samples = std::max(2, (384 + side - 1) / side);
  std::vector<uint32_t> pixels(size_t(side) * size_t(side), 0);
  for (int row = 0; row < side; ++row) {
    for (int column = 0; column < side; ++column) {
      Vec sum;
      int hits = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const float x = (float(column) + (float(sx) + 0.5f) / float(samples)) / float(side) * 2.0f - 1.0f;
          const float y = 1.0f - (float(row) + (float(sy) + 0.5f) / float(samples)) / float(side) * 2.0f;
          const RayBalls ray = BallsAlongRay(x, y);
          Vec hit;
          if (!FrontSurface(ray, x, y, hit)) continue;
          sum = sum + Shade(hit, SurfaceNormal(ray, hit));
          ++hits;
        }
      }
      if (hits == 0) continue;
      const Vec colour = sum * (1.0f / float(hits));
      const uint32_t alpha = uint32_t(std::lround(255.0f * float(hits) / float(samples * samples)));
      pixels[size_t(row) * size_t(side) + size_t(column)] =
          alpha << 24 | EncodeChannel(colour.x) << 16 | EncodeChannel(colour.y) << 8 | EncodeChannel(colour.z);
    }
  }
  return pixels;
}

std::string FormatPng(const std::vector<uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) return {};
  std::vector<uint8_t> rgba;
  rgba.reserve(pixels.size() * 4);
  for (uint32_t pixel : pixels) {
    rgba.push_back(uint8_t(pixel >> 16));
    rgba.push_back(uint8_t(pixel >> 8));
    rgba.push_back(uint8_t(pixel));
    rgba.push_back(uint8_t(pixel >> 24));
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA;  // 8-bit sRGB with straight alpha
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) || size == 0) {
    png_image_free(&image);
    return {};
  }
  std::string bytes(size, '\0');
  const bool written = png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr) != 0;
  png_image_free(&image);
  if (!written) return {};
  bytes.resize(size);
  return bytes;
}

}  // namespace tsv::resgen
