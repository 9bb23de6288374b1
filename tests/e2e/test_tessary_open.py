"""Getting icons in without a drag: "open Upper..." and "open Lower..." in
the pop-up menu (and their shortcuts) show the system's Open dialog and
treat the chosen file as a drop on that slot; files named on the command
line go into the slots as drops would, once the window is on screen; and
a slot box that still holds its start picture says how icons come in."""

import os
import struct
import time

import pgtest
import tessary as t

RED, GREEN = (200, 30, 30), (20, 170, 60)
LIB_COLOURS = [(230, 120, 20), (40, 90, 220), (150, 40, 160)]
HINT = "drop an icon file here, or use open\u2026 in the menu"


def pattern(x, y):
    return (8 * x, 8 * y, 200)


def pattern_ico() -> bytes:
    """A 32x32 24-bit icon, opaque everywhere, no two pixels alike."""
    rows = b"".join(bytes(c for x in range(32) for c in reversed(pattern(x, y)))
                    for y in reversed(range(32)))
    mask = bytes(4 * 32)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 24, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = header + rows + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", 32, 32, 0, 0, 1, 24, len(image), 22) + image


PATTERN = [[pattern(x, y) for x in range(32)] for y in range(32)]


def colours(img):
    return {img.pixel(x, y) for y in range(img.height) for x in range(img.width)}


class Files(pgtest.WineTestCase):
    """Icon files, a damaged one and a library of three icons."""

    @classmethod
    def setUpClass(cls):
        cls.dir = os.path.join(pgtest.scratch_dir(), "open")
        os.makedirs(os.path.join(cls.dir, "icons"), exist_ok=True)
        cls.pattern = cls.write(os.path.join("icons", "pattern.ico"), pattern_ico())
        cls.green = cls.write("green one.ico", t.solid_ico(GREEN))
        cls.cut = cls.write("cut.ico", t.solid_ico(RED)[:600])
        cls.lib = os.path.join(cls.dir, "three.dll")
        t.icon_library(cls.lib, LIB_COLOURS)

    @classmethod
    def write(cls, name, data):
        path = os.path.join(cls.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def wait_region(self, w, rect, want, timeout=3.0):
        until = time.monotonic() + timeout
        while colours(w.region(rect)) != want and time.monotonic() < until:
            time.sleep(0.05)
        return colours(w.region(rect))


class OpenFromTheMenu(Files):
    def open_file(self, w, keys, path):
        """The Open dialog by its shortcut, the file's name typed into it."""
        pgtest.key(keys, xid=w.xid)
        pgtest.find_window("^Open$", timeout=5)
        pgtest.key("alt+n")
        pgtest.type_text(pgtest.win_path(path))
        pgtest.key("Return")
        pgtest.wait_no_window("^Open$")

    def test_open_upper_undo_and_the_folder_follows(self):
        w = t.start(self)
        start = w.preview()
        self.open_file(w, "ctrl+o", self.pattern)
        # Opaque at 0, 0, the icon is the whole composite, pixel for pixel.
        self.assertEqual(w.wait_preview(PATTERN), PATTERN)
        # One undo step takes it back.
        pgtest.key("ctrl+z", xid=w.xid)
        self.assertEqual(w.wait_preview(start), start)
        # The save dialog now starts in the opened file's folder.
        pgtest.click(w.xid, *t.centre(t.SAVE_BUTTON))
        pgtest.find_window("^Save As$", timeout=5)
        pgtest.key("alt+n")
        pgtest.type_text("saved.ico")
        pgtest.key("Return")
        pgtest.wait_no_window("^Save As$")
        saved = os.path.join(self.dir, "icons", "saved.ico")
        until = time.monotonic() + 5
        while not os.path.exists(saved) and time.monotonic() < until:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(saved), os.listdir(os.path.join(self.dir, "icons")))

    def test_open_lower_library_and_a_damaged_file(self):
        w = t.start(self)
        upper = w.region(t.UPPER).rgb
        self.open_file(w, "ctrl+shift+o", self.lib)
        p = t.wait_picker(True)
        self.assertEqual(p.title, pgtest.win_path(self.lib))
        self.assertEqual([i[0] for i in p.items()], ["0", "1", "2"])
        p.click_item(1, double=True)
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.LOWER, {LIB_COLOURS[1]}), {LIB_COLOURS[1]})
        self.assertEqual(w.region(t.UPPER).rgb, upper)

        # A damaged icon file: the drop's message, and nothing changes.
        before = w.shot()
        self.open_file(w, "ctrl+o", self.cut)
        box = pgtest.msgbox_wait("Pairglyph")
        self.assertIn(pgtest.win_path(self.cut), box.text)
        self.assertIn("を開けません", box.text)
        pgtest.msgbox_press("Pairglyph", "IDOK")
        time.sleep(0.3)
        self.assertTrue(pgtest.no_msgbox("Pairglyph"))
        self.assertEqual(w.shot().rgb, before.rgb)

    def test_the_menu_items_open_the_dialog(self):
        w = t.start(self)
        for item in ("open Upper...", "open Lower..."):
            t.choose(w, item)
            pgtest.find_window("^Open$", timeout=5)
            pgtest.key("Escape")
            pgtest.wait_no_window("^Open$")
        self.assertTrue(pgtest.no_msgbox("Pairglyph"))

    def test_the_hint_over_a_slot_with_its_start_picture(self):
        w = t.start(self)

        def hint_over(rect):
            x, y = t.centre(rect)
            w.move_to(x - 3, y - 3)
            time.sleep(0.05)
            w.move_to(x, y)
            until = time.monotonic() + 3
            while time.monotonic() < until:
                shown = [text for visible, text in t.hints() if visible]
                if shown:
                    return shown
                time.sleep(0.1)
            return []

        self.assertEqual(hint_over(t.UPPER), [HINT])
        w.move_to(*t.centre(t.ZOOM))
        t.drop(t.UPPER[0] + 2, t.UPPER[1] + 2, self.green)
        self.assertEqual(self.wait_region(w, t.UPPER, {GREEN}), {GREEN})
        self.assertEqual(hint_over(t.UPPER), [])
        # The lower slot still holds its own picture and keeps its hint.
        self.assertEqual(hint_over(t.LOWER), [HINT])


class OpenFromTheCommandLine(Files):
    def test_two_icons_relative_and_long_in_any_script(self):
        # One relative to the current folder; one far past 260 characters,
        # with blanks and several scripts in it.
        folder = self.dir
        for part in ["フォルダー 一", "Ελληνικά", "папка", "x" * 120, "y" * 120]:
            folder = os.path.join(folder, part)
        os.makedirs(folder, exist_ok=True)
        green = os.path.join(folder, "green one.ico")
        with open(green, "wb") as f:
            f.write(t.solid_ico(GREEN))
        self.assertGreater(len(pgtest.win_path(green)), 300)
        w = t.start(self, cwd=self.dir,
                    args=(os.path.join("icons", "pattern.ico"), pgtest.win_path(green)))
        self.assertEqual(self.wait_region(w, t.LOWER, {GREEN}), {GREEN})
        self.assertEqual(w.wait_preview(PATTERN), PATTERN)
        self.assertTrue(pgtest.no_msgbox("Pairglyph"))

    def test_two_libraries_pick_upper_then_lower(self):
        w = t.start(self, args=(pgtest.win_path(self.lib), pgtest.win_path(self.lib)))
        p = t.wait_picker(True)
        self.assertEqual(p.title, pgtest.win_path(self.lib))
        p.click_item(0, double=True)
        # The pick closes the picker and fills the upper slot; then the
        # lower slot's picker opens (over the preview: the slots are read
        # once it has closed).
        time.sleep(1.0)
        p = t.wait_picker(True)
        p.click_item(2, double=True)
        t.wait_picker(False)
        self.assertEqual(self.wait_region(w, t.LOWER, {LIB_COLOURS[2]}), {LIB_COLOURS[2]})
        self.assertEqual(colours(w.region(t.UPPER)), {LIB_COLOURS[0]})
        time.sleep(0.3)
        self.assertFalse(t.picker().visible)

    def test_a_missing_file_is_told_once_and_the_window_starts(self):
        plain = t.start(self)
        upper = plain.region(t.UPPER).rgb
        plain.close()
        missing = os.path.join(self.dir, "nowhere", "gone.dll")
        w = t.start(self, args=(pgtest.win_path(missing), pgtest.win_path(self.green)))
        box = pgtest.msgbox_wait("Pairglyph")
        self.assertIn(pgtest.win_path(missing), box.text)
        self.assertIn("を開けません", box.text)
        pgtest.msgbox_press("Pairglyph", "IDOK")
        # The lower slot's file still goes in; no second message follows.
        self.assertEqual(self.wait_region(w, t.LOWER, {GREEN}), {GREEN})
        time.sleep(0.5)
        self.assertTrue(pgtest.no_msgbox("Pairglyph"))
        self.assertTrue(w.proc.running())
        self.assertEqual(w.region(t.UPPER).rgb, upper)


if __name__ == "__main__":
    pgtest.main()
