// Moving a layer from the keyboard: an arrow key moves the selected slot's
// layer by one pixel of the cell, four with Shift, for placing an icon to the
// exact pixel without a steady hand.
#pragma once

#include "imaging/layers.h"

namespace pg {

enum class Arrow { kLeft, kUp, kRight, kDown };

inline constexpr int kNudgeStep = 1;
inline constexpr int kNudgeStepLarge = 4;

// The offset one press moves to. Offsets far out stop at the limits of their
// type instead of wrapping round to the other side.
Offset NudgeOffset(Offset stored, Arrow arrow, bool large) noexcept;

// One press on the slot's layer: the new offset is stored and composed with
// block operations only, as a drag's move and then its release would.
void NudgeLayer(LayerModel& model, Slot slot, Arrow arrow, bool large);

}  // namespace pg
