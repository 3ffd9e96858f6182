"""A private X display for end-to-end tests of the scene program.

XSession starts Xvfb (1280x1024x24) and a window manager with a config of its
own (openbox unless asked for another of WINDOW_MANAGERS, or "none"), paints
the root window a colour that is not black, and keeps one X connection for
screenshots and window queries. Everything it starts is killed by PID when
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

# i3 with no bar and no key bindings (so Alt+Enter and the rest reach the
# program). A window it tiles gets the tile's size.
I3_CONFIG = """# i3 config file (v4)
font pango:DejaVu Sans Mono 8
focus_on_window_activation focus
default_border normal 1
default_floating_border normal 1
"""

# fluxbox: an empty keys file, so Alt+F4, Alt+Enter and the rest reach the
# program; row-smart placement, not centring; no toolbar or slit.
FLUXBOX_INIT = """session.keyFile: {keys}
session.appsFile: {apps}
session.menuFile: {menu}
session.screen0.windowPlacement: RowSmartPlacement
session.screen0.toolbar.visible: false
session.screen0.slit.autoHide: true
session.screen0.workspaces: 1
session.screen0.focusNewWindows: true
session.screen0.fullMaximization: false
session.configVersion: 13
"""

# xfwm4 reads its settings through xfconf, so it gets a session bus and an
# xfconfd of its own. With no system-wide configs there are no key bindings;
# this channel turns off centring (windows under placement_ratio percent of
# the screen are placed, not centred) and the compositor.
XFWM4_CHANNEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfwm4" version="1.0">
  <property name="general" type="empty">
    <property name="placement_ratio" type="int" value="100"/>
    <property name="placement_mode" type="string" value="mouse"/>
    <property name="use_compositing" type="bool" value="false"/>
    <property name="workspace_count" type="int" value="1"/>
  </property>
</channel>
"""
XFCONFD = "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"

WINDOW_MANAGERS = ("openbox", "none", "i3", "xfwm4", "fluxbox")

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


class _ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
        ("pad", ctypes.c_long * 12),  # the rest of the 24-long XEvent union
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

    def bgr(self, x, y, width, height):
        """A screen rectangle's pixels as bytes, blue, green and red for each,
        rows top first."""
        first = (y - self.y) * self._stride + (x - self.x) * 4
        block = bytearray().join(
            self._data[first + r * self._stride:first + r * self._stride + width * 4]
            for r in range(height))
        del block[3::4]
        return bytes(block)


class XSession:
    def __init__(self, wm="openbox"):
        if wm not in WINDOW_MANAGERS:
            raise ValueError(f"unknown window manager {wm!r}; one of {WINDOW_MANAGERS}")
        self.wm = wm
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
            if self.wm == "openbox":
                self._start_openbox()
            elif self.wm != "none":
                self._start_other_wm()
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

    def _wm_home(self):
        home = os.path.join(self.tmp, "home")
        os.makedirs(os.path.join(home, ".config"), exist_ok=True)
        env = self.env()
        env["HOME"] = home
        env["XDG_CONFIG_HOME"] = os.path.join(home, ".config")
        # No system-wide configs (xfwm4's key bindings live there) and no
        # session bus to find them through.
        env["XDG_CONFIG_DIRS"] = os.path.join(self.tmp, "no-config-dirs")
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(self.tmp, "no-bus")
        env["XDG_RUNTIME_DIR"] = self.tmp
        return home, env

    def _start_other_wm(self):
        home, env = self._wm_home()
        if self.wm == "i3":
            config = os.path.join(self.tmp, "i3-config")
            with open(config, "w") as f:
                f.write(I3_CONFIG)
            argv = ["i3", "-c", config, "-a"]
            env["I3SOCK"] = os.path.join(self.tmp, "i3-ipc.sock")
        elif self.wm == "xfwm4":
            channels = os.path.join(home, ".config", "xfce4", "xfconf", "xfce-perchannel-xml")
            os.makedirs(channels, exist_ok=True)
            with open(os.path.join(channels, "xfwm4.xml"), "w") as f:
                f.write(XFWM4_CHANNEL)
            self._start_session_bus(env)
            argv = ["xfwm4", "--compositor=off", "--sm-client-disable"]
        else:
            flux = os.path.join(home, ".fluxbox")
            os.makedirs(flux, exist_ok=True)
            files = {name: os.path.join(flux, name) for name in ("keys", "apps", "menu")}
            for path in files.values():
                open(path, "w").close()
            init = os.path.join(flux, "init")
            with open(init, "w") as f:
                f.write(FLUXBOX_INIT.format(**files))
            argv = ["fluxbox", "-rc", init]
        self.procs.append(subprocess.Popen(
            argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent))
        self._wait_for_wm()

    def _start_session_bus(self, env):
        """A D-Bus session bus and xfconfd on it, both killed by PID at close."""
        socket = os.path.join(self.tmp, "bus")
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socket
        env["NO_AT_BRIDGE"] = "1"  # no accessibility bus started through it
        self.procs.append(subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile",
             "--address=" + env["DBUS_SESSION_BUS_ADDRESS"]],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent))
        deadline = time.monotonic() + 5
        while not os.path.exists(socket):
            if time.monotonic() > deadline or self.procs[-1].poll() is not None:
                raise RuntimeError("dbus-daemon did not start")
            time.sleep(0.02)
        self.procs.append(subprocess.Popen(
            [XFCONFD], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent))

    def _wait_for_wm(self):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.procs[-1].poll() is not None:
                raise RuntimeError(f"{self.wm} exited with {self.procs[-1].returncode}")
            out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
            if "window id" in out:
                return
            time.sleep(0.05)
        raise RuntimeError(f"{self.wm} did not start")

    def close(self):
        # Xlib ends the whole process when its server goes away under an open
        # connection, so the connection closes before anything is killed.
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None
        kill_all(self.procs)
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

    def scene_dir(self, assets, name="scene-run"):
        """A working folder with the three bitmaps, put back as they are in
        assets whatever a test left in their place."""
        folder = os.path.join(self.tmp, name)
        os.makedirs(folder, exist_ok=True)
        for bmp in ("background.bmp", "goodship.bmp", "badship.bmp"):
            path = os.path.join(folder, bmp)
            if os.path.isdir(path) and not os.path.islink(path):
                os.rmdir(path)
            elif os.path.lexists(path):
                os.remove(path)
            if os.path.exists(os.path.join(assets, bmp)):
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

    def placement(self, window):
        """Where the window sits: client geometry, decoration, work area, and
        how far the frame's centre lies from the work area's centre (dx, dy)."""
        x, y, width, height = self.geometry(window)
        left, right, top, bottom = self.frame_extents(window)
        area_x, area_y, area_w, area_h = self.work_area()
        frame = (x - left, y - top, width + left + right, height + top + bottom)
        off = (frame[0] + frame[2] / 2 - (area_x + area_w / 2),
               frame[1] + frame[3] / 2 - (area_y + area_h / 2))
        return dict(off=off, frame=frame, client=(x, y, width, height),
                    extents=(left, right, top, bottom), work_area=(area_x, area_y, area_w, area_h))

    def work_area(self):
        """(x, y, width, height) of _NET_WORKAREA's first desktop, else the screen."""
        out = self.run(["xprop", "-root", "_NET_WORKAREA"], check=False)
        if "=" not in out:
            return (0, 0, SCREEN_W, SCREEN_H)
        return tuple(int(v) for v in out.split("=", 1)[1].split(",")[:4])

    def atoms(self, window, name):
        """The atom names in an ATOM-list property (_NET_WM_STATE and the like)."""
        out = self.prop(window, name)
        if "=" not in out:
            return set()
        return {a.strip() for a in out.split("=", 1)[1].split(",") if a.strip()}

    def cardinals(self, window, name):
        """The numbers of a 32-bit property, or () if it is not set."""
        out = self.prop(window, name)
        if "=" not in out:
            return ()
        return tuple(int(v, 0) for v in out.split("=", 1)[1].split(","))

    def send_delete_window(self, window):
        """WM_DELETE_WINDOW straight to the window, as a window manager sends it."""
        x = self._x
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.c_void_p]
        event = _ClientMessage(type=33, window=window, format=32,  # ClientMessage
                               message_type=x.XInternAtom(self._dpy, b"WM_PROTOCOLS", 0))
        event.data[0] = x.XInternAtom(self._dpy, b"WM_DELETE_WINDOW", 0)
        event.data[1] = 0  # CurrentTime
        x.XSendEvent(self._dpy, window, 0, 0, ctypes.byref(event))
        x.XSync(self._dpy, 0)

    def activate(self, window):
        if self.wm == "none":
            # Nobody to ask for activation: the focus is set directly.
            self.run(["xdotool", "windowfocus", "--sync", str(window)])
        else:
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


def _thread_states(pid):
    """The state letters of a process's threads, its main thread's first."""
    states = []
    try:
        tids = sorted(os.listdir(f"/proc/{pid}/task"), key=lambda tid: tid != str(pid))
        for tid in tids:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                states.append(f.read().rpartition(")")[2].split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return states


def pause(pid):
    """Stops a process (SIGSTOP) and waits until each of its threads has
    stopped, so its window shows what it last presented. False if it has
    already ended."""
    try:
        os.kill(pid, signal.SIGSTOP)
    except ProcessLookupError:
        return False
    deadline = time.monotonic() + 10
    while True:
        states = _thread_states(pid)
        if not states or states[0] in ("Z", "X"):
            return False
        if all(state in ("T", "t") for state in states):
            return True
        if time.monotonic() > deadline:
            raise RuntimeError(f"pid {pid} did not stop: {states}")
        time.sleep(0.001)


def resume(pid):
    try:
        os.kill(pid, signal.SIGCONT)
    except ProcessLookupError:
        pass


def step(pid):
    """Lets a stopped process run for a moment, about a frame's work of the
    scene at most, and stops it again; False if it ended meanwhile."""
    resume(pid)
    time.sleep(0.004)
    return pause(pid)


def kill_all(procs):
    """Kills every process started (the newest first) and waits for each."""
    for proc in reversed(procs):
        if proc.poll() is None:
            proc.kill()
    for proc in reversed(procs):
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        for stream in (proc.stdout, proc.stderr):
            if stream:
                stream.close()


def wait_exit(proc, timeout):
    """The exit code, or None if the process is still running after timeout."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


# Picture rows the ships never reach: only the scrolling background.
FREE_ROWS = range(400, CLIENT_H)


def background_rows(assets):
    """assets/background.bmp as rows of 0xRRGGBB, read by PIL (not our reader)."""
    from PIL import Image
    image = Image.open(os.path.join(assets, "background.bmp")).convert("RGB")
    pixels = image.load()
    return [[(r << 16) | (g << 8) | b for r, g, b in (pixels[x, y] for x in range(CLIENT_W))]
            for y in range(CLIENT_H)]


def picture_scroll(pixel, left, top, background):
    """The background's scroll offset if the free rows of an unscaled picture
    whose top-left corner is (left, top) show it, else None; pixel(x, y) reads
    the screenshot as 0xRRGGBB."""
    row = FREE_ROWS[len(FREE_ROWS) // 2]
    probe = range(0, CLIENT_W, 7)
    line = [pixel(left + c, top + row) for c in probe]
    for scroll in range(CLIENT_W):
        if all(line[i] == background[row][(c - scroll) % CLIENT_W] for i, c in enumerate(probe)):
            break
    else:
        return None
    for r in FREE_ROWS[::8]:
        for c in range(0, CLIENT_W, 3):
            if pixel(left + c, top + r) != background[r][(c - scroll) % CLIENT_W]:
                return None
    return scroll


def root_colour():
    r, g, b = ROOT_RGB
    return (r << 16) | (g << 8) | b
