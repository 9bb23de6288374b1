#!/usr/bin/env python3
"""Draws Tessary's artwork and writes it as Windows bitmap, icon and cursor
files: python3 make_artwork.py OUTDIR.

Standard library only. Everything is drawn into small RGB canvases by the
shape helpers below (rect, line, dotted line, text) or stamped from the
ASCII-art sprites further down, and only then encoded, so the pictures can be
edited here without touching the file writers.

Files written (all sizes in pixels):
  skin.bmp        256x192, 8 bits, full 256-entry colour table
  saveglyph.bmp   63x13, 24 bits, text on the skin's cream
  skinP.bmp       the skin drawn for display scale P % (P = 125, 150, ...
                  300): round(256 s) x round(192 s), 8 bits run-length
                  encoded, colour table of only the colours used
  saveglyphP.bmp  the glyph for P %: round(63 s) x round(13 s), the same form
  cursor1.cur     closed hand, monochrome, hot spot (4, 0)
  cursor2.cur     open hand, monochrome, hot spot (8, 0)
  cursor3.cur     pointing hand, monochrome, hot spot (5, 0)
                  (each cursor at 32x32, then 48x48 and 64x64 with the hot
                  spot scaled)

At a scale s the shapes are redrawn with their edges at round(x * s) (a
layout pixel covers the device pixels between its scaled edges), the close
button's cross is redrawn along its diagonals, and the pixel font and the
logo are drawn at a whole multiple, centred where they lie at 100 %. Every
colour is one the 100 % skin has, so nothing looks blended at any scale.
  upper.ico       grey telephone, 32x32, 24 bits + AND mask
  lower.ico       open folder with papers, 32x32, 24 bits + AND mask
  pairglyph.ico   program icon, 32x32 and 16x16, 8 bits + AND mask
  tessary.manifest
"""

import math
import os
import struct
import sys
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402  (the main window's one table of places)

LAYOUT = layout.read()

# ---------------------------------------------------------------------------
# Colours of the skin. The program paints its live controls over the skin in
# the places listed under LIVE_AREAS, so those stay pure CREAM (or SLATE for
# the zoom view) and nothing else may be drawn into them.

CREAM = LAYOUT.colours["SkinCream"]
CREAM_EDGE = (214, 200, 166)     # soft tan: button plate, box shadows
ORANGE = (232, 116, 16)          # slot captions, arrow heads
SLATE = (52, 68, 100)            # the square behind the zoom view
SLATE_EDGE = (22, 28, 44)        # one-pixel dark outlines
BOX_LINE = (128, 138, 160)       # outlines of the three image boxes
DOTS = (150, 158, 178)           # the dotted connectors
SHADOW = (120, 104, 72)          # blended into the cream for the drop shadow
TITLE_TOP = (104, 126, 166)      # title strip gradient, top row ...
TITLE_BOTTOM = (46, 60, 92)      # ... to bottom row
TITLE_TEXT = (252, 246, 228)
TITLE_TEXT_SHADOW = (24, 30, 48)

SKIN_W, SKIN_H = LAYOUT.controls["Image4"][2:]

# (x, y, w, h) of everything the program draws itself.
SLOT_UPPER = LAYOUT.controls["Image1"]
SLOT_LOWER = LAYOUT.controls["Image2"]
PREVIEW = LAYOUT.controls["omote"]
ZOOM_VIEW = LAYOUT.controls["omotebi"]
GAUGE = LAYOUT.controls["bar1"]
GAUGE_CAPTION = LAYOUT.controls["barcaption"]
SAVE_BUTTON = LAYOUT.controls["SpeedButton2"]
MINIMIZE_BUTTON = LAYOUT.controls["SpeedButton4"]
CLOSE_BUTTON = LAYOUT.controls["SpeedButton3"]
LIVE_AREAS = [SLOT_UPPER, SLOT_LOWER, PREVIEW, GAUGE, GAUGE_CAPTION,
              SAVE_BUTTON]

GLYPH_W, GLYPH_H = 63, 13


# ---------------------------------------------------------------------------
# Canvas and shape helpers


scaled = layout.scaled


def art_factor(percent):
    """The whole multiple pixel art (the font, the logo's strokes) is drawn
    at, so its strokes stay even: the scale rounded to the nearest whole
    number, a half down (150 % draws at 1, 250 % at 2). Text is then never
    more than a seventh larger than the scaled design (175 %) and stays
    within its place at every step; rounding a half up made the captions at
    150 % wider than their boxes and crowded the title against the logo."""
    return max(1, (percent + 49) // 100)


class Canvas:
    """An RGB picture; pixel None means transparent (icons and cursors).

    Coordinates given to the drawing helpers are layout (100 %) pixels: at
    another scale a layout pixel covers the device pixels between the scaled
    edges of its sides, so shapes are redrawn with their edges at
    round(x * s). The `dev_*` helpers work in device pixels."""

    def __init__(self, w, h, fill=None, percent=100):
        self.percent = percent
        self.w, self.h = scaled(w, percent), scaled(h, percent)
        self.px = [[fill] * self.w for _ in range(self.h)]

    def edge(self, v):
        return scaled(v, self.percent)

    def dev_fill(self, x0, y0, x1, y1, c):
        x0, y0 = max(x0, 0), max(y0, 0)
        x1, y1 = min(x1, self.w), min(y1, self.h)
        for yy in range(y0, y1):
            row = self.px[yy]
            row[x0:x1] = [c] * max(0, x1 - x0)

    def fill(self, x0, y0, x1, y1, c):
        """The layout rectangle from (x0, y0) to (x1, y1), ends excluded."""
        self.dev_fill(self.edge(x0), self.edge(y0), self.edge(x1), self.edge(y1), c)

    def set(self, x, y, c):
        if self.percent == 100:
            if 0 <= x < self.w and 0 <= y < self.h:
                self.px[y][x] = c
        else:
            self.fill(x, y, x + 1, y + 1, c)

    def get(self, x, y):
        """The colour of layout pixel (x, y)."""
        return self.px[self.edge(y)][self.edge(x)]

    def rect(self, x, y, w, h, c):
        self.fill(x, y, x + w, y + h, c)

    def frame(self, x, y, w, h, c):
        """One-pixel outline of the w x h rectangle at (x, y)."""
        for xx in range(x, x + w):
            self.set(xx, y, c)
            self.set(xx, y + h - 1, c)
        for yy in range(y, y + h):
            self.set(x, yy, c)
            self.set(x + w - 1, yy, c)

    def round_frame(self, x, y, w, h, c):
        """Outline with the four corner pixels left out."""
        for xx in range(x + 1, x + w - 1):
            self.set(xx, y, c)
            self.set(xx, y + h - 1, c)
        for yy in range(y + 1, y + h - 1):
            self.set(x, yy, c)
            self.set(x + w - 1, yy, c)

    def line(self, x0, y0, x1, y1, c):
        """Bresenham line, both ends included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x1 > x0 else -1), (1 if y1 > y0 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def dotted(self, x0, y0, x1, y1, c, step=2):
        """Horizontal or vertical line with every `step`-th pixel set."""
        if y0 == y1:
            for i, x in enumerate(range(x0, x1 + 1)):
                if i % step == 0:
                    self.set(x, y0, c)
        else:
            for i, y in enumerate(range(y0, y1 + 1)):
                if i % step == 0:
                    self.set(x0, y, c)

    def blend(self, x, y, c, alpha):
        """Mixes c over layout pixel (x, y) with weight alpha (0..1): every
        device pixel of it takes the one mixed colour."""
        old = self.get(x, y)
        self.set(x, y, tuple(round(o + (n - o) * alpha) for o, n in zip(old, c)))

    def art_origin(self, x, y, w, h, dev_w, dev_h):
        """Where a dev_w x dev_h piece of pixel art goes so that it is
        centred where its w x h layout footprint at (x, y) lies."""
        s = Fraction(self.percent, 100)
        half = Fraction(1, 2)
        return (math.floor((x + Fraction(w, 2)) * s - Fraction(dev_w, 2) + half),
                math.floor((y + Fraction(h, 2)) * s - Fraction(dev_h, 2) + half))

    def stamp_art(self, x, y, w, h, other, k):
        """Copies the opaque pixels of `other`, each as a k x k block,
        centred on the w x h layout footprint at (x, y)."""
        ox, oy = self.art_origin(x, y, w, h, other.w * k, other.h * k)
        for yy in range(other.h):
            for xx in range(other.w):
                c = other.px[yy][xx]
                if c is not None:
                    self.dev_fill(ox + xx * k, oy + yy * k, ox + (xx + 1) * k,
                                  oy + (yy + 1) * k, c)

    def stamp(self, x, y, other):
        """Copies the non-transparent pixels of another canvas."""
        for yy in range(other.h):
            for xx in range(other.w):
                c = other.px[yy][xx]
                if c is not None:
                    self.set(x + xx, y + yy, c)


def mix(a, b, t):
    return tuple(round(p + (q - p) * t) for p, q in zip(a, b))


def sprite(rows, legend, w, h):
    """A canvas from ASCII art: each character is looked up in the legend
    (None = transparent). Short rows and missing rows are transparent."""
    cv = Canvas(w, h)
    assert len(rows) <= h, "sprite has too many rows"
    for y, row in enumerate(rows):
        assert len(row) <= w, "sprite row %d is too long: %r" % (y, row)
        for x, ch in enumerate(row):
            assert ch in legend, "unknown sprite character %r" % ch
            cv.px[y][x] = legend[ch]
    return cv


# ---------------------------------------------------------------------------
# Pixel font: 9 rows per glyph (0-6 above the baseline, 7-8 descenders),
# x-height 5, proportional widths, one blank column between letters.

FONT = {
    "a": ["", "", ".###.", "....#", ".####", "#...#", ".####"],
    "b": ["#....", "#....", "####.", "#...#", "#...#", "#...#", "####."],
    "c": ["", "", ".###", "#...", "#...", "#...", ".###"],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "e": ["", "", ".###.", "#...#", "#####", "#....", ".###."],
    "f": ["..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."],
    "g": ["", "", ".####", "#...#", "#...#", "#...#", ".####", "....#",
          ".###."],
    "h": ["#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "i": ["#", "", "#", "#", "#", "#", "#"],
    "j": ["..#", "", "..#", "..#", "..#", "..#", "..#", "..#", "##."],
    "k": ["#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#"],
    "l": ["#.", "#.", "#.", "#.", "#.", "#.", ".#"],
    "m": ["", "", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "n": ["", "", "####.", "#...#", "#...#", "#...#", "#...#"],
    "o": ["", "", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": ["", "", "####.", "#...#", "#...#", "#...#", "####.", "#....",
          "#...."],
    "q": ["", "", ".####", "#...#", "#...#", "#...#", ".####", "....#",
          "....#"],
    "r": ["", "", "#.##", "##..", "#...", "#...", "#..."],
    "s": ["", "", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"],
    "u": ["", "", "#...#", "#...#", "#...#", "#...#", ".####"],
    "v": ["", "", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "w": ["", "", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "x": ["", "", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "y": ["", "", "#...#", "#...#", "#...#", "#...#", ".####", "....#",
          ".###."],
    "z": ["", "", "#####", "...#.", "..#..", ".#...", "#####"],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    ".": ["", "", "", "", "", "", "#"],
    " ": ["..."],
}
FONT_BASELINE = 6   # row of the glyphs' baseline within their 9 rows


def glyph_width(ch):
    return max(len(r) for r in FONT[ch])


def text_width(s, bold=False):
    extra = 1 if bold else 0
    return sum(glyph_width(ch) + extra for ch in s) + len(s) - 1


FONT_HEIGHT = 7     # the rows above and on the baseline, which are centred


def text(cv, x, y, s, c, bold=False, shadow=0):
    """Draws s with its top row (ascender line) at layout row y. Bold
    doubles every stroke one pixel to the right; `shadow` moves the text
    that many font pixels right and down. At other scales the text keeps
    its font pixels square and whole (art_factor) and is centred where it
    lies at 100 %."""
    k = art_factor(cv.percent)
    tw = text_width(s, bold)
    ox, oy = cv.art_origin(x, y, tw, FONT_HEIGHT, tw * k, FONT_HEIGHT * k)
    ox, oy = ox + shadow * k, oy + shadow * k
    for ch in s:
        for gy, row in enumerate(FONT[ch]):
            for gx, bit in enumerate(row):
                if bit == "#":
                    for bx in ((gx, gx + 1) if bold else (gx,)):
                        cv.dev_fill(ox + bx * k, oy + gy * k, ox + (bx + 1) * k,
                                    oy + (gy + 1) * k, c)
        ox += (glyph_width(ch) + 1 + (1 if bold else 0)) * k


def text_centred(cv, cx, y, s, c, bold=False):
    text(cv, cx - text_width(s, bold) // 2, y, s, c, bold)


# ---------------------------------------------------------------------------
# Sprites. Cursor legend: '.' transparent, '#' black, 'o' white.

CURSOR_LEGEND = {".": None, "#": (0, 0, 0), "o": (255, 255, 255)}

# Screen cursor 3, resource CURSOR3: hot spot (5, 0) at the fingertip.
POINTING_HAND = [
    ".....##",
    "....#oo#",
    "....#oo#",
    "....#oo#",
    "....#oo#",
    "....#oo###",
    "....#oo#oo###",
    "....#oo#oo#oo##",
    "....#oo#oo#oo#o#",
    ".##.#oo#oo#oo#oo#",
    "#oo##oooooooooooo#",
    "#ooo#oooooooooooo#",
    ".#oooooooooooooo#",
    ".#oooooooooooooo#",
    "..#ooooooooooooo#",
    "..#oooooooooooo#",
    "...#ooooooooooo#",
    "...#oooooooooo#",
    "....#ooooooooo#",
    "....##########",
]

# Screen cursor 1, resource CURSOR2: hot spot (8, 0) at the middle fingertip.
OPEN_HAND = [
    "........##",
    ".....##.#oo###",
    "....#oo##oo#oo#",
    "....#oo##oo#oo#",
    "....#oo##oo#oo#.#",
    "....#oo##oo#oo##o#",
    "....#oo##oo#oo#oo#",
    "....#oo##oo#oo#oo#",
    ".##.#oo##oo#oo#oo#",
    "#oo##ooooooooooooo#",
    "#ooo#oooooooooooooo#",
    ".#oooooooooooooooo#",
    ".#oooooooooooooooo#",
    "..#ooooooooooooooo#",
    "..#oooooooooooooo#",
    "...#ooooooooooooo#",
    "...#oooooooooooo#",
    "....#ooooooooooo#",
    "....############",
]

# Screen cursor 2, resource CURSOR1: hot spot (4, 0) on the first knuckle.
CLOSED_HAND = [
    "....##.##.##.##",
    "...#oo#oo#oo#oo#",
    "..##oo#oo#oo#oo#",
    ".#o#o#o#o#o#oo#o#",
    "#oo#oooooooooooo#",
    "#ooooooooooooooo#",
    "#oooooooooooooooo#",
    ".#ooooooooooooooo#",
    ".#oooooooooooooo#",
    "..#ooooooooooooo#",
    "..#oooooooooooo#",
    "...#ooooooooooo#",
    "...#oooooooooo#",
    "...############",
]

# Icon legends map letters to colours; '.' is transparent.
PHONE_LEGEND = {
    ".": None,
    "k": (36, 38, 46),      # outline
    "d": (92, 96, 108),     # shadow side
    "m": (144, 148, 160),   # body
    "l": (192, 196, 206),   # lit face
    "w": (246, 247, 250),   # highlight
    "b": (64, 68, 80),      # dial well
}

TELEPHONE = [
    "................................",
    "................................",
    "................................",
    "......kkkkkkkkkkkkkkkkkkkk......",
    "....kkwwwwwwwwwwwwwwwwwwwwkk....",
    "...kwlllllllllllllllllllllllk...",
    "..kwllllmmmmmmmmmmmmmmmmlllllk..",
    "..kwllllmkkkkkkkkkkkkkkmllllmk..",
    "..kwlllmk..............kmllldk..",
    "..kwllmdk..............kdmlldk..",
    "...kmddk................kddmk...",
    "....kkk..kkkkkkkkkkkkkk..kkk....",
    "........kwlllllllllllllk........",
    ".......kwllllkkkkkkllllmk.......",
    "......kwlllkkbbbbbbkklllmk......",
    ".....kwlllkbbwkbbkwbbklllmk.....",
    ".....kwllkbwkbbbbbbkwbklllmk....",
    "....kwlllkbkbbkkkkbbkbklllmk....",
    "....kwllkbbbbkllllkbbbbkllmdk...",
    "...kwlllkbwkbklwwlkbkwbklllmdk..",
    "...kwlllkbbbbkllllkbbbbklllmdk..",
    "...kwllllkbkbbkkkkbbkbkllllmdk..",
    "..kwlllllkbwkbbbbbbkwbkllllmmdk.",
    "..kwllllllkbbwkbbkwbbklllllmmdk.",
    "..kwlllllllkkbbbbbbkklllllmmmdk.",
    "..kmmmmmmmmmmkkkkkkmmmmmmmmmmdk.",
    "..kddddddddddddddddddddddddddddk",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkkkk.",
]

FOLDER_LEGEND = {
    ".": None,
    "k": (52, 40, 12),      # outline
    "Y": (255, 236, 140),   # lit yellow
    "y": (244, 204, 76),    # folder yellow
    "o": (200, 150, 36),    # ochre: inside of the back, shade
    "w": (255, 255, 255),   # paper
    "p": (222, 224, 230),   # paper shade
    "g": (150, 156, 170),   # paper lines and edges
}

OPEN_FOLDER = [
    "................................",
    "................................",
    "................................",
    "................................",
    "..........kkkkkkkkkkk...........",
    "........kkgwwwwwwwwwgk..........",
    "..kkkkk.kwwggggggwwwwgkkkk......",
    ".kYyyyyk.kwwwwwwwwwwwwgwwgk.....",
    ".kYyyyyykkkwggggggggwwwgwwk.....",
    ".kYooooooookwwwwwwwwwwwwggwk....",
    ".kYoooooooookwgggggggwwwwgwk....",
    ".kYooooooooookwwwwwwwwwwwwgwk...",
    ".kYoooooooooookwggggggggwwwgk...",
    ".kYoooooooooooookkkkkkkkkkkkkkkk",
    ".kYooooooookkkkkYYYYYYYYYYYYYYk.",
    ".kYoooooookYYYYYYyyyyyyyyyyyyyk.",
    ".kYooookkkYyyyyyyyyyyyyyyyyyyk..",
    ".kYooookYYyyyyyyyyyyyyyyyyyyyk..",
    ".kYoookYyyyyyyyyyyyyyyyyyyyyk...",
    ".kYookYyyyyyyyyyyyyyyyyyyyyyk...",
    ".kYookYyyyyyyyyyyyyyyyyyyyyk....",
    ".kYokYyyyyyyyyyyyyyyyyyyyyyk....",
    ".kYokYyyyyyyyyyyyyyyyyyyyyk.....",
    ".kYkYyyyyyyyyyyyyyyyyyyyyyk.....",
    ".kkYyyyyyyyyyyyyyyyyyyyyook.....",
    ".kYyyyyyyyyyyyyyyyyyyyooook.....",
    ".kkkkkkkkkkkkkkkkkkkkkkkkk......",
]

LOGO_LEGEND = {
    ".": None,
    "k": (20, 26, 44),      # outline
    "B": (120, 160, 220),   # back tile, lit edge
    "b": (64, 104, 168),    # back tile
    "n": (40, 70, 124),     # back tile, shade
    "O": (255, 200, 120),   # front tile, lit edge
    "r": (240, 128, 24),    # front tile
    "R": (190, 84, 8),      # front tile, shade
    "w": (255, 255, 255),   # glyph highlight
    "c": CREAM,             # glyph (skin cream)
    "v": (160, 112, 140),   # where the two tiles overlap
}

LOGO_32 = [
    "................................",
    "................................",
    ".kkkkkkkkkkkkkkkkkkkk...........",
    ".kBBBBBBBBBBBBBBBBBBk...........",
    ".kBbbbcccbbbbbbbbbbnk...........",
    ".kBbbccwccbbbbbbbbbnk...........",
    ".kBbcwwwwwcbbbbbbbbnk...........",
    ".kBccwwwwwccbbbbbbbnk...........",
    ".kBcwwwwwwwcbbbbbbbnk...........",
    ".kBccwwwwwccbbbbbbbnk...........",
    ".kBbcwwwwwcbbbbbbbbnk...........",
    ".kBbbccwccbkkkkkkkkkkkkkkkkkkkk.",
    ".kBbbbcccbbkvvvvvvvvnOOOOOOOOOk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBbbbbbbbbkvvvvvvvvnrrrrrrrrRk.",
    ".kBnnnnnnnnkvvvvvvvvnrrrrrrrrRk.",
    ".kkkkkkkkkkknnnnnnnnrrcrrrrrrRk.",
    "...........kOrrrrrrrrcwcrrrrrRk.",
    "...........kOrrrrrrrcwwwcrrrrRk.",
    "...........kOrrrrrrcwwwwwcrrrRk.",
    "...........kOrrrrrcwwwwwwwcrrRk.",
    "...........kOrrrrcwwwwwwwwwcrRk.",
    "...........kOrrrcccccccccccccRk.",
    "...........kOrrrrrrrrrrrrrrrrRk.",
    "...........kORRRRRRRRRRRRRRRRRk.",
    "...........kkkkkkkkkkkkkkkkkkkk.",
    "................................",
]

LOGO_16 = [
    "................",
    "kkkkkkkkkkk.....",
    "kBBBBBBBBBk.....",
    "kBccccbbbnk.....",
    "kBcwwcbbbnk.....",
    "kBcwwckkkkkkkkkk",
    "kBccccvvvvnOOOOk",
    "kBbbbkvvvvnrrrRk",
    "kBbbbkvvvvnrrrRk",
    "kBbbbkvvvvnrrrRk",
    "kBnnnkvvvvncrrRk",
    "kkkkkknnnncwcrRk",
    ".....kOrrcwwwcRk",
    ".....kOrccccccck",
    ".....kORRRRRRRRk",
    ".....kkkkkkkkkkk",
]


# ---------------------------------------------------------------------------
# The skin


def draw_skin(logo16, logo32, percent=100):
    cv = Canvas(SKIN_W, SKIN_H, CREAM, percent)

    # Window edge: a borderless window needs its own frame.
    cv.frame(0, 0, SKIN_W, SKIN_H, SLATE_EDGE)

    # Title strip: vertical gradient with a light top line and a dark foot.
    for y in range(1, 21):
        cv.rect(1, y, SKIN_W - 2, 1, mix(TITLE_TOP, TITLE_BOTTOM, (y - 1) / 19))
    cv.rect(1, 1, SKIN_W - 2, 1, mix(TITLE_TOP, (255, 255, 255), 0.45))
    cv.rect(1, 20, SKIN_W - 2, 1, SLATE_EDGE)
    cv.rect(1, 21, SKIN_W - 2, 1, ORANGE)
    cv.rect(1, 22, SKIN_W - 2, 1, mix(ORANGE, CREAM, 0.55))

    logo, k = title_logo(logo16, logo32, percent)
    cv.stamp_art(4, 3, 16, 16, logo, k)
    text(cv, 26, 5, "Pairglyph", TITLE_TEXT_SHADOW, bold=True, shadow=1)
    text(cv, 26, 5, "Pairglyph", TITLE_TEXT, bold=True)

    # Minimize: a short bar low in its button.
    bx, by = MINIMIZE_BUTTON[:2]
    cv.rect(bx + 5, by + 11, 7, 2, TITLE_TEXT_SHADOW)
    cv.rect(bx + 4, by + 10, 7, 2, TITLE_TEXT)
    # Close: a two-pixel-thick cross.
    draw_cross(cv, CLOSE_BUTTON[:2])

    # Zoom square with a soft drop shadow (3 px right and down).
    sx, sy = ZOOM_VIEW[0] - 1, ZOOM_VIEW[1] - 1
    side = ZOOM_VIEW[2] + 2
    draw_shadow(cv, sx + 3, sy + 3, side, side, 0.62)
    cv.rect(sx, sy, side, side, SLATE)
    cv.frame(sx, sy, side, side, SLATE_EDGE)

    # The save button sits on a cream plate laid over the shadow's corner.
    x, y, w, h = SAVE_BUTTON
    cv.rect(x - 1, y - 1, w + 2, h + 2, CREAM)
    cv.round_frame(x - 1, y - 1, w + 2, h + 2, CREAM_EDGE)

    # Boxes around the three 32x32 places, captions beneath in orange.
    for (x, y, w, h), caption in ((SLOT_UPPER, "upper"), (SLOT_LOWER, "lower"),
                                  (PREVIEW, "preview")):
        cv.rect(x + w + 1, y, 1, h + 2, CREAM_EDGE)
        cv.rect(x, y + h + 1, w + 2, 1, CREAM_EDGE)
        cv.frame(x - 1, y - 1, w + 2, h + 2, BOX_LINE)
        text_centred(cv, x + w // 2, y + h + 4, caption, ORANGE)

    # Connectors: each slot feeds the square, the square feeds the preview,
    # the preview leads down to the save button.
    for (x, y, w, h) in (SLOT_UPPER, SLOT_LOWER):
        cy = y + h // 2
        cv.dotted(x + w + 3, cy, sx - 4, cy, DOTS)
        arrow_right(cv, sx - 3, cy, ORANGE)
    cy = PREVIEW[1] + PREVIEW[3] // 2
    cv.dotted(sx + side + 4, cy, PREVIEW[0] - 5, cy, DOTS)
    arrow_right(cv, PREVIEW[0] - 4, cy, ORANGE)
    ax = PREVIEW[0] + PREVIEW[2] // 2
    cv.dotted(ax, PREVIEW[1] + PREVIEW[3] + 16, ax, SAVE_BUTTON[1] - 6, DOTS)
    arrow_down(cv, ax, SAVE_BUTTON[1] - 5, ORANGE)

    return cv


def title_logo(logo16, logo32, percent):
    """The program's picture for the title strip and its whole multiple: the
    largest that fits the 16-pixel place scaled (the strip's foot lies close
    beneath it), the finer 32x32 drawing when the two are as large."""
    k16 = percent // 100
    k32 = percent // 200
    if k32 >= 1 and 32 * k32 >= 16 * k16:
        return logo32, k32
    return logo16, k16


def draw_cross(cv, origin):
    """The close button's cross: two strokes two pixels wide along the
    diagonals of the square from (4, 4) to (12, 11), with a shadow one pixel
    right and down. Each device pixel is tested at its centre against the
    strokes, so the diagonals stay straight and even at every scale; at
    100 % this is row i (0..6) inked at x = 4+i, 5+i and 10-i, 11-i."""
    bx, by = origin
    s = Fraction(cv.percent, 100)
    x0, x1 = cv.edge(bx), cv.edge(bx + 16)
    y0, y1 = cv.edge(by), cv.edge(by + 16)
    for d, c in ((1, TITLE_TEXT_SHADOW), (0, TITLE_TEXT)):
        for yy in range(y0, y1):
            v = (yy + Fraction(1, 2)) / s - by - d
            if not 4 <= v < 11:
                continue
            for xx in range(x0, x1):
                u = (xx + Fraction(1, 2)) / s - bx - d
                if v - Fraction(1, 2) <= u < v + Fraction(3, 2) or \
                        Fraction(29, 2) - v <= u < Fraction(33, 2) - v:
                    cv.px[yy][xx] = c


def arrow_right(cv, x, y, c):
    """Three-column head whose tip is at (x + 2, y)."""
    for i in range(3):
        for dy in range(-(2 - i), 3 - i):
            cv.set(x + i, y + dy, c)


def arrow_down(cv, x, y, c):
    """Three-row head whose tip is at (x, y + 2)."""
    for i in range(3):
        for dx in range(-(2 - i), 3 - i):
            cv.set(x + dx, y + i, c)


def draw_shadow(cv, x, y, w, h, strength):
    """Blends SHADOW into the canvas under a rectangle softened by a 3x3 box
    blur applied twice (a 5-pixel tent at the edges)."""
    pad = 3
    cov = {}
    for yy in range(y - pad, y + h + pad):
        for xx in range(x - pad, x + w + pad):
            cov[xx, yy] = 1.0 if (x <= xx < x + w and y <= yy < y + h) else 0.0
    for _ in range(2):
        nxt = {}
        for (xx, yy) in cov:
            s = 0.0
            for ddy in (-1, 0, 1):
                for ddx in (-1, 0, 1):
                    s += cov.get((xx + ddx, yy + ddy), 0.0)
            nxt[xx, yy] = s / 9.0
        cov = nxt
    for (xx, yy), a in cov.items():
        if a > 0 and 0 <= xx < cv.w and 0 <= yy < cv.h:
            # Quantised so the soft edge costs only a few palette entries.
            cv.blend(xx, yy, SHADOW, round(a * 8) / 8 * strength)


def draw_glyph(percent=100):
    cv = Canvas(GLYPH_W, GLYPH_H, CREAM, percent)
    label = "save icon"
    # x-height rows 2-6 of the font, centred in 13 rows.
    text(cv, (GLYPH_W - text_width(label)) // 2, 2, label, SLATE_EDGE)
    return cv


# ---------------------------------------------------------------------------
# File writers


def u16(v):
    return struct.pack("<H", v)


def u32(v):
    return struct.pack("<I", v)


def info_header(w, h, bpp, image_size, colours_used=0):
    """BITMAPINFOHEADER (40 bytes)."""
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size,
                       2835, 2835, colours_used, 0)


def palette_of(canvases):
    """Sorted list of the opaque colours; asserts they fit in 256."""
    colours = set()
    for cv in canvases:
        for row in cv.px:
            colours.update(c for c in row if c is not None)
    assert len(colours) <= 256, "too many colours: %d" % len(colours)
    return sorted(colours)


def colour_table(pal):
    """256 RGBQUAD entries (unused ones black)."""
    out = bytearray()
    for i in range(256):
        r, g, b = pal[i] if i < len(pal) else (0, 0, 0)
        out += bytes((b, g, r, 0))
    return bytes(out)


def rows_8bit(cv, index):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    stride = (cv.w + 3) & ~3
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytes(index[c] if c is not None else 0 for c in cv.px[y])
        out += row + bytes(stride - cv.w)
    return bytes(out)


def rows_24bit(cv):
    """Bottom-up BGR rows, each padded to 4 bytes; transparent is black."""
    stride = (cv.w * 3 + 3) & ~3
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray()
        for c in cv.px[y]:
            r, g, b = c if c is not None else (0, 0, 0)
            row += bytes((b, g, r))
        out += row + bytes(stride - cv.w * 3)
    return bytes(out)


def rows_1bit(cv, bit_of):
    """Bottom-up rows of one bit per pixel (MSB first), padded to 4 bytes."""
    stride = ((cv.w + 31) // 32) * 4
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray(stride)
        for x, c in enumerate(cv.px[y]):
            if bit_of(c):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def bmp_file(dib, table_size):
    """BITMAPFILEHEADER in front of header, colour table and bits."""
    return (b"BM" + u32(14 + len(dib)) + u16(0) + u16(0) +
            u32(14 + 40 + table_size) + dib)


def write_bmp8(cv):
    pal = palette_of([cv])
    index = {c: i for i, c in enumerate(pal)}
    bits = rows_8bit(cv, index)
    dib = info_header(cv.w, cv.h, 8, len(bits)) + colour_table(pal) + bits
    return bmp_file(dib, 256 * 4), len(pal)


def rle8_rows(cv, index):
    """BI_RLE8 data, bottom-up: runs of one index as (count, index), other
    stretches of three or more pixels in absolute mode (0, count, indices,
    padded to a word), each row closed by (0, 0) and the picture by (0, 1)."""
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = [index[c] for c in cv.px[y]]
        runs = []   # [index, length]
        for v in row:
            if runs and runs[-1][0] == v and runs[-1][1] < 255:
                runs[-1][1] += 1
            else:
                runs.append([v, 1])
        i = 0
        while i < len(runs):
            # Short runs in a row are cheaper as one absolute stretch.
            j, lit = i, []
            while j < len(runs) and runs[j][1] <= 2 and len(lit) + runs[j][1] <= 255:
                lit += [runs[j][0]] * runs[j][1]
                j += 1
            if len(lit) >= 3:
                out += bytes((0, len(lit))) + bytes(lit) + bytes(len(lit) % 2)
                i = j
            else:
                out += bytes((runs[i][1], runs[i][0]))
                i += 1
        out += bytes((0, 0)) if y else bytes((0, 1))
    return bytes(out)


def write_bmp_rle8(cv):
    """An 8-bit run-length bitmap whose colour table holds only the colours
    used: the compact form of the scaled artwork."""
    pal = palette_of([cv])
    index = {c: i for i, c in enumerate(pal)}
    bits = rle8_rows(cv, index)
    table = colour_table(pal)[:4 * len(pal)]
    dib = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 8, 1, len(bits), 2835, 2835,
                      len(pal), 0) + table + bits
    return bmp_file(dib, len(table))


def write_bmp24(cv):
    bits = rows_24bit(cv)
    return bmp_file(info_header(cv.w, cv.h, 24, len(bits)) + bits, 0)


def icon_image(cv, bpp):
    """One icon image: header of double height, colours, then AND mask
    (1 = transparent)."""
    mask = rows_1bit(cv, lambda c: c is None)
    if bpp == 8:
        pal = palette_of([cv])
        index = {c: i for i, c in enumerate(pal)}
        xor = rows_8bit(cv, index)
        table = colour_table(pal)
    else:
        xor = rows_24bit(cv)
        table = b""
    return info_header(cv.w, cv.h * 2, bpp, len(xor) + len(mask)) + table + \
        xor + mask


def write_ico(images):
    """images: list of (canvas, bpp). ICONDIR, entries, then the images."""
    out = u16(0) + u16(1) + u16(len(images))
    blobs = [icon_image(cv, bpp) for cv, bpp in images]
    offset = 6 + 16 * len(images)
    for (cv, bpp), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 0, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def write_cur(images):
    """A monochrome cursor of one or more sizes: images is a list of
    (canvas, hot_x, hot_y). Pixel rules (AND, XOR): black (0, 0), white
    (0, 1), transparent (1, 0)."""
    blobs = []
    for cv, _, _ in images:
        xor = rows_1bit(cv, lambda c: c == (255, 255, 255))
        mask = rows_1bit(cv, lambda c: c is None)
        table = bytes((0, 0, 0, 0, 255, 255, 255, 0))
        blobs.append(info_header(cv.w, cv.h * 2, 1, len(xor) + len(mask)) + table +
                     xor + mask)
    out = u16(0) + u16(2) + u16(len(images))
    offset = 6 + 16 * len(images)
    for (cv, hot_x, hot_y), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 2, 0, hot_x, hot_y,
                           len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def enlarge_sprite(cv, size):
    """A size x size copy of a square sprite: each pixel takes the colour
    of the sprite pixel under its centre (whole multiples: even blocks)."""
    out = Canvas(size, size)
    for y in range(size):
        sy = (2 * y + 1) * cv.h // (2 * size)
        for x in range(size):
            out.px[y][x] = cv.px[sy][(2 * x + 1) * cv.w // (2 * size)]
    return out


MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Pairglyph.Tessary" version="0.1.0.0"
                    processorArchitecture="*"/>
  <description>Pairglyph</description>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls"
                        version="6.0.0.0" processorArchitecture="*"
                        publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">
    <application>
      <!-- Windows 10 and 11 -->
      <supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
    </application>
  </compatibility>
  <!-- The window draws itself for its monitor's scale (the skin is drawn
       for every 25 % step), so the system must not stretch it. Builds of
       Windows 10 without per-monitor v2 read the older entries after it. -->
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>
    </windowsSettings>
  </application>
</assembly>
"""

# Hot spots are part of the program's contract (see README.md).
CURSORS = [
    ("cursor1.cur", CLOSED_HAND, (4, 0)),
    ("cursor2.cur", OPEN_HAND, (8, 0)),
    ("cursor3.cur", POINTING_HAND, (5, 0)),
]
# The system's cursor sizes at 100 %, 150 % and 200 %; larger scales take
# the 64-pixel image.
CURSOR_SIZES = (32, 48, 64)

# The display scales the skin and the save glyph are drawn for, beyond the
# 100 % files: SKIN<percent> and SAVEGLYPH<percent> in tessary.rc.
SCALES = tuple(range(125, 301, 25))


def scaled_names():
    """The file names of the scaled artwork, in the order of SCALES."""
    return [name for p in SCALES for name in ("skin%d.bmp" % p, "saveglyph%d.bmp" % p)]


def build():
    """All files as {name: bytes}."""
    logo32 = sprite(LOGO_32, LOGO_LEGEND, 32, 32)
    logo16 = sprite(LOGO_16, LOGO_LEGEND, 16, 16)
    skin, _ = write_bmp8(draw_skin(logo16, logo32))
    files = {
        "skin.bmp": skin,
        "saveglyph.bmp": write_bmp24(draw_glyph()),
        "upper.ico": write_ico([(sprite(TELEPHONE, PHONE_LEGEND, 32, 32), 24)]),
        "lower.ico": write_ico([(sprite(OPEN_FOLDER, FOLDER_LEGEND, 32, 32),
                                 24)]),
        "pairglyph.ico": write_ico([(logo32, 8), (logo16, 8)]),
        "tessary.manifest": MANIFEST.encode("utf-8"),
    }
    for p in SCALES:
        files["skin%d.bmp" % p] = write_bmp_rle8(draw_skin(logo16, logo32, p))
        files["saveglyph%d.bmp" % p] = write_bmp_rle8(draw_glyph(p))
    for name, art, (hx, hy) in CURSORS:
        cv = sprite(art, CURSOR_LEGEND, 32, 32)
        assert cv.get(hx, hy) == (0, 0, 0), "%s: hot spot off the outline" % name
        images = []
        for size in CURSOR_SIZES:
            # The hot spot is the first device pixel of its sprite pixel.
            big = enlarge_sprite(cv, size)
            hot = (hx * size + 31) // 32, (hy * size + 31) // 32
            assert big.get(*hot) == (0, 0, 0), "%s %d: hot spot off the outline" % (name, size)
            images.append((big, hot[0], hot[1]))
        files[name] = write_cur(images)
    return files


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_artwork.py OUTDIR\n")
        return 2
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, data in build().items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
