// composer_peers.h: the composer benchmark's scene handed to the programs it is measured against:
// Mesa's llvmpipe through OpenGL ES 3 (a light depth pass, a supersampled shading pass with the
// composer's terms, a 2 x 2 downsample and the read-back) and POV-Ray 3.7 run as a process on the
// same meshes. The scene is plain numbers here, already in the camera's frame, so the peers need
// nothing of the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tsv::bench {

// One object as the peers draw it: vertices in camera space (the camera at the origin looking down
// -z, y up), their unit normals there (one vertex per distinct corner normal, so creases stay
// sharp), their shadow-buffer light space, and the triangles.
struct PeerMesh {
  std::vector<std::array<float, 3>> positions, normals, lightSpace;
  std::vector<uint32_t> indices;
  bool castsShadow = true, receivesShadow = true;
  std::array<float, 3> diffuse{}, ambient{}, specular{};  // 0..255
};

struct PeerScene {
  std::vector<PeerMesh> meshes;
  int width = 400, height = 300;  // the picture; shading runs at twice these sides
  float focal = 0;                // pixels of the supersampled picture per unit at distance 1
  std::array<float, 3> light{};   // unit, towards the light, camera space
  float ambientLevel = 128, diffuseStrength = 254, exponent = 1;
  std::array<float, 3> background{};  // 0..255, fog already applied
  // The shadow buffer: its size, the light-space extent of the casters (a0, b0, ra, rb) and light
  // depths (larger nearer the light), the "Lightness" floor, the "Smoothness" and the 19 taps of
  // "Quality" 1 (the first 7 decide alone when they agree).
  int shadowWidth = 0, shadowHeight = 0;
  float a0 = 0, b0 = 0, ra = 1, rb = 1, nearLight = 0, farLight = 0;
  float shadowFloor = 0.1f, smoothness = 5;
  std::array<std::array<float, 2>, 19> taps{};
  std::vector<float> randomTable;  // 32768 values in 0..1
  // Fog: colour 0..255, the distance it starts at, its strength 0..1 and fall-off per unit.
  std::array<float, 3> fogColour{};
  float fogStart = 0, fogStrength = 0, fogFalloff = 0;
};

#ifdef TESSIVAR_BENCH_HAVE_EGL
// The OpenGL ES 3 peer on one llvmpipe thread. Start before anything else in the process opens an
// EGL display with other settings; `failure` says why it could not.
struct GlComposerPeer {
  GlComposerPeer();
  ~GlComposerPeer();
  GlComposerPeer(const GlComposerPeer&) = delete;
  GlComposerPeer& operator=(const GlComposerPeer&) = delete;
  [[nodiscard]] bool Start(const PeerScene& scene);
  // One whole frame: depth pass, shading pass, downsample, glReadPixels into `pixels` (RGBA,
  // bottom row first).
  void Frame();
  std::vector<uint8_t> pixels;
  std::string renderer;
  const char* failure = nullptr;
  struct Objects;
  Objects* gl;
};
#endif

// Writes the scene as a POV-Ray 3.7 file (mesh2 objects, a camera with the same focal length, a
// parallel area light, fog). False when the file cannot be written.
[[nodiscard]] bool WritePovRayScene(const PeerScene& scene, const std::string& path);

// The povray program on the PATH, or empty.
std::string FindProgram(const std::string& name);

}  // namespace tsv::bench
