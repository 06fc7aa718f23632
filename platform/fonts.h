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

}  // namespace tsv
