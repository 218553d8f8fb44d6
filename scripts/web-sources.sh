#!/usr/bin/env bash
# Fetches the Debian source packages of the libraries the web build compiles for WebAssembly
# into build-web/sources/ (once; later runs reuse them). Emscripten's own ports would download
# them from elsewhere; Debian's archive is what these machines reach.
#
# Adds a deb-src entry for the suites the machine already uses, as
# /etc/apt/sources.list.d/tincrates-src.sources, and runs apt-get update once after that.
set -euo pipefail
cd "$(dirname "$0")/.."
sources_dir=${WEB_BUILD:-build-web}/sources

# Debian source package names, as apt-get source takes them.
packages=(libsdl2 mpg123 libpng1.6 zlib tinyxml fftw3 libjpeg-turbo libsoxr)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

entry=/etc/apt/sources.list.d/tincrates-src.sources
if [ ! -f "$entry" ]; then
    # The same archives, suites and components as the machine's deb entries, for sources.
    tmp=$(mktemp)
    machine_list=/etc/apt/sources.list.d/debian.sources
    if [ -f "$machine_list" ]; then
        sed 's/^Types:.*/Types: deb-src/' "$machine_list" >"$tmp"
    fi
    if ! grep -q '^URIs:' "$tmp"; then
        echo "web-sources: no entry in $machine_list to copy" >&2
        rm -f "$tmp"
        exit 1
    fi
    "${sudo_cmd[@]}" install -m 644 "$tmp" "$entry"
    rm -f "$tmp"
    "${sudo_cmd[@]}" apt-get update -qq
fi

suites=$(sed -n 's/^Suites:[[:space:]]*//p' "$entry" | tr '\n' ' ')

mkdir -p "$sources_dir"
cd "$sources_dir"
for package in "${packages[@]}"; do
    if [ -f "$package.fetched" ]; then continue; fi
    # Each package into its own folder, so that its unpacked tree is easy to find.
    rm -rf "$package"
    mkdir "$package"
    # A file of the newest version may be missing from one suite's pool (a signature of an
    # upstream tarball, say) while another suite that carries the same version has it.
    fetched=no
    for suite in "" $suites; do
        if (cd "$package" && apt-get source -qq "$package${suite:+/$suite}" >/dev/null \
                2>>"../$package.log"); then
            fetched=yes
            break
        fi
        rm -rf "${package:?}"/*
    done
    if [ "$fetched" != yes ]; then
        echo "web-sources: apt-get source $package failed:" >&2
        cat "$package.log" >&2
        exit 1
    fi
    touch "$package.fetched"
done
