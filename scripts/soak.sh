#!/usr/bin/env bash
# The fault soak: at least SOAK_COMMANDS device commands (default 100000) through the headless
# sequencer and kt57-run's trace, with the board muted, unplugged, fed garbage and failing writes,
# status queries and reads at random; every fault must end in its stop or recover, the invariants
# must hold after every message and the trace must be complete (tests/reliability/fault_soak.cpp).
# Then the same board faults, as an events file, through the kt57-run program itself.
#
#   scripts/soak.sh                                  100000 commands, seed 1
#   SOAK_COMMANDS=1000000 SOAK_SEEDS="1 2 3" scripts/soak.sh
#   KT57_SOAK_BUILD=dir                              another build directory (default build-soak)
#
# The suite runs a short version (ctest -R FaultSoak).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${KT57_SOAK_BUILD:-$root/build-soak}
commands=${SOAK_COMMANDS:-100000}
seeds=${SOAK_SEEDS:-1}
jobs=${KT57_JOBS:-$(nproc)}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT57_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs" --target fault_soak kt57-run

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for seed in $seeds; do
  echo "== fault soak, seed $seed, $commands commands"
  "$build/tests/reliability/fault_soak" --commands "$commands" --seed "$seed" \
    --trace "$build/soak-trace-$seed.txt" --events-out "$build/soak-events-$seed.txt" --directory "$work"

  # kt57-run has events for mute, unplug and garbage (not for driver failures): replay them.
  last=$(tail -1 "$build/soak-events-$seed.txt" | cut -d' ' -f1)
  status=0
  "$build/tools/kt57-run/kt57-run" --events "$build/soak-events-$seed.txt" --until "$((last + 5000))" "$work" \
    >"$build/soak-run-trace-$seed.txt" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "kt57-run failed with exit status $status" >&2
    exit 1
  fi
  sends=$(grep -c ' send ' "$build/soak-run-trace-$seed.txt" || true)
  if grep -q ' error loop' "$build/soak-run-trace-$seed.txt"; then
    echo "kt57-run: a loop error in a program without control loops" >&2
    exit 1
  fi
  echo "   kt57-run replay: $sends commands sent, $(grep -c ' error data' "$build/soak-run-trace-$seed.txt" || true) data errors," \
    "$(grep -c ' error device' "$build/soak-run-trace-$seed.txt" || true) device connection errors," \
    "final $(tail -1 "$build/soak-run-trace-$seed.txt" | cut -d' ' -f2-4)"
done
echo "Fault soak passed."
