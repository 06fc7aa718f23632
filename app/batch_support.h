// batch_support.h: what several batch commands share: checking their files before anything is
// done, writing pictures, the usage refusal, picture sizes and opening a project to render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/picture.h"

namespace tsv {

inline constexpr int kMostRenderSide = 16384;
inline constexpr int64_t kMostRenderPixels = int64_t(64) << 20;

[[nodiscard]] bool IsWritablePictureType(uint32_t type);
// Writes 32-bit pixels (0x00RRGGBB or with alpha) as the picture type of the file's extension.
[[nodiscard]] bool WritePictureFile(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
                                    const PictureSaveOptions& options);
// A file a batch command reads must be there, be a file and be readable; otherwise the refusal
// names it and why.
[[nodiscard]] bool ReadableInput(const std::string& path);
// The file a batch command writes must be one it can put there (see the definition); checked
// before anything is read or drawn.
[[nodiscard]] bool WritableOutput(const std::string& path);
// A refusal of the command line: what is wrong, then how the command is used. Returns 1.
int Usage(const std::string& command, const std::string& message);
// Control characters shown as '?', so that a name from a file cannot play with the terminal.
std::string PrintableText(std::string text);
// "WxH" with both sides 1..16384 and at most 64 M pixels.
[[nodiscard]] bool ParseRenderSize(const std::string& text, int& width, int& height);

// Opens a project and every object it names. False, with the reason on standard error, when the
// project cannot be read or an object it names cannot be opened. Texture pictures that could not
// be read are listed (their objects open without them).
struct OpenedProject {
  std::vector<std::string> unreadableTextures;
};
[[nodiscard]] bool OpenProjectForBatch(const std::string& in, OpenedProject& opened);

}  // namespace tsv
