"""Positioning the icons by dragging in the zoom view, with real mouse
input. The lower slot holds a solid, wholly opaque icon (through the
folder-icon setting), so the composite of the upper icon over it is the
same wherever the upper icon lies, and every expected preview can be
worked out from the first one."""

import os
import time

import pgtest
import tessary as t

GROUND = (30, 160, 70)


class Drag(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.ico = os.path.join(pgtest.scratch_dir(), "ground.ico")
        with open(cls.ico, "wb") as f:
            f.write(t.solid_ico(GROUND))

    def setUp(self):
        self.w = t.start_with_lower(self, self.ico)
        # A failed check must not leave a button held for the next test.
        self.addCleanup(pgtest.host, "xdotool", "mouseup", "3", check=False)
        self.addCleanup(pgtest.host, "xdotool", "mouseup", "1", check=False)
        self.base = self.w.preview()
        # An opaque pixel of the upper icon with opaque neighbours (so the
        # pick point is inside it), and a pixel where it is transparent.
        self.opaque = t.opaque_cell(self.base, GROUND)
        self.clear = next((x, y) for y in range(32) for x in range(32)
                          if self.base[y][x] == GROUND)

    def press(self, cell, button=1):
        pgtest.mousemove(self.w.xid, *self.w.zoom_point(*cell))
        time.sleep(0.05)
        pgtest.host("xdotool", "mousedown", str(button))
        time.sleep(0.05)

    def move_by(self, cell, dx, dy, steps=4):
        x0, y0 = self.w.zoom_point(*cell)
        for i in range(1, steps + 1):
            self.w.move_to(x0 + dx * i // steps, y0 + dy * i // steps)
            time.sleep(0.05)

    def release(self, button=1):
        pgtest.host("xdotool", "mouseup", str(button))
        time.sleep(0.1)

    def expect(self, upper, lower=(0, 0)):
        return t.layered_preview(self.base, GROUND, upper, lower)

    def assertPreview(self, upper, lower=(0, 0), msg=""):
        want = self.expect(upper, lower)
        self.assertTrue(self.w.wait_preview(want) == want,
                        "preview is not upper %s, lower %s %s" % (upper, lower, msg))

    def test_pick_and_drag_each_layer(self):
        # Upper: 14 zoom pixels right, 6 up -> 4 and -2 cells (ties to even).
        self.press(self.opaque)
        self.assertTrue(self.w.frame_at(56))
        self.move_by(self.opaque, 14, -6)
        self.assertPreview((4, -2), msg="live, during the drag")
        self.release()
        self.assertPreview((4, -2))
        # Lower, picked where the upper icon is transparent: 10 right, 5 down.
        self.press(self.clear)
        self.assertTrue(self.w.frame_at(117))
        self.assertFalse(self.w.frame_at(56))
        self.move_by(self.clear, 10, 5)
        self.release()
        self.assertPreview((4, -2), (2, 1))
        # A click without a move changes no offset; in particular the upper
        # icon does not take over the lower one's last drag values.
        cell = (self.opaque[0] + 4, self.opaque[1] - 2)
        pgtest.mousemove(self.w.xid, *self.w.zoom_point(*cell))
        time.sleep(0.05)
        pgtest.host("xdotool", "click", "1")
        time.sleep(0.1)
        self.assertTrue(self.w.frame_at(56))
        self.assertPreview((4, -2), (2, 1), "after a click")

    def test_drag_past_the_window_edge(self):
        self.press(self.opaque)
        # Far beyond the right edge: the icon leaves the composite...
        self.move_by(self.opaque, 400, 0)
        self.assertPreview((100, 0), msg="while outside")
        # ...and comes back within the same drag; released outside the
        # window to the left, at -100 pixels: -25 cells.
        self.move_by((self.opaque[0] + 100, self.opaque[1]), -500, 0)
        self.assertPreview((-25, 0), msg="back and beyond the left edge")
        self.release()
        self.assertPreview((-25, 0))

    def test_right_button_release_ends_the_drag(self):
        self.press(self.opaque)
        self.move_by(self.opaque, 12, 0)
        self.assertPreview((3, 0))
        pgtest.host("xdotool", "click", "3")  # commits; the menu opens
        time.sleep(0.2)
        pgtest.key("Escape")
        time.sleep(0.1)
        self.move_by((self.opaque[0] + 3, self.opaque[1]), 30, 20)
        self.release()
        self.assertPreview((3, 0), msg="after the later left release")
        # A right press starts no drag and leaves the frame where it is.
        self.press(self.clear, button=3)
        self.release(button=3)
        pgtest.key("Escape")
        self.assertTrue(self.w.frame_at(56))

    def assertCursor(self, want, msg):
        deadline = time.monotonic() + 2.0
        while (shape := pgtest.cursor_shape()) != want and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(shape, want, msg)

    def test_cursors_of_the_slots_and_the_zoom_view(self):
        # 32x32 hands told apart by their hot spots.
        pointing, open_hand, closed_hand = (32, 32, 5, 0), (32, 32, 8, 0), (32, 32, 4, 0)
        for name, rect in (("upper", t.UPPER), ("lower", t.LOWER)):
            pgtest.mousemove(self.w.xid, *t.centre(rect))
            self.assertCursor(pointing, name + " slot")
        self.press(self.clear)
        self.assertCursor(closed_hand, "at the press")
        self.move_by(self.clear, 0, 300)  # out of the window: still dragging
        self.assertCursor(closed_hand, "dragged outside the window")
        self.move_by((self.clear[0], self.clear[1] + 75), 0, -300)
        self.release()
        self.assertCursor(open_hand, "after the release")


if __name__ == "__main__":
    pgtest.main()
