// history.h: the undo history of every object: the states its commits left, through which the user
// steps back and forward. Kept per object (by serial) as one whole copy of the state the object
// stands at plus, between neighbouring states, the points that changed; all objects share one
// memory budget, from which the oldest steps go first. What the tools do around a step (their
// snapshots, the redraw) is theirs; the single-level undo through the undo copy is unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "scene/scene_object.h"

namespace tsv {

// The material and texture mapping of a state.
struct HistoryHeader {
  OpticsWordArray optics{};
  TextureMapping mapping;
  bool operator==(const HistoryHeader&) const = default;
};
HistoryHeader HistoryHeaderOf(const SceneObject& object);
void ApplyHistoryHeader(const HistoryHeader& header, SceneObject& object);

// What a state holds per point, each as 32-bit words (floats by their bit patterns), so that one
// comparison and one XOR serve every array.
enum HistoryChannel : size_t {
  kHistoryPositions,    // x, y, z
  kHistoryCoordinates,  // u, v
  kHistoryPaintMask,    // red | green << 8 | blue << 16 | mask << 24
  kHistoryChannelCount
};
inline constexpr std::array<size_t, kHistoryChannelCount> kHistoryWordsPerPoint = {3, 2, 1};

// A whole state.
struct HistorySnapshot {
  std::array<std::vector<uint32_t>, kHistoryChannelCount> words;
  HistoryHeader header;
};

// How one channel changed between two neighbouring states: the XOR of their words, so that the
// one change takes the older state to the newer and back. Only the changed points are listed,
// ascending, unless the list would take more room than every point's words (`dense`).
struct HistoryChange {
  bool dense = false;
  std::vector<uint32_t> points;
  std::vector<uint32_t> words;  // kHistoryWordsPerPoint per listed point, or per point when dense
};

struct HistoryStep {
  std::array<HistoryChange, kHistoryChannelCount> changes;
  HistoryHeader before;
  HistoryHeader after;
  uint64_t sequence = 0;  // when it was committed, among the steps of all objects
  size_t bytes = 0;
};

struct ObjectHistory {
  uint64_t serial = 0;
  int32_t pointCount = 0;  // of every state kept; a commit with another count starts afresh
  // The material and mapping before the first kept step: set when the object is activated (and
  // when its steps are all dropped), since a command may change them just before its commit.
  HistoryHeader baseHeader;
  HistorySnapshot current;        // the state the object stands at; empty while no step is kept
  std::deque<HistoryStep> steps;  // steps[k] leads from state k to state k + 1
  size_t position = 0;            // the object stands at state `position`: that many steps back
  size_t bytes = 0;               // `current` and `steps`
};

struct History {
  std::vector<ObjectHistory> objects;
  uint64_t lastSequence = 0;
  size_t bytes = 0;  // of every object's history
};

// The budget of all histories, from the settings.
size_t HistoryBudgetBytes();

// Called when `object` is bound to the work arrays: remembers its material and mapping as the
// start of its history while it has no step kept.
void NoteObjectActivated(const SceneObject& object);

// Called by the commit once `object` holds the new committed state and `undo` the one before
// it: adds the step between them, dropping the steps forward of where the object stood, then
// drops the oldest steps of all objects until the budget holds (never the step just added). A
// commit that changed nothing adds no step. Out of memory, the object's history is dropped.
void RecordCommittedState(const SceneObject& object, const SceneObject& undo);

// Forgets the object's history (the object is being disposed).
void DropObjectHistory(uint64_t serial);

// How many steps the object can take back and forward now; 0 for an object without history, one
// whose point count has changed since, or one not bound to the work arrays.
size_t HistoryStepsBack(const SceneObject& object);
size_t HistoryStepsForward(const SceneObject& object);

// One step back (direction < 0) or forward: the object's positions, paint, mask and texture
// coordinates become that state's, and so do its committed copies in the work records. Of the
// material and mapping, the fields the step changed take that state's values; the others stay as
// they are, so a material set since the last commit outlives steps that left it alone. The undo
// copy takes the state before (the state itself at the oldest), as a commit would have left it,
// so that "To undo" blends toward it. The object is marked changed and all its derived data
// dirty. False, with nothing changed, when there is no such step or the arrays do not fit.
// `before`, when given, receives the material and mapping of the undo copy's state.
[[nodiscard]] bool StepObjectHistory(SceneObject& object, SceneObject& undo, int direction,
                                     HistoryHeader* before = nullptr);

// The bytes one object's history holds (0 without one).
size_t ObjectHistoryBytes(uint64_t serial);

}  // namespace tsv
