#!/usr/bin/env bash
# stamps_test.sh OARGALA VERSION_DIR: the quick half of the release's checks
# (tests/release/reproducible.sh builds whole releases). The version text of
# packaging/version.cmake in a clean checkout, a changed one, an unpacked
# copy inside another repository and with the commit given; --version says
# the build's text; tools/windows/pe_timestamps.py makes a DLL linked at one
# time the same bytes as one the linker stamped with SOURCE_DATE_EPOCH
# itself (when mingw-w64 is installed). Needs git, cmake.
set -u
OARGALA=$(realpath "$1")
VERSION_DIR=$(realpath "$2")
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
source "$SOURCE/tests/support/checks.sh"

check "--version says the build's version" \
  [ "$("$OARGALA" --version)" = "oargala $(cat "$VERSION_DIR/version.txt")" ]

# A repository of one commit, and the version text and Debian version made in it.
repo=$TMP/repo
git init -q "$repo" && echo one >"$repo/file" && git -C "$repo" add file &&
  git -C "$repo" -c user.name=t -c user.email=t@t commit -q -m one
short=$(git -C "$repo" rev-parse --short=7 HEAD)
mkdir "$repo/unpacked"
version_of() {   # SOURCE [COMMIT]: "TEXT|DEBIAN"
  rm -rf "$TMP/out" && mkdir "$TMP/out" &&
    cmake -DSOURCE="$1" -DOUT="$TMP/out" -DVERSION=1.0.0 -DCOMMIT="${2:-}" -P "$SOURCE/packaging/version.cmake" &&
    sed -n 's/^set([A-Z_]* "\(.*\)")$/\1/p' "$TMP/out/version-vars.cmake" | paste -sd'|' &&
    [ "$(cat "$TMP/out/version.txt")" = "$(sed -n 's/^#define OARGALA_VERSION "\(.*\)"$/\1/p' "$TMP/out/oargala_version.h")" ]
}
while IFS=' ' read -r name folder commit change expected; do
  [ "$change" = yes ] && echo two >>"$repo/file"
  check "version: $name" [ "$(version_of "$folder" "${commit#-}")" = "$expected" ]
  [ "$change" = yes ] && git -C "$repo" checkout -q file
done <<TABLE
clean-checkout     $repo           -        no   1.0.0 ($short)|1.0.0+git.$short
changed-checkout   $repo           -        yes  1.0.0 ($short+dirty)|1.0.0+git.$short.dirty
inside-another     $repo/unpacked  -        no   1.0.0|1.0.0
commit-given       $repo/unpacked  -abc1234 no   1.0.0 (abc1234)|1.0.0+git.abc1234
TABLE

# The PE stamps: a DLL linked now and stamped, against the linker's own.
cc=x86_64-w64-mingw32-gcc-posix
if command -v $cc >/dev/null; then
  echo 'int __declspec(dllexport) f(void) { return 1; }' >"$TMP/f.c"
  # (Both linked to the same path: the linker derives a DLL's base address from it.)
  $cc -shared -o "$TMP/f.dll" "$TMP/f.c" && mv "$TMP/f.dll" "$TMP/now.dll" &&
    SOURCE_DATE_EPOCH=1000000000 $cc -shared -o "$TMP/f.dll" "$TMP/f.c" &&
    python3 "$SOURCE/tools/windows/pe_timestamps.py" 1000000000 "$TMP/now.dll"
  check "a DLL stamped afterwards is the bytes the linker makes with SOURCE_DATE_EPOCH" cmp "$TMP/now.dll" "$TMP/f.dll"
  check "not a PE file: one line, exit 1" [ "$(python3 "$SOURCE/tools/windows/pe_timestamps.py" 1 "$TMP/f.c" 2>&1; echo $?)" = \
    "pe_timestamps: $TMP/f.c: not a PE file
1" ]
fi
checks_done
