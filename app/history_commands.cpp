// Taking changes back: undo and redo of the layer state (the pop-up menu's
// items, Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z), and the arrow keys, which move
// the selected slot's layer a pixel at a time (four with Shift). Every change
// of the layers is recorded here as the state it started from; the history
// itself is the core's (pg::LayerHistory).
#include "main_window.h"
#include "imaging/nudge.h"

void TForm1::MakeHistoryItems() {
  undo1.OnClick = [this](pgf::MenuItem& s) { UndoClick(s); };
  redo1.OnClick = [this](pgf::MenuItem& s) { RedoClick(s); };
  undo1.SetEnabled(false);
  redo1.SetEnabled(false);
}

pg::LayerSnapshot TForm1::CurrentLayers() const {
  return pg::CaptureLayers(layers_, UpperSelected() ? pg::Slot::kUpper : pg::Slot::kLower);
}

void TForm1::RecordChange(const pg::LayerSnapshot& before, pg::RunKey run) {
  history_.Record(before, CurrentLayers(), run);
  undo1.SetEnabled(history_.CanUndo());
  redo1.SetEnabled(history_.CanRedo());
}

// The slots, the frame, the preview and the zoom view, all from the stored
// state.
void TForm1::ShowLayerState(const pg::LayerSnapshot& state) {
  pg::RestoreLayers(layers_, state);
  Image1.SetIcon(state.IconOf(pg::Slot::kUpper));
  Image2.SetIcon(state.IconOf(pg::Slot::kLower));
  Shape1.SetTop((state.selected == pg::Slot::kUpper ? Image1 : Image2).Top() - 1);
  omote.SetBitmap(layers_.Composite());
  omotebi.SetBitmap(layers_.Zoomed());
  undo1.SetEnabled(history_.CanUndo());
  redo1.SetEnabled(history_.CanRedo());
  Update();
}

// Not in mid-drag: the drag's release commits against the state its press
// saw, which an undo would have pulled away from under it.
void TForm1::UndoClick(pgf::MenuItem&) {
  if (Tag == 1) return;
  if (auto back = history_.Undo(CurrentLayers())) ShowLayerState(*back);
}

void TForm1::RedoClick(pgf::MenuItem&) {
  if (Tag == 1) return;
  if (auto forward = history_.Redo(CurrentLayers())) ShowLayerState(*forward);
}

// Keys the menu's accelerators leave: Ctrl+Shift+Z, and the arrows with or
// without Shift. They reach this window only while it has the keyboard, that
// is while it is the active window.
bool TForm1::HistoryKeyDown(WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  if (key == 'Z' && ctrl && shift && !alt) {
    RedoClick(redo1);
    return true;
  }
  pg::Arrow arrow;
  switch (key) {
    case VK_LEFT: arrow = pg::Arrow::kLeft; break;
    case VK_UP: arrow = pg::Arrow::kUp; break;
    case VK_RIGHT: arrow = pg::Arrow::kRight; break;
    case VK_DOWN: arrow = pg::Arrow::kDown; break;
    default: return false;
  }
  if (ctrl || alt) return false;
  if (Tag == 1) return true;
  const pg::Slot slot = UpperSelected() ? pg::Slot::kUpper : pg::Slot::kLower;
  const pg::LayerSnapshot before = CurrentLayers();
  pg::NudgeLayer(layers_, slot, arrow, shift);
  omote.SetBitmap(layers_.Composite());
  omotebi.SetBitmap(layers_.Zoomed());
  Update();
  // Presses of one arrow on one slot in quick succession are one step; a
  // held key repeats them.
  const auto run = static_cast<std::uint32_t>(key) | (static_cast<std::uint32_t>(slot) << 16);
  RecordChange(before, {run, static_cast<std::int64_t>(GetTickCount64())});
  return true;
}
