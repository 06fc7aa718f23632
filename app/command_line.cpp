// command_line.cpp: reading the command line.
#include "app/command_line.h"

namespace tsv {

namespace {

// The batch commands and their usage lines, in the order the help shows them.
struct BatchUsage {
  const char* name;
  const char* usage;
};
constexpr BatchUsage kBatchCommands[] = {
    {"info", "       tessivar info FILE       what an object, project, optics, preview or Quorvels file holds\n"},
    {"project",
     "       tessivar project OUT.cma OBJECT.cmf...\n"
     "                                a project of those objects, saved with its folders\n"},
    {"view",
     "       tessivar view IN OUT.png|bmp|gif|tif|img [--view N] [--zoom Z] [--mode shaded|painted|textured|depth|mask]\n"
     "                    [--quarter]  the modeling view of an object file (or of the sphere)\n"},
    {"render",
     "       tessivar render PROJECT.cma OUT.png|bmp|tif|gif|img [--size WxH] [--camera 1..7] [--alpha]\n"
     "                    [--supersample|--no-supersample] [--shadows|--no-shadows] [--textures|--no-textures]\n"
     "                    [--fog|--no-fog] [--background-picture|--no-background-picture]\n"
     "                                the composer's picture of a project, with its switches unless given\n"},
    {"new",
     "       tessivar new organic:SHAPE OUT.cmf\n"
     "                                SHAPE: sphere, tetrahedron, cylinder, cube, capped-cylinder\n"
     "       tessivar new synthetic:SHAPE OUT.cmf [--x N] [--y N] [--b N] [--f F]\n"
     "                                SHAPE: front-plain, both-plain, sphere, cylinder, cube, cone, doughnut\n"},
    {"deform",
     "       tessivar deform IN.cmf OUT.cmf TOOL AMOUNT [AMOUNT_Y] [--view N]\n"
     "                                one deformation tool (its name or two-letter code)\n"},
    {"picture",
     "       tessivar picture IN OUT [--interlaced] [--alpha] [--dither|--no-dither] [--compressed]\n"
     "                                convert a picture (bmp, gif, tif, img, png, jpg) to bmp, gif, tif, img or png\n"},
    {"mesh",
     "       tessivar mesh IN.cmf OUT.cmf [--synthetic] [--join] [--normals] [--simplify [N]] [--quad [N]]\n"
     "                    [--adaptive] [--no-protect-borders] [--turn x|y|z]... [--invert] [--mirror x|y|z]\n"
     "                    [--merge OTHER.cmf] [--drop-hierarchy]\n"
     "                                mesh repairs, density, mirror and merge, in that order\n"},
    {"replay",
     "       tessivar replay TASKS.tsks IN.cmf OUT.cmf [--strength S]\n"
     "                                replay a task file on an object (strength 0..256)\n"},
    {"quorvels",
     "       tessivar quorvels SET.bsph|--ball X,Y,Z[,R1[,R2[,W[,AX,AY,AZ]]]]... OUT.cmf|OUT.bsph\n"
     "                    [--resolution N] [--threshold T] [--atomize] [--no-refine]\n"
     "                                the metaball body of a Quorvels set (or of the balls given) as an\n"
     "                                object (grid of N = 8..128 cells), or the balls as a set file\n"},
    {"animate",
     "       tessivar animate IN.cma|IN.cmf OUT.gif|OUT.mov|--frames-out DIR [--fps N] [--time S|--frames N]\n"
     "                    [--method sharp|gentle|smooth] [--forth-and-back] [--alone] [--no-transition LIST]\n"
     "                    [--codec NAME|list] [--quality minimum|low|normal|high|maximum|lossless]\n"
     "                    [--transparent] [--interlaced] [--dither|--no-dither] [--size WxH] [--from A --to B]\n"
     "                                the keyframe animation of a project (or of an object in a scene of its\n"
     "                                own) as a movie, an animated GIF, or frames A..B of the run as\n"
     "                                DIR/frame-NNNNNN.png; LIST: size,position,rotation,optics,texture,fog,light\n"},
    {"assemble",
     "       tessivar assemble DIR OUT.gif|OUT.mov --fps N [--codec NAME] [--quality Q] [--transparent]\n"
     "                    [--interlaced] [--dither|--no-dither]\n"
     "                                the frames DIR/frame-NNNNNN.png of animate runs as one movie or GIF\n"},
    {"keyframes",
     "       tessivar keyframes OWNER.cmf OUT.cmf [K=KEY.cmf]... [--delete K]... [--scene P.cma]\n"
     "                                sets key K (1..8) of OWNER from KEY (same points and triangles) with\n"
     "                                the scene settings of P, or deletes it, and writes OWNER with its keys\n"},
    {"letters",
     "       tessivar letters TEXT OUT.cmf [--font FAMILY] [--bold] [--italic] [--filled] [--2d] [--segments N]\n"
     "                    [--divisions N] [--no-fit]\n"
     "                                letters of a UTF-8 text (up to 255 bytes) in a TrueType family (DejaVu Sans\n"
     "                                unless given), 3D unless --2d; N: 1, 2, 4, 8, 16, 32 or 64 (4 unless given)\n"
     "       tessivar letters --list-fonts\n"
     "                                the TrueType families, one per line\n"},
    {"convert",
     "       tessivar convert IN OUT [--dxf polyline|3dface] [--scale-factor F]\n"
     "                                an object from one file into another (.dxf, .3ds or .cmf), written as the\n"
     "                                export dialog writes it (Polyline DXF and factor 1.0 unless given)\n"},
};

}  // namespace

bool IsBatchCommand(const std::string& name) {
  for (const BatchUsage& command : kBatchCommands) {
    if (name == command.name) return true;
  }
  return false;
}

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
  } else if (IsBatchCommand(first) || arguments.size() > 1) {
    // A command word always means the command, also without its arguments (a file of that name
    // in the working folder is opened as ./info); it never opens the window.
    command.kind = CommandKind::Batch;
    command.name = first;
    command.args.assign(arguments.begin() + 1, arguments.end());
  } else {
    command.file = first;
  }
  return command;
}

std::string CommandUsageText(const std::string& name) {
  for (const BatchUsage& command : kBatchCommands) {
    if (name == command.name) return std::string("usage:") + (command.usage + 6);
  }
  return UsageText();
}

std::string UsageText() {
  std::string text = "usage: tessivar [FILE]          open the program window, optionally with FILE\n";
  for (const BatchUsage& command : kBatchCommands) text += command.usage;
  return text +
         "       tessivar --version       print the version\n"
         "       tessivar --help          print this text\n";
}

}  // namespace tsv
