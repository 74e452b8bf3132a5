#!/bin/bash
# Installs the Windows build into a scratch prefix, checks the layout a host
# author unpacks, and links a C host against the installed header and import
# library: its calls must bind to VeltoSound.dll's undecorated exports.
#
# usage: check-installed-tree.sh BUILD_DIR WORK_DIR CC OBJDUMP HOST.c
set -uo pipefail
build=$1 work=$2 cc=$3 objdump=$4 host=$5

rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL cmake --install"; exit 1; }

passed=0
failed=0
check() {
  if eval "$2"; then
    echo "ok   $1"
    passed=$((passed + 1))
  else
    echo "FAIL $1"
    failed=$((failed + 1))
  fi
}
for f in include/veltosound.h lib/libVeltoSound.dll.a lib/VeltoSound.def bin/VeltoSound.dll \
  bin/veltomix.exe; do
  check "installed $f" "[ -f '$prefix/$f' ]"
done

check "a C host links against the installed import library" \
  "'$cc' -std=c99 -Wall -Wextra -Werror -I'$prefix/include' '$host' -L'$prefix/lib' -lVeltoSound \
     -o '$work/host.exe' >'$work/link.log' 2>&1 || { cat '$work/link.log'; false; }"
# The host's import table names the DLL and the plain export names.
imports=$("$objdump" -p "$work/host.exe" 2>/dev/null | awk '
  /DLL Name:/ { dll = $3 } dll == "VeltoSound.dll" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }')
check "the host imports GetNumberPlayDevices from VeltoSound.dll" \
  "grep -qx GetNumberPlayDevices <<<'$imports'"
check "the host imports no decorated name" "! grep -q '@' <<<'$imports'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
