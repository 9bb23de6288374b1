"""The harness itself: the driver, message boxes, keys, screenshots, the
registry helpers, a second display and the timeouts. If these fail, no other
end-to-end result means anything."""

import time

import pgtest

TEST_KEY = r"HKCU\Software\Pairglyph harness test"


def show_box(case, caption, text, flags, lang=None):
    args = ["msgbox-show", caption, text, hex(flags)] + ([hex(lang)] if lang is not None else [])
    return case.start(pgtest.exe("DRIVER"), *args)


class MessageBoxes(pgtest.WineTestCase):
    def test_reads_text_and_buttons_and_returns_the_pressed_button(self):
        proc = show_box(self, "harness 確認", "一行目\n二行目", 0x10021, 0x0011)
        box = pgtest.msgbox_wait("harness 確認")
        self.assertEqual(box.caption, "harness 確認")
        self.assertEqual(box.text, "一行目\n二行目")
        self.assertEqual([i for i, _ in box.buttons], [1, 2])
        self.assertEqual(box.owner, "0x0")
        pgtest.msgbox_press("harness 確認", "IDCANCEL")
        self.assertEqual(proc.wait(5), 2)
        self.assertTrue(pgtest.no_msgbox("harness 確認"))
        # Reading and answering in one step.
        proc = show_box(self, "harness 確認", "text", 0x21)
        self.assertEqual(pgtest.msgbox_wait("harness 確認", press="IDOK").text, "text")
        self.assertEqual(proc.wait(5), 1)

    def test_keyboard_reaches_the_box(self):
        for keyname, expected in (("Return", 1), ("Escape", 2)):
            with self.subTest(key=keyname):
                proc = show_box(self, "harness keys", "text", 0x10021)
                pgtest.msgbox_wait("harness keys")
                xid = pgtest.find_window("^harness keys$")
                pgtest.key(keyname, xid=xid)
                self.assertEqual(proc.wait(5), expected)

    def test_screenshot_of_the_box_matches_its_size(self):
        show_box(self, "harness shot", "text", 0x10)
        pgtest.msgbox_wait("harness shot")
        xid = pgtest.find_window("^harness shot$")
        _, _, w, h = pgtest.geometry(xid)
        shot = pgtest.screenshot(xid)
        self.assertEqual((shot.width, shot.height), (w, h))
        self.assertEqual(len(shot.rgb), w * h * 3)
        # The error icon is red somewhere; a blank capture has no red.
        icon = next(c for c in pgtest.msgbox_wait("harness shot").controls if c[0] == 1088)
        _, _, x, y, iw, ih = icon
        reds = [p for p in (shot.pixel(x + i, y + j) for i in range(iw) for j in range(ih))
                if p[0] > 150 and p[1] < 80 and p[2] < 80]
        self.assertTrue(reds)


class Processes(pgtest.WineTestCase):
    def test_a_hanging_program_is_killed_at_its_timeout(self):
        proc = show_box(self, "harness hang", "text", 0)
        pgtest.msgbox_wait("harness hang")
        t0 = time.monotonic()
        with self.assertRaisesRegex(AssertionError, "did not exit"):
            proc.wait(0.3)
        self.assertLess(time.monotonic() - t0, 3)
        self.assertFalse(proc.running())

    def test_another_display_has_its_own_depth(self):
        self.assertEqual(pgtest.driver("depth")["bitspixel"], "32")
        for depth in (16, 8):
            with self.subTest(depth=depth), pgtest.other_display(depth) as display:
                r = pgtest.run(pgtest.exe("DRIVER"), "depth", env={"DISPLAY": display})
                self.assertEqual(r.stdout.split(), ["bitspixel", str(depth)])


class Registry(pgtest.WineTestCase):
    def setUp(self):
        pgtest.reg_delete_key(TEST_KEY)
        self.addCleanup(pgtest.reg_delete_key, TEST_KEY)

    def test_values_read_back_exactly(self):
        pgtest.reg_add(TEST_KEY, "sz", "表示 \\ \"16\" ")
        pgtest.reg_add(TEST_KEY, "expand", "%PATH%;24", "REG_EXPAND_SZ")
        pgtest.reg_add(TEST_KEY, "dword", "24", "REG_DWORD")
        pgtest.reg_add(TEST_KEY, "empty", "")
        self.assertEqual(pgtest.reg_export(TEST_KEY), {
            "sz": ("REG_SZ", "表示 \\ \"16\" "),
            "expand": ("REG_EXPAND_SZ", "%PATH%;24"),
            "dword": ("REG_DWORD", 24),
            "empty": ("REG_SZ", ""),
        })
        self.assertEqual(pgtest.reg_raw(TEST_KEY, "sz"),
                         pgtest.RawValue(1, pgtest.utf16z("表示 \\ \"16\" ")))
        self.assertIsNone(pgtest.reg_raw(TEST_KEY, "absent"))
        self.assertIsNone(pgtest.reg_value(TEST_KEY, "absent"))
        pgtest.reg_delete_value(TEST_KEY, "sz")
        self.assertIsNone(pgtest.reg_value(TEST_KEY, "sz"))

    def test_raw_bytes_and_missing_keys(self):
        pgtest.reg_set_raw(TEST_KEY, "raw", 1, "16".encode("utf-16-le") + b"\0\0x\0")
        self.assertEqual(pgtest.reg_raw(TEST_KEY, "raw").data, b"1\x006\x00\x00\x00x\x00")
        pgtest.reg_delete_key(TEST_KEY)
        self.assertIsNone(pgtest.reg_export(TEST_KEY))
        self.assertIsNone(pgtest.reg_raw(TEST_KEY, "raw"))

    def test_steps_run_in_one_driver_process(self):
        set_, got, _, gone = pgtest.driver_steps(
            ["reg-set", TEST_KEY, "v", 4, "10000000"], ["reg-get", TEST_KEY, "v"],
            ["reg-delete", TEST_KEY, "v"], ["reg-get", TEST_KEY, "v"])
        self.assertEqual(pgtest.raw_value(got), pgtest.RawValue(4, b"\x10\0\0\0"))
        self.assertIsNone(pgtest.raw_value(gone))
        with self.assertRaisesRegex(AssertionError, "status 2"):
            pgtest.driver_steps(["depth"], ["no-such-step"])

    def test_saved_key_puts_back_values_and_subkeys(self):
        pgtest.reg_add(TEST_KEY, "a", "1")
        pgtest.reg_add(TEST_KEY + r"\sub", "b", "2")
        with pgtest.saved_key(TEST_KEY):
            pgtest.reg_delete_key(TEST_KEY)
            self.assertIsNone(pgtest.reg_export(TEST_KEY))
        self.assertEqual(pgtest.reg_export(TEST_KEY), {"a": ("REG_SZ", "1")})
        self.assertEqual(pgtest.reg_export(TEST_KEY + r"\sub"), {"b": ("REG_SZ", "2")})


if __name__ == "__main__":
    pgtest.main()
