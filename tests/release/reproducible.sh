#!/usr/bin/env bash
# reproducible.sh [SOURCE]: builds the release of SOURCE's commit (default:
# this checkout's) twice with tools/release.sh, in two fresh clones in
# folders of different depth, one after the other under different umasks
# (022, 077), and checks that the two dist/ are byte-identical: SHA256SUMS
# the same and true of the files. Where an artefact differs, names the first
# file inside that differs (and its listing's lines: times, permissions),
# with diffoscope's report when it is installed. Then checks that the version
# names the commit in the unpacked package's --version, the Windows README
# and the page's credits. Slow (two whole releases, some minutes with the
# libraries cached), so CI runs it apart from ./run-tests. Needs what
# tools/release.sh needs, and unzip.
# reproducible.sh --compare DIST DIST: only the comparison, of two release
# folders (a rebuild against a downloaded release, say).
set -euo pipefail
source "$(dirname "$0")/../support/checks.sh"

# unpack FILE DIR: the files inside an artefact; listing FILE: its entries
# with their times, owners and permissions.
unpack() {
  mkdir -p "$2"
  case $1 in
    *.deb) dpkg-deb -R "$1" "$2" ;;
    *.zip) unzip -q "$1" -d "$2" ;;
  esac
}
listing() {
  case $1 in
    *.deb) dpkg-deb -c "$1"; dpkg-deb -I "$1" ;;
    *.zip) zipinfo -l "$1" ;;
  esac
}
# same NAME: the artefact NAME of both releases is the same bytes; else the
# first differing file inside and the listing's differing lines.
same() {
  local a=$one/$1 b=$two/$1 where
  cmp -s "$a" "$b" && return 0
  unpack "$a" "$TMP/unpacked-1/$1" && unpack "$b" "$TMP/unpacked-2/$1"
  where=$(diff -rq "$TMP/unpacked-1/$1" "$TMP/unpacked-2/$1" | head -n 1 | sed "s|$TMP/unpacked-\([12]\)/$1/|(\1) |g")
  echo "  $1 differs; first file inside: ${where:-none (the contents are the same)}"
  diff <(listing "$a" | sed "s|$one||g") <(listing "$b" | sed "s|$two||g") | head -n 10 | sed 's/^/  /'
  if command -v diffoscope >/dev/null; then diffoscope --text - "$a" "$b" | head -n 60 | sed 's/^/  /'; fi
  return 1
}
# compare DIST DIST: SHA256SUMS true of each, the same, and every artefact.
compare() {
  local name
  one=$1 two=$2
  sums_true() { (cd "$1" && sha256sum --quiet -c SHA256SUMS); }
  check "SHA256SUMS true of $one's files" sums_true "$one"
  check "SHA256SUMS true of $two's files" sums_true "$two"
  check "the same SHA256SUMS" cmp "$one/SHA256SUMS" "$two/SHA256SUMS"
  for name in $(awk '{print $2}' "$one/SHA256SUMS"); do
    check "$name: byte-identical" same "$name"
  done
}
if [ "${1:-}" = --compare ]; then
  compare "$(realpath "$2")" "$(realpath "$3")"
  checks_done
  exit
fi

SOURCE=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
commit=$(git -C "$SOURCE" rev-parse HEAD)
short=${commit:0:7}

# release FOLDER UMASK: a clone of the commit in FOLDER, released there.
release() {
  local start=$SECONDS
  if ! (umask "$2" && git clone -q --no-checkout "$SOURCE" "$1" && git -C "$1" checkout -q "$commit" &&
        bash "$1/tools/release.sh") >"$1.log" 2>&1; then
    tail -n 30 "$1.log"
    echo "FAIL: tools/release.sh in $1 (umask $2)"
    exit 1
  fi
  echo "ok: released in $1 (umask $2) in $((SECONDS - start)) s"
}
first=$TMP/one second=$TMP/two/a/longer/path
mkdir -p "$(dirname "$second")"
release "$first" 022
release "$second" 077

compare "$first/dist" "$second/dist"

# The version everyone sees names the commit.
deb=$(ls "$first"/dist/oargala_*_amd64.deb)
names_commit() { grep -qF "1.0.0 ($short)"; }
package_version() { [ "$(dpkg-deb --field "$deb" Version)" = "1.0.0+git.$short" ]; }
check "the package's version names the commit" package_version
dpkg-deb -x "$deb" "$TMP/root"
check "the packaged program's --version names the commit" names_commit < <("$TMP/root/usr/games/oargala" --version)
check "the Windows README names the commit" names_commit < <(unzip -p "$first/dist/oargala-windows-x64.zip" oargala-windows-x64/README.txt)
check "the page's credits name the commit" names_commit < <(unzip -p "$first/dist/oargala-web.zip" oargala-web/index.html)

# A changed tree is refused before anything is built, and dist/ is kept.
echo "// changed" >>"$first/app/main.cpp"
dirty_refused() {
  local out status=0
  out=$(bash "$first/tools/release.sh" 2>&1) || status=$?
  [ "$status" = 1 ] && [ "$out" = "release: the tree has uncommitted changes (a release is of a commit); commit them, or try with --allow-dirty" ] &&
    (cd "$first/dist" && sha256sum --quiet -c SHA256SUMS) || { echo "  exit $status: $out"; return 1; }
}
check "a tree with changes is refused in one line, dist/ kept" dirty_refused

checks_done
