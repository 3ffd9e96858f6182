"""Figures of the running program under Xvfb (not a test; prints numbers).

  measure_display.py --scene BIN --assets DIR cpu [--seconds 10] [--render-driver software|opengl] [--full-screen]
  measure_display.py --scene BIN --assets DIR startup [--runs 10]
  measure_display.py --scene BIN --assets DIR soak [--minutes 10] [--interval-ms 5]

cpu:     CPU time of the program over a window of seconds, windowed, in % of one core.
startup: from just before the process is started to the first frame on screen
         (the centre of the client area neither the root colour nor black), and
         to the window showing (black or a frame), over several runs.
soak:    a key typed every interval by xdotool for the given minutes; resident
         memory every 30 s, then ESC and the time until the process has ended.
"""

import argparse
import os
import statistics
import subprocess
import time

from xsession import XSession, root_colour, wait_exit

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def launch(session, args, env_extra=None):
    env = session.env()
    env.update(env_extra or {})
    proc = session.start([args.scene], cwd=session.scene_dir(args.assets), env=env)
    window = session.find_window(proc.pid)
    session.activate(window)
    return proc, window


def quit(session, proc, window):
    session.activate(window)
    start = time.monotonic()
    session.key("Escape")
    code = wait_exit(proc, 10)
    return code, time.monotonic() - start


def measure_cpu(args):
    env = {"SDL_RENDER_DRIVER": args.render_driver} if args.render_driver else {}
    with XSession() as session:
        proc, window = launch(session, args, env)
        if args.full_screen:
            session.key("alt+Return")
        time.sleep(1.0)
        before, start = cpu_seconds(proc.pid), time.monotonic()
        time.sleep(args.seconds)
        used, elapsed = cpu_seconds(proc.pid) - before, time.monotonic() - start
        code, _ = quit(session, proc, window)
    print(f"cpu: {'full screen' if args.full_screen else 'windowed'}, renderer "
          f"{args.render_driver or 'chosen by the program'}: "
          f"{100 * used / elapsed:.2f}% of one core over {elapsed:.1f} s (exit code {code})")


def measure_startup(args):
    root = root_colour()
    shown_ms, frame_ms = [], []
    with XSession() as session:
        cx, cy = 1280 // 2, 1024 // 2 + 20  # inside the client area, wherever the title bar goes
        for _ in range(args.runs):
            start = time.monotonic()
            proc = session.start([args.scene], cwd=session.scene_dir(args.assets))
            shown = None
            while time.monotonic() - start < 5:
                pixel = session.shot(cx, cy, 1, 1).pixel(cx, cy)
                now = (time.monotonic() - start) * 1000
                if pixel != root and shown is None:
                    shown = now
                if pixel not in (root, 0):
                    frame_ms.append(now)
                    break
            shown_ms.append(shown)
            code, _ = quit(session, proc, session.find_window(proc.pid))
            if code != 0:
                print(f"startup: run ended with {code}")
    print(f"startup: window shown after median {statistics.median(shown_ms):.1f} ms, "
          f"max {max(shown_ms):.1f} ms; first frame shown after median "
          f"{statistics.median(frame_ms):.1f} ms, max {max(frame_ms):.1f} ms ({args.runs} runs)")


def measure_soak(args):
    with XSession() as session:
        proc, window = launch(session, args)
        keys = int(args.minutes * 60_000 / args.interval_ms)
        typist = session.start(["xdotool", "key", "--delay", "0", "--repeat", str(keys), "--repeat-delay",
                                str(args.interval_ms), "a"])
        start = time.monotonic()
        samples = []
        while typist.poll() is None:
            samples.append(((time.monotonic() - start) / 60, rss_kib(proc.pid)))
            print(f"soak: {samples[-1][0]:5.2f} min  RSS {samples[-1][1]} KiB", flush=True)
            try:
                typist.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
        typed_minutes = (time.monotonic() - start) / 60
        samples.append((typed_minutes, rss_kib(proc.pid)))
        alive = proc.poll() is None
        code, exit_s = quit(session, proc, window)
    after_first = [kib for minute, kib in samples if minute >= 1.0]
    print(f"soak: {keys} keys over {typed_minutes:.1f} min, program alive throughout: {alive}")
    print(f"soak: RSS at 1 min {after_first[0] if after_first else '?'} KiB, at the end "
          f"{samples[-1][1]} KiB, largest growth after the first minute "
          f"{max(after_first) - after_first[0] if after_first else 0} KiB")
    print(f"soak: ESC afterwards ended it in {exit_s * 1000:.0f} ms with exit code {code}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scene", required=True)
    parser.add_argument("--assets", required=True)
    sub = parser.add_subparsers(dest="what", required=True)
    cpu = sub.add_parser("cpu")
    cpu.add_argument("--seconds", type=float, default=10)
    cpu.add_argument("--render-driver", default="")
    cpu.add_argument("--full-screen", action="store_true", help="measure after Alt+Enter")
    startup = sub.add_parser("startup")
    startup.add_argument("--runs", type=int, default=10)
    soak = sub.add_parser("soak")
    soak.add_argument("--minutes", type=float, default=10)
    soak.add_argument("--interval-ms", type=int, default=5)
    args = parser.parse_args()
    args.scene, args.assets = os.path.abspath(args.scene), os.path.abspath(args.assets)
    {"cpu": measure_cpu, "startup": measure_startup, "soak": measure_soak}[args.what](args)


if __name__ == "__main__":
    main()
