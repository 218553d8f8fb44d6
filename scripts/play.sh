#!/usr/bin/env bash
# Sets up the machine for playing, builds the programs (which also generates the production's
# own data into build/production; the tests and benchmarks are left to scripts/test.sh), then
# shows the production: with a screen, it plays full screen with
# sound; without one, it writes out/tincrates.mp4 (1920 x 1080, H.264 and AAC) and
# out/contact-sheet.png.
# With FOLDER it plays the production in FOLDER instead (a folder holding the archive
# "stashpack" or a folder "data/" with the production's files).
set -euo pipefail
caller=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh --play
scripts/build.sh --programs
if [ $# -gt 0 ]; then
    cd "$caller"
    cd "$1"
    if [ ! -f stashpack ] && [ ! -d data ]; then
        echo "play: $1 holds neither stashpack nor data/: give the folder of a production," \
            "such as $root/build/production" >&2
        exit 1
    fi
    exec "$root/build/bin/tincrates"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    cd "$root/build/production"
    exec "$root/build/bin/tincrates"
fi
echo "play: no screen here, so the production becomes a video and a contact sheet" >&2
mkdir -p "$root/out"
"$root/build/bin/capture" -C "$root/build/production" --size 1920x1080 \
    -o "$root/out/tincrates.mp4" >/dev/null
"$root/build/bin/capture" -C "$root/build/production" \
    --contact-sheet "$root/out/contact-sheet.png" >/dev/null
echo "video:         $root/out/tincrates.mp4"
echo "contact sheet: $root/out/contact-sheet.png"
