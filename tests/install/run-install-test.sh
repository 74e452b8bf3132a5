#!/bin/bash
# usage: run-install-test.sh BUILD_DIR HOST_SOURCE_DIR WORK_DIR C_COMPILER
set -euo pipefail
build=$1 host_src=$2 work=$3 cc=$4

rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in include/veltosound.h lib*/cmake/VeltoSound/VeltoSoundConfig.cmake lib*/pkgconfig/veltosound.pc; do
  compgen -G "$prefix/$f" >/dev/null || { echo "installed tree lacks $f"; exit 1; }
done

echo "== find_package(VeltoSound)"
cmake -S "$host_src" -B "$work/cmake-host" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
"$work/cmake-host/veltosound_host"

echo "== pkg-config veltosound"
pcdir=$(dirname "$(compgen -G "$prefix/lib*/pkgconfig/veltosound.pc" | head -1)")
flags=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs veltosound)
libdir=$(PKG_CONFIG_PATH=$pcdir pkg-config --variable=libdir veltosound)
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -Werror "$host_src/host.c" $flags -Wl,-rpath,"$libdir" \
  -o "$work/pkgconfig-host"
"$work/pkgconfig-host"
