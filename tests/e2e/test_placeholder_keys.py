"""Keys reach the program that stands in for the scene: the space bar held is
seen by key_down(57), and the stand-in shows it as a white disc in the middle
of the window. The scene's own end-to-end tests take this file's place."""

import time
import unittest

from xsession import XSession, parse_args, wait_exit

ARGS = parse_args()
WHITE = 0xFFFFFF


class PlaceholderKeysTest(unittest.TestCase):
    def test_space_held_is_seen_as_scan_code_57(self):
        with XSession() as session:
            proc = session.start([ARGS.scene], cwd=session.scene_dir(ARGS.assets))
            window = session.find_window(proc.pid)
            x, y, _, _ = session.geometry(window)
            centre = (x + 360, y + 260, 80, 80)  # inside the disc of radius 80
            session.activate(window)
            time.sleep(0.1)
            self.assertNotEqual(session.shot(*centre).colours(*centre, step=4), {WHITE})
            session.key_down("space")
            time.sleep(0.15)
            held = session.shot(*centre).colours(*centre, step=4)
            session.key_up("space")
            time.sleep(0.15)
            released = session.shot(*centre).colours(*centre, step=4)
            self.assertEqual(held, {WHITE}, "no disc while space was held")
            self.assertNotEqual(released, {WHITE}, "the disc stayed after space was let go")
            session.key("Escape")
            self.assertEqual(wait_exit(proc, 3), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
