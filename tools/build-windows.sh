#!/usr/bin/env bash
# build-windows.sh: cross-builds the Windows x64 release with Debian's
# mingw-w64 and writes dist/oargala-windows-x64.zip: oargala.exe, the DLLs it
# needs, data/, README.txt and the licence texts. The libraries are built from
# Debian 12's source packages once (tools/windows/deps.sh) and kept in
# $OARGALA_WINDOWS_DEPS, by default a folder under /var/cache/oargala named by
# their versions, outside any checkout so every clone on this machine reuses
# them. The program itself is built in build-windows/.
# The zip is the same bytes on every build of a commit (tools/reproducible.sh):
# times from SOURCE_DATE_EPOCH (also in the PE headers: pe_timestamps.py),
# files in name order with fixed permissions, no build path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/install-deps.sh windows
source tools/reproducible.sh
release_epoch "$root"
host=x86_64-w64-mingw32

# Changing a version, the compiler or the recipe makes a new folder.
compiler=$($host-gcc-posix -dumpversion)
recipe=$(sha256sum tools/windows/deps.sh tools/windows/mingw-w64-x86_64.cmake tools/debian-sources.sh | sha256sum | cut -c1-8)
key=zlib-1.2.13_png-1.6.39_jpeg-2.1.5_sdl-2.26.5_mpg123-1.31.2_mixer-2.6.2_gcc-$compiler-$recipe
deps=${OARGALA_WINDOWS_DEPS:-/var/cache/oargala/windows-deps/$key}

if [ ! -f "$deps/.complete" ]; then
  echo "== building the Windows libraries into $deps (once)"
  start=$SECONDS
  bash tools/windows/deps.sh "$deps"
  echo "== libraries built in $((SECONDS - start)) s"
fi

echo "== building oargala.exe"
release_cmake_options "$root"
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64-x86_64.cmake" \
  -DOARGALA_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOARGALA_TESTS=OFF \
  -DOARGALA_BENCH=OFF -DOARGALA_FUZZ=OFF -DOARGALA_SANITIZE=OFF -DOARGALA_THREAD_SANITIZE=OFF \
  "${release_options[@]}" >/dev/null
cmake --build build-windows -j"$(nproc)" --target oargala

stage=build-windows/oargala-windows-x64
rm -rf "$stage"
mkdir -p "$stage/licences"
cp build-windows/oargala.exe "$stage/"
$host-strip "$stage/oargala.exe"
cp -r data "$stage/data"
# The README names the version under its title.
version=$(cat build-windows/version/version.txt)
awk -v version="$version" '{ print } NR == 2 { print ""; print "Version " version } END { if (NR < 2) exit 1 }' \
  tools/windows/README.txt >"$stage/README.txt"
cp "$deps"/licences/* "$stage/licences/"
cp LICENSE "$stage/licences/oargala.txt"

# The DLLs: whatever the exe and the DLLs already taken import from the
# libraries' folder, found transitively; every other import must be a DLL
# that comes with Windows.
system_dlls='^(kernel32|user32|gdi32|winmm|opengl32|glu32|advapi32|shell32|ole32|oleaut32|imm32|version|setupapi|msvcrt|ws2_32|shlwapi|comdlg32|comctl32|dinput8|dxgi|d3d11|d3d9|hid|uuid|cfgmgr32|rpcrt4|winspool\.drv|api-ms-win-[a-z0-9-]+)\.dll$'
imports() { $host-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'; }
pending=("$stage/oargala.exe")
while [ ${#pending[@]} -gt 0 ]; do
  file=${pending[0]}
  pending=("${pending[@]:1}")
  for dll in $(imports "$file"); do
    [ -n "$(find "$stage" -maxdepth 1 -iname "$dll")" ] && continue
    found=$(find "$deps/bin" -maxdepth 1 -iname "$dll" | head -1)
    if [ -n "$found" ]; then
      cp "$found" "$stage/"
      $host-strip "$stage/$(basename "$found")"
      pending+=("$stage/$(basename "$found")")
    elif ! grep -Eq "$system_dlls" <<<"$dll"; then
      echo "build-windows: $(basename "$file") imports $dll, which is neither shipped nor part of Windows" >&2
      exit 1
    fi
  done
done

python3 tools/windows/pe_timestamps.py "$SOURCE_DATE_EPOCH" "$stage"/*.exe "$stage"/*.dll
normalise_tree "$stage" '*.exe' '*.dll'
mkdir -p dist
zip_tree "$root/dist/oargala-windows-x64.zip" build-windows oargala-windows-x64
echo "== dist/oargala-windows-x64.zip ($(du -k dist/oargala-windows-x64.zip | cut -f1) KiB):" \
  "$(cd "$stage" && ls -- *.exe *.dll | tr '\n' ' ')"
