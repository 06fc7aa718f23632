// letter_fonts.h: the faces letters are made from: TrueType families through fontconfig, faces and
// glyph contours through FreeType (unscaled, unhinted), a stand-in face for characters a family
// lacks, emboldening and a 12 degree slant where a family has no bold or italic face.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "letters/letter_outlines.h"

struct FT_FaceRec_;

namespace tsv {

// A face chosen for a family, weight and slant, and what it must be given to stand for them.
struct LetterFace {
  FT_FaceRec_* face = nullptr;  // owned by the letter state's cache
  bool embolden = false;
  bool slant = false;
  double scale = 1;  // font units to letter units: ascent + descent become 200
};

// The face of `family` nearest to the weight and slant asked for; none when the family is not a
// TrueType family fontconfig knows or its file cannot be opened.
std::optional<LetterFace> OpenLetterFace(std::string_view family, bool bold, bool italic);
// The face fontconfig offers in its place for a character `primary` lacks; none when no face has it.
std::optional<LetterFace> FallbackLetterFace(uint32_t codePoint, bool bold, bool italic);

// The glyph of one character in the TrueType contour form, in letter units with its origin at
// (penX, 0), and the unhinted advance. `found` is false when the face has no glyph for it or
// FreeType refuses it.
struct LetterGlyph {
  GlyphContours contours;
  double advance = 0;
  bool found = false;
};
LetterGlyph LoadLetterGlyph(const LetterFace& face, uint32_t codePoint, double penX);
// The advance of the face's missing-character glyph: what a character no face has moves the pen.
double MissingGlyphAdvance(const LetterFace& face);

// Next code point of text that has been checked to be UTF-8, and the byte after it.
uint32_t NextLetterCodePoint(std::string_view text, size_t& offset);

}  // namespace tsv
