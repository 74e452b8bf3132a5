#!/bin/sh
# The test command's runs after the asan and default presets' ctest:
#  1. every test binary of the default build once more, under valgrind
#     memcheck: any error or leak fails;
#  2. the libFuzzer target, built with clang in its own configuration, from
#     the seed corpus in tests/fuzz/corpus: two jobs of half a million runs
#     each (a few minutes); any finding fails (the input that caused it is
#     left in the fuzz build directory), and so do far fewer runs than asked;
#  3. a short run of the benchmarks: every floor must make exactly its
#     export's platform calls; the ratios are printed (docs/performance.md
#     has a full run's numbers).
#
# VELTO_DEFAULT_BUILD (build/default), VELTO_FUZZ_BUILD (build/fuzz),
# VELTO_FUZZ_RUNS (1000000, over both jobs) and VELTO_FUZZ_SECONDS (600, the
# cap on each job's time) change where and how long.
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
default_build=${VELTO_DEFAULT_BUILD:-build/default}
fuzz_build=${VELTO_FUZZ_BUILD:-build/fuzz}
case $fuzz_build in /*) ;; *) fuzz_build=$root/$fuzz_build ;; esac
fuzz_runs=${VELTO_FUZZ_RUNS:-1000000}
fuzz_seconds=${VELTO_FUZZ_SECONDS:-600}
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

echo "== libFuzzer, $fuzz_runs runs in two jobs, at most $fuzz_seconds s each"
CC=clang CXX=clang++ cmake -S tests/fuzz -B "$fuzz_build" -G Ninja -DVELTO_WERROR=ON
cmake --build "$fuzz_build" -j "$jobs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# New inputs go to the scratch directory, which both jobs share; the corpus
# in the repository is only read. Each job logs to fuzz-<n>.log in the
# scratch directory.
fuzz_status=0
mkdir "$scratch/corpus"
(cd "$scratch" && "$fuzz_build/fuzz_mixer" -jobs=2 -workers=2 \
  -runs=$((fuzz_runs / 2)) -max_total_time="$fuzz_seconds" -max_len=4096 -timeout=30 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$fuzz_build/" \
  "$scratch/corpus" "$root/tests/fuzz/corpus") || fuzz_status=$?
total=0
for log in "$scratch"/fuzz-*.log; do
  echo "-- $(basename "$log")"
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  total=$((total + ${runs:-0}))
done
echo "fuzz runs in all: $total (asked for $fuzz_runs)"
if [ "$fuzz_status" -ne 0 ]; then
  echo "the fuzzer found a fault (exit $fuzz_status):" >&2
  for log in "$scratch"/fuzz-*.log; do grep -v -E '^#[0-9]+[[:space:]]' "$log" | tail -n 60 >&2; done
  exit 1
fi
# The time cap is there for a machine far slower than expected, not to
# pass a short run off as the full one.
if [ "$total" -lt $((fuzz_runs / 2)) ]; then
  echo "the fuzzer made fewer than half the runs asked for in its time" >&2
  exit 1
fi

echo "== benchmarks (short run)"
if [ -x "$default_build/bench/velto_bench" ]; then
  "$default_build/bench/velto_bench" --quick
  "$default_build/bench/velto_scale_bench" --quick
else
  echo "velto_bench was not built (Google Benchmark missing?)" >&2
  exit 1
fi
