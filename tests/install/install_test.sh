#!/usr/bin/env bash
# install_test.sh BUILD_DIR OARGALA: oargala installed the ways a user
# installs it, each copy started from / so only its own way of finding the
# data can help it: cmake --install into a prefix, a DESTDIR staging copy, a
# moved copy of the prefix, and the Debian package unpacked with dpkg-deb.
# Each must find all 33 pictures and the soundtrack and render the same
# frames as the program run from the source tree. Also --data, the desktop
# entry and the manual page. Installs nothing outside its own temporary folder.
# Needs cmake, cpack (dpkg-dev, file), desktop-file-validate, groff, gzip.
set -u
BUILD=$(realpath "$1")
OARGALA=$(realpath "$2")
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
TMP=$(mktemp -d /tmp/oargala-install.XXXXXX)
trap 'rm -rf "$TMP"' EXIT
FAILED=0

check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; FAILED=$((FAILED + 1)); fi
}

# A short capture: two frames of the show at 10 fps, every frame between run.
capture() { (cd "$1" && "$2" --capture "$3/" --fps 10 --at 5,63 "${@:4}" >/dev/null 2>"$3.err"); }

# finds_data BIN DATA: from /, --check-data reads every file from DATA.
finds_data() {
    local out
    out=$(cd / && "$1" --check-data 2>&1) || { echo "$out" | tail -n 5; return 1; }
    [ "$(grep -c " $2/[a-z_0-9]*\.\(png\|jpg\|mp3\) .* ok$" <<<"$out")" = 34 ] &&
        grep -qx "all 33 pictures load" <<<"$out" || { echo "$out" | head -n 3; return 1; }
}

# same_frames BIN NAME: from /, BIN renders the frames of the source tree.
same_frames() {
    capture / "$1" "$TMP/$2" && cmp "$TMP/ref/frame-00050.png" "$TMP/$2/frame-00050.png" &&
        cmp "$TMP/ref/frame-00630.png" "$TMP/$2/frame-00630.png"
}

check "capture from the source tree" capture "$SOURCE" "$OARGALA" "$TMP/ref"

cmake --install "$BUILD" --prefix "$TMP/prefix" >/dev/null
check "installed: finds its data" finds_data "$TMP/prefix/bin/oargala" "$TMP/prefix/share/oargala/data"
check "installed: same frames" same_frames "$TMP/prefix/bin/oargala" prefix

DESTDIR="$TMP/stage" cmake --install "$BUILD" --prefix /usr >/dev/null
check "staged: finds its data" finds_data "$TMP/stage/usr/bin/oargala" "$TMP/stage/usr/share/oargala/data"
check "staged: same frames" same_frames "$TMP/stage/usr/bin/oargala" staged

mv "$TMP/prefix" "$TMP/moved"
check "moved: finds its data" finds_data "$TMP/moved/bin/oargala" "$TMP/moved/share/oargala/data"
check "moved: same frames" same_frames "$TMP/moved/bin/oargala" moved

# --data comes before data/ below the working directory.
data_wins() { (cd "$SOURCE" && "$OARGALA" --check-data --data "$TMP/moved/share/oargala/data") | grep -q " $TMP/moved/share/oargala/data/lall.mp3 "; }
check "--data wins over the working directory" data_wins

# A --data folder without the files, with no other copy in reach: one line
# naming the places searched, and the show still runs (empty pictures).
mkdir "$TMP/empty"
for dir in "$TMP/empty" "$TMP/missing"; do
    searched() {
        capture / "$OARGALA" "$TMP/run" --data "$dir" && [ -f "$TMP/run/frame-00630.png" ] &&
            grep -qx "oargala: no folder holds the show's files; searched $dir, data, .*" "$TMP/run.err"
    }
    check "--data ${dir##*/}: places searched, show runs" searched
    rm -rf "$TMP/run"
done

check "desktop entry is valid" desktop-file-validate "$TMP/moved/share/applications/oargala.desktop"
manual_clean() { [ -z "$(zcat "$TMP/moved/share/man/man6/oargala.6.gz" | groff -man -ww -z 2>&1)" ]; }
check "manual page renders without warnings" manual_clean
options_of() { grep -o -- '--[a-z-]*' | sort -u; }
every_option() {
    [ "$(zcat "$TMP/moved/share/man/man6/oargala.6.gz" | groff -man -Tascii -P-cbou 2>/dev/null | options_of)" = \
      "$("$OARGALA" --help | options_of)" ]
}
check "manual page names every option of --help" every_option

# The Debian package, built once.
(cd "$BUILD" && cpack -G DEB -B "$TMP/pkg" >"$TMP/cpack.log" 2>&1) || { cat "$TMP/cpack.log"; exit 1; }
deb=$(ls "$TMP"/pkg/oargala_*_amd64.deb)
depends() {
    local line
    line=$(dpkg-deb --field "$deb" Depends)
    for lib in libsdl2-2.0 libsdl2-mixer-2.0 libpng16 libjpeg62; do
        grep -q "$lib" <<<"$line" || { echo "  Depends: $line"; return 1; }
    done
}
check "package depends on SDL2, SDL2_mixer, libpng, libjpeg" depends
contents() {
    local list
    list=$(dpkg-deb --contents "$deb" | awk '{print $6}')
    for file in ./usr/bin/oargala ./usr/share/oargala/data/lall.mp3 ./usr/share/oargala/data/angrep2.png \
        ./usr/share/applications/oargala.desktop ./usr/share/man/man6/oargala.6.gz \
        ./usr/share/doc/oargala/README.md ./usr/share/doc/oargala/copyright \
        ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/oargala.png; do
        grep -qx -- "$file" <<<"$list" || { echo "  missing: $file"; return 1; }
    done
}
check "package lists its files" contents
dpkg-deb -x "$deb" "$TMP/root"
check "unpacked package finds its data" finds_data "$TMP/root/usr/bin/oargala" "$TMP/root/usr/share/oargala/data"

[ "$FAILED" = 0 ]
