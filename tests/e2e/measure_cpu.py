"""CPU of the running program beside another build, in one X session (not a
test; prints numbers).

  measure_cpu.py --scene BIN --assets DIR --baseline OTHER_BIN [--rounds 5] [--seconds 6]

Each round runs both builds, windowed and in full screen (Alt+Enter), one
after the other in an order that alternates from round to round, and takes
the CPU time of the program and of the X server over the same seconds. It
prints the median of each and the ratio of this build to the other.
"""

import argparse
import os
import statistics
import time

from measure_display import cpu_seconds
from xsession import XSession, parse_args, wait_exit


def one_run(session, binary, assets, full_screen, seconds, xvfb_pid):
    proc = session.start([binary], cwd=session.scene_dir(assets))
    window = session.find_window(proc.pid)
    session.activate(window)
    if full_screen:
        session.key("alt+Return")
    time.sleep(1.5)
    program, server, start = cpu_seconds(proc.pid), cpu_seconds(xvfb_pid), time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    program = (cpu_seconds(proc.pid) - program) / elapsed
    server = (cpu_seconds(xvfb_pid) - server) / elapsed
    session.activate(window)
    session.key("Escape")
    wait_exit(proc, 10)
    return 100 * program, 100 * server


def main():
    args = parse_args()
    extra = argparse.ArgumentParser()
    extra.add_argument("--baseline", required=True)
    extra.add_argument("--rounds", type=int, default=5)
    extra.add_argument("--seconds", type=float, default=6.0)
    more = extra.parse_args()
    builds = {"this build": args.scene, "baseline": os.path.abspath(more.baseline)}
    samples = {}
    with XSession() as session:
        xvfb_pid = session.procs[0].pid
        for round_number in range(more.rounds):
            order = list(builds.items())
            if round_number % 2:
                order.reverse()
            for mode in ("windowed", "full screen"):
                for name, binary in order:
                    got = one_run(session, binary, args.assets, mode == "full screen", more.seconds, xvfb_pid)
                    samples.setdefault((name, mode), []).append(got)
    for mode in ("windowed", "full screen"):
        medians = {}
        for name in builds:
            runs = samples[(name, mode)]
            medians[name] = (statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs))
            print(f"{mode:12} {name:10}: program {medians[name][0]:5.2f}% of a core, "
                  f"X server {medians[name][1]:5.2f}%  (runs: " +
                  ", ".join(f"{r[0]:.2f}" for r in runs) + ")")
        ours, theirs = medians["this build"], medians["baseline"]
        print(f"{mode:12} ratio     : program {ours[0] / theirs[0]:.2f}, X server {ours[1] / theirs[1]:.2f}")


if __name__ == "__main__":
    main()
