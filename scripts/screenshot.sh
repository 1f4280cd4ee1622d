#!/usr/bin/env bash
# Saves a picture of the panel for the README: the real program, built from this tree, against
# the transceiver simulator (50 W, high-power range) on a virtual display, so it looks the same on
# any machine. Usage: scripts/screenshot.sh [output.png]   (default docs/screenshot.png)
# It builds into build/release first, unless QUORVEL_BUILD_DIR names a build folder to take as is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "${1:-$root/docs/screenshot.png}")

"$root/scripts/setup.sh" --deps-only
# shellcheck source=scripts/station.sh
. "$root/scripts/station.sh"

start_station
start_xvfb
start_quorvel_on_xvfb 3

panel_window() { DISPLAY=$display xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | head -n 1; }
has_panel() { [ -n "$(panel_window)" ]; }
wait_for 10 has_panel
# Let the last reply's repaint reach the screen.
sleep 1
mkdir -p "$(dirname "$output")"
# No time or tool names in the file, so the same panel gives the same picture.
DISPLAY=$display import -window "$(panel_window)" -strip "png:$output"
echo "Screenshot of the panel: $output"
