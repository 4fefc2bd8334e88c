#!/usr/bin/env bash
# run.sh [SECONDS]: fuzzes the picture loader (fuzz_loader) and the command
# line's parser (fuzz_options) for SECONDS in all (default 60, half each).
# Configures a clang build of both in its own folder (build-fuzz/, or
# $FUZZ_BUILD_DIR), seeds scratch corpora from the pictures in tests/data and
# from a few command lines (the repository is never written to, except
# below), and runs libFuzzer on each. When a target crashes, leaks, runs out
# of memory or time, or breaks one of its promises, the input is copied into
# tests/data/crashers/ (a picture: keep it, the loader tests read every file
# there) or tests/data/crashers-options/ (arguments split at NUL bytes) and
# this exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DOARGALA_FUZZ=ON -DOARGALA_TESTS=OFF \
  -DOARGALA_BENCH=OFF -DOARGALA_SANITIZE=OFF -DOARGALA_THREAD_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_loader fuzz_options

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/loader" "$work/options"
# Folder names become part of the seed names: the suites reuse file names.
while IFS= read -r -d '' seed; do
  name=${seed#tests/data/}
  cp "$seed" "$work/loader/${name//\//_}"
done < <(find tests/data/pngsuite/png tests/data/bmpsuite tests/data/pictures tests/data/crashers \
              -type f ! -name '*.md' ! -name '*.py' ! -name '*.pam' -print0 2>/dev/null)
# Command lines, one argument after another, each ended by a NUL.
n=0
for line in "--windowed --size 1024x768 --vsync" "--desktop --data data" \
            "--capture shots/ --fps 60000/1001 --size 16x16 --at 0,1.123456,159" \
            "--capture show.mkv --fps 30 --size 640x480" "--decode a.png a.pam" "--check-data --data d" \
            "--help" "--version"; do
  n=$((n + 1))
  for word in $line; do printf '%s\0' "$word"; done >"$work/options/seed-$n"
done
cp tests/data/crashers-options/* "$work/options/" 2>/dev/null || true

status=0
# run_target NAME CORPUS KEEP: libFuzzer for half the time; what it finds
# goes to KEEP.
run_target() {
  local name=$1 corpus=$2 keep=$3 result=0
  mkdir -p "$work/artifacts-$name"
  echo "$name: $(ls "$corpus" | wc -l) seeds, $((seconds / 2)) s"
  # Library messages (libjpeg, libpng) go to a closed stderr; libFuzzer and
  # the sanitizers keep their own copy of it for the reports.
  "$build/fuzz/$name" -max_total_time=$((seconds / 2)) -timeout=30 -rss_limit_mb=2048 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$work/artifacts-$name/" \
    "$corpus" || result=$?
  for artifact in "$work/artifacts-$name"/*; do
    [ -e "$artifact" ] || continue
    mkdir -p "$keep"
    cp "$artifact" "$keep/$(basename "$artifact")"
    echo "$name: kept $keep/$(basename "$artifact")"
    result=1
  done
  if [ "$result" -ne 0 ]; then
    echo "$name: failed (exit $result); add the kept input(s) to git and fix the code" >&2
    status=1
  else
    echo "$name: no crash in $((seconds / 2)) s"
  fi
}
run_target fuzz_loader "$work/loader" tests/data/crashers
run_target fuzz_options "$work/options" tests/data/crashers-options
exit "$status"
