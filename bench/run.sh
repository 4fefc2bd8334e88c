#!/usr/bin/env bash
# run.sh: builds the benchmarks (Release, build-bench/, -DOARGALA_BENCH=ON),
# runs them all from the source root and writes bench/results.md with the
# date, the machine, every figure and whether each target was met.
#   bench/run.sh [--quick] [--baseline COMMIT] [--capture-stretch S] [decode] [startup] [frames] [draw] [capture]
# With no part named, all run (about 10 minutes on 2 cores). --quick takes
# fewer repetitions, for a first look. --baseline COMMIT also builds that
# commit's bench_show (Release, in a temporary git worktree) and runs its
# start-up beside this one's, one run each in turn, on the same data/, so
# that the ratio of the two holds on a busy machine, and its oargala's whole
# show capture beside this one's. --capture-stretch S captures only the first
# S seconds at 1920x1080 and 3840x2160, which take long on two cores. Needs the data/ folder
# and ffmpeg (for the capture); bench/collect.py does the running and the
# writing.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
args=()
baseline=""
while [ $# -gt 0 ]; do
  case "$1" in
    --baseline) baseline="${2:?--baseline needs a commit}"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOARGALA_BENCH=ON -DOARGALA_TESTS=OFF \
  -DOARGALA_FUZZ=OFF -DOARGALA_SANITIZE=OFF -DOARGALA_THREAD_SANITIZE=OFF "${launcher[@]}" >/dev/null
cmake --build build-bench -j2 --target oargala bench_decode bench_show bench_draw
if [ -n "$baseline" ]; then
  commit=$(git rev-parse --short "$baseline^{commit}")
  scratch=$(mktemp -d /tmp/oargala-baseline.XXXXXX)
  trap 'git worktree remove --force "$scratch/src" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
  git worktree add --detach "$scratch/src" "$commit" >/dev/null
  cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DOARGALA_BENCH=ON -DOARGALA_TESTS=OFF \
    "${launcher[@]}" >/dev/null
  cmake --build "$scratch/build" -j2 --target bench_show oargala
  args+=(--baseline-build "$scratch/build" --baseline-commit "$commit")
fi
/usr/bin/python3 bench/collect.py --build build-bench --out bench/results.md "${args[@]}"
