"""Save through the real save dialog: each file type with its depth, Shift
for 8 bits under "all types", the folder the dialog opens in, the 8-bit
fallback, a cancelled dialog, a file that cannot be created and one that
cannot be replaced. Every saved file must show exactly the preview, with
the key colour transparent."""

import os
import struct
import time

import pgtest
import tessary as t

GROUND = (30, 160, 70)
DIALOG = "^Save As$"


def gradient_ico() -> bytes:
    """A 32x32 opaque icon with 1,024 different colours."""
    ico = bytearray(t.solid_ico((0, 0, 0)))
    p = 22 + 40
    for row in range(32):
        for x in range(32):
            i = p + (row * 32 + x) * 3
            ico[i:i + 3] = bytes((x * 8, row * 8, 100 + (x + row) % 7))
    return bytes(ico)


class Save(pgtest.WineTestCase):
    def start_with_lower(self, ico_bytes):
        folder = os.path.join(pgtest.scratch_dir(), self.id().rsplit(".", 1)[-1])
        os.makedirs(folder, exist_ok=True)
        ico = os.path.join(folder, "lower.ico")
        with open(ico, "wb") as f:
            f.write(ico_bytes)
        self.w = t.start_with_lower(self, ico)
        return folder

    def open_dialog(self, modifiers=()):
        pgtest.mousemove(self.w.xid, *t.centre(t.SAVE_BUTTON))
        time.sleep(0.05)
        for m in modifiers:
            pgtest.host("xdotool", "keydown", m)
        pgtest.host("xdotool", "click", "1")
        for m in modifiers:
            pgtest.host("xdotool", "keyup", m)
        return pgtest.find_window(DIALOG, timeout=5)

    def save(self, name, next_types=0, modifiers=()):
        """Save As with `name` typed, the file type moved down `next_types`
        entries from the one the dialog shows."""
        self.open_dialog(modifiers)
        if next_types:
            pgtest.key("alt+t")
            pgtest.key(*["Down"] * next_types)
        pgtest.key("alt+n")
        pgtest.type_text(name)
        pgtest.key("Return")
        pgtest.wait_no_window(DIALOG)

    def assertSaved(self, path, bpp, preview):
        until = time.monotonic() + 5
        while not os.path.exists(path) and time.monotonic() < until:
            time.sleep(0.05)
        got_bpp, rows, size = t.read_saved_icon(path)
        self.assertEqual((got_bpp, size), (bpp, t.ICON_SIZES[bpp]), path)
        for y in range(32):
            for x in range(32):
                want = None if preview[y][x] == t.KEY else preview[y][x]
                self.assertEqual(rows[y][x], want, (path, x, y))

    def test_file_types_and_depths(self):
        # A 16x16 lower icon leaves three quarters of its cell transparent.
        folder = self.start_with_lower(t.solid_ico(GROUND, size=16))
        preview = self.w.preview()
        self.assertTrue(t.KEY in [p for row in preview for p in row], "no key colour to save")
        out = os.path.join(folder, "out")
        os.makedirs(out)
        # The dialog first opens in the program's own folder.
        first = os.path.join(os.path.dirname(pgtest.exe("TESSARY")), "pg-first-save.ico")
        self.addCleanup(lambda: os.path.exists(first) and os.remove(first))
        self.save("pg-first-save.ico")
        self.assertSaved(first, 8, preview)
        # Type 1 (first at start): 8 bits; the full name picks the folder.
        self.save(pgtest.win_path(os.path.join(out, "a.ico")))
        self.assertSaved(os.path.join(out, "a.ico"), 8, preview)
        # The dialog now opens there: a bare name lands beside a.ico.
        # Type 2: 24 bits, with Shift held too.
        self.save("b", next_types=1)  # the default extension is added
        self.assertSaved(os.path.join(out, "b.ico"), 24, preview)
        self.save("b2.ico", modifiers=("shift",))
        self.assertSaved(os.path.join(out, "b2.ico"), 24, preview)
        # Type 3, "all types": the press decides; Shift alone gives 8 bits.
        self.save("c.ico", next_types=1)
        self.assertSaved(os.path.join(out, "c.ico"), 24, preview)
        self.save("d.ico", modifiers=("shift",))
        self.assertSaved(os.path.join(out, "d.ico"), 8, preview)
        self.save("e.ico", modifiers=("ctrl", "shift"))
        self.assertSaved(os.path.join(out, "e.ico"), 24, preview)
        self.assertEqual(sorted(os.listdir(out)), ["a.ico", "b.ico", "b2.ico", "c.ico", "d.ico",
                                                   "e.ico"])

    def test_fallback_cancel_and_failure(self):
        folder = self.start_with_lower(gradient_ico())
        # Drag the upper icon out of the composite: 1,024 colours remain,
        # too many for a palette.
        x, y = self.w.zoom_point(16, 16)
        pgtest.drag(self.w.xid, x, y, x + 200, y, steps=4)
        preview = self.w.preview()
        self.assertEqual(len({p for row in preview for p in row}), 1024)

        # A cancelled dialog writes nothing.
        self.open_dialog()
        pgtest.key("Escape")
        pgtest.wait_no_window(DIALOG)
        self.assertEqual(sorted(os.listdir(folder)), ["lower.ico"])

        # A file that cannot be created: a clear message, nothing written,
        # the gauge hidden again.
        missing = pgtest.win_path(os.path.join(folder, "no such folder", "x.ico"))
        self.open_dialog()
        pgtest.key("alt+n")
        pgtest.type_text(missing)
        pgtest.key("Return")
        box = pgtest.msgbox_wait("Pairglyph")
        self.assertIn(missing, box.text)
        self.assertIn("を作成できません", box.text)
        pgtest.msgbox_press("Pairglyph", "IDOK")
        self.assertEqual(sorted(os.listdir(folder)), ["lower.ico"])
        img = self.w.shot()
        gauge = img.crop(*t.GAUGE)
        self.assertNotIn((255, 128, 0), [gauge.pixel(i % 45, i // 45) for i in range(45 * 6)])

        # Type 1 asks for 8 bits, but the palette cannot be built: 24 bits.
        name = os.path.join(folder, "many.ico")
        self.save(pgtest.win_path(name))
        self.assertSaved(name, 24, preview)

        # Another program holds many.ico open without sharing: replacing it
        # fails with the message, and the old file keeps every byte.
        with open(name, "rb") as f:
            before = f.read()
        holder = self.start(pgtest.exe("DRIVER"), "hold", pgtest.win_path(name), "30000")
        until = time.monotonic() + 10
        while "held" not in holder.stdout and time.monotonic() < until:
            time.sleep(0.05)
        self.assertIn("held", holder.stdout, holder.stderr)
        self.open_dialog()
        pgtest.key("alt+n")
        pgtest.type_text(pgtest.win_path(name))
        pgtest.key("Return")
        # Wine captions the dialog's "already exists. Replace it?" "Error".
        pgtest.msgbox_press("Error", "IDYES")
        box = pgtest.msgbox_wait("Pairglyph")
        self.assertIn("を作成できません", box.text)
        pgtest.msgbox_press("Pairglyph", "IDOK")
        holder.close()
        with open(name, "rb") as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(sorted(os.listdir(folder)), ["lower.ico", "many.ico"])
        self.assertTrue(self.w.proc.running())

    def test_multi_size_type(self):
        # A lower icon opaque in its left half and transparent in its right.
        ico = bytearray(t.solid_ico(GROUND))
        colour = 22 + 40
        mask = colour + 32 * 32 * 3
        for row in range(32):
            ico[mask + row * 4:mask + row * 4 + 4] = bytes([0, 0, 0xFF, 0xFF])
            start = colour + row * 96 + 16 * 3  # transparent pixels are black
            ico[start:start + 48] = bytes(48)
        folder = self.start_with_lower(bytes(ico))
        preview = self.w.preview()
        self.assertIn(t.KEY, [p for row in preview for p in row])
        # The fourth type, after the three specified ones.
        self.save(pgtest.win_path(os.path.join(folder, "multi.ico")), next_types=3)
        path = os.path.join(folder, "multi.ico")
        until = time.monotonic() + 5
        while not os.path.exists(path) and time.monotonic() < until:
            time.sleep(0.05)
        with open(path, "rb") as f:
            data = f.read()
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind, count), (0, 1, 8))
        entries = [struct.unpack_from("<BBBBHHII", data, 6 + 16 * i) for i in range(count)]
        self.assertEqual([e[0] for e in entries], [0, 64, 48, 40, 32, 24, 20, 16])  # 256 as 0
        self.assertEqual(data[entries[0][7] + 1:entries[0][7] + 4], b"PNG")
        # The 32x32 image: a 32-bit DIB, bottom-up, that agrees with the
        # preview; the key colour is transparent.
        w, h, _, _, _, bpp, _, offset = entries[4]
        self.assertEqual(bpp, 32)
        bits = offset + 40
        for y in range(32):
            for x in range(32):
                b, g, r, a = data[bits + ((31 - y) * 32 + x) * 4:bits + ((31 - y) * 32 + x) * 4 + 4]
                if preview[y][x] == t.KEY:
                    self.assertEqual(a, 0, (x, y))
                else:
                    self.assertEqual((r, g, b, a), preview[y][x] + (255,), (x, y))


if __name__ == "__main__":
    pgtest.main()
