// quorvels.h: Quorvels, metaball bodies built from balls shaped as ellipsoids of revolution, and
// their room's state in one record: the ball list and selection, the surface threshold, the refine
// switch, the Kelvane view and the generator's grid buffers. The ball editing, the set file
// ("bsph"), the field, the surface extraction on a grid ("Generating Mesh...", "Atomize") with its
// refinement, and the preview mesh that follows every edit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "scene/topology.h"
#include "scene/vec3.h"

namespace tsv {

struct SceneObject;

inline constexpr int kQuorvelSlots = 256;  // records in a set file
inline constexpr int kMostBalls = 255;     // balls in use at most
inline constexpr size_t kQuorvelRecordBytes = 124;
inline constexpr size_t kQuorvelFileBytes = kQuorvelSlots * kQuorvelRecordBytes;  // 31744
inline constexpr size_t kMostBallNameBytes = 31;
inline constexpr float kNewBallStrength = 100.0f / 9.0f;  // a lone new ball's field is 100 at its centre
inline constexpr float kNewBallRadius = 100.0f;
inline constexpr int kLeastResolution = 8;    // grid cells per axis
inline constexpr int kMostResolution = 128;

struct Ball {
  std::array<int16_t, 3> cell{};        // the centre's grid cell, recomputed by every generation
  Vec3f centre{};                        // world units
  Vec3f axis{0, 1, 0};                   // V: the axis of revolution
  Vec3f along{};                         // A, derived before every generation
  Vec3f across{};                        // B, derived before every generation
  float strength = kNewBallStrength;     // w; a negative strength carves
  float r1 = kNewBallRadius;             // the radius along the axis
  float r2 = 1.0f;                       // the radius across it, as a factor of r1
  std::array<int16_t, 12> display{};     // kept as a set file has it, written back unchanged
  std::string name = "Untitled";         // at most kMostBallNameBytes bytes
};

enum class MetaballMode { Kelvane, Atomize };

// The Kelvane view the balls are seen through: turned and zoomed as a modeling view is, with the
// zoom as the room's zoom control holds it (z; the new object's view zoom comes from it).
struct KelvaneView {
  std::array<float, 3> angles{};  // radians about x, y, z
  float zoom = 10.0f;             // z
  uint16_t centerX = 200, centerY = 200;
};

// The "Real-time:" mesh of the balls as they are, for the Kelvane view: object-space points and
// outward triangles. Empty when there is no surface.
struct MetaballPreview {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
};

// The generator's buffers, kept between runs so that a generation after the first allocates
// nothing.
inline constexpr float kUncomputedField = -200000.0f;  // below -190000: not computed yet
struct MetaballGrid {
  int resolution = 0;           // N of the last run
  Vec3f origin{}, step{};       // grid vertex (i, j, k) lies at origin + (i, j, k) * step
  std::vector<float> cache;     // (N + 1)^3 field values, index (i (N + 1) + j)(N + 1) + k
  std::vector<uint8_t> visited; // one bit per cell (i N + j) N + k, most significant bit first
  // The cube stack, the vertices on grid edges shared by their cubes and the output: as the
  // extraction needs them.
};

struct QuorvelState {
  std::vector<Ball> balls;  // the balls in use, at most kMostBalls
  int selected = -1;        // the selected ball; -1 none
  int16_t threshold = 0;    // T, the surface threshold (the room's "Threshold"; reset sets the default)
  bool refine = true;       // RefineMetaballSurface moves the points onto the surface and relaxes them
  KelvaneView view;
  bool previewOn = false;   // the view draws `preview`, made again after every edit
  MetaballPreview preview;
  FileSpec setFile;         // the set last opened or saved; empty for a new set ("Untitled.bsph")
  MetaballGrid grid;
};

extern QuorvelState quorvelState;

// A fresh state: no balls, no selection, the default threshold, refine on, the default view.
void ResetQuorvelState();

// Appends a new ball (the defaults above) when none is selected, else a copy of the selected
// ball; the new ball becomes the selected one. With kMostBalls in use: "Error: Not enough
// memory." and false.
[[nodiscard]] bool AddBall();
// Removes the selected ball; the selection stays at its index, moves to the new last ball when it
// was the last, or becomes -1 when none is left. Nothing without a selection.
void DeleteBall();

// The set file. New: no balls, no selection. Open and save report their failures ("Error:
// Couldn't perform operation." with the file and the reason) and leave the ball list as it was;
// a save writes a temporary beside the file and renames it over it; saving no balls is refused.
enum class QuorvelCommand { New = 1, Open = 2, Save = 3 };
[[nodiscard]] Status QuorvelFile(QuorvelCommand command, const FileSpec& file);
// The 31744 bytes of a set (big-endian records, the count in the first i16 of record 0).
std::vector<uint8_t> EncodeQuorvelSet(std::span<const Ball> balls);
// The balls of a set; kMalformed (with `reason` set) for a size other than 31744, a count outside
// 0..255, numbers that are not finite, r1 or r2 not above 0, a zero axis, or a name longer than
// 31 bytes. `balls` is untouched on failure.
[[nodiscard]] Status DecodeQuorvelSet(std::span<const uint8_t> bytes, std::vector<Ball>& balls,
                                      std::string& reason);

// The field of the balls at world point p, minus the threshold (Kelvane coefficients; derived by
// the call from each ball's axis and radii).
float MetaballField(const Vec3f& p);

// "Generating Mesh..." (Kelvane) or "Atomize": the surface of the balls on an N x N x N grid
// (N = `resolution`, 8..128) as a new Synthetic object stored in the first free slot and made
// current, refined. With `interactive` the progress box shows (cancel ends with no object) and, in
// Kelvane mode, the new object takes view 6 from the Kelvane view. Null on failure, after the
// message ("Error: Couldn't perform operation." for no balls or no surface, "Error: No empty
// space." for a full object table, "Error: Not enough memory.").
SceneObject* GenerateMetaballMesh(MetaballMode mode, int resolution, bool interactive);
// Moves the points of a generated object onto the surface and relaxes them (the refine switch
// decides; the scale by 1.28 is always made).
void RefineMetaballSurface(SceneObject& object, MetaballMode mode);
// The preview mesh of the balls at `resolution` into quorvelState.preview; the object table and
// the current object are left as they were. False when there is no surface (the preview is empty).
bool PreviewMetaballMesh(int resolution);

}  // namespace tsv
