#include "imaging/nudge.h"

#include <algorithm>
#include <limits>

namespace pg {
namespace {

std::int32_t Step(std::int32_t v, int by) noexcept {
  using Limits = std::numeric_limits<std::int32_t>;
  const std::int64_t moved = std::int64_t{v} + by;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(moved, Limits::min(), Limits::max()));
}

}  // namespace

Offset NudgeOffset(Offset stored, Arrow arrow, bool large) noexcept {
  const int by = large ? kNudgeStepLarge : kNudgeStep;
  switch (arrow) {
    case Arrow::kLeft: return {Step(stored.x, -by), stored.y};
    case Arrow::kRight: return {Step(stored.x, by), stored.y};
    case Arrow::kUp: return {stored.x, Step(stored.y, -by)};
    case Arrow::kDown: return {stored.x, Step(stored.y, by)};
  }
  return stored;
}

void NudgeLayer(LayerModel& model, Slot slot, Arrow arrow, bool large) {
  model.SetOffset(slot, NudgeOffset(model.OffsetOf(slot), arrow, large));
  model.ComposeLayers(model.OffsetOf(Slot::kUpper), model.OffsetOf(Slot::kLower));
}

}  // namespace pg
