#!/usr/bin/env bash
# Measures how the production's picture is graded, from a video of the whole production at two
# frames a second and from frames at the peaks of four flashes:
#   body: for the frames from beat 8 to 200, leaving out the first 0.3 beat after each whole beat
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

"$capture" -C "$production" -r 2 -o "$work/whole.mp4" 2>/dev/null >/dev/null
ffprobe -v error -f lavfi -i "movie=$work/whole.mp4,signalstats" \
    -show_entries frame_tags=lavfi.signalstats.YLOW,lavfi.signalstats.YHIGH,lavfi.signalstats.SATAVG \
    -of flat >"$work/stats.txt"

median() { sort -n | awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Lines read frames.frame.I.tags.lavfi_signalstats_NAME="VALUE"; frame I shows second I / 2,
# which is beat I / 2 × 2.149000040690104.
awk -F= '{split($1, key, "."); i = key[3]; name = key[5]; sub(/lavfi_signalstats_/, "", name)
         value = $2; gsub(/"/, "", value); v[i, name] = value; if (i > n) n = i}
    END {for (i = 0; i <= n; ++i) {t = i / 2 * 2.149000040690104; f = t - int(t)
         if (t >= 8 && t <= 200 && f >= 0.3) print v[i, "YLOW"], v[i, "YHIGH"], v[i, "SATAVG"]}}' \
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
