#!/usr/bin/env python3
"""The command rate of kt57d.exe under Wine, against the substitute FTD2XX.dll: program
W0000001 / JMP 001 for --seconds after the first frame, then the end-program command. The rate is
the replies read between the first and the last frame written, per second, over the design's 100
per second, from the times that start FTD2XX.log's lines. A Wine figure: it shows that the timer
resolution is raised and nothing in the Windows shell holds a tick back; a real Windows PC has its
own scheduler.

Usage, inside an X display (scripts/bench.sh runs it under xvfb-run):
  wine_rate.py WIN32_BIN_DIR --out FILE [--seconds S]
WIN32_BIN_DIR holds kt57d.exe, kt57-post.exe and substitute/FTD2XX.dll."""
import argparse
import json
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "platform", "win32"))
from wine_session import ProgramRun, Wine  # noqa: E402

COMMAND_LOOP = "001 W0000001\r\n    JMP 001\r\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin")
    parser.add_argument("--seconds", type=float, default=12.0)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="kt57-wine-rate.")
    wine = Wine(work)
    try:
        wine.boot()
        run = ProgramRun(wine, os.path.join(work, "run"), args.bin)
        run.copy(os.path.join(args.bin, "substitute", "FTD2XX.dll"))
        run.write("KT57Data.txt", COMMAND_LOOP)
        run.write("KT57Mode.txt", "A\r\nVB000001\r\n")
        run.start()
        run.log.wait("write W0000001", seconds=60)
        time.sleep(args.seconds)  # the length of the measurement, not a wait for an outcome
        run.post("command", "40001")
        run.exit_code(60)
        entries = run.log.timed()
    finally:
        wine.stop()
        shutil.rmtree(work, ignore_errors=True)
    writes = [t for t, text in entries if text.startswith("write W0000001")]
    first, last = writes[0], writes[-1]
    replies = sum(1 for t, text in entries if text.startswith("read U0000001") and first <= t <= last)
    rate = replies / (last - first)
    figures = {"command_seconds": last - first, "commands_acknowledged": replies, "command_rate_per_s": rate,
               "command_rate_ratio": rate / 100.0}
    with open(args.out, "w") as f:
        json.dump(figures, f, indent=1)
    print(f"wine command rate: {rate:.1f}/s over {last - first:.1f} s ({replies} replies)")


if __name__ == "__main__":
    main()
