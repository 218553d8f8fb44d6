#!/usr/bin/env bash
# Measures how the production's picture is graded, from frames across the whole production and
# from frames at the peaks of four flashes:
#   body: for frames from beat 8 to 200, leaving out the first 0.3 beat after each whole beat
#         (where the flash is), the medians of ffmpeg's signalstats: the darkest tenth of the luma
#         (YLOW), the spread up to the brightest tenth (YHIGH - YLOW), the mean saturation
#         (SATAVG); luma in limited range, 16 to 235.
#   flash: the share of pixels at full-range luma 250 or more at beats 20.01, 60.01, 100.01 and
#          150.01.
# Usage: scripts/grade.sh [PRODUCTION_FOLDER]   (default build/production; needs a build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
production=$(cd "${1:-$root/build/production}" && pwd)
capture="$root/build/bin/capture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The body's frames are taken at beats given in beats, so that no figure of the production's
# tempo is repeated here: three points of every beat from 8 to 200, past its flash's peak.
beats=$(awk 'BEGIN {for (b = 8; b < 200; ++b) for (f = 0.3; f < 1; f += 0.25) printf "%s%.2f", (n++ ? "," : ""), b + f}')
mkdir "$work/body"
"$capture" -C "$production" --at "$beats" -o "$work/body" >/dev/null 2>&1
ffmpeg -loglevel error -pattern_type glob -i "$work/body/t*.png" \
    -vf "signalstats,metadata=print:file=$work/stats.txt" -f null -

median() { sort -n | awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Each frame's block starts with a "frame:N ..." line, then lavfi.signalstats.NAME=VALUE lines.
awk -F= '/^frame:/ {if (n++) print low, high, sat}
    $1 == "lavfi.signalstats.YLOW" {low = $2} $1 == "lavfi.signalstats.YHIGH" {high = $2}
    $1 == "lavfi.signalstats.SATAVG" {sat = $2} END {if (n) print low, high, sat}' \
    "$work/stats.txt" >"$work/body.txt"
ylow=$(awk '{print $1}' "$work/body.txt" | median)
spread=$(awk '{print $2 - $1}' "$work/body.txt" | median)
sat=$(awk '{print $3}' "$work/body.txt" | median)
echo "body ($(wc -l <"$work/body.txt") frames): darkest tenth $ylow, spread $spread, saturation $sat"

"$capture" -C "$production" --at 20.01,60.01,100.01,150.01 -o "$work" >/dev/null 2>&1
for frame in "$work"/t*.png; do
    ffmpeg -loglevel error -i "$frame" -vf format=gray -f rawvideo - | od -An -tu1 -v |
        tr -s ' ' '\n' | awk -v name="$(basename "$frame" .png)" \
        'NF {n++; if ($1 >= 250) c++} END {printf "flash %s: %.1f %% at luma 250 or more\n", name, 100 * c / n}'
done
