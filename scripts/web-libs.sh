#!/usr/bin/env bash
# Builds the libraries of the web build for WebAssembly, from the Debian source packages that
# scripts/web-sources.sh fetches, into the cache that scripts/web-env.sh names (a prefix with
# lib/, include/ and pkg-config files). Each library is built once; delete its NAME.built
# there to build it again. Runs under nice: the machine is shared.
set -euo pipefail
source "$(dirname "$0")/web-env.sh"
if [ -f "$web_deps/all.built" ]; then
    exit 0 # all built before, from the same sources and scripts: nothing to fetch
fi
"$web_root/scripts/web-sources.sh"

sources=$web_build/sources
work=$web_build/libs
mkdir -p "$web_deps/lib/pkgconfig" "$web_deps/include" "$work"
jobs=$(nproc)
export CFLAGS="-O2" CXXFLAGS="-O2"

# The unpacked tree of a source package: the one folder apt-get source made beside its files.
tree_of() {
    find "$sources/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# Configure checks run their test programs in node. Emscripten 3.1.6's JavaScript loads its
# WebAssembly with fetch wherever fetch exists, and a node that has it cannot fetch a file
# path; without it the loader reads the file.
node_without_fetch="$(command -v node);--no-experimental-fetch"

# The autotools scripts of these releases do not know emscripten as a system; to them this is
# a Linux on wasm32, which is what their checks need to hear (and no assembly is chosen).
autotools_host=wasm32-unknown-linux

built() { [ -f "$web_deps/$1.built" ]; }
mark_built() { touch "$web_deps/$1.built"; echo "web-libs: $1 built" >&2; }

cmake_library() { # NAME SOURCE_DIR CMAKE_OPTIONS...
    local name=$1 source=$2
    shift 2
    rm -rf "${work:?}/$name"
    "${web_pkg_config[@]}" nice cmake -S "$source" -B "$work/$name" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$emscripten_toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$web_deps" \
        -DCMAKE_FIND_ROOT_PATH="$web_deps" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_INSTALL_LIBDIR:PATH=lib \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$node_without_fetch" "$@" >"$work/$name.log" 2>&1 \
        || { tail -n 30 "$work/$name.log" >&2; return 1; }
    "${web_pkg_config[@]}" nice cmake --build "$work/$name" --target install -- -j"$jobs" \
        >>"$work/$name.log" 2>&1 \
        || { tail -n 30 "$work/$name.log" >&2; return 1; }
}

if ! built zlib; then
    src=$(tree_of zlib)
    rm -rf "${work:?}/zlib" && cp -a "$src" "$work/zlib"
    (cd "$work/zlib" && CC=emcc AR=emar RANLIB=emranlib nice ./configure --static \
        --prefix="$web_deps" && nice make -j"$jobs" libz.a && make install) >"$work/zlib.log" 2>&1 \
        || { tail -n 30 "$work/zlib.log" >&2; exit 1; }
    mark_built zlib
fi

if ! built libpng; then
    cmake_library libpng "$(tree_of libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
        -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
        -DZLIB_INCLUDE_DIR="$web_deps/include" -DZLIB_LIBRARY="$web_deps/lib/libz.a"
    mark_built libpng
fi

if ! built libjpeg-turbo; then
    cmake_library libjpeg-turbo "$(tree_of libjpeg-turbo)" -DENABLE_SHARED=OFF \
        -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF \
       
    mark_built libjpeg-turbo
fi

if ! built tinyxml; then
    # Four sources and no build system of use here; Debian's header already asks for the STL
    # interface (TIXML_USE_STL), as the machine's libtinyxml has it.
    src=$(tree_of tinyxml)
    rm -rf "${work:?}/tinyxml" && mkdir -p "$work/tinyxml"
    for file in tinyxml tinystr tinyxmlerror tinyxmlparser; do
        nice em++ -O2 -DTIXML_USE_STL -c "$src/$file.cpp" -o "$work/tinyxml/$file.o"
    done
    emar rcs "$web_deps/lib/libtinyxml.a" "$work/tinyxml"/*.o
    cp "$src/tinyxml.h" "$src/tinystr.h" "$web_deps/include/"
    cat >"$web_deps/lib/pkgconfig/tinyxml.pc" <<PC
prefix=$web_deps
Name: TinyXml
Description: TinyXML, built for WebAssembly
Version: 2.6.2
Cflags: -I\${prefix}/include -DTIXML_USE_STL
Libs: -L\${prefix}/lib -ltinyxml
PC
    mark_built tinyxml
fi

if ! built mpg123; then
    # The portable floating-point decoder: WebAssembly has none of the x86 assembly ones.
    src=$(tree_of mpg123)
    rm -rf "${work:?}/mpg123" && mkdir -p "$work/mpg123"
    (cd "$work/mpg123" && nice emconfigure "$src/configure" --host="$autotools_host" \
        --prefix="$web_deps" --disable-shared --enable-static --with-cpu=generic_fpu \
        --disable-modules --with-audio=dummy --with-default-audio=dummy --disable-network \
        && nice emmake make -j"$jobs" && emmake make install) >"$work/mpg123.log" 2>&1 \
        || { tail -n 30 "$work/mpg123.log" >&2; exit 1; }
    mark_built mpg123
fi

if ! built fftw3f; then
    src=$(tree_of fftw3)
    rm -rf "${work:?}/fftw3f" && mkdir -p "$work/fftw3f"
    (cd "$work/fftw3f" && nice emconfigure "$src/configure" --host="$autotools_host" \
        --prefix="$web_deps" --disable-shared --enable-static --enable-float \
        --disable-fortran --disable-threads --disable-openmp --disable-doc \
        && nice emmake make -j"$jobs" && emmake make install) >"$work/fftw3f.log" 2>&1 \
        || { tail -n 30 "$work/fftw3f.log" >&2; exit 1; }
    mark_built fftw3f
fi

if ! built soxr; then
    cmake_library soxr "$(tree_of libsoxr)" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
        -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF -DWITH_CR32S=OFF -DWITH_CR64S=OFF \
        -DWITH_AVFFT=OFF -DWITH_DEV_TRACE=OFF
    mark_built soxr
fi

if ! built sdl2; then
    cmake_library sdl2 "$(tree_of libsdl2)" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
        -DSDL_TESTS=OFF
    mark_built sdl2
fi

# EGL and OpenGL ES come with emscripten itself (over WebGL); these files only let the
# platform module's pkg-config checks find them.
for module in egl glesv2; do
    cat >"$web_deps/lib/pkgconfig/$module.pc" <<PC
Name: $module
Description: provided by emscripten over WebGL
Version: 3.0
Cflags:
Libs:
PC
done
touch "$web_deps/all.built"
