// letters.h: flat and extruded letters from TrueType outlines: the letter settings kept for the
// run, the TrueType families offered in the "Font" list, a preview of a text in a face, and the
// generation of a new object (one hierarchy part per outer outline). The dialog itself is not here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "letters/letter_outlines.h"
#include "platform/canvas.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr size_t kMostLetterTextBytes = 255;
inline constexpr int kLetterListSize = 7;  // the "Segmenting" and "Depth divisions" lists: 1, 2, 4 .. 64
inline constexpr int kMostLetterSteps = 64;
inline constexpr double kLetterCellHeight = 200.0;  // ascent + descent of a face, before scaling
inline constexpr double kLetterDepth = 50.0;        // of 3D letters, before scaling
inline constexpr char kDefaultLetterFamily[] = "DejaVu Sans";

// The settings of the letters dialog, kept for the whole run of the program.
struct LetterSettings {
  std::string text = "Text";  // UTF-8, at most 255 bytes
  std::string family;         // a TrueType family of LetterFontFamilies(); empty: none chosen yet
  bool bold = false;          // weight 700 instead of 400
  bool italic = false;
  bool filled = false;        // holes are ignored
  bool scaleToFit = true;     // largest distance from the centre 160, else half size
  bool threeD = true;         // "3D Letters"; false: "2D Letters"
  int segments = 4;           // points per curve piece: 1, 2, 4 .. 64
  int depthDivisions = 4;     // rings along the depth: 1, 2, 4 .. 64
};

// The two lists hold the powers of two 1..64; an entry's value is 2 to the power of its index.
constexpr int LetterListValue(int index) { return 1 << index; }
// The index of a power of two 1..64, or -1 for any other value.
int LetterListIndex(int value);

// The TrueType families fontconfig knows, sorted without regard to case, each once.
std::vector<std::string> LetterFontFamilies();
// The family of the list with this name (case ignored), or empty when there is none.
std::string FindLetterFamily(std::string_view name);

// Why a text cannot be made into letters, or empty when it can: empty text, more than 255 bytes,
// or bytes that are not UTF-8 (the message gives the byte offset).
std::string LetterTextProblem(std::string_view text);

// Draws `settings.text` in the chosen face (bold, italic and their stand-ins included) into
// `area` of the canvas: cleared to `paper`, the text in `ink`, baseline and size chosen so that
// the line fits the area's height and is cut at its right edge. Nothing but the paper when the
// family cannot be loaded or the text is not valid UTF-8.
void DrawLetterPreview(Canvas& canvas, Rect area, const LetterSettings& settings, uint32_t ink, uint32_t paper);

enum class LetterOutcome : uint8_t {
  Made,       // `object` holds the letters
  Cancelled,  // the user cancelled the progress box: no object, nothing shown
  Failed,     // the message has been shown: bad text, unknown family, no letters, no memory
};
struct LetterResult {
  LetterOutcome outcome = LetterOutcome::Failed;
  std::unique_ptr<SceneObject> object;  // not yet in the object table
};

// Makes the letters of `settings` as a new object: every outline flattened, holes bridged into
// their outer outline (unless filled), ear-clipped, extruded in 3D, centred on the origin and
// scaled, with a compact hierarchy when there is more than one part. The object's name is left as
// NewSceneObject gives it. `interactive`: the "Generating letters..." progress box is shown and
// the cancel gesture honoured. Failures are shown: "Error: Couldn't generate any letters." when no
// character has an outline, "Error: Not enough memory to create new object." when the object is
// larger than an object may be or memory runs out.
LetterResult GenerateLetters(const LetterSettings& settings, bool interactive);

// The outlines GenerateLetters starts from: for each character of the text with at least one
// outline (from the family's face or a stand-in face), its contours flattened with the settings' segmenting, reversed and
// classified, at the character's pen position. Nothing is merged, clipped or shown. Empty when the
// text is not UTF-8, the segmenting is not one of the list's values or the family cannot be opened.
std::vector<std::vector<LetterOutline>> FlattenLetterText(const LetterSettings& settings);

// The settings of the run (the dialog shows and stores these) and the font machinery; the reset
// puts the defaults back and closes every face.
struct LetterState;
LetterSettings& CurrentLetterSettings();
void ResetLetterState();

}  // namespace tsv
