#!/bin/bash
# The release archive as a Windows host author picks it up: unpacked into an
# empty folder, and for each width, built from the unpacked tree alone and
# run in it under Wine over a private PulseAudio server
# (tests/support/wine-session.sh):
#   - a host compiled in MSVC mode (msvc_host.c) and linked by lld-link
#     against VeltoSound.lib;
#   - the host guide's C examples, built with MinGW-w64 as the guide shows;
#   - the version resources of VeltoSound.dll, veltomix.exe and VeltoMixer.exe, read through
#     GetFileVersionInfo (version_info.exe), and `veltomix --version`,
#     against the project version.
#
# usage: check-windows-sdk.sh WORK VERSION ARCHIVE.zip version_info.exe
set -uo pipefail
work=$(realpath -m "$1")
version=$2 archive=$3 version_info=$4
here=$(realpath "$(dirname "$0")")
rm -rf "$work"
mkdir -p "$work/unpacked"

. "$here/../support/check-lines.sh"
has_line() { grep -qxE -- "$2" "$1" || { cat "$1"; false; }; }
# DIR OUT PROGRAM ARGS...: runs the program in DIR, its output without CRs
# in OUT; passes its exit status on.
run_in() {
  local dir=$1 out=$2
  shift 2
  (cd "$dir" && wine "$@" >"$out.raw" 2>&1)
  local status=$?
  tr -d '\r' <"$out.raw" >"$out"
  return $status
}

# x86|x64 INCLUDE_DIR VeltoSound.lib DIR: builds msvc_host.exe as an MSVC
# toolchain would (kernel32's import library from kernel32.def, there being
# no Windows SDK here) and runs it in DIR, beside the DLL.
msvc_host() {
  local target=i686-pc-windows-msvc machine=i386 kill_at=--kill-at def=$here/kernel32.def
  local out=$work/msvc-$1
  mkdir -p "$out"
  if [ "$1" = x64 ]; then
    target=x86_64-pc-windows-msvc machine=i386:x86-64 kill_at=
    sed 's/@[0-9]*$//' "$def" >"$out/kernel32.def" && def=$out/kernel32.def
  fi
  expect "$1: the MSVC-mode host links against VeltoSound.lib" sh -exc "
    llvm-dlltool -m $machine $kill_at -d '$def' -l '$out/kernel32.lib'
    clang --target=$target -std=c89 -Wall -Wextra -Werror -pedantic -I'$2' \
      -c '$here/msvc_host.c' -o '$out/msvc_host.obj'
    lld-link /nologo /nodefaultlib /entry:HostMain /subsystem:console '/out:$4/msvc_host.exe' \
      '$out/msvc_host.obj' '$3' '$out/kernel32.lib'"
  expect "$1: the MSVC-mode host's checks pass" run_in "$4" "$out/run.out" msvc_host.exe
  cat "$out/run.out"
}

expect "the archive unpacks" sh -c "cd '$work/unpacked' && cmake -E tar xf '$archive'"
tree=$work/unpacked/$(basename "$archive" .zip)
for file in include/veltosound.h VeltoSound.def LICENSE README.txt docs/host-guide.md \
  docs/user-guide.md bindings/csharp/VeltoSound.cs python/veltosound/__init__.py \
  x86/veltosound-$version-py3-none-win32.whl x64/veltosound-$version-py3-none-win_amd64.whl \
  {x86,x64}/{VeltoSound.dll,VeltoSound.pdb,VeltoSound.lib,libVeltoSound.dll.a,veltomix.exe,VeltoMixer.exe}; do
  expect "the archive holds $file" [ -f "$tree/$file" ]
done
expect "the debug information is in the symbols archive alone" sh -c "
  [ -z \"\$(find '$tree' -name '*.debug')\" ] &&
  cmake -E tar tf '${archive%.zip}-symbols.zip' | grep '[.]debug\$' | sort | tr '\n' ' ' |
    grep -qx 'x64/VeltoMixer.exe.debug x64/VeltoSound.dll.debug x64/veltomix.exe.debug x86/VeltoMixer.exe.debug x86/VeltoSound.dll.debug x86/veltomix.exe.debug '"
# Every relative link of the archive's documents leads to a file in it.
links=0
while IFS=: read -r document target; do
  expect "$document links to $target" [ -e "$tree/$(dirname "$document")/$target" ]
  links=$((links + 1))
done < <(cd "$tree" && grep -oE '\]\([^)#:]+[)#]' -r --include='*.md' . | sed -E 's/:\]\(/:/; s/[)#]$//')
expect "the documents' links were found" [ "$links" -gt 5 ]
. "$here/../support/wine-session.sh"
for width in x86 x64; do
  [ "$width" = x86 ] && cc=i686-w64-mingw32-gcc || cc=x86_64-w64-mingw32-gcc
  dir=$tree/$width
  msvc_host "$width" "$tree/include" "$dir/VeltoSound.lib" "$dir"
  for example in mixer_tour load_at_run_time; do
    cmake -DDOC="$tree/docs/host-guide.md" -DNAME=$example.c -DOUT="$work/$example.c" \
      -P "$here/../../cmake/extract-doc-file.cmake"
    expect "$width: the host guide's $example.c builds against the archive" \
      "$cc" -std=c99 -Wall -Wextra -Werror "$work/$example.c" -I"$tree/include" -L"$dir" \
      -lVeltoSound -o "$dir/$example.exe"
    expect "$width: $example.exe runs in the archive's folder" \
      run_in "$dir" "$work/$width-$example.out" $example.exe
  done
  expect "$width: mixer_tour.exe shows the master mute" \
    has_line "$work/$width-mixer_tour.out" 'master mute +(on|off)'
  expect "$width: load_at_run_time.exe counts the endpoints" \
    has_line "$work/$width-load_at_run_time.out" '[0-9]+ playback endpoints'
  # Beside the DLL of the other width, it says so.
  other=x64 bits=32
  [ "$width" = x64 ] && other=x86 bits=64
  mkdir -p "$work/$width-crossed"
  cp "$dir/load_at_run_time.exe" "$tree/$other/VeltoSound.dll" "$work/$width-crossed/"
  run_in "$work/$width-crossed" "$work/$width-crossed.out" load_at_run_time.exe
  expect "$width: load_at_run_time.exe names a DLL of the other width" \
    has_line "$work/$width-crossed.out" "VeltoSound.dll is not a $bits-bit DLL \\(error 193\\): take the one from $width"
  run_in "$dir" "$work/$width-crossed-veltomix.out" veltomix.exe --library "..\\$other\\VeltoSound.dll" GetMasterVolume
  expect "$width: veltomix --library names a DLL of the other width" \
    has_line "$work/$width-crossed-veltomix.out" ".*: it is not a $bits-bit DLL \\(error 193, ERROR_BAD_EXE_FORMAT\\).*"

  for binary in VeltoSound.dll veltomix.exe VeltoMixer.exe; do
    run_in "$dir" "$work/$width-$binary.version" "$version_info" "$binary"
    for field in "Fixed=$version.0" "FixedProduct=$version.0" "FileVersion=$version" \
      "ProductVersion=$version" "ProductName=VeltoSound" "OriginalFilename=$binary" \
      "FileDescription=.+" "LegalCopyright=Copyright .+"; do
      expect "$width/$binary's version resource: $field" \
        has_line "$work/$width-$binary.version" "$field"
    done
  done
  run_in "$dir" "$work/$width-veltomix-version.out" veltomix.exe --version
  expect "$width: veltomix --version says $version" \
    has_line "$work/$width-veltomix-version.out" "veltomix $version"
done
checks_done
