"""Tessary's main window as a user first sees it and its chrome: size,
place and look, the zoom view, the title-strip move, the pop-up menu with
"stay on top", and closing."""

import os
import time

import pgtest
import tessary as t


def orange_pixels(img, rect):
    r = img.crop(*rect)
    return sum(1 for y in range(r.height) for x in range(r.width) if r.pixel(x, y) == (255, 128, 0))


class StartUp(pgtest.WineTestCase):
    def test_window_size_place_and_look(self):
        w = t.start(self)
        x, y, width, height = w.geometry()
        self.assertEqual((width, height), t.SIZE)
        self.assertEqual((x, y), ((t.SCREEN[0] - width) // 2, (t.SCREEN[1] - height) // 2))
        img = w.shot(os.path.join(pgtest.scratch_dir(), "start.png"))

        # No frame, no caption bar: the client area is the whole window.
        rect = pgtest.driver("rect", "Pairglyph")
        self.assertEqual(rect["window"], rect["client"])

        # The zoom view is the preview enlarged four times, pixel for pixel.
        zoom = w.region(t.ZOOM, img)
        preview = w.preview(img)
        for zy in range(128):
            for zx in range(128):
                self.assertEqual(zoom.pixel(zx, zy), preview[zy // 4][zx // 4], (zx, zy))
        # The first composite is there: icons over the key colour.
        flat = [p for row in preview for p in row]
        self.assertIn(t.KEY, flat)
        self.assertGreater(len(set(flat)), 8)

        # The selection frame surrounds the upper slot, not the lower one.
        for px in range(11, 45):
            self.assertEqual(img.pixel(px, 56), (0, 0, 0), px)
            self.assertEqual(img.pixel(px, 89), (0, 0, 0), px)
        self.assertNotEqual(img.pixel(20, 117), (0, 0, 0))
        # Both slots show an icon, and the gauge is hidden while idle.
        for rect_ in (t.UPPER, t.LOWER):
            r = img.crop(*rect_)
            self.assertGreater(len({r.pixel(i % 32, i // 32) for i in range(1024)}), 4)
        self.assertEqual(orange_pixels(img, t.GAUGE), 0)


class Chrome(pgtest.WineTestCase):
    def menu_windows(self):
        return [i for i in pgtest.host("xdotool", "search", "--onlyvisible", "--name", "^$",
                                       check=False).split()]

    def open_menu(self, w, at, keyboard=False):
        """The menu's X window after a right click at `at`, or with the
        pointer there, after Shift+F10."""
        before = set(self.menu_windows())
        if keyboard:
            pgtest.mousemove(w.xid, *at)
            pgtest.key("shift+F10", xid=w.xid)
        else:
            pgtest.click(w.xid, *at, button=3)
        until = time.monotonic() + 3
        while time.monotonic() < until:
            new = set(self.menu_windows()) - before
            if new:
                return int(new.pop())
            time.sleep(0.02)
        self.fail("the pop-up menu did not open")

    def test_title_strip_menu_stay_on_top_and_close(self):
        cwd = os.path.join(pgtest.scratch_dir(), "chrome")
        os.makedirs(cwd, exist_ok=True)
        temp = os.path.join(cwd, "~temp.bmp")
        with open(temp, "wb") as f:
            f.write(b"left over")
        w = t.start(self, cwd=cwd)
        x0, y0, _, _ = w.geometry()

        # The title strip moves the window with the pointer (screen
        # coordinates: the window moves under the pointer).
        sx, sy = x0 + 100, y0 + 10
        pgtest.host("xdotool", "mousemove", str(sx), str(sy), "mousedown", "1")
        for i in range(1, 6):
            time.sleep(0.05)
            pgtest.host("xdotool", "mousemove", str(sx + 12 * i), str(sy + 7 * i))
        time.sleep(0.05)
        pgtest.host("xdotool", "mouseup", "1")
        time.sleep(0.2)
        x1, y1, _, _ = w.geometry()
        self.assertEqual((x1 - x0, y1 - y0), (60, 35))

        # The right button on the strip opens the menu instead of moving.
        menu = self.open_menu(w, (100, 10))
        self.assertEqual(w.geometry()[:2], (x1, y1))
        unchecked = pgtest.screenshot(menu)
        pgtest.key("Escape")
        # From the keyboard (Shift+F10) it opens at the pointer too.
        menu = self.open_menu(w, (120, 120), keyboard=True)
        self.assertEqual(pgtest.geometry(menu)[:2], (x1 + 120, y1 + 120))
        pgtest.key("Escape")

        # "stay on top" twice: on with its check mark, then off again.
        self.assertEqual(pgtest.driver("style", "Pairglyph")["topmost"], "0")
        for want in ("1", "0"):
            menu = self.open_menu(w, (120, 120))
            pgtest.key(*t.menu_keys("stay on top"))
            time.sleep(0.2)
            self.assertEqual(pgtest.driver("style", "Pairglyph")["topmost"], want)
            exstyle = int(pgtest.driver("style", "Pairglyph")["exstyle"], 16)
            self.assertEqual(bool(exstyle & 0x8), want == "1")  # WS_EX_TOPMOST
            menu = self.open_menu(w, (120, 120))
            shown = pgtest.screenshot(menu)
            pgtest.key("Escape")
            if want == "1":
                self.assertNotEqual(shown.rgb, unchecked.rgb, "no check mark")
            else:
                self.assertEqual(shown.rgb, unchecked.rgb, "check mark left behind")

        # Close: the program ends; a file that only shares the name of an
        # old temporary bitmap is the user's and stays.
        self.assertEqual(w.close(), 0)
        with open(temp, "rb") as f:
            self.assertEqual(f.read(), b"left over")


if __name__ == "__main__":
    pgtest.main()
