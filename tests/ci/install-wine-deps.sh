#!/bin/sh
# Installs what the Windows DLLs' build and tests need on Debian 12: the
# MinGW-w64 i686 and x86-64 cross compilers and binutils, 32-bit and 64-bit
# Wine (one prefix runs both), and a PulseAudio
# server (with pactl) for Wine to find sound endpoints on. Non-interactive;
# run as root or as a user with sudo.
set -eu

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update
elif [ ! -d /var/lib/apt/lists ] || [ -z "$(ls /var/lib/apt/lists 2>/dev/null | grep -i i386 || true)" ]; then
  $SUDO apt-get update
fi

$SUDO apt-get install -y --no-install-recommends \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 \
  wine wine32:i386 wine64 \
  pulseaudio pulseaudio-utils
