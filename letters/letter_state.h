// letter_state.h: the letters' one state record: the settings kept for the run and the open faces.
#pragma once

#include <string>
#include <vector>

#include "letters/letters.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace tsv {

inline constexpr double kCellHeightUnits = kLetterCellHeight;

struct LetterState {
  LetterSettings settings;
  FT_LibraryRec_* library = nullptr;
  struct CachedFace {
    std::string file;
    int index = 0;
    FT_FaceRec_* face = nullptr;
  };
  std::vector<CachedFace> faces;
  bool exitHookSet = false;  // the faces are closed when the program ends
};

extern LetterState letterState;

// Fontconfig is ready and will be released once when the program ends.
void UseFontconfig();
// Closes every cached face and the FreeType library of the letters.
void CloseLetterFaces();
// The TrueType families, sorted without regard to case, each once.
std::vector<std::string> ListTrueTypeFamilies();

}  // namespace tsv
