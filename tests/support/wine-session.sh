# shellcheck shell=bash
# shellcheck disable=SC2154 # $work is the sourcing script's
# Sourced by the Wine test scripts (bash), with $work set to an existing
# directory: starts a private PulseAudio server whose null sinks and sources
# stand in for a sound card, and makes a private Wine prefix, both under
# $work; both are stopped when the script exits.
for tool in wine wineboot wineserver pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "FAIL $tool is not installed (tests/ci/install-wine-deps.sh)"; exit 1; }
done

mkdir -p "$work/home" "$work/pulse"

# Everything private to this run: the server's socket, runtime and cookie,
# the client's settings, the Wine prefix. No display, no sound hardware.
export HOME=$work/home
export XDG_RUNTIME_DIR=$work/pulse
export PULSE_RUNTIME_PATH=$work/pulse
export PULSE_SERVER=unix:$work/pulse/native
export PULSE_CLIENTCONFIG=$work/pulse/client.conf
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

cat >"$work/pulse/server.pa" <<PA
.fail
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native
load-module module-null-sink sink_name=speakers sink_properties="device.description='Speakers'"
load-module module-null-sink sink_name=ecouteurs sink_properties="device.description='Écouteurs Łódź'"
load-module module-null-source source_name=microphone description='Microphone'
load-module module-null-source source_name=line_in description='Line In'
set-default-sink speakers
set-default-source microphone
PA

pulse_pid=
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
}
trap cleanup EXIT

# As root, PulseAudio warns that it is meant for --system, and runs anyway.
pulseaudio -n -F "$work/pulse/server.pa" --daemonize=no --exit-idle-time=-1 \
  --disallow-exit --use-pid-file=no --log-target=file:"$work/pulse/server.log" \
  >"$work/pulse/stdout.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 50); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.2
done
if ! pactl info >/dev/null 2>&1; then
  echo "FAIL the PulseAudio server did not start"
  cat "$work/pulse/stdout.log" "$work/pulse/server.log"
  exit 1
fi
echo "== PulseAudio sinks and sources"
pactl list short sinks
pactl list short sources

echo "== wineboot"
if ! wineboot -i >"$work/wineboot.log" 2>&1; then
  echo "FAIL wineboot"
  cat "$work/wineboot.log"
  exit 1
fi
