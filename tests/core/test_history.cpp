#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "imaging/history.h"
#include "imaging/merge.h"
#include "imaging/nudge.h"

namespace pg {
namespace {

// A 32x32 icon whose opaque pixels form a diagonal band in `colour`, so every
// offset shows in the composite.
Icon Band(Colour colour, int width = 8) {
  Icon icon{Image(32, 32, kBlack), Image(32, 32, kWhite)};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if ((x + y) % 32 < width) {
        icon.mask.SetPixel(x, y, kBlack);
        icon.colour.SetPixel(x, y, colour);
      }
  return icon;
}

// The window's part in a test: the model, the selected slot and the history,
// with each change recorded the way the window records it.
struct Editor {
  LayerModel model;
  Slot selected = Slot::kUpper;
  LayerHistory history;

  Editor() {
    model.SetIcon(Slot::kUpper, Band(Rgb(200, 0, 0)));
    model.SetIcon(Slot::kLower, Band(Rgb(0, 0, 200), 20));
    model.Rebuild();
  }
  LayerSnapshot Now() const { return CaptureLayers(model, selected); }

  bool PutIcon(Slot slot, Icon icon) {
    const LayerSnapshot before = Now();
    model.SetIcon(slot, std::move(icon));
    model.SetOffset(slot, {});
    model.Rebuild();
    return history.Record(before, Now());
  }
  // A press at (x0, y0) in the zoom view, moves, and the release at the last
  // point.
  bool Drag(int x0, int y0, const std::vector<std::pair<int, int>>& moves) {
    const LayerSnapshot before = Now();
    selected = PickLayer(model.IconOf(Slot::kUpper).mask, model.OffsetOf(Slot::kUpper), x0, y0);
    Offset o = model.OffsetOf(selected);
    for (auto [x, y] : moves) o = DragOffset(model.OffsetOf(selected), x0, y0, x, y);
    model.SetOffset(selected, o);
    model.ComposeLayers(model.OffsetOf(Slot::kUpper), model.OffsetOf(Slot::kLower));
    return history.Record(before, Now());
  }
  bool Press(Arrow a, bool large, std::int64_t ms) {
    const LayerSnapshot before = Now();
    NudgeLayer(model, selected, a, large);
    const auto key = static_cast<std::uint32_t>(a) + 1 + (selected == Slot::kLower ? 16 : 0);
    return history.Record(before, Now(), {key, ms});
  }
  bool Merge() {
    const LayerSnapshot before = Now();
    PaletteTable table;
    if (MergeIcons(model, table) != Error::kOk) return false;
    return history.Record(before, Now());
  }
  bool Undo() { return Restore(history.Undo(Now())); }
  bool Redo() { return Restore(history.Redo(Now())); }
  bool Restore(const std::optional<LayerSnapshot>& step) {
    if (!step) return false;
    RestoreLayers(model, *step);
    selected = step->selected;
    return true;
  }
};

// What the user sees of the layer state: both slots, both offsets, the frame
// and the composite with its zoom view.
struct Seen {
  Icon upper, lower;
  Offset upperOffset, lowerOffset;
  Slot selected;
  Image composite, zoomed;
  friend bool operator==(const Seen&, const Seen&) = default;
};

Seen Look(const Editor& e) {
  return {e.model.IconOf(Slot::kUpper), e.model.IconOf(Slot::kLower),
          e.model.OffsetOf(Slot::kUpper), e.model.OffsetOf(Slot::kLower), e.selected,
          e.model.Composite(), e.model.Zoomed()};
}

TEST(LayerHistory, UndoAndRedoGiveBackEveryStateExactly) {
  Editor e;
  std::vector<Seen> seen{Look(e)};
  // Drag the lower layer (a press where the upper band is transparent).
  ASSERT_TRUE(e.Drag(120, 4, {{110, 10}, {100, 17}}));
  seen.push_back(Look(e));
  ASSERT_EQ(e.selected, Slot::kLower);
  ASSERT_NE(e.model.OffsetOf(Slot::kLower), Offset{});
  ASSERT_TRUE(e.PutIcon(Slot::kUpper, Band(Rgb(0, 150, 0), 3)));
  seen.push_back(Look(e));
  ASSERT_TRUE(e.Press(Arrow::kRight, true, 0));
  seen.push_back(Look(e));
  // A drag of the upper layer wholly out of the cell.
  ASSERT_TRUE(e.Drag(0, 0, {{200, 0}, {400, 300}}));
  seen.push_back(Look(e));
  ASSERT_EQ(e.selected, Slot::kUpper);
  ASSERT_EQ(PickLayer(e.model.IconOf(Slot::kUpper).mask, e.model.OffsetOf(Slot::kUpper), 0, 0),
            Slot::kLower);
  ASSERT_TRUE(e.Merge());
  seen.push_back(Look(e));

  for (std::size_t i = seen.size() - 1; i-- > 0;) {
    ASSERT_TRUE(e.Undo());
    EXPECT_TRUE(Look(e) == seen[i]) << "after undoing back to state " << i;
  }
  EXPECT_FALSE(e.Undo());
  EXPECT_TRUE(Look(e) == seen[0]);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    ASSERT_TRUE(e.Redo());
    EXPECT_TRUE(Look(e) == seen[i]) << "after redoing to state " << i;
  }
  EXPECT_FALSE(e.Redo());
}

TEST(LayerHistory, ANewChangeDropsTheRedoStepsAndANoOpKeepsThem) {
  Editor e;
  ASSERT_TRUE(e.Press(Arrow::kLeft, false, 0));
  ASSERT_TRUE(e.Press(Arrow::kDown, false, 0));
  ASSERT_TRUE(e.Undo());
  ASSERT_TRUE(e.history.CanRedo());
  // A click without movement (on the lower layer: the selection moves) is no
  // change.
  EXPECT_FALSE(e.Drag(64, 4, {}));
  EXPECT_EQ(e.selected, Slot::kLower);
  EXPECT_TRUE(e.history.CanRedo());
  const Seen before = Look(e);
  ASSERT_TRUE(e.Press(Arrow::kUp, true, 5000));
  EXPECT_FALSE(e.history.CanRedo());
  EXPECT_FALSE(e.Redo());
  ASSERT_TRUE(e.Undo());
  EXPECT_TRUE(Look(e) == before);
  EXPECT_EQ(e.history.UndoCount(), 1u);
}

TEST(LayerHistory, ChangesThatLeaveTheLayersAsTheyWereAddNoStep) {
  struct Case {
    const char* what;
    bool (*change)(Editor&);
  };
  const Case cases[] = {
      {"a click without movement", [](Editor& e) { return e.Drag(0, 0, {}); }},
      {"moves that end where they began",
       [](Editor& e) { return e.Drag(0, 0, {{40, 13}, {-60, 2}, {1, -1}}); }},
      {"moves under a quarter pixel", [](Editor& e) { return e.Drag(64, 64, {{65, 66}}); }},
      {"the same icon again at the same place",
       [](Editor& e) { return e.PutIcon(Slot::kUpper, Band(Rgb(200, 0, 0))); }},
  };
  for (const Case& c : cases) {
    Editor e;
    EXPECT_FALSE(c.change(e)) << c.what;
    EXPECT_FALSE(e.history.CanUndo()) << c.what;
  }
}

TEST(LayerHistory, KeepsTheNewestHundredSteps) {
  Editor e;
  std::vector<Seen> seen{Look(e)};
  for (int i = 0; i < 150; ++i) {
    ASSERT_TRUE(e.Press(i % 2 ? Arrow::kDown : Arrow::kRight, false, i * 5000));
    seen.push_back(Look(e));
  }
  EXPECT_EQ(e.history.UndoCount(), LayerHistory::kDefaultDepth);
  EXPECT_GE(LayerHistory::kDefaultDepth, 100u);
  for (std::size_t i = 0; i < LayerHistory::kDefaultDepth; ++i) ASSERT_TRUE(e.Undo());
  EXPECT_FALSE(e.Undo());
  EXPECT_TRUE(Look(e) == seen[150 - LayerHistory::kDefaultDepth]);
}

TEST(LayerHistory, StepsShareTheIconsTheyHaveInCommon) {
  Editor e;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(e.Press(Arrow::kRight, false, i * 5000));
  auto a = e.history.Undo(e.Now());
  ASSERT_TRUE(a);
  auto b = e.history.Undo(*a);
  ASSERT_TRUE(b);
  auto c = e.history.Redo(*b);
  ASSERT_TRUE(c);
  for (const LayerSnapshot* s : {&*b, &*c}) {
    EXPECT_EQ(s->upper.get(), a->upper.get());
    EXPECT_EQ(s->lower.get(), a->lower.get());
  }
  EXPECT_NE(a->upper.get(), a->lower.get());
}

TEST(LayerHistory, ARunOfOneArrowWithinASecondIsOneStep) {
  struct Press {
    Arrow arrow;
    std::int64_t ms;
  };
  struct Case {
    const char* what;
    std::vector<Press> presses;
    std::size_t steps;
  };
  const Case cases[] = {
      {"a held key", {{Arrow::kLeft, 0}, {Arrow::kLeft, 33}, {Arrow::kLeft, 66}, {Arrow::kLeft, 99}}, 1},
      {"presses under a second apart for longer than a second",
       {{Arrow::kUp, 0}, {Arrow::kUp, 900}, {Arrow::kUp, 1800}, {Arrow::kUp, 2700}}, 1},
      {"a pause of a second", {{Arrow::kUp, 0}, {Arrow::kUp, 1000}}, 2},
      {"a long pause", {{Arrow::kUp, 0}, {Arrow::kUp, 300}, {Arrow::kUp, 5000}}, 2},
      {"different arrows", {{Arrow::kLeft, 0}, {Arrow::kRight, 10}, {Arrow::kLeft, 20}}, 3},
      {"a clock that went back", {{Arrow::kDown, 5000}, {Arrow::kDown, 4990}}, 2},
  };
  for (const Case& c : cases) {
    Editor e;
    const Seen start = Look(e);
    for (const Press& p : c.presses) ASSERT_TRUE(e.Press(p.arrow, false, p.ms)) << c.what;
    EXPECT_EQ(e.history.UndoCount(), c.steps) << c.what;
    while (e.Undo()) {
    }
    EXPECT_TRUE(Look(e) == start) << c.what;
  }
}

TEST(LayerHistory, ARunEndsAtAnyOtherChangeOrAnUndo) {
  Editor e;
  ASSERT_TRUE(e.Press(Arrow::kLeft, false, 0));
  ASSERT_TRUE(e.Drag(0, 0, {{8, 0}}));
  ASSERT_TRUE(e.Press(Arrow::kLeft, false, 100));
  EXPECT_EQ(e.history.UndoCount(), 3u);
  ASSERT_TRUE(e.Press(Arrow::kLeft, false, 200));
  ASSERT_TRUE(e.Undo());
  const Seen afterUndo = Look(e);
  ASSERT_TRUE(e.Press(Arrow::kLeft, false, 300));
  EXPECT_EQ(e.history.UndoCount(), 3u);
  ASSERT_TRUE(e.Undo());
  EXPECT_TRUE(Look(e) == afterUndo);
}

TEST(NudgeLayer, MovesBySmallAndLargeStepsAndComposesLikeARelease) {
  struct Case {
    Arrow arrow;
    bool large;
    Offset from, to;
  };
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const Case cases[] = {
      {Arrow::kLeft, false, {0, 0}, {-1, 0}},    {Arrow::kRight, false, {0, 0}, {1, 0}},
      {Arrow::kUp, false, {3, 5}, {3, 4}},       {Arrow::kDown, false, {3, 5}, {3, 6}},
      {Arrow::kLeft, true, {2, -7}, {-2, -7}},   {Arrow::kRight, true, {30, 1}, {34, 1}},
      {Arrow::kUp, true, {0, 0}, {0, -4}},       {Arrow::kDown, true, {0, 31}, {0, 35}},
      {Arrow::kRight, true, {kMax - 2, 0}, {kMax, 0}},
      {Arrow::kUp, false, {0, kMin}, {0, kMin}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NudgeOffset(c.from, c.arrow, c.large), c.to)
        << static_cast<int>(c.arrow) << (c.large ? " large" : "") << " from " << c.from.x << ","
        << c.from.y;
  }
  for (const Slot slot : {Slot::kUpper, Slot::kLower}) {
    Editor e;
    e.model.SetOffset(slot, {5, 5});
    e.model.Rebuild();
    NudgeLayer(e.model, slot, Arrow::kLeft, true);
    EXPECT_EQ(e.model.OffsetOf(slot), (Offset{1, 5}));
    LayerModel rebuilt = e.model;
    rebuilt.Rebuild();
    EXPECT_EQ(e.model.Composite(), rebuilt.Composite());
    EXPECT_EQ(e.model.Zoomed(), rebuilt.Zoomed());
    EXPECT_NE(e.model.Composite(), Editor().model.Composite());
  }
}

}  // namespace
}  // namespace pg
