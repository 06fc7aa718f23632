// composer_peers.cpp: the composer scene drawn by llvmpipe through OpenGL ES 3, and written for
// POV-Ray.
#include "bench/peers/composer_peers.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#ifdef TESSIVAR_BENCH_HAVE_EGL
#include <GLES3/gl3.h>

#include "bench/peers/egl_session.h"
#endif

namespace tsv::bench {

#ifdef TESSIVAR_BENCH_HAVE_EGL

namespace {

// Light space: column and row of the buffer as the rasteriser places them (a 2.5 % margin on each
// side), depth scaled into -1..1 with larger light depths nearer.
const char* kDepthVertex = R"(#version 300 es
layout(location = 2) in vec3 lightPoint;
uniform vec4 extent;   // a0, b0, ra, rb
uniform vec2 lightDepth;  // middle, half range
void main() {
  gl_Position = vec4(-0.95 + 1.9 * (lightPoint.x - extent.x) / extent.z,
                     -0.95 + 1.9 * (lightPoint.y - extent.y) / extent.w,
                     -(lightPoint.z - lightDepth.x) / lightDepth.y, 1.0);
}
)";
const char* kDepthFragment = R"(#version 300 es
precision highp float;
void main() {}
)";

const char* kShadeVertex = R"(#version 300 es
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec3 lightPoint;
uniform vec2 focal;     // focal / half width, focal / half height
uniform vec4 extent;
uniform vec2 shadowSize;
out vec3 vNormal;
out vec3 vShadow;       // buffer column, row, light depth
out float vDistance;
void main() {
  const float near = 1.0, far = 20000.0;
  gl_Position = vec4(position.x * focal.x, position.y * focal.y,
                     -(far + near) / (far - near) * position.z - 2.0 * far * near / (far - near),
                     -position.z);
  vNormal = normal;
  vShadow = vec3(shadowSize.x * (0.025 + 0.95 * (lightPoint.x - extent.x) / extent.z),
                 shadowSize.y * (0.025 + 0.95 * (lightPoint.y - extent.y) / extent.w), lightPoint.z);
  vDistance = -position.z;
}
)";

// Diffuse with ambient, the mirror highlight in Schlick's form, 19 jittered shadow taps that stop
// after the first 7 when they agree, and fog by distance.
const char* kShadeFragment = R"(#version 300 es
precision highp float;
precision highp int;
in vec3 vNormal;
in vec3 vShadow;
in float vDistance;
uniform highp sampler2D shadowMap;
uniform highp sampler2D randomTable;
uniform bool shadowed;
uniform ivec2 shadowCells;
uniform vec2 lightDepth;
uniform vec2 taps[19];
uniform float smoothness, shadowFloor;
uniform vec3 light;
uniform float ambientLevel, diffuseStrength, exponent;
uniform vec3 ambientColour, diffuseColour, specularColour;
uniform vec3 fogColour;
uniform vec3 fog;  // start, strength, fall-off
out vec4 fragColour;

int randomIndex;
float nextRandom() {
  float value = texelFetch(randomTable, ivec2(randomIndex & 255, (randomIndex >> 8) & 127), 0).r;
  randomIndex = (randomIndex + 1) & 32767;
  return value;
}
float tap(int i) {
  float r1 = nextRandom(), r2 = nextRandom(), r3 = nextRandom();
  vec2 at = vShadow.xy + smoothness * (taps[i] + 0.2 * (2.0 * vec2(r1, r2) - 1.0));
  ivec2 cell = clamp(ivec2(at), ivec2(0), shadowCells - 1);
  float stored = texelFetch(shadowMap, cell, 0).r;
  float cellDepth = lightDepth.x - (2.0 * stored - 1.0) * lightDepth.y;
  return cellDepth - 2.5 - 4.0 * r3 < vShadow.z ? 512.0 : 0.0;
}
float shadowFactor() {
  float sum = 0.0;
  for (int i = 0; i < 7; ++i) sum += tap(i);
  if (sum == 0.0) return shadowFloor;
  if (sum >= 7.0 * 511.0) return 1.0;
  for (int i = 7; i < 19; ++i) sum += tap(i);
  float s = min(sum / 19.0, 256.0);
  return (shadowFloor * 256.0 + (1.0 - shadowFloor) * s) / 256.0;
}
void main() {
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  randomIndex = (pixel.x * 7919 + pixel.y * 104729) & 32767;
  float S = shadowed ? shadowFactor() : 1.0;
  vec3 n = normalize(vNormal);
  float nl = dot(n, light);
  float d = clamp(floor(S * diffuseStrength * (127.5 * nl - ambientLevel + 128.0) / (255.0 - ambientLevel)),
                  0.0, 256.0);
  vec3 colour = (ambientColour * (256.0 - d) + 255.0 * d) * diffuseColour / 65536.0;
  float q = (255.0 / 256.0) * (2.0 * nl * n.z - light.z);
  if (q > 0.0) colour += specularColour * floor(256.0 * S * q / (exponent - exponent * q + q)) / 256.0;
  colour = clamp(floor(colour), 0.0, 255.0);
  float beyond = max(0.0, vDistance - fog.x);
  colour = mix(colour, fogColour, fog.y * (1.0 - exp(-beyond * fog.z)));
  fragColour = vec4(colour / 255.0, 1.0);
}
)";

GLuint Compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "peer shader: %s\n", log);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLuint Link(const char* vertex, const char* fragment) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, vertex), fs = Compile(GL_FRAGMENT_SHADER, fragment);
  if (vs == 0 || fs == 0) return 0;
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

struct GlMesh {
  GLuint array = 0, buffers[4] = {};
  GLsizei indexCount = 0;
  bool castsShadow = true, receivesShadow = true;
  std::array<float, 3> diffuse{}, ambient{}, specular{};
};

}  // namespace

struct GlComposerPeer::Objects {
  EglSession egl;
  GLuint depthProgram = 0, shadeProgram = 0;
  GLuint shadowMap = 0, shadowFramebuffer = 0, randomTexture = 0;
  GLuint colour = 0, depth = 0, framebuffer = 0, small = 0, smallFramebuffer = 0;
  std::vector<GlMesh> meshes;
  PeerScene scene;

  ~Objects() {
    if (egl.context == EGL_NO_CONTEXT) return;
    for (GlMesh& mesh : meshes) {
      glDeleteVertexArrays(1, &mesh.array);
      glDeleteBuffers(4, mesh.buffers);
    }
    const GLuint textures[] = {shadowMap, randomTexture, colour, small};
    glDeleteTextures(4, textures);
    glDeleteRenderbuffers(1, &depth);
    const GLuint framebuffers[] = {shadowFramebuffer, framebuffer, smallFramebuffer};
    glDeleteFramebuffers(3, framebuffers);
    glDeleteProgram(depthProgram);
    glDeleteProgram(shadeProgram);
  }
};

GlComposerPeer::GlComposerPeer() : gl(new Objects) {}
GlComposerPeer::~GlComposerPeer() { delete gl; }

bool GlComposerPeer::Start(const PeerScene& scene) {
  Objects& o = *gl;
  o.scene = scene;
  if (!o.egl.Start(3)) {
    failure = o.egl.failure;
    return false;
  }
  if (const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER))) renderer = name;
  o.depthProgram = Link(kDepthVertex, kDepthFragment);
  o.shadeProgram = Link(kShadeVertex, kShadeFragment);
  if (o.depthProgram == 0 || o.shadeProgram == 0) {
    failure = "the peer's shaders did not build";
    return false;
  }
  const int width = 2 * scene.width, height = 2 * scene.height;

  glGenTextures(1, &o.shadowMap);
  glBindTexture(GL_TEXTURE_2D, o.shadowMap);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32F, scene.shadowWidth, scene.shadowHeight, 0,
               GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &o.shadowFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, o.shadowFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, o.shadowMap, 0);
  const GLenum none = GL_NONE;
  glDrawBuffers(1, &none);
  glReadBuffer(GL_NONE);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    failure = "the peer's shadow framebuffer is incomplete";
    return false;
  }

  glGenTextures(1, &o.randomTexture);
  glBindTexture(GL_TEXTURE_2D, o.randomTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, 256, 128, 0, GL_RED, GL_FLOAT, scene.randomTable.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

  glGenTextures(1, &o.colour);
  glBindTexture(GL_TEXTURE_2D, o.colour);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
  glGenRenderbuffers(1, &o.depth);
  glBindRenderbuffer(GL_RENDERBUFFER, o.depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glGenFramebuffers(1, &o.framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, o.framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, o.colour, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, o.depth);
  glGenTextures(1, &o.small);
  glBindTexture(GL_TEXTURE_2D, o.small);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, scene.width, scene.height);
  glGenFramebuffers(1, &o.smallFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, o.smallFramebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, o.small, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    failure = "the peer's framebuffers are incomplete";
    return false;
  }

  for (const PeerMesh& mesh : scene.meshes) {
    GlMesh m;
    m.indexCount = GLsizei(mesh.indices.size());
    m.castsShadow = mesh.castsShadow;
    m.receivesShadow = mesh.receivesShadow;
    m.diffuse = mesh.diffuse;
    m.ambient = mesh.ambient;
    m.specular = mesh.specular;
    glGenVertexArrays(1, &m.array);
    glBindVertexArray(m.array);
    glGenBuffers(4, m.buffers);
    const std::vector<std::array<float, 3>>* streams[] = {&mesh.positions, &mesh.normals, &mesh.lightSpace};
    for (GLuint i = 0; i < 3; ++i) {
      glBindBuffer(GL_ARRAY_BUFFER, m.buffers[i]);
      glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(streams[i]->size() * sizeof(float) * 3), streams[i]->data(),
                   GL_STATIC_DRAW);
      glVertexAttribPointer(i, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
      glEnableVertexAttribArray(i);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.buffers[3]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh.indices.size() * sizeof(uint32_t)), mesh.indices.data(),
                 GL_STATIC_DRAW);
    o.meshes.push_back(m);
  }
  glBindVertexArray(0);

  // Every uniform is constant over the benchmark but the colours, set per mesh.
  const float halfDepth = 0.5f * (scene.farLight - scene.nearLight) + 8.0f;
  const float midDepth = 0.5f * (scene.farLight + scene.nearLight);
  glUseProgram(o.depthProgram);
  glUniform4f(glGetUniformLocation(o.depthProgram, "extent"), scene.a0, scene.b0, scene.ra, scene.rb);
  glUniform2f(glGetUniformLocation(o.depthProgram, "lightDepth"), midDepth, halfDepth);
  const GLuint p = o.shadeProgram;
  glUseProgram(p);
  glUniform2f(glGetUniformLocation(p, "focal"), scene.focal / float(scene.width), scene.focal / float(scene.height));
  glUniform4f(glGetUniformLocation(p, "extent"), scene.a0, scene.b0, scene.ra, scene.rb);
  glUniform2f(glGetUniformLocation(p, "shadowSize"), float(scene.shadowWidth), float(scene.shadowHeight));
  glUniform1i(glGetUniformLocation(p, "shadowMap"), 0);
  glUniform1i(glGetUniformLocation(p, "randomTable"), 1);
  glUniform2i(glGetUniformLocation(p, "shadowCells"), scene.shadowWidth, scene.shadowHeight);
  glUniform2f(glGetUniformLocation(p, "lightDepth"), midDepth, halfDepth);
  glUniform2fv(glGetUniformLocation(p, "taps"), 19, scene.taps[0].data());
  glUniform1f(glGetUniformLocation(p, "smoothness"), scene.smoothness);
  glUniform1f(glGetUniformLocation(p, "shadowFloor"), scene.shadowFloor);
  glUniform3fv(glGetUniformLocation(p, "light"), 1, scene.light.data());
  glUniform1f(glGetUniformLocation(p, "ambientLevel"), scene.ambientLevel);
  glUniform1f(glGetUniformLocation(p, "diffuseStrength"), scene.diffuseStrength);
  glUniform1f(glGetUniformLocation(p, "exponent"), scene.exponent);
  glUniform3fv(glGetUniformLocation(p, "fogColour"), 1, scene.fogColour.data());
  glUniform3f(glGetUniformLocation(p, "fog"), scene.fogStart, scene.fogStrength, scene.fogFalloff);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o.shadowMap);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, o.randomTexture);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  pixels.resize(size_t(scene.width) * size_t(scene.height) * 4);
  if (glGetError() != GL_NO_ERROR) {
    failure = "the peer's set-up raised an OpenGL error";
    return false;
  }
  return true;
}

void GlComposerPeer::Frame() {
  Objects& o = *gl;
  const PeerScene& scene = o.scene;
  // The light's depth pass; both sides of the casters cast, as in the program.
  glBindFramebuffer(GL_FRAMEBUFFER, o.shadowFramebuffer);
  glViewport(0, 0, scene.shadowWidth, scene.shadowHeight);
  glDisable(GL_CULL_FACE);
  glClear(GL_DEPTH_BUFFER_BIT);
  glUseProgram(o.depthProgram);
  for (const GlMesh& mesh : o.meshes) {
    if (!mesh.castsShadow) continue;
    glBindVertexArray(mesh.array);
    glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
  }

  // The shading pass at twice the sides, front faces only.
  glBindFramebuffer(GL_FRAMEBUFFER, o.framebuffer);
  glViewport(0, 0, 2 * scene.width, 2 * scene.height);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glClearColor(scene.background[0] / 255.0f, scene.background[1] / 255.0f, scene.background[2] / 255.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glUseProgram(o.shadeProgram);
  const GLint shadowed = glGetUniformLocation(o.shadeProgram, "shadowed");
  const GLint ambient = glGetUniformLocation(o.shadeProgram, "ambientColour");
  const GLint diffuse = glGetUniformLocation(o.shadeProgram, "diffuseColour");
  const GLint specular = glGetUniformLocation(o.shadeProgram, "specularColour");
  for (const GlMesh& mesh : o.meshes) {
    glUniform1i(shadowed, mesh.receivesShadow ? 1 : 0);
    glUniform3fv(ambient, 1, mesh.ambient.data());
    glUniform3fv(diffuse, 1, mesh.diffuse.data());
    glUniform3fv(specular, 1, mesh.specular.data());
    glBindVertexArray(mesh.array);
    glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
  }

  // 2 x 2 down to the picture (a linear blit at half the size averages each block), read back.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, o.framebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, o.smallFramebuffer);
  glBlitFramebuffer(0, 0, 2 * scene.width, 2 * scene.height, 0, 0, scene.width, scene.height,
                    GL_COLOR_BUFFER_BIT, GL_LINEAR);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, o.smallFramebuffer);
  glReadPixels(0, 0, scene.width, scene.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

#endif

bool WritePovRayScene(const PeerScene& scene, const std::string& path) {
  std::ostringstream out;
  out.precision(7);
  // POV-Ray is left-handed: the camera frame's z is turned round, so the camera looks along +z.
  const double direction = scene.focal / (2.0 * scene.height);
  out << "#version 3.7;\nglobal_settings { assumed_gamma 1.0 }\n";
  out << "background { rgb <" << scene.background[0] / 255 << ", " << scene.background[1] / 255 << ", "
      << scene.background[2] / 255 << "> }\n";
  out << "camera { perspective location <0, 0, 0> direction <0, 0, " << direction << "> right <"
      << double(scene.width) / scene.height << ", 0, 0> up <0, 1, 0> }\n";
  const auto& l = scene.light;
  // A parallel area light about 5 % of the distance wide, for soft shadow edges.
  out << "light_source { <" << l[0] * 10000 << ", " << l[1] * 10000 << ", " << -l[2] * 10000
      << "> rgb 1 parallel point_at <0, 0, 0> area_light <500, 0, 0>, <0, 0, 500>, 4, 4 adaptive 1 jitter "
         "orient circular }\n";
  if (scene.fogStrength > 0) {
    out << "fog { fog_type 1 distance " << 1.0 / std::max(scene.fogFalloff, 1e-6f) << " rgbt <"
        << scene.fogColour[0] / 255 << ", " << scene.fogColour[1] / 255 << ", " << scene.fogColour[2] / 255 << ", "
        << 1.0 - scene.fogStrength << "> }\n";
  }
  for (const PeerMesh& mesh : scene.meshes) {
    out << "mesh2 {\n vertex_vectors { " << mesh.positions.size();
    for (const auto& p : mesh.positions) out << ", <" << p[0] << ", " << p[1] << ", " << -p[2] << ">";
    out << " }\n normal_vectors { " << mesh.normals.size();
    for (const auto& n : mesh.normals) out << ", <" << n[0] << ", " << n[1] << ", " << -n[2] << ">";
    out << " }\n face_indices { " << mesh.indices.size() / 3;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
      out << ", <" << mesh.indices[i] << ", " << mesh.indices[i + 1] << ", " << mesh.indices[i + 2] << ">";
    out << " }\n texture { pigment { rgb <" << mesh.diffuse[0] / 255 << ", " << mesh.diffuse[1] / 255 << ", "
        << mesh.diffuse[2] / 255 << "> } finish { ambient " << mesh.ambient[0] / 255
        << " diffuse 0.8 specular 0.5 roughness 0.02 } }\n";
    if (!mesh.castsShadow) out << " no_shadow\n";
    out << "}\n";
  }
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  const std::string text = out.str();
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace tsv::bench
