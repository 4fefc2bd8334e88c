#!/usr/bin/env bash
# install-deps.sh show|test|windows|web: installs the Debian 12 packages that
# building and running the show (show), building and running every test
# (test), cross-building the Windows release (windows) or building the
# browser page (web, with the Chromium and the Firefox that test it, Firefox
# under Xvfb) needs.
# Asks apt only when something is missing. Needs root (or sudo).
set -euo pipefail

show_packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libpng-dev libjpeg-dev zlib1g-dev
  libgl-dev libglu1-mesa-dev libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  ffmpeg help2man file
)
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  cmake nasm patch xz-utils bzip2 zip ccache
)
web_packages=(
  emscripten cmake patch xz-utils bzip2 zip gzip python3 chromium firefox-esr xvfb xauth
)
test_packages=(
  "${show_packages[@]}"
  "${windows_packages[@]}" wine wine64
  "${web_packages[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
  xvfb xauth xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xfonts-base xdotool libx11-dev libxrandr-dev
  clang libclang-rt-14-dev
  desktop-file-utils groff-base lintian unzip
)

case "${1:-}" in
  show) wanted=("${show_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  windows) wanted=("${windows_packages[@]}") ;;
  web) wanted=("${web_packages[@]}") ;;
  *) echo "usage: $0 show|test|windows|web" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The browser test's driver comes from npm: Debian's npm only where no npm is
# on the path (a Node.js from elsewhere brings its own).
if [[ " ${wanted[*]} " == *" chromium "* ]] && ! command -v npm >/dev/null; then missing+=(npm); fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
