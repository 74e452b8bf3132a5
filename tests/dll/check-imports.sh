#!/bin/bash
# Checks that each PE file imports only DLLs that every Windows system has:
# the C runtime, COM and the kernel, no MinGW runtime (libgcc, libstdc++,
# winpthread), which are linked in statically.
#
# usage: check-imports.sh OBJDUMP FILE...
set -uo pipefail
objdump=$1
shift
allowed='^(kernel32|msvcrt|ole32|oleaut32|user32|advapi32)\.dll$'
. "$(dirname "$0")/../support/check-lines.sh"
for file in "$@"; do
  imports=$("$objdump" -p "$file" | awk '/DLL Name:/ { print tolower($3) }')
  foreign=$(grep -vE "$allowed" <<<"$imports")
  if [ -z "$imports" ]; then
    fail "$(basename "$file"): no import table found"
  elif [ -n "$foreign" ]; then
    fail "$(basename "$file") imports $(tr '\n' ' ' <<<"$foreign")"
  else
    expect "$(basename "$file") imports $(tr '\n' ' ' <<<"$imports")" true
  fi
done
checks_done
