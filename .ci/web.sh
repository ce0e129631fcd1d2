#!/usr/bin/env bash
# The game as a web page: installs what a fresh Debian machine lacks for it
# (emscripten, Chromium and a font for it; npm only where there is none, as the
# machine's own Node.js may come with it), builds the site and runs the
# browser tests (the web workflow, whose configure step installs the tests'
# npm packages, puppeteer-core and axe-core, from the lock file, with no
# browser download), then takes a short browser measurement, which fails only
# when a first visit loads more than its size.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/install.sh

packages=(cmake make emscripten chromium fonts-dejavu-core)
command -v npm >/dev/null || packages+=(nodejs npm)
install_missing "${packages[@]}"
export PUPPETEER_SKIP_DOWNLOAD=1

echo "== site and browser tests"
cmake --workflow --preset web

echo "== browser measurement (short)"
node bench/web_measure.mjs --site build/web/site --lines 100 --repeats 3 --long 1000 --check
