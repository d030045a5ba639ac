#!/usr/bin/env bash
# Photographs the Windows build's windows under Wine, on the qwindows platform
# of a virtual X server: the log after a day's update, Conversion Settings,
# the portfolio window and the batch window, as docs/screenshots/windows-*.png.
# Needs scripts/build-windows.sh's build-windows/ and xvfb (scripts/install-deps.sh --ci).
# The example files stand in C:\users\ann\prices of the Wine prefix, the
# portfolio in C:\users\ann\portfolio, so no path of the build machine shows.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine's desktop takes the display it starts with: the whole run is inside
# the virtual X server.
if [[ ${1:-} != --in-x ]]; then
    cmake --build build-windows --target tarvel_screenshots
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" --in-x
fi
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh build-windows
# The real platform, not the tests' offscreen one. Its text goes through
# Qt's own FreeType engine: Wine's font engine draws labels but leaves the
# text of edit boxes blank on some machines, which Windows does not.
export WINEQT_QPA_PLATFORM=windows:fontengine=freetype
out=$PWD/docs/screenshots
home=$WINEPREFIX/drive_c/users/ann
shots=$(mktemp -d)
trap 'rm -rf "$shots"; wine_env_cleanup' EXIT
mkdir -p "$home/prices"
cp examples/*.csv examples/*.txt "$home/prices/"
export TARVEL_SETTINGS='C:\users\ann\Tarvel.ini'
# Wine's services start with the first program; the pictures come from the
# second run, once they are up.
for run in warm-up pictures; do
    "$wine" build-windows/shell/tarvel_screenshots.exe \
        "$(winpath "$shots")" 'C:\users\ann\prices' 'C:\users\ann\portfolio' </dev/null >/dev/null 2>&1
    echo "$run done"
done
cp "$shots/log-after-update.png" "$out/windows-main-window.png"
cp "$shots/settings-dialog-example.png" "$out/windows-settings-dialog.png"
cp "$shots/portfolio-window.png" "$out/windows-portfolio-window.png"
cp "$shots/batch-window.png" "$out/windows-batch-window.png"
ls -l "$out"/windows-*.png
