// scene_object.cpp: defaults, header copy, type text, topology access and the per-object derived
// data (corner lists, planar texture coordinates).
#include "scene/scene_object.h"

#include <algorithm>
#include <new>

#include "platform/canvas.h"
#include "platform/fonts.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

// The preview of an object that has never been drawn: black with "Preview / is not / available".
void DrawPreviewPlaceholder(SceneObject& object) {
  if (object.preview.size() != size_t(kPreviewSide) * kPreviewSide) return;
  std::fill(object.preview.begin(), object.preview.end(), 0u);
  Canvas canvas{kPreviewSide, kPreviewSide, std::move(object.preview)};
  const StringId lines[] = {kInfoPreviewLine1, kInfoPreviewLine2, kInfoPreviewLine3};
  for (int i = 0; i < 3; ++i) {
    DrawText(canvas, FontKind::Small, 9, 20 * (i + 1), GetString(lines[i]), Rgb(255, 255, 255));
  }
  object.preview = std::move(canvas.pixels);
}

uint8_t HighByte(uint16_t component) { return uint8_t(component >> 8); }

}  // namespace

OpticsWordArray OpticsWords(const Optics& o) {
  return {o.isPainted,         o.shininess,         o.diffuseStrength,    o.ambientLevel,
          o.castsShadow,       o.receivesShadow,    o.transparency,       o.opticsExtra1,
          o.opticsExtra2,      o.specularColor.red, o.specularColor.green, o.specularColor.blue,
          o.diffuseColor.red,  o.diffuseColor.green, o.diffuseColor.blue,  o.ambientColor.red,
          o.ambientColor.green, o.ambientColor.blue};
}

Optics OpticsFromWords(const OpticsWordArray& w) {
  Optics o;
  o.isPainted = w[0];
  o.shininess = w[1];
  o.diffuseStrength = w[2];
  o.ambientLevel = w[3];
  o.castsShadow = w[4];
  o.receivesShadow = w[5];
  o.transparency = w[6];
  o.opticsExtra1 = w[7];
  o.opticsExtra2 = w[8];
  o.specularColor = {w[9], w[10], w[11]};
  o.diffuseColor = {w[12], w[13], w[14]};
  o.ambientColor = {w[15], w[16], w[17]};
  return o;
}

TextureMapping TextureMappingOf(const SceneObject& object) {
  TextureMapping mapping;
  mapping.textureUsesAlpha = object.textureUsesAlpha;
  mapping.textureBump = object.textureBump;
  mapping.textureFlags = object.textureFlags;
  mapping.textureZoom = object.textureZoom;
  mapping.textureParams = object.textureParams;
  mapping.textureOffset = object.textureOffset;
  return mapping;
}

void ApplyTextureMapping(const TextureMapping& mapping, SceneObject& object) {
  object.textureUsesAlpha = mapping.textureUsesAlpha;
  object.textureBump = mapping.textureBump;
  object.textureFlags = mapping.textureFlags;
  object.textureZoom = mapping.textureZoom;
  object.textureParams = mapping.textureParams;
  object.textureOffset = mapping.textureOffset;
}

Optics DefaultOptics() {
  Optics optics;
  optics.diffuseColor = preferences.defaultObjectColour;
  return optics;
}

std::string HierarchyNodeDisplayName(const SceneObject& object, const HierarchyNode& node) {
  std::string text = CountedToText(object.name) + " : " + CountedToText(node.partName);
  return CountedToText(TextToCountedString(text));
}

void InitSceneObjectDefaults(SceneObject& object) {
  object.signature = kObjectSignature;
  object.version = kObjectVersion;
  ClearFileSpec(object.fileSpec);
  object.name = TextToCountedString(GetString(kNameUntitled));
  object.description.fill(0);
  object.headerFlagA = 1;
  object.headerFlagB = 0;
  object.ghostState = 0;
  object.hasUnsavedChanges = 0;
  object.snapPoints = kEmptySnapPoints;
  object.importScale = 1.0f;
  object.currentView = 0;
  object.views = kDefaultObjectViews;
  object.scale = 1.0f;
  object.position = {};
  object.rotation = {};
  object.depthMax = 0;
  object.depthMin = 0;
  object.optics = DefaultOptics();
  ClearFileSpec(object.textureFile);
  object.textureUsesAlpha = 1;
  object.textureBump = 0;
  object.textureFlags = 3;
  object.textureZoom = 1.0f;
  object.textureParams = {128, 128, 128, 128, 0};
  object.textureKind = 0;
  object.textureImageSize = {};
  object.textureOffset = {};
  object.textureDepth = {};
  object.textureError = 0;
  object.backendTextureA = 0;
  object.backendTextureB = 0;
  object.dirtyFlags = kAllDirty;

  const Rgb16& diffuse = object.optics.diffuseColor;
  std::fill(object.pointColors.begin(), object.pointColors.end(),
            Rgb8{HighByte(diffuse.red), HighByte(diffuse.green), HighByte(diffuse.blue)});
  std::fill(object.pointMask.begin(), object.pointMask.end(), uint8_t(255));
  BuildShadeRamp(object);
  DrawPreviewPlaceholder(object);
}

void CopySceneObjectHeader(SceneObject& target, const SceneObject& source) {
  target.signature = source.signature;
  target.version = source.version;
  target.headerFlagA = source.headerFlagA;
  target.headerFlagB = source.headerFlagB;
  target.isOrganic = source.isOrganic;
  target.isFastSynthetic = source.isFastSynthetic;
  target.ghostState = source.ghostState;
  target.hasUnsavedChanges = source.hasUnsavedChanges;
  target.pointCount = source.pointCount;
  target.triangleCount = source.triangleCount;
  target.currentView = source.currentView;
  target.views = source.views;
  target.optics = source.optics;
  target.textureUsesAlpha = source.textureUsesAlpha;
  target.textureBump = source.textureBump;
  target.textureFlags = source.textureFlags;
  target.textureZoom = source.textureZoom;
  target.textureParams = source.textureParams;
  target.textureOffset = source.textureOffset;
  target.scale = source.scale;
  target.position = source.position;
  target.rotation = source.rotation;
  target.depthMax = source.depthMax;
  target.depthMin = source.depthMin;
  target.snapPoints = source.snapPoints;
  target.description = source.description;
}

std::string ObjectTypeText(const SceneObject& object) {
  if (object.isOrganic != 0) return GetString(kInfoOrganic);
  if (object.isFastSynthetic != 0) return GetString(kInfoFastSynthetic);
  return GetString(kInfoSynthetic);
}

std::span<const Triangle> Triangles(const SceneObject& object) {
  if (!object.topology) return {};
  return object.topology->triangles;
}

std::span<const uint32_t> PointFirstCorner(const SceneObject& object) {
  if (!object.topology) return {};
  return object.topology->pointFirstCorner;
}

std::span<const uint32_t> TriangleNextCorner(const SceneObject& object) {
  if (!object.topology) return {};
  return object.topology->triangleNextCorner;
}

Topology* MutableTopology(SceneObject& object) {
  try {
    if (!object.topology) {
      auto fresh = std::make_shared<Topology>();
      Topology* block = fresh.get();
      object.topology = std::move(fresh);
      return block;
    }
    // Everything runs on one thread, so the count is exact: above 1 means another holder (another
    // object, or the scene's own reference to the organic block) would see the change.
    if (object.topology.use_count() > 1) {
      auto copy = std::make_shared<Topology>(*object.topology);
      Topology* block = copy.get();
      object.topology = std::move(copy);
      return block;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  // The sole holder of a block that was created writable (every block is made by make_shared of a
  // plain Topology), so writing through it is sound.
  return const_cast<Topology*>(object.topology.get());
}

bool BuildCornerLists(SceneObject& object) {
  Topology* topology = MutableTopology(object);
  if (topology == nullptr) return false;
  return BuildCornerLists(*topology, object.pointCount);
}

void SetPlanarTextureCoordinates(SceneObject& object) {
  const size_t count =
      std::min({size_t(std::max(object.pointCount, 0)), object.points.size(), object.pointUV.size()});
  if (count == 0) return;
  float xMin = object.points[0].x, xMax = xMin, yMin = object.points[0].y, yMax = yMin;
  for (size_t i = 1; i < count; ++i) {
    xMin = std::min(xMin, object.points[i].x);
    xMax = std::max(xMax, object.points[i].x);
    yMin = std::min(yMin, object.points[i].y);
    yMax = std::max(yMax, object.points[i].y);
  }
  const float width = xMax - xMin, height = yMax - yMin;
  for (size_t i = 0; i < count; ++i) {
    const Vec3f& p = object.points[i];
    object.pointUV[i].u = width > 0 ? (p.x - xMin) * 256.0f / width : 0.0f;
    object.pointUV[i].v = height > 0 ? (yMax - p.y) * 256.0f / height : 0.0f;
  }
}

bool CompleteImportedObject(SceneObject* object) {
  if (object == nullptr) return false;
  object->isOrganic = 0;
  BuildShadeRamp(*object);
  if (!BuildCornerLists(*object)) return false;
  SetPlanarTextureCoordinates(*object);
  return true;
}

bool HasConsistentArrays(const SceneObject& object) {
  if (object.pointCount < 0 || object.triangleCount < 0) return false;
  const size_t points = size_t(object.pointCount), triangles = size_t(object.triangleCount);
  if (object.points.size() != points || object.pointColors.size() != points ||
      object.pointUV.size() != points || object.pointMask.size() != points) {
    return false;
  }
  if (!object.topology) return points == 0 && triangles == 0;
  return object.topology->triangles.size() == triangles &&
         object.topology->pointFirstCorner.size() == points &&
         object.topology->triangleNextCorner.size() == triangles * 3;
}

}  // namespace tsv
