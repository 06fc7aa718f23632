// command_line.cpp: reading the command line.
#include "app/command_line.h"

namespace tsv {

Command ParseCommandLine(const std::vector<std::string>& arguments) {
  Command command;
  if (arguments.empty()) return command;
  const std::string& first = arguments[0];
  if (first == "--version" || first == "-v") {
    command.kind = CommandKind::Version;
  } else if (first == "--help" || first == "-h") {
    command.kind = CommandKind::Help;
  } else if (!first.empty() && first[0] == '-') {
    command.kind = CommandKind::Invalid;
    command.error = "unknown option " + first;
  } else if (arguments.size() == 1) {
    command.file = first;
  } else {
    command.kind = CommandKind::Batch;
    command.name = first;
    command.args.assign(arguments.begin() + 1, arguments.end());
  }
  return command;
}

std::string UsageText() {
  return "usage: tessivar [FILE]          open the program window, optionally with FILE\n"
         "       tessivar info FILE       what an object, project, optics or preview file holds\n"
         "       tessivar project OUT.cma OBJECT.cmf...\n"
         "                                a project of those objects, saved with its folders\n"
         "       tessivar view IN OUT.png|bmp|gif|tif|img [--view N] [--zoom Z] [--mode shaded|painted|textured|depth|mask]\n"
         "                    [--quarter]  the modeling view of an object file (or of the sphere)\n"
         "       tessivar new organic:SHAPE OUT.cmf\n"
         "                                SHAPE: sphere, tetrahedron, cylinder, cube, capped-cylinder\n"
         "       tessivar new synthetic:SHAPE OUT.cmf [--x N] [--y N] [--b N] [--f F]\n"
         "                                SHAPE: front-plain, both-plain, sphere, cylinder, cube, cone, doughnut\n"
         "       tessivar deform IN.cmf OUT.cmf TOOL AMOUNT [AMOUNT_Y] [--view N]\n"
         "                                one deformation tool (its name or two-letter code)\n"
         "       tessivar picture IN OUT [--interlaced] [--alpha] [--dither|--no-dither] [--compressed]\n"
         "                                convert a picture (bmp, gif, tif, img, png, jpg) to bmp, gif, tif, img or png\n"
         "       tessivar replay TASKS.tsks IN.cmf OUT.cmf [--strength S]\n"
         "                                replay a task file on an object (strength 0..256)\n"
         "       tessivar --version       print the version\n"
         "       tessivar --help          print this text\n";
}

}  // namespace tsv
