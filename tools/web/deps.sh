#!/usr/bin/env bash
# deps.sh PREFIX: builds the libraries the browser build links (zlib, libpng,
# libjpeg-turbo) with Emscripten's emcc, from Debian 12's own source packages
# (fetched with apt-get source through a private deb-src list, so the
# machine's apt configuration stays untouched), as static wasm libraries
# installed into PREFIX. PREFIX/.complete marks a finished build. Needs
# emscripten, cmake, apt-get. The browser needs no SDL: the page's own
# platform and sound backends stand in for it.
set -euo pipefail
prefix=$1
jobs=${JOBS:-$(nproc)}
work=$prefix/.work
# Debian's emcc finds its JavaScript helpers (acorn) only here when another
# Node.js than Debian's comes first on the path.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
rm -rf "$prefix"
mkdir -p "$work"

# ---- fetch and unpack the Debian source packages ---------------------------
source "$(cd "$(dirname "$0")" && pwd)/../debian-sources.sh"
# The versions Debian 12 ships, as the Linux build links them.
fetch_sources zlib=1:1.2.13.dfsg-1 libpng1.6=1.6.39-2+deb12u5 libjpeg-turbo=1:2.1.5-2

cmake_configure() {
  local src=$1; shift
  emcmake cmake -S "$src" -B "$src/_build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_FLAGS=-O2 "$@" >"$src/_build.log"
}

echo "building zlib"
src=$(unpack zlib)
# Its CMake project wants a Windows resource file Debian's source lacks, and
# its configure script probes the host: the library's own sources compile
# as they are.
mkdir -p "$prefix/include" "$prefix/lib" "$src/_build"
for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
  emcc -O2 -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$src/$c.c" -o "$src/_build/$c.o"
done
emar rcs "$prefix/lib/libz.a" "$src"/_build/*.o
cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"

echo "building libpng"
src=$(unpack libpng1.6)
cmake_configure "$src" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cmake --build "$src/_build" -j"$jobs" >>"$src/_build.log"
cmake --install "$src/_build" >>"$src/_build.log"

echo "building libjpeg-turbo"
src=$(unpack libjpeg-turbo)
# No SIMD: its code is x86 and ARM assembly. CMake's type-size probe reads
# wasm objects wrongly (size_t came out as 9 bytes): the sizes are given.
cmake_configure "$src" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4
cmake --build "$src/_build" -j"$jobs" --target jpeg-static >>"$src/_build.log"
cp "$src/_build/libjpeg.a" "$prefix/lib/"
cp "$src/jpeglib.h" "$src/jerror.h" "$src/jmorecfg.h" "$src/_build/jconfig.h" "$prefix/include/"

# The licence texts of the linked-in code.
mkdir -p "$prefix/licences"
b=$work/build
sed -n '/Copyright (C) 1995/,/\*\//p' "$b/zlib/zlib.h" > "$prefix/licences/zlib.txt"
cp "$b/libpng1.6/LICENSE" "$prefix/licences/libpng.txt"
cat "$b/libjpeg-turbo/LICENSE.md" "$b/libjpeg-turbo/README.ijg" > "$prefix/licences/libjpeg-turbo.txt"

rm -rf "$work/build"
touch "$prefix/.complete"
