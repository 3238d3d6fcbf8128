#!/usr/bin/env python3
"""Fails when a core folder includes a header of a folder above it. The folders are the layers,
from the bottom up; each may include only itself and the folders below it."""
import pathlib
import re
import sys

LAYERS = ["device", "sequencer", "console", "engine", "shell"]
root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/', re.MULTILINE)
breaches = []
for level, layer in enumerate(LAYERS):
    allowed = set(LAYERS[: level + 1])
    for source in sorted((root / layer).glob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        for folder in include.findall(source.read_text(encoding="utf-8")):
            if folder not in allowed:
                breaches.append(f"{source.relative_to(root)} includes {folder}/, a folder above it")
for breach in breaches:
    print(breach)
print(f"layers: {len(breaches)} upward includes")
sys.exit(1 if breaches else 0)
