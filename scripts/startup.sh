#!/usr/bin/env bash
# Prints how long the production takes to start, headless on Mesa's CPU renderer, for one or
# more builds side by side: a whole `capture --at 0.5` run (start, one frame, PNG, shut-down;
# wall-clock and CPU time through GNU time) and, for `tincrates`, the time from the program's
# start (its exec) to the start of its first Present, seen by perf through a probe on
# GlDevice::Present. Runs of the builds alternate, REPEATS times (default 7), and medians are
# printed, as the machine may be shared. Needs perf and the right to add probes (root).
# Usage: scripts/startup.sh [REPEATS] BIN_FOLDER...   (default: build/bin)
#   A BIN_FOLDER holds tincrates and capture; each is run in build/production of the clone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeats=7
if [[ ${1:-} =~ ^[0-9]+$ ]]; then repeats=$1; shift; fi
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=("$root/build/bin")
production="$root/build/production"
work=$(mktemp -d)
events=()
cleanup() {
    for event in "${events[@]}"; do perf probe -q -d "$event" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for i in "${!folders[@]}"; do
    bin=$(cd "${folders[$i]}" && pwd)
    folders[$i]=$bin
    address=$(nm "$bin/tincrates" | awk '/ T _ZN9tincrates2gl8GlDevice7PresentE/ && !found {print $1; found = 1}')
    event="startup_present_$i"
    perf probe -q -d "probe_tincrates:$event" 2>/dev/null || true
    perf probe -q -x "$bin/tincrates" --add "$event=0x$address"
    events+=("probe_tincrates:$event")
done

cd "$production"
for ((run = 0; run < repeats; ++run)); do
    for i in "${!folders[@]}"; do
        bin=${folders[$i]}
        /usr/bin/time -f "%e %U %S" -o "$work/time" "$bin/capture" --at 0.5 -o "$work" \
            >/dev/null 2>&1
        read -r wall user system <"$work/time"
        echo "$wall" >>"$work/wall.$i"
        echo "$user $system" | awk '{print $1 + $2}' >>"$work/cpu.$i"
        perf record -q -o "$work/perf.data" -e sched:sched_process_exec \
            -e "probe_tincrates:startup_present_$i" -- \
            timeout -s INT 2 "$bin/tincrates" >/dev/null 2>&1 || true
        perf script -i "$work/perf.data" 2>/dev/null | awk '
            /sched_process_exec/ && /tincrates/ && !start { start = $4 + 0 }
            /startup_present/ && !first { first = $4 + 0 }
            END { if (start && first) printf "%.3f\n", first - start }' >>"$work/frame.$i"
    done
done

for i in "${!folders[@]}"; do
    printf '%s (medians of %d):\n' "${folders[$i]}" "$repeats"
    printf '  capture --at 0.5, whole run: %s s wall, %s s CPU\n' \
        "$(median <"$work/wall.$i")" "$(median <"$work/cpu.$i")"
    printf '  tincrates, start to first Present: %s s\n' "$(median <"$work/frame.$i")"
done
