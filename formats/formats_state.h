// formats_state.h: the mutable state of the exchange formats in one record, with its reset. The
// codecs themselves keep no state between calls.
#pragma once

#include "formats/picture.h"

namespace tsv {

struct FormatsState {
  // The options the picture save dialog last left; every save that does not pass its own uses them.
  PictureSaveOptions pictureSaveOptions;
  // The factor every exported coordinate is multiplied by, set by the export command from the
  // user's "Scale Factor" (ExportScaleFactor); the default is that of a factor of 1.0.
  float exportScale = 0.78125f;
};

extern FormatsState formatsState;

// The default save options: for start-up and for tests.
void ResetFormatsState();

// The writers' factor for a user's "Scale Factor": clamped to 0.01..100 (anything that is not a
// number counts as 1.0), times 0.78125.
float ExportScaleFactor(float userFactor);

}  // namespace tsv
