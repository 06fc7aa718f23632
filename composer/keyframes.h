// keyframes.h: keyframe animation of one object. The key buttons store and recall snapshots of the
// keyframe owner in the slot files; an animation blends the keys into every frame (shape, texture
// coordinates, paint, placement, material, texture settings, fog and smoke, light), renders each
// frame with the composer renderer and hands it to an output.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/status.h"
#include "scene/keyframe_file.h"

namespace tsv {

struct SceneObject;

inline constexpr uint32_t kOutputAnimatedGif = FourCC("GIFy");
inline constexpr int kAnimationCancelled = 123;

// Transition methods: "Sharp" is linear between neighbouring keys, "Gentle" eases in and out,
// "Smooth" eases over windows that reach two keys each way.
inline constexpr uint16_t kMethodSharp = 0;
inline constexpr uint16_t kMethodGentle = 1;
inline constexpr uint16_t kMethodSmooth = 2;

struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;
};

// One run of the animation: the dialog's choices, the keys that take part and the blend state of
// the frame being made.
struct AnimationSettings {
  uint16_t hideOthers = 0;     // "Render other objects" off
  uint16_t forthAndBack = 0;   // "Render forth and back"
  uint16_t method = kMethodSmooth;
  uint16_t byFrames = 0;       // "Total Frames:" chosen rather than "Total Time:"
  int32_t frameCount = 30;
  int32_t framesPerSecond = 15;
  float totalTime = 2.0f;
  std::array<uint16_t, kKeyframeSlotCount> keyValid{};
  std::array<float, kKeyframeSlotCount> keyTime{}, keyStart{}, keyEnd{}, keyWeight{};
  std::array<std::array<float, 3>, kKeyframeSlotCount> keyRotation{}, keyLight{};
  std::array<uint16_t, kKeyframeSlotCount> keyRotationSign{}, keyLightSign{};
  Quaternion rotationSum, lightSum, rotationStart, lightStart;
  uint16_t haveRotation = 0, haveLight = 0;
  // The "Transition" check boxes.
  uint16_t blendSize = 1, blendPosition = 1, blendRotation = 1, blendOptics = 1, blendTexture = 1, blendFog = 1,
           blendLight = 1;
  int16_t firstKey = -1, lastKey = -1;
  SceneObject* object = nullptr;  // the animated object; not owned
  uint32_t outputType = kOutputAnimatedGif;
  uint32_t quality = 512;
  // The keys of the run, read once when the run starts (the slots do not change while it runs).
  std::array<std::shared_ptr<const KeyframeShape>, kKeyframeSlotCount> keys;
};

// --- Key buttons ------------------------------------------------------------------------------

// Stores the object into an unset slot, or recalls a set slot into the object (shape, texture
// coordinates, paint, placement, material and texture settings, and the scene's fog, smoke and
// light). The failures show their message; 0 on success.
Status SetOrRecallKeyframe(SceneObject& object, int slot);

// The set-or-recall button of slot 0..7, once released over itself: with no current object
// nothing; with no owner the slots are cleared and the current object becomes the owner with this
// key; another object's keys refuse with a message. True when the object or scene changed (the
// caller redraws).
bool PressSetKeyButton(int slot);
// The delete button of slot 0..7: the slot is deleted; the owner goes when no key is left.
void PressDeleteKeyButton(int slot);

// Wires the scene's "discard the keyframe shapes" hook to the slot files.
void InstallKeyframeHooks();

// --- The blend --------------------------------------------------------------------------------

// Key times and windows of the valid keys (firstKey and lastKey set).
void ComputeKeyTimes(AnimationSettings& settings);
// keyWeight of every valid key at frame f: within its window a rising or falling ramp (eased for
// "Gentle" and "Smooth"), -1 outside; the positive weights divided by their sum.
void ComputeFrameWeights(AnimationSettings& settings, int frame);
// The frame drawn at place i of the run: i, or there and back again with forthAndBack.
int AnimationFrameNumber(int index, const AnimationSettings& settings);

// The key's sign flags so that consecutive keys turn the short way, and the start quaternions.
void PrepareKeyRotations(AnimationSettings& settings);
// Spherical blend of a key's quaternion q into the sum s: s weighted by a, q by b.
Quaternion BlendQuaternions(const Quaternion& q, const Quaternion& s, float a, float b);
// The rotation of an angle triple as a quaternion, and back to angles (each in 0..2 pi) through
// the rotation matrix the renderers build from angles.
Quaternion QuaternionOfAngles(const std::array<float, 3>& angles);
std::array<float, 3> AnglesOfQuaternion(const Quaternion& q);

// Sets the owner (and the scene's fog, smoke and light) to the blend of the keys at frame f.
void BlendAnimationFrame(int frame, AnimationSettings& settings);
// BlendAnimationFrame, then renders the composer frame: 0, 123 when cancelled, else failure.
int RenderAnimationFrame(int frame, AnimationSettings& settings);

// --- The animation command --------------------------------------------------------------------

struct AnimationHooks {
  // The animation dialog: fills the settings; false for Cancel.
  std::function<bool(AnimationSettings&)> askSettings;
  // Runs the frame loop into the output (a movie, a GIF, frame files): 0, 123 when the user
  // cancelled, anything else a failure.
  std::function<int(AnimationSettings&)> output;
  // Shows the result of a successful run.
  std::function<void(const AnimationSettings&)> showResult;
};

// The animation of the keyframe owner: reads the keys, asks for the settings, hides the other
// objects when asked, runs the output and puts the owner, the scene settings and the other
// objects back as they were, whatever the outcome. 0 when done or when there was nothing to do,
// 123 when cancelled, else the failure (its message has been shown).
int MakeAnimation(const AnimationHooks& hooks);

// The part of MakeAnimation after the dialog, for callers that fill the settings themselves (the
// batch commands): reads the keys of the owner into `settings`; 0, or the failure with its
// message shown. `settings.firstKey` is -1 when no key is valid.
Status ReadAnimationKeys(AnimationSettings& settings);
// Runs `output` with the owner animated, then restores everything (owner, light, fog, the other
// objects' visibility). The result is that of `output`; a failure other than 123 shows "Error:
// Animation failed.".
int RunAnimation(AnimationSettings& settings, const std::function<int(AnimationSettings&)>& output);

// The frame loop: for every place i of the run (from `first` to `last`, clamped to the run),
// blends and renders its frame and hands it to `takeFrame` (i, frame): a nonzero result ends the
// loop with it. Looks for the cancel gesture between frames.
int RunFrameLoop(AnimationSettings& settings, int first, int last,
                 const std::function<int(int index, int frame)>& takeFrame);

}  // namespace tsv
