// Resource files: naming, messages, byte order and row order.
#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "platform/platform_state.h"
#include "platform/resources.h"
#include "platform/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = dir.str();
  }
  void TearDown() override { test::ResetAllState(); }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(Resources, FileNamesHaveFourDigitIds) {
  EXPECT_EQ(ResourceFilePath(ResourceKind::Data, 7), dir / "Resource/english/res0007");
  EXPECT_EQ(ResourceFilePath(ResourceKind::Data, 3004), dir / "Resource/english/res3004");
  EXPECT_EQ(ResourceFilePath(ResourceKind::Text, 128), dir / "Resource/english/Text/res0128");
}

TEST_F(Resources, LoadingDataResource7OpensRes0007) {
  test::WriteFileBytes(dir / "Resource/english/res0007", {1, 2, 3, 4, 5});
  auto bytes = LoadResourceFile(ResourceKind::Data, 7);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));  // not a word table: untouched
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(Resources, MissingAndShortResourcesAreReported) {
  EXPECT_FALSE(LoadResourceFile(ResourceKind::Data, 3004));
  EXPECT_FALSE(LoadResourceFile(ResourceKind::Text, 130));
  test::WriteFileBytes(dir / "Resource/english/res0200", {0, 0, 0, 1});
  EXPECT_FALSE(LoadResourceFile(ResourceKind::Data, 200, 8194 * 12));
  test::WriteFileBytes(dir / "Resource/english/res0800", std::vector<uint8_t>(84 * 14 * 4 - 1));
  EXPECT_FALSE(LoadResourceFile(ResourceKind::Data, 800));
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            (std::vector<std::string>{"Can't find data resource 3004", "Can't find text resource 130",
                                      "Error reading resource 200", "Error reading resource 800"}));
}

TEST_F(Resources, WordTablesComeBackInMachineOrder) {
  // Width of the pictures among the word tables; the others are plain tables.
  auto pictureWidth = [](int id) { return id == 1024 ? 400 : id >= 620 && id <= 625 ? 148 : id == 514 ? 152 : id == 515 ? 42 : 0; };
  auto pictureHeight = [](int id) { return id == 1024 ? 363 : id >= 620 && id <= 625 ? 148 : id == 514 ? 15 : id == 515 ? 88 : 0; };
  for (int id : {130, 200, 204, 501, 513, 514, 515, 620, 625, 1024, 3000, 3004, 3005}) {
    size_t size = pictureWidth(id) ? size_t(pictureWidth(id) * pictureHeight(id) * 4) : 8;
    std::vector<uint8_t> bytes(size, 0);
    StoreU32BE(bytes.data(), 0x11223344);
    char name[16];
    std::snprintf(name, sizeof name, "res%04d", id);
    test::WriteFileBytes(dir / ("Resource/english/" + std::string(name)), bytes);
    auto loaded = LoadResourceFile(ResourceKind::Data, id);
    ASSERT_TRUE(loaded) << id;
    // Pictures are also turned upside down, so their first word ends up in the last row.
    size_t rowWords = size_t(pictureWidth(id));
    size_t index = rowWords ? loaded->size() / 4 - rowWords : 0;
    EXPECT_EQ(ResourceWord(*loaded, index), 0x11223344u) << id;
  }
  test::WriteFileBytes(dir / "Resource/english/res0300", {0x11, 0x22, 0x33, 0x44});
  EXPECT_EQ(ResourceWord(*LoadResourceFile(ResourceKind::Data, 300), 0), LoadU32LE((const uint8_t*)"\x11\x22\x33\x44"));
}

TEST_F(Resources, BottomUpPicturesAreTurnedTopDown) {
  const int width = 84, height = 14;
  std::vector<uint8_t> bytes(size_t(width * height * 4));
  for (int row = 0; row < height; ++row) bytes[size_t(row * width * 4)] = uint8_t(row);
  test::WriteFileBytes(dir / "Resource/english/res0800", bytes);
  auto loaded = LoadResourceFile(ResourceKind::Data, 800);
  ASSERT_TRUE(loaded);
  for (int row = 0; row < height; ++row) EXPECT_EQ((*loaded)[size_t(row * width * 4)], height - 1 - row);
}

TEST(ShippedResources, TheBuildWritesTheOrganicDataBesideTheProgram) {
  ScriptedServices services;
  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  auto topology = LoadResourceFile(ResourceKind::Data, 3004, 16384 * 12);
  ASSERT_TRUE(topology);
  EXPECT_EQ(topology->size(), 16384u * 12);
  for (size_t i = 0; i < 16384 * 3; ++i) ASSERT_LT(ResourceWord(*topology, i), 8194u);
  for (int id = 200; id <= 204; ++id) {
    auto shape = LoadResourceFile(ResourceKind::Data, id, 8194 * 12);
    ASSERT_TRUE(shape) << id;
    EXPECT_EQ(shape->size(), 8194u * 12);
    for (size_t i = 0; i < 8194 * 3; ++i) {
      float v = ResourceFloat(*shape, i);
      ASSERT_TRUE(v >= -128.001f && v <= 128.001f) << id << " " << i << " " << v;
    }
  }
  EXPECT_TRUE(services.shown.empty());
  ResetPlatformState();
}

}  // namespace
}  // namespace tsv
