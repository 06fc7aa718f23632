// egl_session.cpp: the windowless EGL context of the renderer benchmarks' peers.
#include "bench/peers/egl_session.h"

#include <EGL/eglext.h>

#include <cstdlib>

namespace tsv::bench {

EglSession::~EglSession() {
  if (display == EGL_NO_DISPLAY) return;
  if (context != EGL_NO_CONTEXT) {
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
  }
  if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
  eglTerminate(display);
}

bool EglSession::Start(int clientVersion) {
  // One rasteriser thread: llvmpipe reads this when the display starts.
  setenv("LP_NUM_THREADS", "0", 1);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay != nullptr) {
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  }
  const bool surfaceless = display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr);
  if (!surfaceless) {
    display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
      display = EGL_NO_DISPLAY;
      return Fail("EGL could not start on this machine");
    }
  }
  if (!eglBindAPI(EGL_OPENGL_ES_API)) return Fail("EGL offers no OpenGL ES");
  const EGLint renderable = clientVersion >= 3 ? EGL_OPENGL_ES3_BIT_KHR : EGL_OPENGL_ES2_BIT;
  const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, renderable, EGL_SURFACE_TYPE,
                                     surfaceless ? 0 : EGL_PBUFFER_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configCount = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1) {
    return Fail("EGL has no configuration for this OpenGL ES version");
  }
  const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, clientVersion, EGL_NONE};
  context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) return Fail("EGL could not create an OpenGL ES context");
  if (!surfaceless) {
    const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
  }
  if (!eglMakeCurrent(display, surface, surface, context)) return Fail("EGL context not current");
  return true;
}

}  // namespace tsv::bench
