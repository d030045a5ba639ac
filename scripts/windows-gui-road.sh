#!/usr/bin/env bash
# The desktop program's road on Windows, under Wine on the real (qwindows)
# platform of a virtual X server: start tarvel.exe FILE, press Enter in
# Conversion Settings, and find the security in the portfolio, byte for byte
# what the Linux build makes of the same file.
#   scripts/windows-gui-road.sh LINUX_CLI_DIR [BUILD_DIR]
# LINUX_CLI_DIR holds the Linux tarvel-cli; BUILD_DIR is the Windows build
# (build-windows/). Needs xvfb and xdotool (scripts/install-deps.sh --windows).
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine's desktop takes the display it starts with: the whole run is inside
# the virtual X server.
if [[ ${1:-} != --in-x ]]; then
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" --in-x "$@"
fi
linux_cli=$(realpath "$2")/tarvel-cli
build=${3:-build-windows}
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh "$build"
unset WINEQT_QPA_PLATFORM  # the real platform, not the tests' offscreen one
work=$(mktemp -d)
pid=
finish() {
    [[ -z $pid ]] || kill "$pid" 2>/dev/null || true
    rm -rf "$work"
    wine_env_cleanup
}
trap finish EXIT

fail() {
    echo "windows-gui-road.sh: $*" >&2
    exit 1
}

# The user's folder in the Wine prefix: the day's file, an empty portfolio
# folder, and settings that name it.
home=$WINEPREFIX/drive_c/users/ann
mkdir -p "$home/pf"
cp examples/acme-daily.csv "$home/"
printf '[Convert]\r\nPathOut=C:/users/ann/pf\r\n' >"$home/Tarvel.ini"
export TARVEL_SETTINGS='C:\users\ann\Tarvel.ini'

"$wine" "$build/shell/tarvel.exe" 'C:\users\ann\acme-daily.csv' </dev/null >"$work/tarvel.log" 2>&1 &
pid=$!
# Enter in the dialog once it is up (no window manager runs: the dialog gets
# the focus directly), then the portfolio once committed; each wait bounded.
dialog=$(timeout 120 xdotool search --sync --onlyvisible --name '^Conversion Settings$' | head -n 1) ||
    fail "Conversion Settings did not open: $(tail -n 5 "$work/tarvel.log")"
# A window just mapped may not take the focus yet.
focused=
for _ in $(seq 40); do
    if xdotool windowfocus --sync "$dialog" 2>/dev/null; then
        focused=yes
        break
    fi
    sleep 0.5
done
[[ -n $focused ]] || fail "Conversion Settings did not take the focus"
xdotool key --clearmodifiers Return
for _ in $(seq 60); do
    [[ -f $home/pf/MASTER && ! -e $home/pf/MASTER.~JN ]] && break
    sleep 1
done
[[ -f $home/pf/MASTER ]] || fail "tarvel.exe wrote no portfolio: $(tail -n 5 "$work/tarvel.log")"
sleep 1

TARVEL_SETTINGS=$work/linux.ini "$linux_cli" convert examples/acme-daily.csv --out "$work/linux" >/dev/null
different=0
for file in "$work/linux"/*; do
    name=${file##*/}
    cmp -s "$file" "$home/pf/$name" || { echo "windows-gui-road.sh: $name differs" >&2; different=1; }
done
[[ $different -eq 0 ]] || fail "tarvel.exe's portfolio is not the Linux build's"
echo "tarvel.exe FILE, Enter: the portfolio holds the same bytes as the Linux build's"
