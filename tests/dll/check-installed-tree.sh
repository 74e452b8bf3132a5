#!/bin/bash
# Installs the Windows build into a scratch prefix, checks the layout a host
# author unpacks, and links a C host against the installed header and import
# library: its calls must bind to VeltoSound.dll's undecorated exports.
#
# The installed DLL is stripped, its debug information in a file beside it,
# and its export table intact.
#
# usage: check-installed-tree.sh BUILD_DIR WORK_DIR CC OBJDUMP HOST.c
set -uo pipefail
build=$1 work=$2 cc=$3 objdump=$4 host=$5

rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL cmake --install"; exit 1; }

. "$(dirname "$0")/../support/check-lines.sh"
check() { expect "$1" eval "$2"; }  # WHAT SHELL-TEXT
for f in include/veltosound.h lib/libVeltoSound.dll.a lib/VeltoSound.lib lib/VeltoSound.def bin/VeltoSound.dll \
  bin/VeltoSound.dll.debug bin/VeltoSound.pdb bin/veltomix.exe bin/veltomix.exe.debug; do
  check "installed $f" "[ -f '$prefix/$f' ]"
done

dll=$prefix/bin/VeltoSound.dll
sections=$("$objdump" -h "$dll")
check "the installed DLL has no debug sections" "! grep -q '\.debug_' <<<'$sections'"
check "the installed DLL names its debug file" "grep -q '\.gnu_debuglink' <<<'$sections'"
check "the debug file holds the debug information" \
  "'$objdump' -h '$dll.debug' | grep -q '\.debug_info'"
# Stripping keeps the export table: the same names, ordinals and addresses
# as the built DLL's, which check-export-table.sh checks in full.
export_table() {
  "$objdump" -p "$1" | awk '/Export RVA$/ { print } /^\[Ordinal\/Name Pointer\] Table/ { t = 1 }
    t && /^\t\[/ { print }'
}
built_exports=$(export_table "$build/VeltoSound.dll")
check "the installed DLL exports what the built one does" \
  "[ \"\$(wc -l <<<'$built_exports')\" -ge 88 ] && [ '$built_exports' = \"\$(export_table '$dll')\" ]"
# Windows debuggers find VeltoSound.pdb beside the stripped DLL by the name in
# its debug directory; ordinal 1 is GetMasterVolume.
first_export=$(awk 'NR == 1 { print "0x" $5 }' <<<"$built_exports")
check "VeltoSound.pdb names the function at ordinal 1's address" \
  "[ \"\$(echo $first_export | llvm-symbolizer --relative-address --obj='$dll' | head -n 1)\" = GetMasterVolume ]"
echo "installed VeltoSound.dll: $(stat -c %s "$dll") bytes, built: $(stat -c %s "$build/VeltoSound.dll") bytes"

check "a C host links against the installed import library" \
  "'$cc' -std=c99 -Wall -Wextra -Werror -I'$prefix/include' '$host' -L'$prefix/lib' -lVeltoSound \
     -o '$work/host.exe' >'$work/link.log' 2>&1 || { cat '$work/link.log'; false; }"
# The host's import table names the DLL and the plain export names.
imports=$("$objdump" -p "$work/host.exe" 2>/dev/null | awk '
  /DLL Name:/ { dll = $3 } dll == "VeltoSound.dll" && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }')
check "the host imports GetNumberPlayDevices from VeltoSound.dll" \
  "grep -qx GetNumberPlayDevices <<<'$imports'"
check "the host imports no decorated name" "! grep -q '@' <<<'$imports'"

checks_done
