// brush_settings.h: the global brush settings the brush panels change (size, depth, shape,
// spacing, modeling brush type, side and repeat modes, paint and alternate colours, mask erase,
// manual pen tilt, fusion side) with their defaults, and the inputs other rooms hand the brushes:
// the height map of the height-map fusion room and the rendered depth of the two morph objects.
// The stroke engine is in brush.h, the stroke session in brush_session.h.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/string_id.h"
#include "platform/user_services.h"

namespace tsv {

// The rooms a stroke can run in; each picks its own dab. Any other room strokes like the
// modeling room.
inline constexpr int kBrushRoomModeling = 1;
inline constexpr int kBrushRoomHeightMap = 2;
inline constexpr int kBrushRoomMorph = 3;
inline constexpr int kBrushRoomPaint = 4;
inline constexpr int kBrushRoomLiquify = 8;
inline constexpr int kBrushRoomMask = 10;

// The modeling room's brush types (the string table names the type texts kBrushType...).
namespace brush_type {
inline constexpr int16_t kBrush = 0;    // push along the view axis
inline constexpr int16_t kSmudge = 1;   // drag the surface along with the stroke
inline constexpr int16_t kSmooth = 2;   // relax toward the neighbours
inline constexpr int16_t kSpheric = 3;  // push toward or away from the object's centre
inline constexpr int16_t kNormal = 4;   // push along the surface normal
}  // namespace brush_type

// Which side of the object the brush reaches.
namespace brush_side {
inline constexpr int16_t kFront = 0;      // only what is visible
inline constexpr int16_t kThrough = 1;    // everything under the brush
inline constexpr int16_t kSymmetric = 2;  // the visible side and its mirror image
}  // namespace brush_side

inline constexpr int kBrushShapeCount = 26;       // shapes 1..26
inline constexpr int kBrushRepeatModeCount = 12;  // repeat modes 0..11
inline constexpr int16_t kBrushNeutralDepth = 128;
inline constexpr int16_t kBrushSettingMax = 256;  // size, depth and spacing run 0..256
inline constexpr int16_t kMaskEraseOn = 2;        // the mask-erase switch value that erases

inline constexpr int16_t kFusionSideLeft = 0;
inline constexpr int16_t kFusionSideRight = 1;

// The grey picture of the height-map fusion room: one byte per cell, rows stored bottom-up (row
// 0 is the bottom row of the picture), with the level and contrast settings of its panel.
struct HeightMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;  // width x height
  int16_t level = 128;         // 128 neutral; added to every byte as level - 128
  int16_t contrast = 0;        // 0..256; 0 keeps the full range, 256 flattens it
};

// A morph object as the fusion brushes see it: rendered into its own 400 x 400 depth buffer in
// the current view (rows as in the view's depth buffer, empty pixels -100000), with the range of
// the depths drawn.
struct MorphFusionSource {
  std::vector<float> depthBuffer;  // 400 x 400, or empty when there is no such object
  float depthMin = 0;
  float depthMax = 0;
};

// The brush settings, all 16-bit as the task steps record them.
struct BrushSettings {
  int16_t size = 128;                   // S, 0..256; the brush radius scales with S / 128
  int16_t depth = 64;                   // D, 0..256; pressure (128 - D) / 128: below 128 pushes in
  int16_t shape = 1;                    // 1..26
  int16_t spacing = 128;                // 0..256; 256 puts one dab on every motion
  int16_t type = brush_type::kBrush;    // the modeling room's brush type
  int16_t side = brush_side::kFront;
  int16_t repeat = 0;                   // 0..11
  Rgb16 paintColour{0xFFFF, 0xFFFF, 0xFFFF};
  Rgb16 alternateColour{0, 0, 0};       // painted while the pen's second end is down
  int16_t maskErase = 0;                // kMaskEraseOn: the mask brush protects instead of frees
  std::array<int16_t, 2> tilt{0, 0};    // the manual pen tilt (a, b); (0, 0) is no tilt
  int16_t fusionSide = kFusionSideLeft;  // the morph object the morph room's brush fuses with

  // Filled by the rooms that own them; empty when absent.
  HeightMap heightMap;
  std::array<MorphFusionSource, 2> morphObjects;  // [kFusionSideLeft], [kFusionSideRight]
};

extern BrushSettings brushSettings;

// The defaults again, with no height map and no morph objects (start-up, tests).
void ResetBrushSettings();

// A height map the fusion brush can read: a positive size whose bytes are all there.
[[nodiscard]] bool HasHeightMap(const HeightMap& map);
// A morph object the fusion brush can use: a whole depth buffer and a depth range that is not
// empty (depthMax - depthMin > 0).
[[nodiscard]] bool HasMorphFusionSource(const MorphFusionSource& source);

// The mouse's pressure from the depth setting: (128 - D) / 128, 0 at the neutral depth, negative
// (pulling out) above it.
inline float BrushPressureFromDepth(int depth) { return float(128 - depth) / 128.0f; }
// The size factor of S: S / 128.
inline float BrushSizeFactor(int size) { return float(size) / 128.0f; }

// The name a recorded stroke goes by, from its room, brush type and fusion side ("Brush session",
// "Paint session", "Left morph object fusion", ...).
StringId BrushSessionName(int room, int type, int fusionSide);
// The repeat menu's text of mode 0..11 (anything else reads as mode 0).
StringId BrushRepeatModeName(int mode);

}  // namespace tsv
