// project_record.cpp: defaults of the project record and its byte image.
#include "scene/project_record.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {
namespace {

using namespace project_offset;

// A file spec inside the record: the volume and directory words stay in machine order (they are 0
// on this system anyway), the type count and the types are big-endian.
void StoreRecordFileSpec(const FileSpec& spec, uint8_t* p) {
  std::memset(p, 0, kFileSpecSize);
  StoreU16LE(p, spec.volumeRef);
  StoreU32LE(p + 4, spec.directoryId);
  p[8] = spec.name.length;
  std::memcpy(p + 9, spec.name.text, spec.name.length);
  StoreU16BE(p + 264, spec.typeCount);
  for (int i = 0; i < kMaxFileTypes; ++i) StoreU32BE(p + 268 + 4 * i, spec.fileTypes[i]);
}

FileSpec LoadRecordFileSpec(const uint8_t* p) {
  FileSpec spec;
  spec.volumeRef = LoadU16LE(p);
  spec.directoryId = LoadU32LE(p + 4);
  spec.name.length = p[8];
  std::memcpy(spec.name.text, p + 9, spec.name.length);
  spec.typeCount = std::min<uint16_t>(LoadU16BE(p + 264), kMaxFileTypes);
  for (int i = 0; i < kMaxFileTypes; ++i) spec.fileTypes[i] = LoadU32BE(p + 268 + 4 * i);
  return spec;
}

void StoreCounted(const CountedString& s, uint8_t* p) {
  std::memset(p, 0, 256);
  p[0] = s.length;
  std::memcpy(p + 1, s.text, s.length);
}

CountedString LoadCounted(const uint8_t* p) {
  CountedString s;
  s.length = p[0];
  std::memcpy(s.text, p + 1, s.length);
  return s;
}

void StoreRgbBE(const Rgb16& c, uint8_t* p) {
  StoreU16BE(p, c.red);
  StoreU16BE(p + 2, c.green);
  StoreU16BE(p + 4, c.blue);
}

Rgb16 LoadRgbBE(const uint8_t* p) { return {LoadU16BE(p), LoadU16BE(p + 2), LoadU16BE(p + 4)}; }

// A composer view: the centre words big-endian (vertical first, as in memory), everything else in
// machine order, two padding bytes after the mode.
void StoreComposerView(const ObjectView& view, uint8_t* p) {
  std::memset(p, 0, kComposerViewBytes);
  StoreU16BE(p, view.centerY);
  StoreU16BE(p + 2, view.centerX);
  StoreF32LE(p + 4, view.zoom);
  StoreU16LE(p + 8, view.mode);
  for (int i = 0; i < 3; ++i) StoreF32LE(p + 12 + 4 * i, view.angles[size_t(i)]);
  for (int i = 0; i < 3; ++i) StoreF32LE(p + 24 + 4 * i, view.offset[size_t(i)]);
}

ObjectView LoadComposerView(const uint8_t* p) {
  ObjectView view;
  view.centerY = LoadU16BE(p);
  view.centerX = LoadU16BE(p + 2);
  view.zoom = LoadF32LE(p + 4);
  view.mode = LoadU16LE(p + 8);
  for (int i = 0; i < 3; ++i) view.angles[size_t(i)] = LoadF32LE(p + 12 + 4 * i);
  for (int i = 0; i < 3; ++i) view.offset[size_t(i)] = LoadF32LE(p + 24 + 4 * i);
  return view;
}

}  // namespace

std::array<ObjectView, kComposerViewCount> DefaultComposerViews() {
  std::array<ObjectView, kComposerViewCount> views;
  for (int i = 0; i < kComposerViewCount; ++i) {
    ObjectView view = DefaultObjectView(i);
    view.centerX = 0;
    view.centerY = 0;
    view.zoom = 0.87863398f;
    views[size_t(i)] = view;
  }
  views[6].mode = 1;
  views[6].zoom = 2.4762893f;
  return views;
}

ProjectRecord DefaultProjectRecord() {
  ProjectRecord record;
  record.projectName = TextToCountedString(GetString(kNameUntitledProject));
  record.composerViews = DefaultComposerViews();
  return record;
}

void StoreProjectRecord(const ProjectRecord& r, std::span<uint8_t, kProjectRecordSize> out) {
  uint8_t* p = out.data();
  std::memset(p, 0, kProjectRecordSize);
  StoreCounted(r.projectName, p + kAtName);
  StoreRecordFileSpec(r.projectFile, p + kAtProjectFile);
  StoreU16BE(p + kAtModified, r.projectModified);
  StoreU16BE(p + kAtSceneWord1, r.sceneWord1);
  StoreU16BE(p + kAtSceneWord2, r.sceneWord2);
  StoreU16BE(p + kAtCurrentObject, uint16_t(r.currentObjectIndex));
  StoreU16BE(p + kAtSupersampling, r.supersampling);
  StoreU16BE(p + kAtRenderSwitches, r.shadowsOn);
  StoreU16BE(p + kAtRenderSwitches + 2, r.texturesOn);
  StoreU16BE(p + kAtRenderSwitches + 4, r.fogAndSmokeOn);
  StoreU16BE(p + kAtRenderSwitches + 6, r.backgroundPictureOn);
  StoreRgbBE(r.backgroundColor, p + kAtBackground);
  StoreRecordFileSpec(r.quorvelFile, p + kAtQuorvelFile);
  StoreU16BE(p + kAtSceneWord3, r.sceneWord3);
  StoreRgbBE(r.fogColor, p + kAtFogColor);
  const FogSmokeSettings& f = r.fogSmoke;
  const float fog[7] = {f.fogStrength, f.smokeDensity, f.fogFalloff, f.fogStart,
                        f.smokeStrength, f.smokeContrast, f.smokeRandomSeed};
  for (int i = 0; i < 7; ++i) StoreF32BE(p + kAtFogSmoke + 4 * i, fog[i]);
  StoreU16BE(p + kAtSmokeDetail, r.smokeDetail);
  StoreU16LE(p + kAtReserved918, r.reserved918);
  for (int i = 0; i < 3; ++i) StoreU16BE(p + kAtSceneTriple + 2 * i, r.sceneTriple[size_t(i)]);
  StoreU16LE(p + kAtReserved926, r.reserved926);
  for (int i = 0; i < 3; ++i) StoreF32BE(p + kAtAngles + 4 * i, r.lightAngles[size_t(i)]);
  for (int i = 0; i < 3; ++i) StoreF32BE(p + kAtAngles + 12 + 4 * i, r.extraAngles[size_t(i)]);
  StoreU16BE(p + kAtViewWords, r.viewWords[0]);
  StoreU16BE(p + kAtViewWords + 2, r.viewWords[1]);
  StoreU16BE(p + kAtViewWords + 4, r.cameraViewIndex);
  StoreU16LE(p + kAtReserved958, r.reserved958);
  for (int i = 0; i < kComposerViewCount; ++i) {
    StoreComposerView(r.composerViews[size_t(i)], p + kAtComposerViews + kComposerViewBytes * size_t(i));
  }
  for (int i = 0; i < kObjectSlotCount; ++i) {
    StoreRecordFileSpec(r.objectFiles[size_t(i)], p + kAtObjectFiles + kFileSpecSize * size_t(i));
  }
  StoreRecordFileSpec(r.objectsFolder, p + kAtObjectsFolder);
  StoreRecordFileSpec(r.texturesFolder, p + kAtTexturesFolder);
  std::memcpy(p + kAtDescription, r.projectDescription.data(), kDescriptionSize);
}

ProjectRecord LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize> in) {
  const uint8_t* p = in.data();
  ProjectRecord r;
  r.projectName = LoadCounted(p + kAtName);
  r.projectFile = LoadRecordFileSpec(p + kAtProjectFile);
  r.projectModified = LoadU16BE(p + kAtModified);
  r.sceneWord1 = LoadU16BE(p + kAtSceneWord1);
  r.sceneWord2 = LoadU16BE(p + kAtSceneWord2);
  r.currentObjectIndex = int16_t(LoadU16BE(p + kAtCurrentObject));
  r.supersampling = LoadU16BE(p + kAtSupersampling);
  r.shadowsOn = LoadU16BE(p + kAtRenderSwitches);
  r.texturesOn = LoadU16BE(p + kAtRenderSwitches + 2);
  r.fogAndSmokeOn = LoadU16BE(p + kAtRenderSwitches + 4);
  r.backgroundPictureOn = LoadU16BE(p + kAtRenderSwitches + 6);
  r.backgroundColor = LoadRgbBE(p + kAtBackground);
  r.quorvelFile = LoadRecordFileSpec(p + kAtQuorvelFile);
  r.sceneWord3 = LoadU16BE(p + kAtSceneWord3);
  r.fogColor = LoadRgbBE(p + kAtFogColor);
  float fog[7];
  for (int i = 0; i < 7; ++i) fog[i] = LoadF32BE(p + kAtFogSmoke + 4 * i);
  r.fogSmoke = {fog[0], fog[1], fog[2], fog[3], fog[4], fog[5], fog[6]};
  r.smokeDetail = LoadU16BE(p + kAtSmokeDetail);
  r.reserved918 = LoadU16LE(p + kAtReserved918);
  for (int i = 0; i < 3; ++i) r.sceneTriple[size_t(i)] = LoadU16BE(p + kAtSceneTriple + 2 * i);
  r.reserved926 = LoadU16LE(p + kAtReserved926);
  for (int i = 0; i < 3; ++i) r.lightAngles[size_t(i)] = LoadF32BE(p + kAtAngles + 4 * i);
  for (int i = 0; i < 3; ++i) r.extraAngles[size_t(i)] = LoadF32BE(p + kAtAngles + 12 + 4 * i);
  r.viewWords = {LoadU16BE(p + kAtViewWords), LoadU16BE(p + kAtViewWords + 2)};
  r.cameraViewIndex = LoadU16BE(p + kAtViewWords + 4);
  // The camera index picks one of the seven composer views; anything else would read past them.
  if (r.cameraViewIndex >= kComposerViewCount) r.cameraViewIndex = 6;
  r.reserved958 = LoadU16LE(p + kAtReserved958);
  for (int i = 0; i < kComposerViewCount; ++i) {
    r.composerViews[size_t(i)] = LoadComposerView(p + kAtComposerViews + kComposerViewBytes * size_t(i));
  }
  for (int i = 0; i < kObjectSlotCount; ++i) {
    r.objectFiles[size_t(i)] = LoadRecordFileSpec(p + kAtObjectFiles + kFileSpecSize * size_t(i));
  }
  r.objectsFolder = LoadRecordFileSpec(p + kAtObjectsFolder);
  r.texturesFolder = LoadRecordFileSpec(p + kAtTexturesFolder);
  std::memcpy(r.projectDescription.data(), p + kAtDescription, kDescriptionSize);
  // Whoever shows the description reads up to its terminator; make sure there is one.
  r.projectDescription[kDescriptionSize - 1] = '\0';
  return r;
}

}  // namespace tsv
