#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each
# for a bounded time. CI runs every target for 60 seconds; a longer campaign is the same command:
#
#   scripts/test-fuzz.sh                                   60 s per target (CI)
#   FUZZ_SECONDS=3600 scripts/test-fuzz.sh                 an hour per target
#   FUZZ_TARGETS="loader_fuzzer mode_file_fuzzer" ...      only these targets
#   FUZZ_PARALLEL=1                                        every target at once, each for the time
#   KT57_FUZZ_BUILD=dir                                    another build directory (default build-fuzz)
#
# Each target starts from its seed corpus (fuzz/corpus/<target>) and the inputs earlier runs kept
# in <build>/corpus/<target>; new inputs go there, never into the repository. A crash, a hang or a
# broken invariant leaves its input in <build>/crashes/<target>/ and fails the script; copy it to
# fuzz/regressions/<target>/ so the test suite replays it for good. Executions per target are
# appended to <build>/fuzz-stats.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${KT57_FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${KT57_JOBS:-$(nproc)}

CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKT57_FUZZ=ON -DKT57_SANITIZE=ON -DKT57_WERROR=ON -DKT57_BENCHMARKS=OFF
cmake --build "$build" -j "$jobs" --target kt57_fuzzers

available=$(find "$build/fuzz" -maxdepth 1 -type f -name '*_fuzzer' -perm -u+x -printf '%f\n' | sort)
targets=${FUZZ_TARGETS:-$available}
if [ -z "$targets" ]; then
  echo "No fuzz targets built." >&2
  exit 1
fi

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# One target's run: its log, its line in fuzz-stats.txt, and status 0 when nothing broke.
run_target() {
  local target=$1
  local binary=$build/fuzz/$target
  if [ ! -x "$binary" ]; then
    echo "Unknown fuzz target: $target" >&2
    return 1
  fi
  local work=$build/corpus/$target
  local crashes=$build/crashes/$target
  local seeds=$root/fuzz/corpus/$target
  mkdir -p "$work" "$crashes"
  [ -d "$seeds" ] || seeds=""
  echo "== $target: $seconds s"
  local log=$build/$target.log
  local status=0
  # -timeout: one input running longer than that is a hang. -rss_limit_mb: a leak that grows.
  "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" $seeds >"$log" 2>&1 || status=$?
  local executions
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$(date -u +%FT%TZ) $target seconds=$seconds executions=${executions:-0} status=$status" >>"$build/fuzz-stats.txt"
  echo "   $target executions: ${executions:-0}, exit status $status"
  if [ "$status" -ne 0 ]; then
    tail -60 "$log"
    return 1
  fi
}

failed=()
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  declare -A running=()
  for target in $targets; do
    run_target "$target" &
    running[$target]=$!
  done
  for target in "${!running[@]}"; do
    wait "${running[$target]}" || failed+=("$target")
  done
else
  for target in $targets; do
    run_target "$target" || failed+=("$target")
  done
fi

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing FAILED: ${failed[*]} (inputs in $build/crashes/)" >&2
  exit 1
fi
echo "Fuzzing: no crash, no hang, no broken invariant."
