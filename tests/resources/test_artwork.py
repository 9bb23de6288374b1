#!/usr/bin/env python3
"""Checks the files make_artwork.py writes against what Tessary relies on:
sizes, file structure, cursor hot spots, that the places the program paints
over are plain, that the 100 % artwork is as it always was, and that each
display scale's artwork follows the layout table scaled with no colour the
100 % skin lacks. Usage: test_artwork.py PATH/TO/make_artwork.py"""

import hashlib
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
SCALES = range(125, 301, 25)
SLATE_EDGE = (22, 28, 44)
ORANGE = (232, 116, 16)
# The 100 % artwork is what the window has always shown: pixel for pixel and
# byte for byte. A deliberate redraw of it updates these.
SKIN_100_SHA256 = "4689bb0a664923550fe87ccd471bbf94e8c9c7ce95fb5f5ff1d890a027b16807"
SAVEGLYPH_100_SHA256 = "76a5071c2cd3bbcf777a21107e155a62149a1f6252f46f02392b1ac3aa3bae3a"
# The 32x32 image of each cursor, as the single-image files held it.
CURSOR_32_SHA256 = {
    "cursor1.cur": "388409f051e8ef3a42083b1f6800e101528a894e371bcc65e5de0bf066d755c2",
    "cursor2.cur": "09affff58b520a1587e6a9d1726ec6c63a162e47da63cb164b2c3246f716a130",
    "cursor3.cur": "8e02df3863857fa2e58e1c646502a213aac552b3b7d956746b6e1d7799dfb74c",
}


def read(name):
    with open(os.path.join(OUT, name), "rb") as f:
        return f.read()


def decode_bmp(data):
    """Pixels [y][x] as RGB of an 8- or 24-bit BMP file, uncompressed or
    (8 bits) run-length encoded, with a colour table of biClrUsed entries."""
    assert data[:2] == b"BM"
    size, offset = struct.unpack_from("<I4xI", data, 2)
    assert size == len(data)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    used = struct.unpack_from("<I", data, 46)[0] or (256 if bpp == 8 else 0)
    assert (hsize, planes) == (40, 1) and h > 0 and comp in (0, 1)
    assert comp == 0 or bpp == 8
    table = [tuple(reversed(data[54 + 4 * i:57 + 4 * i])) for i in range(used)]
    assert offset == 54 + 4 * used
    if comp == 1:
        return bpp, w, h, decode_rle8(data[offset:], w, h, table)
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


def decode_rle8(bits, w, h, table):
    """BI_RLE8 as the generator writes it: every row complete, closed by an
    end of line, the last by the end of the bitmap."""
    rows, row, i = [], [], 0
    while True:
        n, v = bits[i], bits[i + 1]
        i += 2
        if n:
            row += [table[v]] * n
        elif v in (0, 1):
            assert len(row) == w, "row %d has %d pixels" % (len(rows), len(row))
            rows.append(row)
            row = []
            if v == 1:
                break
        else:
            assert v >= 3, "delta escapes are not written"
            row += [table[x] for x in bits[i:i + v]]
            i += v + v % 2
    assert i == len(bits) and len(rows) == h
    return rows[::-1]


def colours_in(px, rect):
    x, y, w, h = rect
    return {px[yy][xx] for yy in range(y, y + h) for xx in range(x, x + w)}


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

    def test_hundred_percent_artwork_is_unchanged(self):
        for name, digest in (("skin.bmp", SKIN_100_SHA256),
                             ("saveglyph.bmp", SAVEGLYPH_100_SHA256)):
            self.assertEqual(hashlib.sha256(read(name)).hexdigest(), digest, name)

    def test_scaled_skins_follow_the_layout(self):
        _, _, _, base = decode_bmp(read("skin.bmp"))
        palette = {c for row in base for c in row}
        for percent in SCALES:
            with self.subTest(percent=percent):
                bpp, w, h, px = decode_bmp(read("skin%d.bmp" % percent))
                self.assertEqual((bpp, w, h), (8, 256 * percent // 100, 192 * percent // 100))
                # Nothing blended for the scale: only the 100 % skin's colours.
                self.assertLessEqual({c for row in px for c in row}, palette)
                for name, rect in PLAIN_CREAM.items():
                    self.assertEqual(colours_in(px, layout.scaled_rect(rect, percent)), {CREAM},
                                     name)
                # The zoom view is one slate colour up to its scaled edges,
                # its outline starts right outside them.
                zx, zy, zw, zh = layout.scaled_rect(ZOOM_VIEW, percent)
                self.assertEqual((zw, zh), (128 * percent // 100,) * 2)
                (slate,) = colours_in(px, (zx, zy, zw, zh))
                self.assertNotEqual(slate, CREAM)
                for xx, yy in ((zx - 1, zy + 5), (zx + zw, zy + 5), (zx + 5, zy - 1),
                               (zx + 5, zy + zh)):
                    self.assertEqual(px[yy][xx], SLATE_EDGE, (xx, yy))
                # The window's edge and the strip's orange foot, each a layout
                # pixel thick at the scale.
                edge = layout.scaled(1, percent)
                self.assertEqual(colours_in(px, (0, 0, w, edge)), {SLATE_EDGE})
                self.assertEqual(colours_in(px, (0, 0, edge, h)), {SLATE_EDGE})
                self.assertEqual(px[edge][edge], base[1][1])
                foot = layout.scaled_rect((1, 21, 254, 1), percent)
                self.assertEqual(colours_in(px, foot), {ORANGE})
                self.assertNotEqual(px[foot[1] - 1][w // 2], ORANGE)
                self.assertNotEqual(px[foot[1] + foot[3]][w // 2], ORANGE)
                # Each slot box's outline lies right outside the slot.
                for rect in (LAYOUT.controls["Image1"], LAYOUT.controls["omote"]):
                    x, y, sw, sh = layout.scaled_rect(rect, percent)
                    self.assertEqual(px[y + sh // 2][x - 1], base[rect[1] + 1][rect[0] - 1])
                    self.assertEqual(px[y + sh][x + sw // 2], base[rect[1] + rect[3]][rect[0] + 1])
                # The close and minimize marks are in their scaled buttons.
                for key in ("SpeedButton3", "SpeedButton4"):
                    marks = colours_in(px, layout.scaled_rect(LAYOUT.controls[key], percent))
                    self.assertGreater(len(marks), 2, key)

    def test_scaled_captions_stay_beneath_their_boxes(self):
        # The pixel font grows by whole multiples, so it is checked to fit:
        # the orange ink under a box lies between the box and the next
        # thing drawn below it, within the window.
        for percent in SCALES:
            with self.subTest(percent=percent):
                _, w, _, px = decode_bmp(read("skin%d.bmp" % percent))
                for key, below in (("Image1", 114), ("Image2", 172), ("omote", 104)):
                    x, y, sw, sh = LAYOUT.controls[key]
                    top = layout.scaled(y + sh + 2, percent)
                    bottom = layout.scaled(below, percent)
                    ink = [(xx, yy) for yy in range(top, bottom) for xx in range(w)
                           if px[yy][xx] == ORANGE and
                           layout.scaled(x - 20, percent) <= xx < layout.scaled(x + sw + 20, percent)]
                    self.assertTrue(ink, key)
                    left = min(xx for xx, _ in ink)
                    right = max(xx for xx, _ in ink) + 1
                    middle = layout.scaled(x + sw // 2, percent)
                    self.assertLessEqual(abs((left + right) / 2 - middle), 1 + percent // 100, key)
                    # Nothing orange in the gap right under the box.
                    gap = (layout.scaled(x - 1, percent), layout.scaled(y + sh + 2, percent),
                           layout.scaled(sw + 2, percent), max(1, layout.scaled(1, percent)))
                    self.assertNotIn(ORANGE, colours_in(px, gap), key)

    def test_scaled_save_glyphs(self):
        def ink_box(px):
            ink = [(x, y) for y, row in enumerate(px) for x, c in enumerate(row) if c != CREAM]
            return (min(x for x, _ in ink), min(y for _, y in ink),
                    max(x for x, _ in ink) + 1, max(y for _, y in ink) + 1)

        base = ink_box(decode_bmp(read("saveglyph.bmp"))[3])
        for percent in SCALES:
            with self.subTest(percent=percent):
                bpp, w, h, px = decode_bmp(read("saveglyph%d.bmp" % percent))
                self.assertEqual((w, h), (layout.scaled(63, percent), layout.scaled(13, percent)))
                button = layout.scaled_rect(LAYOUT.controls["SpeedButton2"], percent)
                self.assertLessEqual((w, h), (button[2], button[3]))
                self.assertEqual(px[h - 1][0], CREAM)
                self.assertEqual({c for row in px for c in row}, {CREAM, SLATE_EDGE})
                # The text's middle is where the 100 % text's middle lies
                # scaled, within a pixel, and clear of the edges.
                left, top, right, bottom = ink_box(px)
                for got, want in ((left + right, base[0] + base[2]), (top + bottom, base[1] + base[3])):
                    self.assertLessEqual(abs(got - want * percent / 100), 2)
                self.assertGreater(min(left, top), 0)
                self.assertLess(right, w)
                self.assertLess(bottom, h)

    def test_cursors_are_monochrome_with_exact_hot_spots(self):
        for name, hot in (("cursor1.cur", (4, 0)), ("cursor2.cur", (8, 0)),
                          ("cursor3.cur", (5, 0))):
            with self.subTest(name):
                data = read(name)
                entries = read_dir(data, 2)
                self.assertEqual([(e["w"], e["h"], e["bpp"]) for e in entries],
                                 [(32, 32, 1), (48, 48, 1), (64, 64, 1)])
                first = entries[0]
                self.assertEqual(
                    hashlib.sha256(data[first["off"]:first["off"] + first["size"]]).hexdigest(),
                    CURSOR_32_SHA256[name])
                masks = [and_mask(data, e, 2) for e in entries]
                for e, mask in zip(entries, masks):
                    size = e["w"]
                    spot = (e["a"], e["b"])
                    self.assertEqual(spot, tuple(-(-v * size // 32) for v in hot))
                    self.assertEqual(mask[spot[1]][spot[0]], 0, "hot spot not on the hand")
                    self.assertEqual(mask[size - 1][size - 1], 1)
                    # The larger hands are the 32-pixel one enlarged: every
                    # pixel is the one under its centre.
                    for y in range(size):
                        for x in range(size):
                            self.assertEqual(mask[y][x],
                                             masks[0][(2 * y + 1) * 32 // (2 * size)]
                                             [(2 * x + 1) * 32 // (2 * size)])

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
        # Per-monitor v2, then the older per-monitor and system-aware
        # entries for Windows 10 builds without it.
        settings = {el.tag: el.text for el in root.iter()}
        self.assertEqual(
            settings["{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness"],
            "PerMonitorV2, PerMonitor")
        self.assertEqual(
            settings["{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware"],
            "true/pm")


if __name__ == "__main__":
    GENERATOR = sys.argv.pop(1)
    with tempfile.TemporaryDirectory() as tmp:
        OUT = tmp
        subprocess.run([sys.executable, GENERATOR, OUT], check=True)
        unittest.main()
