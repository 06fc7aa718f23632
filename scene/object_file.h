// object_file.h: the object file ('CMF ', "cmf"): one scene object as a flat run of tagged chunks,
// each with its own length, so a reader skips what it does not know. Writing, reading, and the
// open and save commands with their dialogs. The object that owns the animation's keyframes also
// carries its keyframe shapes ("KFR0".."KFR7", one per set slot, from the slot files).
//
// Chunk: tag (4 ASCII bytes), length (u32, the bytes that follow), body; big-endian throughout.
// Written in this order: HEAD SNAP OPTC VIEW PSTN TEXT ISCL VERT COLV MASK TEXV [TRIP] [HCHY]
// [KFR0..KFR7] END.
//
// "KFRk" (slot k): length 23 x pointCount + 158, holding exactly four nested chunks: "VERT"
// (12 x pointCount), "TEXV" (8 x pointCount), "COLV" (3 x pointCount) and "PARM" (126: scale,
// position, rotation as 7 f32; the 18 optics words; textureBump u16; textureZoom f32; the five
// textureParams; then the scene at that keyframe: light angles 3 f32, the seven fog and smoke
// values, fog colour 3 u16). Anything else is a malformed chunk.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/files.h"
#include "platform/status.h"
#include "scene/keyframe_file.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr uint32_t kObjectFileType = FourCC("CMF ");

// Chunk lengths of the fixed-size chunks as written.
inline constexpr uint32_t kHeadChunkLength = 1300;
inline constexpr uint32_t kSnapChunkLength = 256;
inline constexpr uint32_t kOpticsChunkLength = 36;
inline constexpr uint32_t kViewChunkLength = 36;
inline constexpr uint32_t kPlacementChunkLength = 28;
inline constexpr uint32_t kTextureChunkLength = 286;
inline constexpr uint32_t kImportScaleChunkLength = 4;
inline constexpr uint32_t kHierarchyEntryLength = 276;  // the bytes after an entry's length word

// Writes every chunk to an open file from its current position, with the "Saving object..."
// progress box advanced after each chunk. 0, or the write failure (already shown by the file
// layer); an object whose arrays do not match its counts is refused with the file error shown.
// The keyframe owner gets one "KFRk" per set slot; a slot file that is damaged, short or of other
// counts than the object's is left out of the file, and "Error: File error has occured." shown
// once the file is written.
Status WriteObjectFile(FileRef& file, const SceneObject& object);

// What a read that takes keyframe shapes did with them.
struct KeyframeStaging {
  bool declined = false;  // another object owns keyframes, and the user chose to keep them
  std::array<bool, kKeyframeSlotCount> staged{};  // slots written to their staging files
};

// Reads chunks from the file's current position up to "END " (or the older "CMFE") into an object
// whose arrays already have the sizes its counts call for. Short fixed-size chunks fill what they
// cover and leave the other fields as they were; an array chunk must have exactly the size the
// counts give. 0, -39 (read failure or a chunk running past the end of the file) or 1 (malformed:
// a short "HEAD", a "HEAD" whose counts differ from the object's, a wrong array size, a point
// coordinate that is not a finite number). A hierarchy whose ranges do not fit the object is
// dropped, and "Invalid object hierarchy, so disabling hierarchy altogether." added to `warnings`.
// `tagsSeen`, when given, receives every chunk tag in file order.
// Keyframe chunks are checked always (a wrong length, nested tag or nested length, or a coordinate
// that is not a finite number, is malformed). Without `keyframes` they are passed over and nothing
// is shown. With it, once every chunk is in, the shapes are written to the staging files of their
// slots (KeyframeStagingPath), each with a copy of the object's record and of the project's scene
// settings carrying the shape's parameters; when another object owns keyframes the user is asked
// first ("Warning: Animation keyframes already exist for another object. Do you want to use
// keyframes of new object ?"), and Cancel keeps that object's keyframes and stages nothing. A
// staging file that cannot be written drops every staged shape and adds the file error to
// `warnings`: the object still opens. The current slots are never touched here.
Status ReadObjectChunks(FileRef& file, SceneObject& object, std::vector<uint32_t>* tagsSeen = nullptr,
                        std::vector<std::string>* warnings = nullptr, KeyframeStaging* keyframes = nullptr);

// What reading an object file gave: the object, or the status and the text that says why not;
// and the warnings the file gave on the way.
struct ObjectFileRead {
  std::unique_ptr<SceneObject> object;
  Status status = kNoError;
  std::string message;                // "Error: Can't open object." when there is no object
  std::vector<std::string> warnings;  // with an object: what was dropped while reading it
};

// Reads the object file `spec` names into a new object (not entered into the table): organic
// objects share the organic topology, others get their corner lists. Quiet: nothing is shown or
// asked, and the texture picture is not loaded (the file's reference to it stays).
[[nodiscard]] ObjectFileRead ReadObjectFileQuietly(const FileSpec& spec, std::vector<uint32_t>* tagsSeen = nullptr);

// What a read does with the keyframe shapes of the file.
enum class KeyframeChunks : uint8_t {
  Check,  // checked and passed over: the current keyframes stay as they are
  Take,   // staged while reading; once the object has opened they replace the keyframe slots 0..7
          // and the object becomes `scene.keyframeOwner`
};

// The read as a command runs it: ReadObjectFileQuietly, then its message or warnings shown, and
// the texture picture loaded through the picture hook (a picture that cannot be had is dropped
// from the object). Null after "Error: Can't open object.". Taking the keyframes, a failed read
// leaves the current keyframes and their owner as they were; the caller must dispose of the
// object through DisposeSceneObject, which lets go of the keyframes it owns.
std::unique_ptr<SceneObject> ReadObjectFile(const FileSpec& spec, KeyframeChunks keyframes = KeyframeChunks::Check);

// The whole open, taking the file's keyframes: a file that is missing is looked for by name in
// `searchFolder` and its subfolders, then the user is asked to locate it (a cancelled dialog
// fails without a message).
std::unique_ptr<SceneObject> OpenObjectFileSearching(const FileSpec& spec, const std::string& searchFolder);
// The same, searching the folder of the current project file.
std::unique_ptr<SceneObject> OpenObjectFile(const FileSpec& spec);

// The "open object" command: the open dialog for object files, then OpenObjectFile. Null when
// cancelled or when the open fails. The caller enters the object into a free slot.
std::unique_ptr<SceneObject> AskAndOpenObject();

// Writes the object to `target` through a temporary file, then: `fileSpec` names the target,
// `hasUnsavedChanges` is cleared and the preview file is written beside it. On failure the
// previous file stays intact, `fileSpec` is cleared and the result is false.
[[nodiscard]] bool SaveObjectToFile(SceneObject& object, const FileSpec& target);

// Saves to the object's own file, or asks like SaveObjectAs when it has none.
[[nodiscard]] bool SaveObject(SceneObject& object);

// The save dialog (the object's name proposed, starting in the project's "Objects" folder), the
// new name taken from the chosen file, then the save. False when cancelled (nothing changed) or
// when the save fails.
[[nodiscard]] bool SaveObjectAs(SceneObject& object);

// An object's name from its file: the text after the last ':' of the internal path, without the
// "cmf" extension (C:Work:Rock.cmf and :home:ann:Rock.cmf both give Rock).
CountedString ObjectNameOfFile(const FileSpec& spec);

// The four characters of a chunk tag ("HEAD").
std::string TagText(uint32_t tag);

}  // namespace tsv
