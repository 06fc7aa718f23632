// The texture picture of an object file being opened: found where the file says, found by name in
// the project's "Textures" folder tree, chosen by the user, or dropped with one message naming it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/bmp_picture.h"
#include "formats/object_texture.h"
#include "scene/object_file.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

const std::vector<uint32_t> kSkin = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF000000};

class ObjectTexture : public test::NativeFilesFixture {
 protected:
  void SetUp() override {
    NativeFilesFixture::SetUp();
    nativeFiles.loadTexturePicture = LoadObjectTexturePicture;
    std::filesystem::create_directories(dir / "Project/Textures/sub");
    nativeFiles.project.projectFile = Spec(Path("Project/Rocks.cma"), kProjectFileType);
    nativeFiles.project.texturesFolder = Spec(Path("Project/Textures"), 0);
  }

  void WriteSkin(const std::string& name) {
    std::vector<uint8_t> bmp;
    ASSERT_EQ(EncodeBmp(kSkin, PixelRect{0, 0, 2, 3}, 12, bmp), kNoError);
    test::WriteFileBytes(Path(name), bmp);
  }

  // Saves a square whose texture is the picture at `texture`, and opens the file again.
  std::unique_ptr<SceneObject> SaveAndOpen(const std::string& texture) {
    auto object = test::MakeSquare("Rock");
    object->textureFile = Spec(texture, FileTypeFromName(texture));
    object->textureKind = kTextureKindPicture;
    object->textureOffset = {3, 4};
    EXPECT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
    return ReadObjectFile(Spec(Path("Rock.cmf"), kObjectFileType));
  }

  static void ExpectSkin(const SceneObject& o, const std::string& path) {
    EXPECT_EQ(PathOfSpec(o.textureFile), path);
    EXPECT_EQ(o.textureKind, kTextureKindPicture);
    EXPECT_EQ(o.textureImage, kSkin);
    EXPECT_EQ(o.textureImageSize, (std::array<uint16_t, 2>{3, 2}));
  }
};

TEST_F(ObjectTexture, AMissingTextureIsFoundInTheTexturesFolderTreeBeforeAnyoneIsAsked) {
  WriteSkin("Project/Textures/sub/skin.bmp");
  auto opened = SaveAndOpen(Path("moved-away/skin.bmp"));
  ASSERT_TRUE(opened);
  ExpectSkin(*opened, Path("Project/Textures/sub/skin.bmp"));
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(Stops().empty());

  // A file written on Windows names its texture by a drive path; the name alone is looked for.
  opened = SaveAndOpen("C:\\Work\\Textures\\skin.bmp");
  ASSERT_TRUE(opened);
  ExpectSkin(*opened, Path("Project/Textures/sub/skin.bmp"));
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(Stops().empty());

  // Without a "Textures" folder the project file's folder is searched.
  std::filesystem::rename(Path("Project/Textures/sub/skin.bmp"), Path("Project/skin.bmp"));
  ClearFileSpec(nativeFiles.project.texturesFolder);
  opened = SaveAndOpen(Path("moved-away/skin.bmp"));
  ASSERT_TRUE(opened);
  ExpectSkin(*opened, Path("Project/skin.bmp"));
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(Stops().empty());
}

TEST_F(ObjectTexture, ATextureFoundNowhereIsAskedForThenDroppedWithOneMessageNamingIt) {
  WriteSkin("elsewhere/skin.bmp");  // not below the project, so only the user can find it
  services.openAnswers.push_back(std::nullopt);
  auto opened = SaveAndOpen(Path("moved-away/skin.bmp"));
  ASSERT_TRUE(opened);
  EXPECT_FALSE(IsFileSpecSet(opened->textureFile));
  EXPECT_EQ(opened->textureKind, 0);
  EXPECT_EQ(opened->textureOffset, (std::array<uint16_t, 2>{0, 0}));
  EXPECT_TRUE(opened->textureImage.empty());
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].title, "Find Picture skin.bmp");
  EXPECT_EQ(Stops(), std::vector<std::string>{
                         "Error: The texture picture \"skin.bmp\" was not found; the object opens without it."});

  // The user's choice is taken instead.
  services.shown.clear();
  services.openAnswers.push_back(FileChoice{Path("elsewhere/skin.bmp"), 1});
  opened = SaveAndOpen(Path("moved-away/skin.bmp"));
  ASSERT_TRUE(opened);
  ExpectSkin(*opened, Path("elsewhere/skin.bmp"));
  EXPECT_TRUE(Stops().empty());
}

TEST_F(ObjectTexture, ADamagedTextureShowsTheLoadersMessageOnceAndIsDropped) {
  test::WriteFileText(Path("Project/Textures/skin.bmp"), "BMshort");
  auto opened = SaveAndOpen(Path("Project/Textures/skin.bmp"));
  ASSERT_TRUE(opened);
  EXPECT_FALSE(IsFileSpecSet(opened->textureFile));
  EXPECT_TRUE(opened->textureImage.empty());
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Couldn't load picture."});
}

}  // namespace
}  // namespace tsv
