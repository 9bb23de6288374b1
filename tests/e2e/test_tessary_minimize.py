"""Minimizing Tessary to its taskbar button and bringing it back: the
minimize button and the taskbar's own commands (sent to the program's
application window, which holds the button and owns the main window),
also after "stay on top" was switched, with the application window
disabled, and when the hidden main window is raised."""

import os
import time

import pgtest
import tessary as t

SC_MINIMIZE = 0xF020
SC_RESTORE = 0xF120
WM_SYSCOMMAND = 0x0112
MINIMIZE_BUTTON = (216, 3, 16, 16)


def windows():
    """(application window, main window) handles of the running Tessary."""
    found = {}
    for line in pgtest.driver("windows").all("window"):
        hwnd, _, _, cls, *_ = line.split(" ", 4) + [""]
        found[cls] = hwnd
    return found["PairglyphApplication"], found["TessaryMainWindow"]


def rect(hwnd):
    return tuple(int(v) for v in pgtest.driver("rect", hwnd)["window"].split())


def iconic(hwnd):
    f = pgtest.driver("iconic", hwnd)
    return f["iconic"] == "1", f["visible"] == "1"


def wait_for(probe, want, timeout=3.0):
    until = time.monotonic() + timeout
    while True:
        got = probe()
        if got == want or time.monotonic() >= until:
            return got
        time.sleep(0.03)


class Minimize(pgtest.WineTestCase):
    def setUp(self):
        self.w = t.start(self)
        self.app, self.main = windows()
        self.place = rect(self.main)
        self.look = self.look_now(self.w.xid, "before")

    def look_now(self, xid, name):
        # The pointer away from the window: a button under it looks raised.
        # Wine notices the pointer has left on a timer.
        pgtest.host("xdotool", "mousemove", "1200", "1000")
        time.sleep(0.5)
        shot = pgtest.settled_screenshot(xid)
        shot.save_ppm(os.path.join(pgtest.scratch_dir(), name + ".ppm"))
        if os.environ.get("PG_KEEP_SHOTS"):
            test = self.id().rsplit(".", 1)[-1]
            shot.save_ppm(os.path.join(os.environ["PG_KEEP_SHOTS"], "%s-%s.ppm" % (test, name)))
        return shot

    def assert_minimized(self):
        self.assertEqual(wait_for(lambda: iconic(self.app)[0], True), True, "not minimized")
        self.assertEqual(iconic(self.main)[1], False, "main window still shown")
        shown = pgtest.host("xdotool", "search", "--onlyvisible", "--name", t.TITLE, check=False)
        self.assertNotIn(str(self.w.xid), shown.split(), "main window still on the X screen")
        # (The strip the system animates from, the main window's left, top
        # and width with no height, is the application window's normal
        # place now; Wine tells no other process that place, so
        # anim_window_tests checks it from inside.)

    def assert_restored(self, look=True):
        self.assertEqual(wait_for(lambda: iconic(self.app), (False, True)), (False, True))
        self.assertEqual(iconic(self.main), (False, True))
        self.assertEqual(rect(self.main), self.place)
        self.assertEqual(rect(self.app), (0, 0, 0, 0))
        xid = t.main_xid(timeout=3)
        self.assertEqual(pgtest.geometry(xid), self.w.geometry())
        if look:
            shot = self.look_now(xid, "after")
            self.assertEqual(shot.rgb, self.look.rgb, "the window looks different after a restore")

    def minimize_by_button(self):
        pgtest.click(self.w.xid, *t.centre(MINIMIZE_BUTTON))
        self.assert_minimized()
        # On to the taskbar, as the user goes.
        pgtest.host("xdotool", "mousemove", "1200", "1000")

    def taskbar(self, command):
        pgtest.driver("post", self.app, WM_SYSCOMMAND, command, 0)

    def test_button_and_taskbar(self):
        self.assertEqual(rect(self.app), (0, 0, 0, 0))
        self.minimize_by_button()
        self.taskbar(SC_RESTORE)
        self.assert_restored()
        # The taskbar's minimize does what the button does.
        self.taskbar(SC_MINIMIZE)
        self.assert_minimized()
        self.taskbar(SC_RESTORE)
        self.assert_restored()
        # Restored, the program still answers: the close button ends it.
        self.assertEqual(self.w.close(), 0)

    def test_after_stay_on_top_and_when_disabled(self):
        for want in ("1", "0", "1", "0"):
            t.toggle_stay_on_top(self.w)
            self.assertEqual(wait_for(lambda: pgtest.driver("style", self.main)["topmost"], want),
                             want)
            if want == "1":
                self.minimize_by_button()
                self.taskbar(SC_RESTORE)
                self.assert_restored()
                self.assertEqual(pgtest.driver("style", self.main)["topmost"], "1")
        self.minimize_by_button()
        self.taskbar(SC_RESTORE)
        self.assert_restored()

        # A disabled application window is enabled first. (Not compared by
        # look: after this minimize the minimize button comes back drawn
        # raised under Wine, as if the pointer were still on it; open.)
        pgtest.driver("enable", self.app, 0)
        self.minimize_by_button()
        self.assertEqual(pgtest.driver("enable", self.app)["enabled"], "1")
        self.taskbar(SC_RESTORE)
        self.assert_restored(look=False)
        pgtest.driver("enable", self.app, 0)
        self.taskbar(SC_MINIMIZE)
        self.assert_minimized()
        self.taskbar(SC_RESTORE)
        self.assert_restored(look=False)

    def test_raising_the_hidden_window_restores(self):
        self.minimize_by_button()
        pgtest.driver("raise", self.main)
        self.assert_restored()


if __name__ == "__main__":
    pgtest.main()
