"""The display-depth check at start: 16 bits per pixel pass, 8 bits are
refused with the Japanese message and the program ends without a window."""

import pgtest

REFUSAL = "256色環境ではご使用いただけません。"


def depth_of(display):
    r = pgtest.run(pgtest.exe("DRIVER"), "depth", env={"DISPLAY": display})
    return int(pgtest.Facts(r.returncode, r.stdout, r.stderr)["bitspixel"])


class DisplayDepth(pgtest.WineTestCase):
    def test_16_bits_start_the_window(self):
        with pgtest.other_display(16) as display:
            self.assertEqual(depth_of(display), 16)
            proc = self.start(pgtest.exe("TESSARY"), cwd=pgtest.scratch_dir(),
                              env={"DISPLAY": display})
            pgtest.driver("wait-window", "Pairglyph", 15000, timeout=25)
            self.assertTrue(pgtest.no_msgbox("Pairglyph"))
            pgtest.driver("post", "Pairglyph", 0x0010, 0, 0)  # WM_CLOSE
            self.assertEqual(proc.wait(10), 0)

    def test_8_bits_are_refused(self):
        with pgtest.other_display(8) as display:
            self.assertEqual(depth_of(display), 8)
            proc = self.start(pgtest.exe("TESSARY"), cwd=pgtest.scratch_dir(),
                              env={"DISPLAY": display})
            box = pgtest.msgbox_wait("Pairglyph", timeout=15)
            self.assertEqual(box.text, REFUSAL)
            self.assertEqual([b for _, b in box.buttons], ["OK"])
            # Style 0: no icon beside the text.
            self.assertNotIn(1088, [c[0] for c in box.controls if c[1] == "Static" and c[4] == 32])
            facts = pgtest.driver("windows").all("window")
            self.assertFalse([w for w in facts if "TessaryMainWindow" in w and "hidden" not in w],
                             facts)
            pgtest.msgbox_press("Pairglyph", "IDOK")
            self.assertEqual(proc.wait(10), 0)


if __name__ == "__main__":
    pgtest.main()
