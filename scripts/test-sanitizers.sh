#!/usr/bin/env bash
# The whole test suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any sanitizer report fails the run: a test process halts on its first report, and reports
# written by processes the tests start themselves (the tools, whose exit codes a test may expect
# to be non-zero) are collected from the log directory and fail the run too.
#
#   scripts/test-sanitizers.sh            configure, build and test in build-asan
#   KT57_ASAN_BUILD=dir                   another build directory
#   KT57_JOBS=n                           parallel build and test jobs (default: the core count)
#   KT57_CTEST_ARGS="-R Loader"           extra ctest arguments, e.g. to run a subset
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${KT57_ASAN_BUILD:-$root/build-asan}
jobs=${KT57_JOBS:-$(nproc)}
logs=$build/sanitizer-reports

# -O1 keeps the stacks readable and the suite fast enough; Debug keeps assertions on.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DKT57_SANITIZE=ON -DKT57_WERROR=ON -DKT57_FUZZ=OFF -DKT57_BENCHMARKS=OFF
cmake --build "$build" -j "$jobs"

rm -rf "$logs"
mkdir -p "$logs"
suppressions=$root/scripts/lsan-suppressions.txt
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1:log_path=$logs/asan:log_exe_name=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1:log_path=$logs/ubsan:log_exe_name=1"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
# Qt's own windows need a display; the offscreen platform needs none.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

status=0
# shellcheck disable=SC2086
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 ${KT57_CTEST_ARGS:-} || status=$?

reports=$(find "$logs" -type f | sort)
if [ -n "$reports" ]; then
  echo "Sanitizer reports:"
  for report in $reports; do
    echo "---- $report"
    cat "$report"
  done
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "Sanitizer build: FAILED" >&2
  exit "$status"
fi
echo "Sanitizer build: all tests passed, no sanitizer report."
