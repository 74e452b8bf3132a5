#!/bin/sh
# Installs what the build needs on Debian 12. With --tests, also what the
# whole test suite needs (sanitizer runtimes, valgrind, pytest, Mono, the MinGW
# cross compiler, Wine and PulseAudio for the DLL's end-to-end test).
#
# Only missing packages are installed: when every package is there already,
# nothing needs root.
set -eu

BUILD_PACKAGES="build-essential cmake ninja-build pkg-config nlohmann-json3-dev libcli11-dev"
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev valgrind
  python3 python3-pytest python3-pip python3-venv mono-mcs mono-runtime
  nuget"

with_tests=no
for arg in "$@"; do
  case "$arg" in
    --tests) with_tests=yes ;;
    *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
  esac
done

packages="$BUILD_PACKAGES"
if [ "$with_tests" = yes ]; then packages="$packages $TEST_PACKAGES"; fi

. "$(dirname "$0")/package-helpers.sh"

# shellcheck disable=SC2086
missing=$(missing_packages $packages)
if [ -n "$missing" ]; then
  # shellcheck disable=SC2086
  apt_install $missing
fi

if [ "$with_tests" = yes ]; then
  "$(dirname "$0")/../tests/ci/install-wine-deps.sh"
fi
