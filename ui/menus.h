// menus.h: a pop-up menu of texts under an item; the chosen entry or -1.
#pragma once

#include <string>
#include <vector>

namespace tsv {

// Opens below (left, top) and follows the pointer until the button is released (or pressed and
// released again when it was up); Escape or a release outside closes it with -1.
int PopUpMenu(const std::vector<std::string>& entries, int left, int top);

}  // namespace tsv
