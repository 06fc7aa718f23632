// optics_file.cpp: the optics file and the optics clipboard.
#include "scene/optics_file.h"

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/file_bytes.h"
#include "scene/safe_save.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

FileSpec OpticsDialogSpec() {
  FileSpec spec;
  spec.name = TextToCountedString(GetString(kNameOpticsPattern));
  spec.typeCount = 1;
  spec.fileTypes[0] = kOpticsFileType;
  return spec;
}

void TakeWords(SceneObject& object, const OpticsFileWords& words) {
  ApplyOpticsFileWords(object.optics, words);
  BuildShadeRamp(object);
  object.hasUnsavedChanges = 1;
}

}  // namespace

OpticsFileWords OpticsFileWordsOf(const Optics& o) {
  return {o.shininess,          o.diffuseStrength,    o.ambientLevel,       o.transparency,
          o.opticsExtra1,       o.opticsExtra2,       o.specularColor.red,  o.specularColor.green,
          o.specularColor.blue, o.diffuseColor.red,   o.diffuseColor.green, o.diffuseColor.blue,
          o.ambientColor.red,   o.ambientColor.green, o.ambientColor.blue};
}

void ApplyOpticsFileWords(Optics& o, const OpticsFileWords& w) {
  o.shininess = w[0];
  o.diffuseStrength = w[1];
  o.ambientLevel = w[2];
  o.transparency = w[3];
  o.opticsExtra1 = w[4];
  o.opticsExtra2 = w[5];
  o.specularColor = {w[6], w[7], w[8]};
  o.diffuseColor = {w[9], w[10], w[11]};
  o.ambientColor = {w[12], w[13], w[14]};
}

void StoreOpticsFile(const OpticsFileWords& words, std::span<uint8_t, kOpticsFileSize> out) {
  for (size_t i = 0; i < words.size(); ++i) StoreU16BE(out.data() + 2 * i, words[i]);
}

OpticsFileWords LoadOpticsFile(std::span<const uint8_t, kOpticsFileSize> in) {
  OpticsFileWords words;
  for (size_t i = 0; i < words.size(); ++i) words[i] = LoadU16BE(in.data() + 2 * i);
  return words;
}

bool OpenOptics(SceneObject& object) {
  FileSpec spec = OpticsDialogSpec();
  spec.name.length = 0;
  if (AskOpenFile(spec) != kNoError) return false;
  return OpenOpticsFile(object, spec) == kNoError;
}

Status OpenOpticsFile(SceneObject& object, const FileSpec& spec) {
  FileSpec opened = spec;
  FileRef file;
  if (OpenFile(opened, FileMode::Read, file) != kNoError) return kFileNotFound;
  std::array<uint8_t, kOpticsFileSize> bytes{};
  if (const Status status = ReadBytes(file, bytes.data(), bytes.size()); status != kNoError) return status;
  TakeWords(object, LoadOpticsFile(bytes));
  return kNoError;
}

bool SaveOptics(const SceneObject& object) {
  FileSpec spec = OpticsDialogSpec();
  if (AskSaveFile(spec) != kNoError) return false;
  std::array<uint8_t, kOpticsFileSize> bytes{};
  StoreOpticsFile(OpticsFileWordsOf(object.optics), bytes);
  SafeSave save;
  if (!BeginSafeSave(spec, save)) return false;
  FileWriter w(save.file);
  w.Bytes(bytes.data(), bytes.size());
  return w.Flush() && CommitSafeSave(save);
}

void CopyOptics(const SceneObject& object) { nativeFiles.opticsClipboard = OpticsFileWordsOf(object.optics); }

bool PasteOptics(SceneObject& object) {
  if (!nativeFiles.opticsClipboard) return false;
  TakeWords(object, *nativeFiles.opticsClipboard);
  return true;
}

}  // namespace tsv
