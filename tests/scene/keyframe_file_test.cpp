// Keyframe slot files: the record image's layout and its range holding, a slot stored and read
// back field by field, damaged slot files refused, the slot names, and staged slots adopted.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/platform_state.h"
#include "scene/keyframe_file.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

using namespace record_offset;

class KeyframeFile : public test::NativeFilesFixture {
 protected:
  void SetUp() override {
    NativeFilesFixture::SetUp();
    platform.tempFolder = scratch.str();
  }
  test::TempDir scratch;
};

// A square whose every record field differs from its default and from the other fields.
std::unique_ptr<SceneObject> BusySquare() {
  std::unique_ptr<SceneObject> object = test::MakeSquare("Busy");
  SceneObject& o = *object;
  o.signature = FourCC("CMF ");
  o.version = 101;
  o.fileSpec = FileSpecForPath("/objects/Busy.cmf", FourCC("CMF "));
  std::strcpy(o.description.data(), "a busy square");
  o.headerFlagA = 7;
  o.headerFlagB = 8;
  o.ghostState = 1;
  o.hasUnsavedChanges = 1;
  o.snapPoints[0] = 3;
  o.snapPoints[1] = 1;
  o.importScale = 0.25f;
  o.currentView = 4;
  for (int v = 0; v < kObjectViewCount; ++v) {
    ObjectView& view = o.views[size_t(v)];
    view.centerY = uint16_t(100 + v);
    view.centerX = uint16_t(150 + v);
    view.zoom = 1.5f + float(v);
    view.mode = uint16_t(v % 2);
    view.angles = {0.1f * float(v), 0.2f, 0.3f};
    view.offset = {1.0f, 2.0f, float(v)};
  }
  o.scale = 2.5f;
  o.position = {1, -2, 3};
  o.rotation = {0.5f, -0.25f, 0.125f};
  o.depthMax = 40;
  o.depthMin = -12;
  o.optics = OpticsFromWords({1, 10, 20, 30, 0, 1, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000,
                              0x7000, 0x8000, 0x9000});
  o.textureFile = FileSpecForPath("/pictures/wood.bmp", FourCC("BMP "));
  o.textureUsesAlpha = 3;
  o.textureBump = 44;
  o.textureFlags = 2;
  o.textureZoom = 1.75f;
  o.textureParams = {1, 2, 3, 4, 5};
  o.textureKind = 6;
  o.textureImageSize = {64, 32};
  o.textureOffset = {9, 10};
  o.textureDepth = {4, 0};
  o.textureError = 11;
  o.backendTextureA = 12;
  o.backendTextureB = 13;
  o.dirtyFlags = 5;
  return object;
}

// Every record field that is not an array.
void ExpectSameRecord(const SceneObject& a, const SceneObject& b) {
  EXPECT_EQ(a.signature, b.signature);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(PathOfSpec(a.fileSpec), PathOfSpec(b.fileSpec));
  EXPECT_EQ(a.fileSpec.typeCount, b.fileSpec.typeCount);
  EXPECT_EQ(a.fileSpec.fileTypes[0], b.fileSpec.fileTypes[0]);
  EXPECT_EQ(CountedToText(a.name), CountedToText(b.name));
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.headerFlagA, b.headerFlagA);
  EXPECT_EQ(a.headerFlagB, b.headerFlagB);
  EXPECT_EQ(a.isOrganic, b.isOrganic);
  EXPECT_EQ(a.isFastSynthetic, b.isFastSynthetic);
  EXPECT_EQ(a.ghostState, b.ghostState);
  EXPECT_EQ(a.hasUnsavedChanges, b.hasUnsavedChanges);
  EXPECT_EQ(a.snapPoints, b.snapPoints);
  EXPECT_EQ(a.pointCount, b.pointCount);
  EXPECT_EQ(a.triangleCount, b.triangleCount);
  EXPECT_EQ(a.importScale, b.importScale);
  EXPECT_EQ(a.currentView, b.currentView);
  for (size_t v = 0; v < kObjectViewCount; ++v) {
    EXPECT_EQ(a.views[v].centerY, b.views[v].centerY) << v;
    EXPECT_EQ(a.views[v].centerX, b.views[v].centerX) << v;
    EXPECT_EQ(a.views[v].zoom, b.views[v].zoom) << v;
    EXPECT_EQ(a.views[v].mode, b.views[v].mode) << v;
    EXPECT_EQ(a.views[v].angles, b.views[v].angles) << v;
    EXPECT_EQ(a.views[v].offset, b.views[v].offset) << v;
  }
  EXPECT_EQ(a.scale, b.scale);
  EXPECT_EQ(a.position, b.position);
  EXPECT_EQ(a.rotation, b.rotation);
  EXPECT_EQ(a.depthMax, b.depthMax);
  EXPECT_EQ(a.depthMin, b.depthMin);
  EXPECT_EQ(OpticsWords(a.optics), OpticsWords(b.optics));
  EXPECT_EQ(PathOfSpec(a.textureFile), PathOfSpec(b.textureFile));
  EXPECT_EQ(a.textureUsesAlpha, b.textureUsesAlpha);
  EXPECT_EQ(a.textureBump, b.textureBump);
  EXPECT_EQ(a.textureFlags, b.textureFlags);
  EXPECT_EQ(a.textureZoom, b.textureZoom);
  EXPECT_EQ(a.textureParams, b.textureParams);
  EXPECT_EQ(a.textureKind, b.textureKind);
  EXPECT_EQ(a.textureImageSize, b.textureImageSize);
  EXPECT_EQ(a.textureOffset, b.textureOffset);
  EXPECT_EQ(a.textureDepth, b.textureDepth);
  EXPECT_EQ(a.textureError, b.textureError);
  EXPECT_EQ(a.backendTextureA, b.backendTextureA);
  EXPECT_EQ(a.backendTextureB, b.backendTextureB);
  EXPECT_EQ(a.dirtyFlags, b.dirtyFlags);
}

TEST_F(KeyframeFile, RecordImageLayout) {
  auto object = BusySquare();
  std::array<uint8_t, kObjectRecordImageSize> image;
  image.fill(0xEE);
  StoreObjectRecordImage(*object, image);
  const uint8_t* p = image.data();
  EXPECT_EQ(LoadU32BE(p + kAtSignature), FourCC("CMF "));
  EXPECT_EQ(p[kAtName], 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + kAtName + 1), 4), "Busy");
  EXPECT_STREQ(reinterpret_cast<const char*>(p + kAtDescription), "a busy square");
  EXPECT_EQ(LoadU16BE(p + kAtHeaderFlagA), 7);
  EXPECT_EQ(LoadU32BE(p + kAtSnapPoints + 4), 1u);
  EXPECT_EQ(LoadU32BE(p + kAtSnapPoints + 8), 0xFFFFFFFFu);
  EXPECT_EQ(LoadU32BE(p + kAtPointCount), 4u);
  EXPECT_EQ(LoadU32BE(p + kAtTriangleCount), 2u);
  EXPECT_EQ(LoadU16BE(p + kAtCurrentView), 4);
  // View 1: centerY, centerX, zoom, mode, two padding bytes, then the angles.
  EXPECT_EQ(LoadU16BE(p + kAtViews + kViewBytes), 101);
  EXPECT_EQ(LoadU16BE(p + kAtViews + kViewBytes + 2), 151);
  EXPECT_EQ(LoadF32BE(p + kAtViews + kViewBytes + 4), 2.5f);
  EXPECT_EQ(LoadF32BE(p + kAtViews + kViewBytes + 12), 0.1f);
  EXPECT_EQ(LoadF32BE(p + kAtScale), 2.5f);
  EXPECT_EQ(LoadF32BE(p + kAtPosition + 4), -2.0f);
  EXPECT_EQ(LoadF32BE(p + kAtRotation + 8), 0.125f);
  EXPECT_EQ(LoadU16BE(p + kAtOptics + 2), 10);  // shininess
  EXPECT_EQ(LoadU16BE(p + kAtOptics + 34), 0x9000);
  EXPECT_EQ(LoadU16BE(p + kAtTextureBump), 44);
  EXPECT_EQ(LoadF32BE(p + kAtTextureZoom), 1.75f);
  EXPECT_EQ(LoadU16BE(p + kAtTextureParams + 8), 5);
  EXPECT_EQ(LoadU32BE(p + kAtBackendTextureB), 13u);
  EXPECT_EQ(LoadU16BE(p + kAtDirtyFlags), 5);
  // Handles, padding and the tail are zero whatever the buffer held before.
  for (size_t at : {kAtArrayHandles, kAtArrayHandles + 40, kAtCurrentView + 2, kAtTextureFlags + 2,
                    kAtPictureHandles, kAtPointMaskHandle, kFieldsEnd}) {
    EXPECT_EQ(LoadU16BE(p + at), 0) << at;
  }
  for (size_t at = kFieldsEnd; at < kObjectRecordImageSize; ++at) EXPECT_EQ(p[at], 0) << at;
}

TEST_F(KeyframeFile, SlotStoresAndReadsBackEveryField) {
  auto object = BusySquare();
  ProjectRecord sceneRecord = DefaultProjectRecord();
  sceneRecord.fogSmoke.smokeDensity = 0.75f;
  sceneRecord.fogColor = {1, 2, 3};
  sceneRecord.lightAngles = {0.5f, 0.25f, -1.0f};
  ASSERT_EQ(WriteKeyframeSlot(3, *object, sceneRecord), kNoError);

  const std::vector<uint8_t> bytes = test::ReadFileBytes(KeyframeSlotPath(3));
  ASSERT_EQ(bytes.size(), KeyframeFileSize(4, 2));
  // The counts big-endian, the arrays as they lie in memory.
  EXPECT_EQ(LoadU32BE(bytes.data()), 4u);
  EXPECT_EQ(LoadU32BE(bytes.data() + 4), 2u);
  float z;
  std::memcpy(&z, bytes.data() + 8 + 3 * 12 + 8, 4);
  EXPECT_EQ(z, 0.5f);
  uint32_t corner;
  std::memcpy(&corner, bytes.data() + 8 + 23 * 4 + 12 + 8, 4);
  EXPECT_EQ(corner, 3u);

  KeyframeShape shape;
  ASSERT_EQ(ReadKeyframeSlot(3, shape), kNoError);
  EXPECT_EQ(shape.pointCount, 4u);
  EXPECT_EQ(shape.triangleCount, 2u);
  EXPECT_EQ(shape.points, object->points);
  EXPECT_EQ(shape.pointUV, object->pointUV);
  EXPECT_EQ(shape.pointColors, object->pointColors);
  EXPECT_EQ(shape.triangles, (std::vector<Triangle>{{0, 1, 2}, {0, 2, 3}}));
  ExpectSameRecord(shape.record, *object);
  EXPECT_TRUE(shape.record.points.empty());
  EXPECT_EQ(shape.scene.fogSmoke.smokeDensity, 0.75f);
  EXPECT_EQ(shape.scene.fogColor.blue, 3);
  EXPECT_EQ(shape.scene.lightAngles, sceneRecord.lightAngles);
  EXPECT_EQ(CountedToText(shape.scene.projectName), CountedToText(sceneRecord.projectName));

  uint32_t points = 0, triangles = 0;
  EXPECT_EQ(ReadKeyframeCounts(3, points, triangles), kNoError);
  EXPECT_EQ(points, 4u);
  EXPECT_EQ(triangles, 2u);
  // The record copy keeps the same fields without the arrays.
  const SceneObject copy = ObjectRecordFields(*object);
  ExpectSameRecord(copy, *object);
  EXPECT_TRUE(copy.pointColors.empty());
}

TEST_F(KeyframeFile, LoadHoldsValuesToTheirRanges) {
  auto object = BusySquare();
  std::array<uint8_t, kObjectRecordImageSize> image;
  StoreObjectRecordImage(*object, image);
  uint8_t* p = image.data();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  StoreU16BE(p + kAtTextureBump, 300);
  StoreU16BE(p + kAtTextureParams + 4, 0xFFFF);
  StoreU16BE(p + kAtOptics + 2, 1000);       // shininess
  StoreU16BE(p + kAtOptics + 18, 0xFFFF);    // a colour word has the whole range
  StoreU16BE(p + kAtCurrentView, 9);
  StoreF32BE(p + kAtScale, nan);
  StoreF32BE(p + kAtPosition, inf);
  StoreF32BE(p + kAtViews + 4, 0.0f);        // view 0 zoom
  StoreF32BE(p + kAtTextureZoom, -inf);
  StoreU16BE(p + kAtDirtyFlags, 0xFFFF);
  StoreU32BE(p + kAtSnapPoints, 4);          // beyond the four points
  StoreU32BE(p + kAtSnapPoints + 4, 2);
  StoreU32BE(p + kAtSnapPoints + 8, 0x80000000u);
  std::memset(p + kAtDescription, 'x', kDescriptionSize);
  StoreU16BE(p + kAtFileSpec + 264, 99);     // type count
  StoreU16BE(p + kAtIsOrganic, 1);
  StoreU32BE(p + kAtPointCount, 99);

  SceneObject& o = *object;
  LoadObjectRecordImage(image, o);
  EXPECT_EQ(o.textureBump, 256);
  EXPECT_EQ(o.textureParams[2], 256);
  EXPECT_EQ(o.optics.shininess, 256);
  EXPECT_EQ(o.optics.specularColor.red, 0xFFFF);
  EXPECT_EQ(o.currentView, 0);
  EXPECT_EQ(o.scale, 1.0f);
  EXPECT_EQ(o.position.x, 0.0f);
  EXPECT_EQ(o.views[0].zoom, 1.0f);
  EXPECT_EQ(o.textureZoom, 1.0f);
  EXPECT_EQ(o.dirtyFlags, kAllDirty);
  EXPECT_EQ(o.snapPoints[0], 2);
  EXPECT_EQ(o.snapPoints[1], -1);
  EXPECT_EQ(o.description[kDescriptionSize - 1], '\0');
  EXPECT_EQ(o.fileSpec.typeCount, kMaxFileTypes);
  // Counts and type flags go with the arrays and the topology: left alone.
  EXPECT_EQ(o.isOrganic, 0);
  EXPECT_EQ(o.pointCount, 4);
}

TEST_F(KeyframeFile, DamagedSlotFilesAreRefused) {
  auto object = BusySquare();
  ASSERT_EQ(WriteKeyframeSlot(0, *object, DefaultProjectRecord()), kNoError);
  const std::string path = KeyframeSlotPath(0);
  const std::vector<uint8_t> whole = test::ReadFileBytes(path);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  auto withCount = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bytes = whole;
    StoreU32BE(bytes.data() + at, value);
    return bytes;
  };
  const std::vector<Case> cases = {
      {"empty", {}},
      {"counts only", std::vector<uint8_t>(whole.begin(), whole.begin() + 8)},
      {"one byte short", std::vector<uint8_t>(whole.begin(), whole.end() - 1)},
      {"one byte over", [&] {
         auto b = whole;
         b.push_back(0);
         return b;
       }()},
      {"point count one more", withCount(0, 5)},
      {"huge point count", withCount(0, 0xFFFFFFFF)},
      {"huge triangle count", withCount(4, 0x7FFFFFFF)},
  };
  for (const Case& c : cases) {
    test::OverwriteFile(path, c.bytes);
    KeyframeShape shape;
    shape.pointCount = 77;
    EXPECT_EQ(ReadKeyframeSlot(0, shape), kReadError) << c.name;
    EXPECT_EQ(shape.pointCount, 77u) << c.name;  // untouched
    uint32_t points = 0, triangles = 0;
    EXPECT_EQ(ReadKeyframeCounts(0, points, triangles), kReadError) << c.name;
  }
  KeyframeShape shape;
  EXPECT_EQ(ReadKeyframeSlot(5, shape), kFileNotFound);
  EXPECT_EQ(ReadKeyframeSlot(9, shape), kFileNotFound);
}

TEST_F(KeyframeFile, SlotsAreNamedFilesOfTheScratchFolder) {
  EXPECT_EQ(KeyframeSlotPath(0), scratch / "MorphKF0");
  EXPECT_EQ(KeyframeSlotPath(7), scratch / "MorphKF7");
  EXPECT_EQ(KeyframeSlotPath(kKeyframeBackupSlot), scratch / "MorphObject");
  EXPECT_EQ(KeyframeSlotPath(-1), "");
  EXPECT_EQ(KeyframeSlotPath(9), "");

  auto object = BusySquare();
  EXPECT_FALSE(AnyKeyframeSet());
  ASSERT_EQ(WriteKeyframeSlot(2, *object, DefaultProjectRecord()), kNoError);
  ASSERT_EQ(WriteKeyframeSlot(kKeyframeBackupSlot, *object, DefaultProjectRecord()), kNoError);
  EXPECT_TRUE(KeyframeExists(2));
  EXPECT_FALSE(KeyframeExists(3));
  EXPECT_FALSE(KeyframeExists(9));
  EXPECT_TRUE(AnyKeyframeSet());
  DeleteKeyframe(2);
  EXPECT_FALSE(KeyframeExists(2));
  // The backup slot is not a keyframe.
  EXPECT_FALSE(AnyKeyframeSet());
  DeleteAllKeyframes();
  EXPECT_FALSE(KeyframeExists(kKeyframeBackupSlot));
  // Nothing but the slots was ever written there: no temporary is left behind.
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));
}

TEST_F(KeyframeFile, AFailedWriteLeavesNoSlot) {
  auto object = BusySquare();
  object->pointUV.pop_back();  // arrays that disagree with each other
  EXPECT_EQ(WriteKeyframeSlot(1, *object, DefaultProjectRecord()), kWriteError);
  EXPECT_FALSE(KeyframeExists(1));
  platform.tempFolder = scratch / "gone";  // a scratch folder that is not there
  object = BusySquare();
  EXPECT_EQ(WriteKeyframeSlot(1, *object, DefaultProjectRecord()), kWriteError);
  EXPECT_FALSE(KeyframeExists(1));
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));
  EXPECT_TRUE(Stops().empty());  // the caller says what failed
}

TEST_F(KeyframeFile, StagedSlotsReplaceEveryKeyframe) {
  auto object = BusySquare();
  for (int slot : {0, 5, kKeyframeBackupSlot}) ASSERT_EQ(WriteKeyframeSlot(slot, *object, DefaultProjectRecord()), kNoError);
  object->scale = 9;
  for (int slot : {1, 5}) {
    ASSERT_EQ(WriteKeyframeFile(KeyframeStagingPath(slot), object->points, object->pointUV, object->pointColors,
                                Triangles(*object), *object, DefaultProjectRecord()),
              kNoError);
  }
  EXPECT_EQ(KeyframeStagingPath(1), scratch / "MorphKF1.opening");
  std::array<bool, kKeyframeSlotCount> staged{};
  staged[1] = staged[5] = true;
  EXPECT_TRUE(AdoptStagedKeyframes(staged));
  EXPECT_FALSE(KeyframeExists(0));
  EXPECT_TRUE(KeyframeExists(1));
  KeyframeShape shape;
  ASSERT_EQ(ReadKeyframeSlot(5, shape), kNoError);
  EXPECT_EQ(shape.record.scale, 9.0f);
  EXPECT_FALSE(std::filesystem::exists(KeyframeStagingPath(1)));
  // The backup of a running animation is no keyframe: it stays.
  EXPECT_TRUE(KeyframeExists(kKeyframeBackupSlot));

  ASSERT_EQ(WriteKeyframeFile(KeyframeStagingPath(6), object->points, object->pointUV, object->pointColors,
                              Triangles(*object), *object, DefaultProjectRecord()),
            kNoError);
  DeleteStagedKeyframes();
  EXPECT_FALSE(std::filesystem::exists(KeyframeStagingPath(6)));
  EXPECT_TRUE(KeyframeExists(5));
}

}  // namespace
}  // namespace tsv
