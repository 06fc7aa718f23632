// File specs, internal paths and file types.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/file_spec.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

struct PathCase {
  const char* path;
  const char* internal;
  friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.path; }
};

class InternalPath : public testing::TestWithParam<PathCase> {};

TEST_P(InternalPath, ConvertsAndComesBack) {
  const PathCase& c = GetParam();
  CountedString internal;
  ASSERT_TRUE(PathToInternal(c.path, internal));
  EXPECT_EQ(View(internal), c.internal);
  EXPECT_EQ(InternalToPath(internal), c.path);
}

INSTANTIATE_TEST_SUITE_P(Forms, InternalPath,
                         testing::Values(PathCase{"C:\\Work\\Objects\\Rock.cmf", "C:Work:Objects:Rock.cmf"},
                                         PathCase{"D:\\Rock.cmf", "D:Rock.cmf"},
                                         PathCase{"/home/ann/Rock.cmf", ":home:ann:Rock.cmf"},
                                         PathCase{"/Rock.cmf", ":Rock.cmf"}));

TEST(InternalPath, RelativeLinuxPathsBecomeAbsolute) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  CountedString internal;
  ASSERT_TRUE(PathToInternal("sub/Rock.cmf", internal));
  EXPECT_EQ(InternalToPath(internal), std::string(cwd) + "/sub/Rock.cmf");
}

TEST(InternalPath, RefusesWhatCannotComeBackIntact) {
  CountedString internal = TextToCountedString("unchanged");
  EXPECT_FALSE(PathToInternal("/home/ann/a:b.cmf", internal));
  EXPECT_FALSE(PathToInternal("/" + std::string(300, 'x'), internal));
  EXPECT_EQ(View(internal), "unchanged");
}

TEST(InternalPath, FolderAndFileName) {
  EXPECT_EQ(FolderOfPath("C:\\Work\\Rock.cmf"), "C:\\Work");
  EXPECT_EQ(FileNameOfPath("C:\\Work\\Rock.cmf"), "Rock.cmf");
  EXPECT_EQ(FolderOfPath("/home/ann/Rock.cmf"), "/home/ann");
  EXPECT_EQ(FileNameOfPath("/home/ann/Rock.cmf"), "Rock.cmf");
  EXPECT_EQ(FolderOfPath(":home:ann:Rock.cmf"), ":home:ann");
  EXPECT_EQ(FileNameOfPath(":home:ann:Rock.cmf"), "Rock.cmf");
  EXPECT_EQ(FolderOfPath("Rock.cmf"), "");
  EXPECT_EQ(FileNameOfPath("Rock.cmf"), "Rock.cmf");
}

struct TypeCase {
  const char* path;
  uint32_t type;
  friend void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.path; }
};

class FileTypeOfName : public testing::TestWithParam<TypeCase> {
 protected:
  void TearDown() override { test::ResetAllState(); }
};

TEST_P(FileTypeOfName, Matches) {
  platform.chosenFilterType = FourCC("STUD");
  EXPECT_EQ(FileTypeFromName(GetParam().path), GetParam().type) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileTypeOfName,
    testing::Values(TypeCase{"C:\\A\\B.TIF", FourCC("TIFF")}, TypeCase{"C:\\A.B\\C", 0},
                    TypeCase{"/x/Rock.cmf", FourCC("CMF ")}, TypeCase{"/x/Scene.CMA", FourCC("CMA ")},
                    TypeCase{"/x/steps.tsks", FourCC("TSKS")}, TypeCase{"/x/balls.bsph", FourCC("MTBL")},
                    TypeCase{"/x/a.obj", FourCC("WAVF")}, TypeCase{"/x/a.cmsw", FourCC("CMSW")},
                    TypeCase{"/x/a.jpeg", FourCC("JPEG")}, TypeCase{"/x/a.tiff", FourCC("TIFF")},
                    TypeCase{"/x/notadxf", FourCC("STUD")},  // no '.': the chosen filter's type
                    TypeCase{"/x/a.xdxf", 0}, TypeCase{"/x/a.", 0}));

TEST(FileTypes, TableHasTheDialogRowsInOrder) {
  auto table = FileTypeTable();
  ASSERT_EQ(table.size(), 21u);
  EXPECT_STREQ(table[0].extension, "dxf");
  EXPECT_EQ(table[0].type, FourCC("TEXT"));
  EXPECT_EQ(table[4].type, FourCC("CMF "));
  EXPECT_STREQ(table[20].extension, "pct");
  EXPECT_EQ(FindFileType(FourCC("GIFf"))->extension, std::string("gif"));
  EXPECT_EQ(FindFileType(FourCC("ZZZZ")), nullptr);
}

TEST(FileTypes, AddAndRemoveExtension) {
  ScriptedServices services;
  CountedString name = TextToCountedString("Rock");
  EXPECT_TRUE(AddExtension(name, FourCC("CMF ")));
  EXPECT_EQ(View(name), "Rock.cmf");
  name = TextToCountedString("Rock.CMF");
  EXPECT_TRUE(AddExtension(name, FourCC("CMF ")));
  EXPECT_EQ(View(name), "Rock.CMF");
  RemoveExtension(name, FourCC("CMF "));
  EXPECT_EQ(View(name), "Rock");
  RemoveExtension(name, FourCC("CMF "));
  EXPECT_EQ(View(name), "Rock");
  EXPECT_TRUE(services.shown.empty());

  EXPECT_FALSE(AddExtension(name, FourCC("ZZZZ")));
  EXPECT_EQ(View(name), "Rock");
  ASSERT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Unknown file type."});

  CountedString longName = TextToCountedString(std::string(253, 'n'));
  EXPECT_FALSE(AddExtension(longName, FourCC("CMF ")));  // would not fit: the name stays whole
  EXPECT_EQ(longName.length, 253);
}

TEST(FileSpecs, HelpersAndStoredImage) {
  FileSpec spec;
  MakeFileSpec(spec, 3, 0x01020304, TextToCountedString("C:Work:Rock.cmf"), FourCC("CMF "));
  EXPECT_EQ(spec.typeCount, 1);
  EXPECT_TRUE(IsFileSpecSet(spec));
  spec.typeCount = 2;
  spec.fileTypes[1] = FourCC("CMA ");

  uint8_t image[kFileSpecSize];
  StoreFileSpec(spec, image);
  const uint8_t head[] = {0, 3, 0, 0, 1, 2, 3, 4, 15, 'C', ':', 'W'};
  EXPECT_TRUE(std::equal(std::begin(head), std::end(head), image));
  EXPECT_EQ(image[264], 0);
  EXPECT_EQ(image[265], 2);
  const uint8_t types[] = {'C', 'M', 'F', ' ', 'C', 'M', 'A', ' '};
  EXPECT_TRUE(std::equal(std::begin(types), std::end(types), image + 268));
  EXPECT_EQ(image[299], 0);

  FileSpec back = LoadFileSpec(image);
  EXPECT_EQ(back.volumeRef, 3);
  EXPECT_EQ(back.directoryId, 0x01020304u);
  EXPECT_EQ(View(back.name), "C:Work:Rock.cmf");
  EXPECT_EQ(back.typeCount, 2);
  EXPECT_EQ(back.fileTypes[1], FourCC("CMA "));

  image[265] = 200;  // a stored count beyond the eight entries
  EXPECT_EQ(LoadFileSpec(image).typeCount, 8);

  FileSpec copy;
  CopyFileSpec(copy, spec);
  EXPECT_EQ(View(copy.name), "C:Work:Rock.cmf");
  EXPECT_EQ(copy.typeCount, 0);  // only volume, folder and name are copied
  ClearFileSpec(copy);
  EXPECT_FALSE(IsFileSpecSet(copy));
}

}  // namespace
}  // namespace tsv
