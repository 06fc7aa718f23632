// keyframes.cpp: keyframe slots, the blend of keys into animation frames, and the animation
// command around it.
#include "composer/keyframes.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

#include "platform/events.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/composer_frame.h"
#include "render/work_data.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

constexpr float kTwoPi = 6.28318530717958647f;

void ShowText(StringId id) { ShowStopMessage(GetString(id)); }

std::array<float, 3> ArrayOf(const Vec3f& v) { return {v.x, v.y, v.z}; }
Vec3f VecOf(const std::array<float, 3>& a) { return {a[0], a[1], a[2]}; }

uint16_t TruncatedWord(double value) {
  if (!(value > 0.0)) return 0;
  return uint16_t(std::min(value, 65535.0));
}

float Dot(const Quaternion& a, const Quaternion& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
float Norm(const Quaternion& q) { return std::sqrt(Dot(q, q)); }
Quaternion Scaled(const Quaternion& q, float s) { return {q.x * s, q.y * s, q.z * s, q.w * s}; }
Quaternion Sum(const Quaternion& a, const Quaternion& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
float Distance(const Quaternion& a, const Quaternion& b) { return Norm(Sum(a, Scaled(b, -1.0f))); }

// The record fields a key carries into the object, and back.
void CopyKeyRecordFields(const SceneObject& key, SceneObject& object) {
  object.scale = key.scale;
  object.position = key.position;
  object.rotation = key.rotation;
  object.optics.shininess = key.optics.shininess;
  object.optics.diffuseStrength = key.optics.diffuseStrength;
  object.optics.ambientLevel = key.optics.ambientLevel;
  object.optics.specularColor = key.optics.specularColor;
  object.optics.diffuseColor = key.optics.diffuseColor;
  object.optics.ambientColor = key.optics.ambientColor;
  object.textureBump = key.textureBump;
  object.textureZoom = key.textureZoom;
  object.textureParams = key.textureParams;
}

// The scene settings a key carries: the seven fog and smoke values, the fog colour and the light.
void CopyKeySceneFields(const ProjectRecord& key, ProjectRecord& scene) {
  scene.fogSmoke = key.fogSmoke;
  scene.fogColor = key.fogColor;
  scene.lightAngles = key.lightAngles;
}

void RefreshDerivedData(SceneObject& object) {
  object.dirtyFlags = kAllDirty;
  BuildShadeRamp(object);
}

// The seven fog and smoke values in their stored order.
std::array<float*, 7> FogValues(FogSmokeSettings& f) {
  return {&f.fogStrength, &f.smokeDensity, &f.fogFalloff, &f.fogStart, &f.smokeStrength, &f.smokeContrast,
          &f.smokeRandomSeed};
}
std::array<float, 7> FogValuesOf(const FogSmokeSettings& f) {
  return {f.fogStrength, f.smokeDensity, f.fogFalloff, f.fogStart, f.smokeStrength, f.smokeContrast, f.smokeRandomSeed};
}

std::array<uint16_t*, 9> ColourWords(Optics& o) {
  return {&o.specularColor.red, &o.specularColor.green, &o.specularColor.blue,
          &o.diffuseColor.red,  &o.diffuseColor.green,  &o.diffuseColor.blue,
          &o.ambientColor.red,  &o.ambientColor.green,  &o.ambientColor.blue};
}
std::array<uint16_t, 9> ColourWordsOf(const Optics& o) {
  return {o.specularColor.red, o.specularColor.green, o.specularColor.blue,
          o.diffuseColor.red,  o.diffuseColor.green,  o.diffuseColor.blue,
          o.ambientColor.red,  o.ambientColor.green,  o.ambientColor.blue};
}

// Every enabled attribute of the object and the live scene becomes a x current + b x key.
void BlendObjectState(SceneObject& object, const SceneObject& key, const ProjectRecord& keyScene, float a, float b,
                      AnimationSettings& settings, int slot) {
  ProjectRecord& scene = nativeFiles.project;
  if (settings.blendSize) object.scale = a * object.scale + b * key.scale;
  if (settings.blendPosition) object.position = object.position * a + key.position * b;
  auto mix = [&](uint16_t& value, uint16_t keyValue) { value = TruncatedWord(double(a) * value + double(b) * keyValue); };
  if (settings.blendOptics) {
    mix(object.optics.shininess, key.optics.shininess);
    mix(object.optics.diffuseStrength, key.optics.diffuseStrength);
    mix(object.optics.ambientLevel, key.optics.ambientLevel);
    const std::array<uint16_t*, 9> words = ColourWords(object.optics);
    const std::array<uint16_t, 9> keyWords = ColourWordsOf(key.optics);
    for (size_t i = 0; i < words.size(); ++i) mix(*words[i], keyWords[i]);
  }
  if (settings.blendTexture) {
    mix(object.textureBump, key.textureBump);
    for (size_t i = 0; i < object.textureParams.size(); ++i) mix(object.textureParams[i], key.textureParams[i]);
    object.textureZoom = a * object.textureZoom + b * key.textureZoom;
  }
  if (settings.blendFog) {
    const std::array<float*, 7> values = FogValues(scene.fogSmoke);
    const std::array<float, 7> keyValues = FogValuesOf(keyScene.fogSmoke);
    for (size_t i = 0; i < values.size(); ++i) *values[i] = a * *values[i] + b * keyValues[i];
    mix(scene.fogColor.red, keyScene.fogColor.red);
    mix(scene.fogColor.green, keyScene.fogColor.green);
    mix(scene.fogColor.blue, keyScene.fogColor.blue);
  }
  auto turn = [&](const std::array<float, 3>& angles, bool sign, Quaternion& sum, uint16_t& have) {
    Quaternion q = QuaternionOfAngles(angles);
    if (!sign) q = Scaled(q, -1.0f);
    if (have) {
      sum = BlendQuaternions(q, sum, a, b);
    } else {
      sum = Scaled(q, b);
      if (b > 0.0f) have = 1;
    }
  };
  const size_t k = size_t(std::clamp(slot, 0, kKeyframeSlotCount - 1));
  if (settings.blendRotation) turn(ArrayOf(key.rotation), settings.keyRotationSign[k] != 0, settings.rotationSum, settings.haveRotation);
  if (settings.blendLight) turn(keyScene.lightAngles, settings.keyLightSign[k] != 0, settings.lightSum, settings.haveLight);
}

// Adds key k at weight w into the accumulators of the owner.
void AccumulateKeyframe(int slot, float w, AnimationSettings& settings) {
  SceneObject& object = *settings.object;
  const KeyframeShape& key = *settings.keys[size_t(slot)];
  const size_t n = std::min({object.points.size(), key.points.size()});
  for (size_t i = 0; i < n; ++i) object.points[i] = object.points[i] + key.points[i] * w;
  if (settings.blendTexture) {
    const size_t m = std::min(object.pointUV.size(), key.pointUV.size());
    for (size_t i = 0; i < m; ++i) {
      object.pointUV[i].u += w * key.pointUV[i].u;
      object.pointUV[i].v += w * key.pointUV[i].v;
    }
  }
  if (settings.blendOptics && object.optics.isPainted) {
    auto add = [w](uint8_t& value, uint8_t keyValue) {
      value = uint8_t(std::min(255, int(value) + int(w * float(keyValue))));
    };
    const size_t m = object.pointColors.size();
    if (key.record.optics.isPainted && key.pointColors.size() >= m) {
      for (size_t i = 0; i < m; ++i) {
        add(object.pointColors[i].red, key.pointColors[i].red);
        add(object.pointColors[i].green, key.pointColors[i].green);
        add(object.pointColors[i].blue, key.pointColors[i].blue);
      }
    } else {
      const Rgb16& c = key.record.optics.diffuseColor;
      for (Rgb8& colour : object.pointColors) {
        add(colour.red, uint8_t(c.red >> 8));
        add(colour.green, uint8_t(c.green >> 8));
        add(colour.blue, uint8_t(c.blue >> 8));
      }
    }
  }
  BlendObjectState(object, key.record, key.scene, 1.0f, w, settings, slot);
}

// Clears the accumulators of every enabled attribute before a frame's keys are added.
void ClearAccumulators(AnimationSettings& settings) {
  SceneObject& object = *settings.object;
  ProjectRecord& scene = nativeFiles.project;
  std::fill(object.points.begin(), object.points.end(), Vec3f{});
  if (settings.blendTexture) std::fill(object.pointUV.begin(), object.pointUV.end(), Uv{});
  if (settings.blendOptics) std::fill(object.pointColors.begin(), object.pointColors.end(), Rgb8{});
  if (settings.blendSize) object.scale = 0;
  if (settings.blendPosition) object.position = {};
  if (settings.blendOptics) {
    object.optics.shininess = object.optics.diffuseStrength = object.optics.ambientLevel = 0;
    for (uint16_t* word : ColourWords(object.optics)) *word = 0;
  }
  if (settings.blendTexture) {
    object.textureBump = 0;
    object.textureZoom = 0;
    object.textureParams.fill(0);
  }
  if (settings.blendFog) {
    for (float* value : FogValues(scene.fogSmoke)) *value = 0;
    scene.fogColor = {};
  }
  if (settings.blendRotation) {
    settings.rotationSum = {0, 0, 0, -1000.0f};
    settings.haveRotation = 0;
  }
  if (settings.blendLight) {
    settings.lightSum = {0, 0, 0, -1000.0f};
    settings.haveLight = 0;
  }
}

// A rotation matrix (rows of three) as a unit quaternion.
Quaternion QuaternionOfMatrix(const Rotation3& m) {
  const float trace = m[0] + m[4] + m[8];
  Quaternion q;
  if (trace > 0.0f) {
    const float s = 2.0f * std::sqrt(trace + 1.0f);
    q = {(m[7] - m[5]) / s, (m[2] - m[6]) / s, (m[3] - m[1]) / s, 0.25f * s};
  } else if (m[0] > m[4] && m[0] > m[8]) {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m[0] - m[4] - m[8]));
    q = {0.25f * s, (m[1] + m[3]) / s, (m[2] + m[6]) / s, (m[7] - m[5]) / s};
  } else if (m[4] > m[8]) {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m[4] - m[0] - m[8]));
    q = {(m[1] + m[3]) / s, 0.25f * s, (m[5] + m[7]) / s, (m[2] - m[6]) / s};
  } else {
    const float s = 2.0f * std::sqrt(std::max(0.0f, 1.0f + m[8] - m[0] - m[4]));
    q = {(m[2] + m[6]) / s, (m[5] + m[7]) / s, 0.25f * s, (m[3] - m[1]) / s};
  }
  return q;
}

// A quaternion of any length as the rotation matrix of its direction; the identity for none.
Rotation3 MatrixOfQuaternion(Quaternion q) {
  const float length = Norm(q);
  if (!(length > 0.0f) || !std::isfinite(length)) return {1, 0, 0, 0, 1, 0, 0, 0, 1};
  q = Scaled(q, 1.0f / length);
  const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
  const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
  const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
  return {1 - 2 * (yy + zz), 2 * (xy - wz),     2 * (xz + wy),
          2 * (xy + wz),     1 - 2 * (xx + zz), 2 * (yz - wx),
          2 * (xz - wy),     2 * (yz + wx),     1 - 2 * (xx + yy)};
}

float WrappedAngle(float a) {
  if (!std::isfinite(a)) return 0.0f;
  a = std::fmod(a, kTwoPi);
  if (a < 0.0f) a += kTwoPi;
  return a >= kTwoPi ? 0.0f : a;
}

// The angles (about x, y, z) whose rotation Rz(c) Rx(a) Ry(b) is m.
std::array<float, 3> AnglesOfMatrix(const Rotation3& m) {
  // Row z is (-cos a sin b, sin a, cos a cos b); column y is (-cos a sin c, cos a cos c, sin a).
  const float sinA = std::clamp(m[7], -1.0f, 1.0f);
  const float cosA = std::sqrt(m[6] * m[6] + m[8] * m[8]);
  const float a = std::atan2(sinA, cosA);
  float b = 0.0f, c = 0.0f;
  if (cosA > 1e-6f) {
    b = std::atan2(-m[6], m[8]);
    c = std::atan2(-m[1], m[4]);
  } else {
    // Looking straight along y: only b + c or b - c is defined; b = 0 takes it all into c.
    c = std::atan2(m[3], m[0]);
  }
  return {WrappedAngle(a), WrappedAngle(b), WrappedAngle(c)};
}

// The owner as it was before the run: arrays, record fields and the scene's settings.
struct OwnerBackup {
  std::vector<Vec3f> points;
  std::vector<Uv> pointUV;
  std::vector<Rgb8> pointColors;
  SceneObject record;
  ProjectRecord scene;
};

}  // namespace

// --- Key buttons --------------------------------------------------------------------------------

Status SetOrRecallKeyframe(SceneObject& object, int slot) {
  if (slot < 0 || slot >= kKeyframeSlotCount) return kMalformed;
  if (!KeyframeExists(slot)) {
    const Status status = WriteKeyframeSlot(slot, object, nativeFiles.project);
    if (status != kNoError) ShowText(kErrFileError);
    return status;
  }
  uint32_t points = 0, triangles = 0;
  if (ReadKeyframeCounts(slot, points, triangles) != kNoError) {
    ShowText(kErrFileError);
    return kReadError;
  }
  if (points != uint32_t(object.pointCount) || triangles != uint32_t(object.triangleCount)) {
    ShowText(kErrKeyCountsDiffer);
    return kMalformed;
  }
  KeyframeShape key;
  try {
    if (ReadKeyframeSlot(slot, key) != kNoError) {
      ShowText(kErrFileError);
      return kReadError;
    }
  } catch (const std::bad_alloc&) {
    ShowText(kErrNotEnoughMemory);
    return kNoMemory;
  }
  if (key.points.size() != object.points.size() || key.pointUV.size() != object.pointUV.size() ||
      key.pointColors.size() != object.pointColors.size()) {
    ShowText(kErrKeyCountsDiffer);
    return kMalformed;
  }
  object.points = key.points;
  object.pointUV = key.pointUV;
  object.pointColors = key.pointColors;
  CopyKeyRecordFields(key.record, object);
  CopyKeySceneFields(key.scene, nativeFiles.project);
  object.hasUnsavedChanges = 1;
  RefreshDerivedData(object);
  return kNoError;
}

bool PressSetKeyButton(int slot) {
  SceneObject* current = scene.currentObject;
  if (current == nullptr || slot < 0 || slot >= kKeyframeSlotCount) return false;
  if (scene.keyframeOwner == nullptr) {
    DeleteAllKeyframes();
    if (SetOrRecallKeyframe(*current, slot) != kNoError) return false;
    scene.keyframeOwner = current;
    return true;
  }
  if (scene.keyframeOwner != current) {
    ShowText(kErrKeysOwnedByOther);
    return false;
  }
  const bool recalled = KeyframeExists(slot);
  if (SetOrRecallKeyframe(*current, slot) != kNoError) return false;
  if (recalled) BuildLightVector(nativeFiles.project.lightAngles);
  return true;
}

void PressDeleteKeyButton(int slot) {
  if (slot < 0 || slot >= kKeyframeSlotCount) return;
  DeleteKeyframe(slot);
  if (!AnyKeyframeSet()) scene.keyframeOwner = nullptr;
}

void InstallKeyframeHooks() { scene.discardKeyframeShapes = [] { DeleteAllKeyframes(); }; }

// --- The blend ----------------------------------------------------------------------------------

void ComputeKeyTimes(AnimationSettings& s) {
  const int first = s.firstKey, last = s.lastKey;
  if (first < 0 || last < first || last >= kKeyframeSlotCount) return;
  auto valid = [&](int k) { return k >= first && k <= last && s.keyValid[size_t(k)] != 0; };
  for (int k = first; k <= last; ++k) {
    if (!valid(k)) continue;
    // One key alone sits at frame 0 (its place would be 0 / 0).
    s.keyTime[size_t(k)] = last == first ? 0.0f : float(k - first) * float(s.frameCount + 1) / float(last - first);
  }
  auto below = [&](int k) {
    for (int j = k - 1; j >= first; --j)
      if (valid(j)) return j;
    return first;
  };
  auto above = [&](int k) {
    for (int j = k + 1; j <= last; ++j)
      if (valid(j)) return j;
    return last;
  };
  const bool smooth = s.method == kMethodSmooth;
  for (int k = first; k <= last; ++k) {
    if (!valid(k)) continue;
    const float time = s.keyTime[size_t(k)];
    const int p = below(k), pp = smooth ? below(p) : p;
    float start = (s.keyTime[size_t(p)] + s.keyTime[size_t(pp)]) / 2.0f;
    if (start == time) start = time - 0.01f;
    const int n = above(k), nn = smooth ? above(n) : n;
    float end = (s.keyTime[size_t(n)] + s.keyTime[size_t(nn)]) / 2.0f;
    if (end == time) end = time + 0.01f;
    s.keyStart[size_t(k)] = start;
    s.keyEnd[size_t(k)] = end;
  }
}

void ComputeFrameWeights(AnimationSettings& s, int frame) {
  s.keyWeight.fill(-1.0f);
  const int first = s.firstKey, last = s.lastKey;
  if (first < 0 || last < first || last >= kKeyframeSlotCount) return;
  if (first == last) {
    s.keyWeight[size_t(first)] = 1.0f;
    return;
  }
  const float f = float(frame);
  float sum = 0.0f;
  for (int k = first; k <= last; ++k) {
    const size_t i = size_t(k);
    if (!s.keyValid[i]) continue;
    if (s.keyStart[i] <= f && f <= s.keyEnd[i]) {
      float w = f < s.keyTime[i] ? (f - s.keyStart[i]) / (s.keyTime[i] - s.keyStart[i])
                                 : (s.keyEnd[i] - f) / (s.keyEnd[i] - s.keyTime[i]);
      if (s.method != kMethodSharp) w = (3.0f - 2.0f * w) * w * w;
      s.keyWeight[i] = w;
      sum += w;
    }
  }
  if (sum <= 0.0f) sum = 1.0f;
  for (float& w : s.keyWeight)
    if (w > 0.0f) w /= sum;
}

int AnimationFrameNumber(int index, const AnimationSettings& settings) {
  if (!settings.forthAndBack) return index;
  const int64_t twice = 2 * int64_t(index);
  if (twice < settings.frameCount) return int(twice);
  return int(std::max<int64_t>(0, 2 * (int64_t(settings.frameCount) - index) - 1));
}

Quaternion QuaternionOfAngles(const std::array<float, 3>& angles) { return QuaternionOfMatrix(ViewRotationMatrix(angles)); }

std::array<float, 3> AnglesOfQuaternion(const Quaternion& q) { return AnglesOfMatrix(MatrixOfQuaternion(q)); }

Quaternion BlendQuaternions(const Quaternion& q, const Quaternion& s, float a, float b) {
  const float lengths = Norm(q) * Norm(s);
  const float cosine = lengths > 0.0f ? Dot(q, s) / lengths : 1.0f;
  if (1.0f + cosine > 0.00001f && 1.0f - cosine > 0.00001f) {
    const float theta = std::acos(std::clamp(cosine, -0.9999f, 0.9999f));
    const float sine = std::sin(theta);
    return Sum(Scaled(q, std::sin(b * theta) / sine), Scaled(s, std::sin(a * theta) / sine));
  }
  if (1.0f + cosine > 0.00001f) return Sum(Scaled(q, b), Scaled(s, a));
  // Opposite: turn through a quaternion at right angles to s.
  const Quaternion t{-s.y, s.x, -s.w, s.z};
  constexpr float kHalfPi = 1.57079632679489662f;
  return Sum(Scaled(s, std::sin(a * kHalfPi)), Scaled(t, std::sin(b * kHalfPi)));
}

void PrepareKeyRotations(AnimationSettings& s) {
  if (s.firstKey < 0) return;
  bool first = true;
  Quaternion previousRotation, previousLight;
  for (int k = s.firstKey; k <= s.lastKey; ++k) {
    const size_t i = size_t(k);
    if (!s.keyValid[i]) continue;
    const Quaternion rotation = QuaternionOfAngles(s.keyRotation[i]);
    const Quaternion light = QuaternionOfAngles(s.keyLight[i]);
    if (first) {
      s.keyRotationSign[i] = s.keyLightSign[i] = 1;
      previousRotation = s.rotationStart = rotation;
      previousLight = s.lightStart = light;
      first = false;
      continue;
    }
    auto choose = [](const Quaternion& q, Quaternion& previous, uint16_t& sign) {
      const Quaternion negated = Scaled(q, -1.0f);
      if (Distance(previous, negated) < Distance(previous, q)) {
        sign = 0;
        previous = negated;
      } else {
        sign = 1;
        previous = q;
      }
    };
    choose(rotation, previousRotation, s.keyRotationSign[i]);
    choose(light, previousLight, s.keyLightSign[i]);
  }
}

void BlendAnimationFrame(int frame, AnimationSettings& s) {
  if (s.object == nullptr || s.firstKey < 0) return;
  ClearAccumulators(s);
  ComputeFrameWeights(s, frame);
  for (int k = s.firstKey; k <= s.lastKey; ++k) {
    const size_t i = size_t(k);
    if (s.keyValid[i] && s.keys[i] != nullptr && s.keyWeight[i] >= 0.0f) AccumulateKeyframe(k, s.keyWeight[i], s);
  }
  SceneObject& object = *s.object;
  if (s.blendRotation) object.rotation = VecOf(AnglesOfQuaternion(s.haveRotation ? s.rotationSum : s.rotationStart));
  if (s.blendLight) {
    nativeFiles.project.lightAngles = AnglesOfQuaternion(s.haveLight ? s.lightSum : s.lightStart);
    BuildLightVector(nativeFiles.project.lightAngles);
  }
  object.dirtyFlags = kAllDirty;
}

int RenderAnimationFrame(int frame, AnimationSettings& settings) {
  BlendAnimationFrame(frame, settings);
  return RenderComposerFrame();
}

int RunFrameLoop(AnimationSettings& settings, int first, int last,
                 const std::function<int(int index, int frame)>& takeFrame) {
  first = std::max(first, 0);
  last = std::min(last, settings.frameCount - 1);
  for (int i = first; i <= last; ++i) {
    if (CancelRequested()) return kAnimationCancelled;
    const int frame = AnimationFrameNumber(i, settings);
    if (const int result = RenderAnimationFrame(frame, settings); result != kFrameRendered) return result;
    if (const int result = takeFrame(i, frame); result != 0) return result;
  }
  return 0;
}

// --- The animation command ----------------------------------------------------------------------

Status ReadAnimationKeys(AnimationSettings& settings) {
  SceneObject* owner = scene.keyframeOwner;
  settings.object = owner;
  settings.firstKey = settings.lastKey = -1;
  settings.keyValid.fill(0);
  if (owner == nullptr) return kNoError;
  const std::shared_ptr<const Topology> topology = owner->topology;
  for (int k = 0; k < kKeyframeSlotCount; ++k) {
    const size_t i = size_t(k);
    settings.keys[i].reset();
    uint32_t points = 0, triangles = 0;
    const Status counts = ReadKeyframeCounts(k, points, triangles);
    if (counts == kFileNotFound) continue;
    if (counts != kNoError) {
      ShowText(kErrFileError);
      return counts;
    }
    if (points != uint32_t(owner->pointCount) || triangles != uint32_t(owner->triangleCount)) continue;
    auto key = std::make_shared<KeyframeShape>();
    if (ReadKeyframeSlot(k, *key) != kNoError) {
      ShowText(kErrFileError);
      return kReadError;
    }
    const std::span<const Triangle> own = Triangles(*owner);
    if (key->triangles.size() != own.size() || !std::equal(own.begin(), own.end(), key->triangles.begin()) ||
        key->points.size() != owner->points.size()) {
      ShowText(kErrCantCreateAnimation);
      return kMalformed;
    }
    settings.keyValid[i] = 1;
    settings.keyRotation[i] = ArrayOf(key->record.rotation);
    settings.keyLight[i] = key->scene.lightAngles;
    settings.keys[i] = std::move(key);
    if (settings.firstKey < 0) settings.firstKey = int16_t(k);
    settings.lastKey = int16_t(k);
  }
  return kNoError;
}

int RunAnimation(AnimationSettings& settings, const std::function<int(AnimationSettings&)>& output) {
  SceneObject* owner = settings.object;
  if (owner == nullptr || settings.firstKey < 0) return 0;
  ProjectRecord& project = nativeFiles.project;
  std::optional<OwnerBackup> backup;
  try {
    backup.emplace();
    backup->points = owner->points;
    backup->pointUV = owner->pointUV;
    backup->pointColors = owner->pointColors;
    CopyKeyRecordFields(*owner, backup->record);
    backup->record.optics = owner->optics;
    backup->scene = project;
  } catch (const std::bad_alloc&) {
    ShowText(kErrNotEnoughMemory);
    return kNoMemory;
  }
  const std::array<float, 3> lightAngles = project.lightAngles;
  const Vec3f rotation = owner->rotation;

  if (settings.hideOthers) {
    for (auto& object : scene.objectTable)
      if (object != nullptr && object.get() != owner) object->ghostState |= kHiddenForOperation;
  }
  const size_t first = size_t(settings.firstKey);
  owner->rotation = VecOf(settings.keyRotation[first]);
  project.lightAngles = settings.keyLight[first];
  BuildLightVector(project.lightAngles);
  ComputeKeyTimes(settings);
  PrepareKeyRotations(settings);
  int result = 0;
  try {
    result = output(settings);
  } catch (const std::bad_alloc&) {
    result = kNoMemory;
  }
  if (result != 0 && result != kAnimationCancelled) ShowText(kErrAnimationFailed);

  for (auto& object : scene.objectTable)
    if (object != nullptr) object->ghostState &= uint16_t(~kHiddenForOperation);
  // Everything the blend touched goes back: the arrays, every animated field, the scene settings.
  owner->points = std::move(backup->points);
  owner->pointUV = std::move(backup->pointUV);
  owner->pointColors = std::move(backup->pointColors);
  AnimationSettings restore;
  restore.object = owner;
  BlendObjectState(*owner, backup->record, backup->scene, 0.0f, 1.0f, restore, 0);
  CopyKeySceneFields(backup->scene, project);
  project.lightAngles = lightAngles;
  owner->rotation = rotation;
  BuildLightVector(project.lightAngles);
  RefreshDerivedData(*owner);
  return result;
}

int MakeAnimation(const AnimationHooks& hooks) {
  SceneObject* owner = scene.keyframeOwner;
  if (owner == nullptr) return 0;
  if (WriteKeyframeSlot(kKeyframeBackupSlot, *owner, nativeFiles.project) != kNoError) {
    ShowText(kErrFileError);
    return kWriteError;
  }
  AnimationSettings settings;
  int result = 0;
  try {
    if (const Status status = ReadAnimationKeys(settings); status != kNoError) {
      DeleteKeyframe(kKeyframeBackupSlot);
      return status;
    }
  } catch (const std::bad_alloc&) {
    ShowText(kErrNotEnoughMemory);
    DeleteKeyframe(kKeyframeBackupSlot);
    return kNoMemory;
  }
  if (settings.firstKey >= 0 && hooks.askSettings && hooks.askSettings(settings)) {
    settings.object = owner;
    result = RunAnimation(settings, hooks.output);
    if (result == 0 && hooks.showResult) hooks.showResult(settings);
  }
  DeleteKeyframe(kKeyframeBackupSlot);
  return result;
}

}  // namespace tsv
