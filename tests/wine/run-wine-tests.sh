#!/bin/bash
# Runs VeltoSound.dll end to end under Wine, on a private PulseAudio server
# whose null sinks and sources stand in for a sound card.
#
# usage: run-wine-tests.sh VeltoSound.dll wine_host.exe veltomix.exe exports.txt WORK_DIR
#          mixer_tour.exe load_at_run_time.exe
# (the last two: the host guide's C examples)
set -uo pipefail
dll=$1 host=$2 veltomix=$3 exports=$4
work=$(realpath -m "$5")
tour=$6 loader=$7

rm -rf "$work"
mkdir -p "$work/bin" "$work/no-dll"
cp "$dll" "$host" "$veltomix" "$tour" "$loader" "$work/bin/"
cp "$tour" "$loader" "$work/no-dll/"
cp "$exports" "$work/bin/exports.txt"

. "$(dirname "$0")/../support/wine-session.sh"
. "$(dirname "$0")/../support/check-lines.sh"

cd "$work/bin" || exit 1

expect_output() {  # NAME FILE PATTERN (extended regular expression)
  expect "$1 printed /$3/" grep -qE "$3" "$2"
}
expect_text() {  # NAME FILE TEXT...
  local name=$1 file=$2 text
  shift 2
  for text; do expect "$name printed $text" grep -qF "$text" "$file"; done
}
expect_exit() {  # NAME EXPECTED ACTUAL
  expect "$1 exited with $3 (expected $2)" [ "$2" = "$3" ]
}

echo "== wine wine_host.exe"
wine "$(basename "$host")" VeltoSound.dll exports.txt
expect_exit wine_host.exe 0 $?

# veltomix runs on the real platform too: the PulseAudio sinks are its
# playback endpoints (plus Wine's default "PulseAudio" one).
echo "== wine veltomix.exe"
wine veltomix.exe GetNumberPlayDevices GetPlayBackDevice 0 GetPlayBackDevice 1 \
  GetPlayBackDevice 2 GetPlayBackDevice 3 | tee "$work/veltomix.out"
expect_text veltomix "$work/veltomix.out" 'GetNumberPlayDevices -> 0 count=3' 'name="Speakers"' \
  'name="\xC9couteurs A\xF3dz"' 'GetPlayBackDevice -> -1'

# --trace on Windows: the same answers, and each Core Audio call on stderr.
echo "== wine veltomix.exe --trace"
wine veltomix.exe --trace GetNumberPlayDevices GetPlayBackDevice 0 \
  >"$work/veltomix-traced.out" 2>"$work/veltomix.trace"
grep -F 'trace: ' "$work/veltomix.trace" | head -n 12
expect_text "veltomix --trace" "$work/veltomix.trace" 'trace: com CoInitialize() -> S_OK' \
  'EnumAudioEndpoints(flow=eRender stateMask=0x1) -> S_OK out=IMMDeviceCollection#' \
  'GetCount() -> S_OK count=3' 'trace: com PropVariantToBSTR(' 'Release() -> refs=0'
expect "veltomix --trace answered as without it" \
  grep -qF 'GetNumberPlayDevices -> 0 count=3' "$work/veltomix-traced.out"

# The host guide's examples: what they print beside the DLL, and without it.
echo "== wine mixer_tour.exe (the host guide's C example)"
wine mixer_tour.exe >"$work/tour.out" 2>&1
expect_exit mixer_tour.exe 0 $?
cat "$work/tour.out"
expect_output mixer_tour.exe "$work/tour.out" '^master volume +platform call failed'
expect_output mixer_tour.exe "$work/tour.out" '^master mute +(on|off)'
# Wine's default recording endpoint is its own "PulseAudio", bound as line in.
expect_output mixer_tour.exe "$work/tour.out" '^line recording +[0-9]+%'
echo "== wine load_at_run_time.exe"
wine load_at_run_time.exe >"$work/loader.out" 2>&1
expect_exit load_at_run_time.exe 0 $?
expect_output load_at_run_time.exe "$work/loader.out" '^3 playback endpoints'

# A sink that goes away while the DLL has it bound: the host binds it, the
# module is unloaded under it, then every export must still answer and
# closing and binding again must work.
echo "== wine wine_host.exe --removal (a null sink unloaded while bound)"
doomed=$(pactl load-module module-null-sink sink_name=doomed \
  sink_properties="device.description='Doomed'")
rm -f removal-bound removal-gone
wine "$(basename "$host")" VeltoSound.dll exports.txt --removal removal-bound removal-gone \
  >"$work/removal.out" 2>&1 &
removal_pid=$!
for _ in $(seq 600); do
  [ -e removal-bound ] || ! kill -0 "$removal_pid" 2>/dev/null && break
  sleep 0.1
done
unload_bound() { [ -e removal-bound ] && pactl unload-module "$doomed"; }
expect "wine_host.exe --removal bound Doomed, whose module was then unloaded" unload_bound
touch removal-gone
wait "$removal_pid"
removal_status=$?
grep -v '^ok ' "$work/removal.out"
expect_exit "wine_host.exe --removal" 0 "$removal_status"

echo "== the examples without VeltoSound.dll beside them"
cd "$work/no-dll" || exit 1
wine load_at_run_time.exe >"$work/loader-alone.out" 2>&1
expect_exit "load_at_run_time.exe alone" 1 $?
expect_output "load_at_run_time.exe alone" "$work/loader-alone.out" 'VeltoSound.dll not found'
# Linked with the import library, it cannot start; Wine says so only in
# its own log, which WINEDEBUG=-all silences.
wine mixer_tour.exe >"$work/tour-alone.out" 2>&1
expect_exit "mixer_tour.exe alone" 53 $?
WINEDEBUG=err+module wine mixer_tour.exe >"$work/tour-alone-err.out" 2>&1
expect_output "mixer_tour.exe alone, WINEDEBUG=err+module" "$work/tour-alone-err.out" \
  'VeltoSound.dll.*not found'
cat "$work/tour-alone-err.out"

checks_done
