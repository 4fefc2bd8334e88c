#!/usr/bin/env bash
# release.sh [--allow-dirty]: builds the release of the checked-out commit
# into dist/: the Debian package (oargala_VERSION_amd64.deb, built in
# build-deb/ as the README's Install section builds it),
# oargala-windows-x64.zip (tools/build-windows.sh), oargala-web.zip
# (tools/build-web.sh) and SHA256SUMS over the three. Anyone who builds the
# same commit gets the same bytes (tools/reproducible.sh): every time stamp
# is SOURCE_DATE_EPOCH, the commit's date unless given. A tree with changes to
# tracked files is refused, since a release is of a commit; --allow-dirty
# builds it anyway (for trying things), its version marked +dirty.
# Needs what ./run-show, the Windows and the web builds need.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source tools/reproducible.sh

allow_dirty=0
case "${1:-}" in
  "") ;;
  --allow-dirty) allow_dirty=1 ;;
  *) echo "usage: tools/release.sh [--allow-dirty]" >&2; exit 2 ;;
esac
git rev-parse --verify -q HEAD >/dev/null ||
  { echo "release: $root is not a git checkout with a commit: a release is of a commit" >&2; exit 1; }
if [ "$allow_dirty" = 0 ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: the tree has uncommitted changes (a release is of a commit); commit them, or try with --allow-dirty" >&2
  exit 1
fi
release_epoch "$root"
export TZ=UTC
bash tools/install-deps.sh show
start=$SECONDS

echo "== Debian package (commit $(git rev-parse --short=7 HEAD), SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
# A fresh folder: nothing of an earlier configure (another version, other
# options) reaches the package.
rm -rf build-deb
release_cmake_options "$root"
cmake -S . -B build-deb -DOARGALA_DEBIAN_PACKAGE=ON -DOARGALA_TESTS=OFF -DOARGALA_BENCH=OFF -DOARGALA_SANITIZE=OFF \
  -DOARGALA_THREAD_SANITIZE=OFF -DOARGALA_FUZZ=OFF "${release_options[@]}" >/dev/null
# CPack gives the package's own members (control.tar.gz, data.tar.gz) the
# umask's permissions: under 077 they would be rw------- in the .deb.
(umask 022 && cmake --build build-deb -j"$(nproc)" --target package) >build-deb/package.log 2>&1 ||
  { tail -n 30 build-deb/package.log >&2; echo "release: the Debian package failed (build-deb/package.log)" >&2; exit 1; }
mkdir -p dist
rm -f dist/oargala_*.deb dist/SHA256SUMS
deb=$(cd build-deb && ls oargala_*_amd64.deb)
cp build-deb/"$deb" dist/

echo "== Windows release"
bash tools/build-windows.sh
echo "== web page"
bash tools/build-web.sh

(cd dist && sha256sum "$deb" oargala-windows-x64.zip oargala-web.zip >SHA256SUMS)
echo "== release $(cat build-deb/version/version.txt) in dist/ ($((SECONDS - start)) s):"
cat dist/SHA256SUMS
