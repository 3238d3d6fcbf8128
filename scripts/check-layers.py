#!/usr/bin/env python3
"""Fails when a folder includes a header of a folder above it or beside it.

Every folder that holds code is a room in one declared order, from the bottom up. A room may
include itself and the rooms of the levels below its own; rooms on one level are siblings and
never include each other. A folder that holds code but is in no room fails too, so that a new
folder is placed on purpose.

    scripts/check-layers.py [ROOT]
"""
import fnmatch
import pathlib
import re
import sys

# From the bottom up; each entry is one level, its rooms siblings. A pattern room ("tests/*")
# makes every folder it matches a room of its own on that level.
LEVELS = [
    ["device"],            # the eight driver calls, the link, the blocking wait, hex, byte escaping
    ["sequencer"],
    ["console"],
    ["engine"],
    ["shell"],
    ["board"],             # the virtual board, beside the real drivers; the core never includes it
    ["common"],            # what programs share: the control protocol and socket, --version
    ["platform/posix"],
    ["platform/linux"],
    ["platform/headless", "platform/win32"],
    ["timeline"],          # the rehearsal as a timeline, over the headless run; platform-free
    ["platform/qt"],       # kt57d on Linux: the tty backend and the POSIX files below it
    ["tools/common"],
    ["tools/kt57-board", "tools/kt57-check", "tools/kt57-ctl", "tools/kt57-run"],
    ["tests/support"],
    ["fuzz"],              # the fuzz targets' checks, replayed by the tests
    ["bench", "tests/platform/*", "tests/tools/*", "tests/*"],
]
# Include folders that the build makes rather than the tree holds.
GENERATED = {"kt57"}
SOURCE_SUFFIXES = {".h", ".cpp", ".c"}
SKIPPED = {".git", "fuzz/corpus", "fuzz/regressions", "packaging", "docs", "examples", "third_party"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room_of(relative):
    """(room, level) of a folder path given as a tuple of parts, or None."""
    for length in (3, 2, 1):
        if len(relative) < length:
            continue
        candidate = "/".join(relative[:length])
        for level, rooms in enumerate(LEVELS):
            for room in rooms:
                if room == candidate or ("*" in room and fnmatch.fnmatchcase(candidate, room)
                                         and candidate.count("/") == room.count("/")):
                    return candidate, level
    return None


def skipped(relative):
    text = "/".join(relative)
    return relative[0].startswith("build") or any(text == s or text.startswith(s + "/") for s in SKIPPED)


def check(root):
    breaches = []
    for source in sorted(root.rglob("*")):
        if source.suffix not in SOURCE_SUFFIXES or not source.is_file():
            continue
        folder = source.parent.relative_to(root).parts
        if not folder or skipped(folder):
            continue
        name = source.relative_to(root)
        own = room_of(folder)
        if own is None:
            breaches.append(f"{name}: its folder is in no room of the declared order")
            continue
        own_room, own_level = own
        for target in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
            parts = tuple(target.split("/")[:-1])
            if not parts or parts[0] in GENERATED:
                continue  # beside the file, or made by the build
            other = room_of(parts)
            if other is None:
                if (root / target).exists():
                    breaches.append(f"{name} includes {target}, which is in no room of the declared order")
                continue  # a system or third-party header written with quotes
            other_room, other_level = other
            if other_room == own_room or other_level < own_level:
                continue
            way = "above" if other_level > own_level else "beside"
            breaches.append(f"{name} includes {target}: {other_room}/ is {way} {own_room}/")
    return breaches


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    breaches = check(root.resolve())
    for breach in breaches:
        print(breach)
    print(f"layers: {len(breaches)} includes that run up or sideways")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
