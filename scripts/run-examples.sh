#!/usr/bin/env bash
# Runs the commands of examples/README.md exactly as written, from the top of
# the repository, and checks what they did: three conversions, a listing of
# the three securities and an exported CSV. The first argument is the
# directory whose tarvel-cli to use (the build's cli/ folder, or /usr/bin for
# the installed package). The settings go to a temporary file.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -eq 1 && -x "$1/tarvel-cli" ]] || { echo "usage: run-examples.sh DIR-WITH-tarvel-cli" >&2; exit 2; }
export PATH="$1:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TARVEL_SETTINGS="$work/Tarvel.ini"

# The sh blocks of the README, in order.
awk '/^```sh$/ {inside = 1; next} /^```$/ {inside = 0} inside' examples/README.md >"$work/commands.sh"
[[ -s "$work/commands.sh" ]] || { echo "examples/README.md has no sh block" >&2; exit 1; }
printf 'echo "portfolio=$pf"\n' >>"$work/commands.sh"
bash -euo pipefail "$work/commands.sh" >"$work/out" 2>"$work/err" || {
    echo "== a command of examples/README.md failed" >&2; cat "$work/out" "$work/err" >&2; exit 1; }

fail() { echo "run-examples.sh: $1" >&2; cat "$work/out" "$work/err" >&2; exit 1; }
pf=$(sed -n 's/^portfolio=//p' "$work/out")
[[ -d "$pf" ]] || fail "no portfolio directory"
trap 'rm -rf "$work" "$pf"' EXIT
[[ ! -s "$work/err" ]] || fail "messages on standard error"
[[ $(grep -c '^Conversion completed successfully!$' "$work/out") -eq 3 ]] || fail "not three conversions"
for symbol in ACME WZ BIX; do
    grep -qE "^ +[0-9]+  $symbol " "$work/out" || fail "list does not show $symbol"
done
# Every price row of acme-daily.csv (after its header) comes back.
[[ $(wc -l <"$pf/acme.csv") -eq $(wc -l <examples/acme-daily.csv) ]] || fail "acme.csv has the wrong number of lines"
echo "examples/README.md: $(grep -c '^tarvel-cli' "$work/commands.sh") commands ran"
