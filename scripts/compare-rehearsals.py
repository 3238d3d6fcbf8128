#!/usr/bin/env python3
"""Runs two kt57-run binaries over every program, mode file and events file in the repository and
reports any difference in their output, exit status or the mode file they leave.

For refactorings that must not change what kt57-run prints:
    scripts/compare-rehearsals.py OLD/kt57-run NEW/kt57-run
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

root = pathlib.Path(__file__).resolve().parent.parent


def programs():
    """Folders to rehearse: each holds a KT57Data.txt, and maybe a KT57Mode.txt."""
    found = sorted(p.parent for p in root.glob("**/KT57Data.txt") if "build" not in p.parts[len(root.parts)])
    seeds = sorted((root / "fuzz/corpus/loader_fuzzer").glob("*"))
    return found, seeds


def events_files():
    files = [root / "tests/tools/kt57-run/example/events.txt", root / "bench/rehearsal-events.txt"]
    files += sorted((root / "fuzz/corpus/events_file_fuzzer").glob("*"))
    return [None] + [f for f in files if f.exists()]


def rehearse(binary, folder, program, events, scratch):
    work = scratch / "work"
    if work.exists():
        shutil.rmtree(work)
    if folder is not None:
        shutil.copytree(folder, work)
    else:
        work.mkdir()
        shutil.copy(program, work / "KT57Data.txt")
    command = [str(binary), "--until", "20000"]
    if events is not None:
        command += ["--events", str(events)]
    command.append(str(work))
    result = subprocess.run(command, capture_output=True, timeout=120)
    mode = (work / "KT57Mode.txt").read_bytes() if (work / "KT57Mode.txt").exists() else None
    return result.returncode, result.stdout, result.stderr, mode


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    old, new = (pathlib.Path(a).resolve() for a in sys.argv[1:])
    folders, seeds = programs()
    cases = [(f, None) for f in folders] + [(None, s) for s in seeds]
    compared = differences = 0
    with tempfile.TemporaryDirectory() as scratch:
        scratch = pathlib.Path(scratch)
        for folder, program in cases:
            for events in events_files():
                name = f"{(folder or program).relative_to(root)} with {events.relative_to(root) if events else 'no events'}"
                a = rehearse(old, folder, program, events, scratch)
                b = rehearse(new, folder, program, events, scratch)
                compared += 1
                if a != b:
                    differences += 1
                    print(f"DIFFERS: {name}")
    print(f"{compared} rehearsals compared, {differences} differ")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
