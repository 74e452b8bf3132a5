# shellcheck shell=bash
# Sourced by the test scripts (bash): one line per check, "ok   what" or
# "FAIL what", as check_lines.h prints them; the counts decide the status.
passed=0
failed=0
fail() {  # WHAT...
  echo "FAIL $*"
  failed=$((failed + 1))
}
expect() {  # WHAT COMMAND...: the check holds when the command succeeds
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; passed=$((passed + 1)); else fail "$what"; fi
}
checks_done() {  # the last line and the exit status
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
