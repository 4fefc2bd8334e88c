#!/usr/bin/env bash
# web.sh [RUNS]: builds the browser page (tools/build-web.sh) and measures it
# in headless Chromium (bench/web_bench.js): its size, page load to Play,
# Play to first frame, frame rate, the music's first note and the one clock
# under a throttled CPU, progress and first frame on a 1.5 Mbit/s link.
# Writes bench/web-results.md. About 7 minutes with 3 runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build-web.sh >/dev/null
lock=$(sha256sum tests/web/package-lock.json | cut -c1-8)
modules=${OARGALA_WEB_TEST_MODULES:-/var/cache/oargala/web-test/puppeteer-$lock}
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules"
  cp tests/web/package.json tests/web/package-lock.json "$modules/"
  (cd "$modules" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
fi
{
  echo "# Browser page benchmark"
  echo
  echo "Written by \`bench/web.sh\` (do not edit by hand). Headless Chromium from Debian, WebGL through SwiftShader."
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M'), commit $(git rev-parse --short HEAD)"
  echo "- Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load average $(cut -d' ' -f1 /proc/loadavg) before"
  echo "- Browser: $(chromium --version 2>/dev/null | head -1)"
  echo
  NODE_PATH=$modules/node_modules node bench/web_bench.js dist/oargala-web "${1:-3}"
} > bench/web-results.md.partial
mv bench/web-results.md.partial bench/web-results.md
cat bench/web-results.md
