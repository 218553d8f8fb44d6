# Sourced by the web scripts: where the web build lives and what Debian's emscripten needs.
# shellcheck shell=bash
web_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
web_build=${WEB_BUILD:-$web_root/build-web}
case "$web_build" in /*) ;; *) web_build=$web_root/$web_build ;; esac
# The libraries compiled for WebAssembly, installed as a prefix of their own in a cache outside
# the clone (TINCRATES_CACHE, by default ~/.cache/tincrates), so that a machine builds them
# once and every later clone reuses them. The folder is named by a key of what they are made
# from: the versions of the Debian packages their sources come from (the machine's own -dev
# packages are of the same versions), emscripten's version, and the scripts that build them.
web_library_packages=(libsdl2-dev libmpg123-dev libpng-dev zlib1g-dev libtinyxml-dev libfftw3-dev
    libturbojpeg0-dev libsoxr-dev emscripten)
web_cache=${TINCRATES_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tincrates}
web_deps_key=$({
    for package in "${web_library_packages[@]}"; do
        echo "$package $(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || true)"
    done
    cat "$web_root/scripts/web-libs.sh" "$web_root/scripts/web-sources.sh"
} | sha256sum | cut -c1-16)
web_deps=${WEB_DEPS:-$web_cache/web-deps-$web_deps_key}
emscripten_toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
# Debian's emscripten runs its JavaScript tools with node and expects Debian's node modules
# (acorn) where Debian's node finds them; another node (NodeSource's) does not look there.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Put before a command of the web build: pkg-config then sees the web libraries only, never
# the machine's own. (Not exported: the native build run by the same scripts needs those.)
web_pkg_config=(env "PKG_CONFIG_LIBDIR=$web_deps/lib/pkgconfig:$web_deps/share/pkgconfig"
    PKG_CONFIG_PATH=)
