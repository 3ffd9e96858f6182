"""A private X display for end-to-end tests of the scene program.

XSession starts Xvfb (1280x1024x24) and openbox with a config of its own,
paints the root window a colour that is not black, and keeps one X connection
for screenshots and window queries. Everything it starts is killed by PID when
the session closes, also when a test fails, and dies with the test process
(PR_SET_PDEATHSIG) if that is killed outright.
"""

import argparse
import ctypes
import ctypes.util
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 1024
ROOT_RGB = (0x33, 0x66, 0x99)
CLIENT_W, CLIENT_H = 800, 600

OPENBOX_RC = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <!-- No centring of new windows: a program that does not centre itself must show it. -->
  <placement><policy>Smart</policy><center>no</center></placement>
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <!-- No key bindings: Alt+F4, Alt+Enter and the rest reach the program. -->
  <keyboard><chainQuitKey>C-g</chainQuitKey></keyboard>
  <mouse><dragThreshold>8</dragThreshold></mouse>
  <desktops><number>1</number></desktops>
</openbox_config>
"""

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scene", required=True, help="the scene executable")
    parser.add_argument("--assets", required=True, help="folder with the three bitmaps")
    args, rest = parser.parse_known_args()
    sys.argv[1:] = rest
    args.scene = os.path.abspath(args.scene)
    args.assets = os.path.abspath(args.assets)
    return args


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
    ]


class _SaverInfo(ctypes.Structure):
    _fields_ = [
        ("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int),
        ("til_or_since", ctypes.c_ulong), ("idle", ctypes.c_ulong), ("event_mask", ctypes.c_ulong),
    ]


class Shot:
    """Pixels of one screen rectangle, 0xRRGGBB each."""

    def __init__(self, x, y, width, height, data, stride):
        self.x, self.y, self.width, self.height = x, y, width, height
        self._data, self._stride = data, stride

    def pixel(self, x, y):
        """The pixel at screen position (x, y)."""
        o = (y - self.y) * self._stride + (x - self.x) * 4
        d = self._data
        return (d[o + 2] << 16) | (d[o + 1] << 8) | d[o]

    def colours(self, x, y, width, height, step=1):
        """The set of colours in a screen rectangle (every step-th pixel)."""
        found = set()
        for row in range(y, y + height, step):
            for col in range(x, x + width, step):
                found.add(self.pixel(col, row))
        return found


class XSession:
    def __init__(self):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="scene-e2e-")
        self.display = None
        self._x = None
        self._dpy = None
        self._xss = None

    # -- lifetime --------------------------------------------------------
    def __enter__(self):
        try:
            self._start_xvfb()
            self._open_connection()
            self._paint_root()
            self._start_openbox()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        self.procs.append(xvfb)
        os.close(write_fd)
        # Xvfb writes its display number once it accepts connections. The
        # pipe's read end stays open for its lifetime.
        self._displayfd = read_fd
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb closed its display pipe")
            number += chunk
        self.display = ":" + number.decode().strip()

    def _open_connection(self):
        self._x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x = self._x
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(_XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        x.XSetWindowBackground.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
        x.XClearWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self._dpy = x.XOpenDisplay(self.display.encode())
        if not self._dpy:
            raise RuntimeError(f"cannot connect to {self.display}")
        self._root = x.XDefaultRootWindow(self._dpy)

    def _paint_root(self):
        r, g, b = ROOT_RGB
        self._x.XSetWindowBackground(self._dpy, self._root, (r << 16) | (g << 8) | b)
        self._x.XClearWindow(self._dpy, self._root)
        self._x.XSync(self._dpy, 0)

    def _start_openbox(self):
        rc = os.path.join(self.tmp, "openbox-rc.xml")
        with open(rc, "w") as f:
            f.write(OPENBOX_RC)
        home = os.path.join(self.tmp, "home")
        os.makedirs(home, exist_ok=True)
        env = self.env()
        env["HOME"] = home
        env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
        self.procs.append(subprocess.Popen(
            ["openbox", "--config-file", rc], env=env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent))
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
            if "window id" in out:
                return
            time.sleep(0.05)
        raise RuntimeError("openbox did not start")

    def close(self):
        # Xlib ends the whole process when its server goes away under an open
        # connection, so the connection closes before anything is killed.
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.kill()
        for proc in reversed(self.procs):
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
            for stream in (proc.stdout, proc.stderr):
                if stream:
                    stream.close()
        self.procs.clear()
        if getattr(self, "_displayfd", None) is not None:
            os.close(self._displayfd)
            self._displayfd = None
        shutil.rmtree(self.tmp, ignore_errors=True)

    # -- programs ---------------------------------------------------------
    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("SDL_VIDEODRIVER", None)
        env["SDL_AUDIODRIVER"] = "dummy"
        return env

    def run(self, argv, check=True, timeout=10):
        result = subprocess.run(argv, env=self.env(), capture_output=True, text=True,
                                timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv} failed: {result.stderr.strip()}")
        return result.stdout

    def start(self, argv, cwd=None, env=None):
        """Starts a program on this display; it is killed when the session closes."""
        proc = subprocess.Popen(argv, cwd=cwd, env=env or self.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, preexec_fn=_die_with_parent)
        self.procs.append(proc)
        return proc

    def scene_dir(self, assets, name="scene-run", fifo_for=None):
        """A working folder with the three bitmaps; fifo_for names one that is
        a named pipe instead, so the program blocks in start-up reading it."""
        folder = os.path.join(self.tmp, name)
        os.makedirs(folder, exist_ok=True)
        for bmp in ("background.bmp", "goodship.bmp", "badship.bmp"):
            path = os.path.join(folder, bmp)
            if os.path.lexists(path):
                os.remove(path)
            if bmp == fifo_for:
                os.mkfifo(path)
            elif os.path.exists(os.path.join(assets, bmp)):
                shutil.copy(os.path.join(assets, bmp), path)
        return folder

    # -- windows ----------------------------------------------------------
    def find_window(self, pid, timeout=5.0):
        """The visible top-level window of process pid (its _NET_WM_PID)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = self.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], check=False)
            ids = out.split()
            if ids:
                return int(ids[-1])
            time.sleep(0.02)
        raise AssertionError(f"no visible window of pid {pid} within {timeout} s")

    def geometry(self, window):
        """(x, y, width, height) of the client area on the screen."""
        out = self.run(["xwininfo", "-id", str(window)])
        values = {}
        for line in out.splitlines():
            if ":" in line:
                key, _, value = line.strip().partition(":")
                values[key.strip()] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def prop(self, window, name):
        return self.run(["xprop", "-id", str(window), name], check=False).strip()

    def frame_extents(self, window):
        """(left, right, top, bottom) decoration sizes from _NET_FRAME_EXTENTS."""
        out = self.prop(window, "_NET_FRAME_EXTENTS")
        if "=" not in out:
            return (0, 0, 0, 0)
        return tuple(int(v) for v in out.split("=", 1)[1].split(","))

    def activate(self, window):
        self.run(["xdotool", "windowactivate", "--sync", str(window)])

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", *keys])

    def key_down(self, key):
        self.run(["xdotool", "keydown", key])

    def key_up(self, key):
        self.run(["xdotool", "keyup", key])

    def shot(self, x=0, y=0, width=SCREEN_W, height=SCREEN_H):
        """One screenshot of a screen rectangle through the session's connection."""
        image = self._x.XGetImage(self._dpy, self._root, x, y, width, height, ~0 & 0xFFFFFFFF, 2)
        if not image:
            raise RuntimeError("XGetImage failed")
        try:
            img = image.contents
            assert img.bits_per_pixel == 32, img.bits_per_pixel
            data = ctypes.string_at(img.data, img.bytes_per_line * img.height)
            return Shot(x, y, width, height, data, img.bytes_per_line)
        finally:
            self._x.XDestroyImage(image)

    def set_screen_saver(self, timeout_seconds):
        """Sets the server's screen-saver timeout (0 turns it off) and resets it."""
        self._x.XSetScreenSaver.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                            ctypes.c_int, ctypes.c_int]
        self._x.XForceScreenSaver.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self._x.XSetScreenSaver(self._dpy, timeout_seconds, 0, 1, 1)
        self._x.XForceScreenSaver(self._dpy, 0)  # ScreenSaverReset
        self._x.XSync(self._dpy, 0)

    def screen_saver_state(self):
        """The MIT-SCREEN-SAVER state: 0 off, 1 on, 3 disabled (suspended)."""
        if self._xss is None:
            self._xss = ctypes.CDLL(ctypes.util.find_library("Xss") or "libXss.so.1")
            self._xss.XScreenSaverAllocInfo.restype = ctypes.POINTER(_SaverInfo)
            self._xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                        ctypes.POINTER(_SaverInfo)]
        info = self._xss.XScreenSaverAllocInfo()
        self._xss.XScreenSaverQueryInfo(self._dpy, self._root, info)
        state = info.contents.state
        self._x.XFree.argtypes = [ctypes.c_void_p]
        self._x.XFree(info)
        return state


def wait_exit(proc, timeout):
    """The exit code, or None if the process is still running after timeout."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def root_colour():
    r, g, b = ROOT_RGB
    return (r << 16) | (g << 8) | b
