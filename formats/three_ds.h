// three_ds.h: 3D Studio files. The import reads every mesh of a file into one new object, its parts
// kept as a hierarchy when the keyframer nodes describe one; the export writes one object, part by
// part, with a keyframer node per part. Chunks are little-endian; the file is Z-up, we are Y-up.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "scene/scene_object.h"

namespace tsv {

// What the import does with a chunk of a given id.
enum class ThreeDsHandler : uint8_t {
  None,      // passed over: data and sub-chunks skipped
  Discard,   // fixed-size data or a name that the import has no use for
  Vertices,  // a mesh's vertex list
  Faces,     // a mesh's face list (its sub-chunks are passed over)
  Node,      // a keyframer node's name and parent
};

struct ThreeDsChunk {
  uint16_t id;
  const char* name;
  ThreeDsHandler handler;
  bool descend;  // the import walks into the chunk's sub-chunks
};

inline constexpr size_t kThreeDsChunkCount = 40;
// Shared by the import and the export; the first entry of an id is the one that counts.
extern const std::array<ThreeDsChunk, kThreeDsChunkCount> kThreeDsChunks;
// The first entry with the id, or null for a chunk the table does not know.
const ThreeDsChunk* FindThreeDsChunk(uint16_t id);

// Chunk ids the import and export use by name.
inline constexpr uint16_t kChunkMain = 0x4D4D;
inline constexpr uint16_t kChunkVersion = 0x0002;
inline constexpr uint16_t kChunkMasterScale = 0x0100;
inline constexpr uint16_t kChunkObjectMesh = 0x3D3D;
inline constexpr uint16_t kChunkMeshVersion = 0x3D3E;
inline constexpr uint16_t kChunkObjectBlock = 0x4000;
inline constexpr uint16_t kChunkTriMesh = 0x4100;
inline constexpr uint16_t kChunkVertexList = 0x4110;
inline constexpr uint16_t kChunkFaceList = 0x4120;
inline constexpr uint16_t kChunkKeyframer = 0xB000;
inline constexpr uint16_t kChunkObjectNode = 0xB002;
inline constexpr uint16_t kChunkFrames = 0xB008;
inline constexpr uint16_t kChunkCurrentFrame = 0xB009;
inline constexpr uint16_t kChunkFramesHeader = 0xB00A;
inline constexpr uint16_t kChunkNodeName = 0xB010;
inline constexpr uint16_t kChunkPivot = 0xB013;
inline constexpr uint16_t kChunkPositionTrack = 0xB020;
inline constexpr uint16_t kChunkRotationTrack = 0xB021;
inline constexpr uint16_t kChunkScaleTrack = 0xB022;
inline constexpr uint16_t kChunkNodeId = 0xB030;

// Chunks nested deeper than this are refused: real files nest six levels at most.
inline constexpr int kThreeDsMaxDepth = 32;
// A 16-bit vertex count and 16-bit face indices: the most one part, and so one exported object, has.
inline constexpr int32_t kThreeDsMaxCount = 65535;
inline constexpr uint16_t kThreeDsNoParent = 65535;

// Reads the file into a new object, shown "Importing 3DS file...". The meshes follow one another
// in the object's points and triangles; one keyframer node per mesh, the first a root and the
// others forming a pre-order tree, becomes the hierarchy (any other node set is dropped with
// "Invalid object hierarchy, so disabling hierarchy altogether."). The object goes through
// CompleteImportedObject and is normalised to a radius of 128, `importScale` holding the factor
// back. Null, after "Error: Can't import object." (or the file error), for a file that breaks the
// chunk structure, has no point or triangle, a count beyond its chunk, a face index beyond its
// mesh or a coordinate that is not finite.
std::unique_ptr<SceneObject> Import3ds(const FileSpec& file);
// The same from bytes already in memory.
std::unique_ptr<SceneObject> Import3dsBytes(std::span<const uint8_t> bytes);

// The file's bytes for the object: the chunk tree of the export, one mesh and one keyframer node
// per hierarchy part in pre-order (or one for the whole object without a hierarchy, or with one
// whose parts do not fit the object). kMalformed, with the alert, for an object of more than 65535
// points or triangles; nothing is shown otherwise.
Status Encode3ds(const SceneObject& object, std::vector<uint8_t>& bytes);

// Writes the object to `file` through a temporary renamed over it on success, shown "Exporting
// 3DS file...": a failed write leaves the file as it was. The options word is not consulted.
// 0, or 1 when the object is missing or too large (with its alert) or the write failed.
Status Export3ds(const SceneObject* object, uint32_t options, const FileSpec& file);

}  // namespace tsv
