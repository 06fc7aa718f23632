// scene_object.h: the scene object record (a triangle mesh with paint, mask and texture coordinates,
// a material, seven stored views, a placement, an optional hierarchy and a preview) and what is
// done to one object on its own: defaults, header copy, type text, topology access and corner
// lists, planar texture coordinates, import completion. Creating, activating and disposing objects
// and the object table are in object_table.h; the global state is in scene_state.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/status.h"
#include "platform/user_services.h"
#include "scene/topology.h"
#include "scene/types.h"
#include "scene/work_records.h"

namespace tsv {

inline constexpr uint32_t kObjectSignature = FourCC("CMF ");
inline constexpr uint32_t kObjectVersion = 100;
inline constexpr int kObjectViewCount = 7;
inline constexpr int kFreeView = 6;  // the view the object file keeps
inline constexpr int kSnapPointCount = 64;
inline constexpr size_t kDescriptionSize = 1024;
inline constexpr int kPreviewSide = 100;
inline constexpr int kShadeRampSize = 256;
inline constexpr int kTextureParamCount = 5;
inline constexpr int32_t kOrganicPointCount = 8194;      // 8192 + 2: a closed surface of sphere type
inline constexpr int32_t kOrganicTriangleCount = 16384;  // 2 x 8192
inline constexpr uint16_t kAllDirty = 31;                 // every bit of `dirtyFlags`

// `ghostState` bits.
inline constexpr uint16_t kGhosted = 1;            // the user ghosted the object
inline constexpr uint16_t kHiddenForOperation = 2;  // hidden while an operation shows another alone

// The material: eighteen 16-bit words, kept in this order wherever they are stored.
struct Optics {
  uint16_t isPainted = 0;          // nonzero: `pointColors` are shown instead of the diffuse colour
  uint16_t shininess = 128;        // 0..256, width of the specular highlight
  uint16_t diffuseStrength = 256;  // 0..256, top of the lit part of the shade ramp
  uint16_t ambientLevel = 128;     // 0..256, shade index below which only the ambient colour shows
  uint16_t castsShadow = 1;
  uint16_t receivesShadow = 1;
  uint16_t transparency = 0;       // 0..256
  uint16_t opticsExtra1 = 0;       // 0..256, only stored, copied and interpolated
  uint16_t opticsExtra2 = 0;       // 0..256, only stored, copied and interpolated
  Rgb16 specularColor{0x9000, 0x9000, 0x9000};
  Rgb16 diffuseColor;              // set from the "Initial Object Color" preference by DefaultOptics
  Rgb16 ambientColor{0x3000, 0x3000, 0x3000};
};
static_assert(sizeof(Optics) == 36, "eighteen 16-bit words");

inline constexpr int kOpticsWordCount = 18;
using OpticsWordArray = std::array<uint16_t, kOpticsWordCount>;
// The words in their stored order, and back; the file layers move optics through these.
OpticsWordArray OpticsWords(const Optics& optics);
Optics OpticsFromWords(const OpticsWordArray& words);
// The defaults, with the diffuse colour taken from the preferences.
Optics DefaultOptics();

// One stored camera view of the 400 x 400 modeling window.
struct ObjectView {
  uint16_t centerY = 200;
  uint16_t centerX = 200;
  float zoom = 1.0f;
  uint16_t mode = 0;
  std::array<float, 3> angles{};  // radians about x, y, z
  std::array<float, 3> offset{};
};
// View `index` (0..6) as a new object has it: the front view, five quarter turns, and the free view
// (6) starting at the front. The angles are the single-precision values of pi/2, pi and 3pi/2.
constexpr ObjectView DefaultObjectView(int index) {
  constexpr float kHalfPi = 1.5707964f, kPi = 3.1415927f, kThreeHalfPi = 4.712389f;
  ObjectView view;
  switch (index) {
    case 1: view.angles = {0, kThreeHalfPi, 0}; break;
    case 2: view.angles = {kHalfPi, 0, 0}; break;
    case 3: view.angles = {0, kPi, 0}; break;
    case 4: view.angles = {0, kHalfPi, 0}; break;
    case 5: view.angles = {kThreeHalfPi, 0, 0}; break;
    default: break;
  }
  return view;
}
inline constexpr std::array<ObjectView, kObjectViewCount> kDefaultObjectViews = {
    DefaultObjectView(0), DefaultObjectView(1), DefaultObjectView(2), DefaultObjectView(3),
    DefaultObjectView(4), DefaultObjectView(5), DefaultObjectView(6)};

inline constexpr std::array<int32_t, kSnapPointCount> kEmptySnapPoints = [] {
  std::array<int32_t, kSnapPointCount> entries{};
  entries.fill(-1);
  return entries;
}();

// Roles of the first node of a hierarchy.
inline constexpr uint16_t kHierarchyCompact = 0;  // the whole hierarchy is held inside this object
inline constexpr uint16_t kHierarchyParent = 1;
inline constexpr uint16_t kHierarchyChild = 2;    // linked to a parent

struct SceneObject;

// A node of an object's hierarchy; the nodes are kept in pre-order (a node, then the subtrees of its
// children).
struct HierarchyNode {
  uint16_t role = kHierarchyCompact;
  SceneObject* object = nullptr;  // the object this node stands for at run time; not owned
  CountedString partName;         // for a compact hierarchy, the name of the part's object file
  std::array<float, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  uint32_t partFirstPoint = 0;
  uint32_t partFirstTriangle = 0;
  uint32_t partTriangleCount = 0;
  uint32_t partPointCount = 0;
  uint32_t childCount = 0;
  uint32_t partColor = 0;  // 0x00RRGGBB, used by the part-painting tools; 0 after loading
};

// "<object name> : <part name>", cut at 255 bytes.
std::string HierarchyNodeDisplayName(const SceneObject& object, const HierarchyNode& node);

// One object. Array sizes follow `pointCount` and `triangleCount`; an empty vector stands for an
// array the object does not have.
struct SceneObject {
  // Set when the object is made, never reused in a run and never stored: what remembers an object
  // across commands (a morph side, a cache) keys on this, never on the object's address, which a
  // later object may take after this one is gone. 0 for a record not made by CreateSceneObject.
  uint64_t serial = 0;
  uint32_t signature = kObjectSignature;
  uint32_t version = kObjectVersion;
  FileSpec fileSpec;                             // where it was opened from or last saved to
  CountedString name;                            // "Untitled" for a new object
  std::array<char, kDescriptionSize> description{};  // zero-terminated "Short Description"
  uint16_t headerFlagA = 1;
  uint16_t headerFlagB = 0;
  uint16_t isOrganic = 0;        // shares the global organic topology
  uint16_t isFastSynthetic = 0;  // triangles come in groups of four from one four-way split
  uint16_t ghostState = 0;       // kGhosted, kHiddenForOperation
  uint16_t hasUnsavedChanges = 0;
  std::array<int32_t, kSnapPointCount> snapPoints = kEmptySnapPoints;  // -1 = empty, used first
  int32_t pointCount = 0;
  int32_t triangleCount = 0;
  // The shade palette, 256 pixels 0x00RRGGBB. In memory (little-endian) each entry is the bytes
  // blue, green, red, 0: the palette entry order. Entry 0 is the modeling background colour.
  std::vector<uint32_t> shadeRamp;
  std::vector<uint32_t> preview;  // 100 x 100 pixels 0x00RRGGBB, rows top-down
  std::vector<Vec3f> points;
  std::vector<Rgb8> pointColors;
  // `triangles`, `pointFirstCorner` and `triangleNextCorner` in one block. Every organic object
  // points at the one shared organic block; edit only through MutableTopology.
  std::shared_ptr<const Topology> topology;
  std::vector<Uv> pointUV;
  std::vector<HierarchyNode> hierarchy;  // empty: the object takes part in no hierarchy
  // The shared work arrays while the object is the active one (ActivateSceneObject); not owned.
  std::vector<PointWork>* pointWork = nullptr;
  std::vector<TriangleWork>* triangleWork = nullptr;
  float importScale = 1.0f;
  uint16_t currentView = 0;  // 0..6
  std::array<ObjectView, kObjectViewCount> views = kDefaultObjectViews;
  float scale = 1.0f;       // placement in the composer scene
  Vec3f position;
  Vec3f rotation;           // radians about x, y, z
  float depthMax = 0;       // depth range of the last depth rendering (background excluded)
  float depthMin = 0;
  Optics optics;
  FileSpec textureFile;     // empty: no texture
  uint16_t textureUsesAlpha = 1;  // bit 0: use the picture's alpha; bit 1: inverted
  uint16_t textureBump = 0;       // 0..256
  uint16_t textureFlags = 3;      // bit value 2: repeat (clear: mirror) into the work image
  float textureZoom = 1.0f;
  // Strength, horizontal offset, scale, vertical offset, angle; each 0..256.
  std::array<uint16_t, kTextureParamCount> textureParams{128, 128, 128, 128, 0};
  uint16_t textureKind = 0;
  std::array<uint16_t, 2> textureImageSize{};  // width, height of the loaded picture
  std::array<uint16_t, 2> textureOffset{};     // panning in the texture panel
  std::array<uint16_t, 2> textureDepth{};      // 4 (bytes per pixel) and 0 once a picture is loaded
  std::vector<uint32_t> textureImage;          // the loaded picture, 32-bit pixels
  std::vector<uint32_t> triangleStrips;        // strip blocks, only while a hardware back end runs
  std::vector<uint32_t> quarterStrips;
  uint32_t textureError = 0;
  uint32_t backendTextureA = 0;  // resources of the hardware back ends; 0 when none
  uint32_t backendTextureB = 0;
  std::vector<uint8_t> pointMask;  // 255 = tools act fully, 0 = protected
  uint16_t dirtyFlags = kAllDirty;  // derived data to recompute before the next drawing
};

// Sets every field to its default: name "Untitled", views, placement, optics from the
// preferences, texture settings, snap points; fills `pointColors` with the diffuse colour,
// `pointMask` with 255, rebuilds `shadeRamp` and draws the "Preview is not available" picture
// into `preview`. Counts, array sizes, topology, hierarchy and the type flags are left alone.
void InitSceneObjectDefaults(SceneObject& object);

// Copies the header: signature, version, the six header words (headerFlagA .. hasUnsavedChanges),
// both counts, the current view and all views, the optics, the texture mapping settings
// (textureUsesAlpha, textureBump, textureFlags, textureZoom, textureParams, textureOffset), the
// placement, depthMax, depthMin, the snap points and the description. No array, no name, no file
// or texture picture: the caller pairs it with arrays of the copied counts.
void CopySceneObjectHeader(SceneObject& target, const SceneObject& source);

// "Organic", "Fast Synthetic" or "Synthetic". An organic object is "Organic" although its
// isFastSynthetic is set as well.
std::string ObjectTypeText(const SceneObject& object);

// The texture-mapping settings of an object, as a commit keeps them (the tools' two snapshots,
// the undo history's states).
struct TextureMapping {
  uint16_t textureUsesAlpha = 1;
  uint16_t textureBump = 0;
  uint16_t textureFlags = 3;
  float textureZoom = 1.0f;
  std::array<uint16_t, kTextureParamCount> textureParams{128, 128, 128, 128, 0};
  std::array<uint16_t, 2> textureOffset{};
  bool operator==(const TextureMapping&) const = default;
};
TextureMapping TextureMappingOf(const SceneObject& object);
void ApplyTextureMapping(const TextureMapping& mapping, SceneObject& object);

// Read access to the topology; empty spans for an object without one.
std::span<const Triangle> Triangles(const SceneObject& object);
std::span<const uint32_t> PointFirstCorner(const SceneObject& object);
std::span<const uint32_t> TriangleNextCorner(const SceneObject& object);

// The object's topology, ready to be changed: a block shared with another object (the organic
// block above all) is copied first, so the others keep theirs. An object without one gets a new
// empty block. Null when memory runs out (the object is unchanged then). Changing the triangles of
// an organic object makes it no longer organic: the caller clears `isOrganic`.
Topology* MutableTopology(SceneObject& object);

// The view the object is seen through now; view 0 when `currentView` names none.
inline const ObjectView& CurrentView(const SceneObject& object) {
  return object.views[object.currentView < kObjectViewCount ? object.currentView : 0];
}
inline ObjectView& CurrentView(SceneObject& object) {
  return object.views[object.currentView < kObjectViewCount ? object.currentView : 0];
}

// Rebuilds the object's corner lists from its triangles, never touching a shared block (see
// MutableTopology). False when a corner names a point beyond `pointCount` (left out of the lists)
// or memory runs out.
[[nodiscard]] bool BuildCornerLists(SceneObject& object);

// u = (x - xmin) * 256 / (xmax - xmin), v = (ymax - y) * 256 / (ymax - ymin) over the extents of
// the points. An axis without extent (a flat object) maps to 0 instead of dividing by zero.
void SetPlanarTextureCoordinates(SceneObject& object);

// The last step of every importer: not organic, shade ramp, corner lists, planar texture
// coordinates. Nothing for a null object.
[[nodiscard]] bool CompleteImportedObject(SceneObject* object);

// True when every array has the size the counts call for (topology included). The work object,
// which has no arrays, is not meant to pass.
[[nodiscard]] bool HasConsistentArrays(const SceneObject& object);

// Memory blocks never move in this program, so nothing is ever locked and there is nothing to
// unlock; callers written around a lock bracket keep this call so the bracket still reads whole.
inline void UnlockSceneObject(SceneObject*) {}

}  // namespace tsv
