# shellcheck shell=bash
# Sourced, not run, by the scripts that run the Windows build under Wine:
#     source scripts/wine-env.sh BUILD_DIR
# where BUILD_DIR is the Windows build (build-windows/, made by
# scripts/build-windows.sh). It makes a Wine prefix of its own, removed on
# exit, quiets Wine, lets Wine's PATH find Qt's DLLs and the MinGW runtime, and
# starts the prefix once. It leaves $wine (the loader), $wineserver, winpath
# and wine_env_cleanup, which the EXIT trap it sets runs; a script with
# temporaries of its own sets its own trap and calls wine_env_cleanup from it.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
# Wine hands a program no QT_ variable of the Unix environment, and passes
# WINEQT_... on as QT_...: the widget tests draw on the offscreen platform.
export WINEQT_QPA_PLATFORM=offscreen
wine_env_cleanup() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap wine_env_cleanup EXIT

# Qt's DLLs and the MinGW runtime they need, found through Wine's PATH.
wine_env_folders=("$(cat "$1/qt-prefix")/bin")
while read -r dll; do wine_env_folders+=("$(dirname "$dll")"); done <"$1/runtime-dlls"
WINEPATH=$(printf 'Z:%s;' "${wine_env_folders[@]}" | tr / '\\')
export WINEPATH

# The first start makes the prefix and starts Wine's services: seconds that
# nothing run afterwards should pay for. The server stays up (-p) until the
# cleanup, and the services with it: otherwise each program started after
# an idle moment starts them again, and they hold that program's standard
# output open (a test "runs" until they quit) while they live.
"$wineserver" -p >/dev/null 2>&1 </dev/null
"$wine" wineboot --init >/dev/null 2>&1 </dev/null || true

# winpath PATH: the absolute PATH as a Windows program under Wine names it
# (Z: is the root of the Linux file system).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
