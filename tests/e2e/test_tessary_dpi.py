"""Tessary and the display's scale: the window declares itself per-monitor
aware, so it is told its monitor's DPI (and the system does not stretch
it); the session's DPI can be set for a test."""

import pgtest
import tessary as t


class DisplayScale(pgtest.WineTestCase):
    def test_window_is_told_the_display_dpi(self):
        for dpi in (pgtest.BASE_DPI, 144):
            with self.subTest(dpi=dpi):
                w = t.start(self, dpi=dpi)
                seen = pgtest.window_dpi("Pairglyph")
                self.assertEqual(seen["window"], dpi)
                self.assertEqual(seen["logpixels"], dpi)
                # 2: per monitor, from the manifest.
                self.assertEqual(seen["awareness"], 2)
                self.assertEqual(seen["cursor"], 32 * dpi // pgtest.BASE_DPI)
                self.assertEqual(w.close(), 0)
                self.doCleanups()
        self.assertEqual(pgtest.display_dpi(), pgtest.BASE_DPI)


if __name__ == "__main__":
    pgtest.main()
