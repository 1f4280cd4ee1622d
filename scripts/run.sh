#!/usr/bin/env bash
# Builds Quorvel (through setup.sh) and runs it against the transceiver simulator, in a private
# settings folder: your own settings and port links are never read or touched.
# With a display the panel runs until you leave it. Without one it runs under Xvfb for a few
# seconds and a screenshot of the panel is saved; its path is printed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

build=${QUORVEL_BUILD_DIR:-$root/build/release}
quorvel=$build/qt/quorvel
sim=$build/sim/quorvel-sim
for program in "$quorvel" "$sim"; do
    if [ ! -x "$program" ]; then
        echo "run.sh: $program was not built" >&2
        exit 1
    fi
done

private=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-run.XXXXXX")
sim_pid=""
xvfb_pid=""
quorvel_pid=""
cleanup() {
    local pid
    for pid in "$quorvel_pid" "$sim_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$private"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            return 1
        fi
        sleep 0.1
    done
}

config=$private/config
mkdir -p "$private/home" "$config/Quorvel/ports" "$private/runtime"
chmod 700 "$private/runtime"
printf '[settings]\nport=1\n' >"$config/Quorvel/Quorvel.conf"

# The simulated radio as Com1, reporting 50 W in the high-power range.
"$sim" --port 1 --dir "$config/Quorvel/ports" --power 50 --range 1 >"$private/sim.log" 2>&1 &
sim_pid=$!
if ! wait_for 10 test -L "$config/Quorvel/ports/com1"; then
    echo "run.sh: the simulator did not start:" >&2
    cat "$private/sim.log" >&2
    exit 1
fi

run_env=(env HOME="$private/home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$private/runtime")

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvel is running against the simulator on Com1; leave it with Exit or close the window."
    "${run_env[@]}" "$quorvel"
    exit 0
fi

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || {
        echo "run.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    }
done

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$private/display" >"$private/xvfb.log" 2>&1 &
xvfb_pid=$!
has_display_number() { grep -q '^[0-9][0-9]*$' "$private/display"; }
if ! wait_for 15 has_display_number; then
    echo "run.sh: Xvfb did not start:" >&2
    cat "$private/xvfb.log" >&2
    exit 1
fi
display=":$(cat "$private/display")"

"${run_env[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$quorvel" >"$private/quorvel.log" 2>&1 &
quorvel_pid=$!

panel_window() { DISPLAY=$display xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | head -n 1; }
has_panel() { [ -n "$(panel_window)" ]; }
if ! wait_for 20 has_panel; then
    echo "run.sh: the Quorvel window did not appear:" >&2
    cat "$private/quorvel.log" >&2
    exit 1
fi
# A few answered polls, so the lamps and the power show the radio's state in the picture.
answered_polls() { [ "$(grep -c ' tx PC' "$private/sim.log")" -ge 3 ]; }
if ! wait_for 15 answered_polls; then
    echo "run.sh: the panel did not poll the simulator; its exchanges so far:" >&2
    cat "$private/sim.log" >&2
fi
sleep 1

screenshot=$(mktemp "${TMPDIR:-/tmp}/quorvel-panel.XXXXXX.png")
DISPLAY=$display import -window "$(panel_window)" "$screenshot"
echo "Simulator exchanges:"
tail -n 6 "$private/sim.log"
echo "Screenshot of the panel: $screenshot"
