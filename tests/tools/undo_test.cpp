// The commit after every tool and the single-level undo that "To undo" and Ctrl+Z give.
#include <gtest/gtest.h>

#include "scene/task_steps.h"
#include "tests/tools/tool_fixture.h"
#include "tools/deform_tools.h"

namespace tsv::test {
namespace {

class Undo : public ToolFixture {};

TEST_F(Undo, AFullToUndoThenCommitSwapsTheStatesAndASecondRedoes) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> before = sphere->points;
  DeformScale(sphere, ToolFixture::Undo(), 200);
  CommitObjectChange(sphere, ToolFixture::Undo());
  const std::vector<Vec3f> after = sphere->points;
  ASSERT_NE(after[0].y, before[0].y);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);

  UndoRedo();
  for (size_t i = 0; i < before.size(); ++i) {
    ASSERT_TRUE(SamePosition(sphere->points[i], before[i])) << i;
    ASSERT_TRUE(SamePosition(ToolFixture::Undo()->points[i], after[i])) << i;
  }
  UndoRedo();
  for (size_t i = 0; i < before.size(); ++i) ASSERT_TRUE(SamePosition(sphere->points[i], after[i])) << i;

  ASSERT_EQ(steps.size(), 2u);
  for (const RecordedStep& step : steps) {
    EXPECT_EQ(step.code, TaskStepCode("UN"));
    EXPECT_EQ(step.value1, 256);
  }
}

TEST_F(Undo, PaintAndTextureCoordinatesSwapAndBlendWithThePositions) {
  SceneObject* mesh = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  mesh->optics.isPainted = 1;
  const std::vector<Rgb8> firstPaint = mesh->pointColors;
  const std::vector<Uv> firstUV = mesh->pointUV;
  // A paint tool changed the live paint and coordinates; the panel commits.
  for (Rgb8& c : mesh->pointColors) c = {200, 10, 0};
  for (Uv& uv : mesh->pointUV) uv.u += 64;
  CommitObjectChange(mesh, ToolFixture::Undo());
  const std::vector<Rgb8> secondPaint = mesh->pointColors;
  const std::vector<Uv> secondUV = mesh->pointUV;

  DeformToUndo(mesh, ToolFixture::Undo(), 128);
  EXPECT_EQ(mesh->pointColors[0].red, (secondPaint[0].red * 128 + firstPaint[0].red * 128) >> 8);
  EXPECT_FLOAT_EQ(mesh->pointUV[0].u, (firstUV[0].u + secondUV[0].u) / 2);
  // Every derived part is marked; the redraw has already rebuilt its own (bits 0 and 1).
  EXPECT_EQ(mesh->dirtyFlags & 28, 28);

  UndoRedo();
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(mesh->pointColors[i].red, firstPaint[i].red);
    EXPECT_EQ(mesh->pointColors[i].green, firstPaint[i].green);
    EXPECT_FLOAT_EQ(mesh->pointUV[i].u, firstUV[i].u);
  }
  UndoRedo();
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(mesh->pointColors[i].red, secondPaint[i].red);
    EXPECT_FLOAT_EQ(mesh->pointUV[i].u, secondUV[i].u);
  }
}

TEST_F(Undo, AnUnpaintedObjectKeepsItsPaintAndAnOrganicOneItsCoordinates) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const Rgb8 paint = sphere->pointColors[5];
  const Uv uv = sphere->pointUV[5];
  ToolFixture::Undo()->pointColors[5] = {1, 2, 3};
  ToolFixture::Undo()->pointUV[11] = {7, 7};
  DeformToUndo(sphere, ToolFixture::Undo(), 256);
  EXPECT_EQ(sphere->pointColors[5].red, paint.red);
  EXPECT_FLOAT_EQ(sphere->pointUV[5].u, uv.u);
}

TEST_F(Undo, TheCommitShiftsMaterialAndTextureMappingThroughTwoSnapshots) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->optics.shininess = 10;
  sphere->textureZoom = 2;
  CommitObjectChange(sphere, ToolFixture::Undo());
  sphere->optics.shininess = 20;
  sphere->textureZoom = 3;
  CommitObjectChange(sphere, ToolFixture::Undo());
  EXPECT_EQ(toolState.currentOptics.shininess, 20);
  EXPECT_EQ(toolState.previousOptics.shininess, 10);
  EXPECT_FLOAT_EQ(toolState.currentTextureMapping.textureZoom, 3);
  EXPECT_FLOAT_EQ(toolState.previousTextureMapping.textureZoom, 2);
}

TEST_F(Undo, TheMaskMovesIntoTheUndoCopyOnCommit) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->pointMask[3] = 9;
  CommitObjectChange(sphere, ToolFixture::Undo());
  EXPECT_EQ((*sphere->pointWork)[3].mask, 9);
  EXPECT_EQ(ToolFixture::Undo()->pointMask[3], 255);
  sphere->pointMask[3] = 50;
  CommitObjectChange(sphere, ToolFixture::Undo());
  EXPECT_EQ((*sphere->pointWork)[3].mask, 50);
  EXPECT_EQ(ToolFixture::Undo()->pointMask[3], 9);
}

TEST_F(Undo, NothingHappensWithoutAnObjectOrABindingOrAnUndoCopy) {
  UndoRedo();  // no current object
  EXPECT_TRUE(steps.empty());
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> points = sphere->points;
  const uint16_t unsaved = sphere->hasUnsavedChanges;
  DeformScale(sphere, ToolFixture::Undo(), 250);
  CommitObjectChange(sphere, nullptr);
  CommitObjectChange(nullptr, ToolFixture::Undo());
  SceneObject* other = AddMesh(OctahedronPoints(), OctahedronTriangles());  // takes the binding
  ASSERT_NE(other, nullptr);
  CommitObjectChange(sphere, ToolFixture::Undo());
  for (size_t i = 0; i < points.size(); ++i) ASSERT_TRUE(SamePosition(sphere->points[i], points[i]));
  EXPECT_EQ(sphere->hasUnsavedChanges, unsaved);
}

}  // namespace
}  // namespace tsv::test
