// formats_state.cpp: the exchange formats' state record.
#include "formats/formats_state.h"

#include <algorithm>
#include <cmath>

namespace tsv {

FormatsState formatsState;

void ResetFormatsState() { formatsState = FormatsState{}; }

float ExportScaleFactor(float userFactor) {
  if (!std::isfinite(userFactor)) userFactor = userFactor > 0 ? 100.0f : userFactor < 0 ? 0.01f : 1.0f;
  return std::clamp(userFactor, 0.01f, 100.0f) * 0.78125f;
}

PictureSaveOptions& CurrentPictureSaveOptions() { return formatsState.pictureSaveOptions; }

}  // namespace tsv
