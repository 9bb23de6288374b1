"""Tessary's window for the end-to-end tests: where its parts are, starting
it with a given folder-icon setting, and reading its pixels."""

from __future__ import annotations

import os
import struct
import sys
import time

import pgtest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir,
                                os.pardir, "resources"))
import layout  # noqa: E402  (the main window's one table of places)

_L = layout.read()

TITLE = "^Pairglyph$"
SIZE = tuple(_L.controls["Image4"][2:])
SCREEN = (1280, 1024)  # pg_wine_start's display

# Client rectangles (x, y, w, h).
ZOOM = _L.controls["omotebi"]
PREVIEW = _L.controls["omote"]
UPPER = _L.controls["Image1"]
LOWER = _L.controls["Image2"]
SAVE_BUTTON = _L.controls["SpeedButton2"]
CLOSE_BUTTON = _L.controls["SpeedButton3"]
MINIMIZE_BUTTON = _L.controls["SpeedButton4"]
TITLE_STRIP = _L.controls["Label1"]
GAUGE = _L.controls["bar1"]
SKIN_CREAM = _L.colours["SkinCream"]

KEY = (64, 96, 128)  # the composite's background, transparent when saved
ICON_SIZES = {8: 2238, 24: 3262}  # bytes of a saved icon file by depth

FOLDER_ICON_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\explorer\Shell Icons"


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


class Window:
    """One running Tessary and its X window."""

    def __init__(self, proc: pgtest.Proc, xid: int, dpi: int | None = None):
        self.proc = proc
        self.xid = xid
        self.dpi = dpi or pgtest.BASE_DPI

    def place(self, rect):
        """A client rectangle of the 100 % layout where this window shows it."""
        return layout.scaled_rect(rect, self.dpi * 100 // pgtest.BASE_DPI)

    def shot(self, save_as: str | None = None) -> pgtest.Image:
        return pgtest.screenshot(self.xid, save_as)

    def region(self, rect, img: pgtest.Image | None = None) -> pgtest.Image:
        img = img or self.shot()
        return img.crop(*rect)

    def preview(self, img: pgtest.Image | None = None) -> list[list[tuple]]:
        r = self.region(PREVIEW, img)
        return [[r.pixel(x, y) for x in range(32)] for y in range(32)]

    def zoom_point(self, cx: float, cy: float) -> tuple[int, int]:
        """Client point of zoom-view pixel (4cx, 4cy): its pick point is (cx, cy)."""
        return ZOOM[0] + int(4 * cx), ZOOM[1] + int(4 * cy)

    def geometry(self):
        return pgtest.geometry(self.xid)

    def move_to(self, x: int, y: int) -> None:
        """Pointer to client point x, y, which may lie outside the window."""
        wx, wy, _, _ = self.geometry()
        pgtest.host("xdotool", "mousemove", "--", str(max(0, wx + x)), str(max(0, wy + y)))

    def wait_preview(self, want, timeout: float = 3.0) -> list[list[tuple]]:
        """Polls until the preview equals `want` (a 32x32 list); the last one."""
        until = time.monotonic() + timeout
        while True:
            got = self.preview()
            if got == want or time.monotonic() >= until:
                return got
            time.sleep(0.05)

    def frame_at(self, top: int) -> bool:
        """Whether the selection frame's top row lies at client row `top`."""
        img = self.shot()
        return all(img.pixel(x, top) == (0, 0, 0) for x in range(11, 45))

    def close(self, timeout: float = 5.0) -> int:
        pgtest.click(self.xid, *centre(self.place(CLOSE_BUTTON)))
        return self.proc.wait(timeout)


def main_xid(timeout: float = 5.0) -> int:
    """The main window's X window. The application window, which holds the
    taskbar button, shares the title; it has no size, and Wine shows it to
    X as a window of 1 x 1 pixels."""
    until = time.monotonic() + timeout
    while True:
        ids = pgtest.find_windows(TITLE, timeout=max(0.0, until - time.monotonic()))
        for xid in ids:
            if pgtest.geometry(xid)[2:] != (1, 1):
                return xid
        if time.monotonic() >= until:
            raise AssertionError("only the application window is on screen: %s" % ids)
        time.sleep(0.02)


def layered_preview(base, ground, upper, lower=(0, 0)) -> list[list[tuple]]:
    """The preview expected of the layers in `base` (a preview of the upper
    icon at 0, 0 over a wholly opaque lower icon of the one colour `ground`)
    with the upper icon moved to `upper` and the lower one to `lower`."""
    want = []
    for y in range(32):
        row = []
        for x in range(32):
            u, v = x - upper[0], y - upper[1]
            if 0 <= u < 32 and 0 <= v < 32 and base[v][u] != ground:
                row.append(base[v][u])
            elif 0 <= x - lower[0] < 32 and 0 <= y - lower[1] < 32:
                row.append(ground)
            else:
                row.append(KEY)
        want.append(row)
    return want


def scaled_size(dpi: int) -> tuple[int, int]:
    """The window's size at a display DPI: round(256 s) x round(192 s)."""
    percent = dpi * 100 // pgtest.BASE_DPI
    return tuple(layout.scaled(v, percent) for v in SIZE)


def start(case: pgtest.WineTestCase, cwd: str | None = None, env: dict | None = None,
          dpi: int | None = None, args: tuple[str, ...] = ()) -> Window:
    """Tessary started as a user starts it, in `cwd` with command-line `args`
    (given as they are). With `dpi`, at that display DPI
    (pgtest.at_display_dpi, which ends any Wine program already running):
    the prefix's own DPI is back once the test has ended the program."""
    if dpi is not None:
        scale = pgtest.at_display_dpi(dpi)
        scale.__enter__()
        case.addCleanup(scale.__exit__, None, None, None)
    proc = case.start(pgtest.exe("TESSARY"), *args, cwd=cwd or pgtest.scratch_dir(), env=env)
    try:
        xid = main_xid(timeout=15)
    except AssertionError as e:
        raise AssertionError("%s; Tessary %s, stderr: %s; windows: %s" % (
            e, "runs" if proc.running() else "exited with %s" % proc.popen.returncode,
            proc.stderr.strip()[-500:],
            pgtest.driver("windows", check=False).all("window"))) from None
    # Ended the way a user ends it, so no killed Wine process is left for
    # the next start to run into (the harness kills it if this fails).
    case.addCleanup(_end, proc)
    # The first paint follows the map; wait until the skin is there.
    until = time.monotonic() + 5
    w = Window(proc, xid, dpi)
    while time.monotonic() < until:
        img = w.shot()
        if img.width in (SIZE[0], scaled_size(dpi or pgtest.BASE_DPI)[0]) and \
                img.pixel(*centre(ZOOM)) != (0, 0, 0):
            break
        time.sleep(0.05)
    return w


def start_with_lower(case: pgtest.WineTestCase, ico: str, cwd: str | None = None,
                     dpi: int | None = None) -> Window:
    """Tessary with icon 0 of the file `ico` in the lower slot: the shell's
    folder-icon setting names it while the program starts and reads it,
    and is as it was afterwards."""
    with pgtest.saved_key(FOLDER_ICON_KEY):
        pgtest.reg_add(FOLDER_ICON_KEY, "3", pgtest.win_path(ico) + ",0")
        return start(case, cwd=cwd, dpi=dpi)


def opaque_cell(base, ground) -> tuple[int, int]:
    """A cell of the preview `base` where the upper icon is opaque together
    with its eight neighbours, so a press there picks it wherever the
    pointer's quarter-pixel rounding lands."""
    return next((x, y) for y in range(4, 28) for x in range(4, 28)
                if all(base[y + j][x + i] != ground for i in (-1, 0, 1) for j in (-1, 0, 1)))


def _end(proc: pgtest.Proc) -> None:
    if not proc.running():
        return
    pgtest.driver("post", "Pairglyph", 0x0010, 0, 0, check=False)  # WM_CLOSE
    try:
        proc.wait(5)
    except AssertionError:
        pass


# ---- fixtures ------------------------------------------------------------------

def _icon_image(rgb, size: int) -> bytes:
    """An icon file's image: 24 bits, opaque everywhere, in one colour or,
    given a list of `size` rows of (r, g, b), in those pixels."""
    rows = rgb if isinstance(rgb, list) else [[rgb] * size] * size
    xor = b"".join(bytes(v for r, g, b in row for v in (b, g, r)) for row in reversed(rows))
    mask_row = bytes(((size + 31) // 32) * 4)
    and_mask = mask_row * size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def solid_ico(rgb, size: int = 32) -> bytes:
    """An icon file of opaque 24-bit images: `rgb` one colour at size x size,
    or a dict {size: colour or rows of pixels} for one image of each size."""
    images = rgb if isinstance(rgb, dict) else {size: rgb}
    blobs = [(n, _icon_image(c, n)) for n, c in images.items()]
    directory = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for n, blob in blobs:
        directory += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
    return directory + b"".join(blob for _, blob in blobs)


def icon_library(path: str, colours: list[tuple[int, int, int]], first_id: int = 1) -> None:
    """A resource-only PE32+ library whose icon groups first_id, first_id+1,
    ... are solid icons of these colours (icon index i = colour i; a dict
    {size: colour or rows} gives that group one image of each size), made with the
    real resource compiler and linker; no colours give a library with no
    icon groups at all."""
    folder = os.path.dirname(path)
    lines = ['1 RCDATA { "no icons here" }'] if not colours else []
    made = []
    for i, c in enumerate(colours):
        name = os.path.join(folder, "lib-%d.ico" % i)
        made.append(name)
        with open(name, "wb") as f:
            f.write(solid_ico(c))
        lines.append('%d ICON "%s"' % (first_id + i, name))
    rc = path + ".rc"
    with open(rc, "w") as f:
        f.write("\n".join(lines) + "\n")
    obj = path + ".res.o"
    pgtest.host("x86_64-w64-mingw32-windres", "-O", "coff", "-o", obj, rc, timeout=60)
    pgtest.host("x86_64-w64-mingw32-gcc", "-shared", "-nostdlib", "-Wl,-e,0", "-o", path, obj,
                timeout=60)
    for f in made + [rc, obj]:
        os.remove(f)


# ---- icon files as saved ----------------------------------------------------------

def read_saved_icon(path: str):
    """(bits per pixel, 32x32 rows of (r, g, b) or None for transparent)."""
    with open(path, "rb") as f:
        data = f.read()
    count, = struct.unpack_from("<H", data, 4)
    assert count == 1, count
    size, offset = struct.unpack_from("<II", data, 14)
    hdr = struct.unpack_from("<IiiHHIIiiII", data, offset)
    bpp = hdr[4]
    assert hdr[1] == 32 and hdr[2] == 64, hdr
    p = offset + 40
    palette = []
    if bpp == 8:
        for i in range(256):
            b, g, r, _ = data[p + 4 * i:p + 4 * i + 4]
            palette.append((r, g, b))
        p += 1024
    row_bytes = 32 if bpp == 8 else 96
    colour = data[p:p + 32 * row_bytes]
    mask = data[p + 32 * row_bytes:p + 32 * row_bytes + 128]
    rows = []
    for y in range(32):
        src = 31 - y
        out = []
        for x in range(32):
            bit = mask[src * 4 + x // 8] >> (7 - x % 8) & 1
            if bit:
                out.append(None)
            elif bpp == 8:
                out.append(palette[colour[src * 32 + x]])
            else:
                b, g, r = colour[src * 96 + 3 * x:src * 96 + 3 * x + 3]
                out.append((r, g, b))
        rows.append(out)
    return bpp, rows, len(data)


# ---- getting icons in ----------------------------------------------------------------

PICKER_CLASS = "TessaryIconPicker"
PICKER_CLIENT = (268, 194)
PICKER_BUTTONS = {"cancel": (24, 172, 73, 20), "as small icon": (104, 172, 73, 20),
                  "select": (184, 172, 73, 20)}


def drop(x: int, y: int, *paths: str) -> None:
    """Files dropped on the main window at client point x, y, delivered as
    the shell delivers them (Windows paths given as they are)."""
    names = [p if p[1:2] == ":" or p.startswith("\\\\") else pgtest.win_path(p) for p in paths]
    pgtest.driver("drop", "Pairglyph", x, y, *names)


class Picker:
    """The picker window as pgdriver sees it."""

    def __init__(self, hwnd: str, visible: bool, title: str):
        self.hwnd, self.visible, self.title = hwnd, visible, title

    def items(self) -> list[tuple[str, bool, tuple[int, int, int, int], tuple]]:
        """(caption, selected, screen rect, label's screen rect) of every item."""
        out = []
        for line in pgtest.driver("list-items", self.hwnd).all("item"):
            _, sel, *rects, text = line.split(" ", 10)
            r = [int(v) for v in rects]
            out.append((text, sel == "1", tuple(r[:4]), tuple(r[4:])))
        return out

    def client(self) -> tuple[int, int, int, int]:
        x0, y0, x1, y1 = (int(v) for v in pgtest.driver("rect", self.hwnd)["client"].split())
        return x0, y0, x1 - x0, y1 - y0

    def window_rect(self) -> tuple[int, int, int, int]:
        x0, y0, x1, y1 = (int(v) for v in pgtest.driver("rect", self.hwnd)["window"].split())
        return x0, y0, x1 - x0, y1 - y0

    def click_item(self, index: int, double: bool = False) -> None:
        x, y, w, h = self.items()[index][2]
        pgtest.host("xdotool", "mousemove", str(x + w // 2), str(y + h // 3), "click",
                    *(["--repeat", "2", "--delay", "80"] if double else []), "1")

    def edit_caption(self, index: int, text: str) -> None:
        """Renames an item as a user does: the editor opened, the new text,
        Enter."""
        self.open_caption_editor(index)
        pgtest.type_text(text)  # the old caption is selected: typing replaces it
        pgtest.key("Return")
        time.sleep(0.2)

    def open_caption_editor(self, index: int) -> None:
        """A click on the item's label, a second slow one to start editing
        (unless the item was chosen already, when one click does); returns
        once the editor has the focus."""
        x, y, w, h = self.items()[index][3]
        pgtest.host("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
        time.sleep(0.8)  # longer than a double click
        if self.focus_class() != "Edit":
            pgtest.host("xdotool", "click", "1")
        until = time.monotonic() + 3
        while self.focus_class() != "Edit":
            if time.monotonic() >= until:
                raise AssertionError("the caption editor did not open")
            time.sleep(0.1)

    def focus_class(self) -> str:
        return pgtest.driver("focus", self.hwnd)["focus-class"]

    def press(self, button: str) -> None:
        cx, cy, _, _ = self.client()
        x, y, w, h = PICKER_BUTTONS[button]
        pgtest.host("xdotool", "mousemove", str(cx + x + w // 2), str(cy + y + h // 2))
        time.sleep(0.05)
        pgtest.host("xdotool", "click", "1")


def picker() -> Picker:
    for line in pgtest.driver("windows").all("window"):
        hwnd, shown, _pid, cls, *title = line.split(" ", 4)
        if cls == PICKER_CLASS:
            return Picker(hwnd, shown == "visible", title[0] if title else "")
    raise AssertionError("Tessary has no picker window")


def wait_picker(visible: bool = True, timeout: float = 5.0) -> Picker:
    until = time.monotonic() + timeout
    while True:
        p = picker()
        if p.visible == visible:
            return p
        if time.monotonic() >= until:
            raise AssertionError("the picker is %s after %.1f s" % (
                "visible" if p.visible else "hidden", timeout))
        time.sleep(0.05)


def pac_file(rgb: tuple[int, int, int], header: bytes = b"\0" * 904) -> bytes:
    """A packed bitmap: 904 bytes, a 16x16 24-bit colour image in one colour,
    and a 1-bit mask whose left half is white (transparent)."""
    r, g, b = rgb
    pixels = (bytes([b, g, r]) * 16) * 16
    colour = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(pixels), 0, 0, 0, 0) + pixels
    rows = bytes([0xFF, 0x00, 0, 0]) * 16  # left eight pixels set: white
    table = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    mask = struct.pack("<2sIHHI", b"BM", 62 + len(rows), 0, 0, 62) + struct.pack(
        "<IiiHHIIiiII", 40, 16, 16, 1, 1, 0, len(rows), 0, 0, 2, 0) + table + rows
    return header + colour + mask


# The pop-up menu's items in order; separators are passed over by the
# keyboard, greyed items are not.
MENU_ITEMS = ["merge icons", "copy", "paste Upper", "paste Lower", "stay on top", "undo", "redo",
              "open Upper...", "open Lower..."]


def menu_keys(item: str) -> list[str]:
    """The keys that choose `item` in a freshly opened pop-up menu."""
    return ["Down"] * (MENU_ITEMS.index(item) + 1) + ["Return"]


def open_menu(w: Window, at=(120, 120)) -> int:
    """The pop-up menu's X window after a right click at client point `at`."""
    def menus():
        return set(pgtest.host("xdotool", "search", "--onlyvisible", "--name", "^$",
                               check=False).split())
    before = menus()
    pgtest.click(w.xid, *at, button=3)
    until = time.monotonic() + 3
    while time.monotonic() < until:
        new = menus() - before
        if new:
            return int(new.pop())
        time.sleep(0.02)
    raise AssertionError("the pop-up menu did not open")


def choose(w: Window, item: str) -> None:
    """The menu item chosen from the keyboard in the pop-up menu."""
    open_menu(w)
    pgtest.key(*menu_keys(item))
    time.sleep(0.2)


def hints() -> list[tuple[bool, str]]:
    """(visible, text) of every tooltip control on screen or off it."""
    out = []
    for line in pgtest.driver("tooltips").all("tooltip"):
        _hwnd, shown, _pid, *text = line.split(" ", 3)
        out.append((shown == "visible", text[0] if text else ""))
    return out


def toggle_stay_on_top(w: Window) -> None:
    choose(w, "stay on top")
