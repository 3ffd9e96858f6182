"""What the scene's client area shows, for the tests that look at it: the three
bitmaps read back, and a Picture (one screenshot of the client area) in which
to find the scroll offset, the frame number it gives, the ships, the shot's
disc, or the whole frame they make together.

The scroll moves one column a frame from offset 0, so the frame numbered n
(the first is 1) shows offset -n modulo 800: the background column at the
picture's left edge is its frame number modulo 800.
"""

import os
import random
import struct

from xsession import CLIENT_H, CLIENT_W

MAGENTA = 0xFF00FF
# Rows the ships never reach before the fall: the bad ship's top wobbles
# between 120 and 140 and it is 250 rows high; the good ship ends higher still.
FREE_ROWS = range(400, CLIENT_H)
# Where the scroll offset is read: a free row, left of every column the
# falling bad ship can cover.
SCROLL_ROW = 500
SCROLL_COLUMNS = 470
# Top-left corners the wobble can give each ship: base +-5 in x, +-10 in y.
GOOD_CORNERS = [(x, y) for x in range(55, 66) for y in range(100, 121)]
BAD_CORNERS = [(x, y) for x in range(475, 486) for y in range(120, 141)]

# The shot: it leaves from (260, 280) plus the good ship's wobble, +-5 in x
# and +-10 in y, in the frame that sees the space bar; each later frame adds
# 15 to x and, with one unit of gravity, -4, -3, -2, ... to y.
SHOT_X, SHOT_Y = 260, 280
SHOT_VX = 15
# The first frame with the shot past the bad ship's base x of 480 is the hit:
# from then on the shot is not drawn and the bad ship falls 3 rows a frame,
# from a base of 130, until the frame that takes it to 600 ends the run.
FRAMES_FROM_KEY_TO_HIT = 15
FALL_STEP = 3
BAD_BASE_Y = 130
FRAMES_FROM_KEY_TO_END = 171
DISC_HALF_WIDTHS = [8, 8, 8, 7, 7, 6, 5, 4, 2]  # of a radius-8 disc, by |dy|


def shot_rise(k):
    """How far the shot's centre is below its start after k frames of flight."""
    return k * (k + 1) // 2 - 5 * k


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


def bgr(pixels):
    """0xRRGGBB values as bytes, blue, green and red for each, as a Picture holds them."""
    return bytes(v for p in pixels for v in (p & 0xFF, (p >> 8) & 0xFF, p >> 16))


class Scenery:
    """The three pictures from an assets folder."""

    def __init__(self, assets):
        self.background = read_bmp(os.path.join(assets, "background.bmp"))
        self.good = read_bmp(os.path.join(assets, "goodship.bmp"))
        self.bad = read_bmp(os.path.join(assets, "badship.bmp"))
        # Each row twice, so any scroll offset is one slice.
        self._doubled = [bgr(line) * 2 for line in self.background]

    def frame_number(self, picture):
        """The frame number modulo 800 the picture's scroll offset gives, or None
        where its free row is not the background at one offset."""
        row = self._doubled[SCROLL_ROW]
        start = SCROLL_ROW * CLIENT_W * 3
        segment = picture.bgr[start:start + SCROLL_COLUMNS * 3]
        found = []
        at = row.find(segment)
        while 0 <= at < CLIENT_W * 3:
            if at % 3 == 0:
                found.append(at // 3)
            at = row.find(segment, at + 1)
        # Client column c shows background column (c - offset) mod 800, so
        # column 0 shows column -offset, which is the frame number.
        return found[0] if len(found) == 1 else None

    def expected(self, frame, ships, magenta=False):
        """The frame's background (all magenta where it could not be read),
        then each (ship picture, corner), magenta left out."""
        if magenta:
            rows = [bytearray(bgr([MAGENTA]) * CLIENT_W) for _ in range(CLIENT_H)]
        else:
            start = (frame % CLIENT_W) * 3
            rows = [bytearray(line[start:start + CLIENT_W * 3]) for line in self._doubled]
        for ship, (cx, cy) in ships:
            for j, line in enumerate(ship):
                if not 0 <= cy + j < CLIENT_H:
                    continue
                for i, p in enumerate(line):
                    if p != MAGENTA and 0 <= cx + i < CLIENT_W:
                        rows[cy + j][3 * (cx + i):3 * (cx + i) + 3] = bgr([p])
        return b"".join(rows)


class Picture:
    """The client area in one screenshot, 3 bytes (blue, green, red) a pixel."""

    def __init__(self, shot, origin):
        self.bgr = shot.bgr(origin[0], origin[1], CLIENT_W, CLIENT_H)

    def pixel(self, c, r):
        o = (r * CLIENT_W + c) * 3
        d = self.bgr
        return (d[o + 2] << 16) | (d[o + 1] << 8) | d[o]

    def is_black(self):
        return self.bgr.count(0) == len(self.bgr)

    def colours(self, rows):
        """The set of colours in whole rows."""
        d = self.bgr
        return {(d[o + 2] << 16) | (d[o + 1] << 8) | d[o]
                for r in rows for o in range(r * CLIENT_W * 3, (r + 1) * CLIENT_W * 3, 3)}


def opaque_points(ship, count=300):
    """A fixed sample of the ship picture's non-magenta pixels."""
    points = [(i, j) for j, line in enumerate(ship) for i, p in enumerate(line) if p != MAGENTA]
    return random.Random(5).sample(points, min(count, len(points)))


def find_ship(picture, ship, corners):
    """The corner among `corners` where the ship's sampled pixels all show, or None."""
    sample = opaque_points(ship)
    for cx, cy in corners:
        shown = [(i, j) for i, j in sample if 0 <= cy + j < CLIENT_H]
        if len(shown) >= 30 and all(picture.pixel(cx + i, cy + j) == ship[j][i] for i, j in shown):
            return cx, cy
    return None


def find_disc(picture):
    """Centre of a whole radius-8 black disc on the shot's way to the bad ship, or None."""
    left, top, right, bottom = 240, 250, 500, 340

    def black(c, r):
        return picture.pixel(c, r) == 0

    for cy in range(top, bottom):
        for cx in range(left, right):
            if black(cx, cy) and all(black(cx + dx, cy + dy) for dy in range(-8, 9)
                                     for dx in range(-DISC_HALF_WIDTHS[abs(dy)],
                                                     DISC_HALF_WIDTHS[abs(dy)] + 1)):
                return cx, cy
    return None


def frame_problem(scenery, picture, ships=True, magenta=False):
    """Why the picture is not a whole frame of the scene, or None: the
    background at one scroll offset (or all magenta), then each ship where its
    wobble can put it."""
    frame = 0
    if not magenta:
        frame = scenery.frame_number(picture)
        if frame is None:
            return "the free rows do not show the background at one scroll offset"
    placed = []
    if ships:
        for ship, corners in ((scenery.good, GOOD_CORNERS), (scenery.bad, BAD_CORNERS)):
            corner = find_ship(picture, ship, corners)
            if corner is None:
                return "a ship is not where its wobble can put it"
            placed.append((ship, corner))
    expected = scenery.expected(frame, placed, magenta)
    if picture.bgr != expected:
        wrong = sum(1 for o in range(0, len(expected), 3) if picture.bgr[o:o + 3] != expected[o:o + 3])
        return f"{wrong} pixels differ from the frame"
    return None
