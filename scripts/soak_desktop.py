#!/usr/bin/env python3
"""The desktop soak: the real kt57d under Xvfb against `kt57-board --headless`, with board faults
and operator actions at random, for a given time. Fails on the first breach; docs/reliability.md
lists what it drives and checks. Standard library only; scripts/soak-desktop.sh builds and calls it.
"""

import argparse
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

CTL_DEADLINE = 5.0        # every kt57-ctl call returns within this, or kt57d hangs
RECOVERY_WINDOW = 3.0     # frames again this long after G, once a fault has ended
STOP_DEADLINE = 4.0       # a long fault's stop: sleep 0.5 s + a burst + 100 polls, with slack
DEVICE_STOP_DEADLINE = 3.5  # 100 failed opens 10 ms apart, after G, with slack
SETTLE_DEADLINE = 4.0     # after a fault: its late stop (a reply it swallowed) or frames again
WARM_UP = 60.0
# kt57d's own memory: anonymous pages (heap, stacks) and shared memory (its X image buffers). Its
# resident file pages are left out: the font file and the Qt libraries page in as new glyphs and
# code paths are first touched, which is shared page cache bounded by the files, not growth.
RSS_GROWTH_LIMIT_KIB = 1024
SAMPLE_PERIOD = 5.0
# glibc raises its mmap threshold to the largest block freed so far, and its trim threshold to
# twice that. After the first resizes the console's image (1.3 MiB, up to 2.1 MiB while the window
# is larger) therefore comes from the heap, which keeps 2-4 MiB of free space resident for the
# images to come and go in. A small block that stays (a glyph tile for a byte shown the first time)
# can split that space, and the next image then grows the heap by about its own size: 1.7 MiB more
# resident for 0.1 MiB more held, at any time in a run. Pinned at glibc's default, the threshold
# gives every image a mapping of its own, returned when freed, so resident memory follows what
# kt57d holds, and a leak shows at once instead of filling that free space first.
KT57D_MALLOC_TUNABLES = "glibc.malloc.mmap_threshold=131072"
# A rise of the memory's floor counts towards steady growth only above one page: between two
# samples the heap's top creeps by a page now and then as blocks kt57d keeps come and go.
PAGE_KIB = os.sysconf("SC_PAGE_SIZE") // 1024
# The operator's resizes: up to this many pixels wider and half as many higher, then back.
RESIZE_GROWTH = 200
# Qt runs some of its own work (seen after resizes) on its global thread pool, which keeps each
# helper thread, with an eventfd, for 30 s after its last job: counts are compared once it has none.
POOL_THREAD = "Thread (pooled)"
POOL_IDLE_DEADLINE = 45.0

# Sends, reads, jumps and sleeps: five W/R rounds that branch on the inputs, then a sleep, which
# lets the board go, so the next round must open it again.
PROGRAM = """/ the desktop soak's program
    POL 000000
010 SET 5
020 OR@ 000001
    W0@
    R0000000
    AND 000003
    JOK 030
    OR  000004
    JNG 040
030 AN@ FFFFF0
    W0@
040 DEC
    JNZ 020
    W0<15
    SLP 0.5
    JMP 010
"""


# The board log's line for a frame from the sequencer: "  12.345  command    W0000001\x0D".
COMMAND_LINE = re.compile(r"^\s*\d+\.\d{3}  command  ")


class Breach(Exception):
    pass


class Board:
    """kt57-board --headless: control lines in, every log line kept with its index."""

    def __init__(self, program, env, log_path):
        self.lines = []
        self.commands = 0
        self.changed = threading.Condition()
        self.log = open(log_path, "w", encoding="utf-8", errors="replace")
        self.process = subprocess.Popen(
            [program, "--headless"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
            env=env, text=True, errors="replace", bufsize=1)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            line = line.rstrip("\n")
            self.log.write(line + "\n")
            with self.changed:
                self.lines.append(line)
                if COMMAND_LINE.match(line):
                    self.commands += 1
                self.changed.notify_all()
        self.log.flush()
        with self.changed:
            self.changed.notify_all()

    def send(self, line):
        try:
            self.process.stdin.write(line + "\n")
            self.process.stdin.flush()
        except (BrokenPipeError, OSError) as error:
            raise Breach(f"kt57-board no longer reads its controls ({error})")

    def mark(self):
        with self.changed:
            return len(self.lines)

    def wait_for(self, pattern, since, deadline):
        """The index of the first line at or after `since` that matches, or None at the deadline."""
        expression = re.compile(pattern)
        with self.changed:
            while True:
                for index in range(since, len(self.lines)):
                    if expression.search(self.lines[index]):
                        return index
                since = len(self.lines)
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self.process.poll() is not None:
                    return None
                self.changed.wait(min(remaining, 0.1))

    def lines_between(self, start, end):
        with self.changed:
            return self.lines[start:end]


class Soak:
    def __init__(self, args):
        self.args = args
        self.random = random.Random(args.seed)
        self.started = time.monotonic()
        self.duration = args.minutes * 60.0
        self.faults = 0
        self.recoveries = 0
        self.fault_kinds = {}
        self.ctl_slowest = 0.0
        self.samples = []
        self.garbage_times = []     # when each garbage fault began: new bytes on the screen
        self.baseline = None
        self.baseline_time = None
        self.baseline_note = ""
        self.final = None
        self.resident = 0           # VmRSS at the last sample, file pages included, for the report
        self.resident_baseline = 0
        self.processes = []
        self.latency_faults = False
        self.next_inputs = 0
        self.inputs = 0
        self.last_stops = 0
        self.work = tempfile.mkdtemp(prefix="kt57-soak-desktop-")
        self.runtime = os.path.join(self.work, "runtime")
        self.folder = os.path.join(self.work, "program")
        os.mkdir(self.runtime, 0o700)
        os.mkdir(self.folder)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("QT_QPA_PLATFORM", None)

    # ---- time and reporting

    def elapsed(self):
        return time.monotonic() - self.started

    def say(self, text):
        print(f"soak-desktop: {self.elapsed():7.1f} s  {text}", flush=True)

    def fail(self, text):
        raise Breach(text)

    # ---- kt57-ctl

    def ctl(self, *words, expect=0):
        begun = time.monotonic()
        try:
            done = subprocess.run([self.args.ctl, *words], env=self.env, capture_output=True, text=True,
                                  timeout=CTL_DEADLINE)
        except subprocess.TimeoutExpired:
            self.fail(f"kt57-ctl {' '.join(words)} did not return within {CTL_DEADLINE:.0f} s: kt57d hangs")
        took = time.monotonic() - begun
        self.ctl_slowest = max(self.ctl_slowest, took)
        if expect is not None and done.returncode != expect:
            self.fail(f"kt57-ctl {' '.join(words)} exited {done.returncode}: {done.stderr.strip()}")
        return done

    def state(self):
        line = self.ctl("state").stdout.strip()
        if not line.startswith("state "):
            self.fail(f"kt57-ctl state printed {line!r}")
        values = dict(word.split("=", 1) for word in line.split()[1:])
        values["line"] = line
        self.last_stops = self.stops(values)
        return values

    @staticmethod
    def stops(state):
        return int(state["data-stops"]) + int(state["loop-stops"]) + int(state["device-stops"])

    @staticmethod
    def stopped(state):
        return int(state["next"]) >= int(state["count"])

    def wait_state(self, what, predicate, deadline):
        """Polls the state until predicate holds; the last state, or a breach at the deadline."""
        while True:
            current = self.state()
            if predicate(current):
                return current
            if time.monotonic() >= deadline:
                self.fail(f"{what}: not within the deadline; last state: {current['line']}")
            time.sleep(0.03)

    def key(self, name):
        self.ctl("key", name)

    # ---- processes

    def start(self):
        board_log = os.path.join(self.work, "board.log")
        self.board = Board(self.args.board, self.env, board_log)
        self.processes.append(self.board.process)
        if self.board.wait_for(r"^kt57-board: serving ", 0, time.monotonic() + 10) is None:
            self.fail("kt57-board did not say it serves a board within 10 s")
        self.probe_latency()

        self.display = self.start_xvfb()
        with open(os.path.join(self.folder, "KT57Data.txt"), "w", encoding="ascii") as program:
            program.write(PROGRAM)
        with open(os.path.join(self.folder, "KT57Mode.txt"), "w", encoding="ascii") as mode:
            mode.write("AD\n")  # automatic, detail view: the frames are drawn too
        self.kt57d_log = open(os.path.join(self.work, "kt57d.log"), "w")
        self.kt57d = subprocess.Popen([self.args.kt57d], cwd=self.folder, env=self.kt57d_env(),
                                      stdout=self.kt57d_log, stderr=subprocess.STDOUT)
        self.processes.append(self.kt57d)
        deadline = time.monotonic() + 20
        while self.ctl("state", expect=None).returncode != 0:
            if self.kt57d.poll() is not None:
                self.fail(f"kt57d ended during start-up with status {self.kt57d.returncode}")
            if time.monotonic() >= deadline:
                self.fail("kt57d did not answer kt57-ctl within 20 s of its start")
            time.sleep(0.05)
        self.ctl_slowest = 0.0  # start-up's own waits delay the first answer, by design
        self.window = self.find_window()
        self.window_size = self.xdotool("getwindowgeometry", "--shell", self.window)
        self.width = int(re.search(r"WIDTH=(\d+)", self.window_size).group(1))
        self.height = int(re.search(r"HEIGHT=(\d+)", self.window_size).group(1))
        self.say(f"kt57d pid {self.kt57d.pid} on {self.display}, window {self.window} {self.width}x{self.height}; "
                 f"logs in {self.work}")

    def kt57d_env(self):
        env = dict(self.env, DISPLAY=self.display)
        env["GLIBC_TUNABLES"] = ":".join(filter(None, [env.get("GLIBC_TUNABLES"), KT57D_MALLOC_TUNABLES]))
        if self.args.plant_leak:
            env["LD_PRELOAD"] = " ".join(filter(None, [self.args.plant_leak, env.get("LD_PRELOAD")]))
        return env

    def start_xvfb(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                stderr=open(os.path.join(self.work, "xvfb.log"), "w"))
        os.close(write_end)
        self.processes.append(xvfb)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                self.fail("Xvfb did not report its display within 15 s")
            number += chunk
        os.close(read_end)
        return ":" + number.decode().strip()

    def xdotool(self, *words):
        try:
            done = subprocess.run(["xdotool", *words], env=dict(self.env, DISPLAY=self.display), capture_output=True,
                                  text=True, timeout=CTL_DEADLINE)
        except subprocess.TimeoutExpired:
            self.fail(f"xdotool {' '.join(words)} did not return within {CTL_DEADLINE:.0f} s")
        if done.returncode != 0:
            self.fail(f"xdotool {' '.join(words)} failed: {done.stderr.strip()}")
        return done.stdout

    def find_window(self):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            done = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.kt57d.pid)],
                                  env=dict(self.env, DISPLAY=self.display), capture_output=True, text=True,
                                  timeout=CTL_DEADLINE)
            windows = done.stdout.split()
            if windows:
                return windows[0]
            time.sleep(0.05)
        self.fail("kt57d's window did not show within 10 s")

    def probe_latency(self):
        """A board that knows `latency` takes it; one that does not answers an error line."""
        since = self.board.mark()
        self.board.send("latency 1")
        self.board.send(f"input {self.inputs:06X}")
        end = self.board.wait_for(rf"inputs\s+{self.inputs:06X}", since, time.monotonic() + 5)
        if end is None:
            self.fail("kt57-board did not note an input change within 5 s")
        refused = [line for line in self.board.lines_between(since, end) if line.startswith("kt57-board:")]
        self.latency_faults = not refused
        self.say("latency faults: " + ("on, kt57-board accepts `latency`" if self.latency_faults
                                      else "off, kt57-board refuses `latency` (" + refused[0] + ")"))

    # ---- resources

    def sample(self):
        pid = self.kt57d.pid
        try:
            with open(f"/proc/{pid}/status") as status:
                fields = status.read()
            rss = sum(int(re.search(rf"{name}:\s+(\d+)", fields).group(1)) for name in ("RssAnon", "RssShmem"))
            self.resident = int(re.search(r"VmRSS:\s+(\d+)", fields).group(1))
            fds = len(os.listdir(f"/proc/{pid}/fd"))
            threads = len(os.listdir(f"/proc/{pid}/task"))
        except (OSError, AttributeError) as error:
            self.fail(f"cannot read kt57d's /proc entries: {error}")
        return rss, fds, threads

    def describe_resources(self):
        """What the descriptors point at and the threads' names, to tell a leak from a helper."""
        pid = self.kt57d.pid
        try:
            targets = sorted(re.sub(r":\[\d+\]", "", os.readlink(f"/proc/{pid}/fd/{fd}"))
                             for fd in os.listdir(f"/proc/{pid}/fd"))
            names = self.thread_names()
        except OSError as error:
            return f"({error})"
        return f"fds [{', '.join(targets)}] threads [{', '.join(sorted(names))}]"

    def thread_names(self):
        names = []
        for task in os.listdir(f"/proc/{self.kt57d.pid}/task"):
            try:
                with open(f"/proc/{self.kt57d.pid}/task/{task}/comm") as comm:
                    names.append(comm.read().strip())
            except OSError:
                pass  # the thread ended meanwhile
        return names

    def quiet_sample(self):
        """Resources with the program stopped, the board let go and Qt's thread pool idle (stopping
        repaints too, which may wake the pool), once the count of descriptors has held still for
        100 ms: a kt57-ctl connection may be in flight."""
        self.key("S")
        self.wait_state("stopping to measure", lambda s: self.stopped(s) and s["reply"] == "0" and s["link"] == "0",
                        time.monotonic() + 3)
        deadline = time.monotonic() + POOL_IDLE_DEADLINE
        previous = None
        steady = 0
        while steady < 5:
            if time.monotonic() >= deadline:
                self.fail(f"kt57d's resources did not settle within {POOL_IDLE_DEADLINE:.0f} s: "
                          f"{self.describe_resources()}")
            pool_busy = POOL_THREAD in self.thread_names()
            current = self.sample()
            steady = steady + 1 if previous is not None and current[1:] == previous[1:] and not pool_busy else 0
            previous = current
            time.sleep(0.2 if pool_busy else 0.02)
        return previous

    def sample_if_due(self):
        now = self.elapsed()
        if not self.samples or now - self.samples[-1][0] >= SAMPLE_PERIOD:
            self.samples.append((now, *self.sample()))

    def maybe_sample(self, warm_up):
        now = self.elapsed()
        self.sample_if_due()
        if self.baseline is None and now >= warm_up:
            self.baseline = self.quiet_sample()
            self.baseline_time = self.elapsed()
            self.resident_baseline = self.resident
            self.say(f"baseline after {warm_up:.0f} s{self.baseline_note}: own memory {self.baseline[0]} KiB, "
                     f"fds {self.baseline[1]}, threads {self.baseline[2]}: {self.describe_resources()}")
            self.restart_and_expect_frames("the baseline")

    # ---- operator and recovery

    def restart_and_expect_frames(self, after):
        """G on a stopped program; a new command frame must reach the board within 3 s."""
        current = self.state()
        if current["mode"] == "S":
            self.key("esc")
        if not self.stopped(current):
            self.key("S")
            self.wait_state(f"stopping before G after {after}", lambda s: self.stopped(s) and s["reply"] == "0",
                            time.monotonic() + 3)
        since = self.board.mark()
        pressed = time.monotonic()
        self.key("G")
        if self.board.wait_for(COMMAND_LINE.pattern, since, pressed + RECOVERY_WINDOW) is None:
            self.fail(f"no command frame within {RECOVERY_WINDOW:.0f} s of G after {after}; "
                      f"state: {self.state()['line']}")

    def operate(self):
        """One operator action during a quiet spell, checked where its effect is certain."""
        action = self.random.choice(["resize", "stop-continue", "step", "post", "state", "input"])
        if action == "resize":
            self.resize(self.random.randint(1, RESIZE_GROWTH))
        elif action == "stop-continue":
            self.key("S")
            self.wait_state("S stops the program", self.stopped, time.monotonic() + 2)
            self.key("C")
            self.wait_state("C continues the program", lambda s: not self.stopped(s), time.monotonic() + 2)
        elif action == "step":
            self.key("esc")
            self.wait_state("Esc enters step mode", lambda s: s["mode"] == "S", time.monotonic() + 2)
            for _ in range(self.random.randint(1, 6)):
                self.key("enter")
            self.key("esc")
            self.wait_state("Esc leaves step mode", lambda s: s["mode"] in "AP", time.monotonic() + 2)
        elif action == "post":
            letter = self.random.choice("AP")
            self.ctl("post", letter)
            self.wait_state(f"post {letter} sets the mode", lambda s: s["mode"] == letter, time.monotonic() + 2)
        elif action == "state":
            for _ in range(self.random.randint(1, 10)):
                self.state()
        elif action == "input":
            self.inputs = self.random.randrange(1 << 24)
            self.board.send(f"input {self.inputs:06X}")

    def resize(self, grow):
        self.xdotool("windowsize", "--sync", self.window, str(self.width + grow), str(self.height + grow // 2))
        self.xdotool("windowsize", "--sync", self.window, str(self.width), str(self.height))
        self.state()  # the repaints were handled and kt57d still answers

    def quiet_spell(self, end):
        before = self.stops(self.state())
        while time.monotonic() < end:
            self.operate()
            # Within the spell too, so that the samples come every 5 s and not once per spell and
            # fault: the fewer the intervals, the larger the share one cache fill takes of them.
            self.sample_if_due()
        after = self.state()
        if self.stops(after) != before:
            self.fail(f"an error stop with no fault (last-stop={after['last-stop']}); state: {after['line']}")
        if after["mode"] == "S":
            self.key("esc")
        if self.stopped(after):
            self.restart_and_expect_frames("a quiet spell")

    # ---- faults

    # Each fault: the control line that starts it (none: the end line is the whole fault), the one
    # that ends it, and how long it lasts: a short while, or until the stop it must bring.
    def fault_table(self):
        garbage = "".join(f"\\x{self.random.randrange(256):02X}" for _ in range(self.random.randint(1, 30)))
        self.next_inputs = self.random.randrange(1 << 24)
        table = {
            "mute": ("mute", "unmute", "short"),
            "mute-long": ("mute", "unmute", "data stop"),
            "unplug": ("unplug", "plug", "short"),
            "unplug-long": ("unplug", "plug", "device stop"),
            "garbage": (None, "inject " + garbage, "short"),
            "input": (None, f"input {self.next_inputs:06X}", "short"),
        }
        if self.latency_faults:
            table["latency"] = (f"latency {self.random.randint(0, 200)}", "latency 1", "short")
            table["latency-long"] = ("latency 2500", "latency 1", "data stop")  # every reply too late
        return table

    def fault(self):
        table = self.fault_table()
        kind = self.random.choice(sorted(table))
        begin, finish, lasting = table[kind]
        self.faults += 1
        self.fault_kinds[kind] = self.fault_kinds.get(kind, 0) + 1
        before = self.state()
        if before["mode"] not in "AP" or self.stopped(before):
            self.fail(f"the program should run before a fault; state: {before['line']}")
        began = time.monotonic()
        if kind == "garbage":
            self.garbage_times.append(self.elapsed())
        if begin is not None:
            self.board.send(begin)
        if lasting == "short" and begin is not None:
            time.sleep(self.random.uniform(0.05, 0.9))
        elif lasting == "data stop":
            self.wait_state(f"'{begin}' while a reply is awaited: the data error",
                            lambda s: int(s["data-stops"]) > int(before["data-stops"]), began + STOP_DEADLINE)
        elif lasting == "device stop":
            first = self.wait_state(f"'{begin}': a data error or a device connection error",
                                    lambda s: self.stops(s) > self.stops(before), began + STOP_DEADLINE)
            if int(first["device-stops"]) == int(before["device-stops"]):
                # The board went while a reply was awaited; G must now fail to reopen it.
                pressed = time.monotonic()
                self.key("G")
                self.wait_state(f"G after '{begin}': the device connection error after 100 failed opens",
                                lambda s: int(s["device-stops"]) > int(before["device-stops"]),
                                pressed + DEVICE_STOP_DEADLINE)
        if kind == "input":
            self.inputs = self.next_inputs
        self.settle(kind, self.end_fault(finish))
        self.restart_and_expect_frames(f"the fault '{kind}'")
        self.recoveries += 1

    def end_fault(self, line):
        """Sends the line that ends a fault, then an input line that changes nothing: its note in the
        log comes after the board took the first, so log lines after the note follow the fault."""
        since = self.board.mark()
        self.board.send(line)
        self.board.send(f"input {self.inputs:06X}")
        note = self.board.wait_for(rf"inputs\s+{self.inputs:06X}$", since, time.monotonic() + 3)
        if note is None:
            self.fail(f"kt57-board did not take '{line}' within 3 s")
        return note

    def settle(self, kind, since):
        """After a fault: either frames flow on by themselves or the stop it caused has come. A reply
        it swallowed ends in a data error up to 100 polls later, so neither can be assumed sooner."""
        deadline = time.monotonic() + SETTLE_DEADLINE
        while True:
            if self.board.wait_for(COMMAND_LINE.pattern, since + 1, time.monotonic() + 0.1) is not None:
                return
            current = self.state()
            if self.stopped(current):
                return
            if time.monotonic() >= deadline:
                self.fail(f"after the fault '{kind}' the program neither sent a frame nor stopped within "
                          f"{SETTLE_DEADLINE:.0f} s; state: {current['line']}")

    # ---- the run

    def run(self):
        self.start()
        warm_up = WARM_UP
        if self.duration < 2 * WARM_UP:
            warm_up = self.duration / 2
            self.baseline_note = f" (half the run: shorter than twice the {WARM_UP:.0f} s warm-up)"
        self.restart_and_expect_frames("start-up")
        # The X backing store keeps the shared segment of the largest size the window has had: the
        # warm-up gives it that size at once rather than whenever the random resizes reach it.
        self.resize(RESIZE_GROWTH)
        end = self.started + self.duration
        while time.monotonic() < end:
            self.maybe_sample(warm_up)
            self.quiet_spell(min(end, time.monotonic() + self.random.uniform(0.5, 3.0)))
            if time.monotonic() >= end:
                break
            self.fault()
            self.maybe_sample(warm_up)
        if self.baseline is None:
            self.baseline = self.quiet_sample()
            self.baseline_time = self.elapsed()
            self.resident_baseline = self.resident
        self.final = self.quiet_sample()
        self.final_time = self.elapsed()
        self.say(f"at the end: {self.describe_resources()}")
        self.say("faults: " + ", ".join(f"{kind} {count}" for kind, count in sorted(self.fault_kinds.items())))
        self.check_resources()
        self.finish()

    def check_resources(self):
        rss0, fds0, threads0 = self.baseline
        rss1, fds1, threads1 = self.final
        peak = max(sample[1] for sample in self.samples) if self.samples else rss1
        by_minute, next_minute = [], 0.0
        for when, rss, _, _ in self.samples:
            if when >= next_minute:
                by_minute.append(str(rss))
                next_minute += 60.0
        self.say(f"own memory by minute (RssAnon+RssShmem, KiB, running): {' '.join(by_minute)}")
        self.say(f"resources: own memory {rss0}->{rss1} KiB (peak sampled {peak}), resident with file pages "
                 f"{self.resident_baseline}->{self.resident} KiB, fds {fds0}->{fds1}, "
                 f"threads {threads0}->{threads1}; slowest kt57-ctl {self.ctl_slowest * 1000:.0f} ms")
        # The first minute fills most caches once (first texts, first red texts, the glyph tiles of
        # the bytes the board sends): a run with no whole minute after its warm-up minute reports the
        # memory but cannot judge it.
        if self.duration < 2 * WARM_UP:
            self.say(f"own memory not held to the limit: no minute after the {WARM_UP:.0f} s warm-up in a "
                     f"{self.duration / 60:.1f}-minute run")
        else:
            rose, counted = self.memory_floor_rises()
            self.say(f"own memory after the warm-up: {rss1 - rss0:+d} KiB (limit 1 MiB); its floor rose by more "
                     f"than a page in {rose} of {counted} sample intervals without garbage (steady growth: more "
                     f"than half)")
            if rss1 - rss0 > RSS_GROWTH_LIMIT_KIB:
                self.fail(f"kt57d's own resident memory grew by {rss1 - rss0} KiB after the warm-up (limit 1 MiB)")
            if 2 * rose > counted:
                self.fail(f"kt57d's own memory grew steadily after the warm-up: its floor rose by more than a "
                          f"page in {rose} of {counted} sample intervals without garbage, {rss0}->{rss1} KiB")
        if fds1 > fds0:
            self.fail(f"kt57d's open descriptors grew from {fds0} to {fds1}")
        if threads1 > threads0:
            self.fail(f"kt57d's threads grew from {threads0} to {threads1}")

    def memory_floor_rises(self):
        """In how many sample intervals after the baseline kt57d's own memory rose for good by more
        than a page, of those with no garbage fault. The floor at a sample is the least memory from it
        to the end, so a resize caught half-way (two console images mapped) is no rise. A leak raises
        it in nearly every interval; a cache that fills, in a few. The one cache still filling after the warm-up, the
        glyph tiles, grows when garbage puts a byte on the screen the first time, so intervals with
        garbage are left out here; the 1 MiB limit still counts what they add."""
        points = [(when, rss) for when, rss, _, _ in self.samples if when >= self.baseline_time]
        points.append((self.final_time, self.final[0]))
        floors = [min(rss for _, rss in points[index:]) for index in range(len(points))]
        rose = counted = 0
        for index in range(len(points) - 1):
            begun, ended = points[index][0], points[index + 1][0]
            if any(begun <= when < ended for when in self.garbage_times):
                continue
            counted += 1
            rose += floors[index + 1] - floors[index] > PAGE_KIB
        return rose, counted

    def finish(self):
        self.ctl("menu", "40001")
        try:
            status = self.kt57d.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.fail("kt57d did not end within 10 s of the end-program command")
        if status != 0:
            self.fail(f"kt57d ended with status {status} after the end-program command")
        self.board.send("quit")
        try:
            status = self.board.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.fail("kt57-board did not end within 10 s of quit")
        if status != 0:
            self.fail(f"kt57-board ended with status {status}")
        self.board.reader.join(5)
        # The board registry ($XDG_RUNTIME_DIR/kt57d/boards) and the control socket
        # ($XDG_RUNTIME_DIR/kt57d/control.socket) live here; the folders may stay, no entry may.
        left = [os.path.join(folder, name) for folder, _, files in os.walk(self.runtime) for name in files]
        if left:
            self.fail("left behind after the end: " + ", ".join(left))

    def stop_processes(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()

    def summary(self, verdict):
        rss0, fds0, threads0 = self.baseline or (0, 0, 0)
        rss1, fds1, threads1 = self.final or (self.samples[-1][1:] if self.samples else (0, 0, 0))
        frames = self.board.commands if hasattr(self, "board") else 0
        return (f"soak-desktop: {self.elapsed() / 60:.1f} min, {self.faults} faults, {self.last_stops} stops, "
                f"{self.recoveries} recoveries, {frames} frames, memory {rss0 / 1024:.1f}->{rss1 / 1024:.1f} MiB, "
                f"fds {fds0}->{fds1}, threads {threads0}->{threads1}: {verdict}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kt57d", required=True)
    parser.add_argument("--board", required=True)
    parser.add_argument("--ctl", required=True)
    parser.add_argument("--minutes", type=float, default=float(os.environ.get("SOAK_MINUTES", "10")))
    parser.add_argument("--plant-leak", metavar="LIBRARY",
                        help="preload this library into kt57d: a leak the memory verdict must catch (a test of the soak)")
    parser.add_argument("--seed", type=int, default=int(os.environ.get("SOAK_SEED", str(int(time.time())))))
    args = parser.parse_args()
    if args.minutes <= 0:
        parser.error("--minutes must be above 0")
    if args.plant_leak:
        if not os.path.isfile(args.plant_leak):
            parser.error(f"--plant-leak: no file {args.plant_leak}")
        args.plant_leak = os.path.abspath(args.plant_leak)  # kt57d runs in its own folder
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print(f"soak-desktop: {tool} is not installed (scripts/install-deps.sh installs it)", file=sys.stderr)
            return 2
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    soak = Soak(args)
    print(f"soak-desktop: {args.minutes} min, seed {args.seed} (SOAK_SEED={args.seed} repeats the choices)", flush=True)
    if args.plant_leak:
        rate = os.environ.get("KT57_PLANTED_LEAK_KIB") or "4"
        print(f"soak-desktop: a leak of {rate} KiB/s planted in kt57d ({args.plant_leak}): this run must FAIL", flush=True)
    verdict = "FAIL"
    try:
        soak.run()
        verdict = "PASS"
    except Breach as breach:
        soak.say(f"BREACH: {breach}")
    finally:
        soak.stop_processes()
        if verdict == "PASS":
            shutil.rmtree(soak.work, ignore_errors=True)
        else:
            print(f"soak-desktop: the board log, kt57d's output and Xvfb's are kept in {soak.work}", flush=True)
        print(soak.summary(verdict), flush=True)
    return 0 if verdict == "PASS" else 1


if __name__ == "__main__":
    sys.exit(main())
