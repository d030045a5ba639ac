#!/usr/bin/env bash
# Starts tarvel under a virtual X server and photographs it, then draws every
# window into docs/screenshots/. Needs xvfb, xauth and imagemagick
# (scripts/install-deps.sh --ci installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target tarvel tarvel_screenshots
out=docs/screenshots
export TARVEL_SETTINGS=$(mktemp -d)/Tarvel.ini

# The real program, started as a user would, captured from the X server.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1/shell/tarvel" & pid=$!
    sleep 3
    kill -0 $pid || { echo "tarvel did not start" >&2; exit 1; }
    import -window root "$2/tarvel-started.png"
    kill $pid' _ "$build" "$out"

xvfb-run -a -s "-screen 0 1024x768x24" "$build/shell/tarvel_screenshots" "$out" examples
ls -l "$out"/*.png
