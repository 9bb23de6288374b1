// The editing session behind the main window: what the user edits and every
// rule of editing it, with no window in sight. It owns the two slots and
// their offsets, the history, the selected slot, the drag in progress, the
// save settings and the palette. Its operations are the user's own (a press
// in the zoom view, an arrow key, undo, a drop, a paste, a merge, a save),
// and each says what it changed, so the window repaints once from that and
// never keeps editing state of its own.
#pragma once

#include <cstdint>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/history.h"
#include "imaging/icon.h"
#include "imaging/icon_intake.h"
#include "imaging/icon_writer.h"
#include "imaging/layers.h"
#include "imaging/nudge.h"
#include "imaging/palette.h"
#include "imaging/result.h"
#include "session/layout.h"

namespace pg {

// What an operation changed: the window repaints exactly these.
struct Changes {
  bool slots = false;      // the pictures in the slot boxes
  bool composite = false;  // the preview and the zoom view
  bool selection = false;  // the frame round the selected slot
  bool history = false;    // whether undo and redo can be used

  bool Any() const noexcept { return slots || composite || selection || history; }
  Changes& operator|=(const Changes& o) noexcept {
    slots |= o.slots;
    composite |= o.composite;
    selection |= o.selection;
    history |= o.history;
    return *this;
  }
  friend bool operator==(const Changes&, const Changes&) = default;
};

// The save dialog's types, by their 1-based place in its list.
enum class SaveType : std::uint32_t {
  kIcon8 = 1,      // "8bit icon file (256color)"
  kIcon24 = 2,     // "24bit icon file (true color)"
  kAllTypes = 3,   // "all types": the depth the button's press chose
  kMultiSize = 4,  // every size the shell shows, with alpha
};

// Where a drop lands and how its file is read.
struct DropPlan {
  std::optional<Slot> slot;  // the slot box under the drop point, if any
  DropRoute route = DropRoute::kOther;
};

// A file named on the program's command line and the slot it goes to.
struct StartFile {
  Slot slot = Slot::kUpper;
  std::u16string path;
  friend bool operator==(const StartFile&, const StartFile&) = default;
};

class Session {
 public:
  Session();

  // --- What the window shows ---
  const LayerModel& Layers() const noexcept { return layers_; }
  const Icon& IconOf(Slot s) const noexcept { return layers_.IconOf(s); }
  Offset OffsetOf(Slot s) const noexcept { return layers_.OffsetOf(s); }
  const Image& Composite() const noexcept { return layers_.Composite(); }
  const Image& Zoomed() const noexcept { return layers_.Zoomed(); }
  Slot Selected() const noexcept { return selected_; }
  bool Dragging() const noexcept { return drag_.has_value(); }
  bool CanUndo() const noexcept { return history_.CanUndo(); }
  bool CanRedo() const noexcept { return history_.CanRedo(); }
  // The frame round the selected slot, in client pixels at 100 %.
  static Place SelectionFrame(Slot selected) noexcept;

  // The display scale the window is drawn at: zoom-view points and drop
  // points are device pixels at this scale.
  void SetScale(Scale scale) noexcept { scale_ = scale; }
  Scale GetScale() const noexcept { return scale_; }

  // --- Start ---
  // A slot's icon before the user did anything: no history step, no offset
  // change. Rebuild() then draws the first composite.
  void SetStartContent(Slot s, SlotContent content);
  Changes Rebuild();

  // --- The zoom view, in its own device pixels (0 .. 128 * s - 1 inside
  // it; a captured pointer may be anywhere) ---
  // A press of the left button picks the upper slot where its icon is
  // opaque under the pointer and the lower one anywhere else, and starts
  // a drag of that slot's layer.
  Changes Press(int x, int y);
  // The dragged layer follows at a quarter of the pointer's movement: one
  // composite pixel per 4 * s device pixels, the same at every scale.
  Changes Move(int x, int y);
  // The drag's offset becomes the slot's; one history step if it moved.
  Changes Release();
  // Another window took the pointer: the drag ends as a release would, so
  // it never hangs on.
  Changes CaptureLost() { return Release(); }

  // --- Keys ---
  // An arrow moves the selected slot's layer by one pixel (four with
  // `large`). Presses of one arrow on one slot within a second of each other
  // are one history step; `timeMs` is any millisecond clock. Ignored while
  // dragging.
  Changes Nudge(Arrow arrow, bool large, std::int64_t timeMs);
  // Both refused in mid-drag: the release commits against the state its
  // press saw, which an undo would pull away from under it.
  Changes Undo();
  Changes Redo();

  // --- Getting icons in ---
  // A drop, the picker's choice or a paste: the slot takes the content at
  // 0, 0 and the composite is rebuilt; one history step.
  Changes PutIcon(Slot s, SlotContent content);
  // Which slot box a drop at `at` (client device pixels) lands on, and how
  // the file is read by its extension.
  DropPlan PlanDrop(std::u16string_view path, Point at) const;
  // A slot box takes a drop on any of its pixels and on the layout line just
  // past its right and bottom edges.
  static std::optional<Slot> SlotAt(Point at, Scale scale = {}) noexcept;
  // A file opened from the menu for the slot the user chose: read as a
  // drop of it on that slot would be.
  static DropPlan PlanOpen(std::u16string_view path, Slot slot);
  // Files named on the command line, already made full paths: the first
  // goes to the upper slot, the second to the lower one, in that order;
  // any further ones are left alone, and an empty argument stands for no
  // file at its place.
  static std::vector<StartFile> PlanStartFiles(std::span<const std::u16string> paths);
  // Whether an error in opening a file means the file itself could not be
  // read (missing, or locked by another program). The user hears of it on
  // every route; a readable file that merely holds no icons, and a folder,
  // are passed over in silence, as the shell passes over them.
  static bool FileUnreadable(Error e) noexcept;
  // Whether a slot still shows the picture it started with, so the window
  // can tell a new user how icons come in. An undo back to the start counts.
  bool HoldsStartPicture(Slot s) const noexcept;
  // The next save dialog starts in the folder of a dropped file; the window
  // calls this once a drop was handled without a refusal.
  void FollowDroppedFile(std::u16string_view path);

  // --- Merge ---
  // The composite becomes the lower icon at 0, 0, the upper slot is freed;
  // one history step. Leaves the save depth at the merge's 24 bits. On
  // failure nothing else changes and the error is returned.
  Result<Changes> Merge(const ProgressFn& progress = {});

  // --- Save ---
  // The save button's press: Shift with the left button alone asks for
  // 8 bits, anything else for 24.
  void SaveButtonPressed(bool shiftAndLeftOnly) noexcept { saveDepth_ = shiftAndLeftOnly ? 8 : 24; }
  // The click, before the dialog: the composite as it is now is what gets
  // saved.
  void BeginSave();
  // The file's bytes for the type chosen in the dialog, which the dialog
  // offers first next time; the first two types also set the depth.
  std::vector<std::uint8_t> SaveBytes(SaveType type, const ProgressFn& progress = {});
  // The file was written: the next dialog starts in its folder.
  void Saved(std::u16string_view path);

  int SaveDepth() const noexcept { return saveDepth_; }
  SaveType DialogType() const noexcept { return dialogType_; }
  const std::u16string& DialogFolder() const noexcept { return dialogFolder_; }
  void SetDialogFolder(std::u16string folder) { dialogFolder_ = std::move(folder); }

 private:
  struct Drag {
    Point start;
    Offset offset;            // where the dragged layer is drawn now
    LayerSnapshot before;     // the layers at the press
  };

  LayerSnapshot Current() const { return CaptureLayers(layers_, selected_); }
  // Records the change from `before`; whether undo/redo changed state.
  bool Record(const LayerSnapshot& before, RunKey run = {});
  Changes Show(const LayerSnapshot& state);

  LayerModel layers_;
  LayerHistory history_;
  Slot selected_ = Slot::kUpper;
  std::optional<Drag> drag_;
  Scale scale_;
  PaletteTable palette_;
  Icon split_;  // the composite's colour and mask at the save button's click
  int saveDepth_ = 24;
  SaveType dialogType_ = SaveType::kIcon8;
  std::u16string dialogFolder_;
  std::array<Icon, 2> startIcons_;  // by slot: upper, lower
};

}  // namespace pg
