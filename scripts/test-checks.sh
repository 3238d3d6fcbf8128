# Sourced by the shell test scripts: named checks that count what passed and what failed.
#   check NAME COMMAND...   runs COMMAND; prints "ok - NAME" or "FAIL - NAME"
#   equals GOT EXPECTED     a command for check; shows both when they differ
passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then
    echo "ok - $name"
    passed=$((passed + 1))
  else
    echo "FAIL - $name"
    failed=$((failed + 1))
  fi
}
equals() { [ "$1" = "$2" ] || { echo "   got:      $1"; echo "   expected: $2"; return 1; }; }
