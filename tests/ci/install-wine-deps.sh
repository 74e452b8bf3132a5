#!/bin/sh
# Installs what the Windows DLLs' build and tests need on Debian 12: the
# MinGW-w64 i686 and x86-64 cross compilers and binutils, LLVM's dlltool,
# clang and lld-link (the MSVC-format import libraries and the MSVC-mode test
# host), 32-bit and 64-bit Wine (one prefix runs both), and a PulseAudio
# server (with pactl) for Wine to find sound endpoints on, and a virtual X
# display (Xvfb) for the mixer window's test. Non-interactive;
# only missing packages are installed, as root or through sudo.
set -eu

. "$(dirname "$0")/../../scripts/package-helpers.sh"

missing=$(missing_packages g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 llvm clang lld wine wine32:i386 wine64 \
  pulseaudio pulseaudio-utils xvfb)
[ -n "$missing" ] || exit 0

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# shellcheck disable=SC2086
apt_install $missing
