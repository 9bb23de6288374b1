#!/usr/bin/env python3
"""Checks the files make_artwork.py writes against what Tessary relies on:
sizes, file structure, cursor hot spots, and that the places the program
paints over are plain. Usage: test_artwork.py PATH/TO/make_artwork.py"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

GENERATOR = None
OUT = None

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir,
                                os.pardir, "resources"))
import layout  # noqa: E402  (the main window's one table of places)

LAYOUT = layout.read()
CREAM = LAYOUT.colours["SkinCream"]
# (x, y, w, h) painted by the program: they must be one colour in the skin.
PLAIN_CREAM = {
    "upper slot": LAYOUT.controls["Image1"], "lower slot": LAYOUT.controls["Image2"],
    "preview": LAYOUT.controls["omote"], "gauge": LAYOUT.controls["bar1"],
    "gauge caption": LAYOUT.controls["barcaption"],
    "save button": LAYOUT.controls["SpeedButton2"],
}
ZOOM_VIEW = LAYOUT.controls["omotebi"]


def read(name):
    with open(os.path.join(OUT, name), "rb") as f:
        return f.read()


def decode_bmp(data):
    """Pixels [y][x] as RGB of an uncompressed 8- or 24-bit BMP file."""
    assert data[:2] == b"BM"
    size, offset = struct.unpack_from("<I4xI", data, 2)
    assert size == len(data)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    assert (hsize, planes, comp) == (40, 1, 0) and h > 0
    table = [tuple(reversed(data[54 + 4 * i:57 + 4 * i])) for i in range(256)] \
        if bpp == 8 else []
    stride = (w * bpp // 8 + 3) & ~3
    assert offset + stride * h == len(data)
    rows = []
    for y in range(h):
        row = data[offset + (h - 1 - y) * stride:]
        if bpp == 8:
            rows.append([table[row[x]] for x in range(w)])
        else:
            rows.append([tuple(reversed(row[3 * x:3 * x + 3])) for x in range(w)])
    return bpp, w, h, rows


def read_dir(data, kind):
    """ICONDIR entries of an .ico (kind 1) or .cur (kind 2) with the header
    of each image."""
    reserved, typ, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, typ) == (0, kind) and count >= 1
    entries = []
    for i in range(count):
        w, h, _, _, a, b, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert off + size <= len(data)
        hsize, iw, ih, planes, bpp = struct.unpack_from("<IiiHH", data, off)
        assert (hsize, iw, ih) == (40, w or 256, 2 * (h or 256))
        entries.append(dict(w=iw, h=ih // 2, a=a, b=b, bpp=bpp, off=off, size=size))
    return entries


def and_mask(data, e, colours):
    """AND bits [y][x] (1 = transparent) of one image."""
    w, h = e["w"], e["h"]
    table = 4 * (1 << e["bpp"]) if e["bpp"] <= 8 else 0
    xor_stride = (w * e["bpp"] // 8 + 3) & ~3
    mask_stride = ((w + 31) // 32) * 4
    start = e["off"] + 40 + table + xor_stride * h
    assert start + mask_stride * h == e["off"] + e["size"]
    return [[(data[start + (h - 1 - y) * mask_stride + x // 8] >> (7 - x % 8)) & 1
             for x in range(w)] for y in range(h)]


class Artwork(unittest.TestCase):
    def test_skin_has_plain_live_areas(self):
        bpp, w, h, px = decode_bmp(read("skin.bmp"))
        self.assertEqual((bpp, w, h), (8, 256, 192))
        for name, (x, y, aw, ah) in PLAIN_CREAM.items():
            seen = {px[yy][xx] for yy in range(y, y + ah) for xx in range(x, x + aw)}
            self.assertEqual(seen, {CREAM}, name)
        x, y, aw, ah = ZOOM_VIEW
        seen = {px[yy][xx] for yy in range(y, y + ah) for xx in range(x, x + aw)}
        self.assertEqual(len(seen), 1, "zoom view")
        self.assertNotEqual(seen, {CREAM})
        # The minimize and close marks are drawn in their button squares.
        for x0 in (216, 233):
            marks = {px[yy][xx] for yy in range(3, 19) for xx in range(x0, x0 + 16)}
            self.assertGreater(len(marks), 2)

    def test_save_glyph_is_text_on_cream(self):
        bpp, w, h, px = decode_bmp(read("saveglyph.bmp"))
        self.assertEqual((bpp, w, h), (24, 63, 13))
        # The bottom-left pixel is the colour the button treats as its face.
        self.assertEqual(px[h - 1][0], CREAM)
        ink = sum(c != CREAM for row in px for c in row)
        self.assertGreater(ink, 40)

    def test_cursors_are_monochrome_with_exact_hot_spots(self):
        for name, hot in (("cursor1.cur", (4, 0)), ("cursor2.cur", (8, 0)),
                          ("cursor3.cur", (5, 0))):
            with self.subTest(name):
                data = read(name)
                (e,) = read_dir(data, 2)
                self.assertEqual((e["w"], e["h"], e["bpp"]), (32, 32, 1))
                self.assertEqual((e["a"], e["b"]), hot)
                mask = and_mask(data, e, 2)
                self.assertEqual(mask[hot[1]][hot[0]], 0, "hot spot not on the hand")
                self.assertEqual(mask[31][31], 1)

    def test_icons(self):
        for name, sizes in (("upper.ico", [(32, 24)]), ("lower.ico", [(32, 24)]),
                            ("pairglyph.ico", [(32, 8), (16, 8)])):
            with self.subTest(name):
                data = read(name)
                entries = read_dir(data, 1)
                self.assertEqual([(e["w"], e["bpp"]) for e in entries], sizes)
                for e in entries:
                    mask = and_mask(data, e, 0)
                    opaque = sum(b == 0 for row in mask for b in row)
                    # A picture with transparency round it, not a full square.
                    self.assertGreater(opaque, e["w"] * e["w"] // 4)
                    self.assertLess(opaque, e["w"] * e["w"] * 9 // 10)

    def test_manifest(self):
        root = ET.fromstring(read("tessary.manifest"))
        text = ET.tostring(root, encoding="unicode")
        self.assertIn("Microsoft.Windows.Common-Controls", text)
        self.assertIn("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", text)
        self.assertIn('level="asInvoker"', text)
        dpi = [el.text for el in root.iter() if el.tag.endswith("}dpiAware")]
        self.assertEqual(dpi, ["false"])


if __name__ == "__main__":
    GENERATOR = sys.argv.pop(1)
    with tempfile.TemporaryDirectory() as tmp:
        OUT = tmp
        subprocess.run([sys.executable, GENERATOR, OUT], check=True)
        unittest.main()
