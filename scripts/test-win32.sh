#!/usr/bin/env bash
# Cross-builds kt57d.exe, the substitute FTD2XX.dll and kt57-post.exe with MinGW-w64 into build-win32/,
# then runs them under Wine on a virtual X display (Xvfb), in a fresh Wine prefix:
#   1. the example program with the substitute DLL: window class, title, the frames in the DLL's log;
#   2. a small loop program: typed keys (G, Enter, Esc, S, C), posted 'P'/'A' commands and Ctrl and
#      Shift clicks, seen in the frames; the menu command 40001 writes KT57Mode.txt with CR LF and the
#      process ends with 0;
#   3. no FTD2XX.dll, and 4. one that lacks FT_Close: the red no-connection text (read from a
#      screenshot), the menu command ends the program and the mode file stays untouched.
# Screenshots and logs stay in build-win32/wine-test/. Usage: scripts/test-win32.sh
set -euo pipefail

if [ "${1:-}" != "--inside-display" ]; then
  root=$(cd "$(dirname "$0")/.." && pwd)
  cd "$root"
  for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres wine xvfb-run convert import; do
    if ! command -v "$tool" >/dev/null; then
      echo "test-win32: '$tool' is missing; scripts/install-deps.sh installs it" >&2
      exit 2
    fi
  done
  cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKT57_WERROR=ON >/dev/null
  cmake --build build-win32 --target kt57d kt57_ftd2xx_substitute kt57_ftd2xx_incomplete kt57_post -j "$(nproc)"

  work=$(mktemp -d /tmp/kt57-wine.XXXXXX)
  cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
  }
  trap cleanup EXIT
  results="$root/build-win32/wine-test"
  rm -rf "$results"
  mkdir -p "$results"
  # One X server for the whole run; wineboot of the fresh prefix is the slow part.
  KT57_ROOT="$root" KT57_WORK="$work" KT57_RESULTS="$results" \
    timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inside-display
  exit $?
fi

# ---------------------------------------------------------------- inside the virtual display
root=$KT57_ROOT
work=$KT57_WORK
results=$KT57_RESULTS
bin="$root/build-win32/platform/win32"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Japanese Windows: code page 932 for the A functions and the window texts.
w() { env -u LC_ALL -u LC_CTYPE -u LC_MESSAGES LANG=ja_JP.UTF-8 wine "$@"; }

# shellcheck source=scripts/test-checks.sh
source "$root/scripts/test-checks.sh"

echo "== fresh Wine prefix"
timeout 240 env -u LC_ALL LANG=ja_JP.UTF-8 wineboot -i >"$results/wineboot.log" 2>&1
# The console's face and the menu font both map to IPAGothic, so the Japanese texts render; Wine
# draws the frame itself (no window manager runs under Xvfb), so the screenshots show title and menu.
python3 - "$work/wine-setup.reg" <<'EOF'
import sys
reg = ('\ufeffWindows Registry Editor Version 5.00\r\n\r\n'
       '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
       '"\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"="IPAGothic"\r\n'
       '"MS Gothic"="IPAGothic"\r\n'
       '"MS UI Gothic"="IPAGothic"\r\n\r\n'
       '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
       '"MS Shell Dlg"="IPAGothic"\r\n\r\n'
       '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
       '"Managed"="N"\r\n\r\n')
open(sys.argv[1], 'wb').write(reg.encode('utf-16-le'))
EOF
w regedit /S "$(w winepath -w "$work/wine-setup.reg" 2>/dev/null | tr -d '\r')"

# ---------------------------------------------------------------- helpers
run=""
log=""
pid=""

# A run folder: kt57d.exe and kt57-post.exe, the program file and the mode file (exact bytes).
prepare_run() {
  local name=$1 program=$2 mode=$3
  run="$work/$name"
  log="$run/FTD2XX.log"
  mkdir -p "$run"
  cp "$bin/kt57d.exe" "$bin/kt57-post.exe" "$run/"
  cp "$program" "$run/KT57Data.txt"
  printf "$mode" >"$run/KT57Mode.txt"
}

with_substitute() {
  cp "$bin/substitute/FTD2XX.dll" "$run/"
  printf '# the virtual board the substitute FTD2XX.dll serves\nserial = AB123456\ninputs = %s\nlatency = 1\n' \
    "$1" >"$run/KT57Board.txt"
}

start_program() {
  (cd "$run" && exec env -u LC_ALL -u LC_CTYPE -u LC_MESSAGES LANG=ja_JP.UTF-8 wine kt57d.exe) &
  pid=$!
}

post() { (cd "$run" && w ./kt57-post.exe "$@") | tr -d '\r' || true; }

# Waits for the program to end and sets exit_code to its exit code, or to "timeout".
exit_code=""
program_exit() {
  local tries=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.2
    tries=$((tries + 1))
    if [ $tries -ge 150 ]; then
      kill "$pid" 2>/dev/null || true
      exit_code=timeout
      return
    fi
  done
  exit_code=0
  wait "$pid" || exit_code=$?
}

lines() { if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi; }
since() { tail -n +"$(($1 + 1))" "$log" 2>/dev/null || true; }
# count_since FROM TEXT: log lines after line FROM that begin with TEXT (taken literally).
count_since() { since "$1" | TEXT="$2" awk 'index($0, ENVIRON["TEXT"]) == 1 { n++ } END { print n + 0 }'; }
# wait_log FROM TEXT [SECONDS]: until such a line is there.
wait_log() {
  local from=$1 text=$2 limit=$((${3:-30} * 5)) tries=0
  until [ "$(count_since "$from" "$text")" -gt 0 ]; do
    sleep 0.2
    tries=$((tries + 1))
    [ $tries -lt $limit ] || return 1
  done
}
frames_since() { since "$1" | grep -E "^$2 " | head -n "${3:-1000}" | cut -d' ' -f2- | tr '\n' ' ' | sed 's/ $//'; }
at_least() { [ "$1" -ge "$2" ] || { echo "   got $1, expected at least $2"; return 1; }; }

# Pixels of a client-area rectangle of the last screenshot that pass an -fx test.
pixels() {
  local shot=$1 x=$2 y=$3 width=$4 height=$5 test=$6
  read -r cx cy _ _ <<<"$(post client)"
  convert "$shot" -crop "${width}x${height}+$((cx + x))+$((cy + y))" +repage -fx "$test" \
    -format '%[fx:round(mean*w*h)]' info:
}
red='r>0.6 && g<0.35 && b<0.35'
dark='r<0.35 && g<0.35 && b<0.35'

screenshot() {
  import -window root "$1"
}

window_picture() {
  read -r fx fy fw fh <<<"$(post frame)"
  convert "$1" -crop "${fw}x${fh}+${fx}+${fy}" +repage "$2"
}

# ---------------------------------------------------------------- 0: the program file itself
echo "== kt57d.exe"
check "it needs no DLL beyond Windows' own (static C++ runtime, FTD2XX.dll loaded at run time)" \
  equals "$(x86_64-w64-mingw32-objdump -p "$bin/kt57d.exe" | awk '/DLL Name:/ { print toupper($3) }' | sort | tr '\n' ' ')" \
  "GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL WINMM.DLL "
check "it raises the timer resolution while it runs, and gives it back" \
  equals "$(x86_64-w64-mingw32-objdump -p "$bin/kt57d.exe" | grep -oE 'time(Begin|End)Period' | sort -u | tr '\n' ' ')" \
  "timeBeginPeriod timeEndPeriod "
# The mode file's replacement survives power loss: flushed, then moved with MOVEFILE_WRITE_THROUGH.
check "it imports FlushFileBuffers and MoveFileExA from KERNEL32.DLL for the mode file" \
  equals "$(x86_64-w64-mingw32-objdump -p "$bin/kt57d.exe" | awk '/DLL Name:/ { dll = toupper($3) } dll == "KERNEL32.DLL" && ($NF == "FlushFileBuffers" || $NF == "MoveFileExA") { print $NF }' | sort | tr '\n' ' ')" \
  "FlushFileBuffers MoveFileExA "
# Menu 101: pop-up "ﾒﾆｭｰ" with item 40001 "ﾌﾟﾛｸﾞﾗﾑ終了", stored by the resource compiler as UTF-16.
x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$bin/kt57d.exe" "$work/resources.bin"
menu_found=$(python3 - "$work/resources.bin" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
popup = '\uff92\uff86\uff6d\uff70'.encode('utf-16-le')  # ﾒﾆｭｰ
item = (40001).to_bytes(2, 'little') + '\uff8c\uff9f\uff9b\uff78\uff9e\uff97\uff91\u7d42\u4e86'.encode('utf-16-le')
print(int(popup in data and item in data))
EOF
)
check "menu resource: pop-up and item 40001 with their code page 932 texts" equals "$menu_found" 1

# ---------------------------------------------------------------- 1: the example program
echo "== example program with the substitute FTD2XX.dll"
prepare_run example "$root/examples/demo/KT57Data.txt" 'AD\nAB123456\n'
# Input 2 on: the program alternates all outputs on and all off, one pattern per pass.
with_substitute 000004
start_program
title=$(post wait 60)
check "the window of class WIN32CLASS appears" test -n "$title"
check "its title carries the mode file's serial number" equals "$title" "KT57D           AB123456"
wait_log 0 close 60 || true
check "start-up opens the mode file's serial number and configures the board" \
  equals "$(grep -E '^(open|chars|timeouts|list)' "$log" | head -n 3 | tr '\n' '|')" \
  "open AB123456|chars event 0D 1 error 00 0 status 0|timeouts read 100 write 100 status 0|"
wait_log 0 'write W0000000\x0D' 60 || true
written='W000000F\x0D W00000ff\x0D W000000f\x0D W00000ff\x0D W000000f\x0D W00000ff\x0D W000000f\x0D R0000000\x0D W00FFFFF\x0D'
answered='U000000F\x0D U00000FF\x0D U000000F\x0D U00000FF\x0D U000000F\x0D U00000FF\x0D U000000F\x0D R0000004\x0D U00FFFFF\x0D'
check "first pass: the frames written follow the program, '@' and decimal literals included" \
  equals "$(frames_since 0 write 9)" "$written"
check "first pass: the board's replies are read" equals "$(frames_since 0 read 9)" "$answered"
check "second pass: the flag turns the outputs off" \
  equals "$(frames_since 0 write 18 | cut -d' ' -f10-)" \
  'W000000F\x0D W00000ff\x0D W000000f\x0D W00000ff\x0D W000000f\x0D W00000ff\x0D W000000f\x0D R0000000\x0D W0000000\x0D'
check "the window took the listing's size, 480 x 700" equals "$(post frame | cut -d' ' -f3-)" "480 700"
screenshot "$results/example.png"
window_picture "$results/example.png" "$results/kt57d-wine.png"
post command 40001 >/dev/null
program_exit
check "menu command 40001 ends the program with exit code 0" equals "$exit_code" 0
cp "$log" "$results/example-FTD2XX.log"

# ---------------------------------------------------------------- 2: keys and posted commands
echo "== keys and posted commands"
prepare_run keys "$root/tests/win32/wine/KT57Data.txt" 'SD\n'
with_substitute 00000F
start_program
title=$(post wait 60)
check "without a serial number in the mode file the title keeps its blanks" equals "$title" "KT57D                   "
wait_log 0 close 60 || true
check "start-up lists the board for its serial number, opens it and releases it" \
  equals "$(grep -E '^(list|open|close)' "$log" | head -n 4 | tr '\n' '|')" \
  "list count 1|list index 0 AB123456|open AB123456|close|"
check "step mode starts stopped: nothing is written" equals "$(count_since 0 write)" 0

mark=$(lines)
post key G
wait_log "$mark" close 20 || true
check "typed G in step mode sends line 1 at once and releases the board after the reply" \
  equals "$(frames_since "$mark" write)|$(frames_since "$mark" read)" 'WA000001\x0D|UA000001\x0D'
sleep 0.7
check "then it waits for Enter" equals "$(frames_since "$mark" write)" 'WA000001\x0D'

mark=$(lines)
post key ENTER
wait_log "$mark" close 20 || true
check "Enter: one step, the input read" equals "$(frames_since "$mark" write)|$(frames_since "$mark" read)" \
  'RA000000\x0D|RA00000F\x0D'
mark=$(lines)
post key ENTER
wait_log "$mark" close 20 || true
check "Enter: '@' sends the output register in lower case" equals "$(frames_since "$mark" write)" 'WA00000f\x0D'

mark=$(lines)
post char 80 0x4B >/dev/null  # ignored in step mode, so leaving it returns to 'A'
post key ESC
sleep 1.5
check "Esc leaves step mode and the loop runs continuously" at_least "$(count_since "$mark" 'write WB000002\x0D')" 5
check "in mode A the board stays open (a posted P in step mode changed nothing)" \
  equals "$(count_since "$mark" close)" 0

mark=$(lines)
post char 80 0x4B >/dev/null
wait_log "$mark" close 10 || true
check "posted P (lParam 0x4B): mode P releases the board every 11th instruction" \
  at_least "$(count_since "$mark" close)" 1
post char 65 0x4B >/dev/null
sleep 0.7
mark=$(lines)
sleep 1.5
check "posted A (lParam 0x4B): back to mode A, the board stays open" equals "$(count_since "$mark" close)" 0
check "the loop goes on in mode A" at_least "$(count_since "$mark" 'write WB000002\x0D')" 5
post char 80 0x190001 >/dev/null  # P as the keyboard types it: no marker
sleep 0.7
mark=$(lines)
sleep 1.5
check "P with the keyboard's lParam changes nothing" equals "$(count_since "$mark" close)" 0

mark=$(lines)
post key S
wait_log "$mark" close 10 || true
sleep 0.5
quiet=$(lines)
sleep 1
check "S stops the program and the board is released" equals "$(count_since "$mark" close)" 1
check "nothing is written after the stop" equals "$(count_since "$quiet" write)" 0

# The substitute reads its configuration again when it changes: new inputs for the restart.
sleep 1.1  # a new modification time even on coarse file systems
sed -i 's/^inputs = .*/inputs = 0000A5/' "$run/KT57Board.txt"
mark=$(lines)
post key G
wait_log "$mark" 'write WB000002\x0D' 20 || true
check "G restarts from line 1 in mode A with the new inputs" \
  equals "$(frames_since "$mark" write 4)|$(frames_since "$mark" read 2 | cut -d' ' -f2)" \
  'WA000001\x0D RA000000\x0D WA0000a5\x0D WB000002\x0D|RA0000A5\x0D'

# Clicks on the listing: the program reads Ctrl and Shift with GetAsyncKeyState while it handles them.
# Line 4 (WB000002) is at y 170 to 189 of the first column, line 1 at y 110 to 129.
post click 30 175 ctrl >/dev/null
sleep 0.7
quiet=$(lines)
sleep 1
check "Ctrl-click sets the break line: the program stops after sending line 4" \
  equals "$(count_since "$quiet" write)/$(frames_since 0 write | awk '{ print $NF }')" '0/WB000002\x0D'
post click 30 115 shift >/dev/null
mark=$(lines)
post key C
wait_log "$mark" 'write WB000002\x0D' 20 || true
sleep 0.7
check "Shift-click sets the continue line to line 1; C runs from there to the break line again" \
  equals "$(frames_since "$mark" write)" 'WA000001\x0D RA000000\x0D WA0000a5\x0D WB000002\x0D'
post click 30 175 ctrl >/dev/null
mark=$(lines)
post key C
sleep 1
check "a second Ctrl-click clears the break line; C continues the loop" \
  at_least "$(count_since "$mark" 'write WB000002\x0D')" 5
screenshot "$results/keys.png"
post command 40001 >/dev/null
program_exit
check "menu command 40001 ends the program with exit code 0" equals "$exit_code" 0
check "KT57Mode.txt: mode S saved without D, the listed serial number, CR LF line ends" \
  equals "$(od -An -c "$run/KT57Mode.txt" | tr -s ' ')" "$(printf 'S\r\nAB123456\r\n' | od -An -c | tr -s ' ')"
cp "$log" "$results/keys-FTD2XX.log"

# ---------------------------------------------------------------- 3 and 4: no usable driver
# Without a board start-up draws the red no-connection text at (10, 10) after its 100 attempts and
# starts no timer. The check reads the status line's cells from a screenshot.
expect_no_board() {
  local name=$1
  start_program
  title=$(post wait 60)
  check "$name: the window appears" equals "$title" "KT57D           AB123456"
  local red_count=0
  for _ in $(seq 1 40); do
    sleep 0.5
    screenshot "$results/$name.png"
    red_count=$(pixels "$results/$name.png" 10 10 128 16 "$red")
    [ "$red_count" -lt 40 ] || break
  done
  check "$name: the status line shows the red no-connection text" at_least "$red_count" 40
  check "$name: the title banner is drawn in black, without red" \
    equals "$(pixels "$results/$name.png" 20 40 224 16 "$dark" | awk '{ print ($1 >= 40) }')/$(pixels "$results/$name.png" 20 40 224 16 "$red")" "1/0"
  check "$name: the window keeps its first size, 480 x 300" equals "$(post frame | cut -d' ' -f3-)" "480 300"
  check "$name: no header and no listing are drawn" equals "$(pixels "$results/$name.png" 10 70 460 150 "$dark")" 0
  window_picture "$results/$name.png" "$results/$name-window.png"
  post command 40001 >/dev/null
  program_exit
  check "$name: menu command 40001 ends the program with exit code 0" equals "$exit_code" 0
  check "$name: without a board the mode file is left as it was" \
    equals "$(od -An -c "$run/KT57Mode.txt" | tr -s ' ')" "$(printf 'AD\nAB123456\n' | od -An -c | tr -s ' ')"
}

echo "== no FTD2XX.dll"
prepare_run no-driver "$root/examples/demo/KT57Data.txt" 'AD\nAB123456\n'
expect_no_board no-driver

echo "== an FTD2XX.dll without FT_Close"
prepare_run incomplete-driver "$root/examples/demo/KT57Data.txt" 'AD\nAB123456\n'
cp "$bin/substitute-incomplete/FTD2XX.dll" "$run/"
printf 'serial = AB123456\n' >"$run/KT57Board.txt"
expect_no_board incomplete-driver
check "incomplete-driver: none of its functions was called" test ! -e "$log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
