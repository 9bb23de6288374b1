#include "imaging/history.h"

#include <utility>

namespace pg {
namespace {

bool SameIcon(const std::shared_ptr<const SlotContent>& a,
              const std::shared_ptr<const SlotContent>& b) {
  return a == b || *a == *b;
}

// Lets `s` hold the neighbour's icon objects wherever the pictures agree, so
// unchanged icons are stored once however many steps keep them.
void ShareIcons(LayerSnapshot& s, const LayerSnapshot* neighbour) {
  if (!neighbour) return;
  if (s.upper != neighbour->upper && *s.upper == *neighbour->upper) s.upper = neighbour->upper;
  if (s.lower != neighbour->lower && *s.lower == *neighbour->lower) s.lower = neighbour->lower;
}

template <typename Stack>
const LayerSnapshot* Top(const Stack& stack) {
  return stack.empty() ? nullptr : &stack.back();
}

}  // namespace

bool SameLayers(const LayerSnapshot& a, const LayerSnapshot& b) {
  return a.upperOffset == b.upperOffset && a.lowerOffset == b.lowerOffset &&
         SameIcon(a.upper, b.upper) && SameIcon(a.lower, b.lower);
}

LayerSnapshot CaptureLayers(const LayerModel& model, Slot selected) {
  LayerSnapshot s;
  s.upper = std::make_shared<const SlotContent>(
      SlotContent{model.IconOf(Slot::kUpper), model.SourceOf(Slot::kUpper)});
  s.lower = std::make_shared<const SlotContent>(
      SlotContent{model.IconOf(Slot::kLower), model.SourceOf(Slot::kLower)});
  s.upperOffset = model.OffsetOf(Slot::kUpper);
  s.lowerOffset = model.OffsetOf(Slot::kLower);
  s.selected = selected;
  return s;
}

void RestoreLayers(LayerModel& model, const LayerSnapshot& state) {
  model.SetIcon(Slot::kUpper, state.upper->icon, state.upper->source);
  model.SetIcon(Slot::kLower, state.lower->icon, state.lower->source);
  model.SetOffset(Slot::kUpper, state.upperOffset);
  model.SetOffset(Slot::kLower, state.lowerOffset);
  model.Rebuild();
}

bool LayerHistory::Record(const LayerSnapshot& before, const LayerSnapshot& after, RunKey run) {
  if (SameLayers(before, after)) return false;
  redo_.clear();
  const bool joins = run.key != 0 && run_ && run_->key == run.key && !undo_.empty() &&
                     run.timeMs >= run_->timeMs && run.timeMs - run_->timeMs < kRunWindowMs;
  if (run.key != 0)
    run_ = run;
  else
    run_.reset();
  // A joining change keeps the step its run began with: one undo takes the
  // whole run back.
  if (joins) return true;
  LayerSnapshot step = before;
  ShareIcons(step, Top(undo_));
  undo_.push_back(std::move(step));
  while (undo_.size() > depth_) undo_.pop_front();
  return true;
}

// Takes the last step of `from` and records `current` on `to`: undo and
// redo are the same move between the two stacks.
std::optional<LayerSnapshot> LayerHistory::Move(std::deque<LayerSnapshot>& from, std::deque<LayerSnapshot>& to,
                                                const LayerSnapshot& current) {
  if (from.empty()) return std::nullopt;
  LayerSnapshot taken = std::move(from.back());
  from.pop_back();
  run_.reset();
  LayerSnapshot kept = current;
  ShareIcons(kept, &taken);
  ShareIcons(kept, Top(to));
  to.push_back(std::move(kept));
  while (to.size() > depth_) to.pop_front();
  return taken;
}

std::optional<LayerSnapshot> LayerHistory::Undo(const LayerSnapshot& current) { return Move(undo_, redo_, current); }

std::optional<LayerSnapshot> LayerHistory::Redo(const LayerSnapshot& current) { return Move(redo_, undo_, current); }

void LayerHistory::Clear() noexcept {
  undo_.clear();
  redo_.clear();
  run_.reset();
}

}  // namespace pg
