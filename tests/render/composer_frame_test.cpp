// The composer's frame renderer: the smoothing filter, the object order, fog and smoke on
// hand-made bands, and whole frames of real objects (bands, coverage, supersampling, textures,
// ghosts, the cancel gesture and the picture loader's failures).
#include "render/composer_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/events.h"
#include "render/render_state.h"
#include "platform/user_services.h"
#include "scene/native_files.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void QueueCancelGesture() {
  EventRecord cancel;
  cancel.what = kKeyDown;
  cancel.message = kCharCancel;
  cancel.modifiers = kControlBit;
  input.queue.push_back(cancel);
}

TEST(SmoothBand3x3, WeighsTheNeighboursThatExistAndLeavesThinBandsAlone) {
  // One bright sample in the corner and one inside; every byte is filtered on its own.
  constexpr int kWidth = 5, kRows = 4;
  std::vector<uint32_t> colour(kWidth * kRows, 0);
  colour[0] = 0x90000000u | 0x000090;  // corner: alpha and blue
  colour[2 * kWidth + 2] = 0x00A00000u;  // inside: red
  std::vector<uint32_t> scratch(colour.size());
  SmoothBand3x3(colour.data(), scratch.data(), kWidth, kRows);
  auto at = [&](int x, int y) { return colour[size_t(y * kWidth + x)]; };
  EXPECT_EQ(at(0, 0), (0x90u * 4 / 9) << 24 | (0x90u * 4 / 9));  // a corner has weights 4, 2, 2, 1
  EXPECT_EQ(at(1, 0), (0x90u * 2 / 12) << 24 | (0x90u * 2 / 12));  // an edge pixel has 12
  EXPECT_EQ(at(1, 1) & 0xFF, 0x90u * 1 / 16);
  EXPECT_EQ(at(2, 2), uint32_t(0xA0 * 4 / 16) << 16);  // inside: 16, the centre counting 4
  EXPECT_EQ(at(3, 3), uint32_t(0xA0 * 1 / 12) << 16);
  EXPECT_EQ(at(4, 0), 0u);

  // A uniform band stays uniform up to the border: the border divides by its own weights; full
  // bytes too, which sum to the most a channel can.
  for (const uint32_t value : {0xFF808080u, 0xFFFFFFFFu}) {
    std::vector<uint32_t> uniform(kWidth * kRows, value);
    SmoothBand3x3(uniform.data(), scratch.data(), kWidth, kRows);
    for (uint32_t pixel : uniform) EXPECT_EQ(pixel, value);
  }
  // Every byte of a busy band against the weighted mean worked out one channel at a time.
  constexpr int kBusyWidth = 9, kBusyRows = 6;
  std::vector<uint32_t> busy(kBusyWidth * kBusyRows);
  uint32_t seed = 12345;
  for (uint32_t& pixel : busy) pixel = seed = seed * 1664525u + 1013904223u;
  const std::vector<uint32_t> original = busy;
  std::vector<uint32_t> busyScratch(busy.size());
  SmoothBand3x3(busy.data(), busyScratch.data(), kBusyWidth, kBusyRows);
  for (int y = 0; y < kBusyRows; ++y) {
    for (int x = 0; x < kBusyWidth; ++x) {
      uint32_t expected = 0;
      for (int c = 0; c < 4; ++c) {
        uint32_t sum = 0, weights = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            if (x + dx < 0 || x + dx >= kBusyWidth || y + dy < 0 || y + dy >= kBusyRows) continue;
            const uint32_t weight = uint32_t((dx == 0 ? 2 : 1) * (dy == 0 ? 2 : 1));
            sum += ((original[size_t((y + dy) * kBusyWidth + x + dx)] >> (8 * c)) & 0xFF) * weight;
            weights += weight;
          }
        }
        expected |= (sum / weights) << (8 * c);
      }
      EXPECT_EQ(busy[size_t(y * kBusyWidth + x)], expected) << x << "," << y;
    }
  }

  std::vector<uint32_t> thin = {1, 200, 3, 4, 5, 6};
  const std::vector<uint32_t> before = thin;
  SmoothBand3x3(thin.data(), scratch.data(), 3, 2);
  EXPECT_EQ(thin, before);
  SmoothBand3x3(thin.data(), scratch.data(), 2, 3);
  EXPECT_EQ(thin, before);
}

class ComposerFrame : public test::RenderFixture {
 protected:
  void SetUp() override {
    RenderFixture::SetUp();
    project().fogSmoke = FogSmokeSettings{};
  }
  static ProjectRecord& project() { return nativeFiles.project; }
  // A sphere from the resource folder in a free slot; `texture` names its texture file.
  SceneObject* AddSphere(const std::string& texture = {}) {
    SceneObject* sphere = AddOrganicSphere();
    if (sphere != nullptr && !texture.empty()) sphere->textureFile = FileSpecForPath(texture, FourCC("BMP "));
    return sphere;
  }
  static std::string TextureOf(int slot) {
    const SceneObject* object = scene.objectTable[size_t(slot)].get();
    return object == nullptr ? "<empty>" : PathOfSpec(object->textureFile);
  }
};

TEST_F(ComposerFrame, OrderingPacksTheTableAndGathersObjectsOfOneTexture) {
  struct Placed {
    int slot;
    const char* texture;
  };
  const Placed placed[] = {{2, ""}, {5, "/t/b.bmp"}, {6, "/t/a.bmp"}, {9, ""}, {11, "/t/b.bmp"}, {40, "/t/a.bmp"}};
  for (const Placed& p : placed) {
    std::unique_ptr<SceneObject> object = NewSceneObject(3, 1);
    ASSERT_NE(object, nullptr);
    if (*p.texture) object->textureFile = FileSpecForPath(p.texture, FourCC("BMP "));
    ASSERT_TRUE(StoreObjectInSlot(p.slot, std::move(object)));
  }
  ASSERT_TRUE(SetCurrentObject(9));
  OrderObjectsForRender();
  // The first textured object comes to the front; each next slot takes the first later object
  // sharing the texture of the one before it.
  const std::vector<std::string> expected = {"/t/b.bmp", "/t/b.bmp", "/t/a.bmp", "/t/a.bmp", "", ""};
  for (size_t slot = 0; slot < expected.size(); ++slot) EXPECT_EQ(TextureOf(int(slot)), expected[slot]) << slot;
  for (size_t slot = expected.size(); slot < kObjectSlotCount; ++slot) EXPECT_EQ(scene.objectTable[slot], nullptr);
  EXPECT_EQ(scene.currentObjectIndex, -1);
  EXPECT_EQ(scene.currentObject, nullptr);

  // Without any texture only the packing happens, in the table's order.
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  std::vector<SceneObject*> objects;
  for (int slot : {3, 1, 7}) {
    ASSERT_TRUE(StoreObjectInSlot(slot, NewSceneObject(3, 1)));
    objects.push_back(scene.objectTable[size_t(slot)].get());
  }
  OrderObjectsForRender();
  EXPECT_EQ(scene.objectTable[0].get(), objects[1]);
  EXPECT_EQ(scene.objectTable[1].get(), objects[0]);
  EXPECT_EQ(scene.objectTable[2].get(), objects[2]);
}

TEST_F(ComposerFrame, FogSettingsAreHeldToTheirRangesWhateverTheProjectHolds) {
  // Stored order: fog strength, smoke density, fog falloff, fog start, smoke strength, contrast, seed.
  struct Case {
    FogSmokeSettings stored;
    uint16_t detail;
    // start, fog strength, falloff, smoke strength, density, contrast, seed, detail
    std::vector<float> used;
  } cases[] = {
      {{kNaN, 1e30f, -kInf, 5e9f, -1, kInf, 1e6f}, 60000, {32000, 0, 0, 0, 1, 10, 100, 10}},
      {{300, 0, 4000, -5, 150, 0, -3}, 0, {0, 256, 3200, 100, 0.001f, 0.001f, 0, 1}},
      {{12, 0.25f, 60, 500, 40, 2, 7}, 5, {500, 12, 60, 40, 0.25f, 2, 7, 5}},
  };
  project().fogColor = {0x1234, 0x5678, 0x9ABC};
  for (const Case& c : cases) {
    project().fogSmoke = c.stored;
    project().smokeDetail = c.detail;
    const FogAndSmoke fog = FogAndSmokeOfProject(project(), false);
    EXPECT_EQ((std::vector<float>{fog.start, fog.fogStrength, fog.falloff, fog.smokeStrength, fog.density, fog.contrast,
                                  fog.seed, float(fog.detail)}),
              c.used);
    EXPECT_EQ(fog.colour, 0x12569Au);
  }
  EXPECT_EQ(FogAndSmokeOfProject(project(), false).step, 0.01f);
  EXPECT_EQ(FogAndSmokeOfProject(project(), true).step, 0.005f);
}

// A band of `rows` x 4 pixels of one colour, every pixel at `depth`.
struct TestBand {
  TestBand(int rows, float depth, uint32_t pixel = 0x00000000u)
      : colour(size_t(rows) * 4, pixel), depths(size_t(rows) * 4, depth) {
    band.colour = colour.data();
    band.depth = depths.data();
    band.width = 4;
    band.rows = rows;
    band.pictureWidth = 4;
    band.pictureHeight = rows;
  }
  std::vector<uint32_t> colour;
  std::vector<float> depths;
  ComposerBand band;
};

TEST_F(ComposerFrame, FogThickensWithDistanceAndSmokeRaisesTheCoverage) {
  FogAndSmoke fog;
  fog.colour = 0xFFFFFF;
  fog.perspective = false;
  fog.smokeStrength = 0;
  fog.fogStrength = 256;
  fog.falloff = 16;
  fog.start = 10;
  auto red = [](uint32_t pixel) { return int((pixel >> 16) & 0xFF); };
  // Nearer than the start nothing changes; further away the pixel turns towards white.
  TestBand nearBand(1, -5, 0xFF000000u);
  ASSERT_EQ(FogAndSmokePass(nearBand.band, fog), 0);
  EXPECT_EQ(nearBand.colour[0], 0xFF000000u);
  TestBand mid(1, -1000, 0xFF000000u), far(1, -100000, 0xFF000000u);
  ASSERT_EQ(FogAndSmokePass(mid.band, fog), 0);
  ASSERT_EQ(FogAndSmokePass(far.band, fog), 0);
  EXPECT_GT(red(mid.colour[0]), 0);
  EXPECT_GT(red(far.colour[0]), red(mid.colour[0]));
  EXPECT_EQ(far.colour[0] >> 24, 0xFFu);  // fog leaves the coverage alone

  // Smoke alone over an uncovered background gives it coverage, and more behind more smoke.
  fog.fogStrength = 0;
  fog.smokeStrength = 100;
  fog.density = 1;
  fog.contrast = 0.001f;  // an even haze, whatever the noise
  TestBand smokyNear(1, -150, 0), smokyFar(1, -100000, 0);
  ASSERT_EQ(FogAndSmokePass(smokyNear.band, fog), 0);
  ASSERT_EQ(FogAndSmokePass(smokyFar.band, fog), 0);
  EXPECT_GT(smokyFar.colour[0] >> 24, smokyNear.colour[0] >> 24);
  EXPECT_GT(smokyFar.colour[0] >> 24, 200u);

  // A perspective band holds reciprocal distances: 1/1024 lies 1024 away, and 0 or less is empty.
  fog.perspective = true;
  TestBand reciprocal(1, 1.0f / 1024, 0), orthographic(1, -1024, 0);
  ASSERT_EQ(FogAndSmokePass(reciprocal.band, fog), 0);
  fog.perspective = false;
  ASSERT_EQ(FogAndSmokePass(orthographic.band, fog), 0);
  EXPECT_EQ(reciprocal.colour[0], orthographic.colour[0]);
}

TEST_F(ComposerFrame, BrokenDepthsAndSettingsNeverHangTheMarch) {
  // Every kind of depth a broken object could leave, under the most expensive legal settings.
  project().fogSmoke = {kNaN, kInf, kInf, -kInf, kInf, kNaN, kInf};
  project().smokeDetail = 10;
  FogAndSmoke fog = FogAndSmokeOfProject(project(), false);
  fog.smokeStrength = 100;
  fog.fogStrength = 256;
  for (bool perspective : {false, true}) {
    fog.perspective = perspective;
    for (float depth : {kNaN, kInf, -kInf, 1e30f, -1e30f, -3e38f, 0.0f, -0.0f, 1e-38f}) {
      TestBand band(1, depth, 0xFF336699u);
      ASSERT_EQ(FogAndSmokePass(band.band, fog), 0) << depth;
      for (uint32_t pixel : band.colour) EXPECT_GE(pixel >> 24, 0xFFu) << depth;
    }
  }
}

TEST_F(ComposerFrame, TheFogPassLooksForTheCancelGestureEvery16Rows) {
  FogAndSmoke fog;
  TestBand sixteen(16, -500), more(17, -500);
  QueueCancelGesture();
  EXPECT_EQ(FogAndSmokePass(sixteen.band, fog), 0);  // rows 0..15: never looked
  EXPECT_EQ(FogAndSmokePass(more.band, fog), kFrameCancelled);
  EXPECT_TRUE(input.queue.empty());
}

// Whole frames of flat squares facing a straight camera.
class ComposerFrameScene : public ComposerFrame {
 protected:
  void SetUp() override {
    ComposerFrame::SetUp();
    ObjectView& camera = nativeFiles.project.composerViews[nativeFiles.project.cameraViewIndex];
    camera.angles = {0, 0, 0};
    camera.offset = {0, 0, 0};
    project().backgroundColor = {0x1000, 0x2000, 0x3000};
    project().supersampling = 0;
    renderState.composerBandStored = [this](int first, int rows) { bands.push_back({first, rows}); };
    renderState.loadComposerPicture = [this](const FileSpec& file, ComposerTexture& picture) {
      loaded.push_back(PathOfSpec(file));
      if (failLoads) return kFileNotFound;
      picture.width = picture.height = 2;
      picture.pixels.assign(4, 0xFFFF0000u);
      return kNoError;
    };
  }
  static void SetPictureSize(int width, int height) {
    ComposerPicture& picture = renderState.composerPicture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * size_t(height), 0xDEADBEEFu);
  }
  // A square of side `side` about (x, y) facing the camera, entered into a free slot.
  static SceneObject* AddSquare(float side, float x, float y, const std::string& texture = {}) {
    const float h = side / 2;
    std::unique_ptr<SceneObject> square = NewSceneObject(4, 2);
    if (!square) return nullptr;
    square->points = {{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}};
    MutableTopology(*square)->triangles = {{0, 1, 2}, {0, 2, 3}};
    EXPECT_TRUE(BuildCornerLists(*square));
    square->position = {x, y, 0};
    if (!texture.empty()) square->textureFile = FileSpecForPath(texture, FourCC("BMP "));
    const int slot = FindFreeObjectSlot();
    EXPECT_TRUE(StoreObjectInSlot(slot, std::move(square)));
    return scene.objectTable[size_t(slot)].get();
  }
  static uint32_t At(int x, int y) {
    const ComposerPicture& picture = renderState.composerPicture;
    return picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
  }
  static constexpr uint32_t kBackground = 0x102030;

  std::vector<std::pair<int, int>> bands;
  std::vector<std::string> loaded;
  bool failLoads = false;
};

TEST_F(ComposerFrameScene, BandsAreCutFromTheTopAndStartFromTheBackground) {
  struct Case {
    int height;
    bool supersampled;
    std::vector<std::pair<int, int>> bands;  // picture rows as stored
  };
  const Case cases[] = {
      {800, false, {{0, 400}, {400, 400}}},
      {450, false, {{0, 50}, {50, 400}}},
      {300, false, {{0, 300}}},
      {300, true, {{0, 100}, {100, 100}, {200, 100}}},  // 600 rendered rows in bands of 200
      {1, true, {{0, 1}}},
  };
  for (const Case& c : cases) {
    SetPictureSize(6, c.height);
    project().supersampling = c.supersampled ? 1 : 0;
    bands.clear();
    ASSERT_EQ(RenderComposerFrame(), kFrameRendered) << c.height;
    EXPECT_EQ(bands, c.bands) << c.height;
    // Nothing covers the picture: the background colour everywhere, with alpha 0.
    for (uint32_t pixel : renderState.composerPicture.pixels) ASSERT_EQ(pixel, kBackground) << c.height;
  }
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());
}

TEST_F(ComposerFrameScene, CoveredPixelsAreOpaqueAndSupersampledEdgesBlend) {
  AddSquare(200, -150, 0);  // covers the middle of the left half
  SetPictureSize(80, 60);
  const float scale = renderState.composerPicture.orthographicScale;
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  const uint32_t inside = At(20, 30);
  EXPECT_EQ(inside >> 24, 0xFFu);
  EXPECT_NE(inside & 0xFFFFFF, kBackground);
  EXPECT_EQ(At(70, 30), kBackground);
  // Without supersampling a pixel is either covered or not.
  for (int x = 0; x < 80; ++x) EXPECT_TRUE((At(x, 30) >> 24) == 0 || (At(x, 30) >> 24) == 255) << x;
  int edge = 20;
  while (edge < 80 && At(edge, 30) >> 24 == 255) ++edge;
  ASSERT_GT(edge, 25);
  ASSERT_LT(edge, 60);

  // Supersampled, the edge of the square blends over one or two pixels: a block half covered
  // averages to 127, or the smoothing spreads a whole block's edge to 223 and 31.
  project().supersampling = 1;
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  std::vector<uint32_t> alphas;
  for (int x = 20; x < 80; ++x) {  // the square's right edge
    const uint32_t alpha = At(x, 30) >> 24;
    if (alpha != 0 && alpha != 255) alphas.push_back(alpha);
  }
  EXPECT_TRUE(alphas == std::vector<uint32_t>{127} || alphas == (std::vector<uint32_t>{223, 31}))
      << testing::PrintToString(alphas);
  EXPECT_EQ(At(20, 30) >> 24, 255u);
  EXPECT_EQ(At(75, 30), kBackground);
  EXPECT_EQ(renderState.composerPicture.width, 80);
  EXPECT_EQ(renderState.composerPicture.height, 60);
  EXPECT_EQ(renderState.composerPicture.orthographicScale, scale);
}

TEST_F(ComposerFrameScene, GhostsAreOrderedAndTheirTexturesLoadedButTheyAreNotDrawn) {
  SceneObject* ghost = AddSquare(100, -150, 0, "/t/ghost.bmp");
  ghost->ghostState = kGhosted;
  AddSquare(100, 150, 0);
  AddSquare(100, 150, 200, "/t/shown.bmp");
  SetPictureSize(80, 60);
  project().texturesOn = 1;
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  EXPECT_EQ(loaded, (std::vector<std::string>{"/t/ghost.bmp", "/t/shown.bmp"}));  // once a frame, not a band
  EXPECT_EQ(At(20, 30), kBackground);                                            // the ghost's place
  EXPECT_EQ(At(60, 30) >> 24, 255u);
  EXPECT_EQ(scene.objectTable[0].get(), ghost);  // the first textured object leads

  // Textures off: nothing is loaded, and the textured objects are drawn as if they had none.
  const std::vector<uint32_t> textured = renderState.composerPicture.pixels;
  loaded.clear();
  project().texturesOn = 0;
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  EXPECT_TRUE(loaded.empty());
  const std::vector<uint32_t> untextured = renderState.composerPicture.pixels;
  for (auto& slot : scene.objectTable) {
    if (slot) ClearFileSpec(slot->textureFile);
  }
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  EXPECT_EQ(renderState.composerPicture.pixels, untextured);
  EXPECT_NE(textured, untextured);
}

TEST_F(ComposerFrameScene, FailuresEndTheRenderWithTheirResult) {
  // No picture.
  renderState.composerPicture = ComposerPicture{};
  EXPECT_EQ(RenderComposerFrame(), kFrameNotRendered);

  // No memory for the band.
  SetPictureSize(16, 16);
  scene.failAllocationCountdown = 1;
  EXPECT_EQ(RenderComposerFrame(), kFrameNotRendered);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: Not enough memory for rendering."});
  services.shown.clear();

  // A texture that cannot be had: the loader's status, and only the loader's message (its own).
  scene.failAllocationCountdown = 0;
  AddSquare(100, 0, 0, "/t/missing.bmp");
  project().texturesOn = 1;
  failLoads = true;
  EXPECT_EQ(RenderComposerFrame(), kFileNotFound);
  EXPECT_TRUE(services.Texts(ShownKind::Stop).empty());
  EXPECT_TRUE(bands.empty());

  // The background picture likewise.
  project().texturesOn = 0;
  project().backgroundPictureOn = 1;
  project().quorvelFile = FileSpecForPath("/t/back.bmp", FourCC("BMP "));
  loaded.clear();
  EXPECT_EQ(RenderComposerFrame(), kFileNotFound);
  EXPECT_EQ(loaded, std::vector<std::string>{"/t/back.bmp"});
}

TEST_F(ComposerFrameScene, TheBackgroundPictureIsScaledOverThePicture) {
  renderState.loadComposerPicture = [](const FileSpec&, ComposerTexture& picture) {
    picture.width = 2;
    picture.height = 1;
    picture.pixels = {0xFF0000FFu, 0x0000FF00u};  // blue, green
    return kNoError;
  };
  project().backgroundPictureOn = 1;
  project().quorvelFile = FileSpecForPath("/t/back.bmp", FourCC("BMP "));
  SetPictureSize(6, 3);
  ASSERT_EQ(RenderComposerFrame(), kFrameRendered);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(x, y), x < 3 ? 0x0000FFu : 0x00FF00u) << x << " " << y;
  }
}

TEST_F(ComposerFrameScene, CancellingAfterABandKeepsItAndRestoresNothingThatWasDoubled) {
  AddSquare(300, 0, 0);
  SetPictureSize(400, 300);
  project().supersampling = 1;
  const float scale = renderState.composerPicture.orthographicScale;
  renderState.composerBandStored = [this](int first, int rows) {
    bands.push_back({first, rows});
    QueueCancelGesture();
  };
  EXPECT_EQ(RenderComposerFrame(), kFrameCancelled);
  EXPECT_EQ(bands, (std::vector<std::pair<int, int>>{{0, 100}}));
  EXPECT_EQ(At(200, 50) >> 24, 255u);        // the stored band
  EXPECT_EQ(At(200, 150), kBackground);      // the rest as the render left it: background
  EXPECT_EQ(renderState.composerPicture.width, 400);
  EXPECT_EQ(renderState.composerPicture.height, 300);
  EXPECT_EQ(renderState.composerPicture.orthographicScale, scale);
}

// Passes everything to the scripted services, and makes the cancel gesture at the first advance
// of the progress (the rasteriser's first quarter of an object).
struct CancelAtFirstAdvance final : UserServices {
  explicit CancelAtFirstAdvance(UserServices& inner) : inner(inner) { SetServices(this); }
  ~CancelAtFirstAdvance() override { SetServices(&inner); }
  void ShowStopMessage(std::string_view text) override { inner.ShowStopMessage(text); }
  bool AskMessage(std::string_view text) override { return inner.AskMessage(text); }
  void ShowAlert(std::string_view text) override { inner.ShowAlert(text); }
  int AskChoice(std::string_view text, const std::vector<std::string>& answers) override {
    return inner.AskChoice(text, answers);
  }
  bool ChooseOpenFile(const FileDialogRequest& r, FileChoice& c) override { return inner.ChooseOpenFile(r, c); }
  bool ChooseSaveFile(const FileDialogRequest& r, FileChoice& c) override { return inner.ChooseSaveFile(r, c); }
  bool ChooseColor(Rgb16 initial, Rgb16& chosen) override { return inner.ChooseColor(initial, chosen); }
  void ShowProgress(std::string_view text, int top) override { inner.ShowProgress(text, top); }
  void AdvanceProgress(int value, int top) override {
    inner.AdvanceProgress(value, top);
    if (advances++ == 0) QueueCancelGesture();
  }
  void HideProgress() override { inner.HideProgress(); }
  UserServices& inner;
  int advances = 0;
};

TEST_F(ComposerFrameScene, TheCancelGestureStopsAnObjectBetweenItsGroupsOfTriangles) {
  AddSquare(300, 0, 0);
  AddSquare(100, 100, 0);
  SetPictureSize(40, 30);
  {
    CancelAtFirstAdvance cancelling(services);
    EXPECT_EQ(RenderComposerFrame(), kFrameCancelled);
    // The first quarter of the first object, and not one triangle group more.
    EXPECT_EQ(cancelling.advances, 1);
  }
  EXPECT_TRUE(bands.empty());
  EXPECT_FALSE(services.progressVisible);
  EXPECT_TRUE(input.queue.empty());
}

}  // namespace
}  // namespace tsv
