#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $1, with extra CMake options after).
# With --programs first, builds only the programs and the production's data (the CMake target
# "programs"): what scripts/play.sh plays, without the tests, benchmarks and fuzz targets,
# which a later build without it (scripts/test.sh) adds.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
if [ "${1:-}" = "--programs" ]; then
    targets=(--target programs)
    shift
fi
dir=${1:-build}
shift || true
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$dir" "${targets[@]}" -- -j"$(nproc)"
