#!/usr/bin/env bash
# The main job: builds KT57D and shows it running the bundled example program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
./build/tools/kt57-check/kt57-check examples/demo/KT57Data.txt
