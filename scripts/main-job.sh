#!/bin/sh
# The main job on a fresh Debian machine: install, build, and run veltomix
# on the embedded sample sound system.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset main
cmake --build --preset main --target veltomix
build/main/tools/veltomix/veltomix --script tools/veltomix/examples/tour.vmx "$@"
