#!/bin/sh
# The public header in every dialect a host compiles: C89 to C11 and C++98
# to C++20, with the MinGW compilers and with clang in MSVC mode, warnings
# as errors. Compile only.
#
# usage: check-header-dialects.sh MINGW_CC MINGW_CXX MSVC_TARGET INCLUDE_DIR
set -u
cc=$1 cxx=$2 target=$3 include=$4
strict="-Wall -Wextra -Werror -pedantic -fsyntax-only"
failed=0
try() {  # LABEL COMPILER ARGS...
  label=$1
  shift
  if echo '#include <veltosound.h>' | "$@" $strict -I"$include" - 2>"$label.log"; then
    echo "ok   $label"
  else
    echo "FAIL $label"
    cat "$label.log"
    failed=$((failed + 1))
  fi
}
for std in c89 c99 c11; do
  try "mingw-$std" "$cc" -std=$std -x c
  try "msvc-$std" clang --target="$target" -std=$std -x c
done
for std in c++98 c++11 c++14 c++17 c++20; do
  try "mingw-$std" "$cxx" -std=$std -x c++
  try "msvc-$std" clang --target="$target" -std=$std -x c++
done
[ "$failed" -eq 0 ]
