#!/bin/sh
# The test command's runs after the asan and default presets' ctest:
#  1. every test binary of the default build once more, under valgrind
#     memcheck: any error or leak fails;
#  2. the libFuzzer target, built with clang in its own configuration, for
#     about a minute from the seed corpus in tests/fuzz/corpus: any finding
#     fails (the input that caused it is left in the fuzz build directory);
#  3. a short run of the benchmarks: every floor must make exactly its
#     export's platform calls; the ratios are printed (docs/performance.md
#     has a full run's numbers).
#
# VELTO_DEFAULT_BUILD (build/default), VELTO_FUZZ_BUILD (build/fuzz) and
# VELTO_FUZZ_SECONDS (60) change where and how long.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
default_build=${VELTO_DEFAULT_BUILD:-build/default}
fuzz_build=${VELTO_FUZZ_BUILD:-build/fuzz}
fuzz_seconds=${VELTO_FUZZ_SECONDS:-60}
jobs=$(nproc 2>/dev/null || echo 2)

echo "== valgrind memcheck over the test binaries of $default_build"
binaries=$(find "$default_build/tests" -type f -perm -u+x -name '*_tests' | sort)
[ -n "$binaries" ] || { echo "no test binaries under $default_build/tests" >&2; exit 1; }
for binary in $binaries; do
  echo "-- $binary"
  # From its own directory, as ctest runs it.
  (cd "$(dirname "$binary")" &&
    valgrind --error-exitcode=1 --leak-check=full --quiet "./$(basename "$binary")" --gtest_brief=1)
done

echo "== libFuzzer, $fuzz_seconds s"
CC=clang CXX=clang++ cmake -S tests/fuzz -B "$fuzz_build" -G Ninja -DVELTO_WERROR=ON
cmake --build "$fuzz_build" -j "$jobs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# New inputs go to the scratch directory; the corpus in the repository is
# only read.
"$fuzz_build/fuzz_mixer" -max_total_time="$fuzz_seconds" -max_len=4096 -timeout=30 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$root/$fuzz_build/" \
  "$scratch" tests/fuzz/corpus

echo "== benchmarks (short run)"
if [ -x "$default_build/bench/velto_bench" ]; then
  "$default_build/bench/velto_bench" --quick
  "$default_build/bench/velto_scale_bench" --quick
else
  echo "velto_bench was not built (Google Benchmark missing?)" >&2
  exit 1
fi
