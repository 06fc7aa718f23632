// The object file: the writer's exact bytes, the reader's rules for short, long, unknown and
// malformed chunks, the save and open commands with their dialogs, saves that fail part-way, and
// damaged files of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform_state.h"
#include "scene/object_file.h"
#include "scene/preview_file.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

using test::Bytes;
using test::MakeSquare;

const std::string kCantOpenObject = "Error: Can't open object.";
const std::string kFileError = "Error: File error has occured.";

class ObjectFile : public test::NativeFilesFixture {
 protected:
  // Writes `bytes` to a file and reads it as an object file.
  std::unique_ptr<SceneObject> OpenBytes(const Bytes& bytes, const std::string& name = "Hand.cmf") {
    test::OverwriteFile(Path(name), bytes.data);
    return ReadObjectFile(Spec(Path(name), kObjectFileType));
  }
};

// ---------------------------------------------------------------------------------------------
// Hand-built files

using ChunkList = std::vector<std::pair<std::string, Bytes>>;

Bytes HeadBody(uint32_t points, uint32_t triangles, uint16_t typeWord, const std::string& name = "Hand",
               uint32_t signature = FourCC("CMF ")) {
  Bytes b;
  b.U32(signature).U32(100).U32(points).U32(triangles).Counted(name);
  std::string description = "Made by hand";
  description.resize(1024, '\0');
  b.data.insert(b.data.end(), description.begin(), description.end());
  return b.U16(typeWord).U16(0);
}

// A valid file of a synthetic square: four points, two triangles.
ChunkList SquareChunks() {
  ChunkList c;
  c.push_back({"HEAD", HeadBody(4, 2, 0)});
  Bytes snap;
  snap.U32(3);
  for (int i = 1; i < 64; ++i) snap.U32(0xFFFFFFFF);
  c.push_back({"SNAP", snap});
  Bytes optics;
  for (uint16_t w : {1, 10, 20, 30, 0, 0, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000, 0x7000,
                     0x8000, 0x9000}) {
    optics.U16(w);
  }
  c.push_back({"OPTC", optics});
  Bytes view;
  view.U16(2).U16(210).U16(190).F32(1.5f).U16(1).F32(0.1f).F32(0.2f).F32(0.3f).F32(4).F32(5).F32(6);
  c.push_back({"VIEW", view});
  Bytes placement;
  placement.F32(2).F32(1).F32(2).F32(3).F32(0.5f).F32(0.25f).F32(0.125f);
  c.push_back({"PSTN", placement});
  Bytes texture;
  texture.U16(0).U32(0).Counted(":pics:wood.bmp").U16(2).U16(5).U16(6).U16(3).U16(40).F32(1.25f);
  for (uint16_t p : {1, 2, 3, 4, 5}) texture.U16(p);
  c.push_back({"TEXT", texture});
  c.push_back({"ISCL", Bytes{}.F32(0.5f)});
  Bytes points, colors, mask, uv, triangles;
  const float xyz[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  for (const auto& p : xyz) points.F32(p[0]).F32(p[1]).F32(p[2]);
  for (int i = 0; i < 12; ++i) colors.U8(uint8_t(i + 1));
  mask.U8(255).U8(128).U8(0).U8(7);
  for (int i = 0; i < 4; ++i) uv.F32(float(i)).F32(float(10 * i));
  triangles.U32(0).U32(1).U32(2).U32(0).U32(2).U32(3);
  c.push_back({"VERT", points});
  c.push_back({"COLV", colors});
  c.push_back({"MASK", mask});
  c.push_back({"TEXV", uv});
  c.push_back({"TRIP", triangles});
  c.push_back({"END ", Bytes{}});
  return c;
}

Bytes Assemble(const ChunkList& chunks) {
  Bytes out;
  for (const auto& [tag, body] : chunks) {
    out.data.insert(out.data.end(), tag.begin(), tag.end());
    out.U32(uint32_t(body.size())).Append(body);
  }
  return out;
}

Bytes& Body(ChunkList& chunks, const std::string& tag) {
  for (auto& [t, body] : chunks) {
    if (t == tag) return body;
  }
  ADD_FAILURE() << "no chunk " << tag;
  static Bytes none;
  return none;
}

// Overwrites the big-endian float at `at` with the bit pattern `bits`.
void SetF32Bits(Bytes& body, size_t at, uint32_t bits) {
  for (int k = 0; k < 4; ++k) body.data[at + size_t(k)] = uint8_t(bits >> (24 - 8 * k));
}

void InsertBefore(ChunkList& chunks, const std::string& before, std::string tag, Bytes body) {
  auto at = std::find_if(chunks.begin(), chunks.end(), [&](const auto& c) { return c.first == before; });
  chunks.insert(at, {std::move(tag), std::move(body)});
}

// An organic object's file: no "TRIP", 8194 points.
ChunkList OrganicChunks() {
  ChunkList c;
  c.push_back({"HEAD", HeadBody(8194, 16384, 0x8001, "Blob")});
  Bytes points, colors, mask, uv;
  for (int i = 0; i < 8194; ++i) points.F32(float(i)).F32(1).F32(2);
  colors.Zeros(3 * 8194);
  mask.data.assign(8194, 200);
  uv.Zeros(8 * 8194);
  c.push_back({"VERT", points});
  c.push_back({"COLV", colors});
  c.push_back({"MASK", mask});
  c.push_back({"TEXV", uv});
  c.push_back({"END ", Bytes{}});
  return c;
}

TEST_F(ObjectFile, HandBuiltFileLoadsEveryField) {
  auto object = OpenBytes(Assemble(SquareChunks()));
  ASSERT_TRUE(object);
  const SceneObject& o = *object;
  EXPECT_EQ(CountedToText(o.name), "Hand");
  EXPECT_STREQ(o.description.data(), "Made by hand");
  EXPECT_EQ(o.pointCount, 4);
  EXPECT_EQ(o.triangleCount, 2);
  EXPECT_EQ(o.snapPoints[0], 3);
  EXPECT_EQ(o.snapPoints[1], -1);
  EXPECT_EQ(OpticsWords(o.optics), (OpticsWordArray{1, 10, 20, 30, 0, 0, 40, 50, 60, 0x1000, 0x2000, 0x3000,
                                                    0x4000, 0x5000, 0x6000, 0x7000, 0x8000, 0x9000}));
  // "VIEW" keeps the horizontal centre first.
  EXPECT_EQ(o.currentView, 2);
  EXPECT_EQ(o.views[6].centerX, 210);
  EXPECT_EQ(o.views[6].centerY, 190);
  EXPECT_EQ(o.views[6].zoom, 1.5f);
  EXPECT_EQ(o.views[6].mode, 1);
  EXPECT_EQ(o.views[6].angles, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
  EXPECT_EQ(o.views[6].offset, (std::array<float, 3>{4, 5, 6}));
  EXPECT_EQ(o.scale, 2.0f);
  EXPECT_EQ(o.position.z, 3.0f);
  EXPECT_EQ(o.rotation.z, 0.125f);
  EXPECT_EQ(PathOfSpec(o.textureFile), "/pics/wood.bmp");
  EXPECT_EQ(o.textureKind, 2);
  EXPECT_EQ(o.textureOffset, (std::array<uint16_t, 2>{5, 6}));
  EXPECT_EQ(o.textureUsesAlpha, 3);
  EXPECT_EQ(o.textureBump, 40);
  EXPECT_EQ(o.textureZoom, 1.25f);
  EXPECT_EQ(o.textureParams, (std::array<uint16_t, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(o.importScale, 0.5f);
  EXPECT_EQ(o.points[3].z, 0.5f);
  EXPECT_EQ(o.pointColors[3].blue, 12);
  EXPECT_EQ(o.pointMask[1], 128);
  EXPECT_EQ(o.pointUV[3].v, 30.0f);
  EXPECT_EQ(Triangles(o)[1], (Triangle{0, 2, 3}));
  // The corner lists are built for a synthetic object.
  EXPECT_EQ(PointFirstCorner(o)[2], CornerReference(0, 2));
  EXPECT_EQ(PathOfSpec(o.fileSpec), Path("Hand.cmf"));
  EXPECT_TRUE(Stops().empty());
}

TEST_F(ObjectFile, ShortAndLongChunksAndUnknownTags) {
  struct Case {
    const char* name;
    void (*edit)(ChunkList&);
    void (*check)(const SceneObject&);
  };
  const Case cases[] = {
      {"8-byte OPTC: four words from the file, the defaults for the rest",
       [](ChunkList& c) { Body(c, "OPTC").data.resize(8); },
       [](const SceneObject& o) {
         const OpticsWordArray words = OpticsWords(o.optics);
         const OpticsWordArray defaults = OpticsWords(DefaultOptics());
         EXPECT_EQ((std::vector<uint16_t>(words.begin(), words.begin() + 4)), (std::vector<uint16_t>{1, 10, 20, 30}));
         EXPECT_EQ((std::vector<uint16_t>(words.begin() + 4, words.end())),
                   (std::vector<uint16_t>(defaults.begin() + 4, defaults.end())));
       }},
      {"7-byte OPTC: a field the chunk covers in part is not read, and the chunks after it are",
       [](ChunkList& c) { Body(c, "OPTC").data.resize(7); },
       [](const SceneObject& o) {
         EXPECT_EQ(o.optics.shininess, 10);
         EXPECT_EQ(o.optics.ambientLevel, DefaultOptics().ambientLevel);
         EXPECT_EQ(o.views[6].centerX, 210);
       }},
      {"40-byte VIEW: every field, the extra bytes skipped",
       [](ChunkList& c) { Body(c, "VIEW").U32(0xDEADBEEF); },
       [](const SceneObject& o) {
         EXPECT_EQ(o.views[6].offset[2], 6.0f);
         EXPECT_EQ(o.scale, 2.0f);
       }},
      {"an unknown chunk between PSTN and TEXT is skipped",
       [](ChunkList& c) { InsertBefore(c, "TEXT", "ZZZZ", Bytes{}.U32(1).U32(2).U8(3)); },
       [](const SceneObject& o) {
         EXPECT_EQ(o.scale, 2.0f);
         EXPECT_EQ(o.textureBump, 40);
       }},
      {"a keyframe chunk is checked and passed over by a read that takes no keyframes",
       [](ChunkList& c) {
         // 23 bytes a point and 158 besides: the nested "VERT", "TEXV", "COLV" and "PARM".
         Bytes key;
         key.Chunk("VERT", Bytes{}.Zeros(48)).Chunk("TEXV", Bytes{}.Zeros(32)).Chunk("COLV", Bytes{}.Zeros(12));
         key.Chunk("PARM", Bytes{}.Zeros(126));
         InsertBefore(c, "END ", "KFR0", key);
       },
       [](const SceneObject& o) { EXPECT_EQ(o.triangleCount, 2); }},
      {"an empty SNAP keeps the defaults",
       [](ChunkList& c) { Body(c, "SNAP").data.clear(); },
       [](const SceneObject& o) { EXPECT_EQ(o.snapPoints[0], -1); }},
      {"a view index beyond the seven views is not taken",
       [](ChunkList& c) { Body(c, "VIEW").data[1] = 9; },
       [](const SceneObject& o) {
         EXPECT_EQ(o.currentView, 0);
         EXPECT_EQ(o.views[6].centerX, 210);
       }},
      {"the older terminator CMFE ends the file",
       [](ChunkList& c) { c.back().first = "CMFE"; },
       [](const SceneObject& o) { EXPECT_EQ(o.pointMask[3], 7); }},
      {"chunks in another order",
       [](ChunkList& c) { std::swap(c[1], c[10]); },
       [](const SceneObject& o) { EXPECT_EQ(o.snapPoints[0], 3); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkList chunks = SquareChunks();
    c.edit(chunks);
    auto object = OpenBytes(Assemble(chunks));
    ASSERT_TRUE(object);
    c.check(*object);
  }
  EXPECT_TRUE(Stops().empty());
}

TEST_F(ObjectFile, MalformedFilesCannotBeOpened) {
  struct Case {
    const char* name;
    void (*edit)(ChunkList&);
  };
  const Case cases[] = {
      {"VERT not 12 x pointCount", [](ChunkList& c) { Body(c, "VERT").data.resize(36); }},
      {"COLV too long", [](ChunkList& c) { Body(c, "COLV").U8(0); }},
      {"TRIP too short", [](ChunkList& c) { Body(c, "TRIP").data.resize(12); }},
      {"first chunk not HEAD", [](ChunkList& c) { std::swap(c[0], c[1]); }},
      {"wrong signature", [](ChunkList& c) { Body(c, "HEAD").data[3] = 'X'; }},
      {"HEAD ending inside a field", [](ChunkList& c) { Body(c, "HEAD").data.resize(14); }},
      {"empty HEAD", [](ChunkList& c) { Body(c, "HEAD").data.clear(); }},
      {"no END", [](ChunkList& c) { c.pop_back(); }},
      {"a triangle naming a point that does not exist", [](ChunkList& c) { Body(c, "TRIP").data[23] = 4; }},
      {"a second HEAD with other counts",
       [](ChunkList& c) { InsertBefore(c, "END ", "HEAD", HeadBody(5, 2, 0)); }},
      {"more points than the file can hold",
       [](ChunkList& c) { Body(c, "HEAD").data[8] = 0x7F; }},
      {"organic flag on a mesh of another size", [](ChunkList& c) { Body(c, "HEAD").data[1297] = 1; }},
      // Point 1's y (bytes 16..19 of "VERT") as NaN, +infinity and -infinity.
      {"a coordinate that is not a number", [](ChunkList& c) { SetF32Bits(Body(c, "VERT"), 16, 0x7FC00000); }},
      {"an infinite coordinate", [](ChunkList& c) { SetF32Bits(Body(c, "VERT"), 16, 0x7F800000); }},
      {"a minus infinite coordinate", [](ChunkList& c) { SetF32Bits(Body(c, "VERT"), 16, 0xFF800000); }},
      {"a chunk running past the end of the file",
       [](ChunkList& c) {
         c.pop_back();
         c.push_back({"ZZZZ", Bytes{}.U32(1)});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    services.shown.clear();
    ChunkList chunks = SquareChunks();
    c.edit(chunks);
    Bytes bytes = Assemble(chunks);
    if (std::string(c.name) == "a chunk running past the end of the file") bytes.data.resize(bytes.size() - 2);
    EXPECT_FALSE(OpenBytes(bytes));
    EXPECT_EQ(Stops(), std::vector<std::string>{kCantOpenObject});
  }
  // Nothing of a failed open is left in the table or holds on to the work arrays.
  EXPECT_EQ(ObjectCount(), 0);
  EXPECT_EQ(WorkPointCapacity(), kMinWorkPoints);
}

TEST_F(ObjectFile, RunningOutOfMemoryWhileOpeningLeavesNothingBehind) {
  const Bytes file = Assemble(SquareChunks());
  scene.projectModified = false;
  scene.failAllocationCountdown = 1;
  EXPECT_FALSE(OpenBytes(file));
  scene.failAllocationCountdown = 0;
  EXPECT_EQ(Stops(), (std::vector<std::string>{"Error: Not enough memory to create new object.", kCantOpenObject}));
  EXPECT_FALSE(scene.projectModified);
  EXPECT_TRUE(OpenBytes(file));
}

TEST_F(ObjectFile, OrganicFilesShareTheTopologyWithOrWithoutAStrayTriangleList) {
  ChunkList plain = OrganicChunks();
  ChunkList stray = OrganicChunks();
  InsertBefore(stray, "END ", "TRIP", Bytes{}.U32(1).U32(2).U32(3));
  for (const ChunkList* chunks : {&plain, &stray}) {
    auto object = OpenBytes(Assemble(*chunks));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->isOrganic, 1);
    EXPECT_EQ(object->isFastSynthetic, 1);
    EXPECT_EQ(object->topology, scene.organicTopology);
    EXPECT_EQ(object->points[8193].x, 8193.0f);
    EXPECT_EQ(object->pointMask[17], 200);
  }
  // The shared triangles are untouched by the stray list.
  EXPECT_NE(scene.organicTopology->triangles[0], (Triangle{1, 2, 3}));
  EXPECT_TRUE(Stops().empty());
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST_F(ObjectFile, WriterProducesTheExactBytesAndAdvancesThroughEveryChunk) {
  auto object = MakeSquare("Hand");
  ASSERT_TRUE(object);
  SceneObject& o = *object;
  std::string description = "Made by hand";
  std::copy(description.begin(), description.end(), o.description.begin());
  o.snapPoints[0] = 3;
  o.optics = OpticsFromWords({1, 10, 20, 30, 0, 0, 40, 50, 60, 0x1000, 0x2000, 0x3000, 0x4000, 0x5000, 0x6000,
                              0x7000, 0x8000, 0x9000});
  o.currentView = 2;
  o.views[6] = {190, 210, 1.5f, 1, {0.1f, 0.2f, 0.3f}, {4, 5, 6}};
  o.scale = 2;
  o.position = {1, 2, 3};
  o.rotation = {0.5f, 0.25f, 0.125f};
  o.textureFile = Spec("/pics/wood.bmp", FourCC("BMP "));
  o.textureKind = 2;
  o.textureOffset = {5, 6};
  o.textureUsesAlpha = 3;
  o.textureBump = 40;
  o.textureZoom = 1.25f;
  o.textureParams = {1, 2, 3, 4, 5};
  o.importScale = 0.5f;
  for (int p = 0; p < 4; ++p) {
    o.pointColors[size_t(p)] = {uint8_t(3 * p + 1), uint8_t(3 * p + 2), uint8_t(3 * p + 3)};
  }
  for (int i = 0; i < 4; ++i) o.pointUV[size_t(i)] = {float(i), float(10 * i)};

  EXPECT_EQ(WriteToBytes(o), Assemble(SquareChunks()).data);
  EXPECT_EQ(Progress(), std::vector<std::string>{"Saving object..."});
  std::vector<int> expected;
  for (int k = 1; k <= 12; ++k) expected.push_back(k * 128 / 12);
  EXPECT_EQ(services.progressValues, expected);
  EXPECT_FALSE(services.progressVisible);

  // A compact hierarchy adds "HCHY" (entries of 280 bytes) before "END " and one progress step.
  o.hierarchy.resize(2);
  o.hierarchy[0].partName = TextToCountedString("Body");
  o.hierarchy[0].partPointCount = 3;
  o.hierarchy[0].partTriangleCount = 1;
  o.hierarchy[0].childCount = 1;
  o.hierarchy[1] = {kHierarchyCompact, nullptr, TextToCountedString("Arm"), {}, 3, 1, 1, 1, 0, 0xFF};
  services.progressValues.clear();
  ChunkList chunks = SquareChunks();
  Bytes hierarchy;
  hierarchy.U32(2);
  hierarchy.U32(276).Counted("Body").U32(0).U32(0).U32(3).U32(1).U32(1);
  hierarchy.U32(276).Counted("Arm").U32(3).U32(1).U32(1).U32(1).U32(0);
  InsertBefore(chunks, "END ", "HCHY", hierarchy);
  EXPECT_EQ(WriteToBytes(o), Assemble(chunks).data);
  EXPECT_EQ(services.progressValues.size(), 13u);
  EXPECT_EQ(services.progressValues.back(), 128);
}

TEST_F(ObjectFile, OrganicObjectsAreWrittenWithoutTriangles) {
  auto object = NewOrganicSceneObject();
  ASSERT_TRUE(object);
  const std::vector<uint8_t> bytes = WriteToBytes(*object);
  const size_t expected = (8 + 1300) + (8 + 256) + (8 + 36) + (8 + 36) + (8 + 28) + (8 + 286) + (8 + 4) +
                          (8 + 12 * 8194) + (8 + 3 * 8194) + (8 + 8194) + (8 + 8 * 8194) + 8;
  EXPECT_EQ(bytes.size(), expected);
  // Type word: bit 15 fast synthetic, the low bits organic.
  EXPECT_EQ(bytes[8 + 1296], 0x80);
  EXPECT_EQ(bytes[8 + 1297], 0x01);
  EXPECT_EQ(services.progressValues.size(), 11u);
  EXPECT_EQ(services.progressValues.back(), 128);
}

TEST_F(ObjectFile, SaveThenOpenKeepsEveryStoredField) {
  auto object = MakeSquare("Rock");
  ASSERT_TRUE(object);
  SceneObject& o = *object;
  std::strcpy(o.description.data(), "Grey and heavy");
  o.ghostState = kGhosted;
  o.isFastSynthetic = 1;
  o.snapPoints = {};
  o.snapPoints.fill(-1);
  o.snapPoints[0] = 2;
  o.snapPoints[1] = 1;
  o.optics.isPainted = 1;
  o.optics.transparency = 77;
  o.optics.opticsExtra2 = 9;
  o.currentView = 6;
  o.views[6] = {11, 12, 0.75f, 3, {1, 2, 3}, {-1, -2, -3}};
  o.scale = 3;
  o.position = {7, 8, 9};
  o.rotation = {0.1f, 0.2f, 0.3f};
  o.textureUsesAlpha = 2;
  o.textureBump = 256;
  o.textureZoom = 4;
  o.textureParams = {0, 256, 64, 32, 16};
  o.textureOffset = {9, 10};
  o.textureKind = 1;
  o.importScale = 0.01f;
  o.hierarchy.resize(2);
  o.hierarchy[0] = {kHierarchyCompact, nullptr, TextToCountedString("Top.cmf"), {}, 0, 0, 2, 1, 1, 0};
  o.hierarchy[1] = {kHierarchyCompact, nullptr, TextToCountedString("Leaf.cmf"), {}, 1, 2, 0, 1, 0, 0};
  // No picture loader is installed, so the texture reference stays.
  o.textureFile = Spec("/pics/stone.png", FourCC("PNGf"));

  const FileSpec target = Spec(Path("Rock.cmf"), kObjectFileType);
  ASSERT_TRUE(SaveObjectToFile(o, target));
  EXPECT_EQ(o.hasUnsavedChanges, 0);
  auto loaded = ReadObjectFile(target);
  ASSERT_TRUE(loaded);
  const SceneObject& l = *loaded;
  EXPECT_EQ(CountedToText(l.name), "Rock");
  EXPECT_EQ(l.description, o.description);
  EXPECT_EQ(l.ghostState, o.ghostState);
  EXPECT_EQ(l.isOrganic, 0);
  EXPECT_EQ(l.isFastSynthetic, 1);
  EXPECT_EQ(l.snapPoints, o.snapPoints);
  EXPECT_EQ(OpticsWords(l.optics), OpticsWords(o.optics));
  EXPECT_EQ(l.currentView, 6);
  EXPECT_EQ(l.views[6].centerX, 12);
  EXPECT_EQ(l.views[6].centerY, 11);
  EXPECT_EQ(l.views[6].zoom, 0.75f);
  EXPECT_EQ(l.views[6].mode, 3);
  EXPECT_EQ(l.views[6].angles, o.views[6].angles);
  EXPECT_EQ(l.views[6].offset, o.views[6].offset);
  EXPECT_EQ(l.scale, 3.0f);
  EXPECT_EQ(l.position.y, 8.0f);
  EXPECT_EQ(l.rotation.x, 0.1f);
  EXPECT_EQ(PathOfSpec(l.textureFile), "/pics/stone.png");
  EXPECT_EQ(l.textureUsesAlpha, 2);
  EXPECT_EQ(l.textureBump, 256);
  EXPECT_EQ(l.textureZoom, 4.0f);
  EXPECT_EQ(l.textureParams, o.textureParams);
  EXPECT_EQ(l.textureOffset, o.textureOffset);
  EXPECT_EQ(l.textureKind, 1);
  EXPECT_EQ(l.importScale, 0.01f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(l.points[size_t(i)].x, o.points[size_t(i)].x);
    EXPECT_EQ(l.points[size_t(i)].z, o.points[size_t(i)].z);
    EXPECT_EQ(l.pointColors[size_t(i)].green, o.pointColors[size_t(i)].green);
    EXPECT_EQ(l.pointMask[size_t(i)], o.pointMask[size_t(i)]);
    EXPECT_EQ(l.pointUV[size_t(i)].u, o.pointUV[size_t(i)].u);
  }
  EXPECT_TRUE(std::equal(Triangles(l).begin(), Triangles(l).end(), Triangles(o).begin()));
  ASSERT_EQ(l.hierarchy.size(), 2u);
  EXPECT_EQ(CountedToText(l.hierarchy[1].partName), "Leaf.cmf");
  EXPECT_EQ(l.hierarchy[1].partFirstPoint, 1u);
  EXPECT_EQ(l.hierarchy[1].partFirstTriangle, 2u);
  EXPECT_EQ(l.hierarchy[1].partTriangleCount, 0u);
  EXPECT_EQ(l.hierarchy[0].partPointCount, 1u);
  EXPECT_EQ(l.hierarchy[0].childCount, 1u);
  EXPECT_TRUE(Stops().empty());
}

TEST_F(ObjectFile, HierarchyThatDoesNotFitTheObjectIsDropped) {
  ChunkList chunks = SquareChunks();
  Bytes hierarchy;
  hierarchy.U32(1).U32(276).Counted("Whole").U32(2).U32(0).U32(3).U32(1).U32(0);  // points 2..4 of 4
  InsertBefore(chunks, "END ", "HCHY", hierarchy);
  auto object = OpenBytes(Assemble(chunks));
  ASSERT_TRUE(object);
  EXPECT_TRUE(object->hierarchy.empty());
  EXPECT_EQ(Alerts(), std::vector<std::string>{"Invalid object hierarchy, so disabling hierarchy altogether."});
}

// ---------------------------------------------------------------------------------------------
// Commands

TEST_F(ObjectFile, SaveAsNamesTheObjectAfterItsFileAndWritesThePreview) {
  auto object = NewOrganicSceneObject();
  ASSERT_TRUE(object);
  std::filesystem::create_directories(Path("Work"));
  services.saveAnswers.push_back(FileChoice{Path("Work/Rock"), 1});
  ASSERT_TRUE(SaveObjectAs(*object));
  EXPECT_EQ(CountedToText(object->name), "Rock");
  EXPECT_EQ(PathOfSpec(object->fileSpec), Path("Work/Rock.cmf"));
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].proposedName, "Untitled.cmf");
  EXPECT_EQ(services.fileRequests[0].types, std::vector<uint32_t>{kObjectFileType});

  const std::vector<uint8_t> preview = test::ReadFileBytes(Path("Work/Rock.cif"));
  ASSERT_EQ(preview.size(), 41084u);
  EXPECT_EQ(preview[0] & 1, 1);  // organic
  EXPECT_EQ(HiddenFiles(Path("Work")), std::vector<std::string>{});

  // The name is the text after the last separator, without the extension, for any path form.
  for (const char* internal : {"C:Work:Rock.cmf", ":home:ann:Rock.CMF", "D:Rock.cmf", "Rock"}) {
    FileSpec spec;
    spec.name = TextToCountedString(internal);
    EXPECT_EQ(CountedToText(ObjectNameOfFile(spec)), "Rock") << internal;
  }
}

TEST_F(ObjectFile, SaveAsStartsInTheProjectObjectsFolderAndCancelChangesNothing) {
  std::filesystem::create_directories(Path("Proj/Objects"));
  nativeFiles.project.projectFile = Spec(Path("Proj/p.cma"), FourCC("CMA "));
  auto object = MakeSquare();
  const FileSpec before = Spec(Path("old.cmf"), kObjectFileType);
  object->fileSpec = before;
  EXPECT_FALSE(SaveObjectAs(*object));
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].folder, Path("Proj/Objects"));
  EXPECT_EQ(services.fileRequests[0].proposedName, "Square.cmf");
  EXPECT_TRUE(SameCountedString(object->fileSpec.name, before.name));
  EXPECT_EQ(CountedToText(object->name), "Square");
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(ObjectFile, AFailedSaveLeavesThePreviousFileAsItWas) {
  auto object = MakeSquare("Rock");
  const FileSpec target = Spec(Path("Rock.cmf"), kObjectFileType);
  ASSERT_TRUE(SaveObjectToFile(*object, target));
  const std::vector<uint8_t> before = test::ReadFileBytes(Path("Rock.cmf"));

  // The disk fills up in the middle of the points.
  object->points[0].x = 42;
  object->hasUnsavedChanges = 1;
  nativeFiles.failWriteAfterBytes = 1400;
  EXPECT_FALSE(SaveObject(*object));
  nativeFiles.failWriteAfterBytes = -1;
  EXPECT_EQ(Stops(), std::vector<std::string>{kFileError});
  EXPECT_EQ(test::ReadFileBytes(Path("Rock.cmf")), before);
  EXPECT_EQ(HiddenFiles(dir.str()), std::vector<std::string>{});
  EXPECT_FALSE(IsFileSpecSet(object->fileSpec));  // the next save asks for a file
  EXPECT_EQ(object->hasUnsavedChanges, 1);
  EXPECT_FALSE(services.progressVisible);

  // A folder that takes no new file fails before anything is written.
  services.shown.clear();
  EXPECT_FALSE(SaveObjectToFile(*object, Spec(Path("missing/Rock.cmf"), kObjectFileType)));
  EXPECT_EQ(Stops(), std::vector<std::string>{kFileError});
}

TEST_F(ObjectFile, SavingKeepsTheFilesPermissionsAndALinkStaysALink) {
  auto object = MakeSquare("Rock");
  const std::string real = Path("real.cmf");
  test::WriteFileBytes(real, {1, 2, 3});
  std::filesystem::permissions(real, std::filesystem::perms(0640));
  std::filesystem::create_symlink(real, Path("link.cmf"));
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("link.cmf"), kObjectFileType)));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.cmf")));
  EXPECT_GT(test::ReadFileBytes(real).size(), 3u);
  EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms(0640));
}

TEST_F(ObjectFile, AMissingFileIsLookedForInTheProjectTreeThenAskedFor) {
  auto object = MakeSquare("Rock");
  std::filesystem::create_directories(Path("Proj/deep/er"));
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("Proj/deep/er/Rock.cmf"), kObjectFileType)));
  nativeFiles.project.projectFile = Spec(Path("Proj/p.cma"), FourCC("CMA "));
  services.shown.clear();

  auto found = OpenObjectFile(Spec("/nowhere/Objects/Rock.cmf", kObjectFileType));
  ASSERT_TRUE(found);
  EXPECT_EQ(PathOfSpec(found->fileSpec), Path("Proj/deep/er/Rock.cmf"));
  EXPECT_TRUE(services.fileRequests.empty());

  // Not in the tree: the user is asked, proposing the missing name; a cancel shows nothing.
  EXPECT_FALSE(OpenObjectFile(Spec("/nowhere/Stone.cmf", kObjectFileType)));
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].proposedName, "Stone.cmf");
  EXPECT_TRUE(services.shown.empty());

  services.openAnswers.push_back(FileChoice{Path("Proj/deep/er/Rock.cmf"), 1});
  auto chosen = OpenObjectFile(Spec("/nowhere/Stone.cmf", kObjectFileType));
  ASSERT_TRUE(chosen);
  EXPECT_EQ(CountedToText(chosen->name), "Rock");
}

TEST_F(ObjectFile, OpenCommandOffersObjectFiles) {
  auto object = MakeSquare("Rock");
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));
  services.shown.clear();
  services.openAnswers.push_back(std::nullopt);
  services.openAnswers.push_back(FileChoice{Path("Rock.cmf"), 1});
  EXPECT_FALSE(AskAndOpenObject());
  EXPECT_TRUE(services.shown.empty());
  auto opened = AskAndOpenObject();
  ASSERT_TRUE(opened);
  EXPECT_EQ(CountedToText(opened->name), "Rock");
  ASSERT_EQ(services.fileRequests.size(), 2u);
  EXPECT_EQ(services.fileRequests[1].types, std::vector<uint32_t>{kObjectFileType});
}

TEST_F(ObjectFile, OpeningLoadsTheTextureThroughTheHookAndForgetsOneThatFails) {
  auto object = MakeSquare("Rock");
  object->textureFile = Spec("/pics/gone.bmp", FourCC("BMP "));
  object->textureKind = 3;
  object->textureOffset = {4, 4};
  ASSERT_TRUE(SaveObjectToFile(*object, Spec(Path("Rock.cmf"), kObjectFileType)));

  int calls = 0;
  nativeFiles.loadTexturePicture = [&](SceneObject& o) {
    ++calls;
    o.textureImage.assign(4, 0xFFFFFFu);
    return true;
  };
  auto loaded = ReadObjectFile(Spec(Path("Rock.cmf"), kObjectFileType));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loaded->textureImage.size(), 4u);
  EXPECT_EQ(loaded->textureKind, 3);

  nativeFiles.loadTexturePicture = [](SceneObject&) { return false; };
  loaded = ReadObjectFile(Spec(Path("Rock.cmf"), kObjectFileType));
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(IsFileSpecSet(loaded->textureFile));
  EXPECT_EQ(loaded->textureKind, 0);
  EXPECT_EQ(loaded->textureOffset, (std::array<uint16_t, 2>{0, 0}));
  EXPECT_TRUE(loaded->textureImage.empty());
}

// ---------------------------------------------------------------------------------------------
// Damage

TEST_F(ObjectFile, EveryTruncationAndSingleByteCorruptionFailsCleanly) {
  auto object = MakeSquare("Rock");
  object->hierarchy.resize(2);
  object->hierarchy[0] = {kHierarchyCompact, nullptr, TextToCountedString("A"), {}, 0, 0, 2, 1, 1, 0};
  object->hierarchy[1] = {kHierarchyCompact, nullptr, TextToCountedString("B"), {}, 2, 1, 1, 2, 0, 0};
  const std::vector<uint8_t> valid = WriteToBytes(*object);
  ASSERT_TRUE(OpenBytes(Bytes{valid}));

  auto check = [&](const std::vector<uint8_t>& bytes, const std::string& what) {
    services.shown.clear();
    auto opened = OpenBytes(Bytes{bytes}, "damaged.cmf");
    if (!opened) {
      EXPECT_EQ(Stops(), std::vector<std::string>{kCantOpenObject}) << what;
      return;
    }
    // Whatever opens is whole: arrays of its counts, finite points, triangles naming its points.
    EXPECT_TRUE(HasConsistentArrays(*opened)) << what;
    for (const Vec3f& p : opened->points) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << what;
    }
    for (const Triangle& t : Triangles(*opened)) {
      for (uint32_t p : t) ASSERT_LT(p, uint32_t(opened->pointCount)) << what;
    }
    EXPECT_LE(opened->pointCount, 4) << what;
  };
  for (size_t length = 0; length < valid.size(); ++length) {
    std::vector<uint8_t> bytes(valid.begin(), valid.begin() + std::ptrdiff_t(length));
    services.shown.clear();
    EXPECT_FALSE(OpenBytes(Bytes{bytes}, "damaged.cmf")) << "truncated to " << length;
    EXPECT_EQ(Stops(), std::vector<std::string>{kCantOpenObject}) << "truncated to " << length;
  }
  for (size_t at = 0; at < valid.size(); ++at) {
    for (uint8_t value : {uint8_t(valid[at] ^ 0xFF), uint8_t(valid[at] + 1)}) {
      std::vector<uint8_t> bytes = valid;
      bytes[at] = value;
      check(bytes, "byte " + std::to_string(at) + " = " + std::to_string(value));
    }
  }
  EXPECT_EQ(ObjectCount(), 0);
  EXPECT_EQ(WorkPointCapacity(), kMinWorkPoints);
}

}  // namespace
}  // namespace tsv
