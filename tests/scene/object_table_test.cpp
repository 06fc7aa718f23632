// The object table, the work-array capacity, activation, disposal and running out of memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/scene/scene_fixture.h"

namespace tsv {
namespace {

using SceneObjectTable = test::SceneFixture;

const std::string kNoEmptySpace = "Error: No empty space.";
const std::string kNoMemoryForObject = "Error: Not enough memory to create new object.";

// Everything a failed or refused creation must leave as it was.
struct TableSnapshot {
  int objects;
  std::vector<const SceneObject*> slots;
  int16_t currentIndex;
  const SceneObject* current;
  int32_t pointCapacity, triangleCapacity, workPointCount;
  size_t workUVs, deformLow;
  bool modified;

  static TableSnapshot Take() {
    TableSnapshot s{ObjectCount(), {}, scene.currentObjectIndex, scene.currentObject,
                    WorkPointCapacity(), WorkTriangleCapacity(), scene.workObject->pointCount,
                    scene.workObject->pointUV.size(), scene.deformLow.size(), scene.projectModified};
    for (const auto& slot : scene.objectTable) s.slots.push_back(slot.get());
    return s;
  }
  void ExpectUnchanged() const {
    TableSnapshot now = Take();
    EXPECT_EQ(now.objects, objects);
    EXPECT_EQ(now.slots, slots);
    EXPECT_EQ(now.currentIndex, currentIndex);
    EXPECT_EQ(now.current, current);
    EXPECT_EQ(now.pointCapacity, pointCapacity);
    EXPECT_EQ(now.triangleCapacity, triangleCapacity);
    EXPECT_EQ(now.workPointCount, workPointCount);
    EXPECT_EQ(now.workUVs, workUVs);
    EXPECT_EQ(now.deformLow, deformLow);
    EXPECT_EQ(now.modified, modified);
  }
};

TEST_F(SceneObjectTable, TheTableHolds255ObjectsAndRefusesThe256th) {
  for (int i = 0; i < 255; ++i) {
    SceneObject* object = NewObjectInTable(false, 3, 1);
    ASSERT_NE(object, nullptr) << "object " << i;
    ASSERT_EQ(scene.objectTable[size_t(i)].get(), object);
    ASSERT_EQ(scene.currentObjectIndex, i);
    ASSERT_EQ(scene.currentObject, object);
  }
  EXPECT_EQ(ObjectCount(), 255);
  EXPECT_EQ(FindFreeObjectSlot(), kNoFreeSlot);
  EXPECT_TRUE(Stops().empty());

  scene.projectModified = false;
  const TableSnapshot before = TableSnapshot::Take();
  EXPECT_EQ(NewObjectInTable(false, 5000, 5000), nullptr);
  EXPECT_EQ(Stops(), std::vector<std::string>{kNoEmptySpace});
  before.ExpectUnchanged();

  // A freed slot is found again, the lowest first.
  DisposeSceneObject(scene.objectTable[200]);
  DisposeSceneObject(scene.objectTable[17]);
  EXPECT_EQ(FindFreeObjectSlot(), 17);
  EXPECT_EQ(ObjectCount(), 253);
}

TEST_F(SceneObjectTable, WorkArraysGrowForABigObjectAndShrinkWhenItGoes) {
  ASSERT_NE(NewObjectInTable(false, 10, 10), nullptr);
  EXPECT_EQ(WorkPointCapacity(), 128);
  EXPECT_EQ(WorkTriangleCapacity(), 128);

  SceneObject* big = NewObjectInTable(false, 5000, 6000);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(WorkPointCapacity(), 5000);
  EXPECT_EQ(WorkTriangleCapacity(), 6000);
  EXPECT_EQ(scene.deformLow.size(), 5000u);
  EXPECT_EQ(scene.deformHigh.size(), 5000u);
  EXPECT_EQ(scene.workObject->pointCount, 5000);
  EXPECT_EQ(scene.workObject->points.size(), 5000u);
  EXPECT_EQ(scene.workObject->pointUV.size(), 10000u);  // two copies per point
  EXPECT_EQ(scene.workObject->pointMask.size(), 5000u);

  DisposeSceneObject(scene.objectTable[1]);
  EXPECT_EQ(WorkPointCapacity(), 128);
  EXPECT_EQ(WorkTriangleCapacity(), 128);
  EXPECT_EQ(scene.deformHigh.size(), 128u);
  EXPECT_EQ(scene.workObject->pointCount, 128);
  EXPECT_EQ(scene.workObject->pointUV.size(), 256u);

  // A second start makes a new work object with arrays of the capacity in place, so the next
  // object activates into it.
  ASSERT_TRUE(InitScene());
  EXPECT_EQ(scene.workObject->points.size(), size_t(WorkPointCapacity()));
  EXPECT_EQ(scene.workObject->pointUV.size(), 2 * size_t(WorkPointCapacity()));
  EXPECT_NE(NewObjectInTable(false, 10, 10), nullptr);
}

TEST_F(SceneObjectTable, ShrinkingStopsAtTheLargestObjectStillInUse) {
  ASSERT_NE(NewObjectInTable(false, 300, 200), nullptr);
  auto held = NewSceneObject(1000, 100);  // an object a tool keeps outside the table
  ASSERT_TRUE(held);
  RegisterLiveObject(held.get());
  ASSERT_NE(NewObjectInTable(false, 5000, 5000), nullptr);

  DisposeSceneObject(scene.objectTable[1]);
  EXPECT_EQ(WorkPointCapacity(), 1000);
  EXPECT_EQ(WorkTriangleCapacity(), 200);

  DisposeSceneObject(held);  // unregisters itself on the way
  EXPECT_TRUE(scene.liveObjects.empty());
  EXPECT_EQ(WorkPointCapacity(), 300);
  EXPECT_EQ(WorkTriangleCapacity(), 200);

  // Disposing the work object itself leaves the capacity alone.
  DisposeSceneObject(scene.workObject);
  EXPECT_EQ(scene.workObject, nullptr);
  EXPECT_EQ(WorkPointCapacity(), 300);
}

TEST_F(SceneObjectTable, DisposingTheCurrentObjectAndTheKeyframeOwner) {
  int discarded = 0;
  scene.discardKeyframeShapes = [&] { ++discarded; };
  SceneObject* first = NewObjectInTable(false, 3, 1);
  SceneObject* second = NewObjectInTable(false, 3, 1);
  ASSERT_TRUE(first && second);
  scene.keyframeOwner = first;
  ASSERT_EQ(scene.currentObject, second);

  scene.projectModified = false;
  DisposeSceneObject(scene.objectTable[1]);
  EXPECT_EQ(scene.currentObject, nullptr);
  EXPECT_EQ(scene.currentObjectIndex, -1);
  EXPECT_EQ(scene.activeObject, nullptr);
  EXPECT_TRUE(scene.projectModified);
  EXPECT_EQ(discarded, 0);
  EXPECT_EQ(scene.keyframeOwner, first);

  DisposeSceneObject(scene.objectTable[0]);
  EXPECT_EQ(discarded, 1);
  EXPECT_EQ(scene.keyframeOwner, nullptr);
  DisposeSceneObject(scene.objectTable[0]);  // an empty slot: nothing happens
  EXPECT_EQ(discarded, 1);
}

TEST_F(SceneObjectTable, DisposalClearsLinksToTheObjectInHierarchies) {
  SceneObject* parent = NewObjectInTable(false, 3, 1);
  SceneObject* child = NewObjectInTable(false, 3, 1);
  ASSERT_TRUE(parent && child);
  parent->hierarchy.resize(2);
  parent->hierarchy[0].object = parent;
  parent->hierarchy[1].object = child;
  DisposeSceneObject(scene.objectTable[1]);
  EXPECT_EQ(parent->hierarchy[0].object, parent);
  EXPECT_EQ(parent->hierarchy[1].object, nullptr);
}

TEST_F(SceneObjectTable, RunningOutOfMemoryLeavesEverythingAsItWas) {
  ASSERT_NE(NewObjectInTable(false, 10, 10), nullptr);
  scene.projectModified = false;
  const TableSnapshot before = TableSnapshot::Take();

  // Fail the first allocation, then the second, ... until creation gets through: every failure
  // point (the record, each of its arrays, each work array) must undo everything before it.
  int failures = 0;
  for (int n = 1; n < 100; ++n) {
    services.shown.clear();
    scene.failAllocationCountdown = n;
    SceneObject* object = NewObjectInTable(false, 5000, 6000);
    scene.failAllocationCountdown = 0;
    if (object != nullptr) break;
    ++failures;
    EXPECT_EQ(Stops(), std::vector<std::string>{kNoMemoryForObject}) << "failing allocation " << n;
    before.ExpectUnchanged();
    EXPECT_EQ(scene.workObject->points.size(), 128u) << "failing allocation " << n;
  }
  // The record and its eleven arrays come first; later failures are in the work arrays.
  EXPECT_GT(failures, 11);
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(WorkPointCapacity(), 5000);
}

TEST_F(SceneObjectTable, CountsAreCheckedBeforeAnythingIsAllocated) {
  const TableSnapshot before = TableSnapshot::Take();
  EXPECT_EQ(NewSceneObject(-1, 4), nullptr);
  EXPECT_EQ(NewSceneObject(4, -1), nullptr);
  EXPECT_TRUE(Stops().empty());
  EXPECT_EQ(NewSceneObject(kMaxMeshPoints + 1, 0), nullptr);
  EXPECT_EQ(Stops(), std::vector<std::string>{kNoMemoryForObject});
  before.ExpectUnchanged();
}

TEST_F(SceneObjectTable, ActivationFillsTheWorkRecordsAndTheUndoCopy) {
  // Point 3 is used by no triangle.
  auto owned = test::MakeMesh(4, {{0, 1, 2}, {2, 1, 0}});
  ASSERT_TRUE(owned);
  owned->points = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  owned->pointColors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  owned->pointMask = {255, 0, 17, 9};
  owned->pointUV = {{0, 1}, {2, 3}, {4, 5}, {6, 7}};
  owned->hasUnsavedChanges = 1;
  owned->dirtyFlags = 0;
  scene.triangleWork[2].flags = 0;
  std::vector<SceneObject*> textured;
  scene.prepareTextureWorkImage = [&](SceneObject& o) { textured.push_back(&o); };

  ASSERT_TRUE(StoreObjectInSlot(0, std::move(owned)));
  SceneObject* object = scene.objectTable[0].get();
  EXPECT_EQ(scene.currentObject, object);
  EXPECT_EQ(object->pointWork, &scene.pointWork);
  EXPECT_EQ(object->triangleWork, &scene.triangleWork);
  EXPECT_EQ(object->dirtyFlags, kAllDirty);
  EXPECT_EQ(textured, std::vector<SceneObject*>{object});

  const float corners[4] = {2, 2, 2, 0};
  for (size_t i = 0; i < 4; ++i) {
    const PointWork& r = scene.pointWork[i];
    EXPECT_EQ((std::array<float, 3>{r.x, r.y, r.z}),
              (std::array<float, 3>{object->points[i].x, object->points[i].y, object->points[i].z}));
    EXPECT_EQ(r.mask, object->pointMask[i]);
    EXPECT_EQ((std::array<int, 3>{r.red, r.green, r.blue}),
              (std::array<int, 3>{object->pointColors[i].red, object->pointColors[i].green,
                                  object->pointColors[i].blue}));
    EXPECT_EQ(r.cornerCount, corners[i]) << "point " << i;

    const SceneObject& work = *scene.workObject;
    EXPECT_EQ(work.points[i].z, object->points[i].z);
    EXPECT_EQ(work.pointColors[i].blue, object->pointColors[i].blue);
    EXPECT_EQ(work.pointMask[i], object->pointMask[i]);
    EXPECT_EQ(work.pointUV[2 * i].v, object->pointUV[i].v);
    EXPECT_EQ(work.pointUV[2 * i + 1].u, object->pointUV[i].u);
  }
  EXPECT_EQ(scene.workObject->hasUnsavedChanges, 1);
  EXPECT_EQ(scene.triangleWork[0].flags, 1u);
  EXPECT_EQ(scene.triangleWork[1].flags, 1u);
  EXPECT_EQ(scene.triangleWork[2].flags, 0u);  // beyond the object's triangles

  // Activating another object takes the work arrays away from the first.
  SceneObject* other = NewObjectInTable(false, 3, 1);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(object->pointWork, nullptr);
  EXPECT_EQ(other->pointWork, &scene.pointWork);
  EXPECT_EQ(scene.currentObjectIndex, 1);
}

TEST_F(SceneObjectTable, ObjectsThatCannotBeActivated) {
  EXPECT_FALSE(ActivateSceneObject(nullptr));
  auto broken = NewSceneObject(4, 2);
  ASSERT_TRUE(broken);
  broken->pointCount = 400;  // counts that no longer match the arrays
  EXPECT_FALSE(ActivateSceneObject(broken.get()));
  EXPECT_EQ(broken->pointWork, nullptr);
  EXPECT_EQ(WorkPointCapacity(), 128);
  broken->pointCount = 4;

  // An object without points gets only the texture step and the dirty bits.
  int textureSteps = 0;
  scene.prepareTextureWorkImage = [&](SceneObject&) { ++textureSteps; };
  auto empty = NewSceneObject(0, 0);
  ASSERT_TRUE(empty);
  empty->dirtyFlags = 0;
  EXPECT_TRUE(ActivateSceneObject(empty.get()));
  EXPECT_EQ(textureSteps, 1);
  EXPECT_EQ(empty->dirtyFlags, kAllDirty);
  DisposeSceneObject(empty);
  DisposeSceneObject(broken);
}

TEST_F(SceneObjectTable, StoringIntoATakenSlotDisposesTheNewObject) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  SceneObject* kept = scene.objectTable[0].get();
  EXPECT_FALSE(StoreObjectInSlot(0, NewSceneObject(700, 1)));
  EXPECT_EQ(scene.objectTable[0].get(), kept);
  EXPECT_EQ(WorkPointCapacity(), 128);  // the refused object's growth was undone with it
}

TEST_F(SceneObjectTable, ShutdownReleasesEverythingOnce) {
  int discarded = 0;
  scene.discardKeyframeShapes = [&] { ++discarded; };
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ASSERT_NE(NewObjectInTable(false, 300, 1), nullptr);
  scene.keyframeOwner = scene.objectTable[0].get();
  ShutdownScene();
  EXPECT_EQ(discarded, 1);
  EXPECT_EQ(ObjectCount(), 0);
  EXPECT_EQ(scene.currentObject, nullptr);
  EXPECT_EQ(scene.keyframeOwner, nullptr);
  EXPECT_EQ(scene.workObject, nullptr);
  EXPECT_EQ(WorkPointCapacity(), 0);
  EXPECT_TRUE(scene.deformLow.empty());
}

// A new object is "Untitled", or the first "Untitled N" that no object of the table bears.
struct NamingCase {
  const char* name;
  std::vector<std::string> taken;  // names of the objects already in the table
  std::string expected;
};

class NewObjectNames : public test::SceneFixture, public testing::WithParamInterface<NamingCase> {};

TEST_P(NewObjectNames, TakeTheFirstNameNoObjectBears) {
  const NamingCase& c = GetParam();
  for (const std::string& name : c.taken) {
    SceneObject* object = NewObjectInTable(false, 3, 1);
    ASSERT_NE(object, nullptr);
    object->name = TextToCountedString(name);
  }
  SceneObject* synthetic = NewObjectInTable(false, 3, 1);
  ASSERT_NE(synthetic, nullptr);
  EXPECT_EQ(CountedToText(synthetic->name), c.expected) << c.name;
  // An organic object is named the same way once the synthetic one is gone again.
  DisposeSceneObject(scene.objectTable[size_t(SlotOfObject(synthetic))]);
  SceneObject* organic = NewObjectInTable(true);
  ASSERT_NE(organic, nullptr);
  EXPECT_EQ(CountedToText(organic->name), c.expected) << c.name;
  EXPECT_TRUE(Stops().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewObjectNames,
    testing::Values(NamingCase{"empty table", {}, "Untitled"},
                    NamingCase{"Untitled taken", {"Untitled"}, "Untitled 2"},
                    NamingCase{"2 and 3 taken", {"Untitled", "Untitled 2", "Untitled 3"}, "Untitled 4"},
                    NamingCase{"a gap", {"Untitled 3", "Untitled", "Untitled 4"}, "Untitled 2"},
                    NamingCase{"only a numbered one", {"Untitled 2"}, "Untitled"},
                    NamingCase{"near misses", {"untitled", "Untitled ", "Rock"}, "Untitled"}));

TEST_F(SceneObjectTable, NamesAreFreedWithTheirObjectsAndReachPastAFullRun) {
  for (int i = 0; i < 3; ++i) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  DisposeSceneObject(scene.objectTable[1]);  // "Untitled 2"
  SceneObject* again = NewObjectInTable(false, 3, 1);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(scene.objectTable[1].get(), again);
  EXPECT_EQ(CountedToText(again->name), "Untitled 2");

  // With every other slot taken by an "Untitled N", the last object still gets a name of its own.
  while (FindFreeObjectSlot() < kObjectSlotCount - 1) ASSERT_NE(NewObjectInTable(false, 0, 0), nullptr);
  SceneObject* last = NewObjectInTable(false, 0, 0);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(CountedToText(last->name), "Untitled 255");
}

}  // namespace
}  // namespace tsv
