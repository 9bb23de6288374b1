"""Tessary at a raised display DPI, as a user on a scaled display sees and
uses it: the window's size, the zoom view and the preview pixel for pixel,
no colour the 100 % window lacks, a drop at the scaled slot box's edges, a
drag at a quarter of the pointer's movement, and a new DPI while it runs.

The lower slot holds a solid, wholly opaque icon, so every composite can be
worked out from the one seen at 96 DPI."""

import os
import time

import pgtest
import tessary as t

GROUND = (30, 160, 70)
DROPPED = (200, 40, 160)
WM_DPICHANGED = 0x02E0
DPIS = (120, 144, 192)


def percent(dpi):
    return dpi * 100 // pgtest.BASE_DPI


def scaled(rect, dpi):
    return t.layout.scaled_rect(rect, percent(dpi))


def colours(img):
    return {img.rgb[i:i + 3] for i in range(0, len(img.rgb), 3)}


def blocks(img, rect, k):
    """The 32x32 picture a region shows as squares of k x k pixels; None
    where a square is not uniform."""
    x0, y0, _, _ = rect
    out = []
    for y in range(32):
        row = []
        for x in range(32):
            c = img.pixel(x0 + x * k, y0 + y * k)
            same = all(img.pixel(x0 + x * k + i, y0 + y * k + j) == c
                       for j in range(k) for i in range(k))
            row.append(c if same else None)
        out.append(row)
    return out


def nearest(picture, rect, img):
    """Whether the region shows the 32x32 picture enlarged to its size, each
    device pixel the picture pixel under its centre."""
    x0, y0, w, h = rect
    return all(img.pixel(x0 + x, y0 + y) == picture[(2 * y + 1) * 32 // (2 * h)][(2 * x + 1) * 32 // (2 * w)]
               for y in range(h) for x in range(w))


def main_hwnd():
    for line in pgtest.driver("windows").all("window"):
        hwnd, _, _, cls, *_ = line.split(" ", 4) + [""]
        if cls == "TessaryMainWindow":
            return hwnd
    raise AssertionError("no main window")


class Scale(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        folder = pgtest.scratch_dir()
        cls.ground = os.path.join(folder, "ground.ico")
        cls.dropped = os.path.join(folder, "dropped.ico")
        with open(cls.ground, "wb") as f:
            f.write(t.solid_ico(GROUND))
        with open(cls.dropped, "wb") as f:
            f.write(t.solid_ico(DROPPED))

    def setUp(self):
        self.addCleanup(pgtest.host, "xdotool", "mouseup", "1", check=False)

    def open(self, dpi=None):
        return t.start_with_lower(self, self.ground, dpi=dpi)

    def reference(self):
        """The 100 % window: its composite and its colours."""
        w = self.open()
        shot = w.shot()
        base = w.preview(shot)
        w.close()
        return base, colours(shot)

    def test_the_window_at_each_scale(self):
        base, base_colours = self.reference()
        opaque = t.opaque_cell(base, GROUND)
        for dpi in DPIS:
            with self.subTest(dpi=dpi):
                w = self.open(dpi)
                k = percent(dpi) // 25
                self.assertEqual(pgtest.window_dpi(main_hwnd())["window"], dpi)
                shot = w.shot()
                self.assertEqual((shot.width, shot.height), t.scaled_size(dpi))
                zoom = scaled(t.ZOOM, dpi)
                self.assertEqual(zoom[2:], (32 * k, 32 * k))
                # Every composite pixel one uniform square of 4 s pixels, and
                # the preview its pixel-exact enlargement at 32 s.
                self.assertEqual(blocks(shot, zoom, k), base)
                self.assertTrue(nearest(base, scaled(t.PREVIEW, dpi), shot))
                extra = colours(shot) - base_colours
                self.assertFalse(extra, "colours the 100 %% window lacks: %s" % [tuple(c) for c in sorted(extra)[:8]])

                # A drag of 16 s device pixels moves the upper icon by 4.
                x0, y0 = zoom[0] + opaque[0] * k, zoom[1] + opaque[1] * k
                pgtest.mousemove(w.xid, x0, y0)
                time.sleep(0.05)
                pgtest.host("xdotool", "mousedown", "1")
                time.sleep(0.05)
                for i in range(1, 5):
                    w.move_to(x0 + 4 * k * i // 4, y0)
                    time.sleep(0.05)
                pgtest.host("xdotool", "mouseup", "1")
                want = t.layered_preview(base, GROUND, (4, 0))
                until = time.monotonic() + 3
                while blocks(w.shot(), zoom, k) != want and time.monotonic() < until:
                    time.sleep(0.05)
                self.assertEqual(blocks(w.shot(), zoom, k), want)

                # A drop just past the upper box's scaled right and bottom
                # edges is taken by it, one device pixel further is not.
                ux, uy, uw, uh = t.UPPER
                past_x = t.layout.scaled(ux + uw + 1, percent(dpi))
                past_y = t.layout.scaled(uy + uh + 1, percent(dpi))
                t.drop(past_x, past_y, self.dropped)
                time.sleep(0.3)
                self.assertEqual(blocks(w.shot(), zoom, k), want)
                t.drop(past_x - 1, past_y - 1, self.dropped)
                solid = [[DROPPED] * 32 for _ in range(32)]
                until = time.monotonic() + 3
                while blocks(w.shot(), zoom, k) != solid and time.monotonic() < until:
                    time.sleep(0.05)
                self.assertEqual(blocks(w.shot(), zoom, k), solid)
                self.assertTrue(nearest([[DROPPED] * 32] * 32, scaled(t.UPPER, dpi), w.shot()))
                # The close button where the scaled skin shows it.
                self.assertEqual(w.close(), 0)

    def test_a_new_dpi_lays_the_window_out_anew(self):
        w = self.open()
        before = w.shot()
        hwnd = main_hwnd()
        for dpi in (192, 96):
            pgtest.driver("post", hwnd, WM_DPICHANGED, (dpi << 16) | dpi, 0)
            until = time.monotonic() + 3
            while w.geometry()[2:] != t.scaled_size(dpi) and time.monotonic() < until:
                time.sleep(0.05)
            self.assertEqual(w.geometry()[2:], t.scaled_size(dpi))
        time.sleep(0.2)
        # Back at 96 DPI it is the window it was, pixel for pixel.
        self.assertEqual(w.shot().rgb, before.rgb)


if __name__ == "__main__":
    pgtest.main()
