#!/usr/bin/env bash
# Builds the benchmarks and the programs they drive in build-bench (Release) and prints every
# performance figure beside its target (docs/performance.md says what each one measures).
# The real-time figures need xvfb-run; without it they are reported as not measured.
# Exit status: 0 when every figure passes, 1 when one misses or could not be measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
results="$build/bench-results"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKT57_BENCHMARKS=ON >/dev/null
targets=(kt57_tick_bench kt57_allocation_bench kt57_timeline_bench kt57-run)
realtime_targets=(kt57_qt_tick_bench kt57_frame_clock kt57_wake_baseline kt57d kt57-board kt57-ctl)
have_qt=0
known_targets=$(cmake --build "$build" --target help)
if grep -qw kt57d <<<"$known_targets"; then
  have_qt=1
  targets+=("${realtime_targets[@]}")
fi
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

rm -rf "$results"
mkdir -p "$results"
run_benchmark() {  # binary, output file; the tables go to standard error
  "$build/bench/$1" --benchmark_format=console --benchmark_out="$results/$2" --benchmark_out_format=json >&2
}
echo "== worst-case tick, headless" >&2
run_benchmark kt57_tick_bench tick.json
echo "== allocations" >&2
run_benchmark kt57_allocation_bench allocations.json
echo "== rehearsal speed" >&2
python3 "$root/bench/rehearsal.py" --build "$build" --source "$root" --out "$results/rehearsal.json"
echo "== the timeline over an hour: the example, and the heaviest program (about 10 minutes)" >&2
"$build/bench/kt57_timeline_bench" --demo "$root/examples/demo" --events "$root/bench/rehearsal-events.txt" \
  --out "$results/timeline.json" >&2
echo "== expectations in a one-hour rehearsal" >&2
python3 "$root/bench/expectations.py" --build "$build" --source "$root" --out "$results/expectations.json"
if command -v chromium >/dev/null && command -v chromedriver >/dev/null && [ -x /usr/bin/python3 ]; then
  echo "== the rehearsal page in headless Chromium, one hour (about a minute)" >&2
  /usr/bin/python3 "$root/bench/studio_page.py" --build "$build" --source "$root" --out "$results/studio.json"
fi
if [ "$have_qt" = 1 ]; then
  echo "== worst-case tick, Qt (offscreen)" >&2
  # The offscreen platform warns at every window resize; the warning says nothing here.
  QT_QPA_PLATFORM=offscreen run_benchmark kt57_qt_tick_bench qt_tick.json 2> >(grep -v propagateSizeHints >&2)
  if command -v xvfb-run >/dev/null; then
    echo "== kt57d against kt57-board under Xvfb (about 40 s)" >&2
    xvfb-run -a python3 "$root/bench/realtime.py" --build "$build" --out "$results/realtime.json"
    echo "== the same with one core kept busy (about 15 s)" >&2
    xvfb-run -a python3 "$root/bench/realtime.py" --build "$build" --busy --out "$results/realtime-busy.json"
  fi
fi

if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null && command -v xvfb-run >/dev/null; then
  echo "== kt57d.exe under Wine against the substitute FTD2XX.dll (about 30 s)" >&2
  cmake -S "$root" -B "$build-win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build-win32" -j2 --target kt57d kt57_ftd2xx_substitute kt57_post >/dev/null
  xvfb-run -a python3 "$root/bench/wine_rate.py" "$build-win32/platform/win32" --out "$results/wine.json" >&2
fi

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p') x $(nproc), Linux $(uname -r)"
python3 "$root/bench/table.py" "$results"
