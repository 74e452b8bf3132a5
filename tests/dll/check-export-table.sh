#!/bin/bash
# Checks VeltoSound.dll's export table against exports.txt: exactly these
# names at exactly these ordinals, nothing else, and every export's code
# returning with `ret $N`, N being the bytes of arguments the callee must pop
# under __stdcall. A 64-bit DLL has one calling convention, in which the
# caller pops: there the returns are not checked.
#
# usage: check-export-table.sh OBJDUMP DLL EXPORTS_TXT
set -uo pipefail
objdump=$1 dll=$2 table=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$objdump" -p "$dll" >"$work/headers" || { echo "cannot read $dll"; exit 1; }
"$objdump" -d --no-show-raw-insn "$dll" >"$work/code" || { echo "cannot disassemble $dll"; exit 1; }

image_base=$(awk '$1 == "ImageBase" { print $2 }' "$work/headers")
callee_pops=yes
if "$objdump" -f "$dll" | grep -q 'file format pei-x86-64'; then callee_pops=no; fi
ordinal_base=$(awk '/^Ordinal Base/ { print $3 }' "$work/headers")

# "[index] +base[ordinal] rva Export RVA" lines: ordinal -> rva.
awk '/Export RVA$/ { gsub(/[][+]|base/, " "); print $2, $3 }' "$work/headers" | sort -n >"$work/rvas"
# "[index] name" lines of the name table: name -> ordinal (index + base).
awk -v base="$ordinal_base" '
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^\t\[ *[0-9]+\] [A-Za-z_]/ { gsub(/[][]/, " "); print $2, $1 + base; next }
  names && !/^\t\[/ { names = 0 }' "$work/headers" | sort -k2n >"$work/names"

grep -v '^#' "$table" | awk 'NF == 3 { print $1, $2 }' | sort -k2n >"$work/expected"

. "$(dirname "$0")/../support/check-lines.sh"
# A difference shows above its FAIL line (- expected, + in the DLL).
expect "44 names at their ordinals, no other name" diff -u "$work/expected" "$work/names"
expect "no export by ordinal only: $(wc -l <"$work/rvas") addresses" \
  [ "$(wc -l <"$work/rvas")" -eq "$(wc -l <"$work/expected")" ]
decorated=$(grep -cE '\] [A-Za-z_0-9]+@[0-9]+$' "$work/headers")
expect "no decorated Name@N export" [ "$decorated" -eq 0 ]

# The returns of the function at ADDRESS (hex, no 0x), and of its .cold part:
# one "ret" or "ret $0xN" per line.
returns_of() {
  awk -v start="$1" '
    $1 == start && $2 ~ /^<.*>:$/ { in_body = 1; label = $2; sub(/>:$/, ".cold>:", label); next }
    in_body && /^[0-9a-f]+ <.*>:$/ { in_body = 0 }
    label != "" && $2 == label { in_cold = 1; next }
    in_cold && /^[0-9a-f]+ <.*>:$/ { in_cold = 0 }
    (in_body || in_cold) && $2 == "ret" { print ($3 == "" ? "ret $0x0" : "ret " $3) }
  ' "$work/code"
}

while [ "$callee_pops" = yes ] && read -r name ordinal bytes; do
  rva=$(awk -v o="$ordinal" '$1 == o { print $2 }' "$work/rvas")
  [ -n "$rva" ] || { fail "$name: no address at ordinal $ordinal"; continue; }
  address=$(printf '%x' $((0x$image_base + 0x$rva)))
  expected_ret=$(printf 'ret $0x%x' "$bytes")
  returns=$(returns_of "$address")
  if [ -z "$returns" ]; then
    fail "$name: no return found in its code at 0x$address"
  elif [ -n "$(grep -vxF "$expected_ret" <<<"$returns")" ]; then
    fail "$name: returns with $(sort -u <<<"$returns" | tr '\n' ' ')instead of $expected_ret"
  else
    passed=$((passed + 1))
  fi
done < <(grep -v '^#' "$table" | awk 'NF == 3')

[ "$callee_pops" = yes ] || echo "skip returns: x86-64, where the caller pops"
checks_done
