// formats_state.cpp: the exchange formats' state record.
#include "formats/formats_state.h"

namespace tsv {

FormatsState formatsState;

void ResetFormatsState() { formatsState = FormatsState{}; }

PictureSaveOptions& CurrentPictureSaveOptions() { return formatsState.pictureSaveOptions; }

}  // namespace tsv
