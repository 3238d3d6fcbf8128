#!/usr/bin/env python3
"""The real-time figures: kt57d (the Qt shell, on an X display such as xvfb-run's) against
kt57-board over a pseudo-terminal, each in a private XDG_RUNTIME_DIR.

kt57d runs with frame_clock.so preloaded, which stamps with CLOCK_MONOTONIC every poll of the
board (one per tick while a reply is awaited), every command frame written and every read.

  command loop (W0000001, JMP 001), >= 10 s:
    command rate  replies in the board's log between its first and last command, per second,
                  over the design's 100 per second
    tick period   time between consecutive polls, that is between the starts of ticks
    start-up      from just before kt57d is started to its first frame
  sleep loop (W0000001, SLP 2.5, W0000002, JMP 001), >= 10 s:
    sleep         from the start of the tick that takes W0000001's reply and runs the SLP to
                  the W0000002 frame; nominal 2.5 s

  baseline: bench/wake_baseline.cpp, a bare 10 ms sleeper, run right after the command loop

With --busy, only the command loop runs, while another process keeps one core busy: the figures
of a desktop where something else is working.

Writes the figures as JSON to --out, and each session's two logs beside it."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SERIAL = "BENCH001"
COMMAND_LOOP = "001 W0000001\n    JMP 001\n"
SLEEP_LOOP = "001 W0000001\n    SLP 2.5\n    W0000002\n    JMP 001\n"
SLEEP_SECONDS = 2.5


def monotonic_ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC)


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def run_session(build, program, seconds, name, logs):
    """Runs kt57d on program against a fresh kt57-board for seconds after its first frame.
    Returns (launch_ns, clock events, board log lines); the two logs are kept in logs as
    <name>-board.log and <name>-frame-clock.log."""
    scratch = tempfile.mkdtemp(prefix="kt57-bench-realtime-")
    runtime = os.path.join(scratch, "runtime")
    work = os.path.join(scratch, "work")
    os.makedirs(runtime, mode=0o700)
    os.makedirs(work)
    with open(os.path.join(work, "KT57Data.txt"), "w") as f:
        f.write(program)
    with open(os.path.join(work, "KT57Mode.txt"), "w") as f:
        f.write("AD\n" + SERIAL + "\n")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    env.pop("QT_QPA_PLATFORM", None)  # the real window system: the X server of xvfb-run
    board_log_path = os.path.join(scratch, "board.log")
    clock_path = os.path.join(scratch, "frame-clock.log")

    board_log = open(board_log_path, "w")
    board = subprocess.Popen([os.path.join(build, "tools/kt57-board/kt57-board"), "--headless", "--serial", SERIAL],
                             stdin=subprocess.PIPE, stdout=board_log, stderr=subprocess.DEVNULL, env=env, text=True)
    try:
        if not wait_for(lambda: "serving" in open(board_log_path).read(), 10):
            raise RuntimeError("kt57-board did not start serving")
        kt57d_env = dict(env, LD_PRELOAD=os.path.join(build, "bench/kt57_frame_clock.so"), KT57_FRAME_CLOCK=clock_path)
        launch_ns = monotonic_ns()
        kt57d = subprocess.Popen([os.path.join(build, "platform/qt/kt57d")], cwd=work, env=kt57d_env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if not wait_for(lambda: os.path.exists(clock_path) and
                            any(line.startswith("W ") for line in open(clock_path)), 15):
                raise RuntimeError("kt57d sent no frame to the board")
            time.sleep(seconds)
            subprocess.run([os.path.join(build, "tools/kt57-ctl/kt57-ctl"), "close"], env=env, timeout=15,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            kt57d.wait(timeout=15)
        finally:
            if kt57d.poll() is None:
                kt57d.kill()
                kt57d.wait()
    finally:
        try:
            board.stdin.write("quit\n")
            board.stdin.flush()
            board.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            board.kill()
            board.wait()
        board_log.close()

    shutil.copy(board_log_path, os.path.join(logs, name + "-board.log"))
    shutil.copy(clock_path, os.path.join(logs, name + "-frame-clock.log"))
    board_lines = open(board_log_path).read().splitlines()
    events = []
    for line in open(clock_path):
        parts = line.split()
        if len(parts) >= 2:
            events.append((parts[0], int(parts[1]), parts[2] if len(parts) > 2 else ""))
    shutil.rmtree(scratch, ignore_errors=True)
    return launch_ns, events, board_lines


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def board_times(lines, kind):
    """Seconds of each board event of kind ('command', 'reply')."""
    times = []
    for line in lines:
        parts = line.split()
        if len(parts) >= 2 and parts[1] == kind:
            times.append(float(parts[0]))
    return times


def command_loop_figures(build, seconds, logs, prefix=""):
    launch_ns, events, board_lines = run_session(build, COMMAND_LOOP, seconds, prefix + "command-loop", logs)
    frames = [at for kind, at, _ in events if kind == "W"]
    polls = [at for kind, at, _ in events if kind == "P"]
    commands = board_times(board_lines, "command")
    replies = board_times(board_lines, "reply")
    first, last = commands[0], commands[-1]
    acknowledged = sum(1 for t in replies if first <= t <= last)
    rate = acknowledged / (last - first)
    # Steady running: from half a second after the first frame to the last one.
    steady = [at for at in polls if frames[0] + 500_000_000 <= at <= frames[-1]]
    periods = [(b - a) / 1e6 for a, b in zip(steady, steady[1:])]
    return {
        "command_seconds": last - first,
        "commands_acknowledged": acknowledged,
        "command_rate_per_s": rate,
        "command_rate_ratio": rate / 100.0,
        "tick_periods": len(periods),
        "tick_period_p50_ms": percentile(periods, 0.50),
        "tick_period_p99_ms": percentile(periods, 0.99),
        "tick_period_max_ms": max(periods),
        "startup_s": (frames[0] - launch_ns) / 1e9,
        # The same from the moment the libraries were loaded and the program's own code began.
        "startup_after_loading_s": (frames[0] - next(at for kind, at, _ in events if kind == "S")) / 1e9,
    }


def sleep_figures(build, seconds, logs):
    _, events, _ = run_session(build, SLEEP_LOOP, seconds, "sleep-loop", logs)
    sleeps = []
    last_poll = None
    slp_tick = None
    awaiting_first_reply = False
    for kind, at, detail in events:
        if kind == "P":
            last_poll = at
        elif kind == "W" and detail == "W0000001":
            awaiting_first_reply, slp_tick = True, None
        elif kind == "R" and awaiting_first_reply:
            awaiting_first_reply, slp_tick = False, last_poll  # this tick takes the reply and runs the SLP
        elif kind == "W" and detail == "W0000002" and slp_tick is not None:
            sleeps.append((at - slp_tick) / 1e9)
            slp_tick = None
    return {
        "sleeps": len(sleeps),
        "sleep_min_s": min(sleeps),
        "sleep_max_s": max(sleeps),
        "sleep_early": min(sleeps) < SLEEP_SECONDS,
        "sleep_late_max_pct": (max(sleeps) - SLEEP_SECONDS) / SLEEP_SECONDS * 100.0,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build directory (Release, KT57_BENCHMARKS=ON)")
    parser.add_argument("--seconds", type=float, default=12.0, help="length of each session after the first frame")
    parser.add_argument("--busy", action="store_true", help="keep one core busy meanwhile; the command loop only")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if "DISPLAY" not in os.environ:
        sys.exit("realtime.py: no X display; run it under xvfb-run -a")
    build = os.path.abspath(args.build)
    logs = os.path.dirname(os.path.abspath(args.out))
    if args.busy:
        # A process that never sleeps: one core taken, as by a compiler or a browser beside kt57d.
        spinner = subprocess.Popen([sys.executable, "-c", "while True: pass"])
        try:
            figures = command_loop_figures(build, args.seconds, logs, "busy-")
        finally:
            spinner.kill()
            spinner.wait()
        with open(args.out, "w") as f:
            json.dump(figures, f, indent=1)
        return
    figures = command_loop_figures(build, args.seconds, logs)
    # The machine's own wake-up lateness right after the session, to read the tick figures by.
    baseline = subprocess.run([os.path.join(build, "bench/kt57_wake_baseline")], capture_output=True, text=True,
                              check=True)
    figures.update(json.loads(baseline.stdout))
    figures.update(sleep_figures(build, max(args.seconds, 13.0), logs))
    with open(args.out, "w") as f:
        json.dump(figures, f, indent=1)


if __name__ == "__main__":
    main()
