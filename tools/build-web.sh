#!/usr/bin/env bash
# build-web.sh: builds the show for web browsers with Debian's Emscripten and
# writes dist/oargala-web/ (index.html, oargala.js, oargala.wasm, the data
# package oargala.data and its description data.json (tools/web/pack.py),
# the title's backdrop poster.png, the licence texts) and dist/oargala-web.zip.
# The picture libraries are built from Debian 12's source packages once
# (tools/web/deps.sh) into $OARGALA_WEB_DEPS, by default a folder under
# /var/cache/oargala named by their versions, the compiler and the recipe,
# outside any checkout so every clone on this machine reuses them. The
# program itself is built in build-web/.
# The zip is the same bytes on every build of a commit (tools/reproducible.sh):
# times from SOURCE_DATE_EPOCH, files in name order with fixed permissions,
# no build path, and the data package in name order (tools/web/pack.py).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/install-deps.sh web
source tools/reproducible.sh
release_epoch "$root"
# Debian's emcc finds its JavaScript helpers (acorn) only here when another
# Node.js than Debian's comes first on the path.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

# Changing a version, the compiler or the recipe makes a new folder.
compiler=$(emcc --version | sed -n '1s/.* \([0-9][0-9.]*\) .*/\1/p')
recipe=$(sha256sum tools/web/deps.sh tools/debian-sources.sh | sha256sum | cut -c1-8)
key=zlib-1.2.13_png-1.6.39_jpeg-2.1.5_emcc-$compiler-$recipe
deps=${OARGALA_WEB_DEPS:-/var/cache/oargala/web-deps/$key}

if [ ! -f "$deps/.complete" ]; then
  echo "== building the browser's libraries into $deps (once)"
  start=$SECONDS
  bash tools/web/deps.sh "$deps"
  echo "== libraries built in $((SECONDS - start)) s"
fi

echo "== building oargala.wasm"
release_cmake_options "$root"
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DOARGALA_TESTS=OFF -DOARGALA_WEB_DEPS="$deps" \
  -DOARGALA_GL11=OFF -DOARGALA_GLES2=ON "${release_options[@]}" >/dev/null
cmake --build build-web -j"${JOBS:-$(nproc)}" --target oargala

stage=build-web/oargala-web
rm -rf "$stage"
mkdir -p "$stage/licences"
cp build-web/oargala.js build-web/oargala.wasm "$stage/"
# The credits name the version.
version=$(cat build-web/version/version.txt)
sed "s|<div id=\"credits\">|&Oar Gala $version. |" tools/web/index.html >"$stage/index.html"
grep -qF "Oar Gala $version. " "$stage/index.html" || { echo "build-web: no credits in index.html to name the version in" >&2; exit 1; }
cp packaging/icons/oargala-64.png "$stage/icon.png"
# The title's backdrop: the show's own landscape.
cp data/world.png "$stage/poster.png"
# The show's files, described in data.json and put by the page into its
# file system as data/ below the working folder, where the show looks first.
python3 tools/web/pack.py "$stage" data --code "$stage/oargala.js" "$stage/oargala.wasm"
cp LICENSE "$stage/licences/oargala.txt"
cp "$deps"/licences/* "$stage/licences/"

normalise_tree "$stage"
rm -rf dist/oargala-web dist/oargala-web.zip
mkdir -p dist
cp -a "$stage" dist/oargala-web
zip_tree "$root/dist/oargala-web.zip" build-web oargala-web
echo "== dist/oargala-web/ and dist/oargala-web.zip ($(du -k dist/oargala-web.zip | cut -f1) KB)"
