#!/usr/bin/env bash
# Runs the Windows build's test suites (build-windows/, made by
# scripts/build-windows.sh) under Wine, in a Wine prefix of its own that is
# removed afterwards. Extra arguments go to ctest (e.g. -R core).
set -euo pipefail
cd "$(dirname "$0")/.."
wine=/usr/lib/wine/wine64
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

# Qt's DLLs and the MinGW runtime they need, found through Wine's PATH.
folders=("$(cat build-windows/qt-prefix)/bin")
while read -r dll; do folders+=("$(dirname "$dll")"); done <build-windows/runtime-dlls
WINEPATH=$(printf 'Z:%s;' "${folders[@]}" | tr / '\\')
export WINEPATH

# The first start makes the prefix and starts Wine's services: seconds that
# no test's time limit should pay for.
"$wine" wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w

# Suites whose subject only a real Windows shows are left to it; the widget
# suites use the offscreen platform.
QT_QPA_PLATFORM=offscreen ctest --test-dir build-windows --output-on-failure -j "$(nproc)" "$@"
