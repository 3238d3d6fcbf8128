#!/usr/bin/env python3
"""Expectations' cost: kt57-run --test on examples/demo for one hour of virtual time, with
bench/rehearsal-events.txt repeated every minute, once with 50 expectations that span the whole
hour (pins, masks, reactions and error stops, each looked at whenever the run settles, and each
holding to the end, so that none leaves early), and once with the same events and none. The
figure is how much the expectations slow the rehearsal, in CPU time with process start included:
the runs are taken in pairs, one of each back to back, so that other work on the machine weighs
alike on both, and the median of twenty-five pairs' ratios is the figure. Writes JSON to --out."""
import json
import os
import resource
import shutil
import subprocess
import tempfile

from bench_common import HOUR_MS, arguments, hour_of_events

RUNS = 25


def fifty_expectations():
    """Fifty expectations over the whole hour that the demo keeps throughout."""
    span = f"0..{HOUR_MS} expect"
    lines = [f"{span} out{pin} 0\n" for pin in range(20, 24)]            # the demo drives 20 outputs
    lines += [f"{span} in{pin} 0\n" for pin in range(3, 19)]              # the events set inputs 0 to 2
    lines += [f"{span} out 000000 mask {1 << bit:06X}\n" for bit in range(20, 24)]
    lines += [f"{span} in 000000 mask {mask}\n" for mask in ("FFFFF8", "F00000", "0F0000", "00F000", "000F00",
                                                             "0000F8")]
    # Outputs 4 to 7 change together with every command the demo sends.
    pairs = [(a, b) for a in range(4, 8) for b in range(4, 8) if a != b]
    lines += [f"{span} out{a} change within 0 after out{b} change\n" for a, b in pairs]
    lines += [f"{span} out{a} rise within 0 after out{b} rise\n" for a, b in pairs[:3]]
    lines += [f"{span} error none\n"] * 5
    assert len(lines) == 50
    return lines


def cpu_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        raise SystemExit("kt57-run --test failed: " + result.stderr.strip())
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    args = arguments(__doc__)
    tool = os.path.join(args.build, "tools/kt57-run/kt57-run")
    work = tempfile.mkdtemp(prefix="kt57-bench-expectations-")
    try:
        shutil.copy(os.path.join(args.source, "examples/demo/KT57Data.txt"), work)
        events = hour_of_events(args.source)
        plain = os.path.join(work, "plain.txt")
        checked = os.path.join(work, "checked.txt")
        open(plain, "w").writelines(events)
        open(checked, "w").writelines(events + fifty_expectations())
        pairs = []
        for _ in range(RUNS):
            pairs.append([cpu_seconds([tool, "--test", "--until", str(HOUR_MS), path, work])
                          for path in (plain, checked)])
    finally:
        shutil.rmtree(work, ignore_errors=True)
    ratios = sorted(checked_s / plain_s for plain_s, checked_s in pairs)
    with open(args.out, "w") as f:
        json.dump({"without_s": sorted(p for p, _ in pairs)[RUNS // 2],
                   "with_s": sorted(c for _, c in pairs)[RUNS // 2],
                   "slowdown": ratios[RUNS // 2] - 1}, f, indent=1)


if __name__ == "__main__":
    main()
