// The undo history: every commit joins the current object's history, which steps back and forward
// through whole states, per object, within the memory budget.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "platform/platform_state.h"
#include "scene/history.h"
#include "tests/tools/tool_fixture.h"
#include "tools/deform_tools.h"

namespace tsv::test {
namespace {

// Everything a commit changes, as words, so that two states compare bit for bit.
std::vector<uint32_t> StateWords(const SceneObject& object) {
  std::vector<uint32_t> words;
  for (int32_t i = 0; i < object.pointCount; ++i) {
    const size_t k = size_t(i);
    const Vec3f& p = object.points[k];
    const Rgb8& c = object.pointColors[k];
    const PointWork& w = (*object.pointWork)[k];
    words.insert(words.end(), {std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y),
                               std::bit_cast<uint32_t>(p.z), std::bit_cast<uint32_t>(object.pointUV[k].u),
                               std::bit_cast<uint32_t>(object.pointUV[k].v),
                               uint32_t(c.red) | uint32_t(c.green) << 8 | uint32_t(c.blue) << 16,
                               object.pointMask[k],
                               // The work records hold the committed copies the next tool starts from.
                               std::bit_cast<uint32_t>(w.x), std::bit_cast<uint32_t>(w.y),
                               std::bit_cast<uint32_t>(w.z), w.mask,
                               uint32_t(w.red) | uint32_t(w.green) << 8 | uint32_t(w.blue) << 16});
  }
  const HistoryHeader header = HistoryHeaderOf(object);
  words.insert(words.end(), header.optics.begin(), header.optics.end());
  const TextureMapping& mapping = header.mapping;
  words.insert(words.end(), {mapping.textureUsesAlpha, mapping.textureBump, mapping.textureFlags,
                             std::bit_cast<uint32_t>(mapping.textureZoom)});
  words.insert(words.end(), mapping.textureParams.begin(), mapping.textureParams.end());
  words.insert(words.end(), mapping.textureOffset.begin(), mapping.textureOffset.end());
  return words;
}

class UndoHistory : public ToolFixture {
 protected:
  // Change `number` of a few kinds, each committed as the panel commits a tool.
  static void Change(SceneObject* object, int number) {
    switch (number % 5) {
      case 0:
        DeformScale(object, ToolFixture::Undo(), int16_t(150 + number));
        break;
      case 1:
        object->optics.isPainted = 1;
        for (Rgb8& c : object->pointColors) c = {uint8_t(40 * number), 7, uint8_t(number)};
        break;
      case 2:
        for (size_t i = 0; i < object->pointMask.size(); i += 3) object->pointMask[i] = uint8_t(number);
        break;
      case 3:
        for (Uv& uv : object->pointUV) uv.u += float(number);
        break;
      default:
        object->optics.shininess = uint16_t(number);
        object->textureZoom = 1.5f + float(number);
        object->textureOffset = {uint16_t(number), 3};
        break;
    }
    CommitObjectChange(object, ToolFixture::Undo());
  }

  // Makes `count` changes, and gives every state from the first to the last.
  static std::vector<std::vector<uint32_t>> MakeChanges(SceneObject* object, int count, int first = 0) {
    std::vector<std::vector<uint32_t>> states{StateWords(*object)};
    for (int n = first; n < first + count; ++n) {
      Change(object, n);
      states.push_back(StateWords(*object));
    }
    return states;
  }

  static size_t Back() { return HistoryStepsBack(*scene.currentObject); }
  static size_t Forward() { return HistoryStepsForward(*scene.currentObject); }
};

TEST_F(UndoHistory, NStepsBackGiveTheFirstStateExactlyAndForwardAgainTheLast) {
  for (const bool organic : {true, false}) {
    SCOPED_TRACE(organic ? "sphere" : "mesh");
    SceneObject* object = organic ? AddSphere() : AddMesh(OctahedronPoints(), OctahedronTriangles());
    ASSERT_NE(object, nullptr);
    constexpr int kChanges = 7;
    const std::vector<std::vector<uint32_t>> states = MakeChanges(object, kChanges);
    for (size_t k = 1; k < states.size(); ++k) ASSERT_NE(states[k], states[k - 1]) << k;
    steps.clear();
    EXPECT_EQ(Back(), size_t(kChanges));
    EXPECT_EQ(Forward(), 0u);
    EXPECT_FALSE(StepForwardInHistory());

    for (int k = kChanges - 1; k >= 0; --k) {
      ASSERT_TRUE(StepBackInHistory());
      EXPECT_TRUE(StateWords(*object) == states[size_t(k)]) << "back to state " << k;
      EXPECT_EQ(Back(), size_t(k));
      EXPECT_EQ(Forward(), size_t(kChanges - k));
    }
    EXPECT_FALSE(StepBackInHistory());
    EXPECT_TRUE(StateWords(*object) == states.front());
    for (int k = 1; k <= kChanges; ++k) {
      ASSERT_TRUE(StepForwardInHistory());
      EXPECT_TRUE(StateWords(*object) == states[size_t(k)]) << "forward to state " << k;
    }
    EXPECT_FALSE(StepForwardInHistory());
    EXPECT_EQ(object->hasUnsavedChanges, 1);
    EXPECT_TRUE(steps.empty()) << "a step through the history is not a task step";
  }
}

// A step leaves the undo copy and the material snapshots as the commit into that state did, so
// "To undo" and the single-level undo go on from there.
TEST_F(UndoHistory, AfterAStepBackTheUndoCopyHoldsTheStateBeforeIt) {
  SceneObject* mesh = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  const std::vector<Vec3f> firstPoints = mesh->points;
  const std::vector<Uv> firstUV = mesh->pointUV;
  Change(mesh, 0);  // scale
  Change(mesh, 3);  // coordinates
  Change(mesh, 4);  // material and mapping
  const uint16_t shininess = mesh->optics.shininess;

  ASSERT_TRUE(StepBackInHistory());
  ASSERT_TRUE(StepBackInHistory());  // the object stands after the scale
  const std::vector<Vec3f> scaled = mesh->points;
  for (size_t i = 0; i < firstPoints.size(); ++i) {
    ASSERT_TRUE(SamePosition(ToolFixture::Undo()->points[i], firstPoints[i])) << i;
    EXPECT_EQ(ToolFixture::Undo()->pointUV[2 * i].u, mesh->pointUV[i].u);
    EXPECT_EQ(ToolFixture::Undo()->pointUV[2 * i + 1].u, firstUV[i].u);
  }
  EXPECT_NE(toolState.previousOptics.shininess, shininess);
  EXPECT_EQ(toolState.currentOptics.shininess, mesh->optics.shininess);

  // The single-level undo now swaps with the state before, as after the scale's own commit.
  UndoRedo();
  for (size_t i = 0; i < firstPoints.size(); ++i) {
    ASSERT_NEAR(Distance(mesh->points[i], firstPoints[i]), 0, 1e-5f) << i;
  }
  UndoRedo();
  for (size_t i = 0; i < firstPoints.size(); ++i) ASSERT_NEAR(Distance(mesh->points[i], scaled[i]), 0, 1e-5f);
}

// The same changes on two spheres, taken back once by the single-level undo and once by the
// history: the same positions and paint.
TEST_F(UndoHistory, TheFirstStepBackEndsWhereTheSingleLevelUndoDoes) {
  std::vector<Vec3f> points[2];
  std::vector<Rgb8> paint[2];
  for (int run = 0; run < 2; ++run) {
    SceneObject* sphere = AddSphere();
    ASSERT_NE(sphere, nullptr);
    Change(sphere, 0);  // scale
    Change(sphere, 1);  // paint
    Change(sphere, 5);  // scale again
    if (run == 0) {
      UndoRedo();
    } else {
      ASSERT_TRUE(StepBackInHistory());
    }
    points[run] = sphere->points;
    paint[run] = sphere->pointColors;
  }
  ASSERT_EQ(points[0].size(), points[1].size());
  for (size_t i = 0; i < points[0].size(); ++i) {
    ASSERT_TRUE(SamePosition(points[0][i], points[1][i])) << i;
    ASSERT_EQ(paint[0][i].red, paint[1][i].red) << i;
  }
  // The single-level undo was itself a commit: a step back from it redoes.
  ASSERT_TRUE(SetCurrentObject(0));
  EXPECT_EQ(Back(), 4u);
}

// The material panel changes the object without a commit: stepping over changes that left the
// material alone keeps what was set since; a step that changed it takes it back.
TEST_F(UndoHistory, AMaterialSetSinceTheLastCommitOutlivesStepsThatLeaveItAlone) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const uint16_t firstShininess = sphere->optics.shininess;
  Change(sphere, 4);  // material and mapping
  const float zoom = sphere->textureZoom;
  Change(sphere, 0);  // scale
  sphere->optics.diffuseColor = {0x1000, 0x2000, 0x3000};
  ASSERT_TRUE(StepBackInHistory());
  EXPECT_EQ(sphere->optics.diffuseColor.green, 0x2000);
  EXPECT_EQ(sphere->textureZoom, zoom);
  ASSERT_TRUE(StepBackInHistory());
  EXPECT_EQ(sphere->optics.shininess, firstShininess);
  EXPECT_NE(sphere->textureZoom, zoom);
  EXPECT_EQ(sphere->optics.diffuseColor.green, 0x2000);
  ASSERT_TRUE(StepForwardInHistory());
  EXPECT_EQ(sphere->textureZoom, zoom);
  EXPECT_EQ(sphere->optics.diffuseColor.blue, 0x3000);
}

TEST_F(UndoHistory, ANewChangeAfterStepsBackDropsTheStepsForward) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<std::vector<uint32_t>> states = MakeChanges(sphere, 4);
  ASSERT_TRUE(StepBackInHistory());
  ASSERT_TRUE(StepBackInHistory());
  Change(sphere, 12);
  const std::vector<uint32_t> branch = StateWords(*sphere);
  EXPECT_EQ(Back(), 3u);
  EXPECT_EQ(Forward(), 0u);
  EXPECT_FALSE(StepForwardInHistory());
  ASSERT_TRUE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*sphere) == states[2]);
  ASSERT_TRUE(StepForwardInHistory());
  EXPECT_TRUE(StateWords(*sphere) == branch);
  // A commit that changes nothing is no step.
  CommitObjectChange(sphere, ToolFixture::Undo());
  EXPECT_EQ(Back(), 3u);
}

TEST_F(UndoHistory, TheBudgetDropsTheOldestStatesFirstAcrossObjects) {
  platform.settings.historyBudgetMB = 1;
  SceneObject* mesh = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  Change(mesh, 0);
  const uint64_t meshSerial = mesh->serial;
  ASSERT_GT(ObjectHistoryBytes(meshSerial), 0u);

  // Every scale moves all 8194 points of the sphere: far more states than a megabyte holds.
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  constexpr int kChanges = 24;
  std::vector<std::vector<uint32_t>> states{StateWords(*sphere)};
  for (int n = 0; n < kChanges; ++n) {
    DeformScale(sphere, ToolFixture::Undo(), int16_t(n % 2 == 0 ? 160 : 100));
    CommitObjectChange(sphere, ToolFixture::Undo());
    states.push_back(StateWords(*sphere));
    ASSERT_LE(scene.history.bytes, size_t(1) << 20) << n;
  }
  EXPECT_EQ(ObjectHistoryBytes(meshSerial), 0u) << "the older object's steps went first";
  const size_t back = Back();
  EXPECT_GE(back, 2u);
  EXPECT_LT(back, size_t(kChanges));
  // The steps that are left are the newest, and lead back exactly.
  for (size_t k = 0; k < back; ++k) ASSERT_TRUE(StepBackInHistory());
  EXPECT_FALSE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*sphere) == states[size_t(kChanges) - back]);
  for (size_t k = 0; k < back; ++k) ASSERT_TRUE(StepForwardInHistory());
  EXPECT_TRUE(StateWords(*sphere) == states.back());
}

TEST_F(UndoHistory, TheLastChangeStaysUndoableWhateverItsSize) {
  platform.settings.historyBudgetMB = 1;
  // 60000 points: one whole state takes more than the budget.
  std::vector<Vec3f> points(60000);
  for (size_t i = 0; i < points.size(); ++i) points[i] = {float(i % 300), float(i / 300), 1};
  SceneObject* big = AddMesh(points, {{0, 1, 300}, {1, 301, 300}});
  ASSERT_NE(big, nullptr);
  const std::vector<std::vector<uint32_t>> states = MakeChanges(big, 2, 3);
  EXPECT_GT(scene.history.bytes, size_t(1) << 20);
  EXPECT_EQ(Back(), 1u);
  ASSERT_TRUE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*big) == states[1]);
  EXPECT_FALSE(StepBackInHistory());
}

TEST_F(UndoHistory, TwoObjectsKeepSeparateHistories) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const int sphereSlot = scene.currentObjectIndex;
  const std::vector<std::vector<uint32_t>> sphereStates = MakeChanges(sphere, 3);

  SceneObject* mesh = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  const int meshSlot = scene.currentObjectIndex;
  EXPECT_EQ(Back(), 0u);
  const std::vector<std::vector<uint32_t>> meshStates = MakeChanges(mesh, 2, 1);
  EXPECT_EQ(Back(), 2u);
  ASSERT_TRUE(StepBackInHistory());

  ASSERT_TRUE(SetCurrentObject(sphereSlot));
  EXPECT_EQ(Back(), 3u);
  EXPECT_EQ(Forward(), 0u);
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*sphere) == sphereStates.front());

  ASSERT_TRUE(SetCurrentObject(meshSlot));
  EXPECT_TRUE(StateWords(*mesh) == meshStates[1]);
  EXPECT_EQ(Back(), 1u);
  EXPECT_EQ(Forward(), 1u);
  ASSERT_TRUE(StepForwardInHistory());
  EXPECT_TRUE(StateWords(*mesh) == meshStates[2]);
}

TEST_F(UndoHistory, ADisposedObjectTakesItsHistoryWithIt) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const int slot = scene.currentObjectIndex;
  const uint64_t serial = sphere->serial;
  (void)MakeChanges(sphere, 3);
  ASSERT_GT(ObjectHistoryBytes(serial), 0u);
  DisposeSceneObject(scene.objectTable[size_t(slot)]);
  EXPECT_EQ(ObjectHistoryBytes(serial), 0u);
  EXPECT_EQ(scene.history.bytes, 0u);
  for (const ObjectHistory& entry : scene.history.objects) EXPECT_NE(entry.serial, serial);

  // The next object, though made in the same slot and at the same address, starts with none.
  SceneObject* next = AddSphere();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(Back(), 0u);
  EXPECT_FALSE(StepBackInHistory());
}

TEST_F(UndoHistory, AnotherMeshOrNoMemoryStartsTheHistoryAfresh) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  (void)MakeChanges(sphere, 2);
  // The history cannot be kept: the commit stands, the object's history goes.
  scene.failAllocationCountdown = 1;
  Change(sphere, 3);
  scene.failAllocationCountdown = 0;
  const std::vector<uint32_t> committed = StateWords(*sphere);
  EXPECT_EQ(Back(), 0u);
  EXPECT_FALSE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*sphere) == committed);
  // And the next commit starts it again from the state before.
  const std::vector<std::vector<uint32_t>> states = MakeChanges(sphere, 1, 3);
  EXPECT_EQ(Back(), 1u);
  ASSERT_TRUE(StepBackInHistory());
  EXPECT_TRUE(StateWords(*sphere) == states.front());

  // An object whose point count no longer fits its states steps nowhere.
  sphere->pointCount -= 1;
  EXPECT_EQ(Back(), 0u);
  EXPECT_EQ(Forward(), 0u);
  EXPECT_FALSE(StepForwardInHistory());
  sphere->pointCount += 1;
}

TEST_F(UndoHistory, NothingHappensWithoutAnObject) {
  EXPECT_FALSE(StepBackInHistory());
  EXPECT_FALSE(StepForwardInHistory());
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  EXPECT_FALSE(StepBackInHistory());
  EXPECT_TRUE(steps.empty());
}

}  // namespace
}  // namespace tsv::test
