"""The scene's window under a real X server (Xvfb with openbox): title, size,
centring, black before the first frame, ESC, close requests, full screen,
signals and the screen saver. Holds for any scene that ends on ESC with 0."""

import os
import shutil
import signal
import stat
import time
import unittest

from xsession import (CLIENT_H, CLIENT_W, SCREEN_H, SCREEN_W, XSession, parse_args,
                      root_colour, wait_exit)

ARGS = parse_args()
session = None


def setUpModule():
    global session
    session = XSession().__enter__()


def tearDownModule():
    session.close()


class WindowTest(unittest.TestCase):
    def launch(self, executable=None, fifo_for=None):
        folder = session.scene_dir(ARGS.assets, name=self.id().rsplit(".", 1)[-1],
                                   fifo_for=fifo_for)
        proc = session.start([executable or ARGS.scene], cwd=folder)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        return proc, folder

    def launch_window(self, executable=None):
        proc, _ = self.launch(executable)
        return proc, session.find_window(proc.pid)

    def assert_escape_exits_0(self, proc, window):
        session.activate(window)
        session.key("Escape")
        self.assertEqual(wait_exit(proc, 3), 0, proc.stderr.read().decode())

    def test_title_is_the_executable_name_without_its_last_extension(self):
        copy = os.path.join(session.tmp, "my.demo.bin")
        shutil.copy(ARGS.scene, copy)
        os.chmod(copy, os.stat(copy).st_mode | stat.S_IXUSR)
        proc, window = self.launch_window(copy)
        self.assertEqual(session.prop(window, "WM_NAME"), 'WM_NAME(STRING) = "my.demo"')
        self.assertIn('= "my.demo"', session.prop(window, "_NET_WM_NAME"))
        self.assert_escape_exits_0(proc, window)

    def test_client_area_800x600_centred_fixed_size_active_not_on_top(self):
        proc, window = self.launch_window()
        x, y, width, height = session.geometry(window)
        self.assertEqual((width, height), (CLIENT_W, CLIENT_H))
        left, right, top, bottom = session.frame_extents(window)
        # The window system places the frame, so the client area may sit off
        # centre by the decorations' size, but no further.
        self.assertLessEqual(abs(x + width / 2 - SCREEN_W / 2), max(left, right) + 1)
        self.assertLessEqual(abs(y + height / 2 - SCREEN_H / 2), top + bottom + 1)
        hints = session.prop(window, "WM_NORMAL_HINTS")
        self.assertIn("minimum size: 800 by 600", hints)
        self.assertIn("maximum size: 800 by 600", hints)
        self.assertNotIn("_NET_WM_STATE_ABOVE", session.prop(window, "_NET_WM_STATE"))
        deadline = time.monotonic() + 2
        while session.run(["xdotool", "getactivewindow"], check=False).strip() != str(window):
            self.assertLess(time.monotonic(), deadline, "the new window did not get the focus")
            time.sleep(0.05)
        self.assert_escape_exits_0(proc, window)

    def test_window_is_black_from_the_moment_it_is_shown(self):
        # With background.bmp a named pipe, start-up waits in the middle, after
        # the window has opened and before the first frame can be drawn.
        proc, folder = self.launch(fifo_for="background.bmp")
        shown_black = 0
        deadline = time.monotonic() + 5
        window = None
        while time.monotonic() < deadline and shown_black < 50:
            if window is None:
                ids = session.run(["xdotool", "search", "--pid", str(proc.pid)], check=False).split()
                window = int(ids[-1]) if ids else None
                continue
            if "IsViewable" not in session.run(["xwininfo", "-id", str(window)], check=False):
                continue
            x, y, width, height = session.geometry(window)
            shot = session.shot(x, y, width, height)
            colours = shot.colours(x, y, width, height, step=7)
            self.assertEqual(colours, {0}, "the shown window is not all black")
            shown_black += 1
        self.assertGreaterEqual(shown_black, 50, "the window never showed")
        # Unblock start-up: an empty picture file, and the first frame follows.
        os.close(os.open(os.path.join(folder, "background.bmp"), os.O_WRONLY))
        x, y, width, height = session.geometry(window)
        deadline = time.monotonic() + 3
        while session.shot(x, y, width, height).colours(x, y, width, height, step=50) == {0}:
            self.assertLess(time.monotonic(), deadline, "no frame after start-up went on")
            time.sleep(0.01)
        self.assert_escape_exits_0(proc, window)

    def test_no_unpainted_window_between_map_and_black(self):
        # Screenshots as fast as they come from the start: once the frame is
        # drawn the client area must be black, never what lies beneath it.
        probe, window = self.launch_window()
        x, y, width, height = session.geometry(window)
        left, right, top, bottom = session.frame_extents(window)
        self.assert_escape_exits_0(probe, window)
        title = (x + width // 2, y - max(top // 2, 1))
        proc, folder = self.launch(fifo_for="background.bmp")
        root = root_colour()
        framed = 0
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and framed < 20:
            shot = session.shot(x - left, y - top, width + left + right, height + top + bottom)
            if shot.pixel(*title) == root:
                continue
            framed += 1
            self.assertEqual(shot.colours(x, y, width, height, step=9), {0},
                             f"shot {framed} after the frame appeared")
        self.assertEqual(framed, 20, "the window's frame never appeared")
        os.close(os.open(os.path.join(folder, "background.bmp"), os.O_WRONLY))
        self.assert_escape_exits_0(proc, session.find_window(proc.pid))

    def test_close_request_keeps_the_window_and_the_program(self):
        proc, window = self.launch_window()
        session.run(["wmctrl", "-i", "-c", hex(window)])
        time.sleep(1.0)
        self.assertIsNone(proc.poll(), "the close request ended the program")
        self.assertIn(str(window), session.run(["xdotool", "search", "--onlyvisible", "--pid",
                                                str(proc.pid)], check=False).split())
        self.assert_escape_exits_0(proc, window)

    def test_alt_enter_switches_to_full_screen_and_back(self):
        proc, window = self.launch_window()
        windowed = session.geometry(window)
        session.activate(window)
        session.key("alt+Return")
        self.wait_geometry(window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(0.2)
        # The picture scaled by 1.6 to 1280x960, with black bars of 32 lines.
        shot = session.shot()
        self.assertEqual(shot.colours(0, 0, SCREEN_W, 32, step=5), {0})
        self.assertEqual(shot.colours(0, SCREEN_H - 32, SCREEN_W, 32, step=5), {0})
        self.assertNotEqual(shot.colours(0, 40, SCREEN_W, SCREEN_H - 80, step=13), {0})
        session.key("alt+Return")
        self.wait_geometry(window, windowed)
        self.assertIsNone(proc.poll())
        self.assert_escape_exits_0(proc, window)

    def wait_geometry(self, window, expected):
        deadline = time.monotonic() + 3
        while True:
            got = session.geometry(window)
            if got == tuple(expected):
                return
            self.assertLess(time.monotonic(), deadline, f"geometry {got}, expected {expected}")
            time.sleep(0.05)

    def test_sigterm_and_ctrl_c_end_the_program(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            proc, _ = self.launch_window()
            proc.send_signal(sig)
            self.assertEqual(wait_exit(proc, 2), -sig, f"after {sig.name}")

    def test_screen_saver_is_off_while_open_and_back_after(self):
        session.set_screen_saver(1)
        self.addCleanup(session.set_screen_saver, 0)
        proc, window = self.launch_window()
        time.sleep(2.5)
        self.assertEqual(session.screen_saver_state(), 0, "the saver came on while open")
        self.assert_escape_exits_0(proc, window)
        time.sleep(2.5)
        self.assertEqual(session.screen_saver_state(), 1, "the saver stays off after exit")


if __name__ == "__main__":
    unittest.main(verbosity=2)
