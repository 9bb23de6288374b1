// Undo and redo of the layer state. A step holds the whole state a change
// started from (the slots' icons, their offsets, the selected slot), never a
// picture of it, so an undo gives back exactly what was there. Icons are kept
// as shared immutable values: a step that changed one offset shares both
// icons with its neighbours, so a hundred nudges cost a hundred small
// records, not two hundred icons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "imaging/icon.h"
#include "imaging/layers.h"

namespace pg {

// Everything an undo puts back. New kinds of layer state belong here, with
// their capture and restore in CaptureLayers() and RestoreLayers().
struct LayerSnapshot {
  std::shared_ptr<const SlotContent> upper = std::make_shared<const SlotContent>();
  std::shared_ptr<const SlotContent> lower = std::make_shared<const SlotContent>();
  Offset upperOffset;
  Offset lowerOffset;
  // The slot the selection frame marks: where the keyboard moves act.
  Slot selected = Slot::kUpper;

  const Icon& IconOf(Slot s) const noexcept { return (s == Slot::kUpper ? upper : lower)->icon; }
  Offset OffsetOf(Slot s) const noexcept { return s == Slot::kUpper ? upperOffset : lowerOffset; }
};

// The same icons and offsets; the selection is not compared, since choosing a
// slot alone changes nothing the user would want to undo.
bool SameLayers(const LayerSnapshot& a, const LayerSnapshot& b);

LayerSnapshot CaptureLayers(const LayerModel& model, Slot selected);
// Puts the snapshot's icons and offsets into the model and rebuilds it; the
// selection is the caller's to show.
void RestoreLayers(LayerModel& model, const LayerSnapshot& state);

// A change that may join the step before it: presses of one arrow key in
// quick succession make one step. `key` 0 never joins; `timeMs` is any
// millisecond clock the caller keeps, only differences count.
struct RunKey {
  std::uint32_t key = 0;
  std::int64_t timeMs = 0;
};

class LayerHistory {
 public:
  static constexpr std::size_t kDefaultDepth = 100;
  // Two changes with the same run key at most this far apart make one step.
  static constexpr std::int64_t kRunWindowMs = 1000;

  explicit LayerHistory(std::size_t depth = kDefaultDepth) : depth_(depth < 1 ? 1 : depth) {}

  // A change took the layers from `before` to `after`. Unless it left them as
  // they were, it becomes an undo step (or joins the step of its run) and the
  // redo steps are dropped. True when the history changed.
  bool Record(const LayerSnapshot& before, const LayerSnapshot& after, RunKey run = {});

  bool CanUndo() const noexcept { return !undo_.empty(); }
  bool CanRedo() const noexcept { return !redo_.empty(); }
  std::size_t UndoCount() const noexcept { return undo_.size(); }
  std::size_t RedoCount() const noexcept { return redo_.size(); }

  // The state to go back to, with `current` kept for a redo; nothing when
  // there is no step.
  std::optional<LayerSnapshot> Undo(const LayerSnapshot& current);
  // The state an undo left, with `current` kept for the next undo.
  std::optional<LayerSnapshot> Redo(const LayerSnapshot& current);

  void Clear() noexcept;

 private:
  std::optional<LayerSnapshot> Move(std::deque<LayerSnapshot>& from, std::deque<LayerSnapshot>& to,
                                    const LayerSnapshot& current);
  std::size_t depth_;
  std::deque<LayerSnapshot> undo_;  // oldest first
  std::deque<LayerSnapshot> redo_;  // the next redo last
  std::optional<RunKey> run_;       // the run the newest undo step belongs to
};

}  // namespace pg
