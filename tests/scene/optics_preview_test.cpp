// The optics file and clipboard, and the object preview file with the open dialog's preview pane.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scene/object_file.h"
#include "scene/optics_file.h"
#include "scene/preview_file.h"
#include "scene/shade_ramp.h"
#include "scene/topology.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

using test::Bytes;
using test::MakeSquare;

using OpticsAndPreview = test::NativeFilesFixture;

Optics SampleOptics() {
  return OpticsFromWords({1, 10, 20, 30, 0, 1, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000, 0x7000,
                          0x8000, 0x9000});
}

TEST_F(OpticsAndPreview, OpticsFileHoldsFifteenWordsAndLeavesPaintAndShadowsAlone) {
  auto source = MakeSquare("Source");
  source->optics = SampleOptics();
  services.saveAnswers.push_back(FileChoice{Path("Shiny"), 1});
  ASSERT_TRUE(SaveOptics(*source));
  EXPECT_EQ(services.fileRequests[0].proposedName, ".cmo");
  EXPECT_EQ(services.fileRequests[0].types, std::vector<uint32_t>{kOpticsFileType});
  Bytes expected;
  for (uint16_t w : {10, 20, 30, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000, 0x7000, 0x8000, 0x9000}) {
    expected.U16(w);
  }
  EXPECT_EQ(test::ReadFileBytes(Path("Shiny.cmo")), expected.data);

  auto target = MakeSquare("Target");
  target->optics.isPainted = 1;
  target->optics.castsShadow = 0;
  target->optics.receivesShadow = 1;
  const std::vector<uint32_t> rampBefore = target->shadeRamp;
  services.openAnswers.push_back(FileChoice{Path("Shiny.cmo"), 1});
  ASSERT_TRUE(OpenOptics(*target));
  const OpticsWordArray words = OpticsWords(target->optics);
  EXPECT_EQ(words, (OpticsWordArray{1, 10, 20, 30, 0, 1, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000,
                                    0x6000, 0x7000, 0x8000, 0x9000}));
  EXPECT_EQ(target->optics.castsShadow, 0);
  EXPECT_NE(target->shadeRamp, rampBefore);
  EXPECT_EQ(target->hasUnsavedChanges, 1);
  EXPECT_TRUE(Stops().empty());
}

TEST_F(OpticsAndPreview, AnOpticsFileThatCannotBeReadChangesNothingAndSaysNothing) {
  auto object = MakeSquare();
  const OpticsWordArray before = OpticsWords(object->optics);
  test::WriteFileBytes(Path("short.cmo"), std::vector<uint8_t>(29, 1));
  services.openAnswers.push_back(std::nullopt);
  services.openAnswers.push_back(FileChoice{Path("short.cmo"), 1});
  EXPECT_FALSE(OpenOptics(*object));
  EXPECT_FALSE(OpenOptics(*object));
  EXPECT_EQ(OpticsWords(object->optics), before);
  EXPECT_EQ(object->hasUnsavedChanges, 0);
  EXPECT_TRUE(services.shown.empty());
  // A cancelled save writes nothing.
  EXPECT_FALSE(SaveOptics(*object));
  EXPECT_TRUE(HiddenFiles(dir.str()).empty());
}

TEST_F(OpticsAndPreview, ClipboardCopiesTheMaterialButNotPaintOrShadows) {
  auto source = MakeSquare("Source");
  auto target = MakeSquare("Target");
  const OpticsWordArray before = OpticsWords(target->optics);
  EXPECT_FALSE(PasteOptics(*target));  // nothing copied yet
  EXPECT_EQ(OpticsWords(target->optics), before);

  source->optics = SampleOptics();
  CopyOptics(*source);
  source->optics.shininess = 99;  // the clipboard holds its own copy
  target->optics.isPainted = 0;
  target->optics.receivesShadow = 0;
  ASSERT_TRUE(PasteOptics(*target));
  EXPECT_EQ(target->optics.shininess, 10);
  EXPECT_EQ(target->optics.ambientColor.blue, 0x9000);
  EXPECT_EQ(target->optics.isPainted, 0);
  EXPECT_EQ(target->optics.receivesShadow, 0);
  EXPECT_EQ(target->hasUnsavedChanges, 1);
  // The ramp follows the new material.
  const std::vector<uint32_t> pasted = target->shadeRamp;
  target->optics = SampleOptics();
  target->optics.isPainted = 0;
  target->optics.receivesShadow = 0;
  BuildShadeRamp(*target);
  EXPECT_EQ(target->shadeRamp, pasted);
}

TEST_F(OpticsAndPreview, PreviewFileLayout) {
  auto object = MakeSquare("Rock");
  object->isFastSynthetic = 1;
  object->optics.isPainted = 0xFFFF;  // sign-extended from 16 bits
  object->textureImage.assign(4, 0);
  std::strcpy(object->description.data(), "Granite");
  object->preview.assign(100 * 100, 0);
  object->preview[0] = 0xFF112233;           // top-left; the top byte is not kept
  object->preview[99 * 100 + 1] = 0x00445566;  // bottom row, second pixel
  std::array<uint8_t, kPreviewFileSize> image{};
  StorePreviewFile(PreviewFactsOf(*object), image);

  auto u32 = [&](size_t at) { return uint32_t(image[at] | image[at + 1] << 8 | image[at + 2] << 16 | image[at + 3] << 24); };
  EXPECT_EQ(u32(0), 2u);
  EXPECT_EQ(u32(4), 2u);   // triangles
  EXPECT_EQ(u32(8), 4u);   // points
  EXPECT_EQ(u32(12), 1u);  // texture loaded
  EXPECT_EQ(u32(16), 0xFFFFFFFFu);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[20])), "Granite");
  EXPECT_EQ(u32(1044), 40u);
  EXPECT_EQ(u32(1048), 100u);
  EXPECT_EQ(u32(1052), 100u);
  EXPECT_EQ(image[1056] | image[1057] << 8, 1);   // planes
  EXPECT_EQ(image[1058] | image[1059] << 8, 32);  // bits per pixel
  for (size_t at = 1060; at < 1084; ++at) EXPECT_EQ(image[at], 0) << at;
  // Bottom row first: the file's first pixel row is the picture's last.
  EXPECT_EQ(u32(1084 + 4), 0x00445566u);
  EXPECT_EQ(u32(1084 + 99 * 400), 0x00112233u);

  PreviewFacts facts;
  ASSERT_TRUE(LoadPreviewFile(image, facts));
  EXPECT_EQ(facts.pixels[0], 0x00112233u);
  EXPECT_EQ(facts.pixels[99 * 100 + 1], 0x00445566u);
  image[1048] = 99;
  EXPECT_FALSE(LoadPreviewFile(image, facts));
}

// A preview whose facts no object can have is damaged and refused, so the pane shows nothing
// rather than nonsense; the sound facts at the limits still load.
TEST_F(OpticsAndPreview, PreviewWithImpossibleFactsIsRefused) {
  struct Case {
    const char* name;
    uint32_t typeFlags, triangles, points;
    bool loads;
  };
  const Case cases[] = {
      {"synthetic at the limits", 0, uint32_t(kMaxMeshTriangles), uint32_t(kMaxMeshPoints), true},
      {"organic", kPreviewOrganic | kPreviewFastSynthetic, 16384, 8194, true},
      {"unknown kind", 4, 2, 4, false},
      {"triangles beyond the limit", 0, uint32_t(kMaxMeshTriangles) + 1, 4, false},
      {"negative triangles", 0, 0xFFFFFF7Fu, 4, false},
      {"points beyond the limit", kPreviewFastSynthetic, 2, uint32_t(kMaxMeshPoints) + 1, false},
      {"organic with other counts", kPreviewOrganic, 2, 4, false},
  };
  auto object = MakeSquare("Rock");
  std::array<uint8_t, kPreviewFileSize> image{};
  StorePreviewFile(PreviewFactsOf(*object), image);
  for (const Case& c : cases) {
    auto store = [&](size_t at, uint32_t value) {
      for (int i = 0; i < 4; ++i) image[at + size_t(i)] = uint8_t(value >> (8 * i));
    };
    store(0, c.typeFlags);
    store(4, c.triangles);
    store(8, c.points);
    PreviewFacts facts;
    EXPECT_EQ(LoadPreviewFile(image, facts), c.loads) << c.name;
    if (c.loads) {
      EXPECT_EQ(facts.pointCount, c.points) << c.name;
    }
  }
}

TEST_F(OpticsAndPreview, SavingAnObjectWritesItsPreviewAndThePaneReadsIt) {
  auto organic = NewOrganicSceneObject();
  ASSERT_TRUE(organic);
  std::strcpy(organic->description.data(), "Round");
  ASSERT_TRUE(SaveObjectToFile(*organic, Spec(Path("Rock.cmf"), kObjectFileType)));
  const std::vector<uint8_t> file = test::ReadFileBytes(Path("Rock.cif"));
  ASSERT_EQ(file.size(), 41084u);
  // Organic (1), and fast synthetic (2) as every organic object is.
  EXPECT_EQ(file[0] & 1, 1);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4), (std::vector<uint8_t>{3, 0, 0, 0}));

  const PreviewPane pane = PreviewPaneForObjectFile(Path("Rock.cmf"));
  ASSERT_TRUE(pane.available);
  EXPECT_EQ(pane.typeText, "Organic");
  EXPECT_EQ(pane.triangleCountText, "16384");
  EXPECT_EQ(pane.pointCountText, "8194");
  EXPECT_EQ(pane.textureText, "No");
  EXPECT_EQ(pane.paintedText, "No");
  EXPECT_EQ(pane.description, "Round");
  EXPECT_EQ(pane.pixels, organic->preview);

  auto square = MakeSquare();
  const PreviewPane direct = PreviewPaneForObject(*square);
  EXPECT_EQ(direct.typeText, "Synthetic");
  EXPECT_EQ(direct.pointCountText, "4");
  square->isFastSynthetic = 1;
  EXPECT_EQ(PreviewPaneForObject(*square).typeText, "Fast Synthetic");

  // An object file without a preview opens normally; its pane is empty.
  std::filesystem::remove(Path("Rock.cif"));
  EXPECT_FALSE(PreviewPaneForObjectFile(Path("Rock.cmf")).available);
  EXPECT_TRUE(PreviewPaneForObjectFile(Path("Rock.cmf")).typeText.empty());
  EXPECT_TRUE(ReadObjectFile(Spec(Path("Rock.cmf"), kObjectFileType)));
  test::WriteFileBytes(Path("Rock.cif"), std::vector<uint8_t>(41083, 0));
  EXPECT_FALSE(PreviewPaneForObjectFile(Path("Rock.cmf")).available);
}

}  // namespace
}  // namespace tsv
