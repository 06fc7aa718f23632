// composer_frame.cpp: the composer's frame renderer: bands, object order, fog and smoke, and
// supersampling.
#include "render/composer_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/noise.h"
#include "render/render_state.h"
#include "scene/allocation.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

constexpr int kFogRowsBetweenPolls = 16;
// The smoke march starts with steps of 100 that grow by half each time.
constexpr float kFirstSmokeStep = 100.0f;
constexpr float kSmokeStepGrowth = 1.5f;
// Smoke absorbs density x its local thickness per this many units of depth.
constexpr float kSmokeUnits = 1000.0f;

// Thrown by the progress of an object being drawn when the cancel gesture came: it ends the
// drawing between two groups of triangles, however long the object still had to go.
struct ObjectDrawCancelled {};

// Stands in for the user services while a frame renders: everything goes to the services that were
// in place, and each advance of the progress (the rasteriser advances it four times per object)
// also looks for the cancel gesture.
struct CancellingProgress final : UserServices {
  explicit CancellingProgress(UserServices& inner) : inner(inner) { SetServices(this); }
  ~CancellingProgress() override { SetServices(&inner); }
  CancellingProgress(const CancellingProgress&) = delete;
  CancellingProgress& operator=(const CancellingProgress&) = delete;

  void ShowStopMessage(std::string_view text) override { inner.ShowStopMessage(text); }
  bool AskMessage(std::string_view text) override { return inner.AskMessage(text); }
  void ShowAlert(std::string_view text) override { inner.ShowAlert(text); }
  int AskChoice(std::string_view text, const std::vector<std::string>& answers) override {
    return inner.AskChoice(text, answers);
  }
  bool ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) override {
    return inner.ChooseOpenFile(request, choice);
  }
  bool ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) override {
    return inner.ChooseSaveFile(request, choice);
  }
  bool ChooseColor(Rgb16 initial, Rgb16& chosen) override { return inner.ChooseColor(initial, chosen); }
  void ShowProgress(std::string_view text, int top) override { inner.ShowProgress(text, top); }
  void AdvanceProgress(int value, int top) override {
    inner.AdvanceProgress(value, top);
    if (watching && CancelRequested()) throw ObjectDrawCancelled{};
  }
  void HideProgress() override { inner.HideProgress(); }

  UserServices& inner;
  bool watching = false;  // only while an object is being drawn
};

// The progress box of the frame, hidden on every way out.
struct FrameProgress {
  FrameProgress() { ShowProgress(GetString(kUiRenderSettings), -1); }
  ~FrameProgress() { HideProgress(); }
  FrameProgress(const FrameProgress&) = delete;
  FrameProgress& operator=(const FrameProgress&) = delete;
};

float Clamped(float value, float low, float high) {
  if (!(value >= low)) return low;  // also a value that is not a number
  return value > high ? high : value;
}

bool SameFile(const FileSpec& a, const FileSpec& b) { return View(a.name) == View(b.name); }

uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFFu; }

// The pictures the objects are drawn with, one per slot, loaded once per frame: a picture does not
// change between bands.
struct FrameTextures {
  std::vector<ComposerTexture> bySlot;
  std::vector<bool> loaded;
};

// Loads the texture of every object that has one (ghosted ones too: they are part of the scene
// the user set up, and a missing picture is worth hearing about whichever objects show). 0, or the
// loader's status.
int LoadFrameTextures(FrameTextures& textures) {
  textures.bySlot.resize(size_t(kObjectSlotCount));
  textures.loaded.assign(size_t(kObjectSlotCount), false);
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    const SceneObject* object = scene.objectTable[size_t(slot)].get();
    if (object == nullptr || !IsFileSpecSet(object->textureFile)) continue;
    if (!renderState.loadComposerPicture) return kFileNotFound;
    ComposerTexture& texture = textures.bySlot[size_t(slot)];
    const Status status = renderState.loadComposerPicture(object->textureFile, texture);
    if (status != kNoError) return status;
    if (texture.width <= 0 || texture.height <= 0 ||
        texture.pixels.size() < size_t(texture.width) * size_t(texture.height)) {
      return kMalformed;
    }
    textures.loaded[size_t(slot)] = true;
  }
  return kNoError;
}

// The background colour, and the background picture scaled over the whole picture when it is on.
int FillBackground(ComposerPicture& picture, const ProjectRecord& project) {
  const uint32_t colour = uint32_t(project.backgroundColor.red >> 8) << 16 |
                          uint32_t(project.backgroundColor.green >> 8) << 8 | uint32_t(project.backgroundColor.blue >> 8);
  std::fill(picture.pixels.begin(), picture.pixels.end(), colour);
  if (project.backgroundPictureOn == 0 || !IsFileSpecSet(project.quorvelFile)) return kNoError;
  if (!renderState.loadComposerPicture) return kFileNotFound;
  ComposerTexture background;
  const Status status = renderState.loadComposerPicture(project.quorvelFile, background);
  if (status != kNoError) return status;
  if (background.width <= 0 || background.height <= 0 ||
      background.pixels.size() < size_t(background.width) * size_t(background.height)) {
    return kMalformed;
  }
  for (int y = 0; y < picture.height; ++y) {
    const size_t sourceRow = size_t(int64_t(y) * background.height / picture.height) * size_t(background.width);
    uint32_t* row = picture.pixels.data() + size_t(y) * size_t(picture.width);
    for (int x = 0; x < picture.width; ++x) {
      row[x] = background.pixels[sourceRow + size_t(int64_t(x) * background.width / picture.width)] & 0x00FFFFFFu;
    }
  }
  return kNoError;
}

// The band's working memory: picture width x 3200 bytes, the colour rows in the first half and the
// depth rows in the second, which also serves as the smoothing filter's scratch.
struct BandBlock {
  std::unique_ptr<std::byte[]> bytes;
  uint32_t* colour = nullptr;
  float* depth = nullptr;
};

bool AllocateBandBlock(int pictureWidth, BandBlock& block) {
  const size_t size = size_t(pictureWidth) * size_t(kComposerBandBytesPerColumn);
  try {
    CountSceneAllocation();
    block.bytes = std::make_unique<std::byte[]>(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  block.colour = reinterpret_cast<uint32_t*>(block.bytes.get());
  block.depth = reinterpret_cast<float*>(block.bytes.get() + size / 2);
  return true;
}

// Writes each 2 x 2 block of the band as one picture pixel: every byte the sum of its four samples
// shifted right by 2.
void AverageBandInto(const uint32_t* colour, int width, int rows, uint32_t* pictureRow, int pictureWidth) {
  for (int y = 0; y + 1 < rows; y += 2) {
    const uint32_t* top = colour + size_t(y) * size_t(width);
    const uint32_t* bottom = top + width;
    uint32_t* out = pictureRow + size_t(y / 2) * size_t(pictureWidth);
    for (int x = 0; x < pictureWidth; ++x) {
      const uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
      uint32_t pixel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t sum = Channel(a, shift) + Channel(b, shift) + Channel(c, shift) + Channel(d, shift);
        pixel |= (sum >> 2) << shift;
      }
      out[x] = pixel;
    }
  }
}

// The distance-space depth of a band depth: larger nearer, the empty value for the background.
float MarchDepth(float d, bool perspective) {
  if (perspective) d = d > 0 ? -1.0f / d : kEmptyComposerDepth;
  if (!(d >= kEmptyComposerDepth)) return kEmptyComposerDepth;  // beyond the background, or not a number
  return d;
}

// The positions of the smoke march, the same for every pixel: from -"Start" towards the
// background in steps that begin at 100 and grow by half each time. A pixel takes the full steps
// that end in front of it and one last sample for the remainder up to its depth.
struct SmokeMarch {
  int count = 0;                                   // positions
  float at[TurbulenceRow::kMostDepths] = {};       // distance-space depth of each position
  float step[TurbulenceRow::kMostDepths] = {};     // the full step that starts there
  float z[TurbulenceRow::kMostDepths] = {};        // where the smoke field is sampled for it
};

// Positions a march from 0 takes before its next step would pass the background: no depth lies
// beyond the background, so no pixel needs more, whatever the start.
constexpr int SmokePositionsToBackground() {
  int count = 1;
  for (float s = 0, step = kFirstSmokeStep; s - step > kEmptyComposerDepth; s -= step, step *= kSmokeStepGrowth) ++count;
  return count;
}
static_assert(SmokePositionsToBackground() <= TurbulenceRow::kMostDepths);

SmokeMarch MakeSmokeMarch(const FogAndSmoke& fog) {
  SmokeMarch march;
  float s = -fog.start, step = kFirstSmokeStep;
  for (;;) {
    march.at[march.count] = s;
    march.step[march.count] = step;
    march.z[march.count] = fog.seed - s * 0.001f;
    ++march.count;
    if (!(s - step > kEmptyComposerDepth) || march.count == TurbulenceRow::kMostDepths) break;
    s -= step;
    step *= kSmokeStepGrowth;
  }
  return march;
}

// How much of what lies at distance-space depth `depth` the smoke hides, 0..1; `field` holds the
// smoke field at the pixel for every position of the march.
float SmokeCover(const FogAndSmoke& fog, const SmokeMarch& march, const float* field, float depth) {
  if (!(depth < march.at[0])) return 0.0f;
  auto thickness = [&](float t) { return Clamped((t - 0.5f) * fog.contrast + 0.5f, 0.0f, 1.0f); };
  float absorbed = 0.0f;
  int k = 0;
  for (; k + 1 < march.count && march.at[k + 1] > depth; ++k) absorbed += thickness(field[k]) * march.step[k];
  absorbed += thickness(field[k]) * (march.at[k] - depth);  // the remainder up to the pixel
  const float transmitted = std::exp(-fog.density * absorbed / kSmokeUnits);
  return (1.0f - transmitted) * (fog.smokeStrength / 100.0f);
}

}  // namespace

FogAndSmoke FogAndSmokeOfProject(const ProjectRecord& project, bool supersampled) {
  FogAndSmoke fog;
  fog.colour = uint32_t(project.fogColor.red >> 8) << 16 | uint32_t(project.fogColor.green >> 8) << 8 |
               uint32_t(project.fogColor.blue >> 8);
  const FogSmokeSettings& s = project.fogSmoke;
  fog.start = Clamped(s.fogStart, 0, 32000);
  fog.fogStrength = Clamped(s.fogStrength, 0, 256);
  fog.falloff = Clamped(s.fogFalloff, 0, 3200);
  fog.smokeStrength = Clamped(s.smokeStrength, 0, 100);
  fog.density = Clamped(s.smokeDensity, 0.001f, 1);
  fog.contrast = Clamped(s.smokeContrast, 0.001f, 10);
  fog.seed = Clamped(s.smokeRandomSeed, 0, 100);
  fog.detail = std::clamp(int(project.smokeDetail), 1, 10);
  const size_t camera = std::min<size_t>(project.cameraViewIndex, kComposerViewCount - 1);
  fog.perspective = project.composerViews[camera].mode != 0;
  fog.step = supersampled ? 0.005f : 0.01f;
  return fog;
}

int FogAndSmokePass(const ComposerBand& band, const FogAndSmoke& fog, const std::atomic<bool>* stop) {
  const float fogColour[3] = {float(Channel(fog.colour, 0)), float(Channel(fog.colour, 8)),
                              float(Channel(fog.colour, 16))};
  // "Detail" octaves: the scales 0.5, 0.25, ... above 0.5 / 2^detail.
  const float minScale = std::ldexp(0.5f, -fog.detail);
  const bool smoke = fog.smokeStrength / 100.0f > 0;
  const SmokeMarch march = MakeSmokeMarch(fog);
  TurbulenceRow smokeRow;  // on the stack: the fog dialog's preview runs this pass on its own thread
  float field[TurbulenceRow::kMostDepths];
  for (int row = 0; row < band.rows; ++row) {
    if (stop != nullptr) {
      if (stop->load(std::memory_order_relaxed)) return kFrameCancelled;
    } else if (row > 0 && row % kFogRowsBetweenPolls == 0) {
      if (CancelRequested()) return kFrameCancelled;
      if (band.progressStart >= 0) {
        AdvanceProgress(band.progressStart + (band.progressEnd - band.progressStart) * row / band.rows, band.progressTop);
      }
    }
    const float y = float(band.firstRow + row) * fog.step;
    uint32_t* colour = band.colour + size_t(row) * size_t(band.width);
    const float* depth = band.depth + size_t(row) * size_t(band.width);
    if (smoke) FillTurbulenceRow(smokeRow, y, march.z, march.count, 0.5f, minScale);
    // Runs of one depth (the background above all) share their fog weight.
    float weighedDepth = std::numeric_limits<float>::quiet_NaN(), fogWeight = 0.0f;
    for (int column = 0; column < band.width; ++column) {
      const float d = MarchDepth(depth[column], fog.perspective);
      if (d != weighedDepth) {
        const float beyond = std::max(0.0f, -d - fog.start);
        // Past e^-80 the fog is whole; the bound keeps exp out of its slow underflow path.
        fogWeight = (fog.fogStrength / 256.0f) * (1.0f - std::exp(std::max(-80.0f, -beyond * fog.falloff / 16384.0f)));
        weighedDepth = d;
      }
      float smokeWeight = 0.0f;
      if (smoke && d < march.at[0]) {
        TurbulenceAlongRow(smokeRow, float(column) * fog.step, field);
        smokeWeight = SmokeCover(fog, march, field, d);
      }
      const uint32_t pixel = colour[column];
      uint32_t out = 0;
      for (int c = 0; c < 3; ++c) {
        float value = float(Channel(pixel, 8 * c));
        value += (fogColour[c] - value) * fogWeight;
        value += (fogColour[c] - value) * smokeWeight;
        out |= uint32_t(std::clamp(value, 0.0f, 255.0f) + 0.5f) << (8 * c);
      }
      const uint32_t alpha = std::max(pixel >> 24, uint32_t(std::clamp(smokeWeight * 255.0f, 0.0f, 255.0f) + 0.5f));
      colour[column] = out | alpha << 24;
    }
  }
  return kFrameRendered;
}

void SmoothBand3x3(uint32_t* colour, void* scratch, int width, int rows) {
  if (width < 3 || rows < 3) return;
  // The scratch may overlap storage of another type: it is reached only through memcpy.
  std::byte* source = static_cast<std::byte*>(scratch);
  std::memcpy(source, colour, size_t(width) * size_t(rows) * sizeof(uint32_t));
  auto at = [&](int x, int y) {
    uint32_t value;
    std::memcpy(&value, source + (size_t(y) * size_t(width) + size_t(x)) * sizeof(uint32_t), sizeof value);
    return value;
  };
  static constexpr int kWeights[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
  // Inside: the weights sum to 16 and the mean is a shift. Blue and red, and green and alpha, are
  // summed two at a time in the 16-bit halves of a word (at most 255 x 16 = 4080 each); the
  // shift's spill from one half into the other lands in bits the mask drops.
  constexpr uint32_t kLanes = 0x00FF00FFu;
  for (int y = 1; y + 1 < rows; ++y) {
    uint32_t* out = colour + size_t(y) * size_t(width);
    for (int x = 1; x + 1 < width; ++x) {
      uint32_t even = 0, odd = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const uint32_t pixel = at(x + dx, y + dy);
          const uint32_t weight = uint32_t(kWeights[dy + 1][dx + 1]);
          even += (pixel & kLanes) * weight;
          odd += ((pixel >> 8) & kLanes) * weight;
        }
      }
      out[x] = ((even >> 4) & kLanes) | (((odd >> 4) & kLanes) << 8);
    }
  }
  // The border: the weights of the neighbours that exist.
  for (int y = 0; y < rows; ++y) {
    const bool edgeRow = y == 0 || y + 1 == rows;
    // The first and last rows whole; of the others, their first and last pixels.
    for (int x = 0; x < width; x = edgeRow || x == width - 1 ? x + 1 : width - 1) {
      uint32_t sums[4] = {};
      uint32_t weightSum = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        if (y + dy < 0 || y + dy >= rows) continue;
        for (int dx = -1; dx <= 1; ++dx) {
          if (x + dx < 0 || x + dx >= width) continue;
          const uint32_t weight = uint32_t(kWeights[dy + 1][dx + 1]);
          const uint32_t pixel = at(x + dx, y + dy);
          for (int c = 0; c < 4; ++c) sums[c] += Channel(pixel, 8 * c) * weight;
          weightSum += weight;
        }
      }
      uint32_t out = 0;
      for (int c = 0; c < 4; ++c) {
        // 16 inside: a shift, as the filter always did; the border divides by its own weights.
        const uint32_t mean = weightSum == 16 ? sums[c] >> 4 : sums[c] / weightSum;
        out |= mean << (8 * c);
      }
      colour[size_t(y) * size_t(width) + size_t(x)] = out;
    }
  }
}

void OrderObjectsForRender() {
  auto& table = scene.objectTable;
  ClearCurrentObject();
  // Compact, keeping the order.
  size_t used = 0;
  for (size_t slot = 0; slot < table.size(); ++slot) {
    if (table[slot] && slot != used) std::swap(table[used], table[slot]);
    if (table[used]) ++used;
  }
  if (used == 0) return;
  auto textured = [&](size_t slot) { return IsFileSpecSet(table[slot]->textureFile); };
  if (!textured(0)) {
    size_t first = 1;
    while (first < used && !textured(first)) ++first;
    if (first == used) return;
    std::swap(table[0], table[first]);
  }
  for (size_t i = 0; i + 1 < used; ++i) {
    const FileSpec& file = table[i]->textureFile;
    if (SameFile(table[i + 1]->textureFile, file)) continue;
    for (size_t j = i + 2; j < used; ++j) {
      if (SameFile(table[j]->textureFile, file)) {
        std::swap(table[i + 1], table[j]);
        break;
      }
    }
  }
}

int RenderComposerFrame() {
  ComposerPicture& picture = renderState.composerPicture;
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() < size_t(picture.width) * size_t(picture.height)) {
    return kFrameNotRendered;
  }
  const ProjectRecord& project = nativeFiles.project;
  const bool supersampled = project.supersampling != 0;
  const int factor = supersampled ? 2 : 1;
  // The sides and scale the objects are drawn at; the picture keeps its own.
  const int width = picture.width * factor, height = picture.height * factor;

  ShadowBuffer shadow;
  if (!BuildShadowBuffer(width, height, shadow)) return kFrameNotRendered;  // it has said why
  const bool shadowsOn = project.shadowsOn != 0 && !shadow.cells.empty();

  BandBlock block;
  if (!AllocateBandBlock(picture.width, block)) {
    ShowStopMessage(GetString(kErrNoMemoryForRendering));
    return kFrameNotRendered;
  }
  std::optional<FrameProgress> progress;
  if (!renderState.composerFrameInRun) progress.emplace();
  if (const int status = FillBackground(picture, project); status != kNoError) return status;

  OrderObjectsForRender();
  int visible = 0;  // the objects drawn, each taking an equal part of the progress of a band
  for (const auto& slot : scene.objectTable) visible += slot && slot->ghostState == 0 ? 1 : 0;
  const bool texturesOn = project.texturesOn == 1;
  FrameTextures textures;
  if (texturesOn) {
    if (const int status = LoadFrameTextures(textures); status != kNoError) return status;
  }
  const FogAndSmoke fog = FogAndSmokeOfProject(project, supersampled);

  CancellingProgress cancelling(Services());
  ComposerBand band;
  band.colour = block.colour;
  band.depth = block.depth;
  band.width = width;
  band.pictureWidth = width;
  band.pictureHeight = height;
  band.orthographicScale = picture.orthographicScale * float(factor);
  const int bandRows = kComposerBandRows / factor;
  band.rows = height % bandRows == 0 ? bandRows : height % bandRows;
  const int bandCount = 1 + (height - band.rows) / bandRows;
  const bool fogOn = project.fogAndSmokeOn != 0;
  const int stepsPerBand = std::max(1, visible + (fogOn ? 1 : 0));
  const int progressFirst = renderState.composerFrameInRun ? renderState.composerRunProgressStart : 0;
  const int progressSpan = renderState.composerFrameInRun ? renderState.composerRunProgressEnd - progressFirst : kProgressMax;
  auto progressAt = [&](int bandIndex, int step) {
    return progressFirst +
           int(int64_t(bandIndex * stepsPerBand + step) * progressSpan / (int64_t(bandCount) * stepsPerBand));
  };
  int bandIndex = 0;
  for (band.firstRow = 0; band.firstRow < height; band.firstRow += band.rows, band.rows = bandRows, ++bandIndex) {
    const size_t samples = size_t(width) * size_t(band.rows);
    std::fill(band.depth, band.depth + samples, kEmptyComposerDepth);
    for (int row = 0; row < band.rows; ++row) {
      const uint32_t* source = picture.pixels.data() + size_t((band.firstRow + row) / factor) * size_t(picture.width);
      uint32_t* target = band.colour + size_t(row) * size_t(width);
      for (int x = 0; x < width; ++x) target[x] = source[x / factor];
    }

    int drawn = 0;
    for (auto& slot : scene.objectTable) {
      SceneObject* object = slot.get();
      if (object == nullptr) continue;
      if (object->ghostState == 0) {
        band.progressStart = progressAt(bandIndex, drawn);
        band.progressEnd = progressAt(bandIndex, ++drawn);
        const size_t index = size_t(&slot - scene.objectTable.data());
        const ComposerTexture* texture = texturesOn && textures.loaded[index] ? &textures.bySlot[index] : nullptr;
        const ShadowBuffer* received = shadowsOn && object->optics.receivesShadow == 1 ? &shadow : nullptr;
        cancelling.watching = true;
        try {
          RenderObjectIntoBand(band, object, texture, received);
        } catch (const ObjectDrawCancelled&) {
          return kFrameCancelled;
        }
        cancelling.watching = false;
      }
      if (CancelRequested()) return kFrameCancelled;
    }

    for (size_t i = 0; i < samples; ++i) {
      const uint32_t alpha = band.depth[i] > kDrawnDepth ? 0xFF000000u : 0;
      band.colour[i] = (band.colour[i] & 0x00FFFFFFu) | alpha;
    }
    if (fogOn) {
      band.progressStart = progressAt(bandIndex, visible);
      band.progressEnd = progressAt(bandIndex, visible + 1);
      if (const int result = FogAndSmokePass(band, fog); result != kFrameRendered) return result;
    }

    const int pictureRow = band.firstRow / factor, pictureRows = band.rows / factor;
    uint32_t* target = picture.pixels.data() + size_t(pictureRow) * size_t(picture.width);
    if (supersampled) {
      SmoothBand3x3(band.colour, band.depth, width, band.rows);
      AverageBandInto(band.colour, width, band.rows, target, picture.width);
    } else {
      std::copy(band.colour, band.colour + samples, target);
    }
    if (renderState.composerBandStored) renderState.composerBandStored(pictureRow, pictureRows);
    if (CancelRequested()) return kFrameCancelled;
    AdvanceProgress(progressAt(bandIndex + 1, 0), band.progressTop);
  }
  return kFrameRendered;
}

}  // namespace tsv
