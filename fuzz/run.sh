#!/usr/bin/env bash
# run.sh [SECONDS]: fuzzes the picture loader for SECONDS (default 60).
# Configures a clang build of fuzz_loader in its own folder (build-fuzz/, or
# $FUZZ_BUILD_DIR), seeds a scratch corpus from the pictures in tests/data
# (the repository is never written to, except below), and runs libFuzzer on
# it. When the loader crashes, leaks, runs out of memory or time, or breaks
# one of its promises, the input is copied into tests/data/crashers/ (keep
# it: the loader tests read every file there) and this exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DOARGALA_FUZZ=ON -DOARGALA_TESTS=OFF \
  -DOARGALA_BENCH=OFF -DOARGALA_SANITIZE=OFF -DOARGALA_THREAD_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_loader

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
# Folder names become part of the seed names: the suites reuse file names.
while IFS= read -r -d '' seed; do
  name=${seed#tests/data/}
  cp "$seed" "$work/corpus/${name//\//_}"
done < <(find tests/data/pngsuite/png tests/data/bmpsuite tests/data/pictures tests/data/crashers \
              -type f ! -name '*.md' ! -name '*.py' ! -name '*.pam' -print0 2>/dev/null)
echo "fuzz_loader: $(ls "$work/corpus" | wc -l) seeds, ${seconds} s"

# Library messages (libjpeg, libpng) go to a closed stderr; libFuzzer and the
# sanitizers keep their own copy of it for the reports.
status=0
"$build/fuzz/fuzz_loader" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
  -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" || status=$?

found=0
for artifact in "$work"/artifacts/*; do
  [ -e "$artifact" ] || continue
  name=$(basename "$artifact")
  cp "$artifact" "tests/data/crashers/$name"
  echo "fuzz_loader: kept tests/data/crashers/$name"
  found=1
done
if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
  echo "fuzz_loader: failed (exit $status); add the kept input(s) to git and fix the loader" >&2
  exit 1
fi
echo "fuzz_loader: no crash in ${seconds} s"
