#!/bin/sh
# Runs a test as a screen reader's desktop would host it: its own X server, D-Bus session and
# AT-SPI bus, with Qt's accessibility bridge kept on. Qt only joins an AT-SPI bus that is already
# running, so the bus is asked for its address (which starts it) before the test.
set -eu
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-nolisten tcp" dbus-run-session -- sh -c \
    'dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null &&
     exec "$@"' sh "$@"
