#!/usr/bin/env bash
# run.sh PAGE_DIR LINUX_OARGALA SOURCE_DIR: the browser page's test
# (page_test.js) in Debian's Chromium (headless), then in Debian's Firefox
# ESR under Xvfb (headless Firefox has no WebGL here). puppeteer-core, pinned
# by package-lock.json, is installed once per lock file into a cache outside
# the checkout ($OARGALA_WEB_TEST_MODULES, by default under /var/cache/oargala);
# it downloads no browser.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lock=$(sha256sum "$here/package-lock.json" | cut -c1-8)
modules=${OARGALA_WEB_TEST_MODULES:-/var/cache/oargala/web-test/puppeteer-$lock}
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  command -v npm >/dev/null || { echo "run.sh: npm is needed to install puppeteer-core" >&2; exit 1; }
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
fi
export NODE_PATH=$modules/node_modules
echo "-- Chromium"
status=0
node "$here/page_test.js" "$@" chromium || status=1
echo "-- Firefox ESR"
xvfb-run -a -s "-screen 0 1280x1024x24" node "$here/page_test.js" "$@" firefox || status=1
exit $status
