#!/usr/bin/env bash
# soak.sh [N]: the Wine test (wine_test.sh) N times in a row (10 by default)
# on a loaded machine: beside it, a build of the program from scratch runs
# over and over in build-soak/ (as ./run-tests configures its normal build,
# -j2). Needs what the Wine test needs: build-tests/'s oargala and x11_tool
# and the release in build-windows/ (./run-tests makes all three). Prints
# each run's result and how long it took; exits 0 only when every run passed.
# Each run's whole output is kept in build-soak/run-K.log.
set -u
cd "$(dirname "$0")/../.."
runs=${1:-10}
mkdir -p build-soak
cmake -S . -B build-soak/tree -DOARGALA_TESTS=OFF -DOARGALA_BENCH=OFF -DOARGALA_SANITIZE=OFF \
  -DOARGALA_THREAD_SANITIZE=OFF -DOARGALA_FUZZ=OFF >/dev/null || exit 1
# In a session of its own, so that it ends with everything it started.
setsid bash -c 'while :; do cmake --build build-soak/tree --target clean >/dev/null 2>&1
                         cmake --build build-soak/tree -j2 --target oargala >/dev/null 2>&1; done' &
load=$!
trap 'kill -- -$load 2>/dev/null' EXIT
trap 'exit 1' INT TERM
passed=0
for k in $(seq "$runs"); do
    start=$SECONDS
    bash tests/windows/wine_test.sh build-tests/oargala build-tests/tests/x11/x11_tool \
        build-windows/oargala-windows-x64 . >"build-soak/run-$k.log" 2>&1
    code=$?
    result=$(grep -a "^checks passed" "build-soak/run-$k.log" || echo "no summary")
    if [ "$code" = 0 ]; then passed=$((passed + 1)); echo "run $k: pass, $result, $((SECONDS - start)) s"
    else echo "run $k: FAIL (exit code $code), $result, $((SECONDS - start)) s"; grep -a "^FAIL" "build-soak/run-$k.log" | sed 's/^/  /'
    fi
done
echo "$passed of $runs runs passed, load: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$passed" = "$runs" ]
