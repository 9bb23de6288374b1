#include "session/session.h"

#include <utility>

#include "imaging/folder_icon_setting.h"
#include "imaging/keysplit.h"
#include "imaging/merge.h"
#include "imaging/multi_size.h"

namespace pg {

Session::Session() = default;

Place Session::SelectionFrame(Slot selected) noexcept {
  const Place& box = selected == Slot::kUpper ? layout::Image1 : layout::Image2;
  return Place{layout::kSelectionFrameLeft, box.top - 1, layout::Shape1.width,
               layout::Shape1.height};
}

namespace {
std::size_t SlotIndex(Slot s) noexcept { return s == Slot::kUpper ? 0 : 1; }
}  // namespace

void Session::SetStartContent(Slot s, SlotContent content) {
  startIcons_[SlotIndex(s)] = content.icon;
  layers_.SetContent(s, std::move(content));
}

bool Session::HoldsStartPicture(Slot s) const noexcept {
  return layers_.IconOf(s) == startIcons_[SlotIndex(s)];
}

Changes Session::Rebuild() {
  layers_.Rebuild();
  return Changes{.slots = true, .composite = true};
}

Changes Session::Press(int x, int y) {
  // Taken before the press moves the frame: an undo of the drag puts the
  // frame back where it was.
  LayerSnapshot before = Current();
  const Slot picked = PickLayer(layers_.IconOf(Slot::kUpper).mask, layers_.OffsetOf(Slot::kUpper),
                                x, y, scale_.ZoomPixel());
  Changes changed{.selection = picked != selected_};
  selected_ = picked;
  drag_ = Drag{{x, y}, layers_.OffsetOf(picked), std::move(before)};
  // The drag starts from the picked slot's own offsets, and a release
  // without any move commits them unchanged.
  changed |= Move(x, y);
  return changed;
}

Changes Session::Move(int x, int y) {
  if (!drag_) return {};
  drag_->offset = DragOffset(layers_.OffsetOf(selected_), drag_->start.x, drag_->start.y, x, y,
                             scale_.ZoomPixel());
  const bool upper = selected_ == Slot::kUpper;
  layers_.ComposeLayers(upper ? drag_->offset : layers_.OffsetOf(Slot::kUpper),
                        upper ? layers_.OffsetOf(Slot::kLower) : drag_->offset);
  return Changes{.composite = true};
}

Changes Session::Release() {
  if (!drag_) return {};
  const Drag drag = std::move(*drag_);
  drag_.reset();
  layers_.SetOffset(selected_, drag.offset);
  return Changes{.history = Record(drag.before)};
}

Changes Session::Nudge(Arrow arrow, bool large, std::int64_t timeMs) {
  if (drag_) return {};
  const LayerSnapshot before = Current();
  NudgeLayer(layers_, selected_, arrow, large);
  // One run per arrow and slot: a held key, or quick presses, are one step.
  const auto run = (static_cast<std::uint32_t>(arrow) + 1) |
                   (static_cast<std::uint32_t>(selected_) << 16);
  return Changes{.composite = true, .history = Record(before, {run, timeMs})};
}

bool Session::Record(const LayerSnapshot& before, RunKey run) {
  return history_.Record(before, Current(), run);
}

Changes Session::Show(const LayerSnapshot& state) {
  RestoreLayers(layers_, state);
  selected_ = state.selected;
  return Changes{.slots = true, .composite = true, .selection = true, .history = true};
}

Changes Session::Undo() {
  if (drag_) return {};
  if (auto back = history_.Undo(Current())) return Show(*back);
  return {};
}

Changes Session::Redo() {
  if (drag_) return {};
  if (auto forward = history_.Redo(Current())) return Show(*forward);
  return {};
}

Changes Session::PutIcon(Slot s, SlotContent content) {
  const LayerSnapshot before = Current();
  layers_.SetContent(s, std::move(content));
  layers_.SetOffset(s, {});
  layers_.Rebuild();
  return Changes{.slots = true, .composite = true, .history = Record(before)};
}

std::optional<Slot> Session::SlotAt(Point at, Scale scale) noexcept {
  for (const Slot s : {Slot::kUpper, Slot::kLower}) {
    const Place& box = s == Slot::kUpper ? layout::Image1 : layout::Image2;
    if (at.x >= scale.Edge(box.left) && at.x < scale.Edge(box.left + box.width + 1) &&
        at.y >= scale.Edge(box.top) && at.y < scale.Edge(box.top + box.height + 1))
      return s;
  }
  return std::nullopt;
}

DropPlan Session::PlanDrop(std::u16string_view path, Point at) const {
  return DropPlan{SlotAt(at, scale_), RouteOfExtension(ExtensionOfPath(path))};
}

DropPlan Session::PlanOpen(std::u16string_view path, Slot slot) {
  return DropPlan{slot, RouteOfExtension(ExtensionOfPath(path))};
}

std::vector<StartFile> Session::PlanStartFiles(std::span<const std::u16string> paths) {
  std::vector<StartFile> files;
  const Slot order[] = {Slot::kUpper, Slot::kLower};
  for (std::size_t i = 0; i < paths.size() && i < std::size(order); ++i)
    if (!paths[i].empty()) files.push_back(StartFile{order[i], paths[i]});
  return files;
}

bool Session::FileUnreadable(Error e) noexcept {
  return e == Error::kFileNotFound || e == Error::kFileUnreadable;
}

void Session::FollowDroppedFile(std::u16string_view path) { dialogFolder_ = FolderOfPath(path); }

Result<Changes> Session::Merge(const ProgressFn& progress) {
  saveDepth_ = kMergeDepth;
  const LayerSnapshot before = Current();
  const Error e = MergeIcons(layers_, palette_, progress);
  if (e != Error::kOk) return e;
  return Changes{.slots = true, .composite = true, .history = Record(before)};
}

void Session::BeginSave() { split_ = SplitKeyColour(layers_.Composite()); }

std::vector<std::uint8_t> Session::SaveBytes(SaveType type, const ProgressFn& progress) {
  dialogType_ = type;
  if (type == SaveType::kIcon8) saveDepth_ = 8;
  if (type == SaveType::kIcon24) saveDepth_ = 24;
  if (type == SaveType::kMultiSize) return WriteModelMultiSizeIcon(layers_);
  return WriteIconFile(split_, saveDepth_, palette_, progress).bytes;
}

void Session::Saved(std::u16string_view path) { dialogFolder_ = FolderOfPath(path); }

}  // namespace pg
