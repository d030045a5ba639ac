#!/usr/bin/env bash
# The builds CI runs beside the README's test command.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== layers"
python3 scripts/check-layers.py

echo "== format"
./scripts/check-format.sh

echo "== lint"
./scripts/lint.sh build

echo "== core without Qt"
cmake -S . -B build-core -G Ninja -DTARVEL_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Debug -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build build-core
ctest --test-dir build-core --output-on-failure -j "$jobs"

echo "== sanitizers"
cmake -S . -B build-asan -G Ninja -DTARVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== release builds and the Debian package"
./scripts/ci-ship.sh

if [[ -d fuzz && -f fuzz/CMakeLists.txt ]]; then
    echo "== fuzzing"
    ./scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
fi

echo "== Windows: cross build, tests under Wine"
./scripts/build-windows.sh
# Every suite under Wine, the widget suite on the offscreen platform.
./scripts/test-windows.sh
echo "== Windows: both builds write the same portfolios and print the same bytes"
./scripts/windows-smoke.sh build-release-gcc/cli build-windows
echo "== Windows: tarvel.exe FILE and Enter write the Linux build's portfolio"
./scripts/windows-gui-road.sh build-release-gcc/cli build-windows
echo "== Windows: the installer installs and uninstalls under Wine"
./scripts/test-windows-installer.sh build-windows/tarvel-*-win64-setup.exe
