#!/usr/bin/env bash
# Installs the Debian 12 packages Tarvel builds and tests with; only what is
# missing, so a second run costs nothing. Runs apt-get as root, else via sudo.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config python3
    qt6-base-dev libgl-dev
    libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
)
for option in "$@"; do
    case $option in
        --ci)
            # Sanitizer, fuzz and Clang builds, screenshots under a virtual X server.
            packages+=(clang clang-format clang-tidy libclang-rt-14-dev xvfb xauth x11-apps imagemagick) ;;&
        --ci | --package)
            # The Debian package and its checks (scripts/package.sh).
            packages+=(dpkg-dev file lintian appstream desktop-file-utils) ;;
        --windows)
            # The cross build (scripts/build-windows.sh), its tests under Wine and the installer.
            packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 nsis zip dpkg-dev
                qt6-base-dev-tools xvfb xauth xdotool) ;;
        *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
[[ "$(id -u)" -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
