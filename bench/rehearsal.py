#!/usr/bin/env python3
"""Rehearsal speed: kt57-run on examples/demo with bench/rehearsal-events.txt for 60 s of virtual
time, its trace written out as usual (to /dev/null). The figure is virtual time over the median
wall time of five runs, process start included. Writes JSON to --out."""
import json
import os
import shutil
import subprocess
import tempfile
import time

from bench_common import arguments

VIRTUAL_SECONDS = 60.0
RUNS = 5


def main():
    args = arguments(__doc__)
    tool = os.path.join(args.build, "tools/kt57-run/kt57-run")
    events = os.path.join(args.source, "bench/rehearsal-events.txt")
    walls = []
    for _ in range(RUNS):
        # A fresh copy each time: the program may write its mode file back.
        work = tempfile.mkdtemp(prefix="kt57-bench-rehearsal-")
        shutil.copy(os.path.join(args.source, "examples/demo/KT57Data.txt"), work)
        started = time.perf_counter()
        result = subprocess.run([tool, "--events", events, "--until", str(int(VIRTUAL_SECONDS * 1000)), work],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        walls.append(time.perf_counter() - started)
        shutil.rmtree(work, ignore_errors=True)
        if result.returncode != 0:
            raise SystemExit("kt57-run failed: " + result.stderr.strip())
    wall = sorted(walls)[len(walls) // 2]
    with open(args.out, "w") as f:
        json.dump({"rehearsal_wall_s": wall, "rehearsal_speed": VIRTUAL_SECONDS / wall}, f, indent=1)


if __name__ == "__main__":
    main()
