#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the Debian package (scripts/package.sh)
# and the production need; with --play only those that building the programs and playing the
# production need (scripts/play.sh), which a fresh machine gets sooner; with --web also those
# of the web build and its browser tests (emscripten, chromium).
# Quick when everything is already present: apt-get runs only for missing packages.
set -euo pipefail

# Configuring the build needs all of these, the test and benchmark libraries included.
packages=(
    build-essential cmake ninja-build pkg-config git
    libgtest-dev libgmock-dev libbenchmark-dev
    libsdl2-dev libmpg123-dev libpng-dev zlib1g-dev libtinyxml-dev
    libegl-dev libgl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
    libfftw3-dev libsoxr-dev libcli11-dev
    libmp3lame-dev
    xvfb xauth libx11-dev libturbojpeg0-dev
    ffmpeg
    libfreetype-dev fonts-dejavu-core
    help2man
)
# The tests, the benchmarks (linux-perf to profile them) and the Debian package.
test_packages=(
    pulseaudio unar time xfonts-base
    valgrind clang libclang-rt-dev linux-perf
    dpkg-dev file desktop-file-utils lintian
)
case "${1:-}" in
--play) ;;
--web) packages+=("${test_packages[@]}" emscripten chromium) ;;
*) packages+=("${test_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}" >&2
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
