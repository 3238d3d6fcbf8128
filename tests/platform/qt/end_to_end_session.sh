#!/usr/bin/env bash
# One desktop session for the end-to-end test, run under xvfb-run: kt57-board --headless and
# kt57d as separate processes. Phase 1 runs the program in $WORK1 and closes the window from
# its title bar; phase 2 runs the program in $WORK2 and ends it with menu 40001. Needs BIN,
# XDG_RUNTIME_DIR, WORK1, WORK2, SERIAL and OUT (where logs and statuses go).
set -u
board=$BIN/tools/kt57-board/kt57-board
kt57d=$BIN/platform/qt/kt57d
ctl=$BIN/tools/kt57-ctl/kt57-ctl

# Waits until the board has logged at least $2 lines matching $1; 20 s at most.
wait_for_frames() {
  for _ in $(seq 200); do
    [ "$(grep -c -- "$1" "$OUT/board.log")" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# Says why a phase saw no frames: kt57d's run state, the registry and the board's last lines.
explain() {
  {
    echo "$1"
    echo "  kt57-ctl state: $("$ctl" state 2>&1)"
    echo "  registry: $(ls -l "$XDG_RUNTIME_DIR/kt57d/boards" 2>&1 | tr '\n' ' ')"
    echo "  board log tail: $(tail -n 3 "$OUT/board.log" | tr '\n' ' ')"
  } >> "$OUT/session.err"
}

# Waits for process $1 to end and writes its exit status to $2; kills it after 10 s.
wait_for_exit() {
  for _ in $(seq 100); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      echo $? > "$2"
      return
    fi
    sleep 0.1
  done
  kill "$1"
  echo timeout > "$2"
}

"$board" --headless --serial "$SERIAL" < /dev/null > "$OUT/board.log" 2> "$OUT/board.err" &
board_pid=$!
for _ in $(seq 50); do
  [ -n "$(ls "$XDG_RUNTIME_DIR/kt57d/boards" 2>/dev/null)" ] && break
  sleep 0.1
done

(cd "$WORK1" && exec "$kt57d") > "$OUT/kt57d-1.log" 2>&1 &
app=$!
wait_for_frames 'command    R0000000' 1 || explain "phase 1: no R0000000 frame"
"$ctl" close; echo $? > "$OUT/ctl-close.status"
wait_for_exit $app "$OUT/kt57d-1.status"

(cd "$WORK2" && exec "$kt57d") > "$OUT/kt57d-2.log" 2>&1 &
app=$!
wait_for_frames 'command    R0000001' 3 || explain "phase 2: no R0000001 frames"
"$ctl" menu 40001; echo $? > "$OUT/ctl-menu.status"
wait_for_exit $app "$OUT/kt57d-2.status"

kill "$board_pid"
wait "$board_pid"
"$ctl" post A 2> "$OUT/ctl-after.err"; echo $? > "$OUT/ctl-after.status"
exit 0
