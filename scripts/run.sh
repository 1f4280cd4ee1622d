#!/usr/bin/env bash
# Builds Quorvel (through setup.sh, which installs only what building and running need) and runs
# it against the transceiver simulator, in a private settings folder: your own settings and port
# links are never read or touched.
# With a display the panel runs until you leave it. Without one it runs on a virtual display
# (Xvfb) until it has polled the simulator a few times, and the exchanges are shown.
# QUORVEL_BUILD_DIR names a build folder to run as is, without installing or building.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/station.sh
. "$root/scripts/station.sh"

start_station

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvel is running against the simulator on Com1; leave it with Exit or close the window."
    "${run_env[@]}" "$quorvel"
    exit 0
fi

start_xvfb
start_quorvel_on_xvfb 4
echo "No display here, so Quorvel ran on a virtual one (Xvfb) against the simulator on Com1."
echo "Its last exchanges (the simulator's time, rx from Quorvel, tx to it):"
tail -n 6 "$private/sim.log"
echo "On a desktop, scripts/run.sh shows the panel; scripts/screenshot.sh saves a picture of it."
