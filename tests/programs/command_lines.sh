#!/usr/bin/env bash
# Usage: command_lines.sh VERSION NAME=PATH...
# Every program prints "NAME VERSION" for --version and exits 0. kt57d refuses a folder that is
# not there, an option it does not know, and a start without a display or with one that does not
# answer, each with one line on standard error and exit code 2, instead of Qt's abort.
set -uo pipefail
version=$1
shift
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for entry in "$@"; do
  name=${entry%%=*}
  path=${entry#*=}
  out=$("$path" --version 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fail "$name --version exits $status"
  [ "$out" = "$name $version" ] || fail "$name --version printed '$out', expected '$name $version'"
  if [ "$name" = kt57d ]; then
    missing=$(mktemp -u /tmp/kt57-missing.XXXXXX)
    runtime=$(mktemp -d /tmp/kt57-runtime.XXXXXX)  # so Qt has nothing to say about it
    silent=1
    while [ -e "/tmp/.X11-unix/X$silent" ]; do silent=$((silent + 1)); done  # a display nobody serves
    # case|environment|arguments|the one line expected on standard error
    while IFS='|' read -r case environment arguments expected; do
      err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" $environment \
            "$path" $arguments 2>&1 >/dev/null)
      status=$?
      [ "$status" -eq 2 ] || fail "kt57d with $case exits $status, expected 2"
      [ "$err" = "$expected" ] || fail "kt57d with $case said '$err', expected '$expected'"
    done <<CASES
a missing folder|QT_QPA_PLATFORM=offscreen|$missing|kt57d: $missing: no such folder or file
an unknown option|QT_QPA_PLATFORM=offscreen|--frobnicate|kt57d: unknown option '--frobnicate'
no display||.|kt57d: no display: DISPLAY and WAYLAND_DISPLAY are unset; -platform offscreen needs none
a display that does not answer|DISPLAY=:$silent|.|kt57d: no display answers (DISPLAY=:$silent); -platform offscreen needs none
CASES
    rm -rf "$runtime"
  fi
done
[ "$failed" -eq 0 ] && echo "all command lines as expected"
exit "$failed"
