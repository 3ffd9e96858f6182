"""Figures of the real scene under Xvfb (not a test; prints numbers).

  measure_scene.py --scene BIN --assets DIR period [--frames 700]
  measure_scene.py --scene BIN --assets DIR shot [--runs 30]

period: the frame period of the unchanged program, traced from outside. Each
        frame ends in one 18 ms sleep on the scene's own thread; strace records
        the absolute deadline of every such sleep, which the program computes
        from the monotonic clock as it starts sleeping, so successive deadlines
        are exactly the times from one frame's sleep to the next. Prints the
        shortest, median, 99th percentile and longest period.
shot:   from the space bar going down (an XTEST key event, flushed) to the first
        screenshot of the window that shows the whole shot's disc, over several
        runs; screenshots are taken back to back, about 1 ms apart.
"""

import argparse
import ctypes
import ctypes.util
import os
import re
import statistics
import subprocess
import time

from xsession import XSession, wait_exit

SLEEP = re.compile(r"^(\d+)\s+clock_nanosleep\(CLOCK_MONOTONIC, TIMER_ABSTIME, "
                   r"\{tv_sec=(\d+), tv_nsec=(\d+)\}")
HALF_WIDTHS = [8, 8, 8, 7, 7, 6, 5, 4, 2]


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def launch(session, argv, assets):
    folder = session.scene_dir(assets)
    proc = session.start(argv, cwd=folder)
    return proc


def measure_period(session, args):
    trace = f"{session.tmp}/sleeps.trace"
    proc = launch(session, ["strace", "-f", "-qq", "--seccomp-bpf", "-e", "trace=clock_nanosleep",
                            "-e", "signal=none", "-o", trace, args.scene], args.assets)
    time.sleep(0.5)
    # strace's child is the program; its main thread's id is its pid.
    pid_out = subprocess.run(["pgrep", "-P", str(proc.pid)], capture_output=True, text=True)
    scene_pid = int(pid_out.stdout.split()[0])
    window = session.find_window(scene_pid)
    time.sleep(args.frames * 0.0185 + 1.0)
    session.activate(window)
    session.key("Escape")
    code = wait_exit(proc, 5)

    deadlines = []
    with open(trace) as f:
        for line in f:
            m = SLEEP.match(line)
            if m and int(m.group(1)) == scene_pid:
                deadlines.append(int(m.group(2)) * 1_000_000_000 + int(m.group(3)))
    periods = [(b - a) / 1e6 for a, b in zip(deadlines, deadlines[1:])]
    if not periods:
        raise SystemExit("no sleeps of the scene's thread were traced")
    print(f"frame period over {len(periods)} frames (exit code {code}):")
    print(f"  shortest {min(periods):.3f} ms, median {statistics.median(periods):.3f} ms, "
          f"99th percentile {percentile(periods, 99):.3f} ms, longest {max(periods):.3f} ms")
    print(f"  frames below 18 ms: {sum(1 for p in periods if p < 18.0)}")


class Xtest:
    """Key events through XTEST on a connection of our own."""

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.dpy = self.x.XOpenDisplay(display.encode())
        self.space = self.x.XKeysymToKeycode(self.dpy, 0x20)

    def space_key(self, down):
        self.xtst.XTestFakeKeyEvent(self.dpy, self.space, 1 if down else 0, 0)
        self.x.XSync(self.dpy, 0)

    def close(self):
        self.x.XCloseDisplay(self.dpy)


def disc_shown(session, ox, oy):
    """Whether a whole radius-8 black disc shows where the shot starts."""
    left, top, width, height = 240, 255, 60, 60
    shot = session.shot(ox + left, oy + top, width, height)
    for cy in range(top + 8, top + height - 8):
        for cx in range(left + 8, left + width - 8):
            if shot.pixel(ox + cx, oy + cy) != 0:
                continue
            if all(shot.pixel(ox + cx + dx, oy + cy + dy) == 0 for dy in range(-8, 9)
                   for dx in range(-HALF_WIDTHS[abs(dy)], HALF_WIDTHS[abs(dy)] + 1)):
                return True
    return False


def measure_shot(session, args):
    keys = Xtest(session.display)
    latencies = []
    for _ in range(args.runs):
        proc = launch(session, [args.scene], args.assets)
        window = session.find_window(proc.pid)
        session.activate(window)
        ox, oy, _, _ = session.geometry(window)
        time.sleep(0.4)
        keys.space_key(True)
        pressed = time.monotonic()
        seen = None
        while time.monotonic() - pressed < 0.5:
            if disc_shown(session, ox, oy):
                seen = time.monotonic()
                break
        keys.space_key(False)
        session.key("Escape")
        wait_exit(proc, 3)
        if proc.poll() is None:
            proc.kill()
        if seen is None:
            print("  run without a disc seen within 0.5 s")
            continue
        latencies.append((seen - pressed) * 1000)
    keys.close()
    print(f"space bar down to the first screenshot showing the shot, {len(latencies)} runs:")
    print(f"  shortest {min(latencies):.1f} ms, median {statistics.median(latencies):.1f} ms, "
          f"90th percentile {percentile(latencies, 90):.1f} ms, longest {max(latencies):.1f} ms")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scene", required=True)
    parser.add_argument("--assets", required=True)
    sub = parser.add_subparsers(dest="what", required=True)
    period = sub.add_parser("period")
    period.add_argument("--frames", type=int, default=700)
    shot = sub.add_parser("shot")
    shot.add_argument("--runs", type=int, default=30)
    args = parser.parse_args()
    args.scene = os.path.abspath(args.scene)
    args.assets = os.path.abspath(args.assets)
    with XSession() as session:
        if args.what == "period":
            measure_period(session, args)
        else:
            measure_shot(session, args)


if __name__ == "__main__":
    main()
