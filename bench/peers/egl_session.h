// egl_session.h: an EGL display and OpenGL ES context without a window, on Mesa's software
// rasteriser with one thread, for the renderer benchmarks' peers.
#pragma once

#include <EGL/egl.h>

namespace tsv::bench {

struct EglSession {
  EglSession() = default;
  ~EglSession();
  EglSession(const EglSession&) = delete;
  EglSession& operator=(const EglSession&) = delete;

  // Opens the display (LP_NUM_THREADS=0 set first: llvmpipe reads it when the display starts) and
  // makes an OpenGL ES `clientVersion` context current. False with `failure` set when it cannot.
  [[nodiscard]] bool Start(int clientVersion);

  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  const char* failure = nullptr;

 private:
  bool Fail(const char* why) {
    failure = why;
    return false;
  }
};

}  // namespace tsv::bench
