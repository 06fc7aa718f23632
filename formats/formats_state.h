// formats_state.h: the mutable state of the exchange formats in one record, with its reset. The
// codecs themselves keep no state between calls.
#pragma once

#include "formats/picture.h"

namespace tsv {

struct FormatsState {
  // The options the picture save dialog last left; every save that does not pass its own uses them.
  PictureSaveOptions pictureSaveOptions;
};

extern FormatsState formatsState;

// The default save options: for start-up and for tests.
void ResetFormatsState();

}  // namespace tsv
