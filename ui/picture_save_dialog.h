// picture_save_dialog.h: the options of a picture being saved ("Interlaced", "Include Alpha",
// "Dithered", "Compressed"), with those the chosen picture type does not use greyed, and saving the
// modeling view as a picture.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/picture.h"
#include "ui/dialog.h"

namespace tsv {

enum PictureOptionsItemId : int {
  kPictureItemInterlaced = 1,
  kPictureItemIncludeAlpha,
  kPictureItemDithered,
  kPictureItemCompressed,
};

// Which options a picture type ('GIFf', 'EIDI', 'TIFF', 'PNGf', 'BMP ') takes.
[[nodiscard]] bool PictureTypeTakesOption(uint32_t type, int item);

Dialog MakePictureOptionsDialog(uint32_t type, const PictureSaveOptions& options);
void ReadPictureOptionsDialog(const Dialog& dialog, PictureSaveOptions& options);
// Asks for the options of a picture of `type` over CurrentPictureSaveOptions(), which OK updates.
// True when there is nothing to ask (BMP) or the dialog was closed with OK.
[[nodiscard]] bool AskPictureSaveOptions(uint32_t type);

// The view's "Save view as picture...": the save dialog over the writable picture types, the
// options, then the modeling view as it is drawn now. A loop result.
int CommandSaveViewPicture();
// The same for any picture: `pixels` (width x height, 0xAARRGGBB, top row first) under a proposed
// `name` (the options' title when empty).
int CommandSavePixels(std::span<const uint32_t> pixels, int width, int height, std::string name);

}  // namespace tsv
