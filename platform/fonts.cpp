// fonts.cpp: FreeType rendering of the interface text with greyscale anti-aliasing.
#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/platform_state.h"

namespace tsv {
namespace {

std::string FindFontFile(const char* pattern, const char* fallback) {
  std::string result;
  if (FcInit()) {
    platform.fonts.fontconfigUsed = true;
    FcPattern* query = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (query != nullptr) {
      FcConfigSubstitute(nullptr, query, FcMatchPattern);
      FcDefaultSubstitute(query);
      FcResult found = FcResultNoMatch;
      FcPattern* match = FcFontMatch(nullptr, query, &found);
      FcChar8* file = nullptr;
      if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        result = reinterpret_cast<const char*>(file);
      }
      if (match != nullptr) FcPatternDestroy(match);
      FcPatternDestroy(query);
    }
  }
  return result.empty() ? fallback : result;
}

FT_Face OpenFace(const std::string& path) {
  FT_Face face = nullptr;
  if (FT_New_Face(platform.fonts.library, path.c_str(), 0, &face) != 0) return nullptr;
  return face;
}

int PixelSize(FontKind font) { return ScaledPixels(font == FontKind::Small ? 9 : 11); }

FT_Face FaceFor(FontKind font) {
  if (!InitInterfaceFonts()) return nullptr;
  FT_Face face = (font == FontKind::Bold || font == FontKind::BoldUnderline) && platform.fonts.bold ? platform.fonts.bold
                                                                                           : platform.fonts.regular;
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(PixelSize(font)));
  return face;
}

// Next code point of UTF-8 text; malformed bytes come out as U+FFFD, one byte at a time.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  uint8_t c = byte(i++);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (extra < 0 || i + size_t(extra) > text.size()) return 0xFFFD;
  uint32_t code = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if ((byte(i) & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (byte(i++) & 0x3F);
  }
  return code;
}

uint32_t Blend(uint32_t under, uint32_t over, unsigned alpha) {
  auto channel = [&](int shift) {
    unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
    return ((a * (255 - alpha) + b * alpha + 127) / 255) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

}  // namespace

bool InitInterfaceFonts() {
  if (platform.fonts.regular != nullptr) return true;
  if (platform.fonts.tried) return false;
  platform.fonts.tried = true;
  if (!platform.fonts.exitHookSet) {
    // Fontconfig keeps its configuration until FcFini; release everything when the program ends.
    std::atexit(ShutdownInterfaceFonts);
    platform.fonts.exitHookSet = true;
  }
  if (FT_Init_FreeType(&platform.fonts.library) != 0) return false;
  platform.fonts.regular = OpenFace(FindFontFile("DejaVu Sans:style=Book", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
  platform.fonts.bold = OpenFace(FindFontFile("DejaVu Sans:style=Bold", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"));
  if (platform.fonts.regular == nullptr && platform.fonts.bold != nullptr) std::swap(platform.fonts.regular, platform.fonts.bold);
  return platform.fonts.regular != nullptr;
}

void ShutdownInterfaceFonts() {
  if (platform.fonts.bold) FT_Done_Face(platform.fonts.bold);
  if (platform.fonts.regular) FT_Done_Face(platform.fonts.regular);
  if (platform.fonts.library) FT_Done_FreeType(platform.fonts.library);
  if (platform.fonts.fontconfigUsed) FcFini();
  bool exitHookSet = platform.fonts.exitHookSet;
  platform.fonts = FontState{};
  platform.fonts.exitHookSet = exitHookSet;
}

void SetFontScale(float scale) { platform.fonts.scale = std::clamp(scale, 0.5f, 4.0f); }

float FontScale() { return platform.fonts.scale; }

int ScaledPixels(int designPixels) { return int(std::lround(float(designPixels) * platform.fonts.scale)); }

int LineHeight(FontKind font) {
  FT_Face face = FaceFor(font);
  if (face == nullptr) return PixelSize(font) + 2;
  return int((face->size->metrics.ascender - face->size->metrics.descender) >> 6);
}

int TextWidth(FontKind font, std::string_view text) {
  FT_Face face = FaceFor(font);
  if (face == nullptr) return 0;
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    if (FT_Load_Char(face, NextCodePoint(text, i), FT_LOAD_DEFAULT) == 0) width += int(face->glyph->advance.x >> 6);
  }
  return width;
}

void DrawText(Canvas& canvas, FontKind font, int left, int top, std::string_view text, uint32_t colour) {
  FT_Face face = FaceFor(font);
  if (face == nullptr) return;
  int baseline = top + int(face->size->metrics.ascender >> 6);
  int x = left;
  for (size_t i = 0; i < text.size();) {
    if (FT_Load_Char(face, NextCodePoint(text, i), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    int gx = x + glyph->bitmap_left;
    int gy = baseline - glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      int y = gy + int(row);
      if (y < 0 || y >= canvas.height) continue;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        int px = gx + int(column);
        if (px < 0 || px >= canvas.width) continue;
        unsigned alpha = bitmap.buffer[int(row) * bitmap.pitch + int(column)];
        if (alpha == 0) continue;
        uint32_t& pixel = canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(px)];
        pixel = Blend(pixel, colour, alpha);
      }
    }
    x += int(glyph->advance.x >> 6);
  }
  if (font == FontKind::BoldUnderline) FillRect(canvas, {left, baseline + 1, x - left, 1}, colour);
}

}  // namespace tsv
