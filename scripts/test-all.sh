#!/bin/sh
# Installs every dependency, builds every configuration and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests

jobs=$(nproc 2>/dev/null || echo 2)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

# Host threads calling every export at once, under ThreadSanitizer (clang):
# the library and that test alone.
cmake --preset tsan
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan

# The plain build: its own tests, then the suite once more under valgrind.
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

tests/ci/run-extra.sh

# The Windows DLLs, 32-bit and 64-bit, cross-built: their export tables, ids
# and imports, and the Wine runs (PulseAudio and the Core Audio test server).
for preset in mingw mingw64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset"
done
echo "all tests passed"
