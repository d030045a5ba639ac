#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the tests. The long
# stress runs (label "stress": kill sweeps, concurrent processes, hundreds of
# securities) run only when CI is "true", as CI sets it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# TARVEL_WERROR=ON (CI sets it) makes every warning an error.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_BUILD_BENCH=ON \
    -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build build
skip=(-LE stress)
if [[ "${CI:-}" == "true" ]]; then skip=(); fi
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$(nproc)" "${skip[@]}"
