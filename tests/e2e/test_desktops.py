"""The scene's window under each X11 window manager of a table (and none):
title and size, the frame centred on the work area, the window's controls,
the 800x600 picture unscaled and centred in whatever drawing area the manager
gives, Alt+Enter to full screen and back, the maximise button as full screen,
close requests ignored and ESC ending with 0. One program per manager runs
through the checks in order, each a subTest; a check a manager cannot do is
skipped with the reason."""

import os
import shutil
import stat
import time
import unittest

from xsession import (CLIENT_H, CLIENT_W, SCREEN_H, SCREEN_W, XSession, background_rows,
                      parse_args, picture_scroll, root_colour, wait_exit)

ARGS = parse_args()

# name: the manager for XSession; maximise: why the manager cannot maximise
# (None: it can); tiles: it may give the window a size of its own.
# maximise_needs_resize: the manager offers maximise only to a window it may
# resize, whatever its Motif hints say.
DESKTOPS = [
    dict(name="openbox", maximise=None, tiles=False, maximise_needs_resize=True),
    dict(name="none", maximise="no window manager: nothing maximises a window", tiles=False,
         maximise_needs_resize=False),
    dict(name="i3", maximise="i3 has no maximised state (tiling)", tiles=True, maximise_needs_resize=False),
    dict(name="xfwm4", maximise=None, tiles=False, maximise_needs_resize=False),
    dict(name="fluxbox", maximise=None, tiles=False, maximise_needs_resize=False),
]

EXE_NAME = "desk.check.bin"
TITLE = "desk.check"
# _MOTIF_WM_HINTS: flags (functions, decorations), functions, decorations.
MWM_FUNCTIONS, MWM_DECORATIONS = 1, 2
FUNC_RESIZE, FUNC_MOVE, FUNC_MINIMIZE, FUNC_MAXIMIZE, FUNC_CLOSE = 2, 4, 8, 16, 32
DECOR_RESIZEH, DECOR_TITLE, DECOR_MENU, DECOR_MINIMIZE, DECOR_MAXIMIZE = 4, 8, 16, 32, 64
# Full screen on 1280x1024: the picture scaled by 1.6 to 1280x960, 32 black lines above and below.
BAR = (SCREEN_H - CLIENT_H * SCREEN_W // CLIENT_W) // 2
TIMEOUT = 5.0


BACKGROUND = background_rows(ARGS.assets)


class DesktopTest(unittest.TestCase):
    def wait_for(self, what, get, accept):
        deadline = time.monotonic() + TIMEOUT
        while True:
            got = get()
            if accept(got):
                return got
            if time.monotonic() > deadline:
                self.fail(f"{what}: still {got} after {TIMEOUT} s")
            time.sleep(0.05)

    def run_desktop(self, desktop):
        with XSession(desktop["name"]) as session:
            self.session = session
            exe = os.path.join(session.tmp, EXE_NAME)
            shutil.copy(ARGS.scene, exe)
            os.chmod(exe, os.stat(exe).st_mode | stat.S_IXUSR)
            proc = session.start([exe], cwd=session.scene_dir(ARGS.assets))
            try:
                window = session.find_window(proc.pid)
                # The window's place settles once the manager has framed it.
                time.sleep(0.5)
                self.checks(desktop, proc, window)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()

    # -- the checks, in order ------------------------------------------------
    def checks(self, desktop, proc, window):
        s = self.session
        tiles = desktop["tiles"]
        windowed = s.geometry(window)
        forced = tiles and windowed[2:] != (CLIENT_W, CLIENT_H)
        forced_reason = f"{desktop['name']} tiles the window at {windowed[2]}x{windowed[3]}"

        with self.subTest("title and size"):
            self.assertEqual(s.prop(window, "WM_NAME"), f'WM_NAME(STRING) = "{TITLE}"')
            self.assertIn(f'= "{TITLE}"', s.prop(window, "_NET_WM_NAME"))
            if forced:
                self.skipTest(forced_reason)
            self.assertEqual(windowed[2:], (CLIENT_W, CLIENT_H))

        with self.subTest("frame centred on the work area"):
            if forced:
                self.skipTest(forced_reason)
            self.assert_centred(window)

        with self.subTest("caption bar with menu, minimise and maximise, no resizing"):
            hints = s.cardinals(window, "_MOTIF_WM_HINTS")
            self.assertGreaterEqual(len(hints), 3, "no _MOTIF_WM_HINTS")
            flags, functions, decorations = hints[:3]
            self.assertEqual(flags & (MWM_FUNCTIONS | MWM_DECORATIONS),
                             MWM_FUNCTIONS | MWM_DECORATIONS)
            # Resizing is in only for a manager that offers maximise to no
            # window it may not resize (openbox); the window undoes any resize.
            allowed_functions = FUNC_MOVE | FUNC_MINIMIZE | FUNC_MAXIMIZE | FUNC_CLOSE
            if desktop["maximise_needs_resize"]:
                allowed_functions |= FUNC_RESIZE
            self.assertEqual(functions, allowed_functions, f"functions {functions:#x}")
            wanted = DECOR_TITLE | DECOR_MENU | DECOR_MINIMIZE | DECOR_MAXIMIZE
            self.assertEqual(decorations & (wanted | DECOR_RESIZEH), wanted,
                             f"decorations {decorations:#x}")

        allowed = s.atoms(window, "_NET_WM_ALLOWED_ACTIONS")
        no_actions = (f"{desktop['name']} publishes no _NET_WM_ALLOWED_ACTIONS"
                      if desktop["name"] != "none" else "no window manager to offer actions")
        with self.subTest("the manager offers move, minimise, maximise and close"):
            if not allowed:
                self.skipTest(no_actions)
            for action in ("MOVE", "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT", "CLOSE"):
                self.assertIn("_NET_WM_ACTION_" + action, allowed)

        with self.subTest("no sizing border: the manager offers no resizing, a resize is undone"):
            if allowed and not desktop["maximise_needs_resize"]:
                self.assertNotIn("_NET_WM_ACTION_RESIZE", allowed)
            if forced:
                self.skipTest(forced_reason)
            s.run(["xdotool", "windowsize", str(window), "900", "700"])
            deadline = time.monotonic() + TIMEOUT
            while s.geometry(window)[2:] != (CLIENT_W, CLIENT_H) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertEqual(s.geometry(window)[2:], (CLIENT_W, CLIENT_H), "a resize was not undone")

        with self.subTest("800x600 picture unscaled and centred in the drawing area"):
            self.assert_picture_centred(window)

        with self.subTest("Alt+Enter to full screen and back"):
            s.activate(window)
            s.key("alt+Return")
            self.assert_full_screen(window, desktop)
            s.key("alt+Return")
            self.assert_windowed_again(window, windowed, forced)

        with self.subTest("maximise is full screen, Alt+Enter back to the window"):
            if desktop["maximise"]:
                self.skipTest(desktop["maximise"])
            s.run(["wmctrl", "-i", "-r", hex(window), "-b", "add,maximized_vert,maximized_horz"])
            self.assert_full_screen(window, desktop)
            s.activate(window)
            s.key("alt+Return")
            self.assert_windowed_again(window, windowed, forced)
            state = s.atoms(window, "_NET_WM_STATE")
            self.assertFalse({"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"} & state,
                             f"still maximised: {state}")

        with self.subTest("close request leaves it running"):
            if desktop["name"] == "none":
                s.send_delete_window(window)
            else:
                s.run(["wmctrl", "-i", "-c", hex(window)])
            self.assertIsNone(wait_exit(proc, 1.0), "the close request ended the program")
            shown = s.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                          check=False).split()
            self.assertIn(str(window), shown)

        with self.subTest("ESC exits 0"):
            s.activate(window)
            s.key("Escape")
            self.assertEqual(wait_exit(proc, TIMEOUT), 0, proc.stderr.read().decode())

    # -- what the checks look at ---------------------------------------------
    def assert_centred(self, window):
        """The frame centred on the work area within 1 px (the window may
        move there a moment after the manager has framed it)."""
        self.wait_for("frame centred on the work area within 1 px", lambda: self.session.placement(window),
                      lambda got: max(abs(got["off"][0]), abs(got["off"][1])) <= 1)

    def assert_picture_centred(self, window):
        x, y, width, height = self.session.geometry(window)
        self.assertGreaterEqual((width, height), (CLIENT_W, CLIENT_H))
        # Half the spare room on each side, either way when it is odd.
        lefts = sorted({x + (width - CLIENT_W) // 2, x + (width - CLIENT_W + 1) // 2})
        tops = sorted({y + (height - CLIENT_H) // 2, y + (height - CLIENT_H + 1) // 2})
        shot = None
        deadline = time.monotonic() + TIMEOUT
        while True:
            shot = self.session.shot(x, y, width, height)
            found = [(l, t) for l in lefts for t in tops if picture_scroll(shot.pixel, l, t, BACKGROUND) is not None]
            if found or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        middle = shot.pixel(x + width // 2, y + height - 20)
        at_corner = picture_scroll(shot.pixel, x, y, BACKGROUND) is not None
        self.assertTrue(found, f"no unscaled background in the free rows of a picture centred in"
                               f" the {width}x{height} drawing area at ({x}, {y}); pixel near the"
                               f" bottom middle {middle:06x}; the picture is"
                               f"{'' if at_corner else ' not'} at the area's top-left corner")
        left, top = found[0]
        around = set()
        if left - x > 1:
            around |= shot.colours(x, y, left - x - 1, height, step=5)
        if x + width - (left + CLIENT_W) > 1:
            around |= shot.colours(left + CLIENT_W + 1, y, x + width - left - CLIENT_W - 1, height, step=5)
        if top - y > 1:
            around |= shot.colours(x, y, width, top - y - 1, step=5)
        if y + height - (top + CLIENT_H) > 1:
            around |= shot.colours(x, top + CLIENT_H + 1, width, y + height - top - CLIENT_H - 1, step=5)
        self.assertLessEqual(around, {0}, f"colours around the picture: {sorted(around)[:5]}")

    def assert_full_screen(self, window, desktop):
        s = self.session
        self.wait_for("full-screen geometry", lambda: s.geometry(window),
                      lambda g: g == (0, 0, SCREEN_W, SCREEN_H))
        if desktop["name"] != "none":
            self.assertIn("_NET_WM_STATE_FULLSCREEN", s.atoms(window, "_NET_WM_STATE"))

        def bars_and_picture():
            shot = s.shot()
            bars = (shot.colours(0, 0, SCREEN_W, BAR, step=5)
                    | shot.colours(0, SCREEN_H - BAR, SCREEN_W, BAR, step=5))
            # Picture rows 0-99 and 400-599 hold only the background, which
            # is nearly without black; scaled, they start 32 lines down.
            rows = list(range(BAR + 2, BAR + 150, 9)) + list(range(BAR + 650, SCREEN_H - BAR - 2, 9))
            samples = [shot.pixel(c, r) for r in rows for c in range(0, SCREEN_W, 11)]
            black = sum(1 for p in samples if p == 0) / len(samples)
            root = root_colour() in shot.colours(0, 0, SCREEN_W, SCREEN_H, step=16)
            return (sorted(bars)[:3], round(black, 3), root)

        self.wait_for("bars, picture share of black, root visible", bars_and_picture,
                      lambda got: got[0] == [0] and got[1] < 0.01 and not got[2])

    def assert_windowed_again(self, window, windowed, forced):
        s = self.session
        if forced:
            self.wait_for("geometry back in the tile", lambda: s.geometry(window),
                          lambda g: g == windowed)
        else:
            self.wait_for("800x600 window again", lambda: s.geometry(window),
                          lambda g: g[2:] == (CLIENT_W, CLIENT_H))
            self.assert_centred(window)
        self.assertNotIn("_NET_WM_STATE_FULLSCREEN", s.atoms(window, "_NET_WM_STATE"))
        self.assert_picture_centred(window)


def _add_desktop_tests():
    for desktop in DESKTOPS:
        def test(self, desktop=desktop):
            self.run_desktop(desktop)
        test.__doc__ = f"the checks under {desktop['name']}"
        setattr(DesktopTest, f"test_{desktop['name']}", test)


_add_desktop_tests()

if __name__ == "__main__":
    unittest.main(verbosity=2)
