// The modeling view's software renderer: full and quarter redraws of the start-up sphere in the
// shaded, painted and textured variants, synthetic spheres of 65k to 1M triangles (cost should
// grow with triangles plus covered pixels), and as a yardstick the same sphere drawn by Mesa's
// llvmpipe on one thread (EGL without a window, a 400 x 400 colour and depth framebuffer, back
// faces culled, one colour per vertex, glDrawElements from buffer objects, glFinish).
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#ifdef TESSIVAR_BENCH_HAVE_EGL
#include <GLES2/gl2.h>

#include "bench/peers/egl_session.h"
#endif

#include "bench/bench_support.h"
#include "bench/peers/composer_peers.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/user_services.h"
#include "render/composer_frame.h"
#include "render/composer_raster.h"
#include "scene/native_files.h"
#include "scene/organic.h"
#include "scene/project_record.h"
#include "scene/shade_ramp.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/texture_work_image.h"
#include "render/work_data.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

using bench::StartupSphere;
#ifdef TESSIVAR_BENCH_HAVE_EGL
using bench::EglSession;
#endif

// A latitude-longitude sphere of radius 128: `rings` bands of `columns` quads, two triangles each
// (the pole bands' triangles collapse on one side), wound outward.
SceneObject* GridSphere(int columns, int rings) {
  if (!bench::StartScene()) return nullptr;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  const int32_t pointCount = columns * (rings + 1);
  const int32_t triangleCount = 2 * columns * rings;
  std::unique_ptr<SceneObject> object = NewSceneObject(pointCount, triangleCount);
  if (!object) return nullptr;
  const double pi = 3.14159265358979323846;
  for (int i = 0; i <= rings; ++i) {
    const double theta = pi * i / rings;
    for (int j = 0; j < columns; ++j) {
      const double phi = 2 * pi * j / columns;
      object->points[size_t(i * columns + j)] = {float(128 * std::sin(theta) * std::cos(phi)),
                                                 float(128 * std::cos(theta)),
                                                 float(128 * std::sin(theta) * std::sin(phi))};
    }
  }
  Topology* topology = MutableTopology(*object);
  topology->triangles.clear();
  topology->triangles.reserve(size_t(triangleCount));
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < columns; ++j) {
      const uint32_t a = uint32_t(i * columns + j), c = uint32_t(i * columns + (j + 1) % columns);
      const uint32_t b = a + uint32_t(columns), d = c + uint32_t(columns);
      topology->triangles.push_back({a, c, b});
      topology->triangles.push_back({c, d, b});
    }
  }
  if (!BuildCornerLists(*object)) return nullptr;
  if (!StoreObjectInSlot(0, std::move(object))) return nullptr;
  SceneObject* stored = scene.objectTable[0].get();
  RefreshWorkData(*stored);
  return stored;
}

void Redraw(benchmark::State& state, SceneObject* object, const SoftDrawOptions& options) {
  if (object == nullptr) {
    state.SkipWithError("the sphere could not be made (resource folder missing?)");
    return;
  }
  for (auto _ : state) {
    if (!SoftDraw(object, options)) {
      state.SkipWithError("the renderer did not draw");
      return;
    }
    benchmark::DoNotOptimize(renderState.viewPicture.data());
    benchmark::ClobberMemory();
  }
  state.counters["triangles"] = double(object->triangleCount);
}

void BM_SoftDrawSphereShaded(benchmark::State& state) {
  Redraw(state, StartupSphere(), SoftDrawOptions{});
}
BENCHMARK(BM_SoftDrawSphereShaded)->Unit(benchmark::kMicrosecond);

void BM_SoftDrawSpherePainted(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere != nullptr) {
    sphere->optics.isPainted = 1;
    for (int32_t i = 0; i < sphere->pointCount; ++i) {
      const Vec3f& p = sphere->points[size_t(i)];
      sphere->pointColors[size_t(i)] = Rgb8{uint8_t(p.x + 128), uint8_t(p.y + 128), 90};
    }
  }
  Redraw(state, sphere, SoftDrawOptions{});
}
BENCHMARK(BM_SoftDrawSpherePainted)->Unit(benchmark::kMicrosecond);

void BM_SoftDrawSphereTextured(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere != nullptr) {
    sphere->textureImage.resize(size_t(256) * 256);
    sphere->textureImageSize = {256, 256};
    for (uint32_t y = 0; y < 256; ++y) {
      for (uint32_t x = 0; x < 256; ++x) {
        sphere->textureImage[y * 256 + x] = ((x / 16 + y / 16) & 1) ? 0xFFFFFFFFu : 0xFF2040C0u;
      }
    }
    PrepareTextureWorkImage(*sphere);
  }
  Redraw(state, sphere, SoftDrawOptions{});
}
BENCHMARK(BM_SoftDrawSphereTextured)->Unit(benchmark::kMicrosecond);

// What an interactive tool gets on every mouse motion: the four-to-one outline.
void BM_SoftDrawSphereQuarter(benchmark::State& state) {
  SoftDrawOptions options;
  options.fullDetail = false;
  Redraw(state, StartupSphere(), options);
}
BENCHMARK(BM_SoftDrawSphereQuarter)->Unit(benchmark::kMicrosecond);

// The refresh a tool runs after moving the points: projection, face and point normals, shades.
void BM_RefreshWorkDataSphere(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("the sphere could not be made (resource folder missing?)");
    return;
  }
  for (auto _ : state) {
    RefreshWorkData(*sphere);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RefreshWorkDataSphere)->Unit(benchmark::kMicrosecond);

// Grid spheres: 256 x 128 x 2 = 65,536, 512 x 256 x 2 = 262,144, 1024 x 512 x 2 = 1,048,576
// triangles.
void BM_SoftDrawGridSphere(benchmark::State& state) {
  const int columns = int(state.range(0));
  Redraw(state, GridSphere(columns, columns / 2), SoftDrawOptions{});
}
BENCHMARK(BM_SoftDrawGridSphere)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

#ifdef TESSIVAR_BENCH_HAVE_EGL

// The peer: an EGL context without a window on Mesa's software rasteriser, one thread.
struct GlPeer {
  EglSession egl;
  GLuint program = 0, framebuffer = 0, colour = 0, depth = 0, vertices = 0, indices = 0;
  GLsizei indexCount = 0;
  const char* failure = nullptr;

  ~GlPeer() {
    if (egl.context == EGL_NO_CONTEXT) return;
    glDeleteBuffers(1, &vertices);
    glDeleteBuffers(1, &indices);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &colour);
    glDeleteRenderbuffers(1, &depth);
    glDeleteProgram(program);
  }

  bool Start() {
    if (egl.Start(2)) return true;
    return Fail(egl.failure);
  }

  bool Fail(const char* why) {
    failure = why;
    return false;
  }

  static GLuint Compile(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    return ok ? shader : 0;
  }

  // The sphere's projected, lit points as one vertex each (screen x, y, depth, colour) and its
  // triangles as indices, in the drawn corner order.
  bool Upload(const SceneObject& object) {
    const char* vertexSource =
        "attribute vec3 position; attribute vec3 colour; varying vec3 shade;\n"
        "void main() { shade = colour;\n"
        "  gl_Position = vec4(position.x / 200.0 - 1.0, position.y / 200.0 - 1.0,\n"
        "                     -position.z / 256.0, 1.0); }\n";
    const char* fragmentSource =
        "precision mediump float; varying vec3 shade;\n"
        "void main() { gl_FragColor = vec4(shade, 1.0); }\n";
    const GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    if (vs == 0 || fs == 0) return Fail("the peer's shaders did not compile");
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "colour");
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) return Fail("the peer's shaders did not link");
    glUseProgram(program);

    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kViewSide, kViewSide, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kViewSide, kViewSide);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      return Fail("the peer's framebuffer is incomplete");
    }
    glViewport(0, 0, kViewSide, kViewSide);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);  // screen y grows upward, so front faces run counter-clockwise
    glCullFace(GL_BACK);
    glClearColor(0.07f, 0.13f, 0.2f, 1.0f);

    std::vector<float> data;
    data.reserve(size_t(object.pointCount) * 6);
    for (int32_t i = 0; i < object.pointCount; ++i) {
      const PointWork& p = (*object.pointWork)[size_t(i)];
      const float light = float(std::clamp<int>(p.shade, 0, 255)) / 255.0f;
      data.insert(data.end(),
                  {float(p.sx), float(p.sy), p.depth, 0.6f * light, 0.7f * light, light});
    }
    std::vector<GLuint> list;
    list.reserve(size_t(object.triangleCount) * 3);
    for (const Triangle& t : Triangles(object)) list.insert(list.end(), {t[0], t[1], t[2]});
    indexCount = GLsizei(list.size());
    glGenBuffers(1, &vertices);
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    glGenBuffers(1, &indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(list.size() * sizeof(GLuint)), list.data(),
                 GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<const void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    if (glGetError() != GL_NO_ERROR) return Fail("the peer's set-up raised an OpenGL error");
    return true;
  }

  void Draw() const {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
    glFinish();
  }
};

void BM_LlvmpipeSphereOneThread(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("the sphere could not be made (resource folder missing?)");
    return;
  }
  GlPeer peer;
  if (!peer.Start() || !peer.Upload(*sphere)) {
    state.SkipWithError(peer.failure);
    return;
  }
  // 32-bit indices are an extension in OpenGL ES 2; without it nothing would be drawn.
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (extensions == nullptr || std::strstr(extensions, "GL_OES_element_index_uint") == nullptr) {
    state.SkipWithError("the peer has no 32-bit indices");
    return;
  }
  const char* rendererName = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  state.SetLabel(rendererName != nullptr ? rendererName : "");
  for (auto _ : state) peer.Draw();
  state.counters["triangles"] = double(sphere->triangleCount);

  // The yardstick must have drawn the same picture: the disc of the sphere, its lit front half
  // (a culling or depth mistake would show the dark back in the middle).
  std::vector<uint8_t> pixels(size_t(kViewPixelCount) * 4);
  glReadPixels(0, 0, kViewSide, kViewSide, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  int covered = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) covered += pixels[i + 2] > 60 ? 1 : 0;
  const uint8_t centreBlue = pixels[(size_t(200) * kViewSide + 200) * 4 + 2];
  state.counters["covered"] = covered;
  if (covered < 45000 || centreBlue < 180) state.SkipWithError("the peer did not draw the sphere");
}
BENCHMARK(BM_LlvmpipeSphereOneThread)->Unit(benchmark::kMicrosecond);

#else

void BM_LlvmpipeSphereOneThread(benchmark::State& state) {
  state.SkipWithError("built without EGL and OpenGL ES (pkg-config egl glesv2 not found)");
}
BENCHMARK(BM_LlvmpipeSphereOneThread);

#endif

// The composer: three organic spheres (one squashed and leaning, one turned) on a wide flat slab,
// 400 x 300 supersampled, shadows at "Quality" 1, a modest fog; and the same frame with smoke at
// "Detail" 8. Beside them the same meshes drawn by llvmpipe through OpenGL ES 3 and by POV-Ray.

constexpr int kComposerWidth = 400, kComposerHeight = 300;

Rgb16 Colour(int red, int green, int blue) {
  return {uint16_t(red << 8), uint16_t(green << 8), uint16_t(blue << 8)};
}

bool AddComposerSphere(Vec3f position, float scale, Vec3f rotation, Vec3f stretch, Rgb16 colour) {
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  if (!sphere || !FillOrganicShape(*sphere, 0)) return false;
  for (Vec3f& p : sphere->points) p = {p.x * stretch.x, p.y * stretch.y, p.z * stretch.z};
  sphere->position = position;
  sphere->scale = scale;
  sphere->rotation = rotation;
  sphere->optics.diffuseColor = colour;
  return StoreObjectInSlot(FindFreeObjectSlot(), std::move(sphere));
}

// A box from `low` to `high`, its faces wound as the organic objects' are (outward).
bool AddComposerSlab(Vec3f low, Vec3f high, Rgb16 colour) {
  std::unique_ptr<SceneObject> slab = NewSceneObject(8, 12);
  if (!slab) return false;
  for (int i = 0; i < 8; ++i) {
    slab->points[size_t(i)] = {(i & 1) ? high.x : low.x, (i & 2) ? high.y : low.y, (i & 4) ? high.z : low.z};
  }
  MutableTopology(*slab)->triangles = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                       {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
  if (!BuildCornerLists(*slab)) return false;
  slab->optics.diffuseColor = colour;
  return StoreObjectInSlot(FindFreeObjectSlot(), std::move(slab));
}

// The scene into the table and the project; false when the resource folder is missing.
bool BuildComposerScene(float smokeStrength, int detail) {
  if (!bench::StartScene()) return false;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  const float sphereRadius = 128;
  if (!AddComposerSphere({-170, -100 + 0.8f * sphereRadius, 0}, 0.8f, {0, 0, 0}, {1, 1, 1}, Colour(200, 60, 50)) ||
      !AddComposerSphere({40, -100 + 0.9f * 0.7f * sphereRadius, -120}, 0.9f, {0, 0.4f, 0.3f}, {1.1f, 0.7f, 1},
                         Colour(70, 170, 80)) ||
      !AddComposerSphere({190, -100 + 0.6f * sphereRadius, 90}, 0.6f, {0.5f, 1.0f, 0}, {1, 1, 1},
                         Colour(60, 90, 200)) ||
      !AddComposerSlab({-420, -130, -320}, {420, -100, 320}, Colour(190, 185, 170))) {
    return false;
  }
  ProjectRecord& project = nativeFiles.project;
  project.supersampling = 1;
  project.shadowsOn = 1;
  project.texturesOn = 0;
  project.fogAndSmokeOn = 1;
  project.backgroundPictureOn = 0;
  project.backgroundColor = Colour(0x30, 0x40, 0x60);
  project.fogColor = Colour(0xB0, 0xC0, 0xD0);
  project.fogSmoke = FogSmokeSettings{};
  project.fogSmoke.fogStart = 0;
  project.fogSmoke.fogStrength = 64;
  project.fogSmoke.fogFalloff = 30;
  project.fogSmoke.smokeStrength = smokeStrength;
  project.fogSmoke.smokeDensity = 0.3f;
  project.smokeDetail = uint16_t(detail);
  project.cameraViewIndex = 6;
  project.composerViews = DefaultComposerViews();
  project.composerViews[6].angles = {0.45f, 0, 0};
  preferences.shadowQuality = 1;
  ComposerPicture& picture = renderState.composerPicture;
  picture.width = kComposerWidth;
  picture.height = kComposerHeight;
  picture.pixels.assign(size_t(kComposerWidth) * kComposerHeight, 0);
  return true;
}

// The heap in use (arena and mapped blocks), sampled at every step of the render's progress: the
// band, the shadow buffer and the rasteriser's scratch are all alive then, so the largest sample
// less the heap before the frame is the frame's peak memory, to within a progress step.
struct HeapWatch final : UserServices {
  HeapWatch() : before(HeapInUse()), peak(before) { SetServices(this); }
  ~HeapWatch() override { SetServices(nullptr); }
  HeapWatch(const HeapWatch&) = delete;
  HeapWatch& operator=(const HeapWatch&) = delete;
  static size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
  }
  void ShowStopMessage(std::string_view text) override { platform.console.ShowStopMessage(text); }
  bool AskMessage(std::string_view text) override { return platform.console.AskMessage(text); }
  void ShowAlert(std::string_view text) override { platform.console.ShowAlert(text); }
  int AskChoice(std::string_view text, const std::vector<std::string>& answers) override {
    return platform.console.AskChoice(text, answers);
  }
  bool ChooseOpenFile(const FileDialogRequest&, FileChoice&) override { return false; }
  bool ChooseSaveFile(const FileDialogRequest&, FileChoice&) override { return false; }
  bool ChooseColor(Rgb16, Rgb16&) override { return false; }
  void ShowProgress(std::string_view, int) override { peak = std::max(peak, HeapInUse()); }
  void AdvanceProgress(int, int) override { peak = std::max(peak, HeapInUse()); }
  void HideProgress() override {}
  size_t before, peak;
};

// Writes the composer picture as a PPM when TESSIVAR_BENCH_DUMP names a folder (to look at it).
void DumpPicture(const char* name, const std::vector<uint8_t>& rgb, int width, int height) {
  const char* folder = std::getenv("TESSIVAR_BENCH_DUMP");
  if (folder == nullptr) return;
  const std::string path = std::string(folder) + "/" + name + ".ppm";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fprintf(file, "P6 %d %d 255\n", width, height);
    std::fwrite(rgb.data(), 1, rgb.size(), file);
    std::fclose(file);
  }
}

std::vector<uint8_t> PictureRgb() {
  const ComposerPicture& picture = renderState.composerPicture;
  std::vector<uint8_t> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (uint32_t pixel : picture.pixels) rgb.insert(rgb.end(), {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)});
  return rgb;
}

// Allocations through operator new made by the second of two frames (the first may grow the
// rasteriser's scratch) of a picture of this height.
uint64_t SecondFrameAllocations(int height) {
  ComposerPicture& picture = renderState.composerPicture;
  picture.height = height;
  picture.pixels.assign(size_t(picture.width) * size_t(height), 0);
  uint64_t count = ~uint64_t(0);
  if (RenderComposerFrame() == kFrameRendered) {
    const uint64_t before = bench::AllocationCount();
    if (RenderComposerFrame() == kFrameRendered) count = bench::AllocationCount() - before;
  }
  picture.height = kComposerHeight;
  picture.pixels.assign(size_t(picture.width) * size_t(kComposerHeight), 0);
  return count;
}

void RunComposerFrame(benchmark::State& state, float smokeStrength, const char* dumpName) {
  if (!BuildComposerScene(smokeStrength, 8)) {
    state.SkipWithError("the scene could not be made (resource folder missing?)");
    return;
  }
  {
    HeapWatch watch;
    if (RenderComposerFrame() != kFrameRendered) {
      state.SkipWithError("the frame was not rendered");
      return;
    }
    state.counters["peakKiB"] = double(watch.peak - watch.before) / 1024.0;
  }
  // The same count for three bands and for seven: the bands themselves allocate nothing.
  state.counters["allocations"] = double(SecondFrameAllocations(kComposerHeight));
  state.counters["allocations7Bands"] = double(SecondFrameAllocations(700));
  for (auto _ : state) {
    if (RenderComposerFrame() != kFrameRendered) {
      state.SkipWithError("the frame was not rendered");
      return;
    }
    benchmark::DoNotOptimize(renderState.composerPicture.pixels.data());
    benchmark::ClobberMemory();
  }
  int covered = 0;
  for (uint32_t pixel : renderState.composerPicture.pixels) covered += (pixel >> 24) != 0 ? 1 : 0;
  state.counters["covered"] = covered;
  DumpPicture(dumpName, PictureRgb(), kComposerWidth, kComposerHeight);
}

void BM_ComposerFrame(benchmark::State& state) { RunComposerFrame(state, 0, "composer_frame"); }
BENCHMARK(BM_ComposerFrame)->Unit(benchmark::kMillisecond);

void BM_ComposerSmoke(benchmark::State& state) { RunComposerFrame(state, 20, "composer_smoke"); }
BENCHMARK(BM_ComposerSmoke)->Unit(benchmark::kMillisecond);

// The scene as the peers take it: every object's corners in the camera's frame with the smoothed
// normal the rasteriser gives them (a vertex per point and distinct normal), shadow-buffer light
// space from this frame's buffer, and the shading, shadow and fog constants.
bool MakePeerScene(bench::PeerScene& peer) {
  if (!BuildComposerScene(0, 8)) return false;
  const ProjectRecord& project = nativeFiles.project;
  const ObjectView& camera = project.composerViews[project.cameraViewIndex];
  const int width = 2 * kComposerWidth, height = 2 * kComposerHeight;
  ShadowBuffer shadow;
  if (!BuildShadowBuffer(width, height, shadow) || shadow.cells.empty()) return false;
  peer.width = kComposerWidth;
  peer.height = kComposerHeight;
  peer.focal = float(width) * camera.zoom * 0.5f;
  const Rotation3 lightTurn = ViewRotationMatrix(project.lightAngles);
  const Vec3f light = Normalised(Vec3f{lightTurn[2], lightTurn[5], lightTurn[8]});
  peer.light = {light.x, light.y, light.z};
  peer.shadowWidth = shadow.width;
  peer.shadowHeight = shadow.height;
  peer.a0 = shadow.a0;
  peer.b0 = shadow.b0;
  peer.ra = shadow.ra;
  peer.rb = shadow.rb;
  peer.shadowFloor = shadow.floor;
  peer.smoothness = preferences.shadowSmoothness;
  const double pi = 3.14159265358979323846;
  size_t tap = 0;
  for (int i = 0; i < 6; ++i) {
    const double a = (30 + 60 * i) * pi / 180;
    peer.taps[tap++] = {float(std::sqrt(3.0) / 2 * std::cos(a)), float(std::sqrt(3.0) / 2 * std::sin(a))};
  }
  peer.taps[tap++] = {0, 0};
  for (int i = 0; i < 6; ++i) {
    const double a = 60 * i * pi / 180;
    peer.taps[tap++] = {float(0.75 * std::cos(a)), float(0.75 * std::sin(a))};
  }
  for (int i = 0; i < 6; ++i) {
    const double a = (30 + 60 * i) * pi / 180;
    peer.taps[tap++] = {float(std::sqrt(3.0) / 4 * std::cos(a)), float(std::sqrt(3.0) / 4 * std::sin(a))};
  }
  RestartRandomTable();
  peer.randomTable = renderState.composer.randomTable;
  const FogAndSmoke fog = FogAndSmokeOfProject(project, true);
  for (int c = 0; c < 3; ++c) {
    const int shift = 16 - 8 * c;
    peer.fogColour[size_t(c)] = float((fog.colour >> shift) & 0xFF);
    const uint16_t background[3] = {project.backgroundColor.red, project.backgroundColor.green,
                                    project.backgroundColor.blue};
    const float weight = fog.fogStrength / 256.0f * (1.0f - std::exp(-(100000.0f - fog.start) * fog.falloff / 16384.0f));
    const float b = float(background[c] >> 8);
    peer.background[size_t(c)] = std::round(b + (peer.fogColour[size_t(c)] - b) * weight);
  }
  peer.fogStart = fog.start;
  peer.fogStrength = fog.fogStrength / 256.0f;
  peer.fogFalloff = fog.falloff / 16384.0f;

  const Rotation3 cameraTurn = ViewRotationMatrix(camera.angles);
  const Vec3f offset = {camera.offset[0], camera.offset[1], camera.offset[2]};
  const float smoothCos = std::cos(preferences.breakingAngle * float(pi / 180));
  peer.nearLight = std::numeric_limits<float>::max();
  peer.farLight = std::numeric_limits<float>::lowest();
  for (const auto& slot : scene.objectTable) {
    const SceneObject* object = slot.get();
    if (object == nullptr) continue;
    const Optics& optics = object->optics;
    peer.ambientLevel = float(std::min<uint16_t>(optics.ambientLevel, 254));
    peer.diffuseStrength = float(std::min<uint16_t>(optics.diffuseStrength, 254));
    peer.exponent = float(SpecularExponent(optics.shininess));
    bench::PeerMesh mesh;
    mesh.diffuse = {float(optics.diffuseColor.red >> 8), float(optics.diffuseColor.green >> 8),
                    float(optics.diffuseColor.blue >> 8)};
    mesh.ambient = {float(optics.ambientColor.red >> 8), float(optics.ambientColor.green >> 8),
                    float(optics.ambientColor.blue >> 8)};
    mesh.specular = {float(optics.specularColor.red >> 8), float(optics.specularColor.green >> 8),
                     float(optics.specularColor.blue >> 8)};
    const Rotation3 turn = ViewRotationMatrix({object->rotation.x, object->rotation.y, object->rotation.z});
    const std::span<const Triangle> triangles = Triangles(*object);
    const size_t pointCount = size_t(object->pointCount);
    std::vector<Vec3f> faces(triangles.size());
    std::vector<std::vector<uint32_t>> around(pointCount);
    for (size_t t = 0; t < triangles.size(); ++t) {
      const Triangle& tri = triangles[t];
      const Vec3f p0 = object->points[tri[0]];
      faces[t] = Normalised(Cross(object->points[tri[1]] - p0, object->points[tri[2]] - p0));
      for (uint32_t corner : tri) around[corner].push_back(uint32_t(t));
    }
    std::map<std::tuple<uint32_t, int, int, int>, uint32_t> vertexOf;
    for (size_t t = 0; t < triangles.size(); ++t) {
      for (uint32_t point : triangles[t]) {
        Vec3f sum{};
        for (uint32_t other : around[point]) {
          if (Dot(faces[other], faces[t]) > smoothCos) sum = sum + faces[other];
        }
        const Vec3f normal = Normalised(Rotate(cameraTurn, Rotate(turn, Length(sum) > 0 ? sum : faces[t])));
        const auto key = std::make_tuple(point, int(std::lround(normal.x * 1e4f)), int(std::lround(normal.y * 1e4f)),
                                         int(std::lround(normal.z * 1e4f)));
        auto [at, added] = vertexOf.emplace(key, uint32_t(mesh.positions.size()));
        if (added) {
          const Vec3f placed = Rotate(turn, object->points[point]) * object->scale + object->position;
          Vec3f c = Rotate(cameraTurn, placed + offset);
          c.z -= 700.0f;
          const Vec3f l = Rotate(shadow.lightRotation, placed + shadow.viewOffset);
          mesh.positions.push_back({c.x, c.y, c.z});
          mesh.normals.push_back({normal.x, normal.y, normal.z});
          mesh.lightSpace.push_back({l.x, l.y, l.z});
          peer.nearLight = std::min(peer.nearLight, l.z);
          peer.farLight = std::max(peer.farLight, l.z);
        }
        mesh.indices.push_back(at->second);
      }
    }
    peer.meshes.push_back(std::move(mesh));
  }
  return true;
}

#ifdef TESSIVAR_BENCH_HAVE_EGL

void BM_GlPeerComposer(benchmark::State& state) {
  bench::PeerScene scene;
  if (!MakePeerScene(scene)) {
    state.SkipWithError("the scene could not be made (resource folder missing?)");
    return;
  }
  bench::GlComposerPeer peer;
  if (!peer.Start(scene)) {
    state.SkipWithError(peer.failure);
    return;
  }
  state.SetLabel(peer.renderer);
  state.counters["shadowCells"] = double(scene.shadowWidth) * double(scene.shadowHeight);
  peer.Frame();
  // Our picture of the same scene beside the peer's: the mean difference per channel says both
  // drew the same thing (shadow jitter and rounding differ).
  if (RenderComposerFrame() != kFrameRendered) {
    state.SkipWithError("the frame was not rendered");
    return;
  }
  for (auto _ : state) peer.Frame();
  std::vector<uint8_t> rgb;
  double difference = 0;
  const std::vector<uint8_t> ours = PictureRgb();
  for (int y = 0; y < kComposerHeight; ++y) {
    for (int x = 0; x < kComposerWidth; ++x) {
      const uint8_t* p = &peer.pixels[(size_t(kComposerHeight - 1 - y) * kComposerWidth + size_t(x)) * 4];
      for (int c = 0; c < 3; ++c) {
        rgb.push_back(p[c]);
        difference += std::abs(int(p[c]) - int(ours[rgb.size() - 1]));
      }
    }
  }
  state.counters["meanDifference"] = difference / double(rgb.size());
  DumpPicture("gl_peer", rgb, kComposerWidth, kComposerHeight);
}
BENCHMARK(BM_GlPeerComposer)->Unit(benchmark::kMillisecond);

#else

void BM_GlPeerComposer(benchmark::State& state) {
  state.SkipWithError("built without EGL and OpenGL ES (pkg-config egl glesv2 not found)");
}
BENCHMARK(BM_GlPeerComposer);

#endif

// POV-Ray on one thread with adaptive antialiasing, timed as a whole process (parsing the meshes
// included, as a user running it would wait for it).
void BM_PovRayComposer(benchmark::State& state) {
  const std::string povray = bench::FindProgram("povray");
  if (povray.empty()) {
    state.SkipWithError("povray is not installed (scripts/install-deps bench)");
    return;
  }
  bench::PeerScene scene;
  if (!MakePeerScene(scene)) {
    state.SkipWithError("the scene could not be made (resource folder missing?)");
    return;
  }
  char folder[] = "/tmp/tessivar-povray-XXXXXX";
  if (mkdtemp(folder) == nullptr || !bench::WritePovRayScene(scene, std::string(folder) + "/scene.pov")) {
    state.SkipWithError("the POV-Ray scene could not be written");
    return;
  }
  // POV-Ray reads and writes only below its working folder.
  const std::string command = std::string("cd ") + folder + " && " + povray +
                              " +WT1 -D +W400 +H300 +A0.3 +Iscene.pov +Oscene.png >povray.log 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    if (status != 0) {
      state.SkipWithError("povray failed (see povray.log in its folder)");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  if (std::getenv("TESSIVAR_BENCH_DUMP") == nullptr) {
    for (const char* file : {"/scene.pov", "/scene.png", "/povray.log"}) std::remove((std::string(folder) + file).c_str());
    rmdir(folder);
  }
}
BENCHMARK(BM_PovRayComposer)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
