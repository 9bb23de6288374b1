#!/usr/bin/env python3
"""The pairglyph command as a user runs it: real files in, real files out."""
import os
import resource
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest

CLI = os.environ.get("PG_CLI", "pairglyph")
HOSTILE = os.environ.get("PG_HOSTILE")
KEY = (64, 96, 128)


def ico_24(pixels, mask):
    """A one-image 32x32 24-bit .ico. pixels[y][x] = (r, g, b); mask[y][x] = 1 transparent."""
    rows = b"".join(bytes(c for (r, g, b) in reversed_row for c in (b, g, r))
                    for reversed_row in reversed(pixels))
    mask_rows = b""
    for row in reversed(mask):
        bits = 0
        for x, m in enumerate(row):
            bits |= m << (31 - x)
        mask_rows += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 24, 0, len(rows) + len(mask_rows), 0, 0, 0, 0)
    image = header + rows + mask_rows
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 24, len(image), 22) + image


def solid_icon(colour, opaque=lambda x, y: True):
    pixels = [[colour if opaque(x, y) else (0, 0, 0) for x in range(32)] for y in range(32)]
    mask = [[0 if opaque(x, y) else 1 for x in range(32)] for y in range(32)]
    return ico_24(pixels, mask)


def slurp(path):
    with open(path, "rb") as f:
        return f.read()


def read_ico_24(data):
    """(pixels, transparent) of a 24-bit icon written by pairglyph."""
    assert len(data) == 3262, len(data)
    colour, mask = data[62:62 + 3072], data[3134:]
    px = [[None] * 32 for _ in range(32)]
    tr = [[None] * 32 for _ in range(32)]
    for y in range(32):
        row = 31 - y
        for x in range(32):
            b, g, r = colour[row * 96 + 3 * x: row * 96 + 3 * x + 3]
            px[y][x] = (r, g, b)
            tr[y][x] = bool(mask[row * 4 + x // 8] & (0x80 >> (x % 8)))
    return px, tr


def ico_32(images):
    """An .ico of 32-bit images with alpha: [(size, (r, g, b, a))], each of one colour."""
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for size, (r, g, b, a) in images:
        rows = bytes((b, g, r, a)) * (size * size)
        mask = b"\0" * ((size + 31) // 32 * 4 * size)
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        blob = header + rows + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + entries + blobs


def png(width, height, colour_type, depth, pixel):
    """A PNG of one colour: pixel(x, y) gives the samples of colour_type (palette: its index)."""
    import zlib
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    rows = b""
    for y in range(height):
        bits, nbits, row = 0, 0, bytearray()
        for x in range(width):
            for sample in pixel(x, y):
                if depth == 16:
                    row += struct.pack(">H", sample)
                else:
                    bits, nbits = (bits << depth) | sample, nbits + depth
                    while nbits >= 8:
                        row.append((bits >> (nbits - 8)) & 0xFF)
                        nbits -= 8
        if nbits:
            row.append((bits << (8 - nbits)) & 0xFF)
        rows += b"\0" + bytes(row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if colour_type == 3:
        out += chunk(b"PLTE", bytes((0, 0, 0, 200, 10, 20)))
    return out + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def cursor(icon):
    """The same images as a .cur file: type 2, a hot spot where an icon keeps planes and bits."""
    data = bytearray(icon)
    data[2] = 2
    count = struct.unpack_from("<H", data, 4)[0]
    for i in range(count):
        struct.pack_into("<HH", data, 6 + 16 * i + 4, 17, 300)
    return bytes(data)


def ani(frames, claimed=None):
    """An animated cursor of whole .ico/.cur frames."""
    def chunk(kind, data):
        return kind + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")
    anih = struct.pack("<9I", 36, len(frames) if claimed is None else claimed, len(frames), 0, 0, 0, 0, 10, 1)
    body = b"ACON" + chunk(b"anih", anih) + chunk(b"LIST", b"fram" + b"".join(chunk(b"icon", f) for f in frames))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def pe_icon_data_entries(data, rtype=3):
    """{resource id: file offset of its data entry} for the resources of one type of a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    dirs = opt + (112 if struct.unpack_from("<H", data, opt)[0] == 0x20B else 96)
    rsrc_rva = struct.unpack_from("<I", data, dirs + 2 * 8)[0]
    table = opt + opt_size

    def offset(rva):
        for i in range(sections):
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            if va <= rva < va + max(vsize, raw_size):
                return raw + rva - va
        raise ValueError(rva)

    root = offset(rsrc_rva)

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, root + at + 12)
        return [struct.unpack_from("<II", data, root + at + 16 + 8 * i) for i in range(named + ids)]

    out = {}
    for name, target in entries(0):
        if name != rtype:
            continue
        for rid, sub in entries(target & 0x7FFFFFFF):
            lang = entries(sub & 0x7FFFFFFF)[0][1]
            out[rid] = root + lang
    return out, offset


def over(upper, lower):
    """Straight-alpha "over" of two (r, g, b, a) pixels, rounded to the nearest."""
    au, al = upper[3] / 255, lower[3] / 255
    ao = au + al * (1 - au)
    if ao == 0:
        return (0, 0, 0, 0)
    return tuple(int((upper[k] * au + lower[k] * al * (1 - au)) / ao + 0.5) for k in range(3)) + (int(ao * 255 + 0.5),)


class Cli(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def run_cli(self, *args):
        return subprocess.run([CLI, *args], capture_output=True, text=True, timeout=60)

    def test_empty_slots_give_the_all_transparent_icon_at_both_depths(self):
        for depth, size, colour_range in (("8", 2238, (1086, 2110)), ("24", 3262, (62, 3134))):
            out = self.path(f"empty{depth}.ico")
            r = self.run_cli("compose", "-o", out, "--depth", depth)
            self.assertEqual(r.returncode, 0, r.stderr)
            data = slurp(out)
            self.assertEqual(len(data), size)
            self.assertEqual(set(data[colour_range[0]:colour_range[1]]), {0})
            self.assertEqual(set(data[colour_range[1]:]), {0xFF})

    def test_offsets_cut_and_layer_the_icons_and_the_bitmap_shows_the_key(self):
        upper = self.write("upper.ico", solid_icon((255, 0, 0), lambda x, y: x < 8))
        lower = self.write("lower.ico", solid_icon((0, 0, 255)))
        out, bmp = self.path("out.ico"), self.path("out.bmp")
        for offset_args in (["--upper-offset=-5,3"], ["--upper-offset", "-5,3"]):
            r = self.run_cli("compose", "-o", out, "--depth", "24", "--bmp", bmp, "--upper", upper,
                             *offset_args, "--lower", lower, "--lower-offset", "20,0")
            self.assertEqual(r.returncode, 0, r.stderr)
            px, tr = read_ico_24(slurp(out))
            self.assertEqual((px[3][0], tr[3][0]), ((255, 0, 0), False))   # upper column 5
            self.assertEqual(px[3][2], (255, 0, 0))                         # upper column 7
            self.assertTrue(tr[3][3])                                       # upper col 8: transparent, no lower
            self.assertTrue(tr[0][0])                                       # above the upper icon
            self.assertEqual(px[10][25], (0, 0, 255))                       # lower icon
            self.assertEqual(px[2][20], (0, 0, 255))
            data = slurp(bmp)
            self.assertEqual(data[:2], b"BM")
            width, height, bpp = struct.unpack_from("<iiH", data, 18)[0], struct.unpack_from("<i", data, 22)[0], struct.unpack_from("<H", data, 28)[0]
            self.assertEqual((width, abs(height), bpp), (32, 32, 24))
            offset = struct.unpack_from("<I", data, 10)[0]
            top_left = offset + (31 * 96 if height > 0 else 0)
            b, g, r_ = data[top_left:top_left + 3]
            self.assertEqual((r_, g, b), KEY)

    def test_eight_bit_falls_back_to_24_bits_for_a_picture_with_too_many_colours(self):
        pixels = [[(x * 8, y * 8, 77) for x in range(32)] for y in range(32)]
        many = self.write("many.ico", ico_24(pixels, [[0] * 32 for _ in range(32)]))
        out = self.path("many-out.ico")
        r = self.run_cli("compose", "-o", out, "--upper", many)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(len(slurp(out)), 3262)

    def test_bad_files_fail_with_one_line_naming_the_file(self):
        good = solid_icon((1, 2, 3))
        cases = {
            "missing.ico": None,
            "truncated.ico": good[:100],
            "bad-type.ico": good[:2] + b"\x07\x00" + good[4:],
            "text.ico": b"hello, this is no icon at all\n",
        }
        for name, data in cases.items():
            with self.subTest(name):
                path = self.path(name) if data is None else self.write(name, data)
                r = self.run_cli("compose", "-o", self.path("never.ico"), "--lower", path)
                self.assertEqual(r.returncode, 1, r.stderr)
                lines = r.stderr.strip().splitlines()
                self.assertEqual(len(lines), 1, r.stderr)
                self.assertIn(name, lines[0])
                self.assertFalse(os.path.exists(self.path("never.ico")))

    def test_failed_write_is_reported_and_leaves_an_existing_file(self):
        taken = self.path("taken.ico")
        os.makedirs(os.path.join(taken, "inside"))
        r = self.run_cli("compose", "-o", taken)
        self.assertEqual(r.returncode, 1)
        self.assertIn("taken.ico", r.stderr)
        self.assertTrue(os.path.isdir(os.path.join(taken, "inside")))
        # The system's own reason follows the program's sentence.
        r = self.run_cli("compose", "-o", self.path("no-such-folder/x.ico"))
        self.assertEqual(r.returncode, 1)
        self.assertIn("file cannot be written: No such file or directory", r.stderr)

    def test_a_save_keeps_the_files_identity(self):
        icon = self.write("in.ico", solid_icon((9, 8, 7)))
        # A name of 250 bytes: the temporary file beside it must still fit.
        long_name = self.path("L" * 246 + ".ico")
        r = self.run_cli("compose", "-o", long_name, "--upper", icon)
        self.assertEqual(r.returncode, 0, r.stderr)
        # Mode, symbolic link and hard link survive the replacement.
        target = self.write("target.ico", b"old")
        os.chmod(target, 0o600)
        os.symlink("target.ico", self.path("link.ico"))
        os.link(target, self.path("second-name.ico"))
        r = self.run_cli("compose", "-o", self.path("link.ico"), "--upper", icon)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(os.path.islink(self.path("link.ico")))
        self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), 0o600)
        self.assertEqual(len(slurp(target)), 2238)
        self.assertEqual(slurp(self.path("second-name.ico")), slurp(target))
        self.assertEqual(os.stat(target).st_nlink, 2)
        # A read-only file is refused and left alone, whoever runs the program.
        locked = self.write("locked.ico", b"keep")
        os.chmod(locked, 0o444)
        r = self.run_cli("compose", "-o", locked)
        self.assertEqual(r.returncode, 1)
        self.assertIn("file is read-only: Permission denied", r.stderr)
        self.assertEqual(slurp(locked), b"keep")
        # No temporary file is left anywhere.
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith(".pairglyph-")], [])

    def test_icon_and_bitmap_are_written_together_or_not_at_all(self):
        out = self.write("out.ico", b"old icon")
        # The bitmap cannot be written: the icon must not have been replaced.
        r = self.run_cli("compose", "-o", out, "--bmp", self.path("missing/out.bmp"))
        self.assertEqual(r.returncode, 1)
        self.assertIn("out.bmp", r.stderr)
        self.assertEqual(slurp(out), b"old icon")
        locked = self.write("locked.bmp", b"keep")
        os.chmod(locked, 0o444)
        r = self.run_cli("compose", "-o", out, "--bmp", locked)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(slurp(out), b"old icon")
        # One file named twice, directly, by another spelling or by a link, is bad usage.
        os.link(out, self.path("same.ico"))
        for bmp in (out, os.path.join(self.dir, ".", "out.ico"), self.path("same.ico")):
            with self.subTest(bmp=bmp):
                r = self.run_cli("compose", "-o", out, "--bmp", bmp)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertIn("same file", r.stderr)
        self.assertEqual(slurp(out), b"old icon")

    def test_a_temporary_file_of_a_killed_run_is_removed_by_the_next_save(self):
        # A process id above any the system hands out: that run is gone.
        stale = self.write(".pairglyph-4194399-0badf00d.tmp", b"half an icon")
        other = self.write(".pairglyph-%d-0badf00d.tmp" % os.getpid(), b"a live run's file")
        r = self.run_cli("compose", "-o", self.path("new.ico"))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertFalse(os.path.exists(stale))
        self.assertTrue(os.path.exists(other))

    def test_bad_usage_is_one_line_pointing_at_the_help(self):
        for args, what in (([], "no command"), (["compose"], "-o"), (["compose", "-o"], "-o"),
                           (["compose", "-o", "x.ico", "--depth", "12"], "--depth"),
                           (["compose", "-o", "x.ico", "--upper-offset", "3"], "--upper-offset"),
                           (["compose", "-o", "x.ico", "--frob"], "--frob"),
                           (["compose", "-o", "x.ico", "--upper", "a.ico", "--upper=b.ico"], "--upper"),
                           (["compose", "-o", "x.ico", "--output", "y.ico"], "--output"),
                           (["compose", "-o", "x.ico", "--lower-small", "--lower-small"], "--lower-small"),
                           (["list"], "list"), (["explode"], "explode")):
            with self.subTest(args=args):
                r = self.run_cli(*args)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                self.assertIn(what, r.stderr)
                self.assertIn("try 'pairglyph --help'", r.stderr)
                self.assertFalse(os.path.exists("x.ico"))
        for flag in ("--help", "-h"):
            r = self.run_cli(flag)
            self.assertEqual(r.returncode, 0)
            lines = r.stdout.splitlines()
            for option in ("-o, --output", "--depth", "--bmp", "--sizes", "--upper", "--lower", "--upper-index",
                           "--lower-index", "--upper-small", "--lower-small", "--upper-offset", "--lower-offset",
                           "--version"):
                self.assertEqual(len([l for l in lines if l.lstrip().startswith(option + " ")]), 1, option)
        r = self.run_cli("--version")
        self.assertEqual((r.returncode, r.stdout.split()[0]), (0, "pairglyph"))

    def test_list_prints_one_line_per_icon(self):
        icon = self.write("one.ico", solid_icon((1, 2, 3)))
        r = self.run_cli("list", icon)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.splitlines(), ["0\t-\t32x32 24bpp"])
        text = self.write("notes.txt", b"plain text")
        r = self.run_cli("list", text)
        self.assertEqual(r.returncode, 1)
        self.assertIn("notes.txt", r.stderr)

    def test_png_cursor_and_animated_cursor_files_are_sources_told_by_content(self):
        red, blue = (200, 10, 20), (10, 20, 200)
        half = lambda x, y: x < 16
        cases = {
            # name: (bytes, listed images, pixel (5, 5), pixel (20, 5) or None for transparent)
            "rgba.png": (png(32, 32, 6, 8, lambda x, y: (*red, 255 if half(x, y) else 100)), "32x32 32bpp", red, None),
            "rgb.png": (png(32, 32, 2, 8, lambda x, y: red), "32x32 24bpp", red, red),
            "grey16.png": (png(64, 64, 0, 16, lambda x, y: (0xFFFF,)), "64x64 16bpp", (255, 255, 255), (255, 255, 255)),
            "palette1.png": (png(16, 16, 3, 1, lambda x, y: (1,)), "16x16 1bpp", red, red),
            "pointer.cur": (cursor(solid_icon(red, half)), "32x32 24bpp", red, None),
            "spinner.ani": (ani([cursor(solid_icon(red, half)), solid_icon(blue), solid_icon(blue)]),
                            "32x32 24bpp", red, None),
        }
        out = self.path("out.ico")
        for name, (data, listed, left, right) in cases.items():
            for misnamed in (name, name.split(".")[0] + ".ico.txt"):
                with self.subTest(misnamed):
                    path = self.write(misnamed, data)
                    r = self.run_cli("list", path)
                    self.assertEqual((r.returncode, r.stdout), (0, "0\t-\t" + listed + "\n"), r.stderr)
                    r = self.run_cli("compose", "-o", out, "--depth", "24", "--lower", path)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    px, tr = read_ico_24(slurp(out))
                    self.assertEqual((px[5][5], tr[5][5]), (left, False))
                    self.assertEqual(tr[5][20], right is None)
                    if right is not None:
                        self.assertEqual(px[5][20], right)
        # Damaged ones are refused with their reason, whatever the name says.
        damaged = {
            "cut.png": (cases["rgb.png"][0][:60], "PNG image data is damaged"),
            "cut.cur": (cursor(solid_icon(red))[:200], "data is truncated"),
            "past-end.ani": (ani([solid_icon(red)])[:-100], "data is truncated"),
            "frames.ani": (ani([solid_icon(red)], claimed=0xFFFFFFFF), "header holds an impossible value"),
        }
        for name, (data, reason) in damaged.items():
            with self.subTest(name):
                r = self.run_cli("list", self.write(name, data))
                self.assertEqual(r.returncode, 1)
                self.assertIn(reason, r.stderr)

    def test_list_shows_the_images_own_sizes_and_names_what_a_non_source_is(self):
        # The directory claims 0 (256) and 0 bits; the images say otherwise.
        big = png(300, 260, 6, 8, lambda x, y: (1, 2, 3, 255))
        small = solid_icon((1, 2, 3))[22:]
        entries = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 0, len(big), 38) + \
            struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 0, len(small), 38 + len(big))
        r = self.run_cli("list", self.write("claims.ico", struct.pack("<HHH", 0, 1, 2) + entries + big + small))
        self.assertEqual((r.returncode, r.stdout), (0, "0\t-\t300x260 32bpp, 32x32 24bpp\n"), r.stderr)
        for name, data, what in (("empty.ico", b"", "an empty file"), ("notes.ico", b"plain text\n", "a text file"),
                                 ("photo.ico", b"\xff\xd8\xff\xe0" + bytes(100), "a JPEG image")):
            with self.subTest(name):
                r = self.run_cli("list", self.write(name, data))
                self.assertEqual((r.returncode, r.stdout), (1, ""))
                self.assertEqual(r.stderr, f"pairglyph: {self.path(name)}: not an icon source: {what}\n")

    def test_inverting_pixels_get_a_note_from_compose(self):
        pixels = [[(9, 9, 9)] * 32 for _ in range(32)]
        mask = [[1 if y < 2 else 0 for x in range(32)] for y in range(32)]
        path = self.write("box.ico", ico_24(pixels, mask))
        r = self.run_cli("compose", "-o", self.path("out.ico"), "--upper", path)
        self.assertEqual(r.returncode, 0)
        self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
        self.assertIn("box.ico", r.stderr)
        self.assertIn("icon 0: 64 ", r.stderr)

    def test_batch_runs_every_line_and_reports_the_failing_one_by_number(self):
        os.mkdir(self.path("a dir"))
        red = self.write("a dir/red icon.ico", solid_icon((200, 10, 20)))
        lines = [f"compose -o {self.path('one.ico')} --depth 24 --lower '{red}'",
                 "# a comment, then a blank line", "",
                 f"-o {self.path('two.ico')} --lower {self.path('missing.ico')}",
                 f"-o \"{self.path('three.ico')}\" --sizes 16,32 --upper {red.replace(' ', chr(92) + ' ')}",
                 "-o x.ico --depth 9"]
        script = self.write("jobs.txt", "\n".join(lines).encode())
        for source, stdin in ((script, None), ("-", "\n".join(lines))):
            with self.subTest(source):
                r = subprocess.run([CLI, "batch", source], input=stdin, capture_output=True, text=True, timeout=60)
                self.assertEqual(r.returncode, 1, r.stderr)
                errors = r.stderr.splitlines()
                self.assertEqual(len(errors), 3, r.stderr)
                self.assertIn(":4: ", errors[0])
                self.assertIn("missing.ico", errors[0])
                self.assertIn(":6: --depth", errors[1])
                self.assertIn("2 of 6 lines failed", errors[2])
                px, _ = read_ico_24(slurp(self.path("one.ico")))
                self.assertEqual(px[0][0], (200, 10, 20))
                self.assertTrue(os.path.exists(self.path("three.ico")))
                self.assertFalse(os.path.exists(self.path("two.ico")))
                os.remove(self.path("one.ico"))

    def test_libraries_list_their_groups_and_give_icons_by_index_id_and_size(self):
        library = os.path.join(os.environ["PG_FIXTURE_DIR"], "icons64.dll")
        r = self.run_cli("list", library)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual([line.split("\t")[0] for line in lines], ["0", "1", "2", "3"])
        self.assertEqual([line.split("\t")[1] for line in lines], ["ALPHA", "ZETA", "7", "300"])
        out = self.path("lib.ico")
        for args in (["--lower-index", "3"], ["--lower-index=-300"], ["--lower-index", "0", "--lower-small"],
                     ["--lower-id", "300"], ["--lower-id=zeta"]):
            with self.subTest(args=args):
                r = self.run_cli("compose", "-o", out, "--depth", "24", "--lower", library, *args)
                self.assertEqual(r.returncode, 0, r.stderr)
                _, tr = read_ico_24(slurp(out))
                self.assertIn(False, [t for row in tr for t in row])
        self.assertEqual(slurp(self.path("lib.ico")), self.compose_bytes(out, library, "--lower-index", "1"))
        for args in (["--lower-index", "4"], ["--lower-id", "8"], ["--lower-id", "BETA"]):
            r = self.run_cli("compose", "-o", out, "--lower", library, *args)
            self.assertEqual(r.returncode, 1)
            self.assertIn("icons64.dll", r.stderr)
        r = self.run_cli("compose", "-o", out, "--lower", library, "--lower-id", "7", "--lower-index", "2")
        self.assertEqual(r.returncode, 2)

    def compose_bytes(self, out, library, *args):
        r = self.run_cli("compose", "-o", out, "--depth", "24", "--lower", library, *args)
        self.assertEqual(r.returncode, 0, r.stderr)
        return slurp(out)

    def test_pac_files_are_told_by_their_extension_and_give_one_icon(self):
        def bmp24(colour):
            rows = b"".join(bytes(c for _ in range(16) for c in (colour[2], colour[1], colour[0])) for _ in range(16))
            return b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + struct.pack(
                "<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows
        pac = bytes(904) + bmp24((200, 10, 20)) + bmp24((255, 255, 255))
        for name in ("pic.pac", "PIC.PAC"):
            with self.subTest(name):
                path = self.write(name, pac)
                r = self.run_cli("list", path)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout.splitlines(), ["0\t-\t16x16 24bpp"])
        # The mask is white everywhere: the whole picture is the key colour, transparent.
        opaque = self.write("opaque.pac", bytes(904) + bmp24((200, 10, 20)) + bmp24((0, 0, 0)))
        out = self.path("pac.ico")
        for path, transparent in ((self.path("pic.pac"), True), (opaque, False)):
            r = self.run_cli("compose", "-o", out, "--depth", "24", "--lower", path)
            self.assertEqual(r.returncode, 0, r.stderr)
            px, tr = read_ico_24(slurp(out))
            self.assertEqual(tr[5][5], transparent)
            if not transparent:
                self.assertEqual(px[5][5], (200, 10, 20))
        # Without the extension the bytes are no icon source at all.
        r = self.run_cli("list", self.write("pic.bin", pac))
        self.assertEqual(r.returncode, 1)
        self.assertIn("not an icon source", r.stderr)

    def test_a_damaged_group_is_reported_alone_and_the_rest_of_the_library_serves(self):
        library = slurp(os.path.join(os.environ["PG_FIXTURE_DIR"], "icons64.dll"))
        icons, offset = pe_icon_data_entries(library)
        groups, _ = pe_icon_data_entries(library, 14)
        # The group ALPHA's images, as its group table names them.
        rva, size = struct.unpack_from("<II", library, groups[next(iter(groups))])  # ALPHA, named, comes first
        table = library[offset(rva):offset(rva) + size]
        alpha_ids = [struct.unpack_from("<H", table, 6 + 14 * i + 12)[0] for i in range(struct.unpack_from("<H", table, 4)[0])]
        self.assertGreater(len(alpha_ids), 1)
        damaged = bytearray(library)
        struct.pack_into("<I", damaged, icons[alpha_ids[-1]] + 4, 0xFFFFFFF0)  # one image far past its section
        path = self.write("damaged.dll", bytes(damaged))
        r = self.run_cli("list", path)
        self.assertEqual(r.returncode, 1)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], "0\tALPHA\tdamaged: resource lies outside the file's sections")
        self.assertEqual([line.split("\t")[1] for line in lines[1:]], ["ZETA", "7", "300"])
        self.assertNotIn("damaged", "".join(lines[1:]))
        self.assertEqual(r.stderr, f"pairglyph: {path}: icon 0: resource lies outside the file's sections\n")
        out = self.path("out.ico")
        for args in (["--lower-id", "alpha"], ["--lower-index", "0", "--lower-small"], ["--sizes", "all"]):
            with self.subTest(args=args):
                r = self.run_cli("compose", "-o", out, "--lower", path, *args)
                self.assertEqual((r.returncode, r.stderr),
                                 (1, f"pairglyph: {path}: resource lies outside the file's sections\n"))
                self.assertFalse(os.path.exists(out))
        r = self.run_cli("compose", "-o", out, "--lower", path, "--lower-id", "zeta", "--sizes", "all")
        self.assertEqual(r.returncode, 0, r.stderr)
        # A group with one missing image among sound ones is damaged as a whole.
        missing = bytearray(library)
        at = offset(rva) + 6 + 14 * (len(alpha_ids) - 1) + 12
        struct.pack_into("<H", missing, at, 999)
        path = self.write("missing.dll", bytes(missing))
        r = self.run_cli("list", path)
        self.assertEqual(r.stdout.splitlines()[0], "0\tALPHA\tdamaged: icon group names an image that does not exist")
        r = self.run_cli("compose", "-o", out, "--lower", path)
        self.assertEqual(r.returncode, 1)
        self.assertIn("icon group names an image that does not exist", r.stderr)

    def test_a_damaged_icon_file_lists_its_one_icon_as_damaged(self):
        good = solid_icon((1, 2, 3))
        path = self.write("cut.ico", good[:100])
        r = self.run_cli("list", path)
        self.assertEqual((r.returncode, r.stdout), (1, "0\t-\tdamaged: data is truncated\n"))
        self.assertEqual(r.stderr, f"pairglyph: {path}: icon 0: data is truncated\n")
        # The entry's size is a hint: an entry of 16x16 for the 32x32 image.
        liar = good[:6] + bytes([16, 16]) + good[8:]
        r = self.run_cli("list", self.write("liar.ico", liar))
        self.assertEqual((r.returncode, r.stdout), (0, "0\t-\t32x32 24bpp\n"), r.stderr)

    def test_messages_name_a_folder_zero_bytes_and_a_missing_id_for_what_they_are(self):
        library = os.path.join(os.environ["PG_FIXTURE_DIR"], "icons64.dll")
        out = self.path("out.ico")
        cases = (
            (["list", self.dir], f"{self.dir}: is a folder, not a file"),
            (["compose", "-o", out, "--upper", self.dir], f"{self.dir}: is a folder, not a file"),
            (["list", self.write("zeros.bin", bytes(100))], f"{self.path('zeros.bin')}: not an icon source: "
                                                            "a file of nothing but zero bytes"),
            (["compose", "-o", out, "--upper", library, "--upper-index", "-9"], f"{library}: file has no icon with id 9"),
            (["compose", "-o", out, "--upper", library, "--upper-index", "9"],
             f"{library}: file has no icon with that index"),
        )
        for args, message in cases:
            with self.subTest(args=args):
                r = self.run_cli(*args)
                self.assertEqual((r.returncode, r.stderr), (1, f"pairglyph: {message}\n"))

    def test_a_library_shortened_while_it_is_listed_gives_an_error_never_a_signal(self):
        library = slurp(os.path.join(os.environ["PG_FIXTURE_DIR"], "icons64.dll"))
        # Padded so that the read takes a while; shortened to its headers, so
        # that the resources lie past the new end.
        full = library + bytes(8 << 20)
        path = self.write("shrinking.dll", full)
        shrinker = subprocess.Popen(["python3", "-c", f"""
import os
full = open({path!r}, "rb").read()
while True:
    os.truncate({path!r}, 1024)
    with open({path!r}, "r+b") as f:
        f.write(full)
"""])
        try:
            for _ in range(100):
                r = subprocess.run([CLI, "list", path], capture_output=True, text=True, timeout=60)
                self.assertIn(r.returncode, (0, 1), r.stderr)
                if r.returncode:
                    self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                    self.assertTrue(r.stderr.startswith(f"pairglyph: {path}: "), r.stderr)
        finally:
            shrinker.kill()
            shrinker.wait()

    def test_sizes_write_a_multi_size_icon_that_image_magick_reads(self):
        if shutil.which("convert") is None or shutil.which("identify") is None:
            self.skipTest("ImageMagick is not installed")
        red, blue = (255, 0, 0, 255), (0, 0, 255, 128)
        lower = self.write("lower.ico", ico_32([(16, red), (32, red), (48, red)]))
        upper = self.write("upper.ico", ico_32([(16, blue), (32, blue), (48, blue)]))
        out = self.path("multi.ico")
        r = self.run_cli("compose", "-o", out, "--lower", lower, "--upper", upper,
                         "--upper-offset", "16,0", "--sizes", "all")
        self.assertEqual(r.returncode, 0, r.stderr)
        frames = subprocess.run(["identify", "-format", "%w %h\n", out], capture_output=True,
                                text=True, check=True).stdout.split("\n")
        self.assertEqual([f for f in frames if f],
                         [f"{n} {n}" for n in (256, 64, 48, 40, 32, 24, 20, 16)])

        def pixels(frame, size):
            raw = subprocess.run(["convert", f"{out}[{frame}]", "-depth", "8", "rgba:-"],
                                 capture_output=True, check=True).stdout
            self.assertEqual(len(raw), size * size * 4)
            return lambda x, y: tuple(raw[(y * size + x) * 4:(y * size + x) * 4 + 4])

        blend = over(blue, red)
        at48 = pixels(2, 48)  # exact images; the offset 16 is 24 here
        for x, y, want in ((0, 0, red), (23, 47, red), (24, 0, blend), (47, 47, blend)):
            self.assertEqual(at48(x, y), want, (x, y))
        at256 = pixels(0, 256)  # the 48s enlarged five times; the offset is 128
        for x, y, want in ((0, 0, red), (127, 239, red), (128, 0, blend), (239, 239, blend),
                           (240, 10, blue), (10, 240, (0, 0, 0, 0)), (250, 245, (0, 0, 0, 0))):
            self.assertEqual(at256(x, y)[3], want[3], (x, y))
            if want[3]:
                self.assertEqual(at256(x, y), want, (x, y))

        subset = self.path("subset.ico")
        r = self.run_cli("compose", "-o", subset, "--lower", lower, "--sizes", "48,16,256,16")
        self.assertEqual(r.returncode, 0, r.stderr)
        data = slurp(subset)
        self.assertEqual(struct.unpack("<HHH", data[:6]), (0, 1, 3))
        self.assertEqual([data[6 + 16 * i] for i in range(3)], [0, 48, 16])

        for bad in (["--sizes", "17"], ["--sizes", ""], ["--sizes", "16,,32"], ["--sizes", "all", "--depth", "24"]):
            r = self.run_cli("compose", "-o", self.path("bad.ico"), *bad)
            self.assertEqual(r.returncode, 2, bad)


@unittest.skipUnless(HOSTILE, "needs pg_hostile_inputs (PG_HOSTILE)")
class HostileInputs(unittest.TestCase):
    """Every hostile input within 512 MB of address space (the program's own
    included) and the 2 s of CPU any one input may cost: before, these cost
    gigabytes (an abort on a failed allocation) or several seconds."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        subprocess.run([HOSTILE, cls.tmp], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def run_limited(self, *args):
        def limits():
            resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))
            resource.setrlimit(resource.RLIMIT_CPU, (2, 2))
        return subprocess.run([CLI, *args], capture_output=True, text=True, timeout=60, preexec_fn=limits)

    def test_each_input_is_refused_with_its_reason_or_read_within_bounds(self):
        cases = {
            "pe/group-bomb.dll": "image is larger than the size limit",
            "pe/group-bomb-ok.dll": None,
            "ne/group-bomb.icl": None,
            "pe/many-groups.dll": "images of the file are too large together",
            "pe/directories.dll": (None, "file holds no icons"),  # a library without icons
            "ico/inflate-bomb.ico": "PNG image data is damaged",
            "ico/largest.ico": None,
            "bmp/rle-bomb.bmp": "image is larger than the size limit",
            "bmp/rle-largest.bmp": None,
            "pac/rle-bomb.pac": "image is larger than the size limit",
        }
        out = os.path.join(self.tmp, "out.ico")
        for name, reason in cases.items():
            path = os.path.join(self.tmp, name)
            for k, args in enumerate((["list", path], ["compose", "-o", out, "--upper", path])):
                with self.subTest(name=name, command=args[0]):
                    r = self.run_limited(*args)
                    want = reason[k] if isinstance(reason, tuple) else reason
                    if want is None:
                        self.assertEqual(r.returncode, 0, r.stderr)
                    else:
                        self.assertEqual(r.returncode, 1, r.stderr)
                        self.assertIn(want, r.stderr)


if __name__ == "__main__":
    unittest.main()
