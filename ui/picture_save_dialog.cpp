// picture_save_dialog.cpp: the picture options dialog and saving the view as a picture.
#include "ui/picture_save_dialog.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "formats/picture_files.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/render_state.h"
#include "scene/scene_state.h"
#include "ui/loop_result.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kRow = 26;
constexpr int kBoxWidth = 220;
constexpr int kBoxHeight = 20;
constexpr int kButtonHeight = 24;

struct OptionRow {
  int id;
  StringId label;
  StringId hover;
};
constexpr OptionRow kRows[] = {
    {kPictureItemInterlaced, kPictureInterlaced, kHoverPictureInterlaced},
    {kPictureItemIncludeAlpha, kPictureIncludeAlpha, kHoverPictureIncludeAlpha},
    {kPictureItemDithered, kPictureDithered, kHoverPictureDithered},
    {kPictureItemCompressed, kPictureCompressed, kHoverPictureCompressed},
};

bool* OptionOf(PictureSaveOptions& options, int id) {
  switch (id) {
    case kPictureItemInterlaced: return &options.interlaced;
    case kPictureItemIncludeAlpha: return &options.includeAlpha;
    case kPictureItemDithered: return &options.dithered;
    case kPictureItemCompressed: return &options.compressed;
    default: return nullptr;
  }
}

constexpr uint32_t kWritableTypes[] = {FourCC("PNGf"), FourCC("BMP "), FourCC("GIFf"), FourCC("TIFF"),
                                       FourCC("EIDI")};

}  // namespace

bool PictureTypeTakesOption(uint32_t type, int item) {
  switch (item) {
    case kPictureItemInterlaced:
    case kPictureItemDithered: return type == FourCC("GIFf");
    case kPictureItemIncludeAlpha: return type == FourCC("GIFf") || type == FourCC("EIDI") || type == FourCC("TIFF");
    case kPictureItemCompressed: return type == FourCC("EIDI");
    default: return false;
  }
}

Dialog MakePictureOptionsDialog(uint32_t type, const PictureSaveOptions& options) {
  PictureSaveOptions shown = options;
  Dialog dialog;
  dialog.title = GetString(kPictureOptionsTitle);
  dialog.width = kMargin * 2 + kBoxWidth;
  int top = kMargin;
  for (const OptionRow& row : kRows) {
    const int index = AddCheckBox(dialog, {kMargin, top, kBoxWidth, kBoxHeight}, GetString(row.label),
                                  *OptionOf(shown, row.id), GetString(row.hover));
    DialogItem& item = dialog.items[size_t(index)];
    item.id = row.id;
    item.enabled = item.style.enabled = PictureTypeTakesOption(type, row.id);
    top += kRow;
  }
  dialog.height = top + kMargin + kButtonHeight;
  AddOkCancel(dialog);
  return dialog;
}

void ReadPictureOptionsDialog(const Dialog& dialog, PictureSaveOptions& options) {
  for (const OptionRow& row : kRows) {
    const int index = FindDialogItem(dialog, row.id);
    if (index < 0 || !dialog.items[size_t(index)].enabled) continue;
    *OptionOf(options, row.id) = dialog.items[size_t(index)].checked;
  }
}

bool AskPictureSaveOptions(uint32_t type) {
  bool any = false;
  for (const OptionRow& row : kRows) any = any || PictureTypeTakesOption(type, row.id);
  if (!any) return true;
  Dialog dialog = MakePictureOptionsDialog(type, CurrentPictureSaveOptions());
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  ReadPictureOptionsDialog(dialog, CurrentPictureSaveOptions());
  return true;
}

int CommandSaveViewPicture() {
  const SceneObject* object = scene.currentObject;
  if (renderState.viewPicture.size() < size_t(kViewSide) * kViewSide) return 0;
  std::vector<uint32_t> pixels(renderState.viewPicture.begin(),
                               renderState.viewPicture.begin() + ptrdiff_t(kViewSide) * kViewSide);
  for (uint32_t& pixel : pixels) pixel |= 0xFF000000u;  // the view is opaque
  return CommandSavePixels(pixels, kViewSide, kViewSide, object ? CountedToText(object->name) : std::string());
}

int CommandSavePixels(std::span<const uint32_t> pixels, int width, int height, std::string name) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return 0;
  FileSpec spec;
  spec.typeCount = uint16_t(std::size(kWritableTypes));
  std::copy(std::begin(kWritableTypes), std::end(kWritableTypes), spec.fileTypes);
  if (name.empty()) name = GetString(kPictureOptionsTitle);
  CountedString proposed = TextToCountedString(name);
  (void)AddExtension(proposed, kWritableTypes[0]);  // a type of the table: always known
  spec.name = proposed;
  if (AskSaveFile(spec) != kNoError) return kLoopRedrawViewFull;
  // The name's extension decides, when it names a type the program writes.
  const std::string path = PathOfSpec(spec);
  uint32_t type = FileTypeFromName(path);
  if (std::find(std::begin(kWritableTypes), std::end(kWritableTypes), type) == std::end(kWritableTypes)) {
    type = spec.fileTypes[0];
  }
  spec.fileTypes[0] = type;
  if (!AskPictureSaveOptions(type)) {
    // The save dialog made the file when it was new; a cancelled save leaves no empty file behind.
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) == 0) {
      std::filesystem::remove(path, error);
    }
    return kLoopRedrawViewFull;
  }
  (void)SavePicture(spec, pixels, PixelRect{0, 0, int16_t(height), int16_t(width)}, size_t(width) * 4,
                    CurrentPictureSaveOptions());  // a failure has been shown
  return kLoopRedrawViewFull;
}

}  // namespace tsv
