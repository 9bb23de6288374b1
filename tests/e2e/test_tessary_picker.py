"""The icon picker: filled from a library dropped on a slot, its items and
caption, the large and the small icon put into the slot pixel for pixel,
edited captions, Enter, Esc, cancel and the close box, its place, a second
file while it is open, a packed bitmap, and "stay on top" kept."""

import os
import sys
import time
from fractions import Fraction

import pgtest
import tessary as t

COLOURS = [(200, 30, 30), (30, 40, 210), (20, 170, 60), (240, 200, 20),
           (120, 20, 160), (0, 160, 170), (250, 120, 0), (90, 90, 90)]
PAC_COLOUR = (180, 60, 140)


def colours(img):
    return {img.pixel(x, y) for y in range(img.height) for x in range(img.width)}


class Picker(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = os.path.join(pgtest.scratch_dir(), "picker")
        os.makedirs(cls.dir, exist_ok=True)
        cls.lib8 = os.path.join(cls.dir, "eight.dll")
        t.icon_library(cls.lib8, COLOURS)
        cls.lib2 = os.path.join(cls.dir, "two.dll")
        t.icon_library(cls.lib2, COLOURS[6:])

    def wait_region(self, w, rect, want, timeout=3.0):
        until = time.monotonic() + timeout
        while colours(w.region(rect)) != want and time.monotonic() < until:
            time.sleep(0.05)
        return colours(w.region(rect))

    def open_on(self, slot_rect, path):
        t.drop(slot_rect[0] + 4, slot_rect[1] + 4, path)
        return t.wait_picker(True)

    def test_fill_choose_large_small_and_captions(self):
        w = t.start(self)
        upper_before = w.region(t.UPPER).rgb
        p = self.open_on(t.LOWER, self.lib8)
        self.assertEqual([i[0] for i in p.items()], [str(i) for i in range(8)])
        self.assertEqual([i[1] for i in p.items()], [False] * 8)  # nothing chosen yet
        self.assertEqual(p.title, pgtest.win_path(self.lib8))
        self.assertEqual(p.client()[2:], t.PICKER_CLIENT)
        focus = pgtest.driver("focus", p.hwnd)
        self.assertEqual((focus["active"], focus["focus-class"]), (p.hwnd, "SysListView32"))
        # The gauge is hidden once the list is full; the picker is topmost
        # and centred on the screen the first time.
        self.assertNotIn((255, 128, 0), colours(w.region(t.GAUGE)))
        self.assertEqual(pgtest.driver("style", p.hwnd)["topmost"], "1")
        x, y, pw, ph = p.window_rect()
        self.assertLessEqual(abs(x + pw // 2 - t.SCREEN[0] // 2), 1)
        self.assertLessEqual(abs(y + ph // 2 - t.SCREEN[1] // 2), 1)

        # "select" without a chosen item does nothing.
        p.press("select")
        time.sleep(0.3)
        self.assertTrue(t.picker().visible)

        # Item 2 by a click and "select": the lower slot gets its icon, the
        # upper one keeps its own.
        p.click_item(2)
        p.press("select")
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.LOWER, {COLOURS[2]}), {COLOURS[2]})
        self.assertEqual(w.region(t.UPPER).rgb, upper_before)

        # A double click into the upper slot: opaque at 0, 0 it covers the
        # whole composite.
        p = self.open_on(t.UPPER, self.lib8)
        p.click_item(4, double=True)
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.PREVIEW, {COLOURS[4]}), {COLOURS[4]})

        # "as small icon": a 16x16 icon in the top-left of the cell, the
        # lower icon showing everywhere else.
        p = self.open_on(t.UPPER, self.lib8)
        p.click_item(5)
        p.press("as small icon")
        t.wait_picker(False)
        want = [[COLOURS[5] if x < 16 and y < 16 else COLOURS[2] for x in range(32)]
                for y in range(32)]
        self.assertEqual(w.wait_preview(want), want)

        # An edited caption names the icon: item 0 renamed "3", then Enter.
        p = self.open_on(t.UPPER, self.lib8)
        p.edit_caption(0, "3")
        self.assertEqual(p.items()[0][0], "3")
        pgtest.key("Return")
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.PREVIEW, {COLOURS[3]}), {COLOURS[3]})

        # A caption that is no number: an error box, the slot and the
        # composite unchanged, the picker still open.
        p = self.open_on(t.UPPER, self.lib8)
        p.edit_caption(1, "one")
        before = w.shot()
        p.press("select")
        box = pgtest.msgbox_wait("Pairglyph")
        self.assertIn("'one'", box.text)
        pgtest.msgbox_press("Pairglyph", "IDOK")
        self.assertTrue(t.picker().visible)
        self.assertEqual(w.shot().rgb, before.rgb)
        # A number the file has no icon for leaves the slot empty: the lower
        # icon shows through everywhere.
        p.edit_caption(1, "99")
        p.press("select")
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.PREVIEW, {COLOURS[2]}), {COLOURS[2]})

    def test_cancel_close_place_reopen_pac_and_stay_on_top(self):
        w = t.start(self)
        before = w.shot()
        p = self.open_on(t.LOWER, self.lib8)
        # Cancel, Esc and the close box change nothing.
        p.press("cancel")
        t.wait_picker(False)
        p = self.open_on(t.LOWER, self.lib8)
        pgtest.key("Escape")
        t.wait_picker(False)
        p = self.open_on(t.LOWER, self.lib8)
        pgtest.driver("post", p.hwnd, 0x0112, 0xF060, 0)  # WM_SYSCOMMAND SC_CLOSE
        t.wait_picker(False)
        self.assertEqual(w.shot().rgb, before.rgb)

        # Moved by the user, it reopens where it was left.
        p = self.open_on(t.LOWER, self.lib8)
        xid = int(pgtest.driver("xid", p.hwnd)["xid"])
        pgtest.host("xdotool", "windowmove", str(xid), "40", "50")
        time.sleep(0.3)
        moved = p.window_rect()
        # A second library while it is open: it reopens for the new file
        # and the new slot.
        p = self.open_on(t.UPPER, self.lib2)
        self.assertEqual([i[0] for i in p.items()], ["0", "1"])
        self.assertEqual(p.title, pgtest.win_path(self.lib2))
        self.assertEqual(p.window_rect(), moved)
        p.click_item(1, double=True)
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.UPPER, {COLOURS[7]}), {COLOURS[7]})

        # A packed bitmap on the lower slot: one item, the .pac's own name
        # as caption, and the mask's white half in the key colour.
        pac = os.path.join(self.dir, "half.pac")
        with open(pac, "wb") as f:
            f.write(t.pac_file(PAC_COLOUR))
        p = self.open_on(t.LOWER, pac)
        self.assertEqual([i[0] for i in p.items()], ["0"])
        self.assertEqual(p.title, pgtest.win_path(pac))
        p.click_item(0)
        p.press("select")
        t.wait_picker(False)
        time.sleep(0.2)
        lower = w.region(t.LOWER)
        self.assertEqual(colours(lower.crop(0, 0, 16, 32)), {t.KEY})
        self.assertEqual(colours(lower.crop(16, 0, 16, 32)), {PAC_COLOUR})
        self.assertFalse(os.path.exists(os.path.join(pgtest.scratch_dir(), "~temp.bmp")))

        # "stay on top": still on top once the picker hides, and drops still
        # arrive after the switch went on and off and on again.
        for _ in range(3):
            t.toggle_stay_on_top(w)
        self.assertEqual(pgtest.driver("style", "Pairglyph")["topmost"], "1")
        p = self.open_on(t.LOWER, self.lib8)
        p.press("cancel")
        t.wait_picker(False)
        self.assertEqual(pgtest.driver("style", "Pairglyph")["topmost"], "1")
        p = self.open_on(t.LOWER, self.lib2)
        p.click_item(0, double=True)
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.LOWER, {COLOURS[6]}), {COLOURS[6]})

    def test_gauge_and_fill_time_of_a_large_library(self):
        """The gauge follows the fill of Wine's own shell32.dll (184 icons)
        and is hidden after it; and, not as a timed assertion, how long the
        fill takes from the drop until the picker is on screen."""
        w = t.start(self)
        shell32 = "C:\\windows\\system32\\shell32.dll"
        # Every width the gauge shows is one of the fill's: icon i of 184
        # done, in percent rounded half to even, of its 43-pixel inside.
        x, y = (int(v) for v in pgtest.driver("rect", "Pairglyph")["client"].split()[:2])
        gx, gy, gw, gh = t.GAUGE
        inside = gw - 2
        allowed = {(inside * round(Fraction(100 * i, 184)) // 100) * (gh - 2) for i in range(184)}
        _, watch = pgtest.driver_steps(
            ["drop", "Pairglyph", t.LOWER[0] + 4, t.LOWER[1] + 4, shell32],
            ["watch-colour", x + gx, y + gy, gw, gh, "FF8000", 4000], timeout=20)
        seen = [int(c.split()[1]) for c in watch.all("count")]
        t.wait_picker(True)
        self.assertEqual(seen[-1], 0, "the gauge is not hidden after the fill")
        moving = seen[:-1]
        self.assertTrue(set(moving) <= allowed, sorted(set(moving) - allowed))
        self.assertEqual(moving, sorted(moving), "the gauge went back")
        self.assertGreaterEqual(len(set(moving)), 5, seen)
        self.assertLess(max(moving), inside * (gh - 2), "the gauge reached 100")
        pgtest.key("Escape")
        t.wait_picker(False)
        # One pgdriver process drops and waits, so the figure is the fill.
        drop, wait = pgtest.driver_steps(
            ["drop", "Pairglyph", t.LOWER[0] + 4, t.LOWER[1] + 4, shell32],
            ["wait-window", shell32, 10000])
        p = t.picker()
        count = len(p.items())
        self.assertGreater(count, 100)
        print("picker fill: %d icons of shell32.dll on screen %s ms after the drop"
              % (count, wait["waited-ms"]), file=sys.stderr)
        pgtest.key("Escape")
        t.wait_picker(False)
        self.assertTrue(w.proc.running())


if __name__ == "__main__":
    pgtest.main()
