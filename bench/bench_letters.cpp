// bench_letters.cpp: letters in DejaVu Sans: the 52 letters a-z, A-Z at the defaults (3D, 4 segments,
// 4 depth divisions) and "@&W" at 64 segments, each as the whole generation of the object and as
// the caps alone (holes bridged into their outlines and ear clipping) on the flattened contours.
// Beside the caps, GLU's tessellator (odd winding, triangles only) on the very same contours, one
// polygon per character, when GLU is installed.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "letters/letter_outlines.h"
#include "letters/letters.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

#ifdef TESSIVAR_BENCH_HAVE_GLU
#include <GL/glu.h>
#endif

namespace tsv {
namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kIntricate[] = "@&W";

bool StartScene() {
  static const bool started = [] {
    ResetPlatformState();
    platform.resourceDirectory = TESSIVAR_BENCH_RESOURCE_ROOT;
    SetDefaultPreferences(preferences);
    return InitScene();
  }();
  return started;
}

LetterSettings Settings(const char* text, int segments) {
  LetterSettings settings;
  settings.text = text;
  settings.family = kDefaultLetterFamily;
  settings.segments = segments;
  settings.depthDivisions = 4;
  settings.threeD = true;
  return settings;
}

// The flattened contours of one text, per character, made once.
const std::vector<std::vector<LetterOutline>>& Contours(const char* text, int segments) {
  static std::vector<std::vector<LetterOutline>> alphabet = FlattenLetterText(Settings(kAlphabet, 4));
  static std::vector<std::vector<LetterOutline>> intricate = FlattenLetterText(Settings(kIntricate, 64));
  return std::string(text) == kAlphabet && segments == 4 ? alphabet : intricate;
}

size_t ContourPoints(const std::vector<std::vector<LetterOutline>>& characters) {
  size_t points = 0;
  for (const auto& outlines : characters) {
    for (const LetterOutline& outline : outlines) points += outline.points.size();
  }
  return points;
}

void BM_GenerateLetters(benchmark::State& state, const char* text, int segments) {
  if (!StartScene()) {
    state.SkipWithError("the scene did not start");
    return;
  }
  const LetterSettings settings = Settings(text, segments);
  int64_t triangles = 0;
  for (auto _ : state) {
    LetterResult result = GenerateLetters(settings, false);
    if (result.outcome != LetterOutcome::Made) {
      state.SkipWithError("no letters were made");
      break;
    }
    triangles = result.object->triangleCount;
    state.PauseTiming();
    DisposeSceneObject(result.object);
    state.ResumeTiming();
  }
  state.counters["triangles"] = double(triangles);
}

void BM_LetterCaps(benchmark::State& state, const char* text, int segments) {
  const auto& characters = Contours(text, segments);
  if (characters.empty()) {
    state.SkipWithError("the text has no contours");
    return;
  }
  size_t triangles = 0;
  for (auto _ : state) {
    triangles = 0;
    for (const std::vector<LetterOutline>& outlines : characters) {
      for (const LetterOutline& part : LetterParts(outlines, false)) {
        const std::vector<LetterTriangle> ears = ClipEars(part);
        benchmark::DoNotOptimize(ears.data());
        triangles += ears.size();
      }
    }
  }
  state.counters["triangles"] = double(triangles);
  state.counters["contour_points"] = double(ContourPoints(characters));
}

#ifdef TESSIVAR_BENCH_HAVE_GLU

// What the tessellator hands back: triangle corners as indices into the text's points, with the
// points it makes where edges cross appended.
struct GluCollector {
  std::deque<std::array<GLdouble, 3>> made;
  std::vector<uintptr_t> corners;
  size_t pointCount = 0;
};

void GLAPIENTRY GluBegin(GLenum, void*) {}
void GLAPIENTRY GluEnd(void*) {}
// Registering an edge flag callback makes the tessellator give plain triangles only.
void GLAPIENTRY GluEdgeFlag(GLboolean, void*) {}
void GLAPIENTRY GluVertex(void* vertex, void* data) {
  static_cast<GluCollector*>(data)->corners.push_back(reinterpret_cast<uintptr_t>(vertex));
}
void GLAPIENTRY GluCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
  auto* collector = static_cast<GluCollector*>(data);
  collector->made.push_back({coords[0], coords[1], coords[2]});
  *out = reinterpret_cast<void*>(collector->pointCount + collector->made.size() - 1);
}
void GLAPIENTRY GluError(GLenum, void*) {}

template <class Callback>
void SetCallback(GLUtesselator* tess, GLenum which, Callback callback) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
  gluTessCallback(tess, which, reinterpret_cast<_GLUfuncptr>(callback));
#pragma GCC diagnostic pop
}

void BM_GluCaps(benchmark::State& state, const char* text, int segments) {
  const auto& characters = Contours(text, segments);
  if (characters.empty()) {
    state.SkipWithError("the text has no contours");
    return;
  }
  // The same contours as GLU vertices, made once: the tessellator keeps pointers to them.
  std::vector<std::array<GLdouble, 3>> coords;
  for (const auto& outlines : characters) {
    for (const LetterOutline& outline : outlines) {
      for (const LetterPoint& p : outline.points) coords.push_back({p.x, p.y, 0.0});
    }
  }
  GLUtesselator* tess = gluNewTess();
  if (tess == nullptr) {
    state.SkipWithError("gluNewTess failed");
    return;
  }
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
  gluTessNormal(tess, 0, 0, 1);
  SetCallback(tess, GLU_TESS_BEGIN_DATA, &GluBegin);
  SetCallback(tess, GLU_TESS_END_DATA, &GluEnd);
  SetCallback(tess, GLU_TESS_EDGE_FLAG_DATA, &GluEdgeFlag);
  SetCallback(tess, GLU_TESS_VERTEX_DATA, &GluVertex);
  SetCallback(tess, GLU_TESS_COMBINE_DATA, &GluCombine);
  SetCallback(tess, GLU_TESS_ERROR_DATA, &GluError);
  GluCollector collector;
  collector.pointCount = coords.size();
  for (auto _ : state) {
    collector.corners.clear();
    collector.made.clear();
    uintptr_t index = 0;
    for (const auto& outlines : characters) {
      gluTessBeginPolygon(tess, &collector);
      for (const LetterOutline& outline : outlines) {
        gluTessBeginContour(tess);
        for (size_t k = 0; k < outline.points.size(); ++k, ++index) {
          gluTessVertex(tess, coords[index].data(), reinterpret_cast<void*>(index));
        }
        gluTessEndContour(tess);
      }
      gluTessEndPolygon(tess);
    }
    benchmark::DoNotOptimize(collector.corners.data());
  }
  gluDeleteTess(tess);
  state.counters["triangles"] = double(collector.corners.size() / 3);
  state.counters["contour_points"] = double(coords.size());
}

#endif

// Side by side: the whole generation, then the caps and GLU on the same contours.
#ifdef TESSIVAR_BENCH_HAVE_GLU
#define TSV_GLU_BENCHMARK(name, text, segments) \
  BENCHMARK_CAPTURE(BM_GluCaps, name, text, segments)->Unit(benchmark::kMillisecond)->UseRealTime()
#else
#define TSV_GLU_BENCHMARK(name, text, segments) static_assert(true)
#endif
BENCHMARK_CAPTURE(BM_GenerateLetters, alphabet_N4, kAlphabet, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_LetterCaps, alphabet_N4, kAlphabet, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
TSV_GLU_BENCHMARK(alphabet_N4, kAlphabet, 4);
BENCHMARK_CAPTURE(BM_GenerateLetters, at_amp_W_N64, kIntricate, 64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_LetterCaps, at_amp_W_N64, kIntricate, 64)->Unit(benchmark::kMillisecond)->UseRealTime();
TSV_GLU_BENCHMARK(at_amp_W_N64, kIntricate, 64);

}  // namespace
}  // namespace tsv
