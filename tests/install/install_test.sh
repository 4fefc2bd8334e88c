#!/usr/bin/env bash
# install_test.sh BUILD_DIR OARGALA: oargala installed into a prefix that is
# then moved (no path of the prefix may stay in it), started from / so only its
# own way of finding the data can help: all 33 pictures and the soundtrack, the
# same frames as from the source tree. The Debian package's dependencies, files
# and lintian's verdict.
# Also --data, the desktop entry and the manual page. Installs nothing outside
# its temporary folder. Needs cmake, cpack (dpkg-dev, file), lintian, desktop-file-validate, groff.
set -u
BUILD=$(realpath "$1")
OARGALA=$(realpath "$2")
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
source "$SOURCE/tests/support/checks.sh"
MOVED=$TMP/moved

# A short capture: two frames of the show at 10 fps, every frame between run.
capture() { (cd "$1" && "$2" --capture "$3/" --fps 10 --at 5,63 "${@:4}" >/dev/null 2>"$3.err"); }

# finds_data BIN DATA: from /, --check-data reads every file from DATA.
finds_data() {
    local out
    out=$(cd / && "$1" --check-data 2>&1) || { echo "$out" | tail -n 5; return 1; }
    [ "$(grep -c " $2/[a-z_0-9]*\.\(png\|jpg\|mp3\) .* ok$" <<<"$out")" = 34 ] &&
        grep -qx "all 33 pictures load" <<<"$out" || { echo "$out" | head -n 3; return 1; }
}

same_frames() {
    capture "$SOURCE" "$OARGALA" "$TMP/ref" && capture / "$MOVED/bin/oargala" "$TMP/moved-frames" &&
        cmp "$TMP/ref/frame-00050.png" "$TMP/moved-frames/frame-00050.png" &&
        cmp "$TMP/ref/frame-00630.png" "$TMP/moved-frames/frame-00630.png"
}

cmake --install "$BUILD" --prefix "$TMP/prefix" >/dev/null && mv "$TMP/prefix" "$MOVED"
check "installed and moved: finds its data" finds_data "$MOVED/bin/oargala" "$MOVED/share/oargala/data"
check "installed and moved: the same frames as from the source tree" same_frames

# An unpacked copy (a release archive): data/ beside the executable, found
# from any folder without a word. Where nothing holds the files, without
# --data, one line names every place searched, in order.
mkdir "$TMP/unpacked" && cp "$OARGALA" "$TMP/unpacked/" && ln -s "$SOURCE/data" "$TMP/unpacked/data"
quiet() { [ -z "$(cd / && "$1" --check-data 2>&1 >/dev/null)" ]; }
check "unpacked: finds data/ beside itself" finds_data "$TMP/unpacked/oargala" "$TMP/unpacked/data"
check "unpacked: says nothing of the places it passed over" quiet "$TMP/unpacked/oargala"
rm "$TMP/unpacked/data"
nowhere() {
    (cd / && "$TMP/unpacked/oargala" --check-data >/dev/null 2>"$TMP/nowhere.err")
    grep -qx "oargala: no folder holds the show's files; searched data, $TMP/unpacked/data, $TMP/share/oargala/data" \
        "$TMP/nowhere.err" || { cat "$TMP/nowhere.err"; return 1; }
}
check "no data anywhere: one line names the places searched" nowhere

data_wins() { (cd "$SOURCE" && "$OARGALA" --check-data --data "$MOVED/share/oargala/data") | grep -q " $MOVED/share/oargala/data/lall.mp3 "; }
check "--data wins over the working directory" data_wins

# A --data folder without the files (empty or missing), no other copy in reach: one line naming
# the places searched, and the show still runs (empty pictures).
searched() {
    capture / "$OARGALA" "$TMP/run-$1" --data "$TMP/$1" && [ -f "$TMP/run-$1/frame-00630.png" ] &&
        grep -qx "oargala: no folder holds the show's files; searched $TMP/$1, data, .*" "$TMP/run-$1.err"
}
mkdir "$TMP/empty"
check "--data empty: places searched, show runs" searched empty
check "--data missing: places searched, show runs" searched missing

check "desktop entry is valid" desktop-file-validate "$MOVED/share/applications/oargala.desktop"
manual() { zcat "$MOVED/share/man/man6/oargala.6.gz" | groff -man "$@"; }
manual_clean() { [ -z "$(manual -ww -z 2>&1)" ]; }
check "manual page renders without warnings" manual_clean
options_of() { grep -o -- '--[a-z-]*' | sort -u; }
every_option() { [ "$(manual -Tascii -P-cbou 2>/dev/null | options_of)" = "$("$OARGALA" --help | options_of)" ]; }
check "manual page names every option of --help" every_option

# The Debian package, built as its README commands build it (a game's
# layout, hardened), then installed by unpacking it: the same lookup finds
# /usr/share/games/oargala/data from /usr/games.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
{ cmake -S "$SOURCE" -B "$TMP/deb-build" -DOARGALA_DEBIAN_PACKAGE=ON -DOARGALA_TESTS=OFF -DOARGALA_BENCH=OFF \
      -DOARGALA_SANITIZE=OFF -DOARGALA_THREAD_SANITIZE=OFF -DOARGALA_FUZZ=OFF "${launcher[@]}" &&
    cmake --build "$TMP/deb-build" -j2 --target package; } >"$TMP/cpack.log" 2>&1 || { tail -n 30 "$TMP/cpack.log"; exit 1; }
deb=$(ls "$TMP"/deb-build/oargala_*_amd64.deb)
package_lists() {
    local word list
    list="$(dpkg-deb --field "$deb" Depends) $(dpkg-deb --contents "$deb" | awk '{print $6}')"
    for word in libsdl2-2.0 libsdl2-mixer-2.0 libpng16 libjpeg62 ./usr/games/oargala ./usr/share/games/oargala/data/lall.mp3 \
        ./usr/share/games/oargala/data/angrep2.png ./usr/share/applications/oargala.desktop \
        ./usr/share/man/man6/oargala.6.gz ./usr/share/doc/oargala/README.md ./usr/share/doc/oargala/copyright \
        ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/oargala.png; do
        grep -qF -- "$word" <<<"$list" || { echo "  missing: $word"; return 1; }
    done
}
check "package depends on SDL2, SDL2_mixer, libpng, libjpeg and lists its files" package_lists
dpkg-deb -x "$deb" "$TMP/root"
check "unpacked package: finds its data" finds_data "$TMP/root/usr/games/oargala" "$TMP/root/usr/share/games/oargala/data"
lintian_clean() {
    local out
    out=$(lintian --info --fail-on error,warning "$deb" 2>&1) || { echo "$out"; return 1; }
    ! grep -q '^[EW]:' <<<"$out" || { echo "$out"; return 1; }
}
check "lintian finds nothing above info" lintian_clean

checks_done
