// letters.cpp: the letter settings, the family list, the preview and the generation of a letters
// object: the text loop over characters, centring and scaling, the compact hierarchy.
#include "letters/letters.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <new>

#include "letters/letter_fonts.h"
#include "letters/letter_outlines.h"
#include "letters/letter_state.h"
#include "platform/events.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_table.h"
#include "scene/topology.h"

namespace tsv {

LetterState letterState;

namespace {

constexpr double kFitRadius = 160.0;   // "Scale to fit": the farthest point ends up this far out
constexpr double kUnfittedScale = 0.5;

// The faces a run uses: the family's own and, per character it lacks, a stand-in.
struct RunFaces {
  LetterFace primary;
  bool bold = false, italic = false;
};

// The glyph of one character, from the family's face or a stand-in face that has it. The pen
// moves by the glyph's advance, or by the missing-character advance when no face has one.
LetterGlyph GlyphOf(const RunFaces& faces, uint32_t codePoint, double penX) {
  LetterGlyph glyph = LoadLetterGlyph(faces.primary, codePoint, penX);
  if (glyph.found) return glyph;
  if (FT_Get_Char_Index(faces.primary.face, codePoint) == 0 && codePoint >= 0x20) {
    if (std::optional<LetterFace> standIn = FallbackLetterFace(codePoint, faces.bold, faces.italic)) {
      glyph = LoadLetterGlyph(*standIn, codePoint, penX);
      if (glyph.found) return glyph;
    }
  }
  glyph = LetterGlyph{};
  glyph.advance = MissingGlyphAdvance(faces.primary);
  return glyph;
}

void CentreAndScale(std::vector<std::array<double, 3>>& points, bool scaleToFit) {
  if (points.empty()) return;
  std::array<double, 3> lo = points[0], hi = points[0];
  for (const auto& p : points) {
    for (int k = 0; k < 3; ++k) lo[size_t(k)] = std::min(lo[size_t(k)], p[size_t(k)]), hi[size_t(k)] = std::max(hi[size_t(k)], p[size_t(k)]);
  }
  double radius = 0.001;
  for (auto& p : points) {
    for (int k = 0; k < 3; ++k) p[size_t(k)] -= (lo[size_t(k)] + hi[size_t(k)]) * 0.5;
    radius = std::max(radius, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
  }
  const double scale = scaleToFit ? kFitRadius / radius : kUnfittedScale;
  for (auto& p : points) {
    for (double& c : p) c *= scale;
  }
}

// Points, triangles, hierarchy and the import completion into an object made for the mesh.
bool FillObject(const LetterMesh& mesh, SceneObject& target) {
  SceneObject* object = &target;
  for (size_t k = 0; k < mesh.points.size(); ++k) {
    object->points[k] = {float(mesh.points[k][0]), float(mesh.points[k][1]), float(mesh.points[k][2])};
  }
  Topology* topology = MutableTopology(*object);
  if (topology == nullptr) return false;
  std::copy(mesh.triangles.begin(), mesh.triangles.end(), topology->triangles.begin());
  if (mesh.parts.size() > 1) {
    object->hierarchy.resize(mesh.parts.size());
    for (size_t k = 0; k < mesh.parts.size(); ++k) {
      HierarchyNode& node = object->hierarchy[k];
      const LetterMeshPart& part = mesh.parts[k];
      node.role = kHierarchyCompact;
      node.partName = TextToCountedString(part.name);
      node.partFirstPoint = uint32_t(part.firstPoint);
      node.partFirstTriangle = uint32_t(part.firstTriangle);
      node.partTriangleCount = uint32_t(part.triangleCount);
      node.partPointCount = uint32_t(part.pointCount);
    }
    object->hierarchy[0].childCount = uint32_t(mesh.parts.size() - 1);
  }
  return CompleteImportedObject(object);
}

}  // namespace

LetterSettings& CurrentLetterSettings() { return letterState.settings; }

void ResetLetterState() {
  CloseLetterFaces();
  const bool exitHookSet = letterState.exitHookSet;
  letterState = LetterState{};
  letterState.exitHookSet = exitHookSet;
}

int LetterListIndex(int value) {
  for (int index = 0; index < kLetterListSize; ++index) {
    if (LetterListValue(index) == value) return index;
  }
  return -1;
}

std::vector<std::string> LetterFontFamilies() { return ListTrueTypeFamilies(); }

std::string FindLetterFamily(std::string_view name) {
  for (const std::string& family : LetterFontFamilies()) {
    if (family.size() == name.size() &&
        std::equal(family.begin(), family.end(), name.begin(),
                   [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); })) {
      return family;
    }
  }
  return {};
}

std::string LetterTextProblem(std::string_view text) {
  if (text.empty()) return "Error: The text is empty.";
  if (text.size() > kMostLetterTextBytes) {
    return "Error: The text is " + std::to_string(text.size()) + " bytes long; at most 255 bytes make letters.";
  }
  for (size_t k = 0; k < text.size();) {
    const uint8_t c = uint8_t(text[k]);
    const int extra = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
    bool good = extra >= 0 && k + size_t(extra) < text.size();
    uint32_t code = extra > 0 ? c & (0x3Fu >> extra) : c;
    for (int e = 1; good && e <= extra; ++e) {
      const uint8_t t = uint8_t(text[k + size_t(e)]);
      if ((t & 0xC0) != 0x80) good = false;
      code = (code << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8 either.
    if (good && ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
                 (code >= 0xD800 && code <= 0xDFFF))) {
      good = false;
    }
    if (!good) return "Error: The text is not UTF-8 at byte " + std::to_string(k) + ".";
    k += size_t(extra) + 1;
  }
  return {};
}

void DrawLetterPreview(Canvas& canvas, Rect area, const LetterSettings& settings, uint32_t ink, uint32_t paper) {
  FillRect(canvas, area, paper);
  if (area.width <= 0 || area.height <= 0 || !LetterTextProblem(settings.text).empty()) return;
  const std::optional<LetterFace> face =
      OpenLetterFace(settings.family.empty() ? kDefaultLetterFamily : settings.family, settings.bold, settings.italic);
  if (!face) return;
  // The face's cell (ascent + descent) fills the area's height.
  const double pixelsPerUnit = double(area.height) / kLetterCellHeight * face->scale;
  const double ppem = pixelsPerUnit * face->face->units_per_EM;
  if (FT_Set_Char_Size(face->face, 0, FT_F26Dot6(std::lround(ppem * 64)), 72, 72) != 0) return;
  const double descent = double(-face->face->descender) * pixelsPerUnit;
  const int baseline = area.top + area.height - int(std::lround(std::max(descent, 0.0)));
  double pen = area.left + 2;
  const std::string& text = settings.text;
  for (size_t offset = 0; offset < text.size() && pen < area.left + area.width;) {
    const uint32_t code = NextLetterCodePoint(text, offset);
    const FT_UInt index = FT_Get_Char_Index(face->face, code);
    if (FT_Load_Glyph(face->face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) continue;
    FT_GlyphSlot slot = face->face->glyph;
    double advance = double(slot->linearHoriAdvance) / 65536.0;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (face->embolden) {
        const FT_Pos strength = FT_Pos(std::lround(ppem * 64 / 24));
        (void)FT_Outline_Embolden(&slot->outline, strength);
        advance += double(strength) / 64.0;
      }
      if (face->slant) {
        FT_Matrix shear{0x10000, FT_Fixed(std::lround(0.21255656167002213 * 65536.0)), 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) {
      const FT_Bitmap& bitmap = slot->bitmap;
      const int gx = int(std::lround(pen)) + slot->bitmap_left, gy = baseline - slot->bitmap_top;
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = gy + int(row);
        if (y < area.top || y >= area.top + area.height || y < 0 || y >= canvas.height) continue;
        for (unsigned column = 0; column < bitmap.width; ++column) {
          const int x = gx + int(column);
          if (x < area.left || x >= area.left + area.width || x < 0 || x >= canvas.width) continue;
          const unsigned alpha = bitmap.buffer[int(row) * bitmap.pitch + int(column)];
          if (alpha == 0) continue;
          uint32_t& pixel = canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)];
          uint32_t blended = 0;
          for (int shift : {16, 8, 0}) {
            const unsigned a = (pixel >> shift) & 0xFF, b = (ink >> shift) & 0xFF;
            blended |= ((a * (255 - alpha) + b * alpha + 127) / 255) << shift;
          }
          pixel = blended;
        }
      }
    }
    pen += advance;
  }
}

LetterResult GenerateLetters(const LetterSettings& settings, bool interactive) {
  LetterResult result;
  if (const std::string problem = LetterTextProblem(settings.text); !problem.empty()) {
    ShowStopMessage(problem);
    return result;
  }
  const int segments = settings.segments, divisions = settings.depthDivisions;
  if (LetterListIndex(segments) < 0 || LetterListIndex(divisions) < 0) {
    ShowStopMessage("Error: Segmenting and depth divisions must be 1, 2, 4, 8, 16, 32 or 64.");
    return result;
  }
  RunFaces faces;
  faces.bold = settings.bold;
  faces.italic = settings.italic;
  const std::string family = settings.family.empty() ? kDefaultLetterFamily : settings.family;
  if (std::optional<LetterFace> face = OpenLetterFace(family, settings.bold, settings.italic)) {
    faces.primary = *face;
  } else {
    ShowStopMessage(GetString(kErrNoLetters));
    return result;
  }

  if (interactive) ShowProgress(GetString(kProgressGeneratingLetters), -1);
  LetterMesh mesh;
  bool tooLarge = false, cancelled = false, outOfMemory = false;
  try {
    const std::string& text = settings.text;
    double penX = 0;
    for (size_t offset = 0; offset < text.size();) {
      const size_t start = offset;
      const uint32_t code = NextLetterCodePoint(text, offset);
      const std::string name = text.substr(start, offset - start);
      const LetterGlyph glyph = GlyphOf(faces, code, penX);
      if (glyph.found) {
        for (const LetterOutline& part : LetterParts(FlattenGlyph(glyph.contours, segments), settings.filled)) {
          const std::vector<LetterTriangle> ears = ClipEars(part);
          const LetterPartCounts counts = CountLetterPart(part, ears.size(), settings.threeD, divisions);
          // Counted in 64 bits: a long text at the finest settings outgrows what an object may hold.
          if (int64_t(mesh.points.size()) + counts.points > kMaxMeshPoints ||
              int64_t(mesh.triangles.size()) + counts.triangles > kMaxMeshTriangles) {
            tooLarge = true;
            break;
          }
          EmitLetterPart(part, ears, settings.threeD, divisions, name, mesh);
        }
      }
      if (tooLarge) break;
      penX += glyph.advance;
      if (interactive) {
        AdvanceProgress(int(int64_t(offset) * 128 / int64_t(text.size())), -1);
        if (CancelRequested()) {
          cancelled = true;
          break;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  if (interactive) HideProgress();
  if (cancelled) {
    result.outcome = LetterOutcome::Cancelled;
    return result;
  }
  if (tooLarge || outOfMemory) {
    mesh = LetterMesh{};
    ShowStopMessage(GetString(kErrNoMemoryForNewObject));
    return result;
  }
  if (mesh.parts.empty() || mesh.points.empty() || mesh.triangles.empty()) {
    ShowStopMessage(GetString(kErrNoLetters));
    return result;
  }
  CentreAndScale(mesh.points, settings.scaleToFit);
  // NewSceneObject reports its own failure; one after it is reported here.
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(mesh.points.size()), int32_t(mesh.triangles.size()));
  if (!object) return result;
  bool filled = false;
  try {
    filled = FillObject(mesh, *object);
  } catch (const std::bad_alloc&) {
    filled = false;
  }
  if (!filled) {
    DisposeSceneObject(object);
    ShowStopMessage(GetString(kErrNoMemoryForNewObject));
    return result;
  }
  result.outcome = LetterOutcome::Made;
  result.object = std::move(object);
  return result;
}

std::vector<std::vector<LetterOutline>> FlattenLetterText(const LetterSettings& settings) {
  std::vector<std::vector<LetterOutline>> characters;
  if (!LetterTextProblem(settings.text).empty() || LetterListIndex(settings.segments) < 0) return characters;
  RunFaces faces;
  faces.bold = settings.bold;
  faces.italic = settings.italic;
  const std::optional<LetterFace> face =
      OpenLetterFace(settings.family.empty() ? kDefaultLetterFamily : settings.family, settings.bold, settings.italic);
  if (!face) return characters;
  faces.primary = *face;
  double penX = 0;
  for (size_t offset = 0; offset < settings.text.size();) {
    const LetterGlyph glyph = GlyphOf(faces, NextLetterCodePoint(settings.text, offset), penX);
    if (glyph.found) {
      std::vector<LetterOutline> outlines = FlattenGlyph(glyph.contours, settings.segments);
      if (!outlines.empty()) characters.push_back(std::move(outlines));
    }
    penX += glyph.advance;
  }
  return characters;
}

}  // namespace tsv
