# reproducible.sh: sourced by tools/release.sh, tools/build-windows.sh and
# tools/build-web.sh, so that a release is the same bytes whoever builds it,
# wherever and whenever: one time for every stamp, fixed file order and
# permissions, no build path. Not part of the libraries' cache keys: it only
# shapes what is packed. Needs git (for the commit's date), zip, touch.

# Every time stamp in a release is SOURCE_DATE_EPOCH (as Debian's
# reproducible builds define it): the last commit's date unless given; a
# tree without its git history takes its top file's time.
release_epoch() {
  if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$1" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=$(stat -c %Y "$1/CMakeLists.txt")
  fi
  export SOURCE_DATE_EPOCH
}

# release_cmake_options ROOT: the cmake options every release build of the
# checkout ROOT shares, in the array release_options. Compilers write the
# paths of the source into debug information and __FILE__: mapped to
# relative ones, two checkouts in different folders give the same objects,
# and ccache, where it is installed and told the same base, may share them.
release_cmake_options() {
  local flags="-ffile-prefix-map=$1/="
  release_options=(-DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags")
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$1
    release_options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
}

# normalise_tree DIR [PATTERN...]: every file and folder below DIR gets
# SOURCE_DATE_EPOCH as its time and fixed permissions, whatever the umask
# and the checkout's own: folders and files matching a PATTERN 755, other
# files 644.
normalise_tree() {
  local dir=$1 pattern
  shift
  find "$dir" -type d -exec chmod 755 {} +
  find "$dir" -type f -exec chmod 644 {} +
  for pattern in "$@"; do find "$dir" -type f -name "$pattern" -exec chmod 755 {} +; done
  find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# zip_tree ZIP PARENT NAME: zips PARENT/NAME as NAME/... into ZIP (a new
# file), entries in byte order of their names, with no extra fields (zip's
# own would add access times and owners) and times in UTC.
zip_tree() {
  local zip=$1 parent=$2 name=$3
  rm -f "$zip"
  (cd "$parent" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -9 -@ "$zip")
}
