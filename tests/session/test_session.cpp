// The editing rules behind the main window, through the session alone: what
// a press picks, how a drag follows and commits, what makes a history step,
// where a drop lands and what a save writes.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/icon_writer.h"
#include "imaging/merge.h"
#include "session/session.h"

namespace pg {
namespace {

// A 32x32 icon opaque in `colour` over the rectangle [x0, x1) x [y0, y1),
// transparent elsewhere.
Icon Block(Colour colour, int x0, int y0, int x1, int y1) {
  Icon icon{Image(32, 32, kBlack), Image(32, 32, kWhite)};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      icon.mask.SetPixel(x, y, kBlack);
      icon.colour.SetPixel(x, y, colour);
    }
  return icon;
}

const Colour kRed = Rgb(200, 0, 0);
const Colour kBlue = Rgb(0, 0, 200);

// The upper icon covers the cell's left half, the lower one the whole cell.
struct SessionTest : ::testing::Test {
  Session s;
  SessionTest() {
    s.SetStartContent(Slot::kUpper, ContentOfIcon(Block(kRed, 0, 0, 16, 32)));
    s.SetStartContent(Slot::kLower, ContentOfIcon(Block(kBlue, 0, 0, 32, 32)));
    s.Rebuild();
  }
  // A press, moves and a release, all in zoom-view pixels.
  Changes Drag(int x0, int y0, const std::vector<Point>& moves) {
    Changes c = s.Press(x0, y0);
    for (const Point& p : moves) c |= s.Move(p.x, p.y);
    return c |= s.Release();
  }
};

TEST_F(SessionTest, APressPicksTheUpperSlotOnlyWhereItsIconIsOpaque) {
  struct Case {
    int x, y;
    Slot picked;
  } cases[] = {
      {0, 0, Slot::kUpper},     {60, 125, Slot::kUpper},  // inside the left half
      {61, 10, Slot::kUpper},   // 15.25 rounds to cell x 15, still opaque
      {62, 10, Slot::kLower},   // 15.5 is a tie and goes to the even 16
      {10, 126, Slot::kLower},  // 31.5 goes to 32: below the cell
      {64, 10, Slot::kLower},   {127, 127, Slot::kLower},  // the transparent half
      {-40, 10, Slot::kLower},  {10, 500, Slot::kLower},   // outside the cell
  };
  for (const Case& c : cases) {
    s.Press(c.x, c.y);
    EXPECT_EQ(s.Selected(), c.picked) << c.x << "," << c.y;
    s.Release();
  }
  EXPECT_FALSE(s.CanUndo());
}

TEST_F(SessionTest, ADragFollowsAtAQuarterWithTiesToEvenAndCommitsOnRelease) {
  struct Case {
    int dx, dy;
    Offset want;
  } cases[] = {
      {4, 0, {1, 0}},   {1, -1, {0, 0}},  {2, 2, {0, 0}},    // 0.5 rounds to the even 0
      {6, -6, {2, -2}},                                      // 1.5 rounds to 2
      {10, 0, {2, 0}},                                       // 2.5 rounds to 2
      {16, 17, {4, 4}}, {-300, 0, {-75, 0}},                 // far past the edge
  };
  for (const Case& c : cases) {
    Session fresh;
    fresh.SetStartContent(Slot::kUpper, ContentOfIcon(Block(kRed, 0, 0, 16, 32)));
    fresh.Rebuild();
    fresh.Press(20, 20);
    fresh.Move(20 + c.dx / 2, 20 + c.dy / 2);  // only the last move counts
    fresh.Move(20 + c.dx, 20 + c.dy);
    // Drawn at the new place while the stored offset waits for the release.
    EXPECT_EQ(fresh.OffsetOf(Slot::kUpper), Offset{}) << c.dx;
    fresh.Release();
    EXPECT_EQ(fresh.OffsetOf(Slot::kUpper), c.want) << c.dx << "," << c.dy;
    EXPECT_EQ(fresh.CanUndo(), !(c.want == Offset{})) << c.dx;
  }
}

TEST_F(SessionTest, ADragShowsTheLayerWhereThePointerIsBeforeTheRelease) {
  s.Press(20, 20);
  s.Move(20 + 16, 20);  // four cell pixels right
  EXPECT_TRUE(s.Dragging());
  EXPECT_EQ(s.Composite().GetPixel(19, 0), kRed);
  EXPECT_EQ(s.Composite().GetPixel(3, 0), kBlue);
  EXPECT_EQ(s.Zoomed().GetPixel(19 * 4 + 3, 3), kRed);
}

TEST_F(SessionTest, ACaptureLostEndsTheDragAsAReleaseWould) {
  s.Press(100, 100);  // the lower slot
  s.Move(108, 100);
  const Changes c = s.CaptureLost();
  EXPECT_FALSE(s.Dragging());
  EXPECT_TRUE(c.history);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{2, 0}));
  // Moves after it change nothing.
  EXPECT_FALSE(s.Move(200, 200).Any());
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{2, 0}));
}

TEST_F(SessionTest, AClickWithoutAMoveSelectsButIsNoHistoryStep) {
  const Changes c = Drag(100, 100, {});
  EXPECT_EQ(s.Selected(), Slot::kLower);
  EXPECT_TRUE(c.selection);
  EXPECT_FALSE(c.history);
  EXPECT_FALSE(s.CanUndo());
  // A move that rounds back to the start is no step either.
  Drag(100, 100, {{140, 100}, {101, 101}});
  EXPECT_FALSE(s.CanUndo());
}

TEST_F(SessionTest, AnUndoOfADragPutsTheFrameBackWhereItWas) {
  Drag(100, 100, {{120, 100}});  // picks and moves the lower slot
  ASSERT_EQ(s.Selected(), Slot::kLower);
  const Changes c = s.Undo();
  EXPECT_TRUE(c.selection && c.composite && c.slots && c.history);
  EXPECT_EQ(s.Selected(), Slot::kUpper);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), Offset{});
  s.Redo();
  EXPECT_EQ(s.Selected(), Slot::kLower);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{5, 0}));
}

TEST_F(SessionTest, PressesOfOneArrowWithinASecondAreOneStep) {
  s.Nudge(Arrow::kRight, false, 1000);
  s.Nudge(Arrow::kRight, false, 1400);
  s.Nudge(Arrow::kRight, true, 1900);
  EXPECT_EQ(s.OffsetOf(Slot::kUpper), (Offset{6, 0}));
  s.Undo();
  EXPECT_EQ(s.OffsetOf(Slot::kUpper), Offset{});
  EXPECT_FALSE(s.CanUndo());

  // A pause of a second, another arrow or another slot starts a new step.
  s.Nudge(Arrow::kRight, false, 5000);
  s.Nudge(Arrow::kRight, false, 6000);
  s.Nudge(Arrow::kDown, false, 6100);
  Drag(100, 100, {});  // selects the lower slot without a step
  s.Nudge(Arrow::kDown, false, 6200);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{0, 1}));
  int steps = 0;
  while (s.CanUndo()) {
    s.Undo();
    ++steps;
  }
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(s.OffsetOf(Slot::kUpper), Offset{});
}

TEST_F(SessionTest, UndoRedoAndArrowsWaitForTheDragToEnd) {
  Drag(100, 100, {{120, 100}});
  s.Press(100, 100);
  s.Move(140, 100);
  EXPECT_FALSE(s.Undo().Any());
  EXPECT_FALSE(s.Redo().Any());
  EXPECT_FALSE(s.Nudge(Arrow::kLeft, false, 0).Any());
  s.Release();
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{15, 0}));
  s.Undo();
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{5, 0}));
}

TEST_F(SessionTest, PutIconPlacesTheIconAt00AndKeepsTheSelection) {
  Drag(100, 100, {{120, 108}});  // lower at 5, 2, lower selected
  Drag(10, 10, {{2, 30}});       // upper at -2, 5, upper selected
  const Changes c = s.PutIcon(Slot::kLower, ContentOfIcon(Block(kRed, 0, 0, 32, 32)));
  EXPECT_TRUE(c.slots && c.composite && c.history);
  EXPECT_FALSE(c.selection);
  EXPECT_EQ(s.Selected(), Slot::kUpper);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), Offset{});
  EXPECT_EQ(s.OffsetOf(Slot::kUpper), (Offset{-2, 5}));
  EXPECT_EQ(s.IconOf(Slot::kLower).colour.GetPixel(31, 31), kRed);
  s.Undo();
  EXPECT_EQ(s.OffsetOf(Slot::kLower), (Offset{5, 2}));
  EXPECT_EQ(s.IconOf(Slot::kLower).colour.GetPixel(31, 31), kBlue);
}

TEST_F(SessionTest, MergeFlattensIntoTheLowerSlotAndFreesTheUpper) {
  Drag(10, 10, {{18, 10}});  // upper at 2, 0
  const Image before = s.Composite();
  auto merged = s.Merge();
  ASSERT_TRUE(merged);
  EXPECT_TRUE(merged->slots && merged->composite && merged->history);
  EXPECT_EQ(s.Composite(), before);
  EXPECT_EQ(s.OffsetOf(Slot::kLower), Offset{});
  EXPECT_EQ(s.OffsetOf(Slot::kUpper), kMergedUpperOffset);
  EXPECT_EQ(s.Selected(), Slot::kUpper);
  EXPECT_EQ(s.SaveDepth(), kMergeDepth);
  // Every press now moves the merged picture.
  s.Press(8, 8);
  EXPECT_EQ(s.Selected(), Slot::kLower);
}

TEST(SessionDrop, ASlotBoxTakesItsPixelsAndTheLineJustPastItsRightAndBottom) {
  const Place& upper = layout::Image1;
  const Place& lower = layout::Image2;
  struct Case {
    Point at;
    std::optional<Slot> slot;
  } cases[] = {
      {{upper.left, upper.top}, Slot::kUpper},
      {{upper.left + upper.width, upper.top + upper.height}, Slot::kUpper},
      {{upper.left - 1, upper.top}, std::nullopt},
      {{upper.left, upper.top - 1}, std::nullopt},
      {{upper.left + upper.width + 1, upper.top}, std::nullopt},
      {{upper.left, upper.top + upper.height + 1}, std::nullopt},
      {{lower.left, lower.top}, Slot::kLower},
      {{lower.left + lower.width, lower.top + lower.height}, Slot::kLower},
      {{lower.left + lower.width / 2, lower.top - 1}, std::nullopt},
      {{lower.left + lower.width / 2, lower.top + lower.height + 1}, std::nullopt},
      {{layout::omotebi.left + 5, layout::omotebi.top + 5}, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Session::SlotAt(c.at), c.slot) << c.at.x << "," << c.at.y;
}

TEST(SessionDrop, TheRouteFollowsTheExtension) {
  const Point onUpper{layout::Image1.left + 1, layout::Image1.top + 1};
  EXPECT_EQ(Session().PlanDrop(u"C:\\a\\B.ICO", onUpper).route, DropRoute::kIconFile);
  EXPECT_EQ(Session().PlanDrop(u"C:\\a\\b.Pac", onUpper).route, DropRoute::kPackedBitmap);
  EXPECT_EQ(Session().PlanDrop(u"C:\\a.ico\\shell32.dll", onUpper).route, DropRoute::kOther);
  EXPECT_EQ(Session().PlanDrop(u"C:\\a\\b.ico", onUpper).slot, Slot::kUpper);
}

TEST(SessionDrop, TheSaveDialogFollowsTheDroppedFileAndTheSavedOne) {
  Session s;
  s.SetDialogFolder(u"C:\\program");
  s.FollowDroppedFile(u"D:\\icons\\x.ico");
  EXPECT_EQ(s.DialogFolder(), u"D:\\icons");
  s.Saved(u"E:\\out\\y.ico");
  EXPECT_EQ(s.DialogFolder(), u"E:\\out");
}

// Opening a file from the menu reads it as a drop on the chosen slot would,
// wherever the pointer is.
TEST(SessionOpen, AnOpenedFileTakesTheDropsRouteForTheChosenSlot) {
  for (const Slot slot : {Slot::kUpper, Slot::kLower}) {
    EXPECT_EQ(Session::PlanOpen(u"C:\\a\\B.ICO", slot).route, DropRoute::kIconFile);
    EXPECT_EQ(Session::PlanOpen(u"C:\\a\\b.pac", slot).route, DropRoute::kPackedBitmap);
    EXPECT_EQ(Session::PlanOpen(u"C:\\a.ico\\lib.dll", slot).route, DropRoute::kOther);
    EXPECT_EQ(Session::PlanOpen(u"C:\\a\\b.ico", slot).slot, slot);
  }
}

TEST(SessionOpen, CommandLineFilesGoUpperThenLowerAndNoFurther) {
  const std::u16string a = u"C:\\a.ico", b = u"C:\\b b\\lib.dll", c = u"C:\\c.ico";
  struct Case {
    std::vector<std::u16string> args;
    std::vector<StartFile> want;
  } cases[] = {
      {{}, {}},
      {{a}, {{Slot::kUpper, a}}},
      {{a, b}, {{Slot::kUpper, a}, {Slot::kLower, b}}},
      {{a, b, c}, {{Slot::kUpper, a}, {Slot::kLower, b}}},
      // An empty argument keeps its place: the next file still goes below.
      {{u"", b}, {{Slot::kLower, b}}},
  };
  for (const Case& k : cases) EXPECT_EQ(Session::PlanStartFiles(k.args), k.want) << k.args.size();
}

TEST(SessionOpen, OnlyAFileThatCannotBeReadIsToldOnThePickersRoute) {
  for (const Error e : {Error::kFileNotFound, Error::kFileUnreadable})
    EXPECT_TRUE(Session::FileUnreadable(e)) << static_cast<int>(e);
  for (const Error e : {Error::kNotAFile, Error::kNotIconSource, Error::kTruncated,
                        Error::kNoImages, Error::kBadResourceDirectory, Error::kFileTooLarge})
    EXPECT_FALSE(Session::FileUnreadable(e)) << static_cast<int>(e);
}

TEST_F(SessionTest, ASlotHoldsItsStartPictureUntilAnIconIsPutThereAndAgainAfterAnUndo) {
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kUpper));
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kLower));
  // Moving a layer leaves its picture as it is.
  Drag(10, 10, {{30, 30}});
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kUpper));
  s.PutIcon(Slot::kUpper, ContentOfIcon(Block(kBlue, 0, 0, 8, 8)));
  EXPECT_FALSE(s.HoldsStartPicture(Slot::kUpper));
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kLower));
  s.Undo();
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kUpper));
  s.Redo();
  EXPECT_FALSE(s.HoldsStartPicture(Slot::kUpper));
  // A merge frees the upper slot and gives the lower one the composite.
  s.Undo();
  ASSERT_TRUE(s.Merge());
  EXPECT_FALSE(s.HoldsStartPicture(Slot::kUpper));
  EXPECT_FALSE(s.HoldsStartPicture(Slot::kLower));
}

TEST(SessionOpen, AnEmptyStartSlotHoldsItsStartPictureToo) {
  Session s;
  s.SetStartContent(Slot::kLower, SlotContent{});
  s.Rebuild();
  EXPECT_TRUE(s.HoldsStartPicture(Slot::kLower));
  s.PutIcon(Slot::kLower, ContentOfIcon(Block(kRed, 0, 0, 32, 32)));
  EXPECT_FALSE(s.HoldsStartPicture(Slot::kLower));
}

// A composite with more colours than an 8-bit palette holds.
Icon ManyColours() {
  Icon icon{Image(32, 32, kBlack), Image(32, 32, kBlack)};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) icon.colour.SetPixel(x, y, Rgb(x * 8, y * 8, (x + y) * 4));
  return icon;
}

TEST(SessionSave, TheDepthComesFromShiftTheTypeAndThePalette) {
  struct Case {
    bool shiftOnly;
    SaveType type;
    bool manyColours;
    std::size_t bytes;
    int depthAfter;
  } cases[] = {
      {true, SaveType::kAllTypes, false, kIconFileSize8, 8},
      {false, SaveType::kAllTypes, false, kIconFileSize24, 24},
      {false, SaveType::kIcon8, false, kIconFileSize8, 8},
      {true, SaveType::kIcon24, false, kIconFileSize24, 24},
      // Too many colours for a palette: 24 bits whatever was asked.
      {true, SaveType::kAllTypes, true, kIconFileSize24, 8},
      {false, SaveType::kIcon8, true, kIconFileSize24, 8},
  };
  for (const Case& c : cases) {
    Session s;
    s.SetStartContent(Slot::kUpper,
                      ContentOfIcon(c.manyColours ? ManyColours() : Block(kRed, 0, 0, 8, 8)));
    s.Rebuild();
    s.SaveButtonPressed(c.shiftOnly);
    s.BeginSave();
    const std::vector<std::uint8_t> bytes = s.SaveBytes(c.type);
    EXPECT_EQ(bytes.size(), c.bytes) << static_cast<int>(c.type) << " " << c.shiftOnly;
    EXPECT_EQ(s.SaveDepth(), c.depthAfter);
    EXPECT_EQ(s.DialogType(), c.type);
  }
}

TEST(SessionSave, WhatIsSavedIsTheCompositeAtTheClick) {
  Session s;
  s.SetStartContent(Slot::kUpper, ContentOfIcon(Block(kRed, 0, 0, 8, 8)));
  s.Rebuild();
  s.BeginSave();
  const std::vector<std::uint8_t> atClick = s.SaveBytes(SaveType::kIcon24);
  // A change while the dialog is open does not reach the file.
  s.PutIcon(Slot::kUpper, ContentOfIcon(Block(kBlue, 0, 0, 32, 32)));
  EXPECT_EQ(s.SaveBytes(SaveType::kIcon24), atClick);
  // The multi-size type composes what the slots hold now, at every size.
  const std::vector<std::uint8_t> multi = s.SaveBytes(SaveType::kMultiSize);
  ASSERT_GE(multi.size(), 6u);
  EXPECT_EQ(multi[4] | (multi[5] << 8), static_cast<int>(kIconSizes.size()));
}

}  // namespace
}  // namespace pg

namespace pg {
namespace {

constexpr int kPercents[] = {100, 125, 150, 175, 200, 225, 250, 275, 300};

TEST(Scale, ComesFromTheDpiToTheNearestQuarterWithinTheDrawnRange) {
  struct Case {
    int dpi, percent;
  } cases[] = {{96, 100}, {120, 125}, {144, 150}, {168, 175}, {192, 200}, {288, 300},
               {72, 100}, {110, 125}, {107, 100}, {108, 125}, {400, 300}};
  for (const Case& c : cases) EXPECT_EQ(Scale::ForDpi(c.dpi).percent, c.percent) << c.dpi;
}

TEST(Scale, EveryPictureIsAWholeNumberOfDevicePixelsAtEveryStep) {
  for (const int percent : kPercents) {
    const Scale s{percent};
    const double f = percent / 100.0;
    EXPECT_EQ(s.Of(layout::Image4).width, static_cast<int>(256 * f + 0.5)) << percent;
    EXPECT_EQ(s.Of(layout::Image4).height, static_cast<int>(192 * f + 0.5)) << percent;
    // The zoom view: 32 squares of 4 * s each way; the slots and the preview
    // at 32 * s.
    EXPECT_EQ(s.Of(layout::omotebi).width, 32 * s.ZoomPixel()) << percent;
    EXPECT_EQ(s.Of(layout::omotebi).height, 32 * s.ZoomPixel()) << percent;
    for (const Place& p : {layout::omote, layout::Image1, layout::Image2}) {
      EXPECT_EQ(s.Of(p).width, 32 * percent / 100) << percent;
      EXPECT_EQ(s.Of(p).height, 32 * percent / 100) << percent;
    }
    // Neighbouring places stay neighbours: the scaled edges are shared.
    EXPECT_EQ(s.Of(Place{10, 0, 5, 1}).left + s.Of(Place{10, 0, 5, 1}).width,
              s.Of(Place{15, 0, 5, 1}).left);
  }
  EXPECT_EQ(Scale{100}.Of(layout::Image1), layout::Image1);
}

TEST(Scale, ADropHitsTheScaledSlotBoxAndTheLayoutLineJustPastIt) {
  for (const int percent : kPercents) {
    const Scale s{percent};
    const Place box = s.Of(layout::Image2);
    const int pastRight = s.Edge(layout::Image2.left + layout::Image2.width + 1);
    const int pastBottom = s.Edge(layout::Image2.top + layout::Image2.height + 1);
    EXPECT_EQ(Session::SlotAt({box.left, box.top}, s), Slot::kLower) << percent;
    EXPECT_EQ(Session::SlotAt({pastRight - 1, pastBottom - 1}, s), Slot::kLower) << percent;
    EXPECT_EQ(Session::SlotAt({box.left - 1, box.top}, s), std::nullopt) << percent;
    EXPECT_EQ(Session::SlotAt({box.left, box.top - 1}, s), std::nullopt) << percent;
    EXPECT_EQ(Session::SlotAt({pastRight, box.top}, s), std::nullopt) << percent;
    EXPECT_EQ(Session::SlotAt({box.left, pastBottom}, s), std::nullopt) << percent;
  }
}

TEST(Scale, ADragMovesOnePixelPerFourTimesTheScaleAtEveryStep) {
  for (const int percent : kPercents) {
    Session s;
    s.SetScale(Scale{percent});
    s.SetStartContent(Slot::kUpper, ContentOfIcon(Block(kRed, 0, 0, 16, 32)));
    s.Rebuild();
    const int k = Scale{percent}.ZoomPixel();
    // A press over the upper icon's cell pixel (3, 3) picks it at every scale.
    s.Press(3 * k, 3 * k);
    ASSERT_EQ(s.Selected(), Slot::kUpper) << percent;
    s.Move(3 * k + 4 * k, 3 * k - 2 * k);  // 16 * s device pixels right, 8 * s up
    s.Release();
    EXPECT_EQ(s.OffsetOf(Slot::kUpper), (Offset{4, -2})) << percent;
    // A half step is a tie and goes to the even neighbour, as at 100 %.
    if (k % 2 == 0) {
      s.Press(5 * k, 3 * k);  // cell (5, 3): over the moved upper icon
      s.Move(5 * k + k / 2, 3 * k + 3 * k / 2);
      s.Release();
      EXPECT_EQ(s.OffsetOf(Slot::kUpper), (Offset{4, 0})) << percent;
    }
    // A press just right of the icon's right edge picks the lower slot.
    s.Press(20 * k + 1, 3 * k);
    EXPECT_EQ(s.Selected(), Slot::kLower) << percent;
  }
}

}  // namespace
}  // namespace pg
