"""Depthwell under Wine: the real registry of the test prefix, the real
message boxes, answered as a user would, then the stored bytes and the exit
status."""

import pgtest

KEY = r"HKCU\Control Panel\desktop\windowmetrics"
NAME = "Shell Icon BPP"
REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7

ASK = "確認"
APP = "Depthwell"
SUFFICIENT = "アイコンの表示色数は充分です。"
QUESTION = "アイコンの表示色数を変更します。"
DONE = "正しく変更されました。再起動して下さい。"
WRONG_TYPE = "'Shell Icon BPP' のﾃﾞｰﾀ型が不正です"
WRITE_FAILED = "'Shell Icon BPP' の設定に失敗しました"

OK_ONLY = [(1, "OK")]
# MessageBoxExW with LANG_JAPANESE: Wine then uses its Japanese box template.
OK_CANCEL_JA = [(1, "OK"), (2, "キャンセル")]

STORED_16 = pgtest.RawValue(REG_SZ, pgtest.utf16z("16"))
BOX_MS = 10000  # generous: a loaded machine can take seconds to start a program


def sz(text, type=REG_SZ):
    return ("set", pgtest.RawValue(type, pgtest.utf16z(text)))


MISSING_VALUE = ("delete-value", None)

# (what is stored, how the user answers the question, then what is stored)
# "unchanged" means the same type and bytes as before the run.
CASES = [
    ("16", sz("16"), None, "unchanged"),
    ("24", sz("24"), None, "unchanged"),
    ("32", sz("32"), None, "unchanged"),
    ("24 as REG_EXPAND_SZ", sz("24", REG_EXPAND_SZ), None, "unchanged"),
    ("16 without its NUL", ("set", pgtest.RawValue(REG_SZ, "16".encode("utf-16-le"))), None,
     "unchanged"),
    ("16, NUL, more text", ("set", pgtest.RawValue(REG_SZ, pgtest.utf16z("16") + pgtest.utf16z("8"))),
     None, "unchanged"),
    ("8, OK", sz("8"), "IDOK", STORED_16),
    ("4, OK", sz("4"), "IDOK", STORED_16),
    ("1, OK", sz("1"), "IDOK", STORED_16),
    ("15, OK", sz("15"), "IDOK", STORED_16),
    ("64, OK", sz("64"), "IDOK", STORED_16),
    ("16 and a blank, OK", sz("16 "), "IDOK", STORED_16),
    ("016, OK", sz("016"), "IDOK", STORED_16),
    ("empty text, OK", sz(""), "IDOK", STORED_16),
    ("8 as REG_EXPAND_SZ, OK: becomes REG_SZ", sz("8", REG_EXPAND_SZ), "IDOK", STORED_16),
    ("missing value, OK: created", MISSING_VALUE, "IDOK", STORED_16),
    ("8, Cancel", sz("8"), "IDCANCEL", "unchanged"),
    ("16 and a blank, Cancel", sz("16 "), "IDCANCEL", "unchanged"),
    ("missing value, Cancel", MISSING_VALUE, "IDCANCEL", None),
]

WRONG_TYPES = [
    ("DWORD 16", pgtest.RawValue(REG_DWORD, (16).to_bytes(4, "little"))),
    ("binary", pgtest.RawValue(REG_BINARY, b"\x31\x00\x36\x00")),
    ("multi-string 16", pgtest.RawValue(REG_MULTI_SZ, pgtest.utf16z("16") + b"\0\0")),
]


def store(setup):
    """Stores the case's value; returns it as the registry gives it back."""
    kind, raw = setup
    if kind == "set":
        first = ["reg-set", KEY, NAME, raw.type, raw.data.hex()]
    else:
        first = ["reg-delete", KEY, NAME]
    return pgtest.raw_value(pgtest.driver_steps(first, ["reg-get", KEY, NAME])[1])


class Depthwell(pgtest.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = pgtest.exe("DEPTHWELL")

    def setUp(self):
        # The prefix is the session's; leave the setting as this file found it.
        before = pgtest.reg_raw(KEY, NAME)
        self.addCleanup(self.put_back, before)

    @staticmethod
    def put_back(raw):
        if raw is None:
            pgtest.reg_delete_value(KEY, NAME)
        else:
            pgtest.reg_set_raw(KEY, NAME, raw.type, raw.data)

    def assert_box(self, box, caption, text, buttons):
        self.assertEqual((box.caption, box.text, box.buttons), (caption, text, buttons))
        self.assertEqual(box.owner, "0x0", "the box has no owner window")

    def test_values_and_answers(self):
        for name, setup, answer, after in CASES:
            with self.subTest(name):
                before = store(setup)
                proc = self.start(self.exe)
                # Answer the box(es) as the user, see the process end, read
                # the value back: one driver run.
                boxes = [["msgbox-wait", ASK, BOX_MS, answer or "IDOK"]]
                if answer == "IDOK":
                    boxes.append(["msgbox-wait", APP, BOX_MS, "IDOK"])
                *shown, ended, stored = pgtest.driver_steps(
                    *boxes, ["wait-process", "box", BOX_MS], ["reg-get", KEY, NAME])
                shown = [pgtest.message_box(f) for f in shown]
                if answer is None:
                    self.assert_box(shown[0], ASK, SUFFICIENT, OK_ONLY)
                else:
                    self.assert_box(shown[0], ASK, QUESTION, OK_CANCEL_JA)
                    if answer == "IDOK":
                        self.assert_box(shown[1], APP, DONE, OK_ONLY)
                self.assertTrue(shown[0].foreground)
                # A further box would have kept it running past the wait.
                self.assertEqual(ended["exit"], "0")
                self.assertEqual(proc.wait(5), 0)
                self.assertEqual(pgtest.raw_value(stored), before if after == "unchanged" else after)

    def test_a_value_of_another_type_is_an_error_and_stays(self):
        for name, raw in WRONG_TYPES:
            with self.subTest(name):
                pgtest.reg_set_raw(KEY, NAME, raw.type, raw.data)
                proc = self.start(self.exe)
                box = pgtest.msgbox_wait(APP, press="IDOK")
                self.assert_box(box, APP, WRONG_TYPE, OK_ONLY)
                self.assertEqual(proc.wait(5), 1)
                self.assertEqual(pgtest.reg_raw(KEY, NAME), raw)

    def test_a_key_that_cannot_be_opened_is_asked_about_and_cannot_be_written(self):
        with pgtest.unopenable_key(KEY):
            for answer, status in (("IDCANCEL", 0), ("IDOK", 1)):
                with self.subTest(answer):
                    proc = self.start(self.exe)
                    box = pgtest.msgbox_wait(ASK, press=answer)
                    self.assert_box(box, ASK, QUESTION, OK_CANCEL_JA)
                    if answer == "IDOK":
                        error = pgtest.msgbox_wait(APP, press="IDOK")
                        self.assert_box(error, APP, WRITE_FAILED, OK_ONLY)
                    self.assertEqual(proc.wait(5), status)
                    self.assertIsNone(pgtest.reg_raw(KEY, NAME))
        self.assertIsNotNone(pgtest.reg_export(KEY))

    def test_boxes_look_like_system_boxes_with_the_documented_flags(self):
        # Each of Depthwell's boxes, pixel for pixel, against the box the
        # system draws for the same text, caption, flags and language: the
        # icon, the buttons and their language all show. Only the client area
        # counts; whether the title bar looks active is not Depthwell's doing.
        def shot_and_press(caption, press):
            box = pgtest.msgbox_wait(caption)
            shot = pgtest.settled_screenshot(box.xid).crop(*box.client)
            pgtest.msgbox_press(caption, press)
            return shot

        def reference(caption, text, flags, lang=None):
            args = ["msgbox-show", caption, text, hex(flags)] + ([hex(lang)] if lang else [])
            proc = self.start(pgtest.exe("DRIVER"), *args)
            shot = shot_and_press(caption, "IDOK")
            proc.wait(5)
            return shot

        def depthwell(setup, boxes):
            store(setup)
            proc = self.start(self.exe)
            shots = [shot_and_press(caption, "IDOK") for caption in boxes]
            proc.wait(5)
            return shots

        sufficient, = depthwell(sz("32"), [ASK])
        question, done = depthwell(sz("8"), [ASK, APP])
        wrong_type, = depthwell(("set", pgtest.RawValue(REG_DWORD, b"\x10\0\0\0")), [APP])
        expected = [
            ("sufficient", sufficient, reference(ASK, SUFFICIENT, 0x10020, 0x0011)),
            ("question", question, reference(ASK, QUESTION, 0x10021, 0x0011)),
            ("done", done, reference(APP, DONE, 0)),
            ("wrong type", wrong_type, reference(APP, WRONG_TYPE, 0x10)),  # MB_ICONERROR
        ]
        for name, got, want in expected:
            with self.subTest(name):
                self.assertEqual((got.width, got.height), (want.width, want.height))
                self.assertTrue(got.rgb == want.rgb, "%s box differs from the system's" % name)


if __name__ == "__main__":
    pgtest.main()
