"""The scene on native Wayland: a headless sway (pixman renderer, no input
devices) and the program with WAYLAND_DISPLAY set and DISPLAY unset. The
window shows at 800x600 with the right title and the unscaled picture (grim
screenshots against assets/background.bmp), SIGTERM ends it, and ESC typed
through a virtual keyboard (wtype) ends it with 0.

sway refuses to run as root, so as root the compositor and every client run
as the unprivileged user `nobody` (setpriv) with a runtime folder it owns."""

import json
import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from xsession import (CLIENT_H, CLIENT_W, ROOT_RGB, background_rows, kill_all, parse_args,
                      picture_scroll, wait_exit)

ARGS = parse_args()
BACKGROUND = background_rows(ARGS.assets)
EXE_NAME = "way.land.bin"
TITLE = "way.land"
USER = "nobody"
TIMEOUT = 5.0

SWAY_CONFIG = """xwayland disable
output HEADLESS-1 mode 1280x1024 position 0 0 bg #{:02x}{:02x}{:02x} solid_color
default_border normal 1
focus_on_window_activation focus
""".format(*ROOT_RGB)


class PpmShot:
    """A binary PPM (P6) screenshot of a rectangle at (x, y) of the output."""

    def __init__(self, data, x, y):
        # Four header fields separated by whitespace, then exactly one
        # whitespace byte before the pixels.
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self._pixels = data[pos + 1:]
        assert len(self._pixels) == self.width * self.height * 3, len(self._pixels)
        self.x, self.y = x, y

    def pixel(self, x, y):
        o = ((y - self.y) * self.width + (x - self.x)) * 3
        p = self._pixels
        return (p[o] << 16) | (p[o + 1] << 8) | p[o + 2]


class Sway:
    """A headless sway with a folder of its own; everything it started is
    killed by PID at close."""

    def __init__(self):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="scene-wayland-")
        os.chmod(self.tmp, 0o755)
        self.as_user = []
        uid = os.getuid()
        if os.geteuid() == 0:
            entry = pwd.getpwnam(USER)
            uid = entry.pw_uid
            self.as_user = ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}",
                            "--clear-groups", "--pdeathsig", "SIGKILL"]
        self.runtime = os.path.join(self.tmp, "run")
        self.home = os.path.join(self.tmp, "home")
        for folder in (self.runtime, self.home):
            os.mkdir(folder, 0o700)
            os.chown(folder, uid, -1)
        self.config = os.path.join(self.tmp, "sway.conf")
        with open(self.config, "w") as f:
            f.write(SWAY_CONFIG)
        os.chmod(self.config, 0o644)
        self.wayland_display = None
        self.swaysock = None

    def env(self):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
               "XDG_RUNTIME_DIR": self.runtime, "SDL_AUDIODRIVER": "dummy"}
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        if self.swaysock:
            env["SWAYSOCK"] = self.swaysock
        return env

    def start(self, argv, cwd=None, env_extra=None):
        env = self.env()
        env.update(env_extra or {})
        proc = subprocess.Popen(self.as_user + argv, cwd=cwd, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        self.procs.append(proc)
        return proc

    def run(self, argv, check=True):
        result = subprocess.run(self.as_user + argv, env=self.env(), capture_output=True,
                                timeout=10)
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv} failed: {result.stderr.decode().strip()}")
        return result.stdout

    def open(self):
        """None once sway is up, else why it is not."""
        for tool in ("sway", "swaymsg", "grim", "wtype"):
            if shutil.which(tool) is None:
                return f"{tool} is not installed"
        sway = self.start(["sway", "-c", self.config], env_extra={
            "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1",
            "WLR_HEADLESS_OUTPUTS": "1"})
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            names = os.listdir(self.runtime)
            sockets = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            if sockets and ipc:
                self.wayland_display = sockets[0]
                self.swaysock = os.path.join(self.runtime, ipc[0])
                if self.run(["swaymsg", "-t", "get_outputs"], check=False):
                    return None
            if sway.poll() is not None:
                return f"sway exited with {sway.returncode}: {sway.stderr.read().decode()[-400:]}"
            time.sleep(0.05)
        return "sway did not open its Wayland socket within 10 s"

    def views(self):
        """Every client window of the tree: (pid, name, type, content rect)."""
        tree = json.loads(self.run(["swaymsg", "-t", "get_tree", "-r"]))
        found = []

        def walk(node):
            if node.get("pid"):
                rect, inner = node["rect"], node["window_rect"]
                found.append((node["pid"], node["name"], node["type"],
                              (rect["x"] + inner["x"], rect["y"] + inner["y"],
                               inner["width"], inner["height"])))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(tree)
        return found

    def shot(self, x, y, width, height):
        data = self.run(["grim", "-t", "ppm", "-g", f"{x},{y} {width}x{height}", "-"])
        return PpmShot(data, x, y)

    def close(self):
        kill_all(self.procs)
        shutil.rmtree(self.tmp, ignore_errors=True)


sway = None
sway_failure = None


def setUpModule():
    global sway, sway_failure
    sway = Sway()
    sway_failure = sway.open()


def tearDownModule():
    sway.close()


class WaylandTest(unittest.TestCase):
    def setUp(self):
        if sway_failure:
            self.skipTest(f"no headless sway to run under: {sway_failure}")

    def launch(self):
        """The program as a copy named EXE_NAME, and its window's content rect."""
        folder = os.path.join(sway.tmp, self.id().rsplit(".", 1)[-1])
        os.mkdir(folder)
        for bmp in ("background.bmp", "goodship.bmp", "badship.bmp"):
            shutil.copy(os.path.join(ARGS.assets, bmp), folder)
        exe = os.path.join(folder, EXE_NAME)
        shutil.copy(ARGS.scene, exe)
        os.chmod(exe, 0o755)
        for name in os.listdir(folder):
            os.chmod(os.path.join(folder, name), 0o755 if name == EXE_NAME else 0o644)
        os.chmod(folder, 0o755)
        proc = sway.start([exe], cwd=folder)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            # setpriv execs the program, so its PID is the program's.
            views = [v for v in sway.views() if v[0] == proc.pid]
            if views:
                return proc, views[0]
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        self.fail(f"no window of the program under sway within {TIMEOUT} s (exit code"
                  f" {proc.poll()}, stderr {proc.stderr.read().decode().strip()[-400:] if proc.poll() is not None else '(running)'!r},"
                  f" windows {sway.views()})")

    def content_rect(self, proc):
        views = [v for v in sway.views() if v[0] == proc.pid]
        self.assertEqual(len(views), 1, f"windows {sway.views()}")
        return views[0][3]

    def test_window_800x600_unscaled_picture_and_sigterm(self):
        proc, (_, name, kind, rect) = self.launch()
        with self.subTest("title"):
            self.assertEqual(name, TITLE)
        with self.subTest("floating at 800x600"):
            self.assertEqual(rect[2:], (CLIENT_W, CLIENT_H), f"{kind} window at {rect}")
            self.assertEqual(kind, "floating_con")
        with self.subTest("the unscaled picture"):
            deadline = time.monotonic() + TIMEOUT
            while True:
                # sway moves a new window down once its title bar is on.
                x, y = self.content_rect(proc)[:2]
                shot = sway.shot(x, y, CLIENT_W, CLIENT_H)
                scroll = picture_scroll(shot.pixel, x, y, BACKGROUND)
                if scroll is not None or time.monotonic() > deadline:
                    break
                time.sleep(0.1)
            self.assertIsNotNone(scroll, "the free rows do not show the background unscaled; pixels"
                                         f" (0,500) {shot.pixel(x, y + 500):06x},"
                                         f" (400,500) {shot.pixel(x + 400, y + 500):06x}")
            # The picture scrolls: a later shot shows it at another offset.
            time.sleep(0.3)
            later = picture_scroll(sway.shot(x, y, CLIENT_W, CLIENT_H).pixel, x, y, BACKGROUND)
            self.assertIsNotNone(later)
            self.assertNotEqual(later, scroll, "the picture does not move")
        with self.subTest("SIGTERM ends it"):
            proc.send_signal(signal.SIGTERM)
            self.assertEqual(wait_exit(proc, TIMEOUT), -signal.SIGTERM)

    def test_escape_from_a_virtual_keyboard_exits_0(self):
        proc, _ = self.launch()
        # wtype makes a new virtual keyboard on each call: keys sent before
        # the client has its keymap are lost, hence the pause before the key.
        sway.run(["wtype", "-s", "300", "-k", "Escape"])
        self.assertEqual(wait_exit(proc, TIMEOUT), 0, proc.stderr.read().decode()
                         if proc.poll() is not None else "still running after ESC")


if __name__ == "__main__":
    unittest.main(verbosity=2)
