// brush_settings.cpp: the brush settings record and the names of strokes and repeat modes.
#include "tools/brush_settings.h"

#include "platform/string_ids.h"
#include "render/render_state.h"

namespace tsv {

BrushSettings brushSettings;

void ResetBrushSettings() { brushSettings = BrushSettings{}; }

bool HasHeightMap(const HeightMap& map) {
  if (map.width <= 0 || map.height <= 0) return false;
  return map.bytes.size() >= size_t(map.width) * size_t(map.height);
}

bool HasMorphFusionSource(const MorphFusionSource& source) {
  return source.depthBuffer.size() == size_t(kViewPixelCount) &&
         source.depthMax - source.depthMin > 0.0f;
}

StringId BrushSessionName(int room, int type, int fusionSide) {
  switch (room) {
    case kBrushRoomPaint: return kBrushPaintSession;
    case kBrushRoomLiquify: return kBrushLiquifySession;
    case kBrushRoomHeightMap: return kBrushHeightMapSession;
    case kBrushRoomMorph:
      return fusionSide == kFusionSideRight ? kBrushRightMorphFusion : kBrushLeftMorphFusion;
    default: break;
  }
  switch (type) {
    case brush_type::kSmudge: return kBrushSmudgeSession;
    case brush_type::kSmooth: return kBrushSmoothSession;
    case brush_type::kSpheric: return kBrushSphericSession;
    case brush_type::kNormal: return kBrushNormalSession;
    default: return kBrushSession;
  }
}

StringId BrushRepeatModeName(int mode) {
  static constexpr StringId kNames[kBrushRepeatModeCount] = {
      kBrushRepeatNone,     kBrushRepeat2,        kBrushRepeat3,        kBrushRepeat4,
      kBrushRepeat5,        kBrushRepeat6,        kBrushRepeatMirror,   kBrushRepeatSectors2,
      kBrushRepeatSectors3, kBrushRepeatSectors4, kBrushRepeatSectors5, kBrushRepeatSectors6};
  return kNames[mode >= 0 && mode < kBrushRepeatModeCount ? mode : 0];
}

}  // namespace tsv
