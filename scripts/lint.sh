#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over every source of the libraries and
# programs, with the compile commands of BUILD-DIR (default: build); fails on
# any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[[ -f $build/compile_commands.json ]] || { echo "lint.sh: no $build/compile_commands.json; build first" >&2; exit 2; }
# Only the sources this build compiles: the other system's platform layer
# (platform/win32_platform.cpp here) has no compile command.
mapfile -t files < <(git ls-files 'platform/*.cpp' 'pricedb/*.cpp' 'convert/*.cpp' 'settings/*.cpp' 'shell/*.cpp' 'cli/*.cpp' |
    while read -r f; do grep -q "\"file\": \"[^\"]*/$f\"" "$build/compile_commands.json" && echo "$f"; done)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>/dev/null || true
if grep -q 'warning:\|error:' "$log"; then
    grep -A3 'warning:\|error:' "$log" >&2
    echo "lint.sh: clang-tidy found the problems above" >&2
    exit 1
fi
echo "clang-tidy: ${#files[@]} files clean"
