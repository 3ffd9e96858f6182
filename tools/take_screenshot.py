"""Takes docs/screenshot.png: the real program under Xvfb and openbox, a few
frames after the space bar, with the window's decoration.

Run with Debian's python3 (it has PIL), from the repository:
  /usr/bin/python3 tools/take_screenshot.py --scene build/release/scene --assets assets --out docs/screenshot.png
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import xsession  # noqa: E402
from PIL import Image  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scene", required=True)
    parser.add_argument("--assets", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--after-space", type=float, default=0.02,
                        help="seconds between the space bar and the picture")
    args = parser.parse_args()

    with xsession.XSession() as session:
        folder = session.scene_dir(os.path.abspath(args.assets))
        proc = session.start([os.path.abspath(args.scene)], cwd=folder)
        window = session.find_window(proc.pid)
        session.activate(window)
        time.sleep(1.0)
        session.key_down("space")
        time.sleep(0.1)
        session.key_up("space")
        time.sleep(args.after_space)
        x, y, w, h = session.geometry(window)
        left, right, top, bottom = session.frame_extents(window)
        shot = session.shot(x - left, y - top, w + left + right, h + top + bottom)
        picture = Image.new("RGB", (shot.width, shot.height))
        picture.putdata([
            ((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)
            for row in range(shot.y, shot.y + shot.height)
            for p in (shot.pixel(col, row) for col in range(shot.x, shot.x + shot.width))
        ])
        picture.save(args.out, optimize=True)
        session.key("Escape")
        xsession.wait_exit(proc, 5)


if __name__ == "__main__":
    main()
