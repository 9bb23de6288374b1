"""Copy, paste and merge through the real clipboard: the composite out as a
bitmap, pictures in from every form programs offer (a DIB, a DIBV5 and a
PNG with transparency, a device bitmap with its palette, a large bitmap,
a PNG from an X program), an empty, a text-only and a busy clipboard,
shortcuts kept away from the picker's caption editor, and merge with a
later drag and save. The lower slot holds a solid, wholly opaque icon
(through the folder-icon setting) unless a test says otherwise."""

import os
import struct
import subprocess
import time
import zlib

import pgtest
import tessary as t

GROUND = (30, 160, 70)
CAPTION = "Pairglyph"
DIALOG = "^Save As$"


# ---- pictures as programs put them on the clipboard --------------------------------

def bmp24(w, h, colour_at) -> bytes:
    """A 24-bit bitmap file, bottom-up; colour_at(x, y) with y from the top."""
    pad = (4 - w * 3 % 4) % 4
    rows = b"".join(b"".join(bytes(colour_at(x, y)[::-1]) for x in range(w)) + b"\0" * pad
                    for y in reversed(range(h)))
    return struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows


def bmp8(w, h, palette, index_at) -> bytes:
    """An 8-bit bitmap file with its colour table, bottom-up."""
    pad = (4 - w % 4) % 4
    rows = b"".join(bytes(index_at(x, y) for x in range(w)) + b"\0" * pad
                    for y in reversed(range(h)))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    off = 54 + len(table)
    return struct.pack("<2sIHHI", b"BM", off + len(rows), 0, 0, off) + struct.pack(
        "<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 0, 0, len(palette), 0) + table + rows


def dibv5(w, h, rgba_at) -> bytes:
    """A packed DIB with a BITMAPV5HEADER: 32 bits, BI_BITFIELDS with an
    alpha mask, top-down, as browsers offer CF_DIBV5."""
    rows = b"".join(bytes((b, g, r, a)) for y in range(h) for x in range(w)
                    for r, g, b, a in [rgba_at(x, y)])
    header = struct.pack("<IiiHHIIiiII", 124, w, -h, 1, 32, 3, len(rows), 0, 0, 0, 0)
    header += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    header += struct.pack("<I", 0x73524742)  # 'sRGB'
    header += b"\0" * (124 - len(header))
    return header + rows


def png(w, h, rgba_at) -> bytes:
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + b"".join(bytes(rgba_at(x, y)) for x in range(w)) for y in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def pattern(x, y):
    """A colour of its own for every pixel of a 32x32 picture."""
    return (x * 8, y * 8, 255 - (x + y) * 4)


# Alpha across the rule's edge: opaque from 128 up.
ALPHAS = (0, 1, 100, 127, 128, 129, 200, 255)


def alpha_at(x, y):
    return ALPHAS[(x + 3 * y) % len(ALPHAS)]


def with_alpha(x, y):
    return pattern(x, y) + (alpha_at(x, y),)


def over_ground(x, y):
    return pattern(x, y) if alpha_at(x, y) >= 128 else GROUND


def rows_of(colour_at, w=32, h=32):
    return [[colour_at(x, y) for x in range(w)] for y in range(h)]


def read_dib(data: bytes):
    """(width, height, bits, rows top-down) of a packed BI_RGB DIB."""
    size, w, h, _, bits, comp = struct.unpack_from("<IiiHHI", data)
    assert comp == 0, comp
    stride = (w * bits // 8 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        src = abs(h) - 1 - y if h > 0 else y
        p = size + src * stride
        rows.append([tuple(data[p + x * bits // 8 + 2 - i] for i in range(3)) for x in range(w)])
    return w, abs(h), bits, rows


class Clipboard(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = os.path.join(pgtest.scratch_dir(), "clipboard")
        os.makedirs(cls.dir, exist_ok=True)
        cls.ground = cls.fixture("ground.ico", t.solid_ico(GROUND))

    @classmethod
    def fixture(cls, name, data):
        path = os.path.join(cls.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def open_window(self, lower=None):
        """Tessary in an empty folder of its own, the lower icon from `lower`
        (the ground icon by default, the shell's folder icon for "")."""
        self.cwd = os.path.join(self.dir, self.id().rsplit(".", 1)[-1])
        os.makedirs(self.cwd)
        if lower == "":
            self.w = t.start(self, cwd=self.cwd)
        else:
            self.w = t.start_with_lower(self, lower or self.ground, cwd=self.cwd)
        self.addCleanup(pgtest.host, "xdotool", "mouseup", "1", check=False)
        self.addCleanup(lambda: self.assertEqual(os.listdir(self.cwd), [],
                                                 "files left in the current folder"))
        return self.w

    def state(self):
        """What a failed command must leave alone: preview and both slots."""
        img = self.w.shot()
        return self.w.preview(img), self.w.region(t.UPPER, img).rgb, \
            self.w.region(t.LOWER, img).rgb

    def clip_set(self, *pairs):
        args = []
        for fmt, source in pairs:
            if isinstance(source, bytes):
                source = pgtest.win_path(self.fixture("clip-%s.bin" % fmt, source))
            args += [fmt, source]
        pgtest.driver("clip-set", *args)

    def clipboard_dib(self):
        name = os.path.join(self.dir, "got.dib")
        pgtest.driver("clip-get", "dib", pgtest.win_path(name))
        with open(name, "rb") as f:
            return read_dib(f.read())

    def expect_box(self, text):
        box = pgtest.msgbox_wait(CAPTION, press="IDOK")
        self.assertIn(text, box.text)

    def frame_at(self, top):
        img = self.w.shot()
        return all(img.pixel(x, top) == (0, 0, 0) for x in range(11, 45))

    # ---- copy -----------------------------------------------------------------------

    def test_copy_then_paste_lower(self):
        # A 16x16 lower icon: the key colour shows around it.
        self.open_window(lower=self.fixture("small.ico", t.solid_ico(GROUND, size=16)))
        # The lower icon moved first, so that the paste must reset its offsets
        # for the preview to stay as it is. Pressed where the preview shows the
        # key colour, the upper icon is transparent: the press picks the lower.
        base = self.w.preview()
        cell = next((x, y) for y in range(2, 30) for x in range(2, 30) if base[y][x] == t.KEY)
        x, y = self.w.zoom_point(*cell)
        pgtest.drag(self.w.xid, x, y, x + 12, y + 8, steps=4)
        time.sleep(0.1)
        preview, upper, lower = self.state()
        self.assertNotEqual(preview, base, "the drag did not move the lower icon")

        t.choose(self.w, "copy")
        w, h, bits, rows = self.clipboard_dib()
        self.assertEqual((w, h, bits), (32, 32, 24))
        self.assertEqual(rows, preview)
        self.assertIn(t.KEY, [p for row in rows for p in row])
        self.assertEqual(self.state(), (preview, upper, lower), "copy changed the window")
        formats = pgtest.driver("clip-formats").all("format")
        self.assertTrue(any(f.endswith(" CF_BITMAP") for f in formats), formats)

        # Ctrl+B: the lower slot now shows the composite, opaque; the upper
        # slot and the preview stay as they were.
        pgtest.key("ctrl+b")
        until = time.monotonic() + 3
        while (now := self.state())[2] == lower and time.monotonic() < until:
            time.sleep(0.05)
        self.assertEqual(now[0], preview)
        self.assertEqual(now[1], upper)
        self.assertEqual(self.w.region(t.LOWER).rgb,
                         b"".join(bytes(p) for row in preview for p in row))

    # ---- paste ----------------------------------------------------------------------

    def test_paste_upper_from_every_form(self):
        self.open_window()
        stripes = [(200, 40, 40), (40, 40, 200), (230, 210, 30), (20, 20, 20)]
        cases = [
            # A 16x16 DIB doubles by pixel replication.
            ("16x16 CF_DIB", [("dib", bmp24(16, 16, pattern))],
             rows_of(lambda x, y: pattern(x // 2, y // 2))),
            ("32-bit CF_DIBV5 with alpha", [("dibv5", dibv5(32, 32, with_alpha))],
             rows_of(over_ground)),
            # PNG is read first when a program offers several forms.
            ("PNG with alpha, beside a DIB", [("png", png(32, 32, with_alpha)),
                                               ("dib", bmp24(32, 32, lambda x, y: GROUND))],
             rows_of(over_ground)),
            ("CF_BITMAP with CF_PALETTE",
             [("bitmap", bmp8(32, 32, stripes, lambda x, y: (x // 8 + y // 8) % 4))],
             rows_of(lambda x, y: stripes[(x // 8 + y // 8) % 4])),
            ("wholly transparent PNG", [("png", png(32, 32, lambda x, y: (255, 0, 0, 0)))],
             rows_of(lambda x, y: GROUND)),
        ]
        for name, pairs, want in cases:
            with self.subTest(name):
                self.clip_set(*pairs)
                pgtest.key("ctrl+v")
                self.assertTrue(self.w.wait_preview(want) == want, name)
        # A 640x480 DIB, left half and right half in two colours.
        left, right = (250, 130, 0), (0, 90, 180)
        self.clip_set(("dib", bmp24(640, 480, lambda x, y: left if x < 320 else right)))
        t.choose(self.w, "paste Upper")
        time.sleep(0.3)
        got = self.w.preview()
        for row in got:
            self.assertEqual(row[:12], [left] * 12)
            self.assertEqual(row[20:], [right] * 12)

    def test_png_from_an_x_program(self):
        self.open_window()
        name = self.fixture("x.png", png(32, 32, with_alpha))
        self.start_host(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png",
                                 "-i", name])
        until = time.monotonic() + 5
        while not any(f.endswith(" PNG") for f in pgtest.driver("clip-formats").all("format")):
            self.assertLess(time.monotonic(), until, "X's PNG never reached Wine")
            time.sleep(0.1)
        pgtest.key("ctrl+v")
        want = rows_of(over_ground)
        self.assertTrue(self.w.wait_preview(want) == want)

    def start_host(self, argv):
        p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (p.kill(), p.wait()))
        return p

    def test_nothing_to_paste_and_a_busy_clipboard(self):
        self.open_window()
        before = self.state()
        pgtest.driver("clip-empty")
        pgtest.key("ctrl+v")
        self.expect_box("The clipboard holds no picture.")
        self.clip_set(("text", "text:a few words"))
        pgtest.key("ctrl+b")
        self.expect_box("The clipboard holds no picture.")
        self.assertEqual(self.state(), before)

        # Another program keeps the clipboard open: paste and copy each wait
        # a moment, then say so.
        self.clip_set(("dib", bmp24(32, 32, pattern)))
        holder = self.start(pgtest.exe("DRIVER"), "clip-hold", "6000")
        until = time.monotonic() + 10
        while "held" not in holder.stdout and time.monotonic() < until:
            time.sleep(0.05)
        self.assertIn("held", holder.stdout, holder.stderr)
        for keys in ("ctrl+v", "ctrl+c"):
            asked = time.monotonic()
            pgtest.key(keys)
            self.expect_box("in use by another program")
            self.assertGreater(time.monotonic() - asked, 0.9, keys)
        self.assertEqual(self.state(), before)
        holder.close()

    def test_shortcuts_stay_out_of_the_picker(self):
        self.open_window()
        lib = os.path.join(self.dir, "two.dll")
        t.icon_library(lib, [(200, 30, 30), (30, 40, 210)])
        self.clip_set(("dib", bmp24(32, 32, pattern)))
        before = self.state()
        t.drop(t.UPPER[0] + 4, t.UPPER[1] + 4, lib)
        p = t.wait_picker(True)
        p.open_caption_editor(0)
        pgtest.key("ctrl+v", "ctrl+b")
        time.sleep(0.3)
        self.assertEqual(p.focus_class(), "Edit", "the editor lost the keys")
        pgtest.key("Escape")
        time.sleep(0.1)
        p.press("cancel")
        t.wait_picker(False)
        self.assertEqual(self.state(), before)

    # ---- merge ----------------------------------------------------------------------

    def test_merge_then_drag_and_save(self):
        # A 16x16 lower icon: the key colour shows around it.
        self.open_window(lower=self.fixture("small.ico", t.solid_ico(GROUND, size=16)))
        x, y = self.w.zoom_point(8, 8)
        pgtest.drag(self.w.xid, x, y, x + 20, y + 12, steps=4)  # the upper icon by 5, 3
        time.sleep(0.1)
        preview, upper, _ = self.state()
        self.assertIn(t.KEY, [p for row in preview for p in row])

        t.choose(self.w, "merge icons")
        img = self.w.shot()
        self.assertEqual(self.w.preview(img), preview)
        # The lower slot shows the flattened picture, transparent where the
        # key colour was; the upper slot its transparent icon: nothing but
        # the background.
        lower = self.w.region(t.LOWER, img)
        behind = {lower.pixel(x, y) for y in range(32) for x in range(32)
                  if preview[y][x] == t.KEY}
        self.assertEqual(len(behind), 1, behind)
        for y in range(32):
            for x in range(32):
                if preview[y][x] != t.KEY:
                    self.assertEqual(lower.pixel(x, y), preview[y][x], (x, y))
        up = self.w.region(t.UPPER, img)
        self.assertEqual(len({up.pixel(x, y) for y in range(32) for x in range(32)}), 1)
        self.assertNotEqual(up.rgb, upper)
        merged = self.state()
        t.choose(self.w, "merge icons")
        self.assertEqual(self.state(), merged, "a second merge changed the window")

        # A press anywhere, even where the upper icon was, picks the lower one.
        x, y = self.w.zoom_point(12, 10)
        pgtest.drag(self.w.xid, x, y, x - 8, y + 4, steps=4)  # by -2, 1
        self.assertTrue(self.frame_at(117))
        want = [[preview[v - 1][u + 2] if 0 <= u + 2 < 32 and 0 <= v - 1 < 32
                 and preview[v - 1][u + 2] != t.KEY else t.KEY for u in range(32)]
                for v in range(32)]
        self.assertTrue(self.w.wait_preview(want) == want, "the merged icon did not move")

        # A new upper icon over the merged one, moved, then saved: the file
        # shows exactly the preview.
        dot = self.fixture("dot.ico", t.solid_ico((250, 240, 10), size=16))
        t.drop(t.UPPER[0] + 4, t.UPPER[1] + 4, dot)
        time.sleep(0.2)
        x, y = self.w.zoom_point(4, 4)
        pgtest.drag(self.w.xid, x, y, x + 40, y + 40, steps=4)
        time.sleep(0.1)
        final = self.w.preview()
        self.assertEqual(final[14][14], (250, 240, 10))
        out = os.path.join(self.dir, "merged.ico")
        pgtest.mousemove(self.w.xid, *t.centre(t.SAVE_BUTTON))
        time.sleep(0.05)
        pgtest.host("xdotool", "click", "1")
        pgtest.find_window(DIALOG, timeout=5)
        pgtest.key("alt+t", "Down")  # 24 bits
        pgtest.key("alt+n")
        pgtest.type_text(pgtest.win_path(out))
        pgtest.key("Return")
        pgtest.wait_no_window(DIALOG)
        until = time.monotonic() + 5
        while not os.path.exists(out) and time.monotonic() < until:
            time.sleep(0.05)
        bpp, rows, _ = t.read_saved_icon(out)
        self.assertEqual(bpp, 24)
        self.assertEqual(rows, [[None if p == t.KEY else p for p in row] for row in final])


if __name__ == "__main__":
    pgtest.main()
