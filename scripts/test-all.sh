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

# The plain build: its own tests, then the suite once more under valgrind.
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

tests/ci/run-extra.sh

# The Windows DLL, cross-built, its export table and the Wine end-to-end run.
cmake --preset mingw
cmake --build --preset mingw -j "$jobs"
ctest --preset mingw
echo "all tests passed"
