"""Without a reachable display the program says so on one line of stderr and
exits with 1, whatever SDL would fall back to."""

import os
import re
import subprocess
import tempfile
import unittest

from xsession import parse_args

ARGS = parse_args()
MESSAGE = re.compile(r"scene: cannot open the 800x600 display: \S[^\n]*\n")


class NoDisplayTest(unittest.TestCase):
    def run_without_display(self, **variables):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR")}
        env.update(variables)
        with tempfile.TemporaryDirectory() as folder:
            # A program that waited for a display would run into the timeout.
            result = subprocess.run([ARGS.scene], cwd=folder, env=env, capture_output=True,
                                    text=True, timeout=30)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertRegex(result.stderr, "^" + MESSAGE.pattern + "$")
        self.assertEqual(result.stdout, "")
        return result.stderr

    def test_cases(self):
        cases = {
            "no DISPLAY or WAYLAND_DISPLAY": {},
            "an X display nobody serves": {"DISPLAY": ":4242"},
            "SDL asked for its offscreen driver": {"DISPLAY": ":4242", "SDL_VIDEODRIVER": "offscreen"},
            "SDL asked for its dummy driver": {"DISPLAY": ":4242", "SDL_VIDEODRIVER": "dummy"},
            "Wayland without XDG_RUNTIME_DIR": {"WAYLAND_DISPLAY": "wayland-4242"},
            "a Wayland socket that does not exist": {"WAYLAND_DISPLAY": "wayland-4242",
                                                     "XDG_RUNTIME_DIR": tempfile.gettempdir()},
        }
        for name, variables in cases.items():
            with self.subTest(name):
                print(f"{name}: {self.run_without_display(**variables).strip()}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
