#!/usr/bin/env bash
# Runs the Windows build's test suites (build-windows/, made by
# scripts/build-windows.sh) under Wine, in a Wine prefix of its own that is
# removed afterwards. Extra arguments go to ctest (e.g. -R core).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh build-windows

# Tests whose subject only a real Windows shows skip there; the widget suite
# draws on the offscreen platform (wine-env.sh passes it on).
# One more job than cores: Wine's programs spend part of their time waiting
# on its server.
QT_QPA_PLATFORM=offscreen ctest --test-dir build-windows --output-on-failure -j "$(($(nproc) + 1))" "$@"
