"""Helpers for Pairglyph's end-to-end tests under Wine in Xvfb (stdlib only).

The tests run inside the session of scripts/wine-env.sh (pg_wine_start), which
exports DISPLAY and WINEPREFIX; ctest passes the programs' paths as
PG_<NAME>_EXE (PG_DEPTHWELL_EXE, PG_DRIVER_EXE, ...). A test file looks like:

    import pgtest

    class Depthwell(pgtest.WineTestCase):
        def test_something(self):
            proc = self.start(pgtest.exe("DEPTHWELL"))
            box = pgtest.msgbox_wait("確認")
            pgtest.msgbox_press("確認", "IDOK")
            self.assertEqual(proc.wait(5), 0)

    if __name__ == "__main__":
        pgtest.main()

Every wait has a timeout; a program that outlives its test is killed with its
process group. Nothing here waits without a limit.
"""

from __future__ import annotations

import contextlib
import ctypes
import dataclasses
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

DEFAULT_TIMEOUT = 10.0


# ---- session -----------------------------------------------------------------

def require_session() -> None:
    """Exits at once, with the reason, when no Wine session is set up."""
    missing = [v for v in ("DISPLAY", "WINEPREFIX") if not os.environ.get(v)]
    if missing:
        sys.stderr.write(
            "pgtest: %s not set; run the tests inside a Wine session:\n"
            "  source scripts/wine-env.sh && pg_wine_start && ctest ...\n" % " and ".join(missing))
        sys.exit(1)
    if not os.path.isdir(os.environ["WINEPREFIX"]):
        sys.stderr.write("pgtest: WINEPREFIX %s does not exist\n" % os.environ["WINEPREFIX"])
        sys.exit(1)


def exe(name: str) -> str:
    """The path of a built program from PG_<NAME>_EXE, or the test fails."""
    var = "PG_%s_EXE" % name.upper()
    path = os.environ.get(var, "")
    if not path or not os.path.isfile(path):
        raise AssertionError("%s is not set to a built program (got %r)" % (var, path))
    return path


def win_path(path: str) -> str:
    """A Unix path as Wine sees it through drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def scratch_dir() -> str:
    """A folder for this test file's temporary files, removed at exit."""
    global _scratch
    if _scratch is None:
        _scratch = tempfile.TemporaryDirectory(prefix="pgtest-")
    return _scratch.name


_scratch: tempfile.TemporaryDirectory | None = None


# ---- processes -----------------------------------------------------------------

class Proc:
    """A program under Wine in its own session (process group).

    Output goes to files, not pipes, so nothing can block on a full pipe or on
    a Wine service that inherited one."""

    def __init__(self, argv: list[str], env: dict | None = None, cwd: str | None = None):
        self.argv = argv
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        full_env = dict(os.environ)
        if env:
            full_env.update(env)
        self.popen = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self._out,
                                      stderr=self._err, env=full_env, cwd=cwd,
                                      start_new_session=True)
        self.pid = self.popen.pid
        self.returncode: int | None = None
        self._stdout = self._stderr = ""

    def wait(self, timeout: float = DEFAULT_TIMEOUT) -> int:
        """The exit status; on timeout the group is killed and the test fails."""
        try:
            self.returncode = self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("%s did not exit within %.1f s" % (self.argv, timeout)) from None
        return self.returncode

    def running(self) -> bool:
        return self.popen.poll() is None

    def kill(self) -> None:
        if self.popen.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.pid, signal.SIGKILL)
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.popen.wait(5)
        self.returncode = self.popen.returncode

    def close(self) -> None:
        """Kills the program if it still runs and keeps its output."""
        self.kill()
        if not self._out.closed:
            self._stdout, self._stderr = self.stdout, self.stderr
            self._out.close()
            self._err.close()

    def _read(self, f, kept: str) -> str:
        if f.closed:
            return kept
        f.seek(0)
        return f.read().decode("utf-8", "replace")

    @property
    def stdout(self) -> str:
        return self._read(self._out, self._stdout)

    @property
    def stderr(self) -> str:
        return self._read(self._err, self._stderr)


def start(program: str, *args: str, env: dict | None = None, cwd: str | None = None) -> Proc:
    """Starts a Windows program under wine; see also WineTestCase.start."""
    return Proc(["wine", program, *args], env=env, cwd=cwd)


@dataclasses.dataclass
class Completed:
    returncode: int
    stdout: str
    stderr: str


def run(program: str, *args: str, timeout: float = DEFAULT_TIMEOUT, env: dict | None = None,
        cwd: str | None = None) -> Completed:
    """Runs a Windows program to its end (killed and failed after timeout)."""
    p = start(program, *args, env=env, cwd=cwd)
    try:
        rc = p.wait(timeout)
    finally:
        p.close()
    return Completed(rc, p.stdout, p.stderr)


def host(*argv: str, timeout: float = DEFAULT_TIMEOUT, check: bool = True,
         binary: bool = False, input: bytes | None = None):
    """Runs a Linux tool (xdotool, import, ...) with a timeout; its stdout."""
    try:
        r = subprocess.run(argv, input=input, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError("%s did not finish within %.1f s" % (list(argv), timeout)) from None
    if check and r.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (list(argv), r.returncode,
                                                     r.stderr.decode("utf-8", "replace")))
    return r.stdout if binary else r.stdout.decode("utf-8", "replace")


# ---- the driver ------------------------------------------------------------------

_UNESCAPE = {"\\": "\\", "n": "\n", "r": "\r", "t": "\t", "0": "\0"}


def _unescape(s: str) -> str:
    return re.sub(r"\\(.)", lambda m: _UNESCAPE.get(m.group(1), m.group(1)), s)


class Facts:
    """pgdriver's output: "key value" lines, in order."""

    def __init__(self, returncode: int, stdout: str, stderr: str):
        self.returncode = returncode
        self.stderr = stderr
        self.items: list[tuple[str, str]] = []
        for line in stdout.splitlines():
            key, _, value = line.partition(" ")
            self.items.append((key, _unescape(value)))

    def get(self, key: str, default: str | None = None) -> str | None:
        for k, v in self.items:
            if k == key:
                return v
        return default

    def all(self, key: str) -> list[str]:
        return [v for k, v in self.items if k == key]

    def __getitem__(self, key: str) -> str:
        v = self.get(key)
        if v is None:
            raise KeyError("pgdriver gave no %r: %r" % (key, self.items))
        return v


def driver(*args: str, timeout: float = DEFAULT_TIMEOUT, check: bool = True) -> Facts:
    """Runs pgdriver SUBCOMMAND ARGS; with check, a non-zero status fails."""
    r = run(exe("DRIVER"), *[str(a) for a in args], timeout=timeout)
    if r.returncode == 1 and not r.stdout and not r.stderr:
        # pgdriver names the cause of every failure; status 1 with no output
        # at all is Wine failing to start it (seen once in a loaded run).
        # One more try tells the two apart.
        print("pgdriver %s: no output, status 1; trying once more" % args[0], file=sys.stderr)
        r = run(exe("DRIVER"), *[str(a) for a in args], timeout=timeout)
    facts = Facts(r.returncode, r.stdout, r.stderr)
    if check and r.returncode != 0:
        raise AssertionError("pgdriver %s: status %d: %s" % (" ".join(map(str, args)),
                                                              r.returncode, r.stderr.strip()))
    return facts


def driver_steps(*steps, timeout: float = DEFAULT_TIMEOUT) -> list[Facts]:
    """Several pgdriver subcommands in one Wine process (each start costs
    0.1 s or more), in order; the first that fails fails the test.
    Each step is a list: driver_steps(["msgbox-wait", "x", 5000], ["depth"])."""
    argv: list[str] = []
    for step in steps:
        argv += (["+"] if argv else []) + [str(a) for a in step]
    whole = driver(*argv, timeout=timeout, check=False)
    if whole.returncode != 0:
        raise AssertionError("pgdriver %s: status %d: %s\nwindows now:\n%s" % (
            " ".join(argv), whole.returncode, whole.stderr.strip(),
            "\n".join(driver("windows").all("window"))))
    if len(steps) == 1:
        return [whole]
    out: list[Facts] = []
    for k, v in whole.items:
        if k == "step":
            out.append(Facts(0, "", ""))
        elif out:
            out[-1].items.append((k, v))
    return out


# ---- message boxes ------------------------------------------------------------------

@dataclasses.dataclass
class MessageBox:
    hwnd: str
    xid: int  # its X window, for screenshot() and key(xid=...)
    caption: str
    text: str
    buttons: list[tuple[int, str]]  # (id, text) in the box's order
    controls: list[tuple[int, str, int, int, int, int]]  # id, class, x, y, w, h (client)
    client: tuple[int, int, int, int]  # x, y, w, h of the client area in the window
    pid: int
    owner: str  # "0x0" when the box has no owner window
    foreground: bool
    exstyle: int


def msgbox_wait(caption: str, timeout: float = 5.0, press: str | None = None) -> MessageBox:
    """Waits for a visible message box with this caption and reads it; with
    press ("IDOK", "IDCANCEL", a number) then answers it in the same step."""
    f = driver("msgbox-wait", caption, int(timeout * 1000), *([press] if press else []),
               timeout=timeout + 10, check=False)
    if f.returncode != 0:
        raise AssertionError("no message box %r within %.1f s (%s); windows now:\n%s" % (
            caption, timeout, f.stderr.strip(), "\n".join(driver("windows").all("window"))))
    return message_box(f)


def message_box(f: Facts) -> MessageBox:
    """The MessageBox a msgbox-wait step reported (see driver_steps)."""
    buttons = []
    for b in f.all("button"):
        ident, _, text = b.partition(" ")
        buttons.append((int(ident), text))
    controls = []
    for c in f.all("control"):
        ident, cls, x, y, w, h = c.split(" ")
        controls.append((int(ident), cls, int(x), int(y), int(w), int(h)))
    return MessageBox(hwnd=f["hwnd"], xid=int(f["xid"]), caption=f["caption"], text=f.get("text", ""),
                      buttons=buttons, controls=controls,
                      client=tuple(int(v) for v in f["client"].split()), pid=int(f["pid"]), owner=f["owner"],
                      foreground=f["foreground"] == "1", exstyle=int(f["exstyle"], 16))


def msgbox_press(caption: str, button: str = "IDOK", timeout: float = 5.0) -> None:
    """Presses a button of the box (IDOK, IDCANCEL, or a number) as a click would."""
    driver("msgbox-press", caption, button, int(timeout * 1000), timeout=timeout + 10)


def no_msgbox(caption: str) -> bool:
    """True when no visible message box has this caption right now."""
    return driver("msgbox-wait", caption, 0, check=False).returncode == 3


# ---- the X side ------------------------------------------------------------------------

def find_windows(name_regex: str, timeout: float = 5.0, visible: bool = True) -> list[int]:
    """X window ids whose name matches, polled until at least one exists."""
    argv = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + ["--name", name_regex]
    until = time.monotonic() + timeout
    while True:
        out = host(*argv, check=False, timeout=5)
        ids = [int(x) for x in out.split()]
        if ids:
            return ids
        if time.monotonic() >= until:
            raise AssertionError("no X window named %r within %.1f s" % (name_regex, timeout))
        time.sleep(0.02)


def find_window(name_regex: str, timeout: float = 5.0) -> int:
    return find_windows(name_regex, timeout)[0]


def wait_no_window(name_regex: str, timeout: float = 5.0) -> None:
    until = time.monotonic() + timeout
    while host("xdotool", "search", "--onlyvisible", "--name", name_regex, check=False).split():
        if time.monotonic() >= until:
            raise AssertionError("X window %r still there after %.1f s" % (name_regex, timeout))
        time.sleep(0.02)


def geometry(xid: int) -> tuple[int, int, int, int]:
    """x, y, width, height of an X window on the screen."""
    out = host("xdotool", "getwindowgeometry", "--shell", str(xid))
    v = dict(line.split("=", 1) for line in out.split())
    return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])


@dataclasses.dataclass
class Image:
    width: int
    height: int
    rgb: bytes  # rows top to bottom, 3 bytes a pixel

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, x: int, y: int, w: int, h: int) -> "Image":
        rows = [self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x + w) * 3]
                for r in range(h)]
        return Image(w, h, b"".join(rows))

    def save_ppm(self, path: str) -> None:
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.rgb)


def _parse_ppm(data: bytes) -> Image:
    # P6 <ws> width <ws> height <ws> maxval <one ws> pixels
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    if not m or int(m.group(3)) != 255:
        raise AssertionError("unexpected screenshot format")
    w, h = int(m.group(1)), int(m.group(2))
    return Image(w, h, data[m.end():m.end() + w * h * 3])


def screenshot(xid: int | str = "root", save_as: str | None = None) -> Image:
    """The window's pixels as shown (exact on a 24-bit display)."""
    png = host("import", "-window", str(xid), "png:-", binary=True)
    if save_as:
        with open(save_as, "wb") as f:
            f.write(png)
    return _parse_ppm(host("convert", "png:-", "-depth", "8", "ppm:-", binary=True, input=png))


def settled_screenshot(xid: int | str, timeout: float = 2.0) -> Image:
    """A screenshot once two in a row agree (a window just shown may still be
    painting)."""
    until = time.monotonic() + timeout
    last = screenshot(xid)
    while True:
        time.sleep(0.03)
        shot = screenshot(xid)
        if shot == last or time.monotonic() >= until:
            return shot
        last = shot


def mousemove(xid: int, x: int, y: int) -> None:
    """Moves the pointer to x, y inside the X window."""
    host("xdotool", "mousemove", "--window", str(xid), str(x), str(y))


def click(xid: int, x: int, y: int, button: int = 1) -> None:
    mousemove(xid, x, y)
    host("xdotool", "click", str(button))


def drag(xid: int, x0: int, y0: int, x1: int, y1: int, steps: int = 6, button: int = 1) -> None:
    """Press at x0,y0, move in steps (0.05 s apart so they do not merge), release at x1,y1."""
    mousemove(xid, x0, y0)
    host("xdotool", "mousedown", str(button))
    for i in range(1, steps + 1):
        time.sleep(0.05)
        mousemove(xid, x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
    time.sleep(0.05)
    host("xdotool", "mouseup", str(button))


class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.c_void_p),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def cursor_shape() -> tuple[int, int, int, int]:
    """(width, height, hot x, hot y) of the pointer the X server shows now;
    Wine hands each Windows cursor to X with its own size and hot spot."""
    x11 = ctypes.CDLL("libX11.so.6")
    xfixes = ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_XFixesCursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(None)
    if not dpy:
        raise RuntimeError("cannot open display %s" % os.environ.get("DISPLAY"))
    try:
        img = xfixes.XFixesGetCursorImage(dpy)
        if not img:
            raise RuntimeError("XFixesGetCursorImage failed")
        c = img.contents
        shape = (c.width, c.height, c.xhot, c.yhot)
        x11.XFree(img)
        return shape
    finally:
        x11.XCloseDisplay(dpy)


def key(*keys: str, xid: int | None = None) -> None:
    """xdotool key names: "Return", "Escape", "ctrl+c", typed as real key
    presses (XTEST) into the focus; with xid that window is focused first.
    (`xdotool key --window` sends synthetic events, which Wine does not take.)"""
    if xid:
        host("xdotool", "windowfocus", str(xid))
    host("xdotool", "key", *keys)


def type_text(text: str) -> None:
    host("xdotool", "type", "--delay", "10", text)


@contextlib.contextmanager
def other_display(depth: int):
    """An extra Xvfb of `depth` bits (8, 16, 24) for the block; yields its DISPLAY.

    Run a program on it with start(..., env={"DISPLAY": d})."""
    fd_r, fd_w = os.pipe()
    log = open(os.path.join(scratch_dir(), "xvfb-%d.log" % depth), "ab")
    p = subprocess.Popen(["Xvfb", "-displayfd", str(fd_w), "-screen", "0", "1280x1024x%d" % depth,
                          "-nolisten", "tcp"], pass_fds=(fd_w,), stdin=subprocess.DEVNULL,
                         stdout=log, stderr=log, start_new_session=True)
    os.close(fd_w)
    try:
        import select
        ready, _, _ = select.select([fd_r], [], [], 10)
        number = os.read(fd_r, 32).decode().strip() if ready else ""
        if not number:
            raise AssertionError("Xvfb with %d bits did not start" % depth)
        yield ":" + number
    finally:
        os.close(fd_r)
        p.kill()
        p.wait(5)
        log.close()


# ---- registry ---------------------------------------------------------------------

def _reg(*args: str, check: bool = True) -> Completed:
    r = run("reg", *args, timeout=30)
    if check and r.returncode != 0:
        raise AssertionError("wine reg %s failed (%d): %s" % (" ".join(args), r.returncode,
                                                             (r.stdout + r.stderr).strip()))
    return r


def reg_add(key: str, name: str, data: str, type: str = "REG_SZ") -> None:
    """wine reg add KEY /v NAME /t TYPE /d DATA /f (creates the key)."""
    _reg("add", key, "/v", name, "/t", type, "/d", data, "/f")


def reg_delete_value(key: str, name: str) -> None:
    """Deletes the value; a missing value or key is fine."""
    _reg("delete", key, "/v", name, "/f", check=False)


def reg_delete_key(key: str) -> None:
    """Deletes the key with everything below it; a missing key is fine."""
    _reg("delete", key, "/f", check=False)


def reg_import(path: str) -> None:
    _reg("import", win_path(path))


def _reg_export_file(key: str, path: str) -> bool:
    return _reg("export", key, win_path(path), "/y", check=False).returncode == 0


_REG_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')


def _reg_unquote(s: str) -> str:
    return re.sub(r"\\(.)", lambda m: m.group(1), s)


def _reg_hex(s: str) -> bytes:
    return bytes(int(b, 16) for b in s.replace(" ", "").split(",") if b)


def parse_reg_export(text: str) -> dict[str, dict[str, tuple[str, object]]]:
    """A .reg file as {key path: {value name: (type, value)}}.

    Types: "REG_SZ" (str), "REG_DWORD" (int), "REG_EXPAND_SZ" / "REG_MULTI_SZ"
    (str / list of str, decoded from UTF-16), "hex(N)" / "REG_BINARY" (bytes).
    The default value's name is "@"."""
    # Values in hex may run over several lines ending in a backslash.
    text = re.sub(r"\\\r?\n\s*", "", text)
    keys: dict[str, dict[str, tuple[str, object]]] = {}
    current = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        if current is None or not line or line.startswith(";"):
            continue
        if line.startswith("@="):
            name, rest = "@", line[2:]
        else:
            m = _REG_STRING.match(line)
            if not m or line[m.end():m.end() + 1] != "=":
                continue
            name, rest = _reg_unquote(m.group(1)), line[m.end() + 1:]
        if rest.startswith('"'):
            current[name] = ("REG_SZ", _reg_unquote(rest[1:-1]))
        elif rest.startswith("dword:"):
            current[name] = ("REG_DWORD", int(rest[6:], 16))
        elif rest.startswith("hex(2):"):
            current[name] = ("REG_EXPAND_SZ", _reg_hex(rest[7:]).decode("utf-16-le").rstrip("\0"))
        elif rest.startswith("hex(7):"):
            items = _reg_hex(rest[7:]).decode("utf-16-le").split("\0")
            current[name] = ("REG_MULTI_SZ", [s for s in items if s])
        elif rest.startswith("hex:"):
            current[name] = ("REG_BINARY", _reg_hex(rest[4:]))
        elif rest.startswith("hex("):
            kind, _, data = rest.partition(":")
            current[name] = (kind, _reg_hex(data))
    return keys


def _full_key(key: str) -> str:
    roots = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE",
             "HKCR": "HKEY_CLASSES_ROOT", "HKU": "HKEY_USERS"}
    head, _, rest = key.partition("\\")
    return roots.get(head.upper(), head) + ("\\" + rest if rest else "")


def reg_export(key: str) -> dict[str, tuple[str, object]] | None:
    """The values of exactly this key, read exactly (wine reg export, UTF-16),
    or None when the key does not exist."""
    path = os.path.join(scratch_dir(), "export.reg")
    if not _reg_export_file(key, path):
        return None
    with open(path, "rb") as f:
        text = f.read().decode("utf-16")
    want = _full_key(key).lower()
    for name, values in parse_reg_export(text).items():
        if name.lower() == want:
            return values
    return {}


def reg_value(key: str, name: str) -> tuple[str, object] | None:
    """(type, value) of one value, None when it or its key is missing."""
    values = reg_export(key)
    return None if values is None else values.get(name)


@dataclasses.dataclass
class RawValue:
    type: int  # REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4, REG_MULTI_SZ = 7
    data: bytes


def reg_raw(key: str, name: str) -> RawValue | None:
    """Type and exact bytes from RegQueryValueExW (through pgdriver)."""
    return raw_value(driver("reg-get", key, name))


def raw_value(f: Facts) -> RawValue | None:
    """The value a reg-get step reported (see driver_steps)."""
    if f["key"] == "missing" or f["value"] == "missing":
        return None
    return RawValue(int(f["type"]), bytes.fromhex(f["hex"]))


def reg_set_raw(key: str, name: str, type: int, data: bytes) -> None:
    """Stores exactly these bytes with this type (key created if needed)."""
    driver("reg-set", key, name, type, data.hex())


def utf16z(text: str) -> bytes:
    """A string value's bytes as Windows stores them: UTF-16LE with a NUL."""
    return (text + "\0").encode("utf-16-le")


@contextlib.contextmanager
def saved_key(key: str):
    """Restores the key (values and subkeys) as it was before the block."""
    path = os.path.join(scratch_dir(), "saved-%d.reg" % time.monotonic_ns())
    existed = _reg_export_file(key, path)
    try:
        yield
    finally:
        reg_delete_key(key)
        if existed:
            reg_import(path)


@contextlib.contextmanager
def unopenable_key(key: str):
    """For the block the key cannot be opened or created by anyone: it is
    replaced by a registry link to itself (simply deleting it is not enough
    under Wine, whose user32 recreates some keys whenever a program starts).
    Afterwards the key is as it was."""
    with saved_key(key):
        reg_delete_key(key)
        driver("reg-link", key, "self")
        try:
            yield
        finally:
            driver("reg-unlink", key)


# ---- the display's scale ------------------------------------------------------------

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
BASE_DPI = 96  # 100 %


def display_dpi() -> int:
    """The prefix's display DPI (LogPixels), 96 when it sets none."""
    value = reg_value(DESKTOP_KEY, "LogPixels")
    return int(value[1]) if value and value[0] == "REG_DWORD" else BASE_DPI


_servers: list[subprocess.Popen] = []


def restart_wineserver() -> None:
    """Ends the session's wineserver, and with it every Wine program still
    running, and starts it again as pg_wine_start does, so that programs
    started afterwards read the registry as it now stands."""
    host("wineserver", "-k", check=False, timeout=20)
    host("wineserver", "-w", check=False, timeout=20)
    # Kept, not waited for: the server outlives the test run, as
    # pg_wine_start's does, and pg_wine_stop ends it.
    _servers.append(subprocess.Popen(["wineserver", "-p"], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True))
    r = run("cmd", "/c", "exit", timeout=120)
    if r.returncode != 0:
        raise AssertionError("wine did not start again after the wineserver restart")


def set_display_dpi(dpi: int | None) -> None:
    """Sets the prefix's display DPI (None: removes the setting, Wine's 96)
    and restarts the wineserver (see restart_wineserver), as a user's
    change of the display scale takes effect at the next sign-in."""
    if dpi is None:
        reg_delete_value(DESKTOP_KEY, "LogPixels")
    else:
        reg_add(DESKTOP_KEY, "LogPixels", str(int(dpi)), "REG_DWORD")
    restart_wineserver()


@contextlib.contextmanager
def at_display_dpi(dpi: int):
    """The block runs at this display DPI; the prefix's own setting is back
    afterwards. Every Wine program running is ended on the way in and out."""
    before = reg_value(DESKTOP_KEY, "LogPixels")
    before_dpi = int(before[1]) if before and before[0] == "REG_DWORD" else None
    if (before_dpi or BASE_DPI) == dpi:
        yield
        return
    set_display_dpi(dpi)
    try:
        yield
    finally:
        set_display_dpi(before_dpi)


def window_dpi(target: str | int) -> dict[str, int]:
    """What a window reports of the scale, from pgdriver dpi: "window"
    (GetDpiForWindow), "awareness" (0 unaware, 1 system, 2 per monitor),
    "cursor" (SM_CXCURSOR at that DPI), "logpixels" (the screen's
    GetDeviceCaps(LOGPIXELSX) in the DPI-unaware driver)."""
    f = driver("dpi", "0x%x" % target if isinstance(target, int) else target)
    return {k: int(f[k]) for k in ("window", "awareness", "cursor", "logpixels") if f.get(k)}


# ---- running tests --------------------------------------------------------------------

class WineTestCase(unittest.TestCase):
    """A TestCase whose programs are killed when the test ends, however it ends."""

    def start(self, program: str, *args: str, env: dict | None = None,
              cwd: str | None = None) -> Proc:
        p = start(program, *args, env=env, cwd=cwd)
        self.addCleanup(p.close)
        return p


def main() -> None:
    """Checks the session, then runs the file's tests (unittest arguments work:
    `python3 test_x.py Class.test_name -v`)."""
    require_session()
    try:
        unittest.main(verbosity=2)
    finally:
        if _scratch is not None:
            _scratch.cleanup()
