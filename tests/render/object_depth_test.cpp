// The depth picture of an object that is not bound to the work arrays.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render/object_depth.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/topology.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

// A square of side 100 in the plane z = `z`, two triangles, facing the viewer or away.
std::unique_ptr<SceneObject> Square(float z, bool flipped) {
  std::unique_ptr<SceneObject> object = NewSceneObject(4, 2);
  if (!object) return nullptr;
  object->points = {{-50, -50, z}, {50, -50, z}, {50, 50, z}, {-50, 50, z}};
  if (flipped) {
    MutableTopology(*object)->triangles = {{0, 2, 1}, {0, 3, 2}};
  } else {
    MutableTopology(*object)->triangles = {{0, 1, 2}, {0, 2, 3}};
  }
  return object;
}

TEST(ObjectDepth, DrawsBothSidesWithTheViewsProjectionAndRange) {
  for (bool flipped : {false, true}) {
    std::unique_ptr<SceneObject> object = Square(30, flipped);
    ASSERT_TRUE(object);
    ObjectView view = DefaultObjectView(0);
    view.zoom = 2.0f;
    std::vector<float> depth;
    float nearest = 0, farthest = 0;
    ASSERT_TRUE(RenderObjectDepth(*object, view, depth, nearest, farthest)) << flipped;
    ASSERT_EQ(depth.size(), size_t(kViewSide) * kViewSide);
    // Zoom 2: the square covers columns 100..300 around the centre; depth = zoom x z.
    EXPECT_FLOAT_EQ(depth[size_t(199) * kViewSide + 200], 60.0f);
    EXPECT_FLOAT_EQ(depth[size_t(105) * kViewSide + 105], 60.0f);
    EXPECT_FLOAT_EQ(depth[size_t(50) * kViewSide + 200], -100000.0f);
    EXPECT_FLOAT_EQ(depth[size_t(199) * kViewSide + 350], -100000.0f);
    EXPECT_FLOAT_EQ(nearest, 60.0f);
    EXPECT_FLOAT_EQ(farthest, 60.0f);
  }
}

TEST(ObjectDepth, TheNearerSurfaceWinsAndNothingInViewIsReported) {
  std::unique_ptr<SceneObject> object = NewSceneObject(8, 4);
  ASSERT_TRUE(object);
  object->points = {{-50, -50, 10}, {50, -50, 10}, {50, 50, 10}, {-50, 50, 10},
                    {-20, -20, 40}, {20, -20, 40}, {20, 20, 40}, {-20, 20, 40}};
  MutableTopology(*object)->triangles = {{0, 1, 2}, {0, 2, 3}, {4, 5, 6}, {4, 6, 7}};
  ObjectView view = DefaultObjectView(0);
  std::vector<float> depth;
  float nearest = 0, farthest = 0;
  ASSERT_TRUE(RenderObjectDepth(*object, view, depth, nearest, farthest));
  EXPECT_FLOAT_EQ(depth[size_t(199) * kViewSide + 200], 40.0f);
  EXPECT_FLOAT_EQ(depth[size_t(199) * kViewSide + 235], 10.0f);
  EXPECT_FLOAT_EQ(nearest, 40.0f);
  EXPECT_FLOAT_EQ(farthest, 10.0f);

  view.centerX = 30000;  // the whole object far off to the side
  EXPECT_FALSE(RenderObjectDepth(*object, view, depth, nearest, farthest));
  view = DefaultObjectView(0);
  view.zoom = 0;
  EXPECT_FALSE(RenderObjectDepth(*object, view, depth, nearest, farthest));
}

// Far points and points that are not numbers land at the ends of the screen range: the triangles
// they make draw what falls in the view (nothing, for a corner that is not a number) and the
// square among them keeps its depth.
TEST(ObjectDepth, FarAndDamagedPointsLeaveTheSquareAsItIs) {
  std::unique_ptr<SceneObject> object = test::NewFarAndDamagedObject();
  ASSERT_TRUE(object);
  std::vector<float> depth;
  float nearest = 0, farthest = 0;
  ASSERT_TRUE(RenderObjectDepth(*object, DefaultObjectView(0), depth, nearest, farthest));
  EXPECT_FLOAT_EQ(depth[size_t(199) * kViewSide + 200], 0.0f);
  EXPECT_FLOAT_EQ(depth[size_t(170) * kViewSide + 170], 0.0f);
  EXPECT_FLOAT_EQ(depth[size_t(0) * kViewSide + 200], kEmptyDepth);
}

}  // namespace
}  // namespace tsv
