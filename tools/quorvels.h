// quorvels.h: Quorvels, metaball bodies built from balls shaped as ellipsoids of revolution, and
// their room's state in one record: the ball list and selection, the surface threshold, the refine
// switch, the Kelvane view and the generator's grid buffers. The ball editing, the set file
// ("bsph"), the field, the surface extraction on a grid ("Generating Mesh...", "Atomize") with its
// refinement, and the preview mesh that follows every edit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "scene/scene_object.h"
#include "scene/topology.h"
#include "scene/vec3.h"
#include "scene/work_records.h"

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

// A ball with this centre and shape, everything else as a new ball has it.
Ball MakeBall(const Vec3f& centre, float r1 = kNewBallRadius, float r2 = 1.0f, const Vec3f& axis = {0, 1, 0},
              float strength = kNewBallStrength);

enum class MetaballMode { Kelvane, Atomize };

// The Kelvane view the balls are seen through: turned and zoomed as a modeling view is, with the
// zoom as the room's zoom control holds it (z, 0..10, smaller nearer; the view's scale, and the
// new object's view zoom, is KelvaneViewZoom(z)). A fresh view shows a new ball about 170 pixels
// across.
inline constexpr float kDefaultKelvaneZoom = 2.1875f;
struct KelvaneView {
  std::array<float, 3> angles{};  // radians about x, y, z
  float zoom = kDefaultKelvaneZoom;  // z
  uint16_t centerX = 200, centerY = 200;
};

// A generated object's points are the surface's world positions times this; the Kelvane view
// shows the balls at the same scale, so the new object appears where its balls were.
inline constexpr float kMetaballObjectScale = 1.28f;

// The view zoom of Kelvane zoom z: 0.08 x 2^((1 - z/10) x 256 x 0.0179889), at least 0.1.
float KelvaneViewZoom(float z);

// What the Kelvane view draws, put together as one painted object of its own: it never enters the
// object table and has its own work records, so drawing it leaves the current object's as they
// were. Its arrays keep their capacity from one drawing to the next.
struct KelvaneDrawing {
  std::unique_ptr<SceneObject> object;
  std::vector<PointWork> pointWork;
  std::vector<TriangleWork> triangleWork;
  // The number of ball ellipsoids its triangles, corner lists and corner counts are laid out for,
  // so that a drag, which moves points only, does not lay them out again (SIZE_MAX: none, or the
  // preview mesh).
  size_t ballMeshes = SIZE_MAX;
};

// The "Real-time:" mesh of the balls as they are, for the Kelvane view: object-space points and
// outward triangles. Empty when there is no surface.
struct MetaballPreview {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
};

// The surface threshold a fresh room starts with. A lone default ball's field falls from 100 at
// its centre to 0 at r1; at 10 its surface sits at about 0.69 r1, well inside its reach, so that
// balls placed near each other still blend smoothly instead of meeting in a crease.
inline constexpr int16_t kDefaultQuorvelThreshold = 10;
// Atomize extracts and refines at this threshold: each ball's sphere then lies just inside r1.
inline constexpr float kAtomizeThreshold = 0.01f;

// One ball as the field evaluates it, derived before every extraction.
struct BallCoefficients {
  Vec3f centre{};
  Vec3f along{};                    // A = V / r1 (V normalised)
  Vec3f across{};                   // B = A / r2
  float strength = 0;               // w
  float inverseRadiusSquared = 0;   // 1 / r1^2 (Atomize)
};

// A grid vertex whose field a run has computed: its index among the grid vertices (as recordOf
// has them), its field value minus the threshold, and the output vertices on its three edges
// towards +x, +y, +z (-1: none yet).
struct GridRecord {
  uint32_t vertex = 0;
  float field = 0;
  std::array<int32_t, 3> edgeVertex{-1, -1, -1};
};

// A cube of the surface-following stack: its cell, the faces still to explore (kFace* bits) and
// the inside mask of its corners (bits 0..3 the lower y face, 4..7 the upper one).
struct CubeEntry {
  int16_t i = 0, j = 0, k = 0;
  uint8_t faces = 0;
  uint8_t mask = 0;
};
inline constexpr uint8_t kFacePlusY = 1, kFaceMinusY = 2, kFaceMinusX = 4, kFacePlusX = 8, kFaceMinusZ = 16,
                         kFacePlusZ = 32;

// The generator's buffers, kept between runs so that a generation after the first allocates
// nothing.
struct MetaballGrid {
  int resolution = 0;           // N of the last run
  bool prepared = false;        // coefficients, box and blocks are those of the balls of the last run
  MetaballMode mode = MetaballMode::Kelvane;
  float threshold = 0;          // the threshold of the last run (T, or the Atomize one)
  Vec3f origin{}, step{};       // grid vertex (i, j, k) lies at origin + (i, j, k) * step
  // The records of the grid vertices this run has computed, in the order computed, and for each
  // of the (N + 1)^3 grid vertices (planes along i, each in tiles of 4 x 4 (j, k) vertices) the
  // place of its record. A place beyond the records, or whose record is another vertex's, means
  // not computed yet: nothing but the records needs clearing before the next run, so a run costs
  // what its surface costs, not what the grid does. Record 0 is nobody's.
  std::vector<uint32_t> recordOf;
  std::vector<GridRecord> records;
  std::vector<uint8_t> visited; // one bit per cell (i N + j) N + k, most significant bit first
  std::vector<BallCoefficients> coefficients;
  // The balls that can reach each block of 2^binShift grid vertices a side, as runs of `binBalls`
  // (binStart has one entry more than there are blocks), so the field visits only nearby balls.
  int binShift = 3;
  int binsPerAxis = 0;
  std::vector<uint32_t> binStart;
  std::vector<uint32_t> binBalls;
  // Each block's ball coefficients packed for the field, made on the block's first use:
  // binPackedAt holds where a block's floats start in binPacked (UINT32_MAX: not packed yet).
  std::vector<uint32_t> binPackedAt;
  std::vector<float> binPacked;
  std::vector<CubeEntry> stack;
  // The output. The extraction's vertex and triangle "files" are these memory arrays: they grow
  // as the surface is followed and keep their capacity for the next run.
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  std::vector<Vec3f> normals;   // refinement scratch, one per point
};

// The ball list and its selection as they were before an edit, for Undo and Redo in the room.
struct BallListStep {
  std::vector<Ball> balls;
  int selected = -1;
};
inline constexpr size_t kMostBallSteps = 100;  // the oldest step goes beyond this

struct QuorvelState {
  std::vector<Ball> balls;  // the balls in use, at most kMostBalls
  int selected = -1;        // the selected ball; -1 none
  int16_t threshold = kDefaultQuorvelThreshold;  // T, the surface threshold (the room's "Threshold")
  bool refine = true;       // RefineMetaballSurface moves the points onto the surface and relaxes them
  KelvaneView view;
  bool previewOn = false;   // the view draws `preview`, made again after every edit
  MetaballPreview preview;
  KelvaneDrawing drawing;
  std::vector<BallListStep> undoSteps, redoSteps;  // oldest first
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

// Undo and Redo of ball edits. An edit remembers the list as it was before it
// (RememberBallList, which clears the steps forward); UndoBallEdit puts the last one back and
// keeps the list it replaces for RedoBallEdit, and the other way round. False when there is no
// step that way.
BallListStep CurrentBallList();
void RememberBallList(BallListStep before);
[[nodiscard]] bool UndoBallEdit();
[[nodiscard]] bool RedoBallEdit();

// The set file. New: no balls, no selection. Open selects the first ball (-1 for a set without
// balls). Open and save report their failures ("Error: Couldn't perform operation." with the
// file and the reason) and leave the ball list as it was; a save writes a temporary beside the
// file and renames it over it; saving no balls is refused.
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
// the call from each ball's axis and radii). A ball without a positive radius or without an axis
// adds nothing.
float MetaballField(const Vec3f& p);

// The surface extraction on its own: the grid, the field and the surface followed from every
// ball's seed into quorvelState.grid.points and .triangles (world units, outward triangles, each
// grid-edge crossing one vertex shared by the cubes around it). With `interactive` the cancel
// gesture is honoured: false then, as for no balls (nothing to extract) or a resolution outside
// 8..128. An empty output means no surface.
[[nodiscard]] bool ExtractMetaballSurface(MetaballMode mode, int resolution, bool interactive = false);
// The steps of the extraction, for ExtractMetaballSurface and the tests. SeedCube finds the first
// surface cube from ball `ball`'s cell upward and pushes it (1), or finds none or only a surface
// already followed (0), or leaves the grid (-1). ProcessCube marks a cube visited, evaluates its
// corners, emits its triangles and sets its faces to explore (1); a visited cube gets its mask
// only (0); a cube outside 0..N-1 on any axis is never read (-1). PushNeighbour moves from the top
// entry through its lowest face still to explore and processes the cube there.
int SeedCube(size_t ball);
int ProcessCube(CubeEntry& entry);
void PushNeighbour();

// "Generating Mesh..." (Kelvane) or "Atomizing..." (Atomize): the surface of the balls on an
// N x N x N grid (N = `resolution`, 8..128) as a new Synthetic object stored in the first free
// slot and made current, refined. With `interactive` the progress box shows (cancel ends with no
// object and no message) and, in Kelvane mode, the new object takes view 6 from the Kelvane
// view. Null on failure, after the message ("Error: Couldn't perform operation." for no balls,
// no surface or a resolution outside 8..128, "Error: No empty space." for a full object table,
// "Error: Not enough memory.").
SceneObject* GenerateMetaballMesh(MetaballMode mode, int resolution, bool interactive);
// Moves the points of a generated object onto the surface and relaxes them (the refine switch
// decides; the scale by 1.28 is always made). The surface probed is that of the last extraction's
// grid when it was made for this mode and these balls, else the grid is laid out again.
void RefineMetaballSurface(SceneObject& object, MetaballMode mode);
// The preview mesh of the balls at `resolution` into quorvelState.preview; the object table and
// the current object are left as they were. False when there is no surface (the preview is empty).
bool PreviewMetaballMesh(int resolution);

}  // namespace tsv
