#!/bin/sh
# What a change costs, as ratios measured in one run: builds the library at
# REV (a commit, default HEAD) beside the working tree's, both with the
# default preset, and runs velto_compare_bench on the two.
#
#   bench/compare-with.sh [REV] [--quick] [Google Benchmark options]
set -eu
root=$(git rev-parse --show-toplevel)
rev=HEAD
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then rev=$1; shift; fi

# The commit's sources at the same depth as the working tree's, so that a
# compiler cache shared between checkouts finds their unchanged objects.
before=$root/build/compare-src
rm -rf "$before"
mkdir -p "$before"
git -C "$root" archive "$rev" | tar -x -C "$before"
(cd "$before" && cmake --preset default >/dev/null && cmake --build --preset default --target veltosound)
(cd "$root" && cmake --build --preset default --target veltosound velto_compare_bench)

echo "before: $(git -C "$root" rev-parse --short "$rev"); after: the working tree"
"$root/build/default/bench/velto_compare_bench" "$before/build/default/libveltosound.so" \
  "$root/build/default/libveltosound.so" "$@"
