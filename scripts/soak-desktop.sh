#!/usr/bin/env bash
# The desktop soak: the real kt57d under its own Xvfb against `kt57-board --headless` for
# SOAK_MINUTES (default 10, fractions allowed), with board faults and operator actions at random
# (scripts/soak_desktop.py). Fails on the first breach; the last line sums the run up.
#
#   scripts/soak-desktop.sh                           10 minutes
#   SOAK_MINUTES=60 scripts/soak-desktop.sh           an hour
#   SOAK_SEED=1234 scripts/soak-desktop.sh            the same random choices again
#   KT57_BUILD=dir                                    another build directory (default build)
#   SOAK_PLANT_LEAK=1 SOAK_MINUTES=3 scripts/soak-desktop.sh
#                                                     a test of the soak itself: a leak of 4 KiB/s
#                                                     (KT57_PLANTED_LEAK_KIB) preloaded into kt57d
#                                                     (tests/reliability/planted_leak.c); must FAIL
#
# CI runs it for one minute (scripts/test.sh). See docs/reliability.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${KT57_BUILD:-$root/build}
jobs=${KT57_JOBS:-$(nproc)}
targets=(kt57d kt57-board kt57-ctl)
leak=()
if [ "${SOAK_PLANT_LEAK:-0}" = 1 ]; then
  targets+=(kt57_planted_leak)
  leak=(--plant-leak "$build/tests/reliability/libkt57_planted_leak.so")
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT57_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}" >/dev/null

exec python3 "$root/scripts/soak_desktop.py" --minutes "${SOAK_MINUTES:-10}" \
  --kt57d "$build/platform/qt/kt57d" --board "$build/tools/kt57-board/kt57-board" \
  --ctl "$build/tools/kt57-ctl/kt57-ctl" "${leak[@]}"
