#!/bin/sh
# Installs what the build needs on Debian 12. With --tests, also what the
# whole test suite needs (sanitizer runtimes, valgrind, the MinGW cross
# compiler, Wine and PulseAudio for the DLL's end-to-end test).
set -eu

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

BUILD_PACKAGES="build-essential cmake ninja-build pkg-config nlohmann-json3-dev libcli11-dev"
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev valgrind python3"

with_tests=no
for arg in "$@"; do
  case "$arg" in
    --tests) with_tests=yes ;;
    *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
  esac
done

packages="$BUILD_PACKAGES"
if [ "$with_tests" = yes ]; then
  packages="$packages $TEST_PACKAGES"
  # The 32-bit DLL and its Wine run need the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
fi

$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $packages

if [ "$with_tests" = yes ]; then
  "$(dirname "$0")/../tests/ci/install-wine-deps.sh"
fi
