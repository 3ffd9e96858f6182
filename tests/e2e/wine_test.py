"""scene.exe, the Windows build, under Wine on a real X server (Xvfb with
openbox): title, size, black before the first frame, the scene's picture,
ESC, the space bar's end, close requests, full screen, the keys Windows keeps
for itself, and the key table through real key messages (the key probe).

Run with the Windows tree's programs:
  python3 wine_test.py --scene scene.exe --assets assets --probe key_probe.exe --wine wine
The Wine prefix is $WINEPREFIX, else "wineprefix" beside scene.exe, made once
with wineboot when it is not there yet."""

import argparse
import os
import queue
import shutil
import subprocess
import sys
import threading
import time
import unittest

from PIL import Image

from xsession import CLIENT_H, CLIENT_W, SCREEN_H, SCREEN_W, XSession, root_colour, wait_exit

parser = argparse.ArgumentParser()
parser.add_argument("--scene", required=True)
parser.add_argument("--assets", required=True)
parser.add_argument("--probe", required=True)
parser.add_argument("--wine", default="wine")
ARGS, rest = parser.parse_known_args()
sys.argv[1:] = rest
ARGS.scene = os.path.abspath(ARGS.scene)
ARGS.assets = os.path.abspath(ARGS.assets)
ARGS.probe = os.path.abspath(ARGS.probe)

PREFIX = os.environ.get("WINEPREFIX") or os.path.join(os.path.dirname(ARGS.scene), "wineprefix")
session = None
MAGENTA = 0xFF00FF


def read_picture(name):
    """Rows of 0xRRGGBB pixels of one of the three bitmaps."""
    image = Image.open(os.path.join(ARGS.assets, name)).convert("RGB")
    w, h = image.size
    data = image.tobytes()
    return [[(data[3 * (y * w + x)] << 16) | (data[3 * (y * w + x) + 1] << 8) | data[3 * (y * w + x) + 2]
             for x in range(w)] for y in range(h)]


BACKGROUND = read_picture("background.bmp")
SHIPS = [  # each ship with the top-left corners its wobble can give it (base +-5 in x, +-10 in y)
    (read_picture("goodship.bmp"), [(x, y) for x in range(55, 66) for y in range(100, 121)]),
    (read_picture("badship.bmp"), [(x, y) for x in range(475, 486) for y in range(120, 141)]),
]
FREE_ROWS = range(400, CLIENT_H)  # rows no ship reaches before the fall


class Frame:
    """The client area in one screenshot."""

    def __init__(self, shot, x, y):
        self.rows = [[shot.pixel(x + c, y + r) for c in range(CLIENT_W)] for r in range(CLIENT_H)]

    def is_black(self):
        return all(p == 0 for row in self.rows for p in row)

    def scroll(self):
        """The one background offset the free rows show, or None."""
        row, background = self.rows[500], BACKGROUND[500] * 2
        found = [o for o in range(CLIENT_W) if row[:470] == background[o:o + 470]]
        return found[0] if len(found) == 1 else None


def frame_problem(frame):
    """Why the frame is not one of the scene's (the Linux build's) frames, or None:
    the free rows are the background at one scroll offset, pixel for pixel,
    and each ship shows whole where its wobble can put it."""
    offset = frame.scroll()
    if offset is None:
        return "the free rows do not show the background at one scroll offset"
    for r in FREE_ROWS:
        if frame.rows[r] != (BACKGROUND[r] * 2)[offset:offset + CLIENT_W]:
            return f"row {r} is not the background at offset {offset}"
    for ship, corners in SHIPS:
        opaque = [(i, j) for j, line in enumerate(ship) for i, p in enumerate(line) if p != MAGENTA]
        if not any(all(frame.rows[cy + j][cx + i] == ship[j][i] for i, j in opaque
                       if 0 <= cy + j < CLIENT_H and 0 <= cx + i < CLIENT_W)
                   for cx, cy in corners):
            return "a ship is not whole where its wobble can put it"
    return None


def wine_env():
    env = session.env()
    env["WINEPREFIX"] = PREFIX
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="  # no offer to install Mono or Gecko
    return env


def wineserver():
    beside = os.path.join(os.path.dirname(os.path.realpath(shutil.which(ARGS.wine) or ARGS.wine)),
                          "wineserver")
    return beside if os.path.exists(beside) else "wineserver"


def make_prefix():
    if os.path.exists(os.path.join(PREFIX, "system.reg")):
        return
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    subprocess.run([ARGS.wine, "wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([wineserver(), "-w"], env=env, check=False, timeout=60)


def setUpModule():
    global session
    make_prefix()
    session = XSession().__enter__()


def tearDownModule():
    session.close()
    # The prefix's wineserver lingers a few seconds after its last program.
    subprocess.run([wineserver(), "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class WineTest(unittest.TestCase):
    def launch(self, executable=None):
        folder = session.scene_dir(ARGS.assets, name=self.id().rsplit(".", 1)[-1])
        proc = session.start([ARGS.wine, executable or ARGS.scene], cwd=folder, env=wine_env())
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        # Wine sets _NET_WM_PID to the process's own pid.
        return proc, session.find_window(proc.pid, timeout=20)

    def assert_escape_exits_0(self, proc, window):
        session.activate(window)
        session.key("Escape")
        self.assertEqual(wait_exit(proc, 5), 0, proc.stderr.read().decode(errors="replace"))

    def wait_geometry(self, window, expected):
        deadline = time.monotonic() + 5
        while (got := session.geometry(window)) != tuple(expected):
            self.assertLess(time.monotonic(), deadline, f"geometry {got}, expected {expected}")
            time.sleep(0.05)

    def whole_frame(self, window, tries=50):
        """A screenshot of the client area that shows a whole frame of the scene."""
        x, y, _, _ = session.geometry(window)
        for _ in range(tries):
            frame = Frame(session.shot(x, y, CLIENT_W, CLIENT_H), x, y)
            if not frame.is_black():
                return frame
            time.sleep(0.05)
        self.fail("the client area stayed black")

    def test_title_is_the_executable_name_without_its_last_extension(self):
        copy = os.path.join(session.tmp, "my.demo.exe")
        shutil.copy(ARGS.scene, copy)
        proc, window = self.launch(copy)
        self.assertEqual(session.prop(window, "WM_NAME"), 'WM_NAME(STRING) = "my.demo"')
        self.assertIn('= "my.demo"', session.prop(window, "_NET_WM_NAME"))
        self.assert_escape_exits_0(proc, window)

    def test_client_area_800x600_centred_active_not_on_top(self):
        proc, window = self.launch()
        x, y, width, height = session.geometry(window)
        self.assertEqual((width, height), (CLIENT_W, CLIENT_H))
        left, right, top, bottom = session.frame_extents(window)
        # The program centres its whole frame as Windows draws it; the window
        # manager's decoration may differ in size, but not by more than itself.
        self.assertLessEqual(abs(x + width / 2 - SCREEN_W / 2), max(left, right) + 1)
        self.assertLessEqual(abs(y + height / 2 - SCREEN_H / 2), top + bottom + 1)
        self.assertNotIn("_NET_WM_STATE_ABOVE", session.prop(window, "_NET_WM_STATE"))
        deadline = time.monotonic() + 3
        while session.run(["xdotool", "getactivewindow"], check=False).strip() != str(window):
            self.assertLess(time.monotonic(), deadline, "the new window did not get the focus")
            time.sleep(0.05)
        self.assert_escape_exits_0(proc, window)

    def test_window_is_black_until_a_frame_is_drawn(self):
        # The key probe opens the display through the same backend and never
        # draws: from the moment its frame appears, its client area is black.
        proc = session.start([ARGS.wine, ARGS.probe], env=wine_env())
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        root = root_colour()
        shots = 0
        deadline = time.monotonic() + 20
        while shots < 20:
            self.assertLess(time.monotonic(), deadline, "the window never appeared")
            ids = session.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                              check=False).split()
            if not ids:
                continue
            x, y, width, height = session.geometry(int(ids[-1]))
            if (width, height) != (CLIENT_W, CLIENT_H):
                continue
            shot = session.shot(x, y, width, height)
            if root in shot.colours(x, y, width, height, step=50):
                continue  # not mapped yet
            shots += 1
            self.assertEqual(shot.colours(x, y, width, height, step=9), {0}, f"shot {shots}")

    def test_picture_is_the_scene_and_moves(self):
        # The same frames the Linux build shows: the background at one scroll
        # offset with both ships where their wobble can put them, pixel for pixel.
        proc, window = self.launch()
        first = self.whole_frame(window)
        self.assertIsNone(frame_problem(first))
        deadline = time.monotonic() + 5
        while (second := self.whole_frame(window)).rows == first.rows:
            self.assertLess(time.monotonic(), deadline, "the picture stands still")
        self.assertIsNone(frame_problem(second))
        self.assertNotEqual(first.scroll(), second.scroll())
        self.assert_escape_exits_0(proc, window)

    def test_space_makes_it_end_by_itself_with_0(self):
        proc, window = self.launch()
        self.whole_frame(window)
        session.activate(window)
        session.key_down("space")
        time.sleep(0.3)
        session.key_up("space")
        self.assertEqual(wait_exit(proc, 20), 0, proc.stderr.read().decode(errors="replace"))

    def test_close_request_keeps_the_window_and_the_program(self):
        proc, window = self.launch()
        session.run(["wmctrl", "-i", "-c", hex(window)])
        time.sleep(1.0)
        self.assertIsNone(proc.poll(), "the close request ended the program")
        self.assertIn(str(window), session.run(["xdotool", "search", "--onlyvisible", "--pid",
                                                str(proc.pid)], check=False).split())
        self.assert_escape_exits_0(proc, window)

    def test_alt_enter_switches_to_full_screen_and_back(self):
        proc, window = self.launch()
        windowed = session.geometry(window)
        session.activate(window)
        session.key("alt+Return")
        self.wait_geometry(window, (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(0.3)
        # The picture scaled by 1.6 to 1280x960, with black bars of 32 lines.
        shot = session.shot()
        self.assertEqual(shot.colours(0, 0, SCREEN_W, 32, step=5), {0})
        self.assertEqual(shot.colours(0, SCREEN_H - 32, SCREEN_W, 32, step=5), {0})
        self.assertGreater(len(shot.colours(0, 40, SCREEN_W, SCREEN_H - 80, step=13)), 50)
        session.key("alt+Return")
        self.wait_geometry(window, windowed)
        self.assertIsNone(proc.poll())
        self.assert_escape_exits_0(proc, window)

    def test_alt_f4_f10_and_alt_keep_the_window_and_open_no_menu(self):
        proc, window = self.launch()
        session.activate(window)
        for keys in ("alt+F4", "F10", "alt"):
            session.key(keys)
            time.sleep(0.5)
            self.assertIsNone(proc.poll(), f"{keys} ended the program")
        # Had F10 or Alt opened the window menu, it would take this ESC.
        self.assert_escape_exits_0(proc, window)


    @unittest.skip("Wine 8 does not carry SetThreadExecutionState over to the X screen saver "
                   "(nor SPI_SETSCREENSAVEACTIVE; measured with a small program of each), so "
                   "what the program asks of Windows here cannot be seen under Wine")
    def test_screen_saver_is_off_while_open_and_back_after(self):
        session.set_screen_saver(1)
        self.addCleanup(session.set_screen_saver, 0)
        proc, window = self.launch()
        time.sleep(2.5)
        self.assertIn(session.screen_saver_state(), (0, 3), "the saver came on while open")
        self.assert_escape_exits_0(proc, window)
        time.sleep(2.5)
        self.assertEqual(session.screen_saver_state(), 1, "the saver stays off after exit")

    @unittest.skip("Wine gives a window without a sizing border equal minimum and maximum size "
                   "hints, so the window manager offers no maximise and the request never "
                   "reaches the program as SC_MAXIMIZE, as the maximise button does on Windows")
    def test_maximise_request_switches_to_full_screen(self):
        proc, window = self.launch()
        windowed = session.geometry(window)
        session.activate(window)
        session.run(["wmctrl", "-i", "-r", hex(window), "-b", "add,maximized_vert,maximized_horz"])
        self.wait_geometry(window, (0, 0, SCREEN_W, SCREEN_H))
        session.key("alt+Return")
        self.wait_geometry(window, windowed)
        self.assert_escape_exits_0(proc, window)


class KeyProbeTest(unittest.TestCase):
    """The key table through real key messages: each case types its keys,
    then the marker ` (code 96), and compares what read_key gave before it."""

    MARKER_LINE = "key 96"

    @classmethod
    def setUpClass(cls):
        cls.proc = session.start([ARGS.wine, ARGS.probe], env=wine_env())
        cls.lines = queue.Queue()
        threading.Thread(target=lambda: [cls.lines.put(l.decode().strip()) for l in cls.proc.stdout],
                         daemon=True).start()
        if cls.lines.get(timeout=30) != "ready":
            raise RuntimeError("the probe did not open its window")
        cls.window = session.find_window(cls.proc.pid, timeout=20)
        session.activate(cls.window)

    @classmethod
    def tearDownClass(cls):
        if cls.proc.poll() is None:
            cls.proc.kill()

    def read_until_marker(self):
        session.run(["xdotool", "key", "grave"])
        got = []
        deadline = time.monotonic() + 5
        while True:
            try:
                line = self.lines.get(timeout=max(deadline - time.monotonic(), 0.01))
            except queue.Empty:
                self.fail(f"the marker key never arrived; read {got}")
            if line == self.MARKER_LINE:
                return got
            got.append(line)

    def test_key_table_rows(self):
        self.assertEqual(self.read_until_marker(), [], "keys left over")
        cases = [
            # Characters beyond the US layout (e acute to 130, the euro sign
            # dropped) are left to the unit tests, which check the table
            # against Windows' own code page 437 under Wine: xdotool types
            # them through a key it maps for the moment, and Wine, which
            # reads the keymap at its own pace, often misses that key.
            ("a", [[97]]), ("shift+a", [[65]]), ("space", [[32]]),
            ("Escape", [[27]]), ("Return", [[13]]), ("ctrl+Return", [[10]]),
            ("BackSpace", [[8]]), ("Tab", [[9]]), ("shift+Tab", [[255, 15]]),
            ("ctrl+a", [[1]]), ("ctrl+bracketleft", [[27]]),
            ("Up", [[255, 72]]), ("KP_Up", [[255, 72]]), ("ctrl+Up", [[255, 141]]),
            ("F1", [[255, 59]]), ("shift+F1", [[255, 84]]), ("F11", [[255, 133]]),
            ("Delete", [[255, 83]]), ("F10", []), ("shift+F10", [[255, 93]]),
            ("alt+x", []), ("alt+F4", []),
        ]
        for keys, expected in cases:
            with self.subTest(keys=keys):
                session.run(["xdotool", "key", keys])
                got = self.read_until_marker()
                self.assertEqual([[int(b) for b in line.split()[1:]] for line in got
                                  if line.startswith("key ")], expected)

    def test_space_held_is_key_down_57_and_close_is_a_key(self):
        self.assertEqual(self.read_until_marker(), [], "keys left over")
        session.key_down("space")
        time.sleep(0.3)
        session.key_up("space")
        time.sleep(0.2)
        got = self.read_until_marker()
        self.assertIn("space 1", got)
        self.assertEqual(got[-1], "space 0")
        self.assertLess(got.index("space 1"), got.index("space 0"))
        session.run(["wmctrl", "-i", "-c", hex(self.window)])
        time.sleep(0.3)
        self.assertEqual(self.read_until_marker(), ["key 255 107"])
        self.assertIsNone(self.proc.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
