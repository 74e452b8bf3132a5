#!/bin/bash
# usage: run-install-test.sh BUILD_DIR HOST_SOURCE_DIR WORK_DIR C_COMPILER
set -euo pipefail
build=$1 host_src=$2 work=$3 cc=$4

rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in include/veltosound.h lib*/cmake/VeltoSound/VeltoSoundConfig.cmake lib*/pkgconfig/veltosound.pc \
  bin/veltomix share/man/man1/veltomix.1 share/bash-completion/completions/veltomix; do
  compgen -G "$prefix/$f" >/dev/null || { echo "installed tree lacks $f"; exit 1; }
done

echo "== veltomix, its manual page and its completion"
"$prefix/bin/veltomix" --version | grep -q '^veltomix [0-9]' || { echo "veltomix --version"; exit 1; }
grep -q '^\.SS topology$' "$prefix/share/man/man1/veltomix.1" || { echo "man page lacks topology"; exit 1; }
# What bash offers after `veltomix sh`, after `veltomix mute m` and for `--st`.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _veltomix
           printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix/share/bash-completion/completions/veltomix" "$@"
}
[ "$(complete_words veltomix sh)" = show ] || { echo "completion of 'sh': $(complete_words veltomix sh)"; exit 1; }
[ "$(complete_words veltomix mute mic-m)" = mic-monitor ] || { echo "completion of a control"; exit 1; }
[ "$(complete_words veltomix --sta)" = --state ] || { echo "completion of an option"; exit 1; }

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
