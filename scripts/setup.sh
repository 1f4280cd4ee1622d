#!/usr/bin/env bash
# Installs what Quorvel needs on Debian 12 (apt, through sudo when not root) and builds it into
# build/release. Safe to run again; it installs only what is missing.
#
#   scripts/setup.sh              what building, running and packaging need, then build (scripts/run.sh)
#   scripts/setup.sh --deps-only  everything building, testing and packaging need; no build
#                                 (scripts/test.sh, CI)
set -euo pipefail
cd "$(dirname "$0")/.."

# Building and running: the compiler, CMake and Qt's development packages.
run_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev libxcb1-dev
)
# Packaging: cpack's Debian generator works out the package's dependencies with these.
package_packages=(dpkg-dev file)
# Without a display, scripts/run.sh runs the panel on a virtual one.
headless_packages=(xvfb)
# Testing, measuring, checking the package and the README's screenshot, on top of the lists above.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xdotool x11-utils imagemagick fonts-liberation
    python3 clang-format clang-tidy util-linux locales
    desktop-file-utils appstream lintian librsvg2-bin man-db groff
    dbus dbus-x11 at-spi2-core python3-pyatspi
    libhamlib-utils flrig ser2net
)

packages=("${run_packages[@]}" "${package_packages[@]}")
if [ "${1:-}" = "--deps-only" ]; then
    packages+=("${headless_packages[@]}" "${test_packages[@]}")
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    packages+=("${headless_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--deps-only" ]; then
    exit 0
fi

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF
cmake --build build/release --target quorvel quorvel-sim
