"""Figures of scene.exe under Wine beside the Linux build, in one X session
(Xvfb with openbox): the time from the start to the first frame on the
screen, and the CPU the program takes windowed. Prints them with the processor.

  /usr/bin/python3 tests/e2e/measure_wine.py --scene build/test-release/scene \\
      --exe build/test-windows/scene.exe --assets assets [--wine wine] [--seconds 10]

The Wine figures count the program's own process and, beside it, the
wineserver, which does part of every Windows program's work under Wine."""

import argparse
import os
import statistics
import subprocess
import time

from xsession import CLIENT_H, CLIENT_W, XSession

parser = argparse.ArgumentParser()
parser.add_argument("--scene", required=True, help="the Linux build's scene")
parser.add_argument("--exe", required=True, help="the Windows build's scene.exe")
parser.add_argument("--assets", required=True)
parser.add_argument("--wine", default="wine")
parser.add_argument("--seconds", type=float, default=10.0)
parser.add_argument("--starts", type=int, default=3)
args = parser.parse_args()
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime + stime


def wineserver_pids():
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/comm") as f:
                    if f.read().strip().startswith("wineserver"):
                        pids.append(int(entry))
            except OSError:
                pass
    return pids


def processor():
    for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
        if line.startswith("Model name"):
            return line.split(":", 1)[1].strip()
    return "unknown"


def launch(session, argv, env, folder):
    start = time.monotonic()
    proc = session.start(argv, cwd=folder, env=env)
    window = session.find_window(proc.pid, timeout=30)
    return proc, window, start


def first_frame(session, window, start):
    """Seconds from the start until the client area shows more than black."""
    while time.monotonic() - start < 30:
        x, y, _, _ = session.geometry(window)
        shot = session.shot(x, y, CLIENT_W, CLIENT_H)
        if len(shot.colours(x, y, CLIENT_W, CLIENT_H, step=37)) > 1:
            return time.monotonic() - start
    raise RuntimeError("no frame within 30 s")


def end(session, proc, window):
    session.activate(window)
    session.key("Escape")
    proc.wait(timeout=10)


def measure(session, name, argv, env):
    folder = session.scene_dir(args.assets, name=name)
    starts = []
    for _ in range(args.starts):
        proc, window, start = launch(session, argv, env, folder)
        starts.append(first_frame(session, window, start))
        end(session, proc, window)
        time.sleep(1.0)
    proc, window, _ = launch(session, argv, env, folder)
    first_frame(session, window, time.monotonic())
    time.sleep(1.0)
    servers = wineserver_pids() if name == "wine" else []
    before = cpu_seconds(proc.pid), sum(cpu_seconds(p) for p in servers)
    t0 = time.monotonic()
    time.sleep(args.seconds)
    wall = time.monotonic() - t0
    after = cpu_seconds(proc.pid), sum(cpu_seconds(p) for p in servers)
    end(session, proc, window)
    return statistics.median(starts), 100 * (after[0] - before[0]) / wall, 100 * (after[1] - before[1]) / wall


def main():
    with XSession() as session:
        prefix = os.environ.get("WINEPREFIX") or os.path.join(os.path.dirname(os.path.abspath(args.exe)),
                                                              "wineprefix")
        wine_env = dict(session.env(), WINEPREFIX=prefix, WINEDEBUG="-all")
        # A first Wine start brings up the wineserver and its services; the
        # figures are of the starts after it, as a user's would be.
        proc, window, _ = launch(session, [args.wine, os.path.abspath(args.exe)], wine_env,
                                 session.scene_dir(args.assets, name="warm-up"))
        end(session, proc, window)
        linux = measure(session, "linux", [os.path.abspath(args.scene)], session.env())
        wine = measure(session, "wine", [args.wine, os.path.abspath(args.exe)], wine_env)
    print(f"processor: {processor()}")
    print(f"Xvfb 1280x1024x24 with openbox; start to first frame is the median of {args.starts} starts;")
    print(f"CPU windowed over {args.seconds:.0f} s, in % of one core")
    print(f"{'':24}{'start to first frame':>22}{'CPU windowed':>14}{'wineserver':>12}")
    print(f"{'Linux build (SDL2)':24}{linux[0] * 1000:>19.0f} ms{linux[1]:>13.1f}%{'-':>12}")
    print(f"{'scene.exe under Wine':24}{wine[0] * 1000:>19.0f} ms{wine[1]:>13.1f}%{wine[2]:>11.1f}%")


if __name__ == "__main__":
    main()
