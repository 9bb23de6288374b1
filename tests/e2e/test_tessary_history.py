"""Undo and redo of the layer state, and moving a layer with the arrow keys,
with real mouse and keyboard input. The lower slot holds a solid, wholly
opaque icon (through the folder-icon setting), so every expected preview
can be worked out from the first one, as in the drag tests."""

import os
import time

import pgtest
import tessary as t

GROUND = (30, 160, 70)
RED = (200, 30, 30)
UPPER_FRAME, LOWER_FRAME = 56, 117  # the selection frame's top row


class History(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = os.path.join(pgtest.scratch_dir(), "history")
        os.makedirs(cls.dir, exist_ok=True)
        cls.ico = os.path.join(cls.dir, "ground.ico")
        with open(cls.ico, "wb") as f:
            f.write(t.solid_ico(GROUND))
        cls.red = os.path.join(cls.dir, "red.ico")
        with open(cls.red, "wb") as f:
            f.write(t.solid_ico(RED))

    def setUp(self):
        self.w = t.start_with_lower(self, self.ico)
        self.addCleanup(pgtest.host, "xdotool", "mouseup", "1", check=False)
        self.base = self.w.preview()
        self.opaque = t.opaque_cell(self.base, GROUND)

    def drag(self, cell, dx, dy):
        x, y = self.w.zoom_point(*cell)
        pgtest.drag(self.w.xid, x, y, x + dx, y + dy, steps=4)
        time.sleep(0.1)

    def keys(self, *keys):
        pgtest.key(*keys, xid=self.w.xid)
        time.sleep(0.1)

    def expect(self, upper, lower=(0, 0)):
        return t.layered_preview(self.base, GROUND, upper, lower)

    def ground_cell(self, upper):
        """A cell where only the ground icon shows with the upper icon at
        `upper`: a press there picks the lower layer."""
        want = self.expect(upper)
        return next((x, y) for y in range(32) for x in range(32) if want[y][x] == GROUND)

    def assertPreview(self, upper, lower=(0, 0), msg=""):
        want = self.expect(upper, lower)
        self.assertTrue(self.w.wait_preview(want) == want,
                        "preview is not upper %s, lower %s %s" % (upper, lower, msg))

    def test_drag_undo_redo_and_the_menu(self):
        start_menu = pgtest.screenshot(t.open_menu(self.w))
        pgtest.key("Escape")
        # 16 zoom pixels right, 8 down: 4 and 2 cells.
        self.drag(self.opaque, 16, 8)
        self.assertPreview((4, 2))
        # A click without a move (it picks the lower layer) is no step.
        pgtest.click(self.w.xid, *self.w.zoom_point(*self.ground_cell((4, 2))))
        time.sleep(0.1)
        self.assertTrue(self.w.frame_at(LOWER_FRAME))
        moved_menu = pgtest.screenshot(t.open_menu(self.w))
        pgtest.key("Escape")
        self.assertNotEqual(moved_menu.rgb, start_menu.rgb, "undo still greyed")

        self.keys("ctrl+z")
        self.assertPreview((0, 0), msg="after ctrl+z")
        self.assertTrue(self.w.frame_at(UPPER_FRAME), "the frame is back where the drag began")
        self.keys("ctrl+z")  # nothing more to undo
        self.assertPreview((0, 0), msg="after a second ctrl+z")
        undone_menu = pgtest.screenshot(t.open_menu(self.w))
        pgtest.key("Escape")
        self.assertNotEqual(undone_menu.rgb, start_menu.rgb, "redo still greyed")
        self.assertNotEqual(undone_menu.rgb, moved_menu.rgb)

        self.keys("ctrl+y")
        self.assertPreview((4, 2), msg="after ctrl+y")
        self.keys("ctrl+z")
        self.assertPreview((0, 0))
        self.keys("ctrl+shift+z")
        self.assertPreview((4, 2), msg="after ctrl+shift+z")
        # The menu's own items do the same.
        t.choose(self.w, "undo")
        self.assertPreview((0, 0), msg="undo from the menu")
        t.choose(self.w, "redo")
        self.assertPreview((4, 2), msg="redo from the menu")
        self.assertEqual(pgtest.screenshot(t.open_menu(self.w)).rgb, moved_menu.rgb)
        pgtest.key("Escape")

    def test_dropped_icon_then_undo(self):
        before = self.w.shot()
        ux, uy, uw, uh = t.UPPER
        # The upper icon moved first: the drop puts its offsets back to 0, the
        # undo brings back both the icon and where it was.
        self.drag(self.opaque, -8, 4)
        self.assertPreview((-2, 1))
        t.drop(ux + uw // 2, uy + uh // 2, self.red)
        red = [[RED] * 32 for _ in range(32)]
        self.assertEqual(self.w.wait_preview(red), red)
        self.keys("ctrl+z")
        self.assertPreview((-2, 1), msg="after undoing the drop")
        self.assertEqual(self.w.region(t.UPPER).rgb, before.crop(*t.UPPER).rgb)
        self.keys("ctrl+z")
        self.assertPreview((0, 0))
        self.assertEqual(self.w.shot().rgb, before.rgb)

    def test_arrow_keys_move_the_selected_layer(self):
        self.assertTrue(self.w.frame_at(UPPER_FRAME))
        self.keys("Right")
        self.assertPreview((1, 0))
        self.keys("shift+Down")
        self.assertPreview((1, 4))
        self.keys("shift+Left", "Up")
        self.assertPreview((-3, 3))
        # The lower layer, once a click has selected it.
        pgtest.click(self.w.xid, *self.w.zoom_point(*self.ground_cell((-3, 3))))
        time.sleep(0.1)
        self.assertTrue(self.w.frame_at(LOWER_FRAME))
        self.keys("Left", "Left", "Left")  # one run: one step
        self.assertPreview((-3, 3), (-3, 0))
        self.keys("ctrl+z")
        self.assertPreview((-3, 3), msg="the run undone at once")
        self.assertTrue(self.w.frame_at(LOWER_FRAME))
        self.keys("ctrl+z")
        self.assertPreview((-3, 4), msg="the up arrow undone")
        self.assertTrue(self.w.frame_at(UPPER_FRAME))

    def test_upper_icon_dragged_out_and_brought_back(self):
        self.drag(self.opaque, 400, 0)
        self.assertPreview((100, 0))
        # Out of reach: a press where it was picks the lower icon.
        pgtest.click(self.w.xid, *self.w.zoom_point(*self.opaque))
        time.sleep(0.1)
        self.assertTrue(self.w.frame_at(LOWER_FRAME))
        self.keys("ctrl+z")
        self.assertPreview((0, 0), msg="after ctrl+z")
        self.assertTrue(self.w.frame_at(UPPER_FRAME))
        # And it is the upper icon again under the pointer.
        self.drag(self.opaque, 0, 8)
        self.assertPreview((0, 2))

    def test_merge_then_undo(self):
        before = self.w.shot()
        self.drag(self.opaque, -8, 4)
        self.assertPreview((-2, 1))
        merged = self.w.preview()
        t.choose(self.w, "merge icons")
        self.assertEqual(self.w.wait_preview(merged), merged)
        self.assertNotEqual(self.w.region(t.UPPER).rgb, before.crop(*t.UPPER).rgb)
        # Both slots and both offsets come back: the upper icon is where the
        # drag left it, and a press on it picks it again.
        self.keys("ctrl+z")
        self.assertPreview((-2, 1), msg="after undoing the merge")
        self.assertEqual(self.w.region(t.UPPER).rgb, before.crop(*t.UPPER).rgb)
        self.assertEqual(self.w.region(t.LOWER).rgb, before.crop(*t.LOWER).rgb)
        self.keys("ctrl+y")
        self.assertEqual(self.w.wait_preview(merged), merged)
        self.assertNotEqual(self.w.region(t.UPPER).rgb, before.crop(*t.UPPER).rgb)


if __name__ == "__main__":
    pgtest.main()
