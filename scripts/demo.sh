#!/usr/bin/env bash
# The main job: builds KT57D and shows it running the bundled example program in its desktop
# window, against the virtual board with its panel. Closing the KT57D window ends the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build
serial=DEMO0001  # the demo's own board: never a real board that happens to be plugged in

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(kt57-board kt57-ctl kt57-run kt57-check)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then targets+=(kt57d); fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
"$build/tools/kt57-check/kt57-check" examples/demo/KT57Data.txt

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cat <<TEXT

No display: the KT57D window and the board's panel need an X11 or Wayland session.
Rehearse the example headless instead, against the virtual board in virtual time:

    $build/tools/kt57-run/kt57-run examples/demo

(docs/kt57-run.md explains its trace.)
TEXT
  exit 1
fi
if [ ! -x "$build/platform/qt/kt57d" ]; then
  echo "kt57d was not built: Qt 6 Widgets (qt6-base-dev) was not found." >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kt57d-demo.XXXXXX")
board_pid=
cleanup() {
  if [ -n "$board_pid" ]; then kill "$board_pid" 2>/dev/null || true; wait "$board_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp examples/demo/KT57Data.txt "$work/"
# Automatic mode with the detail view (listing and frames), on the demo's board.
printf 'AD\n%s\n' "$serial" > "$work/KT57Mode.txt"

"$build/tools/kt57-board/kt57-board" --serial "$serial" &
board_pid=$!
registry="${XDG_RUNTIME_DIR:-/tmp/kt57d-$(id -u)}/kt57d/boards"
for _ in $(seq 50); do
  if ls "$registry" 2>/dev/null | grep -q "$serial"; then break; fi
  if ! kill -0 "$board_pid" 2>/dev/null; then echo "kt57-board did not start" >&2; exit 1; fi
  sleep 0.1
done

cat <<TEXT

KT57D runs the example in $work.
  Keys in its window: G start at line 1, S stop, C continue, Esc step mode, Enter next step.
  Ctrl+click a line: break line. Shift+click while stopped: continue line.
  The board's panel: click an input switch (inputs 0 and 1 stop the blinking).
  From another terminal: $build/tools/kt57-ctl/kt57-ctl post P   (or post A, key G, menu 40001)
Close the KT57D window to end the demo.
TEXT
(cd "$work" && exec "$root/$build/platform/qt/kt57d")
