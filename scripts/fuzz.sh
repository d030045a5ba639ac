#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 30)
# from its seed corpus. Fails on any crash, leak or sanitizer report. Writes
# the executions of each run to build-fuzz/fuzz-summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL_BUILD_FUZZ=ON -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_date_text fuzz_row fuzz_convert fuzz_detect fuzz_find_security fuzz_import_ini fuzz_cli_readers fuzz_portfolio fuzz_honest_detection
summary=build-fuzz/fuzz-summary.txt
: > "$summary"
for target in fuzz_date_text fuzz_row fuzz_convert fuzz_detect fuzz_find_security fuzz_import_ini fuzz_cli_readers fuzz_portfolio fuzz_honest_detection; do
    corpus=$(mktemp -d)
    cp fuzz/corpus/"$target"/* "$corpus"/
    log=build-fuzz/$target.log
    echo "== $target ($seconds s)"
    if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
            -print_final_stats=1 -artifact_prefix=build-fuzz/"$target"- "$corpus" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$target failed; the input is in build-fuzz/$target-*" >&2
        exit 1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    echo "$target $runs executions in $seconds s" | tee -a "$summary"
    rm -rf "$corpus"
done
