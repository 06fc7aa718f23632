// fonts.h: the interface fonts (DejaVu Sans through fontconfig and FreeType) and text drawing onto
// a canvas. Text is UTF-8; positions name the top-left corner of the text line.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/canvas.h"

namespace tsv {

enum class FontKind {
  Normal,         // 11 px
  Bold,           // 11 px bold
  BoldUnderline,  // 11 px bold, underlined
  Small,          // 9 px
};

// Loads the faces once; false (and text is not drawn) when no usable font file is found.
[[nodiscard]] bool InitInterfaceFonts();
void ShutdownInterfaceFonts();

void DrawText(Canvas& canvas, FontKind font, int left, int top, std::string_view text, uint32_t colour);
int TextWidth(FontKind font, std::string_view text);
int LineHeight(FontKind font);

// The interface text is drawn at its pixel size (9 and 11 pixels) times this scale, rendered at
// that size so it stays crisp. 1 unless the interface is scaled.
void SetFontScale(float scale);
float FontScale();
// A length of the interface design in pixels at the current font scale.
int ScaledPixels(int designPixels);

// Holds the text at one scale while it lives (dialogs and pop-ups are laid out at the design's
// size inside a scaled window).
struct ScopedFontScale {
  explicit ScopedFontScale(float scale) : previous(FontScale()) { SetFontScale(scale); }
  ~ScopedFontScale() { SetFontScale(previous); }
  ScopedFontScale(const ScopedFontScale&) = delete;
  ScopedFontScale& operator=(const ScopedFontScale&) = delete;
  float previous;
};

}  // namespace tsv
