#!/usr/bin/env bash
# run.sh: builds the benchmarks (Release, build-bench/, -DOARGALA_BENCH=ON),
# runs them all from the source root and writes bench/results.md with the
# date, the machine, every figure and whether each target was met.
#   bench/run.sh [--quick] [decode] [startup] [frames] [draw] [capture]
# With no part named, all run (about 10 minutes on 2 cores). --quick takes
# fewer repetitions, for a first look. Needs the data/ folder and ffmpeg (for
# the capture); bench/collect.py does the running and the writing.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOARGALA_BENCH=ON -DOARGALA_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target oargala bench_decode bench_show bench_draw
exec /usr/bin/python3 bench/collect.py --build build-bench --out bench/results.md "$@"
