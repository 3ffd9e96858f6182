"""The real scene under a real X server (Xvfb with openbox): the scrolling
picture with both ships, the shot fired by the space bar and the program
ending by itself after the bad ship's fall, ESC during the fall, and what a
missing background or missing ship pictures look like."""

import os
import random
import struct
import time
import unittest

from xsession import CLIENT_H, CLIENT_W, XSession, parse_args, wait_exit

ARGS = parse_args()
session = None

MAGENTA = 0xFF00FF
FRAME_PAUSE_S = 0.018
FRAMES_FROM_KEY_TO_END = 171
# Rows the ships never reach: the bad ship's top wobbles between 120 and 140
# and it is 250 rows high; the good ship ends higher still.
FREE_ROWS = range(400, CLIENT_H)
# Top-left corners the wobble can give each ship: base +-5 in x, +-10 in y.
GOOD_CORNERS = [(x, y) for x in range(55, 66) for y in range(100, 121)]
BAD_CORNERS = [(x, y) for x in range(475, 486) for y in range(120, 141)]


def setUpModule():
    global session
    session = XSession().__enter__()


def tearDownModule():
    session.close()


def read_bmp(path):
    """Rows (top first) of 0xRRGGBB values of an uncompressed 8, 24 or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    header, width, height, _, bpp, compression = struct.unpack_from("<IiiHHI", data, 14)
    assert compression == 0 and bpp in (8, 24, 32), (path, bpp, compression)
    palette = []
    if bpp == 8:
        count, = struct.unpack_from("<I", data, 46)
        base = 14 + header
        for i in range(count or 256):
            b, g, r = data[base + 4 * i: base + 4 * i + 3]
            palette.append((r << 16) | (g << 8) | b)
    stride = (width * bpp // 8 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        file_row = abs(height) - 1 - y if height > 0 else y
        o = offset + file_row * stride
        if bpp == 8:
            rows.append([palette[data[o + x]] for x in range(width)])
        else:
            step = bpp // 8
            rows.append([(data[o + step * x + 2] << 16) | (data[o + step * x + 1] << 8)
                         | data[o + step * x] for x in range(width)])
    return rows


class Client:
    """One screenshot of the client area as rows of 0xRRGGBB."""

    def __init__(self, origin):
        x, y = origin
        shot = session.shot(x, y, CLIENT_W, CLIENT_H)
        self.rows = [[shot.pixel(x + c, y + r) for c in range(CLIENT_W)] for r in range(CLIENT_H)]


def find_scroll(client, background):
    """The scroll offset at which the free rows show the background, or None."""
    row = FREE_ROWS[len(FREE_ROWS) // 2]
    columns = range(0, CLIENT_W, 7)
    for s in range(CLIENT_W):
        if all(client.rows[row][c] == background[row][(c - s) % CLIENT_W] for c in columns):
            return s
    return None


def opaque_points(ship, count=300):
    """A fixed sample of the ship picture's non-magenta pixels."""
    points = [(i, j) for j, line in enumerate(ship) for i, p in enumerate(line) if p != MAGENTA]
    return random.Random(5).sample(points, min(count, len(points)))


def find_ship(client, ship, corners):
    """The corner among `corners` where the ship's sampled pixels all show."""
    sample = opaque_points(ship)
    for cx, cy in corners:
        shown = [(i, j) for i, j in sample if 0 <= cy + j < CLIENT_H]
        if len(shown) >= 30 and all(client.rows[cy + j][cx + i] == ship[j][i] for i, j in shown):
            return cx, cy
    return None


def expected_frame(background_rows, scroll, ships):
    """The background at `scroll`, then each (picture, corner), magenta left out."""
    if background_rows is None:
        frame = [[MAGENTA] * CLIENT_W for _ in range(CLIENT_H)]
    else:
        frame = [[line[(c - scroll) % CLIENT_W] for c in range(CLIENT_W)]
                 for line in background_rows]
    for picture, (cx, cy) in ships:
        for j, line in enumerate(picture):
            if not 0 <= cy + j < CLIENT_H:
                continue
            for i, p in enumerate(line):
                if p != MAGENTA and 0 <= cx + i < CLIENT_W:
                    frame[cy + j][cx + i] = p
    return frame


def differences(client, frame):
    return sum(1 for r in range(CLIENT_H) for c in range(CLIENT_W)
               if client.rows[r][c] != frame[r][c])


def find_disc(origin):
    """Centre (in client coordinates) of a whole radius-8 black disc where the
    shot flies before the hit, or None. One small screenshot, to be quick."""
    ox, oy = origin
    left, top, width, height = 230, 245, 280, 70
    shot = session.shot(ox + left, oy + top, width, height)

    def black(c, r):
        return shot.pixel(ox + c, oy + r) == 0

    half_widths = [8, 8, 8, 7, 7, 6, 5, 4, 2]
    for cy in range(top + 8, top + height - 8):
        for cx in range(left + 8, left + width - 8):
            if black(cx, cy) and all(black(cx + dx, cy + dy) for dy in range(-8, 9)
                                     for dx in range(-half_widths[abs(dy)],
                                                     half_widths[abs(dy)] + 1)):
                return cx, cy
    return None


class SceneTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.background = read_bmp(os.path.join(ARGS.assets, "background.bmp"))
        cls.good = read_bmp(os.path.join(ARGS.assets, "goodship.bmp"))
        cls.bad = read_bmp(os.path.join(ARGS.assets, "badship.bmp"))

    def launch(self, missing=()):
        folder = session.scene_dir(ARGS.assets, name=self.id().rsplit(".", 1)[-1])
        for name in missing:
            os.remove(os.path.join(folder, name))
        proc = session.start([ARGS.scene], cwd=folder)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        window = session.find_window(proc.pid)
        session.activate(window)
        x, y, _, _ = session.geometry(window)
        time.sleep(0.3)  # past the black of the first moments
        return proc, (x, y)

    def press_space(self):
        """Holds space long enough for a display pass to see it; returns the press time."""
        session.key_down("space")
        pressed = time.monotonic()
        time.sleep(0.1)
        session.key_up("space")
        return pressed

    def assert_frame(self, client, background, ships):
        scroll = find_scroll(client, background or [[MAGENTA] * CLIENT_W] * CLIENT_H)
        self.assertIsNotNone(scroll, "the rows below the ships do not show the background")
        placed = []
        for picture, corners in ships:
            corner = find_ship(client, picture, corners)
            self.assertIsNotNone(corner, "a ship is not where its wobble can put it")
            placed.append((picture, corner))
        self.assertEqual(differences(client, expected_frame(background, scroll, placed)), 0)
        return scroll

    def assert_ends_by_the_fall(self, proc, pressed):
        code = wait_exit(proc, 10)
        ended = time.monotonic()
        self.assertEqual(code, 0, proc.stderr.read().decode())
        self.assertGreaterEqual(ended - pressed, FRAMES_FROM_KEY_TO_END * FRAME_PAUSE_S)

    def assert_disc_flies(self, origin):
        """A whole disc shows near the shot's start within the first frames."""
        deadline = time.monotonic() + 0.5
        while time.monotonic() < deadline:
            disc = find_disc(origin)
            if disc:
                return disc
        self.fail("no disc seen after the space bar")

    def test_scrolling_picture_with_both_ships(self):
        proc, origin = self.launch()
        first = Client(origin)
        t1 = time.monotonic()
        s1 = self.assert_frame(first, self.background,
                               [(self.good, GOOD_CORNERS), (self.bad, BAD_CORNERS)])
        time.sleep(0.5)
        second = Client(origin)
        elapsed = time.monotonic() - t1
        s2 = self.assert_frame(second, self.background,
                               [(self.good, GOOD_CORNERS), (self.bad, BAD_CORNERS)])
        moved = (s1 - s2) % CLIENT_W  # to the left, one column a frame
        self.assertGreaterEqual(moved, 1)
        self.assertLessEqual(moved, elapsed / FRAME_PAUSE_S + 1)
        self.assertIsNone(proc.poll())

    def test_space_fires_and_the_program_ends_by_itself(self):
        # The held space bar reaches the scene as scan code 57 through key_down.
        proc, origin = self.launch()
        pressed = self.press_space()
        cx, cy = self.assert_disc_flies(origin)
        self.assertTrue(255 <= cx <= 480 and 270 - 10 <= cy <= 290, (cx, cy))
        self.assert_ends_by_the_fall(proc, pressed)

    def test_escape_during_the_fall_ends_at_once(self):
        proc, origin = self.launch()
        pressed = self.press_space()
        time.sleep(1.2)  # the hit comes some 15 frames after the key
        falling = find_ship(Client(origin), self.bad,
                            [(x, y) for y in range(141, CLIENT_H) for x in range(475, 486)])
        self.assertIsNotNone(falling, "the bad ship is not falling")
        self.assertIsNone(proc.poll())
        session.key("Escape")
        typed = time.monotonic()
        self.assertEqual(wait_exit(proc, 2), 0, proc.stderr.read().decode())
        ended = time.monotonic()
        self.assertLess(ended - typed, 0.5)
        self.assertLess(ended - pressed, FRAMES_FROM_KEY_TO_END * FRAME_PAUSE_S,
                        "it ended no earlier than the fall would have")

    def test_missing_background_shows_magenta_behind_the_ships(self):
        proc, origin = self.launch(missing=["background.bmp"])
        client = Client(origin)
        self.assert_frame(client, None, [(self.good, GOOD_CORNERS), (self.bad, BAD_CORNERS)])
        self.assertEqual({p for r in FREE_ROWS for p in client.rows[r]}, {MAGENTA})
        self.assertIsNone(proc.poll())

    def test_missing_ships_are_invisible_and_the_run_goes_on(self):
        proc, origin = self.launch(missing=["goodship.bmp", "badship.bmp"])
        self.assert_frame(Client(origin), self.background, [])
        pressed = self.press_space()
        self.assert_disc_flies(origin)
        self.assert_ends_by_the_fall(proc, pressed)


if __name__ == "__main__":
    unittest.main(verbosity=2)
