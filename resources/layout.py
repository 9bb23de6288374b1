"""Reads app/main_window_layout.inc, the one table of the main window's
places and skin colours, for the artwork generator and the tests.

    import layout
    L = layout.read()
    L.controls["Image1"]   # (left, top, width, height)
    L.colours["SkinCream"] # (r, g, b)
    layout.scaled_rect(L.controls["Image1"], 150)  # the same in device pixels

At a display scale s = percent / 100 an edge at layout coordinate v lies at
device pixel round(v * s), halves rounded up; a rectangle's scaled width is
the distance between its scaled edges, so neighbours stay neighbours.
"""

import math
import os
import re
from fractions import Fraction
from types import SimpleNamespace

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "app",
                     "main_window_layout.inc")

_CONTROL = re.compile(r"^PG_CONTROL\(\s*(\w+)\s*,\s*(-?\d+)\s*,\s*(-?\d+)\s*,\s*(\d+)\s*,"
                      r"\s*(\d+)\s*\)")
_COLOUR = re.compile(r"^PG_COLOUR\(\s*(\w+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\)")


def read(path=TABLE):
    controls, colours = {}, {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line.startswith("PG_"):
                continue
            m = _CONTROL.match(line)
            if m:
                controls[m.group(1)] = tuple(int(v) for v in m.groups()[1:])
                continue
            m = _COLOUR.match(line)
            if m:
                colours[m.group(1)] = tuple(int(v) for v in m.groups()[1:])
                continue
            raise ValueError("%s:%d: not a layout entry: %s" % (path, number, line))
    return SimpleNamespace(controls=controls, colours=colours)


def scaled(v, percent):
    """Device pixel edge of layout coordinate v (exact: v may be a Fraction)."""
    return math.floor(Fraction(v) * percent / 100 + Fraction(1, 2))


def scaled_rect(rect, percent):
    """(left, top, width, height) in layout pixels -> the same in device pixels."""
    x, y, w, h = rect
    left, top = scaled(x, percent), scaled(y, percent)
    return (left, top, scaled(x + w, percent) - left, scaled(y + h, percent) - top)
