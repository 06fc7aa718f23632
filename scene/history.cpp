// history.cpp: the per-object undo history: recording the committed states, the budget, stepping.
//
// The history keeps its own copy of the state the object stands at (`current`) and applies its
// changes there, never to the object: whatever happened to the object outside a commit, the chain
// of states stays whole, and a step writes the whole state back.
#include "scene/history.h"

#include <algorithm>
#include <bit>
#include <new>

#include "platform/platform_state.h"
#include "scene/allocation.h"
#include "scene/scene_state.h"

namespace tsv {

HistoryHeader HistoryHeaderOf(const SceneObject& object) {
  return {OpticsWords(object.optics), TextureMappingOf(object)};
}

void ApplyHistoryHeader(const HistoryHeader& header, SceneObject& object) {
  object.optics = OpticsFromWords(header.optics);
  ApplyTextureMapping(header.mapping, object);
}

size_t HistoryBudgetBytes() { return size_t(platform.settings.historyBudgetMB) << 20; }

namespace {

// Where the words of a state are read from: the object's committed arrays, or the undo copy's
// (whose texture coordinates come two per point: the committed ones, then the previous ones).
struct WordSource {
  const Vec3f* points = nullptr;
  const Uv* coordinates = nullptr;
  size_t coordinateStride = 1;
  const Rgb8* paint = nullptr;
  const uint8_t* mask = nullptr;
};

WordSource ObjectWords(const SceneObject& object) {
  return {object.points.data(), object.pointUV.data(), 1, object.pointColors.data(),
          object.pointMask.data()};
}

// The undo copy's state from before the last commit.
WordSource PreviousWords(const SceneObject& undo) {
  return {undo.points.data(), undo.pointUV.data() + 1, 2, undo.pointColors.data(),
          undo.pointMask.data()};
}

uint32_t PackPaintMask(const Rgb8& paint, uint8_t mask) {
  return uint32_t(paint.red) | uint32_t(paint.green) << 8 | uint32_t(paint.blue) << 16 |
         uint32_t(mask) << 24;
}

template <size_t Channel>
void PointWords(const WordSource& source, size_t i, uint32_t* out) {
  if constexpr (Channel == kHistoryPositions) {
    const Vec3f& p = source.points[i];
    out[0] = std::bit_cast<uint32_t>(p.x);
    out[1] = std::bit_cast<uint32_t>(p.y);
    out[2] = std::bit_cast<uint32_t>(p.z);
  } else if constexpr (Channel == kHistoryCoordinates) {
    const Uv& uv = source.coordinates[i * source.coordinateStride];
    out[0] = std::bit_cast<uint32_t>(uv.u);
    out[1] = std::bit_cast<uint32_t>(uv.v);
  } else {
    out[0] = PackPaintMask(source.paint[i], source.mask[i]);
  }
}

template <size_t Channel>
bool SamePoint(const uint32_t* a, const uint32_t* b) {
  for (size_t k = 0; k < kHistoryWordsPerPoint[Channel]; ++k) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

template <size_t Channel>
void FillChannel(const WordSource& source, size_t count, std::vector<uint32_t>& words) {
  constexpr size_t kWords = kHistoryWordsPerPoint[Channel];
  words = AllocateArray<uint32_t>(count * kWords);
  for (size_t i = 0; i < count; ++i) PointWords<Channel>(source, i, &words[i * kWords]);
}

// A whole state from `source` (may throw std::bad_alloc).
HistorySnapshot TakeSnapshot(const WordSource& source, size_t count, const HistoryHeader& header) {
  HistorySnapshot snapshot;
  FillChannel<kHistoryPositions>(source, count, snapshot.words[kHistoryPositions]);
  FillChannel<kHistoryCoordinates>(source, count, snapshot.words[kHistoryCoordinates]);
  FillChannel<kHistoryPaintMask>(source, count, snapshot.words[kHistoryPaintMask]);
  snapshot.header = header;
  return snapshot;
}

// The change from `words` to the state `source` gives; false (and `change` left empty) when there
// is none. Counts first, so that the arrays are allocated once at their size (may throw).
template <size_t Channel>
bool TakeChange(const std::vector<uint32_t>& words, const WordSource& source, size_t count,
                HistoryChange& change) {
  constexpr size_t kWords = kHistoryWordsPerPoint[Channel];
  uint32_t next[kWords];
  size_t changed = 0;
  for (size_t i = 0; i < count; ++i) {
    PointWords<Channel>(source, i, next);
    if (!SamePoint<Channel>(next, &words[i * kWords])) ++changed;
  }
  if (changed == 0) return false;
  change.dense = changed * (kWords + 1) > count * kWords;
  if (change.dense) {
    change.words = AllocateArray<uint32_t>(count * kWords);
    for (size_t i = 0; i < count; ++i) {
      PointWords<Channel>(source, i, next);
      for (size_t k = 0; k < kWords; ++k) change.words[i * kWords + k] = next[k] ^ words[i * kWords + k];
    }
    return true;
  }
  change.points = AllocateArray<uint32_t>(changed);
  change.words = AllocateArray<uint32_t>(changed * kWords);
  size_t n = 0;
  for (size_t i = 0; i < count && n < changed; ++i) {
    PointWords<Channel>(source, i, next);
    if (SamePoint<Channel>(next, &words[i * kWords])) continue;
    change.points[n] = uint32_t(i);
    for (size_t k = 0; k < kWords; ++k) change.words[n * kWords + k] = next[k] ^ words[i * kWords + k];
    ++n;
  }
  return true;
}

// XOR: the same call takes the words from the older state to the newer and back.
void ApplyChange(const HistoryChange& change, size_t wordsPerPoint, std::vector<uint32_t>& words) {
  if (change.dense) {
    const size_t n = std::min(change.words.size(), words.size());
    for (size_t j = 0; j < n; ++j) words[j] ^= change.words[j];
    return;
  }
  for (size_t n = 0; n < change.points.size(); ++n) {
    const size_t at = size_t(change.points[n]) * wordsPerPoint;
    if (at + wordsPerPoint > words.size()) continue;  // never written so; a stray entry is passed over
    for (size_t k = 0; k < wordsPerPoint; ++k) words[at + k] ^= change.words[n * wordsPerPoint + k];
  }
}

void ApplyStep(const HistoryStep& step, HistorySnapshot& snapshot) {
  for (size_t c = 0; c < kHistoryChannelCount; ++c) {
    ApplyChange(step.changes[c], kHistoryWordsPerPoint[c], snapshot.words[c]);
  }
}

size_t SnapshotBytes(const HistorySnapshot& snapshot) {
  size_t bytes = 0;
  for (const std::vector<uint32_t>& words : snapshot.words) bytes += words.size() * sizeof(uint32_t);
  return bytes;
}

size_t StepBytes(const HistoryStep& step) {
  size_t bytes = sizeof(HistoryStep);
  for (const HistoryChange& change : step.changes) {
    bytes += (change.points.size() + change.words.size()) * sizeof(uint32_t);
  }
  return bytes;
}

ObjectHistory* FindHistory(uint64_t serial) {
  if (serial == 0) return nullptr;
  for (ObjectHistory& entry : scene.history.objects) {
    if (entry.serial == serial) return &entry;
  }
  return nullptr;
}

// Releases the whole state once no step needs it; the material and mapping it had stay as the
// start of the next history.
void ReleaseCurrent(ObjectHistory& entry) {
  entry.baseHeader = entry.current.header;
  entry.current = HistorySnapshot{};
  scene.history.bytes -= entry.bytes;
  entry.bytes = 0;
}

void DropSteps(ObjectHistory& entry) {
  entry.steps.clear();
  entry.position = 0;
  ReleaseCurrent(entry);
}

void DropForwardSteps(ObjectHistory& entry) {
  while (entry.steps.size() > entry.position) {
    const size_t bytes = entry.steps.back().bytes;
    entry.steps.pop_back();
    entry.bytes -= bytes;
    scene.history.bytes -= bytes;
  }
}

// Drops the oldest step of `entry`. Behind the object it simply goes; ahead of it (the object
// stands at the oldest state) every step ahead goes, since the later ones lead on from it.
void DropOldestStep(ObjectHistory& entry) {
  if (entry.position == 0) {
    DropForwardSteps(entry);
  } else {
    const size_t bytes = entry.steps.front().bytes;
    entry.steps.pop_front();
    --entry.position;
    entry.bytes -= bytes;
    scene.history.bytes -= bytes;
  }
  if (entry.steps.empty()) ReleaseCurrent(entry);
}

// Drops the oldest steps of all objects until the histories fit the budget. The newest step of
// `keep` stays whatever it costs, so that the last change can always be taken back.
void TrimToBudget(const ObjectHistory* keep) {
  const size_t budget = HistoryBudgetBytes();
  while (scene.history.bytes > budget) {
    ObjectHistory* oldest = nullptr;
    for (ObjectHistory& entry : scene.history.objects) {
      if (entry.steps.empty() || (&entry == keep && entry.steps.size() <= 1)) continue;
      if (oldest == nullptr || entry.steps.front().sequence < oldest->steps.front().sequence) {
        oldest = &entry;
      }
    }
    if (oldest == nullptr) return;
    DropOldestStep(*oldest);
  }
}

ObjectHistory& HistoryFor(const SceneObject& object) {
  if (ObjectHistory* entry = FindHistory(object.serial)) return *entry;
  ObjectHistory& entry = scene.history.objects.emplace_back();
  entry.serial = object.serial;
  entry.pointCount = object.pointCount;
  entry.baseHeader = HistoryHeaderOf(object);
  return entry;
}

bool ArraysHold(const SceneObject& object, size_t count) {
  return object.points.size() >= count && object.pointColors.size() >= count &&
         object.pointMask.size() >= count && object.pointUV.size() >= count;
}

bool UndoHolds(const SceneObject& undo, size_t count) {
  return undo.points.size() >= count && undo.pointColors.size() >= count &&
         undo.pointMask.size() >= count && undo.pointUV.size() >= 2 * count;
}

bool BoundToWork(const SceneObject& object, size_t count) {
  return object.pointWork != nullptr && object.pointWork->size() >= count;
}

// The entry whose states fit the object as it is now, or null.
ObjectHistory* UsableHistory(const SceneObject& object) {
  ObjectHistory* entry = FindHistory(object.serial);
  if (entry == nullptr || entry->steps.empty() || entry->pointCount != object.pointCount ||
      object.pointCount < 0 || !BoundToWork(object, size_t(object.pointCount))) {
    return nullptr;
  }
  return entry;
}

Vec3f PositionAt(const std::vector<uint32_t>& words, size_t i) {
  return {std::bit_cast<float>(words[3 * i]), std::bit_cast<float>(words[3 * i + 1]),
          std::bit_cast<float>(words[3 * i + 2])};
}
Uv CoordinatesAt(const std::vector<uint32_t>& words, size_t i) {
  return {std::bit_cast<float>(words[2 * i]), std::bit_cast<float>(words[2 * i + 1])};
}
Rgb8 PaintOf(uint32_t word) { return {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16)}; }
uint8_t MaskOf(uint32_t word) { return uint8_t(word >> 24); }

// The state into the object's arrays and their committed copies in the work records.
void WriteObjectState(const HistorySnapshot& state, size_t count, SceneObject& object) {
  const std::vector<uint32_t>& positions = state.words[kHistoryPositions];
  const std::vector<uint32_t>& coordinates = state.words[kHistoryCoordinates];
  const std::vector<uint32_t>& paintMask = state.words[kHistoryPaintMask];
  PointWork* work = object.pointWork->data();
  for (size_t i = 0; i < count; ++i) {
    const Vec3f p = PositionAt(positions, i);
    const Rgb8 paint = PaintOf(paintMask[i]);
    const uint8_t mask = MaskOf(paintMask[i]);
    object.points[i] = p;
    object.pointUV[i] = CoordinatesAt(coordinates, i);
    object.pointColors[i] = paint;
    object.pointMask[i] = mask;
    PointWork& record = work[i];
    record.x = p.x;
    record.y = p.y;
    record.z = p.z;
    record.mask = mask;
    record.red = paint.red;
    record.green = paint.green;
    record.blue = paint.blue;
  }
}

// The state into the undo copy as the one before the object's: positions, paint, mask and the
// previous texture coordinates (2i + 1; the committed ones, 2i, are the object's own).
void WriteUndoState(const HistorySnapshot& state, size_t count, SceneObject& undo) {
  const std::vector<uint32_t>& positions = state.words[kHistoryPositions];
  const std::vector<uint32_t>& coordinates = state.words[kHistoryCoordinates];
  const std::vector<uint32_t>& paintMask = state.words[kHistoryPaintMask];
  for (size_t i = 0; i < count; ++i) {
    undo.points[i] = PositionAt(positions, i);
    undo.pointColors[i] = PaintOf(paintMask[i]);
    undo.pointMask[i] = MaskOf(paintMask[i]);
    undo.pointUV[2 * i + 1] = CoordinatesAt(coordinates, i);
  }
}

// A field the step changed takes the value it had in the state stepped to; the others stay as
// the object has them, so that a material or mapping set since the last commit outlives steps
// over changes that left them alone.
template <class T>
void Follow(const T& from, const T& to, T& field) {
  if (from != to) field = to;
}
void Follow(float from, float to, float& field) {
  if (std::bit_cast<uint32_t>(from) != std::bit_cast<uint32_t>(to)) field = to;
}
template <class T, size_t N>
void Follow(const std::array<T, N>& from, const std::array<T, N>& to, std::array<T, N>& field) {
  for (size_t i = 0; i < N; ++i) Follow(from[i], to[i], field[i]);
}

void ApplyHeaderChange(const HistoryHeader& from, const HistoryHeader& to, SceneObject& object) {
  HistoryHeader now = HistoryHeaderOf(object);
  Follow(from.optics, to.optics, now.optics);
  const TextureMapping& a = from.mapping;
  const TextureMapping& b = to.mapping;
  TextureMapping& m = now.mapping;
  Follow(a.textureUsesAlpha, b.textureUsesAlpha, m.textureUsesAlpha);
  Follow(a.textureBump, b.textureBump, m.textureBump);
  Follow(a.textureFlags, b.textureFlags, m.textureFlags);
  Follow(a.textureZoom, b.textureZoom, m.textureZoom);
  Follow(a.textureParams, b.textureParams, m.textureParams);
  Follow(a.textureOffset, b.textureOffset, m.textureOffset);
  ApplyHistoryHeader(now, object);
}

}  // namespace

void NoteObjectActivated(const SceneObject& object) {
  if (object.serial == 0) return;
  try {
    ObjectHistory& entry = HistoryFor(object);
    if (entry.steps.empty()) entry.baseHeader = HistoryHeaderOf(object);
  } catch (const std::bad_alloc&) {
    // Without an entry the first commit takes the object's material as the start: only a
    // material change made by that very commit is then not undone.
  }
}

void RecordCommittedState(const SceneObject& object, const SceneObject& undo) {
  if (object.serial == 0 || object.pointCount < 0) return;
  const size_t count = size_t(object.pointCount);
  if (!ArraysHold(object, count) || !UndoHolds(undo, count)) return;
  History& history = scene.history;
  ObjectHistory* entry = nullptr;
  try {
    entry = &HistoryFor(object);
    if (entry->pointCount != object.pointCount) {
      // Another mesh now: none of the states kept fits it.
      DropSteps(*entry);
      entry->pointCount = object.pointCount;
    }
    if (entry->steps.empty()) {
      // The history starts from the state the commit has just moved into the undo copy.
      entry->current = TakeSnapshot(PreviousWords(undo), count, entry->baseHeader);
      entry->position = 0;
      entry->bytes = SnapshotBytes(entry->current);
      history.bytes += entry->bytes;
    }
    HistoryStep step;
    const WordSource next = ObjectWords(object);
    const auto& words = entry->current.words;
    bool changed = TakeChange<kHistoryPositions>(words[kHistoryPositions], next, count,
                                                 step.changes[kHistoryPositions]);
    changed |= TakeChange<kHistoryCoordinates>(words[kHistoryCoordinates], next, count,
                                               step.changes[kHistoryCoordinates]);
    changed |= TakeChange<kHistoryPaintMask>(words[kHistoryPaintMask], next, count,
                                             step.changes[kHistoryPaintMask]);
    step.before = entry->current.header;
    step.after = HistoryHeaderOf(object);
    if (!changed && step.before == step.after) {
      if (entry->steps.empty()) ReleaseCurrent(*entry);
      return;
    }
    DropForwardSteps(*entry);
    ApplyStep(step, entry->current);
    entry->current.header = step.after;
    step.sequence = ++history.lastSequence;
    step.bytes = StepBytes(step);
    entry->steps.push_back(std::move(step));
    entry->position = entry->steps.size();
    entry->bytes += entry->steps.back().bytes;
    history.bytes += entry->steps.back().bytes;
  } catch (const std::bad_alloc&) {
    // The commit itself has been made; only its history is lost, and all of it, since the
    // states kept no longer lead to the object's.
    if (entry != nullptr) DropSteps(*entry);
    return;
  }
  TrimToBudget(entry);
}

void DropObjectHistory(uint64_t serial) {
  std::vector<ObjectHistory>& objects = scene.history.objects;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i].serial != serial) continue;
    scene.history.bytes -= objects[i].bytes;
    objects.erase(objects.begin() + std::ptrdiff_t(i));
    return;
  }
}

size_t HistoryStepsBack(const SceneObject& object) {
  const ObjectHistory* entry = UsableHistory(object);
  return entry != nullptr ? entry->position : 0;
}

size_t HistoryStepsForward(const SceneObject& object) {
  const ObjectHistory* entry = UsableHistory(object);
  return entry != nullptr ? entry->steps.size() - entry->position : 0;
}

bool StepObjectHistory(SceneObject& object, SceneObject& undo, int direction, HistoryHeader* before) {
  ObjectHistory* usable = &object != &undo ? UsableHistory(object) : nullptr;
  if (usable == nullptr) return false;
  ObjectHistory& entry = *usable;
  const size_t count = size_t(object.pointCount);
  if (!ArraysHold(object, count) || !UndoHolds(undo, count)) return false;
  for (size_t c = 0; c < kHistoryChannelCount; ++c) {
    if (entry.current.words[c].size() != count * kHistoryWordsPerPoint[c]) return false;
  }
  if (direction < 0 ? entry.position == 0 : entry.position == entry.steps.size()) return false;

  const HistoryHeader was = HistoryHeaderOf(object);
  const HistoryHeader from = entry.current.header;
  if (direction < 0) {
    --entry.position;
    ApplyStep(entry.steps[entry.position], entry.current);
    entry.current.header = entry.steps[entry.position].before;
  } else {
    ApplyStep(entry.steps[entry.position], entry.current);
    entry.current.header = entry.steps[entry.position].after;
    ++entry.position;
  }
  HistorySnapshot& state = entry.current;
  WriteObjectState(state, count, object);
  ApplyHeaderChange(from, state.header, object);
  for (size_t i = 0; i < count; ++i) undo.pointUV[2 * i] = object.pointUV[i];

  // The undo copy takes the state before this one, as the commit that made this one left it.
  HistoryHeader previous = state.header;
  if (entry.position > 0) {
    const HistoryStep& into = entry.steps[entry.position - 1];
    ApplyStep(into, state);
    WriteUndoState(state, count, undo);
    ApplyStep(into, state);
    previous = into.before;
  } else {
    WriteUndoState(state, count, undo);
  }
  if (before != nullptr) *before = previous;

  undo.hasUnsavedChanges = object.hasUnsavedChanges;
  object.hasUnsavedChanges = 1;
  object.dirtyFlags = kAllDirty;
  // The texture work image follows the mapping's alpha, repetition and strength.
  if (!(was.mapping == TextureMappingOf(object)) && scene.prepareTextureWorkImage) {
    scene.prepareTextureWorkImage(object);
  }
  return true;
}

size_t ObjectHistoryBytes(uint64_t serial) {
  const ObjectHistory* entry = FindHistory(serial);
  return entry != nullptr ? entry->bytes : 0;
}

}  // namespace tsv
