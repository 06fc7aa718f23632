// synthetic_shapes.h: the seven parametric standard shapes of the shape dialog ("Front Side Plain
// Mesh", "Both Sides Plain Mesh", "Sphere", "Cylinder", "Cube", "Cone", "Doughnut"), built as new
// non-organic objects that fit the cube from -128 to 128, and the commands that put a new
// standard shape (synthetic or organic) into the object table.
//
// Winding: every face looks outward with (P1 - P0) x (P2 - P0), the convention CorrectNormals
// restores; the closed shapes are closed (every edge shared by two triangles running it in
// opposite directions). The plain meshes face +z (the back of the two-sided one faces -z).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/string_id.h"
#include "scene/scene_object.h"

namespace tsv {

// Shape numbers, in the order of the dialog.
enum SyntheticShapeKind : uint16_t {
  kFrontSidePlainMesh = 0,
  kBothSidesPlainMesh = 1,
  kSyntheticSphere = 2,
  kSyntheticCylinder = 3,
  kSyntheticCube = 4,
  kSyntheticCone = 5,
  kSyntheticDoughnut = 6,
};
inline constexpr int kSyntheticShapeCount = 7;
inline constexpr int32_t kMaxShapeDivisions = 512;
inline constexpr float kMinFatness = 0.05f;
inline constexpr float kMaxFatness = 1.0f;

// The dialog's settings: the shape, the divisions x and y ("Divisions"), b ("Base Divisions") and
// f ("Fatness").
struct SyntheticShapeSettings {
  uint16_t shape = kSyntheticSphere;
  int32_t x = 32;
  int32_t y = 32;
  int32_t b = 4;
  float f = 0.5f;
};

// The shape's name as the dialog lists it.
StringId SyntheticShapeName(int shape);

// Forces the parameters the shape uses into its ranges; the others are left as they are. Plain
// meshes: x, y 1..512. Sphere: x 3..512 points per ring and y - 2 in 0..512 (y + 1 - 2 rings, at
// least one), so y becomes 2..514. Cylinder and cone: x 3..512, y and b 1..512. Cube: x, y
// 1..512. Doughnut: x, y 3..512, f 0.05..1 (a fatness that is not a number counts as 0.05).
// False, with nothing changed, for an unknown shape.
[[nodiscard]] bool ClampSyntheticShapeSettings(SyntheticShapeSettings& settings);

// What the dialog lets through: x, y and b 1..512 and f 0.05..1 whatever the shape, then the
// shape's own ranges (ClampSyntheticShapeSettings). False for an unknown shape.
[[nodiscard]] bool ClampShapeDialogSettings(SyntheticShapeSettings& settings);

struct MeshCounts {
  int32_t points = 0;
  int32_t triangles = 0;
};
// The counts of the shape for settings already clamped (ClampSyntheticShapeSettings):
// front plain (x+1)(y+1) and 2xy; both sides 2(x+1)(y+1) and 4xy; sphere x(R+1)+2 and 2x(R+1)
// with R = y - 2; cylinder x(y+2b-1)+2 and 2x(y+2b-1); cube 4x(y+1)+2(x-1)^2 and 8xy+4x^2;
// cone x(b-1+y)+2 and 2x(b-1+y); doughnut xy and 2xy.
MeshCounts SyntheticShapeCounts(const SyntheticShapeSettings& settings);

// Clamps the settings (the clamped values are written back) and builds the shape as a new
// "Synthetic" object, not entered into the table: positions, triangles, corner lists, planar
// texture coordinates and every default of a new object. Null for an unknown shape, and after
// "Error: Not enough memory to create new object.".
std::unique_ptr<SceneObject> BuildSyntheticShape(SyntheticShapeSettings& settings);

// The "new synthetic object" command: a free slot (or "Error: No empty space." before anything is
// built), the shape built from the settings clamped, stored in the slot and made current. The new
// object, or null.
SceneObject* NewSyntheticObject(const SyntheticShapeSettings& settings);

// The "new organic object" command: a free slot (or "Error: No empty space."), a new organic
// object filled with organic standard shape `shape` (0..4, FillStandardShape; the object is
// discarded when that fails), stored and made current. The new object, or null.
SceneObject* NewOrganicShapeObject(int shape);

}  // namespace tsv
