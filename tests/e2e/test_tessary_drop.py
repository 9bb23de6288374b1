"""Files dropped on Tessary's slot boxes, delivered as the shell delivers
them: the hit test's edges, .ico files straight into a slot (any letter
case), other names to the picker, files that hold no icons passed over
silently, a damaged icon file refused before anything changes, several
files at once, and the save dialog's folder following the drops."""

import os
import time

import pgtest
import tessary as t

RED, BLUE, GREEN, GREY = (200, 30, 30), (30, 40, 210), (20, 170, 60), (90, 90, 90)


def colours(img):
    return {img.pixel(x, y) for y in range(img.height) for x in range(img.width)}


class Drop(pgtest.WineTestCase):
    def setUp(self):
        self.dir = os.path.join(pgtest.scratch_dir(), self.id().rsplit(".", 1)[-1])
        os.makedirs(self.dir, exist_ok=True)

    def file(self, name, data, folder=None):
        path = os.path.join(folder or self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def slot(self, w, rect):
        return colours(w.region(rect))

    def wait_slot(self, w, rect, want, timeout=3.0):
        until = time.monotonic() + timeout
        while self.slot(w, rect) != want and time.monotonic() < until:
            time.sleep(0.05)
        return self.slot(w, rect)

    def assertQuiet(self, w, before):
        """Nothing happened: no picker, no box, the window as it was."""
        time.sleep(0.4)
        self.assertFalse(t.picker().visible)
        self.assertTrue(pgtest.no_msgbox("Pairglyph"))
        self.assertEqual(w.shot().rgb, before.rgb)

    def test_hit_test_ico_routes_and_silence(self):
        w = t.start(self)
        ux, uy, uw, uh = t.UPPER
        lx, ly, lw, lh = t.LOWER
        red = self.file("red.ico", t.solid_ico(RED))
        blue = self.file("blue.ico", t.solid_ico(BLUE))

        # Drag the upper icon away first: the drop puts its offsets back to 0.
        x, y = w.zoom_point(16, 16)
        pgtest.drag(w.xid, x, y, x + 40, y + 24, steps=4)
        # The right and bottom edges belong to the slot: X = Left + 32 hits.
        t.drop(ux + uw, uy + uh, red)
        self.assertEqual(self.wait_slot(w, t.UPPER, {RED}), {RED})
        self.assertEqual(colours(w.region(t.PREVIEW)), {RED})  # at 0, 0 it covers the cell
        # One pixel further misses, right and below (y 90 lies between the slots).
        before = w.shot()
        t.drop(ux + uw + 1, uy, blue)
        t.drop(ux, uy + uh + 1, blue)
        t.drop(ux - 1, uy, blue)
        self.assertQuiet(w, before)

        # ICON.ICO in capitals goes straight in, here on the lower slot's
        # top-left pixel; the upper slot stays as it was.
        green = self.file("ICON.ICO", t.solid_ico(GREEN))
        t.drop(lx, ly, green)
        self.assertEqual(self.wait_slot(w, t.LOWER, {GREEN}), {GREEN})
        self.assertEqual(self.slot(w, t.UPPER), {RED})

        # Several files at once: the first counts.
        t.drop(lx + 5, ly + 5, blue, red)
        self.assertEqual(self.wait_slot(w, t.LOWER, {BLUE}), {BLUE})

        # Files that hold no icons are passed over without a word: a text
        # file (whatever its name) and a library without icon groups.
        before = w.shot()
        text = self.file("notes.txt", b"just some words\r\n")
        t.drop(ux + 5, uy + 5, text)
        t.drop(ux + 5, uy + 5, self.file("plain", b"\0\0\0\0no icon here"))
        lib = os.path.join(self.dir, "noicons.dll")
        t.icon_library(lib, [])
        t.drop(lx + 5, ly + 5, lib)
        self.assertQuiet(w, before)

        # Names that are not ".ico" go to the picker, even with icon content.
        for name in ("grey.ico.bak", "grey"):
            t.drop(lx + 5, ly + 5, self.file(name, t.solid_ico(GREY)))
            p = t.wait_picker(True)
            self.assertEqual([i[0] for i in p.items()], ["0"])
            self.assertEqual(p.title, pgtest.win_path(os.path.join(self.dir, name)))
            pgtest.key("Escape")
            t.wait_picker(False)
        self.assertEqual(self.slot(w, t.LOWER), {BLUE})

    def test_damaged_icon_and_the_save_folder(self):
        w = t.start(self)
        ux, uy, _, _ = t.UPPER
        red = self.file("red.ico", t.solid_ico(RED), folder=os.path.join(self.dir, "icons"))
        t.drop(ux + 1, uy + 1, red)
        self.assertEqual(self.wait_slot(w, t.UPPER, {RED}), {RED})
        # A drop between the slots changes no slot, only the save folder.
        words = self.file("a.txt", b"words", folder=os.path.join(self.dir, "between"))
        before = w.shot()
        t.drop(20, 100, words)
        self.assertQuiet(w, before)

        # A damaged icon file (its image runs past the end), one whose type
        # word is no icon's, and a missing one: refused with a message
        # naming the file, the slot and composite unchanged, and the save
        # folder not moved to their folder.
        elsewhere = os.path.join(self.dir, "damaged")
        bad = [self.file("cut.ico", t.solid_ico(BLUE)[:600], folder=elsewhere),
               self.file("cursor.ico", b"\0\0\2\0" + t.solid_ico(BLUE)[4:], folder=elsewhere),
               os.path.join(elsewhere, "gone.ico")]
        for path in bad:
            t.drop(ux + 1, uy + 1, path)
            box = pgtest.msgbox_wait("Pairglyph")
            self.assertIn(pgtest.win_path(path), box.text)
            self.assertIn("を開けません", box.text)
            pgtest.msgbox_press("Pairglyph", "IDOK")
            self.assertEqual(self.slot(w, t.UPPER), {RED})
            self.assertEqual(w.shot().rgb, before.rgb)

        # The dialog opens in the folder of the last drop that got that far.
        pgtest.click(w.xid, *t.centre(t.SAVE_BUTTON))
        pgtest.find_window("^Save As$", timeout=5)
        pgtest.key("alt+n")
        pgtest.type_text("here.ico")
        pgtest.key("Return")
        pgtest.wait_no_window("^Save As$")
        saved = os.path.join(self.dir, "between", "here.ico")
        until = time.monotonic() + 5
        while not os.path.exists(saved) and time.monotonic() < until:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(saved), os.listdir(os.path.join(self.dir, "between")))

    def test_long_and_unicode_names(self):
        w = t.start(self)
        # Far past 260 characters, in several scripts: the name is read
        # whole (a cut name would name no file).
        folder = self.dir
        for part in ["フォルダー", "Ελληνικά", "папка", "x" * 120, "y" * 120]:
            folder = os.path.join(folder, part)
        path = self.file("アイコン.ICO", t.solid_ico(GREEN), folder=folder)
        self.assertGreater(len(pgtest.win_path(path)), 300)
        t.drop(t.LOWER[0] + 3, t.LOWER[1] + 3, path)
        self.assertEqual(self.wait_slot(w, t.LOWER, {GREEN}), {GREEN})


if __name__ == "__main__":
    pgtest.main()
