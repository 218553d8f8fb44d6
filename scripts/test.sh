#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# A build folder that scripts/play.sh configured, before the test packages were installed,
# looks for them again (valgrind), so that every test is registered.
if [ -f build/build.ninja ]; then
    cmake build >/dev/null
fi
scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The suite once more, built with AddressSanitizer, UndefinedBehaviorSanitizer and leak checking
# (clang, -O1), where a stray read or write, undefined behaviour or a leak fails a test: the
# tests of every loader and decoder (archive, data files, textures, materials, scenes, meshes,
# MP3, sync tracks documents and the sync editor's bytes) and the replays of fuzz inputs; then the production itself, started, rendered at two
# moments and shut down by capture on the generated data. The drawing tests of platform/ and
# post/ and the tests of the host and the tools run only in the first build, to keep this
# command within ten minutes.
# Without NDEBUG, as build/ is, so that the asserts which guard the code's own invariants run
# here too.
sanitized_targets=(datafiles_tests assets_tests scene_tests audio_tests sound_tests sync_tests
    fuzz_replay_tests capture)
CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DTINCRATES_SANITIZE=ON \
    -DTINCRATES_BUILD_BENCH=OFF \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" >/dev/null
cmake --build build-sanitize --target "${sanitized_targets[@]}" -- -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/leaks.supp:print_suppressions=0"
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" \
    -E '_NOT_BUILT$|_on_opengl_core$|^platform_|_on_screen_tests$'
moments=$(mktemp -d)
trap 'rm -rf "$moments"' EXIT
build-sanitize/bin/capture -C build/production --at 9.5,196.5 -o "$moments" >/dev/null
