"""The lower slot at start follows the shell's folder-icon setting
(HKLM ... explorer\\Shell Icons, value "3"), case by case; each case sets the
value, starts Tessary, reads the lower slot's pixels and restores the key."""

import os
import shutil

import pgtest
import tessary as t

COLOURS = [(10 * i + 5, 200 - 9 * i, (37 * i) % 256) for i in range(14)]
ICO_COLOUR = (220, 40, 90)


def solid(colour):
    return [[colour] * 32 for _ in range(32)]


class FolderIconSetting(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        d = os.path.join(pgtest.scratch_dir(), "icons")
        os.makedirs(d, exist_ok=True)
        cls.lib = os.path.join(d, "folders.dll")
        t.icon_library(cls.lib, COLOURS)  # icon i = group id i + 1
        cls.ico = os.path.join(d, "folder.ico")
        with open(cls.ico, "wb") as f:
            f.write(t.solid_ico(ICO_COLOUR))
        cls.txt = os.path.join(d, "notes.txt")
        with open(cls.txt, "w") as f:
            f.write("no icons in here\n")
        # The built-in folder picture: the artwork the build drew.
        art = os.path.join(os.path.dirname(pgtest.exe("TESSARY")), "..", "resources", "lower.ico")
        _, cls.builtin, _ = t.read_saved_icon(art)

    def lower_with(self, setting, kind="REG_SZ"):
        """The lower slot's 32x32 pixels and the preview at start."""
        with pgtest.saved_key(t.FOLDER_ICON_KEY):
            if setting is not None:
                if kind == "REG_DWORD":
                    pgtest.reg_set_raw(t.FOLDER_ICON_KEY, "3", 4, b"\x07\0\0\0")
                elif kind == "REG_EXPAND_SZ":
                    pgtest.reg_set_raw(t.FOLDER_ICON_KEY, "3", 2, pgtest.utf16z(setting))
                else:
                    pgtest.reg_add(t.FOLDER_ICON_KEY, "3", setting)
            w = t.start(self)
            img = w.shot()
            w.close()
        r = img.crop(*t.LOWER)
        return [[r.pixel(x, y) for x in range(32)] for y in range(32)], w.preview(img)

    def assert_builtin(self, lower):
        for y in range(32):
            for x in range(32):
                if self.builtin[y][x] is not None:
                    self.assertEqual(lower[y][x], self.builtin[y][x], (x, y))

    def assert_empty(self, lower, preview):
        # The skin shows through an empty slot, and the composite has only
        # the upper icon over the key colour.
        self.assertEqual(len({p for row in lower for p in row}), 1)
        self.assertEqual(preview[0][0], t.KEY)
        self.assertEqual(preview[31][0], t.KEY)

    def test_settings_that_name_an_icon(self):
        lib, ico = pgtest.win_path(self.lib), pgtest.win_path(self.ico)
        cases = [
            (lib + ",12", "REG_SZ", COLOURS[12]),
            (ico + ",0", "REG_SZ", ICO_COLOUR),
            (lib + ", 7", "REG_SZ", COLOURS[7]),
            (lib + ",-5", "REG_SZ", COLOURS[4]),      # resource id 5
            (lib + ",$a", "REG_SZ", COLOURS[10]),     # hexadecimal index
            (lib + ",2", "REG_EXPAND_SZ", COLOURS[2]),
        ]
        for setting, kind, colour in cases:
            with self.subTest(setting=setting, kind=kind):
                lower, _ = self.lower_with(setting, kind)
                self.assertEqual(lower, solid(colour))

    def test_settings_that_empty_the_slot(self):
        lib = pgtest.win_path(self.lib)
        for setting in (lib + ",", lib + ",x1", lib + ",99", pgtest.win_path(self.txt) + ",0",
                        r"%SystemRoot%\system32\shell32.dll,3"):  # stored, not expanded
            with self.subTest(setting=setting):
                lower, preview = self.lower_with(
                    setting, "REG_EXPAND_SZ" if "%" in setting else "REG_SZ")
                self.assert_empty(lower, preview)

    def test_settings_that_keep_the_folder_picture(self):
        lib = pgtest.win_path(self.lib)
        for setting in (lib + ",12345", r"D:\My,Icons\folders.dll,3", lib):
            with self.subTest(setting=setting):
                lower, _ = self.lower_with(setting)
                self.assert_builtin(lower)

    def test_a_system_library_keeps_its_icons_in_systemresources(self):
        # Windows 10 moved the system libraries' icons to
        # SystemResources\<name>.mun; the library itself has none left.
        drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows")
        lib = os.path.join(drive_c, "system32", "pgsysicons.dll")
        mun = os.path.join(drive_c, "SystemResources", "pgsysicons.dll.mun")
        elsewhere = os.path.join(pgtest.scratch_dir(), "icons", "pgsysicons.dll")
        os.makedirs(os.path.dirname(mun), exist_ok=True)
        t.icon_library(lib, [])
        t.icon_library(mun, COLOURS)
        shutil.copy(lib, elsewhere)
        try:
            lower, _ = self.lower_with(r"C:\Windows\System32\PGSYSICONS.DLL,2")
            self.assertEqual(lower, solid(COLOURS[2]))
            # The same library anywhere else simply has no icons.
            lower, preview = self.lower_with(pgtest.win_path(elsewhere) + ",2")
            self.assert_empty(lower, preview)
        finally:
            for f in (lib, mun):
                os.remove(f)

    def test_no_setting_takes_icon_3_of_shell32(self):
        explicit, _ = self.lower_with(r"C:\windows\system32\shell32.dll,3")
        self.assertGreater(len({p for row in explicit for p in row}), 4)
        for setting, kind in ((None, ""), ("", "REG_SZ"), ("x", "REG_DWORD")):
            with self.subTest(setting=setting, kind=kind):
                lower, _ = self.lower_with(setting, kind)
                self.assertEqual(lower, explicit)


if __name__ == "__main__":
    pgtest.main()
