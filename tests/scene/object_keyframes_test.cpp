// The keyframe shapes in the object file: written from the owner's slot files and read back into
// them byte for byte, the owner question, opens that fail or are refused leaving the current
// keyframes alone, malformed keyframe chunks, and slot files that do not fit left out of a save.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_order.h"
#include "platform/platform_state.h"
#include "scene/keyframe_file.h"
#include "scene/object_file.h"
#include "scene/organic.h"
#include "tests/scene/native_files_fixture.h"

namespace tsv {
namespace {

const std::string kCantOpenObject = "Error: Can't open object.";
const std::string kFileError = "Error: File error has occured.";
const std::string kOwnerQuestion =
    "Warning: Animation keyframes already exist for another object. Do you want to use keyframes of new object ?";

using Chunk = std::pair<std::string, std::vector<uint8_t>>;

// The chunks of a file (or of a keyframe chunk's body) as tag and body.
std::vector<Chunk> Split(const std::vector<uint8_t>& bytes) {
  std::vector<Chunk> chunks;
  for (size_t at = 0; at + 8 <= bytes.size();) {
    const size_t length = LoadU32BE(bytes.data() + at + 4);
    const auto body = bytes.begin() + ptrdiff_t(at + 8);
    const std::string tag(bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at + 4));
    chunks.push_back({tag, std::vector<uint8_t>(body, body + ptrdiff_t(std::min(length, bytes.size() - at - 8)))});
    at += 8 + length;
  }
  return chunks;
}

std::vector<uint8_t> Join(const std::vector<Chunk>& chunks) {
  test::Bytes out;
  for (const auto& [tag, body] : chunks) {
    out.data.insert(out.data.end(), tag.begin(), tag.end());
    out.U32(uint32_t(body.size()));
    out.data.insert(out.data.end(), body.begin(), body.end());
  }
  return out.data;
}

std::vector<std::string> Tags(const std::vector<Chunk>& chunks) {
  std::vector<std::string> tags;
  for (const auto& chunk : chunks) tags.push_back(chunk.first);
  return tags;
}

std::vector<uint8_t>& BodyOf(std::vector<Chunk>& chunks, const std::string& tag) {
  auto found = std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.first == tag; });
  if (found == chunks.end()) {
    ADD_FAILURE() << "no chunk " << tag;
    static std::vector<uint8_t> none;
    return none;
  }
  return found->second;
}

class ObjectKeyframes : public test::NativeFilesFixture {
 protected:
  void SetUp() override {
    NativeFilesFixture::SetUp();
    platform.tempFolder = scratch.str();
  }

  // Stores a keyframe of `object`'s shape in `slot`, moved by k in every value a key keeps.
  void SetKey(const SceneObject& object, int slot, float k) {
    SceneObject key = object;
    for (Vec3f& p : key.points) p.z += k;
    key.pointUV[0].u = k;
    key.pointColors[1].red = uint8_t(10 * k);
    key.scale = 1 + k;
    key.position = {k, -k, 2 * k};
    key.rotation = {k / 4, 0, -k / 4};
    key.optics.shininess = uint16_t(10 * k);
    key.optics.ambientColor.green = uint16_t(1000 * k);
    key.textureBump = uint16_t(k);
    key.textureZoom = k / 2;
    key.textureParams[4] = uint16_t(k);
    ProjectRecord sceneRecord = nativeFiles.project;
    sceneRecord.fogSmoke.fogStart = k;
    sceneRecord.fogSmoke.smokeRandomSeed = -k;
    sceneRecord.lightAngles[1] = k;
    sceneRecord.fogColor.green = uint16_t(100 * k);
    ASSERT_EQ(WriteKeyframeSlot(slot, key, sceneRecord), kNoError);
  }

  // `object` as the keyframe owner with keys in slots 0, 2 and 7.
  void MakeOwner(SceneObject& object) {
    for (int slot : {0, 2, 7}) SetKey(object, slot, float(slot + 1));
    scene.keyframeOwner = &object;
  }


  // The file of a square owning keys 0, 2 and 7; afterwards no object owns keyframes and no slot
  // is set.
  std::vector<uint8_t> SquareFileWithKeys() {
    auto square = test::MakeSquare();
    MakeOwner(*square);
    std::vector<uint8_t> bytes = WriteToBytes(*square);
    DisposeSceneObject(square);
    DeleteAllKeyframes();
    return bytes;
  }

  // Another object owning a key in slot 1.
  std::unique_ptr<SceneObject> OtherOwner() {
    auto other = test::MakeSquare("Other");
    SetKey(*other, 1, 9);
    scene.keyframeOwner = other.get();
    return other;
  }

  std::unique_ptr<SceneObject> Open(const std::vector<uint8_t>& bytes) {
    test::OverwriteFile(Path("Keyed.cmf"), bytes);
    return OpenObjectFile(Spec(Path("Keyed.cmf"), kObjectFileType));
  }

  std::vector<int> SetSlots() const {
    std::vector<int> slots;
    for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
      if (KeyframeExists(slot)) slots.push_back(slot);
    }
    return slots;
  }

  // Anything in the scratch folder but the slots: staging files or a save's temporaries.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("MorphKF", 0) != 0 || name.size() != 8) names.push_back(name);
    }
    return names;
  }

  test::TempDir scratch;
};

TEST_F(ObjectKeyframes, KeyframesGoIntoTheFileAndComeBackByteForByte) {
  for (const bool organic : {false, true}) {
    SCOPED_TRACE(organic ? "organic" : "synthetic");
    std::unique_ptr<SceneObject> object = organic ? NewOrganicSceneObject() : test::MakeSquare();
    ASSERT_TRUE(object);
    if (organic) {
      ASSERT_TRUE(FillOrganicShape(*object, 0));
    }
    const uint32_t n = uint32_t(object->pointCount);
    MakeOwner(*object);
    services.progressValues.clear();
    const std::vector<uint8_t> written = WriteToBytes(*object);
    // One progress step per keyframe chunk.
    EXPECT_EQ(services.progressValues.size(), (organic ? 11u : 12u) + 3);
    EXPECT_EQ(services.progressValues.back(), 128);

    std::vector<Chunk> chunks = Split(written);
    const std::vector<std::string> tags = Tags(chunks);
    ASSERT_GE(tags.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(tags.end() - 4, tags.end()),
              (std::vector<std::string>{"KFR0", "KFR2", "KFR7", "END "}));
    const std::vector<uint8_t>& key2 = BodyOf(chunks, "KFR2");
    EXPECT_EQ(key2.size(), 23 * n + 158);
    const std::vector<Chunk> nested = Split(key2);
    ASSERT_EQ(Tags(nested), (std::vector<std::string>{"VERT", "TEXV", "COLV", "PARM"}));
    EXPECT_EQ(nested[0].second.size(), 12 * n);
    EXPECT_EQ(nested[2].second.size(), 3 * n);
    // PARM: scale first, the fog colour last.
    EXPECT_EQ(LoadF32BE(nested[3].second.data()), 4.0f);
    EXPECT_EQ(LoadU16BE(nested[3].second.data() + 122), 300);
    EXPECT_EQ(LoadF32BE(nested[0].second.data() + 8), object->points[0].z + 3);

    // A fresh start: the object gone, its keyframes with it.
    const std::vector<Triangle> triangles(Triangles(*object).begin(), Triangles(*object).end());
    DisposeSceneObject(object);
    DeleteAllKeyframes();
    auto opened = Open(written);
    ASSERT_TRUE(opened);
    EXPECT_EQ(scene.keyframeOwner, opened.get());
    EXPECT_EQ(SetSlots(), (std::vector<int>{0, 2, 7}));
    KeyframeShape shape;
    ASSERT_EQ(ReadKeyframeSlot(2, shape), kNoError);
    EXPECT_EQ(shape.points[1].z, opened->points[1].z + 3);
    EXPECT_EQ(shape.pointUV[0].u, 3.0f);
    EXPECT_EQ(shape.pointColors[1].red, 30);
    EXPECT_EQ(shape.triangles, triangles);
    // The record is the opened object's, with the key's parameters.
    EXPECT_EQ(CountedToText(shape.record.name), CountedToText(opened->name));
    EXPECT_EQ(shape.record.scale, 4.0f);
    EXPECT_EQ(shape.record.position, (Vec3f{3, -3, 6}));
    EXPECT_EQ(shape.record.optics.ambientColor.green, 3000);
    EXPECT_EQ(shape.record.textureParams[4], 3);
    EXPECT_EQ(shape.scene.fogSmoke.smokeRandomSeed, -3.0f);
    EXPECT_EQ(shape.scene.lightAngles[1], 3.0f);
    EXPECT_EQ(shape.scene.fogColor.green, 300);
    EXPECT_EQ(shape.scene.smokeDetail, nativeFiles.project.smokeDetail);
    EXPECT_TRUE(services.Texts(ShownKind::Message).empty());  // nobody owned keyframes: no question
    EXPECT_TRUE(Leftovers().empty());

    EXPECT_EQ(WriteToBytes(*opened), written);
    DisposeSceneObject(opened);
    DeleteAllKeyframes();
  }
  EXPECT_TRUE(Stops().empty());
  EXPECT_TRUE(Alerts().empty());
}

TEST_F(ObjectKeyframes, KeyframeChunksBeforeTheTrianglesGetTheFinalTriangles) {
  std::vector<Chunk> chunks = Split(SquareFileWithKeys());
  // The keys straight after "HEAD", before "TRIP" gives the triangles.
  std::vector<Chunk> reordered = {chunks[0]};
  for (const Chunk& c : chunks) {
    if (c.first.rfind("KFR", 0) == 0) reordered.push_back(c);
  }
  for (size_t i = 1; i < chunks.size(); ++i) {
    if (chunks[i].first.rfind("KFR", 0) != 0) reordered.push_back(chunks[i]);
  }
  auto opened = Open(Join(reordered));
  ASSERT_TRUE(opened);
  KeyframeShape shape;
  ASSERT_EQ(ReadKeyframeSlot(7, shape), kNoError);
  EXPECT_EQ(shape.triangles, (std::vector<Triangle>{{0, 1, 2}, {0, 2, 3}}));
}

TEST_F(ObjectKeyframes, TheOwnerQuestionDecidesWhoseKeyframesStay) {
  const std::vector<uint8_t> file = SquareFileWithKeys();
  for (const bool useNew : {false, true}) {
    SCOPED_TRACE(useNew ? "OK" : "Cancel");
    services.shown.clear();
    auto other = OtherOwner();
    services.messageAnswers.push_back(useNew);
    auto opened = Open(file);
    ASSERT_TRUE(opened);  // the object opens either way
    EXPECT_EQ(services.Texts(ShownKind::Message), std::vector<std::string>{kOwnerQuestion});
    if (useNew) {
      EXPECT_EQ(scene.keyframeOwner, opened.get());
      EXPECT_EQ(SetSlots(), (std::vector<int>{0, 2, 7}));
    } else {
      EXPECT_EQ(scene.keyframeOwner, other.get());
      EXPECT_EQ(SetSlots(), std::vector<int>{1});
      KeyframeShape shape;
      ASSERT_EQ(ReadKeyframeSlot(1, shape), kNoError);
      EXPECT_EQ(shape.record.scale, 10.0f);
    }
    EXPECT_TRUE(Leftovers().empty());
    DisposeSceneObject(opened);
    DisposeSceneObject(other);
    DeleteAllKeyframes();
  }
}

TEST_F(ObjectKeyframes, AFailedOpenKeepsTheCurrentKeyframes) {
  const std::vector<Chunk> good = Split(SquareFileWithKeys());
  struct Case {
    const char* name;
    void (*edit)(std::vector<Chunk>&);
  };
  const Case cases[] = {
      {"a malformed chunk after the keys",
       [](std::vector<Chunk>& c) { c.insert(c.end() - 1, {"MASK", {1, 2, 3}}); }},
      // Read whole and staged, then refused when the corner lists are built.
      {"a triangle naming a point that does not exist", [](std::vector<Chunk>& c) { BodyOf(c, "TRIP")[23] = 9; }},
      {"a damaged keyframe chunk", [](std::vector<Chunk>& c) { BodyOf(c, "KFR2")[0] = 'X'; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    services.shown.clear();
    auto other = OtherOwner();
    services.messageAnswers.push_back(true);
    std::vector<Chunk> chunks = good;
    c.edit(chunks);
    EXPECT_FALSE(Open(Join(chunks)));
    EXPECT_EQ(Stops(), std::vector<std::string>{kCantOpenObject});
    EXPECT_EQ(scene.keyframeOwner, other.get());
    EXPECT_EQ(SetSlots(), std::vector<int>{1});
    EXPECT_TRUE(Leftovers().empty());
    services.messageAnswers.clear();
    DisposeSceneObject(other);
    DeleteAllKeyframes();
  }
}

TEST_F(ObjectKeyframes, MalformedKeyframeChunksCannotBeOpened) {
  const std::vector<Chunk> good = Split(SquareFileWithKeys());
  struct Case {
    const char* name;
    void (*edit)(std::vector<uint8_t>& keyBody);
  };
  // The square's key chunk: VERT at 0 (48 bytes), TEXV at 56 (32), COLV at 96 (12), PARM at 116.
  const Case cases[] = {
      {"one byte longer", [](std::vector<uint8_t>& b) { b.push_back(0); }},
      {"one byte shorter", [](std::vector<uint8_t>& b) { b.pop_back(); }},
      {"forty zero bytes", [](std::vector<uint8_t>& b) { b.assign(40, 0); }},
      {"a nested tag other than VERT", [](std::vector<uint8_t>& b) { b[3] = 'X'; }},
      {"VERT 4 bytes short, TEXV 4 bytes long",
       [](std::vector<uint8_t>& b) {
         StoreU32BE(b.data() + 4, 44);
         StoreU32BE(b.data() + 52, 36);
       }},
      {"TEXV and COLV swapped",
       [](std::vector<uint8_t>& b) {
         std::vector<Chunk> nested = Split(b);
         std::swap(nested[1], nested[2]);
         b = Join(nested);
       }},
      {"PARM 2 bytes short, COLV 2 bytes long",
       [](std::vector<uint8_t>& b) {
         std::vector<Chunk> nested = Split(b);
         nested[3].second.resize(124);
         nested[2].second.resize(14);
         b = Join(nested);
       }},
      {"a coordinate that is not a number", [](std::vector<uint8_t>& b) { StoreU32BE(b.data() + 8 + 16, 0x7FC00000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Chunk> chunks = good;
    c.edit(BodyOf(chunks, "KFR0"));
    test::OverwriteFile(Path("Bad.cmf"), Join(chunks));
    EXPECT_EQ(ReadObjectFileQuietly(Spec(Path("Bad.cmf"), kObjectFileType)).status, kMalformed);
  }
  // Tags past the eight slots mean nothing here: passed over like any unknown chunk.
  std::vector<Chunk> chunks = good;
  chunks.insert(chunks.end() - 1, {{"KFR8", {1, 2, 3}}, {"KFRx", {}}});
  test::OverwriteFile(Path("Odd.cmf"), Join(chunks));
  EXPECT_EQ(ReadObjectFileQuietly(Spec(Path("Odd.cmf"), kObjectFileType)).status, kNoError);
  // A read that does not take keyframes leaves the slots alone.
  EXPECT_TRUE(ReadObjectFile(Spec(Path("Odd.cmf"), kObjectFileType)));
  EXPECT_TRUE(SetSlots().empty());
  EXPECT_EQ(scene.keyframeOwner, nullptr);
}

TEST_F(ObjectKeyframes, SlotFilesThatDoNotFitAreLeftOutOfTheSave) {
  auto square = test::MakeSquare();
  SetKey(*square, 0, 1);
  SetKey(*square, 3, 2);
  const std::string slot3 = KeyframeSlotPath(3);
  std::vector<uint8_t> bytes = test::ReadFileBytes(slot3);
  bytes.resize(bytes.size() - 10);
  test::OverwriteFile(slot3, bytes);
  auto triangle = test::MakeMesh(3, {Triangle{0, 1, 2}});
  SetKey(*triangle, 5, 3);

  // Not the owner: no keyframe chunk at all, and nothing to say.
  EXPECT_EQ(Tags(Split(WriteToBytes(*square))).size(), 13u);
  EXPECT_TRUE(Alerts().empty());

  scene.keyframeOwner = square.get();
  services.progressValues.clear();
  const std::vector<uint8_t> written = WriteToBytes(*square);
  const std::vector<std::string> tags = Tags(Split(written));
  EXPECT_EQ(std::vector<std::string>(tags.end() - 2, tags.end()), (std::vector<std::string>{"KFR0", "END "}));
  EXPECT_EQ(services.progressValues.size(), 13u);
  EXPECT_EQ(Alerts(), std::vector<std::string>{kFileError});
  test::OverwriteFile(Path("Saved.cmf"), written);
  EXPECT_EQ(ReadObjectFileQuietly(Spec(Path("Saved.cmf"), kObjectFileType)).status, kNoError);
}

}  // namespace
}  // namespace tsv
