// batch_letters.cpp: letters without the dialog: the settings from the command line, GenerateLetters,
// and the object saved through a temporary file beside the target.
#include "app/batch_letters.h"

#include <cstdio>
#include <cstdlib>

#include "app/batch_support.h"
#include "letters/letters.h"
#include "platform/file_spec.h"
#include "platform/user_services.h"
#include "scene/object_file.h"

namespace tsv {
namespace {

bool ParseListValue(const std::string& text, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || parsed < 1 || parsed > kMostLetterSteps || LetterListIndex(int(parsed)) < 0) return false;
  value = int(parsed);
  return true;
}

}  // namespace

int LettersCommand(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "--list-fonts") {
    for (const std::string& family : LetterFontFamilies()) std::printf("%s\n", family.c_str());
    return 0;
  }
  if (args.size() < 2) return Usage("letters", "letters takes a text and an object file, or --list-fonts");
  LetterSettings settings;
  settings.text = args[0];
  std::string family = kDefaultLetterFamily;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--font" && hasValue) {
      family = args[++i];
    } else if (option == "--bold") {
      settings.bold = true;
    } else if (option == "--italic") {
      settings.italic = true;
    } else if (option == "--filled") {
      settings.filled = true;
    } else if (option == "--2d") {
      settings.threeD = false;
    } else if (option == "--no-fit") {
      settings.scaleToFit = false;
    } else if ((option == "--segments" || option == "--divisions") && hasValue) {
      int& value = option == "--segments" ? settings.segments : settings.depthDivisions;
      if (!ParseListValue(args[++i], value)) {
        return Usage("letters", option + " takes 1, 2, 4, 8, 16, 32 or 64, not " + PrintableText(args[i]));
      }
    } else {
      return Usage("letters", "unknown option " + PrintableText(option));
    }
  }
  if (const std::string problem = LetterTextProblem(settings.text); !problem.empty()) {
    ShowStopMessage(problem);
    return 1;
  }
  settings.family = FindLetterFamily(family);
  if (settings.family.empty()) {
    ShowStopMessage("Error: There is no TrueType font family \"" + PrintableText(family) +
                    "\"; tessivar letters --list-fonts lists them.");
    return 1;
  }
  if (FileTypeFromName(args[1]) != kObjectFileType) return Usage("letters", "the object file must end in .cmf");
  if (!WritableOutput(args[1])) return 1;
  LetterResult made = GenerateLetters(settings, false);
  if (made.outcome != LetterOutcome::Made) return 1;  // said why
  const FileSpec target = FileSpecForPath(args[1], kObjectFileType);
  made.object->name = ObjectNameOfFile(target);
  if (!SaveObjectToFile(*made.object, target)) return 1;
  std::printf("made %d points, %d triangles, %zu parts\n", made.object->pointCount, made.object->triangleCount,
              made.object->hierarchy.empty() ? size_t(1) : made.object->hierarchy.size());
  return 0;
}

}  // namespace tsv
