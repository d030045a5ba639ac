#!/usr/bin/env bash
# What must hold before Tarvel ships: Release builds with GCC and with Clang,
# warnings as errors, and their tests; then the Debian package, checked by
# lintian and appstreamcli, installed with apt-get, its tarvel-cli run on the
# examples, and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --ci
jobs=$(nproc)

for compiler in gcc:g++ clang:clang++; do
    build=build-release-${compiler%%:*}
    echo "== Release with ${compiler#*:}, warnings as errors"
    CXX=${compiler#*:} cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEL_WERROR=ON \
        -DTARVEL_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" -j "$jobs"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$jobs" | tail -n 3
done

echo "== Debian package"
./scripts/package.sh -DTARVEL_WERROR=ON
deb=$(ls "$PWD"/build-package/tarvel_*_amd64.deb)

echo "== install, use, remove"
export DEBIAN_FRONTEND=noninteractive
if dpkg-query -W -f='${Status}' tarvel 2>/dev/null | grep -q "install ok installed"; then
    echo "tarvel is installed already; not touching it" >&2
    exit 1
fi
apt-get install -y -qq "$deb" >/dev/null
trap 'apt-get remove -y -qq tarvel >/dev/null || true' EXIT
[[ $(command -v tarvel-cli) == /usr/bin/tarvel-cli ]]
tarvel --version
tarvel-cli --version
./scripts/run-examples.sh /usr/bin
for f in /usr/share/man/man1/tarvel.1.gz /usr/share/man/man1/tarvel-cli.1.gz \
    /usr/share/bash-completion/completions/tarvel-cli /usr/share/applications/tarvel.desktop \
    /usr/share/icons/hicolor/256x256/apps/tarvel.png /usr/share/tarvel/help/index.html; do
    [[ -s $f ]] || { echo "the package did not install $f" >&2; exit 1; }
done
apt-get remove -y -qq tarvel >/dev/null
trap - EXIT
[[ ! -e /usr/bin/tarvel-cli && ! -e /usr/bin/tarvel ]] || { echo "tarvel is still installed" >&2; exit 1; }
echo "== the package installed, converted the examples and was removed"
