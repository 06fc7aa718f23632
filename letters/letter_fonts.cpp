// letter_fonts.cpp: fontconfig and FreeType for letters. Faces stay open in the letter state's
// cache until the state is reset or the program ends.
#include "letters/letter_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "letters/letter_state.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"

namespace tsv {
namespace {

constexpr double kSlantTangent = 0.21255656167002213;  // tan 12 degrees
constexpr int kBoldWeight = FC_WEIGHT_DEMIBOLD;          // a face at least this heavy counts as bold

void CloseLetterFacesAtExit() { CloseLetterFaces(); }

FT_Library Library() {
  if (letterState.library == nullptr) {
    if (!letterState.exitHookSet) {
      std::atexit(CloseLetterFacesAtExit);
      letterState.exitHookSet = true;
    }
    if (FT_Init_FreeType(&letterState.library) != 0) letterState.library = nullptr;
  }
  return letterState.library;
}

FT_Face CachedFace(const std::string& file, int index) {
  for (const LetterState::CachedFace& cached : letterState.faces) {
    if (cached.file == file && cached.index == index) return cached.face;
  }
  FT_Library library = Library();
  FT_Face face = nullptr;
  if (library == nullptr || FT_New_Face(library, file.c_str(), index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return nullptr;
  }
  letterState.faces.push_back({file, index, face});
  return face;
}

// Ascent + descent of the face in font units, as the system measures a font's cell.
double CellUnits(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && int(os2->usWinAscent) + int(os2->usWinDescent) > 0) {
    return double(os2->usWinAscent) + double(os2->usWinDescent);
  }
  if (face->ascender - face->descender > 0) return double(face->ascender - face->descender);
  return face->units_per_EM > 0 ? double(face->units_per_EM) : 1000.0;
}

std::optional<LetterFace> FaceFromPattern(FcPattern* pattern, bool bold, bool italic) {
  FcChar8* file = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  (void)FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
  (void)FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
  (void)FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
  LetterFace chosen;
  chosen.face = CachedFace(reinterpret_cast<const char*>(file), index);
  if (chosen.face == nullptr) return std::nullopt;
  chosen.embolden = bold && weight < kBoldWeight;
  chosen.slant = italic && slant == FC_SLANT_ROMAN;
  chosen.scale = kCellHeightUnits / CellUnits(chosen.face);
  return chosen;
}

bool SameFamily(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y)); });
}

// Collects the TrueType contour form from FreeType's walk of an outline. FreeType closes every
// contour with a segment back to its start; the form keeps that closing implicit.
struct ContourWalk {
  GlyphContours* out = nullptr;
  double scale = 1, penX = 0;
  size_t contourStart = 0;
  bool open = false;
  LetterPoint last;

  LetterPoint Map(const FT_Vector* v) const { return {double(v->x) * scale + penX, double(v->y) * scale}; }
  void Add(LetterPoint p, bool on) {
    out->points.push_back(p);
    out->onCurve.push_back(on ? 1 : 0);
    last = p;
  }
  void Close() {
    if (!open) return;
    open = false;
    const size_t end = out->points.size();
    if (end - contourStart > 1 && out->onCurve.back() != 0 && out->points.back() == out->points[contourStart]) {
      out->points.pop_back();
      out->onCurve.pop_back();
    }
    if (out->points.size() > contourStart) out->contourEnds.push_back(int32_t(out->points.size() - 1));
  }
};

int WalkMove(const FT_Vector* to, void* user) {
  auto* walk = static_cast<ContourWalk*>(user);
  walk->Close();
  walk->contourStart = walk->out->points.size();
  walk->open = true;
  walk->Add(walk->Map(to), true);
  return 0;
}
int WalkLine(const FT_Vector* to, void* user) {
  auto* walk = static_cast<ContourWalk*>(user);
  walk->Add(walk->Map(to), true);
  return 0;
}
int WalkConic(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* walk = static_cast<ContourWalk*>(user);
  walk->Add(walk->Map(control), false);
  walk->Add(walk->Map(to), true);
  return 0;
}
// A cubic piece (only a stand-in face of another format has them) becomes the one quadratic
// piece nearest to it.
int WalkCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* walk = static_cast<ContourWalk*>(user);
  const LetterPoint p0 = walk->last, a = walk->Map(c1), b = walk->Map(c2), p3 = walk->Map(to);
  walk->Add({(3 * (a.x + b.x) - (p0.x + p3.x)) / 4, (3 * (a.y + b.y) - (p0.y + p3.y)) / 4}, false);
  walk->Add(p3, true);
  return 0;
}

}  // namespace

void UseFontconfig() {
  (void)FcInit();
  // The interface fonts' exit hook releases fontconfig once for everyone who used it.
  platform.fonts.fontconfigUsed = true;
  if (!platform.fonts.exitHookSet) {
    std::atexit(ShutdownInterfaceFonts);
    platform.fonts.exitHookSet = true;
  }
}

void CloseLetterFaces() {
  for (LetterState::CachedFace& cached : letterState.faces) FT_Done_Face(cached.face);
  letterState.faces.clear();
  if (letterState.library != nullptr) FT_Done_FreeType(letterState.library);
  letterState.library = nullptr;
}

std::vector<std::string> ListTrueTypeFamilies() {
  UseFontconfig();
  std::vector<std::string> families;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  if (pattern != nullptr && objects != nullptr) {
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
      for (int k = 0; k < set->nfont; ++k) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[k], FC_FAMILY, 0, &family) == FcResultMatch && family[0] != 0) {
          families.emplace_back(reinterpret_cast<const char*>(family));
        }
      }
      FcFontSetDestroy(set);
    }
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  const auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(uint8_t(c)));
    return s;
  };
  std::sort(families.begin(), families.end(), [&](const std::string& a, const std::string& b) {
    const std::string la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
  });
  families.erase(std::unique(families.begin(), families.end(), [](const std::string& a, const std::string& b) { return SameFamily(a, b); }),
                 families.end());
  return families;
}

std::optional<LetterFace> OpenLetterFace(std::string_view family, bool bold, bool italic) {
  UseFontconfig();
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, FC_WIDTH, nullptr);
  std::optional<LetterFace> chosen;
  if (pattern != nullptr && objects != nullptr) {
    const std::string name(family);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
      // The face of normal width nearest in slant, then in weight.
      const int wantWeight = bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
      long bestScore = -1;
      FcPattern* best = nullptr;
      for (int k = 0; k < set->nfont; ++k) {
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL;
        (void)FcPatternGetInteger(set->fonts[k], FC_WEIGHT, 0, &weight);
        (void)FcPatternGetInteger(set->fonts[k], FC_SLANT, 0, &slant);
        (void)FcPatternGetInteger(set->fonts[k], FC_WIDTH, 0, &width);
        const long score = long((slant != FC_SLANT_ROMAN) != italic) * 1000000 + long(std::abs(width - FC_WIDTH_NORMAL)) * 1000 +
                           long(std::abs(weight - wantWeight));
        if (bestScore < 0 || score < bestScore) bestScore = score, best = set->fonts[k];
      }
      if (best != nullptr) chosen = FaceFromPattern(best, bold, italic);
      FcFontSetDestroy(set);
    }
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return chosen;
}

std::optional<LetterFace> FallbackLetterFace(uint32_t codePoint, bool bold, bool italic) {
  UseFontconfig();
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* wanted = FcCharSetCreate();
  std::optional<LetterFace> chosen;
  if (pattern != nullptr && wanted != nullptr && FcCharSetAddChar(wanted, codePoint)) {
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      FcCharSet* has = nullptr;
      if (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch && FcCharSetHasChar(has, codePoint)) {
        chosen = FaceFromPattern(match, bold, italic);
        if (chosen && FT_Get_Char_Index(chosen->face, codePoint) == 0) chosen.reset();
      }
      FcPatternDestroy(match);
    }
  }
  if (wanted != nullptr) FcCharSetDestroy(wanted);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return chosen;
}

LetterGlyph LoadLetterGlyph(const LetterFace& face, uint32_t codePoint, double penX) {
  LetterGlyph glyph;
  const FT_UInt index = FT_Get_Char_Index(face.face, codePoint);
  if (index == 0) return glyph;
  // Unscaled outlines are unhinted: the font's own design, in font units.
  if (FT_Load_Glyph(face.face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return glyph;
  FT_GlyphSlot slot = face.face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return glyph;
  double advance = double(slot->metrics.horiAdvance);
  if (face.embolden) {
    // As FreeType's own emboldening: a 24th of the em, half to either side.
    const FT_Pos strength = FT_Pos(face.face->units_per_EM) / 24;
    if (FT_Outline_Embolden(&slot->outline, strength) != 0) return glyph;
    advance += double(strength);
  }
  if (face.slant) {
    FT_Matrix shear{0x10000, FT_Fixed(std::lround(kSlantTangent * 65536.0)), 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &shear);
  }
  ContourWalk walk;
  walk.out = &glyph.contours;
  walk.scale = face.scale;
  walk.penX = penX;
  const FT_Outline_Funcs funcs{WalkMove, WalkLine, WalkConic, WalkCubic, 0, 0};
  if (FT_Outline_Decompose(&slot->outline, &funcs, &walk) != 0) return LetterGlyph{};
  walk.Close();
  glyph.advance = advance * face.scale;
  glyph.found = true;
  return glyph;
}

double MissingGlyphAdvance(const LetterFace& face) {
  if (FT_Load_Glyph(face.face, 0, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return 0;
  return double(face.face->glyph->metrics.horiAdvance) * face.scale;
}

uint32_t NextLetterCodePoint(std::string_view text, size_t& offset) {
  const auto byte = [&](size_t k) { return uint32_t(uint8_t(text[k])); };
  const uint32_t c = byte(offset++);
  if (c < 0x80) return c;
  const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  uint32_t code = c & (0x3Fu >> extra);
  for (int k = 0; k < extra && offset < text.size(); ++k) code = (code << 6) | (byte(offset++) & 0x3F);
  return code;
}

}  // namespace tsv
