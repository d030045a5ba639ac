#!/usr/bin/env bash
# Cross-builds Tarvel for 64-bit Windows into build-windows/ with Debian's
# mingw-w64, over a Qt built for MinGW from Debian's own qt6-base source.
#
# Qt is built once into a cache folder outside the repository
# ($TARVEL_WINDOWS_CACHE, default ~/.cache/tarvel-windows), keyed by the Qt
# source version, the configure line and the compiler version: a matching
# key reuses it, any change rebuilds it (about 15 minutes on two cores).
#
#   scripts/build-windows.sh            install, build Qt if needed, build Tarvel,
#                                       make the zip and the installer
#   scripts/build-windows.sh --qt-only  stop after Qt
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${TARVEL_WINDOWS_CACHE:-$HOME/.cache/tarvel-windows}
jobs=$(nproc)
qt_only=false
for option in "$@"; do
    case $option in
        --qt-only) qt_only=true ;;
        *) echo "build-windows.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

as_root=()
[[ "$(id -u)" -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive

./scripts/install-deps.sh --windows

# Qt's source comes from the deb-src twin of the configured Debian mirror.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:'; then
    mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
        awk '/^URIs:/ { print $2 } /^deb / { print $2 }' | grep -v security | head -n 1 || true)
    mirror=${mirror:-http://deb.debian.org/debian}
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
        "$mirror" /usr/share/keyrings/debian-archive-keyring.gpg |
        "${as_root[@]}" tee /etc/apt/sources.list.d/tarvel-qt-source.sources >/dev/null
    "${as_root[@]}" apt-get update -qq
fi
qt_version=$(apt-cache showsrc qt6-base | sed -n 's/^Version: //p' | sort -V | tail -n 1)

qt_configure=(-release -shared -xplatform win32-g++ -qt-host-path /usr
    -nomake tests -nomake examples -no-opengl -no-dbus -no-icu -no-zstd -no-vulkan -no-openssl
    -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre -qt-doubleconversion
    -no-feature-sql -no-feature-network -no-feature-xml -no-feature-concurrent
    -no-feature-printsupport -no-feature-tabletevent -no-feature-androiddeployqt
    -no-feature-sessionmanager)
compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n 1)
key=$(printf '%s\n' "$qt_version" "${qt_configure[*]}" "$compiler" "$(cat cmake/mingw-w64-qt.cmake)" |
    sha256sum | cut -c1-16)
qt_prefix=$cache/qt-$key

if [[ ! -f $qt_prefix/.complete ]]; then
    echo "build-windows.sh: building Qt $qt_version for MinGW into $qt_prefix"
    work=$cache/work-$key
    rm -rf "$work" "$qt_prefix"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq --download-only qt6-base="$qt_version" >/dev/null &&
        dpkg-source -x ./*.dsc src >/dev/null)
    mkdir -p "$work/build"
    (cd "$work/build" && ../src/configure -prefix "$qt_prefix" "${qt_configure[@]}" -- -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF >"$work/configure.log" 2>&1) ||
        { tail -n 40 "$work/configure.log"; exit 1; }
    cmake --build "$work/build" --parallel "$jobs" >"$work/build.log" 2>&1 ||
        { grep -m 20 -B 2 -A 8 'error' "$work/build.log" || tail -n 40 "$work/build.log"; exit 1; }
    cmake --install "$work/build" >/dev/null
    touch "$qt_prefix/.complete"
    rm -rf "$work"
fi
echo "build-windows.sh: Qt for MinGW in $qt_prefix"
$qt_only && exit 0

mkdir -p build-windows/cli11
# What the programs need beside them: Qt's DLLs and plugins, and the MinGW
# runtime Qt's DLLs were linked with (Tarvel's own programs carry theirs).
runtime=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix/libstdc++-6.dll
    /usr/lib/gcc/x86_64-w64-mingw32/*-posix/libgcc_s_seh-1.dll
    /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
printf '%s\n' "$qt_prefix" >build-windows/qt-prefix
printf '%s\n' "${runtime[@]}" >build-windows/runtime-dlls
# CLI11 is header-only; its folder alone goes to the cross compiler (all of
# /usr/include would stand before MinGW's own headers).
cp -r /usr/include/CLI build-windows/cli11/
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DTARVEL_WINDOWS_PREFIX="$qt_prefix" -DCMAKE_PREFIX_PATH="$qt_prefix" -DQT_HOST_PATH=/usr \
    -DCLI11_INCLUDE_DIR="$root/build-windows/cli11" \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST \
    -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 \
    -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build build-windows --parallel "$jobs"
echo "build-windows.sh: built into build-windows/"

# The zip and the installer a Windows user takes.
./scripts/package-windows.sh
