// object_paint.h: the paint room's whole-object commands: "Paint object" and the procedural
// colours "Add Noise", "Add Clouds", "Add Marble", "Add Veins" and "Add Gradient". Each works out
// a new colour for every point from the paint colour (brushSettings.paintColour) and the point's
// present colour and lays it over through the point's mask, so masked areas keep their paint;
// then it records its step and marks the paint dirty. The caller commits (RunPaintCommand does
// command, commit and redraw as the panel and the task replay want it). Map apply is in
// map_apply.h.
#pragma once

#include <cstdint>
#include <span>

#include "platform/string_id.h"
#include "scene/task_steps.h"
#include "scene/types.h"

namespace tsv {

struct SceneObject;

inline constexpr uint16_t kStepPaintObject = TaskStepCode("CC");
inline constexpr uint16_t kStepAddNoise = TaskStepCode("PN");
inline constexpr uint16_t kStepAddClouds = TaskStepCode("PC");
inline constexpr uint16_t kStepAddMarble = TaskStepCode("PM");
inline constexpr uint16_t kStepAddVeins = TaskStepCode("PV");
inline constexpr uint16_t kStepAddGradient = TaskStepCode("PG");

// Lays (r, g, b) over `colour` with the weight of `mask`: a = mask below 128, else mask + 1 (255
// counts as 256, so a free point takes the new colour exactly); each channel becomes
// (new x a + old x (256 - a)) >> 8.
void ApplyMaskedColour(Rgb8& colour, uint8_t mask, uint8_t r, uint8_t g, uint8_t b);

// The commands. Each returns true when it painted; nothing happens, and nothing is recorded, for
// a null object or one whose colours (or, where a command needs them, positions) do not cover
// its points. A point without a mask byte counts as free. The random draws come from
// PaintRandom.
//
// Every point takes the paint colour; the alternate colour then becomes the paint colour. (CC)
[[nodiscard]] bool PaintObject(SceneObject* object);
// Speckles: r = a fresh PaintRandom() / 32767 per point, new = r P + (1 - r) old. (PN)
[[nodiscard]] bool AddNoise(SceneObject* object);
// t = Turbulence (o + 0.01 v, 0.5, 0.01) on the view position v (the current view's rotation of
// the point), new = t P + (1 - t) old. (PC)
[[nodiscard]] bool AddClouds(SceneObject* object);
// v = min (abs ((Turbulence (o + 0.01 p, 0.5, 0.01) - 0.5) x 20), 1) on the object-space
// position p, new = v P + (1 - v) old. (PM)
[[nodiscard]] bool AddMarble(SceneObject* object);
// v as for marble, new = (1 - v) P + v old: where marble keeps the old colour, veins paint. (PV)
[[nodiscard]] bool AddVeins(SceneObject* object);
// t = the point's height in the current view, scaled over the object's heights to 0..1 (a flat
// object gives 0 everywhere and keeps its colours); new = t P + (1 - t) old. (PG)
[[nodiscard]] bool AddGradient(SceneObject* object);
//
// P is the paint colour's components / 256 as reals; the new channels are truncated toward zero
// and kept within 0..255. The offset o of clouds, marble and veins is drawn once per command:
// (1000 + 64 r1, 1000 + 64 r2, 1000 + 64 r3), each r = PaintRandom() / 32767.

// One command of the paint panel as the task list knows it.
struct PaintCommand {
  uint16_t code;  // its task step
  StringId name;  // the step's name in the task list, the panel's text
  bool (*run)(SceneObject* object);
};

// The six commands in panel order: Paint object, Add Noise, Add Clouds, Add Marble, Add Veins,
// Add Gradient.
std::span<const PaintCommand> PaintCommands();
// The command of a step code; null for any other code.
const PaintCommand* FindPaintCommand(uint16_t code);

// Makes sure the object shows its paint. A painted object is left alone (true). Otherwise, when
// `asking`, the user is asked "Warning: Operation requires object to be paintable. Do you want to
// make object paintable ?" and a No leaves it unpainted (false); on Yes, or without asking, the
// painted flag is set, the step CP 1 recorded and the change committed into `undo` (true). False
// for a null object.
[[nodiscard]] bool EnsurePaintable(SceneObject* object, SceneObject* undo, bool asking);

// A command the way the paint panel runs it: the command, then CommitObjectChange into `undo`,
// then a full redraw of the view (when the renderer runs) handed to the screen. Nothing is
// committed when the command did not paint. True when it painted.
[[nodiscard]] bool RunPaintCommand(const PaintCommand& command, SceneObject* object, SceneObject* undo);

// A recorded CC, PN, PC, PM, PV or PG step replayed: when the step was recorded in the paint
// room and the object is not painted, the user is asked as in EnsurePaintable and the view
// redrawn; the command then runs whatever the answer (RunPaintCommand). False, with nothing
// done, for any other code.
[[nodiscard]] bool ReplayPaintStep(uint16_t code, SceneObject* object, SceneObject* undo,
                     bool recordedInPaintRoom);

}  // namespace tsv
