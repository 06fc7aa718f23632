// batch_convert.cpp: the convert command. The formats it knows are one table, a row per file type:
// how an object is read from such a file, how one is written to it.
#include "app/batch_convert.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/batch_support.h"
#include "formats/dxf.h"
#include "formats/three_ds.h"
#include "formats/formats_state.h"
#include "platform/file_spec.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/object_file.h"
#include "scene/object_table.h"

namespace tsv {
namespace {

struct ConvertOptions {
  uint16_t dxfVariant = kDxfPolyline;
};

struct ConvertFormat {
  uint32_t type;
  const char* extension;  // for the refusals
  // Null after the reason has been shown.
  std::unique_ptr<SceneObject> (*read)(const FileSpec& spec);
  // False after the reason has been shown.
  bool (*write)(SceneObject& object, const FileSpec& spec, const ConvertOptions& options);
};

std::unique_ptr<SceneObject> ReadObject(const FileSpec& spec) { return ReadObjectFile(spec); }

// The object file with its preview beside it, drawn as the modeling view shows the object.
bool WriteObject(SceneObject& object, const FileSpec& spec, const ConvertOptions&) {
  if (InitSoftDraw()) {
    SoftDrawOptions options;
    options.updateThumbnail = true;
    // Without a drawing the preview says that none is available; the object is saved all the same.
    if (ActivateSceneObject(&object)) (void)SoftDraw(&object, options);
    ShutdownSoftDraw();
  }
  object.name = ObjectNameOfFile(spec);
  return SaveObjectToFile(object, spec);
}

// A 3D Studio file's object, named after the file like the other imports.
std::unique_ptr<SceneObject> Read3ds(const FileSpec& spec) {
  std::unique_ptr<SceneObject> object = Import3ds(spec);
  if (object) object->name = ObjectNameOfFile(spec);
  return object;
}

bool Write3ds(SceneObject& object, const FileSpec& spec, const ConvertOptions&) {
  return Export3ds(&object, 0, spec) == kNoError;
}

bool WriteDxf(SceneObject& object, const FileSpec& spec, const ConvertOptions& options) {
  return ExportDxf(&object, options.dxfVariant, spec) == kNoError;
}

const ConvertFormat kConvertFormats[] = {
    {FourCC("TEXT"), "dxf", ImportDxf, WriteDxf},
    {FourCC("STUD"), "3ds", Read3ds, Write3ds},
    {kObjectFileType, "cmf", ReadObject, WriteObject},
};

const ConvertFormat* FormatOf(const std::string& path) {
  const uint32_t type = FileTypeFromName(path);
  for (const ConvertFormat& format : kConvertFormats) {
    if (format.type == type) return &format;
  }
  return nullptr;
}

std::string KnownExtensions() {
  std::string text;
  for (const ConvertFormat& format : kConvertFormats) text += (text.empty() ? "." : ", .") + std::string(format.extension);
  return text;
}

}  // namespace

int ConvertCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("convert", "convert takes an input and an output file");
  ConvertOptions options;
  float userFactor = 1.0f;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool hasValue = i + 1 < args.size();
    if (option == "--dxf" && hasValue) {
      const std::string& variant = args[++i];
      if (variant == "polyline") {
        options.dxfVariant = kDxfPolyline;
      } else if (variant == "3dface") {
        options.dxfVariant = kDxf3dFace;
      } else {
        return Usage("convert", "--dxf takes polyline or 3dface, not " + PrintableText(variant));
      }
    } else if (option == "--scale-factor" && hasValue) {
      const std::string& text = args[++i];
      char* end = nullptr;
      userFactor = std::strtof(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !std::isfinite(userFactor)) {
        return Usage("convert", "--scale-factor takes a number, not " + PrintableText(text));
      }
    } else {
      return Usage("convert", "unknown option " + PrintableText(option));
    }
  }
  const ConvertFormat* in = FormatOf(args[0]);
  const ConvertFormat* out = FormatOf(args[1]);
  if (in == nullptr || out == nullptr) {
    return Usage("convert", "both files must end in " + KnownExtensions() + ", not " +
                                PrintableText(in == nullptr ? args[0] : args[1]));
  }
  if (!ReadableInput(args[0]) || !WritableOutput(args[1])) return 1;
  // The export dialog's factor, clamped as the dialog clamps it.
  formatsState.exportScale = ExportScaleFactor(userFactor);

  std::unique_ptr<SceneObject> object = in->read(FileSpecForPath(args[0], in->type));
  if (!object) return 1;  // said why
  const bool written = out->write(*object, FileSpecForPath(args[1], out->type), options);
  if (written) std::printf("wrote %d points, %d triangles\n", object->pointCount, object->triangleCount);
  DisposeSceneObject(object);
  return written ? 0 : 1;
}

}  // namespace tsv
