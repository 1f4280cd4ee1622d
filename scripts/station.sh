# Shared by run.sh and screenshot.sh (sourced, not run, with `root` set to the repository): a
# simulated station in a private folder, so your own settings and port links are never read or
# touched, and a virtual display. Everything it starts is stopped when the script exits.
# The programs come from build/release, built first through setup.sh, unless QUORVEL_BUILD_DIR
# names a build folder to take as is.

if [ -z "${QUORVEL_BUILD_DIR:-}" ]; then
    "$root/scripts/setup.sh"
fi
build=${QUORVEL_BUILD_DIR:-$root/build/release}
private=$(mktemp -d "${TMPDIR:-/tmp}/quorvel.XXXXXX")
quorvel=$build/qt/quorvel
sim=$build/sim/quorvel-sim
sim_pid=""
xvfb_pid=""
quorvel_pid=""
display=""

stop_station() {
    local pid
    for pid in "$quorvel_pid" "$sim_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$private"
}
trap stop_station EXIT
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

# The simulated radio as Com1, reporting 50 W in the high-power range, and a settings file that
# opens Com1. Sets run_env, the environment Quorvel runs in.
start_station() {
    local program config=$private/config
    for program in "$quorvel" "$sim"; do
        if [ ! -x "$program" ]; then
            echo "$(basename "$0"): $program was not built" >&2
            exit 1
        fi
    done
    mkdir -p "$private/home" "$config/Quorvel/ports" "$private/runtime"
    chmod 700 "$private/runtime"
    printf '[settings]\nport=1\n' >"$config/Quorvel/Quorvel.conf"
    "$sim" --port 1 --dir "$config/Quorvel/ports" --power 50 --range 1 >"$private/sim.log" 2>&1 &
    sim_pid=$!
    if ! wait_for 10 test -L "$config/Quorvel/ports/com1"; then
        echo "$(basename "$0"): the simulator did not start:" >&2
        cat "$private/sim.log" >&2
        exit 1
    fi
    run_env=(env HOME="$private/home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$private/runtime")
}

# Xvfb on a display it picks itself; sets display.
start_xvfb() {
    command -v Xvfb >/dev/null || {
        echo "$(basename "$0"): Xvfb is missing; scripts/setup.sh installs it" >&2
        exit 1
    }
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$private/display" >"$private/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Xvfb writes the number of its display once it accepts clients.
    if ! wait_for 15 grep -q '^[0-9][0-9]*$' "$private/display"; then
        echo "$(basename "$0"): Xvfb did not start:" >&2
        cat "$private/xvfb.log" >&2
        exit 1
    fi
    display=":$(cat "$private/display")"
}

# Quorvel on the virtual display, in the background, until it has had $1 answers.
start_quorvel_on_xvfb() {
    "${run_env[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$quorvel" >"$private/quorvel.log" 2>&1 &
    quorvel_pid=$!
    answered() { [ "$(grep -c ' tx PC' "$private/sim.log")" -ge "$1" ]; }
    if ! wait_for 30 answered "$1"; then
        echo "$(basename "$0"): the panel did not poll the simulator; its exchanges and output:" >&2
        cat "$private/sim.log" "$private/quorvel.log" >&2
        exit 1
    fi
}
