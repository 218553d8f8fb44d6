#!/usr/bin/env bash
# Fuzzes the project's loaders and decoders with libFuzzer (see tests/fuzz/):
#
#     scripts/fuzz.sh [-t SECONDS] [-j JOBS] [TARGET...]
#
# Builds the fuzz programs in FUZZ_BUILD (default build-fuzz) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, makes the seed corpora when a target has
# none (scripts/fuzz_seeds.sh, from the ordinary build BUILD, default build), then runs every
# TARGET (all by default) for SECONDS (default 600) under nice, JOBS at a time (1 or 2). The
# corpora grow in FUZZ_BUILD/corpus/<target>/; crashes, leaks and hangs are kept in
# FUZZ_BUILD/crashes/<target>/. At the end it prints, per target, the executions, the coverage
# (libFuzzer's covered edges and features) and each crash that tests/data/fuzz/<target>/ does
# not hold yet; copied there, it becomes a test of fuzz_replay_tests. Inputs of the three XML
# targets are then also replayed under valgrind, which sees the XML parser's own reads, when
# BUILD has bin/fuzz_replay.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=600
jobs=1
while getopts "t:j:" option; do
    case $option in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: scripts/fuzz.sh [-t SECONDS] [-j JOBS] [TARGET...]" >&2; exit 1 ;;
    esac
done
shift $((OPTIND - 1))
if [ "$jobs" != 1 ] && [ "$jobs" != 2 ]; then
    echo "fuzz: -j takes 1 or 2" >&2
    exit 1
fi
fuzz_build=${FUZZ_BUILD:-build-fuzz}
build=${BUILD:-build}

if [ ! -f "$fuzz_build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -G Ninja -DTINCRATES_FUZZ=ON \
        -DTINCRATES_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$fuzz_build" --target fuzz_targets -- -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for program in "$fuzz_build"/bin/fuzz_*; do
        targets+=("$(basename "$program" | sed 's/^fuzz_//')")
    done
fi

# Options of each target: the largest input, and a dictionary for the XML files.
options_of() {
    case $1 in
    material_file | scene_file | tracks_document) echo "-max_len=8192 -dict=$PWD/tests/fuzz/xml.dict" ;;
    mp3_stream | compressor_round_trip | archive_*) echo "-max_len=32768" ;;
    *) echo "-max_len=65536" ;;
    esac
}

# Paths are absolute: the targets change the current directory to a work folder of their own.
run_target() {
    local target=$1
    local corpus=$PWD/$fuzz_build/corpus/$target
    local crashes=$PWD/$fuzz_build/crashes/$target
    mkdir -p "$corpus" "$crashes"
    # shellcheck disable=SC2046
    nice -n 10 "$fuzz_build/bin/fuzz_$target" $(options_of "$target") \
        -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" >"$fuzz_build/$target.log" 2>&1 || true
}

for target in "${targets[@]}"; do
    if [ ! -x "$fuzz_build/bin/fuzz_$target" ]; then
        echo "fuzz: no target $target" >&2
        exit 1
    fi
    if [ -z "$(ls -A "$fuzz_build/corpus/$target" 2>/dev/null)" ]; then
        scripts/fuzz_seeds.sh "$fuzz_build" "$build"
    fi
done

# Fuzzers are stopped with this script.
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT INT TERM
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    echo "fuzz: $target for $seconds s"
    run_target "$target" &
done
wait

printf '%-34s %12s %8s %8s %8s\n' target executions edges features corpus
for target in "${targets[@]}"; do
    log=$fuzz_build/$target.log
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    edges=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    features=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    printf '%-34s %12s %8s %8s %8s\n' "$target" "${executions:-?}" "${edges:-?}" \
        "${features:-?}" "$(ls "$fuzz_build/corpus/$target" | wc -l)"
done

for target in "${targets[@]}"; do
    for crash in "$fuzz_build/crashes/$target"/*; do
        [ -f "$crash" ] || continue
        known=no
        for kept in tests/data/fuzz/"$target"/*; do
            if [ -f "$kept" ] && cmp -s "$crash" "$kept"; then known=yes; fi
        done
        if [ $known = no ]; then
            echo "fuzz: new in $target: $crash (keep as a test: cp $crash tests/data/fuzz/$target/)"
        fi
    done
done

if [ -x "$build/bin/fuzz_replay" ] && command -v valgrind >/dev/null; then
    for target in material_file scene_file tracks_document; do
        [ -d "$fuzz_build/corpus/$target" ] || continue
        printf '%s' "$(printf ' %s' "${targets[@]}") " | grep -q " $target " || continue
        echo "fuzz: the $target corpus under valgrind"
        find "$PWD/$fuzz_build/corpus/$target" -type f -print0 \
            | xargs -0 valgrind --error-exitcode=99 --quiet "$build/bin/fuzz_replay" "$target"
    done
fi
