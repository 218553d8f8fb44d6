#!/usr/bin/env bash
# Prints the peak resident memory (MiB) of the production's runs, headless on Mesa's CPU
# renderer: a viewer's run of SECONDS (default 20), `capture --at 100.5`, the maker's mode at
# start, and the maker's mode over a soak of SOAK seconds (default 180) in which data files
# are edited, broken and mended every few hundred milliseconds, with the average of its first
# and last quarter (flat memory gives two equal figures). Needs a build (default build/).
# Usage: scripts/memory.sh [BUILD_FOLDER [SECONDS [SOAK]]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-20}
soak=${3:-180}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap '' PIPE # a maker's run that ends early must not end this script

peak() { # COMMAND...: peak resident memory in MiB, through GNU time
    /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || true
    echo $(($(tail -1 "$work/time") / 1024))
}

cd "$build/production"
printf 'viewer, %s s headless:            %4d MiB\n' "$seconds" \
    "$(peak timeout -s INT "$seconds" "$build/bin/tincrates")"
mkdir "$work/frames"
printf 'capture --at 100.5:                 %4d MiB\n' \
    "$(peak "$build/bin/capture" --at 100.5 -o "$work/frames")"

# The maker's own copy of the data files, loose in data/, as a maker edits them.
mkdir "$work/maker"
cp -r "$build/production/data" "$work/maker/data"
cd "$work/maker"
printf 'maker, at start (5 s):              %4d MiB\n' \
    "$(peak sh -c "(sleep 5; echo quit) | '$build/bin/tincrates' --maker")"

# The soak: the maker's run reads commands from a pipe that stays open, while the files
# change under it; its resident memory is sampled every half second.
mkfifo "$work/commands"
"$build/bin/tincrates" --maker <"$work/commands" >/dev/null 2>"$work/maker.log" &
maker=$!
pids+=("$maker")
exec 3>"$work/commands"
cp data/rustcrate.material "$work/material.good"
cp data/text03.png "$work/text03.good"
sed 's/<material/<material broken="/' "$work/material.good" >"$work/material.broken"
cp data/text04.png "$work/text03.other"
: >"$work/rss"
sample() { awk '/^VmRSS/ {print $2}' "/proc/$maker/status" >>"$work/rss" 2>/dev/null || true; }
end=$((SECONDS + soak))
edits=0
while [ $SECONDS -lt $end ] && kill -0 "$maker" 2>/dev/null; do
    case $((edits % 4)) in
    0) cp "$work/material.broken" data/rustcrate.material ;;
    1) cp "$work/material.good" data/rustcrate.material ;;
    2) cp "$work/text03.other" data/text03.png ;;
    3) cp "$work/text03.good" data/text03.png ;;
    esac
    edits=$((edits + 1))
    sleep 0.3
    sample
done
if ! kill -0 "$maker" 2>/dev/null; then
    echo "memory: the maker's run ended after $edits edits, before the soak did; its last words:" >&2
    tail -3 "$work/maker.log" >&2
fi
echo quit >&3 2>/dev/null || true
exec 3>&-
wait "$maker" || true
reloads=$(grep -c "reloaded\|does not load" "$work/maker.log" || true)
awk -v soak="$soak" -v edits="$edits" -v reloads="$reloads" '
    { rss[NR] = $1 / 1024; if ($1 / 1024 > peak) peak = $1 / 1024 }
    END {
        q = int(NR / 4); if (q < 1) q = 1
        for (i = 1; i <= q; ++i) first += rss[i]
        for (i = NR - q + 1; i <= NR; ++i) last += rss[i]
        printf "maker, %d s soak (%d edits, %d reloads): peak %d MiB, first quarter %.0f MiB, last quarter %.0f MiB\n",
            soak, edits, reloads, peak, first / q, last / q
    }' "$work/rss"
