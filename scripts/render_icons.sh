#!/usr/bin/env bash
# Renders the program's icon from its one drawing, resources/icons/quorvel.svg: the PNG sizes the
# desktop's icon theme and the window use, and the Windows icon. Run it after changing the drawing
# and commit what it writes (needs rsvg-convert from librsvg2-bin, and ImageMagick's convert).
set -euo pipefail
icons="$(cd "$(dirname "$0")/.." && pwd)/resources/icons"

for size in 16 32 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" "$icons/quorvel.svg" --output "$icons/${size}x${size}/quorvel.png"
done
# Windows picks the size it needs from one file.
convert "$icons"/{16x16,32x32,48x48,256x256}/quorvel.png "$icons/../quorvel.ico"
