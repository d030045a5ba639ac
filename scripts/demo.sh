#!/usr/bin/env bash
# Installs what is missing, builds tarvel and tarvel-cli, converts an example
# file into a fresh portfolio and lists the portfolio.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarvel-cli tarvel
portfolio=$(mktemp -d /tmp/tarvel-portfolio.XXXXXX)
export TARVEL_SETTINGS="$portfolio.settings.ini"
build/cli/tarvel-cli convert examples/acme-daily.csv --out "$portfolio" --new-master --symbol ACME \
    --name "Acme Corp" --delimiter comma --date-format CCYYMMDD --skip 1 --no-oi
build/cli/tarvel-cli list "$portfolio"
echo "Portfolio written to $portfolio"
