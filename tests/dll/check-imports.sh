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
failed=0
for file in "$@"; do
  imports=$("$objdump" -p "$file" | awk '/DLL Name:/ { print tolower($3) }')
  if [ -z "$imports" ]; then
    echo "FAIL $(basename "$file"): no import table found"
    failed=$((failed + 1))
    continue
  fi
  foreign=$(grep -vE "$allowed" <<<"$imports")
  if [ -n "$foreign" ]; then
    echo "FAIL $(basename "$file") imports $(tr '\n' ' ' <<<"$foreign")"
    failed=$((failed + 1))
  else
    echo "ok   $(basename "$file") imports $(tr '\n' ' ' <<<"$imports")"
  fi
done
echo "$(($# - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
