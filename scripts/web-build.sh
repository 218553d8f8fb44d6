#!/usr/bin/env bash
# Builds the production for WebAssembly into build-web/ and lays out the page in
# build-web/site: index.html, the glue, the program (tincrates_web.js and .wasm) and the
# production's data. Builds the libraries first when they are missing (scripts/web-libs.sh).
#
#   scripts/web-build.sh [FOLDER]
#
# FOLDER holds the production to serve (its stashpack and/or data/); by default the
# production the native build generates, in $NATIVE_BUILD/production (NATIVE_BUILD defaults
# to build), made first when missing.
set -euo pipefail
source "$(dirname "$0")/web-env.sh"
cd "$web_root"

native_build=${NATIVE_BUILD:-build}
production=${1:-}
if [ -z "$production" ]; then
    production=$native_build/production
    if [ ! -f "$production/stashpack" ]; then
        echo "web-build: making the production's data in $production" >&2
        if [ ! -f "$native_build/build.ninja" ]; then
            cmake -S . -B "$native_build" -G Ninja >/dev/null
        fi
        nice cmake --build "$native_build" --target production -- -j"$(nproc)"
    fi
fi
if [ ! -f "$production/stashpack" ] && [ ! -d "$production/data" ]; then
    echo "web-build: $production holds neither stashpack nor data/" >&2
    exit 1
fi

scripts/web-libs.sh

mkdir -p "$web_build"
tree=$web_build/cmake
if [ ! -f "$tree/build.ninja" ]; then
    "${web_pkg_config[@]}" cmake -S . -B "$tree" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$emscripten_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$web_deps" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);--no-experimental-fetch" \
        >"$web_build/cmake.log" 2>&1 || { tail -n 30 "$web_build/cmake.log" >&2; exit 1; }
fi
"${web_pkg_config[@]}" nice cmake --build "$tree" --target tincrates_web -- -j"$(nproc)"

site=$web_build/site
rm -rf "$site.part"
mkdir -p "$site.part"
cp web/index.html web/tincrates.js \
    "$tree/bin/tincrates_web.js" "$tree/bin/tincrates_web.wasm" "$site.part/"
if [ -f "$production/stashpack" ]; then
    cp "$production/stashpack" "$site.part/"
fi
# The archive holds every file of the generated production; data/ is served only for a
# production that has no archive or one that leaves files out, as the fallback it is. The
# page reads the folder's list of files from data/index.txt (empty: no folder).
mkdir -p "$site.part/data"
if [ -d "$production/data" ] && [ -n "${1:-}" ]; then
    cp -r "$production/data/." "$site.part/data/"
    (cd "$site.part/data" && find . -type f ! -name index.txt | sed 's|^\./||' | sort >index.txt)
else
    : >"$site.part/data/index.txt"
fi
rm -rf "$site"
mv "$site.part" "$site"
echo "web-build: the page is in $site" >&2
