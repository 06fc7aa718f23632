// The modeling view's software renderer: full and quarter redraws of the start-up sphere in the
// shaded, painted and textured variants, synthetic spheres of 65k to 1M triangles (cost should
// grow with triangles plus covered pixels), and as a yardstick the same sphere drawn by Mesa's
// llvmpipe on one thread (EGL without a window, a 400 x 400 colour and depth framebuffer, back
// faces culled, one colour per vertex, glDrawElements from buffer objects, glFinish).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef TESSIVAR_BENCH_HAVE_EGL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>
#endif

#include "bench/bench_support.h"
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
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  GLuint program = 0, framebuffer = 0, colour = 0, depth = 0, vertices = 0, indices = 0;
  GLsizei indexCount = 0;
  const char* failure = nullptr;

  ~GlPeer() {
    if (display == EGL_NO_DISPLAY) return;
    if (context != EGL_NO_CONTEXT) {
      glDeleteBuffers(1, &vertices);
      glDeleteBuffers(1, &indices);
      glDeleteFramebuffers(1, &framebuffer);
      glDeleteTextures(1, &colour);
      glDeleteRenderbuffers(1, &depth);
      glDeleteProgram(program);
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(display, context);
    }
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    eglTerminate(display);
  }

  bool Start() {
    // One rasteriser thread: llvmpipe reads this when the display starts.
    setenv("LP_NUM_THREADS", "0", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay != nullptr) {
      display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    bool surfaceless = display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr);
    if (!surfaceless) {
      display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
      if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        display = EGL_NO_DISPLAY;
        return Fail("EGL could not start on this machine");
      }
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) return Fail("EGL offers no OpenGL ES");
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT, EGL_SURFACE_TYPE,
                                       surfaceless ? 0 : EGL_PBUFFER_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1) {
      return Fail("EGL has no OpenGL ES 2 configuration");
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) return Fail("EGL could not create an OpenGL ES context");
    if (!surfaceless) {
      const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
      surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    }
    if (!eglMakeCurrent(display, surface, surface, context)) return Fail("EGL context not current");
    return true;
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

}  // namespace
}  // namespace tsv
