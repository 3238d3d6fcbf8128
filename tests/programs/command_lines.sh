#!/usr/bin/env bash
# Usage: command_lines.sh VERSION NAME=PATH...
# Every program prints "NAME VERSION" for --version and exits 0; kt57d refuses a folder that is
# not there with one line on standard error and exit code 2, before it needs a display.
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
    err=$(XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen "$path" "$missing" 2>&1 >/dev/null)
    status=$?
    rm -rf "$runtime"
    [ "$status" -eq 2 ] || fail "kt57d with a missing folder exits $status, expected 2"
    [ "$err" = "kt57d: $missing: no such folder or file" ] || fail "kt57d with a missing folder said '$err'"
  fi
done
[ "$failed" -eq 0 ] && echo "all command lines as expected"
exit "$failed"
