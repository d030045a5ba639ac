#!/usr/bin/env bash
# Starts tarvel under a virtual X server and photographs it, then draws every
# window into docs/screenshots/. The pictures show a neutral home, /home/ann,
# with the example files in ~/prices and the portfolio in ~/portfolio: the
# script runs in a private mount namespace whose /home is an empty tmpfs, so
# neither the build machine's paths nor its real /home appear or change.
# Needs xvfb, xauth, imagemagick and unshare (scripts/install-deps.sh --ci).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD_DIR:-build}")
if [[ "${1:-}" != --in-namespace ]]; then
    cmake --build "$build" --target tarvel tarvel_screenshots
    exec unshare --map-root-user --mount "$0" --in-namespace
fi

mount -t tmpfs tarvel-home /home
export HOME=/home/ann
mkdir -p "$HOME/prices"
cp examples/*.csv examples/*.txt "$HOME/prices/"
out=$PWD/docs/screenshots
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
export TARVEL_SETTINGS=$settings/Tarvel.ini TARVEL_LEGACY_INI_DIR=$settings
cd "$HOME"

# The real program, started as a user would, captured from the X server.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1/shell/tarvel" & pid=$!
    sleep 3
    kill -0 $pid || { echo "tarvel did not start" >&2; exit 1; }
    import -window root "$2/tarvel-started.png"
    kill $pid' _ "$build" "$out"

xvfb-run -a -s "-screen 0 1024x768x24" "$build/shell/tarvel_screenshots" "$out" "$HOME/prices" "$HOME/portfolio"
# Conversion Settings on a small screen, and on a laptop's at 150 %.
xvfb-run -a -s "-screen 0 800x600x24" \
    "$build/shell/tarvel_screenshots" --dialog-screen "$out/settings-dialog-800x600.png" "$HOME/prices" "$HOME/portfolio"
QT_SCALE_FACTOR=1.5 xvfb-run -a -s "-screen 0 1366x768x24" \
    "$build/shell/tarvel_screenshots" --dialog-screen "$out/settings-dialog-150.png" "$HOME/prices" "$HOME/portfolio"
ls -l "$out"/*.png
