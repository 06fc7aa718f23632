// menus.h: a pop-up menu of texts under an item; the chosen entry or -1.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"

namespace tsv {

// Opens below (left, top) and follows the pointer until the button is released (or pressed and
// released again when it was up); Escape or a release outside closes it with -1. Entry `marked`
// (when one) carries a mark: the choice in force, or the one proposed.
int PopUpMenu(const std::vector<std::string>& entries, int left, int top, int marked = -1);

// A pop-up grid of small pictures (`columns` across, each shown in a `cell` x `cell` square, the
// entry `current` marked), used like PopUpMenu: the chosen index or -1.
int PopUpPictureGrid(const std::vector<Canvas>& pictures, int columns, int cell, int current, int left, int top);

}  // namespace tsv
