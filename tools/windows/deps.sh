#!/usr/bin/env bash
# deps.sh PREFIX: cross-builds the libraries the Windows release links, from
# Debian 12's own source packages (fetched with apt-get source through a
# private deb-src list, so the machine's apt configuration stays untouched),
# and installs them into PREFIX. zlib, libpng and libjpeg-turbo become static
# libraries linked into oargala.exe; SDL2, SDL2_mixer and mpg123 become DLLs
# (mpg123 is LGPL: a user may replace its DLL). PREFIX/.complete marks a
# finished build. Needs mingw-w64 (posix), cmake, nasm, apt-get.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
host=x86_64-w64-mingw32
jobs=${JOBS:-$(nproc)}
work=$prefix/.work
# Configure scripts must see only the cross-built libraries, never the
# machine's own (they would pick up e.g. PulseAudio's headers).
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
rm -rf "$prefix"
mkdir -p "$work"

# ---- fetch and unpack the Debian source packages ---------------------------
source "$here/../debian-sources.sh"
fetch_sources zlib=1:1.2.13.dfsg-1 libpng1.6=1.6.39-2+deb12u5 libjpeg-turbo=1:2.1.5-2 \
  libsdl2=2.26.5+dfsg-1 mpg123=1.31.2-1+deb12u1 libsdl2-mixer=2.6.2+dfsg-2

cmake_build() {
  local src=$1; shift
  cmake -S "$src" -B "$src/_build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" -DOARGALA_WINDOWS_DEPS="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$src/_build.log"
  cmake --build "$src/_build" -j"$jobs" >>"$src/_build.log"
  cmake --install "$src/_build" >>"$src/_build.log"
}

echo "building zlib"
src=$(unpack zlib)
# Static zlib only, so libpng and oargala.exe take it in (Debian's source
# also lacks the resource file of zlib's DLL).
cmake -S "$src" -B "$src/_build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" >"$src/_build.log"
cmake --build "$src/_build" -j"$jobs" --target zlibstatic >>"$src/_build.log"
mkdir -p "$prefix/include" "$prefix/lib"
cp "$src/zlib.h" "$src/_build/zconf.h" "$prefix/include/"
cp "$src/_build/libzlibstatic.a" "$prefix/lib/libz.a"

echo "building libpng"
src=$(unpack libpng1.6)
cmake_build "$src" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"

echo "building libjpeg-turbo"
src=$(unpack libjpeg-turbo)
cmake_build "$src" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DCMAKE_ASM_NASM_COMPILER=nasm

echo "building SDL2"
src=$(unpack libsdl2)
cmake_build "$src" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF

echo "building mpg123"
src=$(unpack mpg123)
# Its player and output library come along (this version cannot leave them
# out); only libmpg123's DLL is shipped.
(cd "$src" && ./configure --host=$host CC=$host-gcc-posix --prefix="$prefix" --enable-shared --disable-static \
   --with-cpu=x86-64 --with-audio=dummy --enable-modules=no >"$src/_build.log" \
   && make -j"$jobs" >>"$src/_build.log" && make install >>"$src/_build.log")

echo "building SDL2_mixer"
src=$(unpack libsdl2-mixer)
cmake_build "$src" -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF \
  -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF \
  -DSDL2MIXER_VORBIS=OFF -DSDL2MIXER_WAVPACK=OFF -DSDL2MIXER_MP3_DRMP3=OFF \
  -DSDL2MIXER_MP3_MPG123=ON -DSDL2MIXER_MP3_MPG123_SHARED=OFF \
  -DMPG123_INCLUDE_DIR="$prefix/include" -DMPG123_LIBRARY="$prefix/lib/libmpg123.dll.a"

# The licence texts that travel with the DLLs and the linked-in code.
mkdir -p "$prefix/licences"
b=$work/build
sed -n '/Copyright (C) 1995/,/\*\//p' "$b/zlib/zlib.h" > "$prefix/licences/zlib.txt"
cp "$b/libpng1.6/LICENSE" "$prefix/licences/libpng.txt"
cat "$b/libjpeg-turbo/LICENSE.md" "$b/libjpeg-turbo/README.ijg" > "$prefix/licences/libjpeg-turbo.txt"
cp "$b/libsdl2/LICENSE.txt" "$prefix/licences/SDL2.txt"
cp "$b/libsdl2-mixer/LICENSE.txt" "$prefix/licences/SDL2_mixer.txt"
cp "$b/mpg123/COPYING" "$prefix/licences/mpg123.txt"
for name in zlib libpng1.6 libjpeg-turbo libsdl2 mpg123 libsdl2-mixer; do
  cp "$b/$name/debian/copyright" "$prefix/licences/debian-copyright-$name.txt"
done

rm -rf "$work/build"
touch "$prefix/.complete"
