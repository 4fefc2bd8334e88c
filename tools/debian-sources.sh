# debian-sources.sh: sourced by the library recipes of the cross builds
# (tools/windows/deps.sh, tools/web/deps.sh). Fetches Debian 12's own source
# packages with apt-get source through a private deb-src list, so the
# machine's apt configuration stays untouched, and unpacks them with Debian's
# patches applied. Expects $work (a scratch folder) to be set. Needs apt-get,
# tar, patch.

# fetch_sources NAME=VERSION...: each package pinned to the version Debian 12
# ships (the one the Linux build links), downloaded into $work/src. A detached
# upstream signature the mirror lacks is not needed to build, so apt's failure
# to fetch one is tolerated when the tarballs are here.
fetch_sources() {
  mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/src"
  cat > "$work/apt/parts/debian-src.sources" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  local apt_opts=(-o Dir::Etc::SourceParts="$work/apt/parts" -o Dir::Etc::SourceList=/dev/null
                  -o Dir::State::Lists="$work/apt/lists" -o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" -q update >/dev/null
  local p name
  for p in "$@"; do
    (cd "$work/src" && apt-get "${apt_opts[@]}" -q source --download-only "$p") >/dev/null 2>"$work/apt/$p.log" || true
    name=${p%%=*}
    ls "$work/src/$name"_*.orig.tar.* "$work/src/$name"_*.debian.tar.* >/dev/null 2>&1 \
      || { cat "$work/apt/$p.log" >&2; echo "could not fetch the source of $p" >&2; exit 1; }
  done
}

# unpack NAME: NAME's upstream tarball with Debian's patches applied in
# $work/build/NAME; prints the folder.
unpack() {
  local name=$1 dir
  dir=$work/build/$name
  mkdir -p "$dir"
  tar xf "$work/src/$name"_*.orig.tar.* -C "$dir" --strip-components=1
  tar xf "$work/src/$name"_*.debian.tar.* -C "$dir"
  if [ -f "$dir/debian/patches/series" ]; then
    grep -v '^\s*#' "$dir/debian/patches/series" | while read -r patch _; do
      [ -n "$patch" ] && patch -s -d "$dir" -p1 < "$dir/debian/patches/$patch"
    done
  fi
  echo "$dir"
}
