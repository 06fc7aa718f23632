// preview_file.cpp: the object preview file and the preview pane's facts.
#include "scene/preview_file.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/file_bytes.h"
#include "scene/object_file.h"
#include "scene/safe_save.h"
#include "scene/topology.h"

namespace tsv {
namespace {

constexpr size_t kPixelCount = size_t(kPreviewSide) * kPreviewSide;
constexpr uint32_t kBitmapHeaderSize = 40;

std::string DescriptionText(const std::array<char, kDescriptionSize>& description) {
  const auto end = std::find(description.begin(), description.end(), '\0');
  return std::string(description.begin(), end);
}

PreviewPane PaneOf(const PreviewFacts& facts) {
  PreviewPane pane;
  pane.available = true;
  if ((facts.typeFlags & kPreviewOrganic) != 0) {
    pane.typeText = GetString(kInfoOrganic);
  } else if ((facts.typeFlags & kPreviewFastSynthetic) != 0) {
    pane.typeText = GetString(kInfoFastSynthetic);
  } else {
    pane.typeText = GetString(kInfoSynthetic);
  }
  pane.triangleCountText = std::to_string(facts.triangleCount);
  pane.pointCountText = std::to_string(facts.pointCount);
  pane.textureText = GetString(facts.hasTexture != 0 ? kInfoYes : kInfoNo);
  pane.paintedText = GetString(facts.isPainted != 0 ? kInfoYes : kInfoNo);
  pane.description = DescriptionText(facts.description);
  pane.pixels = facts.pixels;
  return pane;
}

}  // namespace

PreviewFacts PreviewFactsOf(const SceneObject& object) {
  PreviewFacts facts;
  facts.typeFlags = (object.isOrganic != 0 ? kPreviewOrganic : 0) |
                    (object.isFastSynthetic != 0 ? kPreviewFastSynthetic : 0);
  facts.triangleCount = uint32_t(object.triangleCount);
  facts.pointCount = uint32_t(object.pointCount);
  facts.hasTexture = object.textureImage.empty() ? 0 : 1;
  facts.isPainted = int16_t(object.optics.isPainted);
  facts.description = object.description;
  facts.pixels = object.preview;
  // An object without a drawn thumbnail gets a black one.
  facts.pixels.resize(kPixelCount, 0u);
  return facts;
}

void StorePreviewFile(const PreviewFacts& facts, std::span<uint8_t, kPreviewFileSize> out) {
  uint8_t* p = out.data();
  std::memset(p, 0, kPreviewFileSize);
  StoreU32LE(p, facts.typeFlags);
  StoreU32LE(p + 4, facts.triangleCount);
  StoreU32LE(p + 8, facts.pointCount);
  StoreU32LE(p + 12, facts.hasTexture);
  StoreU32LE(p + 16, uint32_t(facts.isPainted));
  std::memcpy(p + 20, facts.description.data(), kDescriptionSize);
  uint8_t* header = p + kPreviewBitmapHeaderOffset;
  StoreU32LE(header, kBitmapHeaderSize);
  StoreU32LE(header + 4, uint32_t(kPreviewSide));
  StoreU32LE(header + 8, uint32_t(kPreviewSide));
  StoreU16LE(header + 12, 1);   // planes
  StoreU16LE(header + 14, 32);  // bits per pixel; compression, image size and the rest stay 0
  // Rows bottom-up, as bitmaps keep them; each pixel is the bytes blue, green, red, 0.
  uint8_t* pixels = p + kPreviewPixelsOffset;
  for (int row = 0; row < kPreviewSide; ++row) {
    const int sourceRow = kPreviewSide - 1 - row;
    for (int x = 0; x < kPreviewSide; ++x) {
      const size_t source = size_t(sourceRow) * kPreviewSide + size_t(x);
      const uint32_t pixel = source < facts.pixels.size() ? facts.pixels[source] : 0u;
      StoreU32LE(pixels + 4 * (size_t(row) * kPreviewSide + size_t(x)), pixel & 0x00FFFFFFu);
    }
  }
}

bool LoadPreviewFile(std::span<const uint8_t, kPreviewFileSize> in, PreviewFacts& facts) {
  const uint8_t* p = in.data();
  const uint8_t* header = p + kPreviewBitmapHeaderOffset;
  if (LoadU32LE(header) != kBitmapHeaderSize || LoadU32LE(header + 4) != uint32_t(kPreviewSide) ||
      LoadU32LE(header + 8) != uint32_t(kPreviewSide) || LoadU16LE(header + 14) != 32 ||
      LoadU32LE(header + 16) != 0) {
    return false;
  }
  // The facts are only shown, but a kind the writer never sets or counts no object can have mean
  // the file is damaged: its pane would show nonsense as the object's facts.
  const uint32_t typeFlags = LoadU32LE(p);
  const uint32_t triangleCount = LoadU32LE(p + 4);
  const uint32_t pointCount = LoadU32LE(p + 8);
  if (typeFlags > (kPreviewOrganic | kPreviewFastSynthetic) || triangleCount > uint32_t(kMaxMeshTriangles) ||
      pointCount > uint32_t(kMaxMeshPoints)) {
    return false;
  }
  if ((typeFlags & kPreviewOrganic) != 0 &&
      (pointCount != uint32_t(kOrganicPointCount) || triangleCount != uint32_t(kOrganicTriangleCount))) {
    return false;
  }
  facts.typeFlags = typeFlags;
  facts.triangleCount = triangleCount;
  facts.pointCount = pointCount;
  facts.hasTexture = LoadU32LE(p + 12);
  facts.isPainted = int32_t(LoadU32LE(p + 16));
  std::memcpy(facts.description.data(), p + 20, kDescriptionSize);
  facts.description[kDescriptionSize - 1] = '\0';
  facts.pixels.assign(kPixelCount, 0u);
  const uint8_t* pixels = p + kPreviewPixelsOffset;
  for (int row = 0; row < kPreviewSide; ++row) {
    const int targetRow = kPreviewSide - 1 - row;
    for (int x = 0; x < kPreviewSide; ++x) {
      facts.pixels[size_t(targetRow) * kPreviewSide + size_t(x)] =
          LoadU32LE(pixels + 4 * (size_t(row) * kPreviewSide + size_t(x))) & 0x00FFFFFFu;
    }
  }
  return true;
}

FileSpec PreviewFileSpecOf(const FileSpec& objectFile) {
  FileSpec spec = objectFile;
  RemoveExtension(spec.name, kObjectFileType);
  if (!AddExtension(spec.name, kPreviewFileType)) spec.name.length = 0;
  spec.typeCount = 1;
  spec.fileTypes[0] = kPreviewFileType;
  return spec;
}

bool WritePreviewFile(const SceneObject& object) {
  const FileSpec spec = PreviewFileSpecOf(object.fileSpec);
  if (!IsFileSpecSet(spec)) return false;
  std::vector<uint8_t> image(kPreviewFileSize);
  StorePreviewFile(PreviewFactsOf(object), std::span<uint8_t, kPreviewFileSize>(image));
  SafeSave save;
  save.quiet = true;
  if (!BeginSafeSave(spec, save)) return false;
  return WriteSafeSave(save, image) && CommitSafeSave(save);
}

PreviewPane PreviewPaneForObjectFile(const std::string& objectPath) {
  FileSpec spec = PreviewFileSpecOf(FileSpecForPath(objectPath, kObjectFileType));
  FileRef file;
  if (!IsFileSpecSet(spec) || OpenFile(spec, FileMode::Read, file) != kNoError) return {};
  std::vector<uint8_t> image(kPreviewFileSize);
  const bool read = ReadBytes(file, image.data(), image.size()) == kNoError;
  CloseFileQuietly(file);
  PreviewFacts facts;
  if (!read || !LoadPreviewFile(std::span<const uint8_t, kPreviewFileSize>(image), facts)) return {};
  return PaneOf(facts);
}

PreviewPane PreviewPaneForObject(const SceneObject& object) { return PaneOf(PreviewFactsOf(object)); }

}  // namespace tsv
