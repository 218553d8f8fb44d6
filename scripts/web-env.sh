# Sourced by the web scripts: where the web build lives and what Debian's emscripten needs.
# shellcheck shell=bash
web_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
web_build=${WEB_BUILD:-$web_root/build-web}
case "$web_build" in /*) ;; *) web_build=$web_root/$web_build ;; esac
# The libraries compiled for WebAssembly, installed as a prefix of their own.
web_deps=$web_build/deps
emscripten_toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
# Debian's emscripten runs its JavaScript tools with node and expects Debian's node modules
# (acorn) where Debian's node finds them; another node (NodeSource's) does not look there.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Put before a command of the web build: pkg-config then sees the web libraries only, never
# the machine's own. (Not exported: the native build run by the same scripts needs those.)
web_pkg_config=(env "PKG_CONFIG_LIBDIR=$web_deps/lib/pkgconfig:$web_deps/share/pkgconfig"
    PKG_CONFIG_PATH=)
