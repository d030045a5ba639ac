#!/usr/bin/env bash
# Runs the same conversions with the native tarvel-cli and with the Windows
# build's tarvel-cli.exe under Wine, and checks that both write the same
# portfolios, byte for byte, and print the same bytes:
#     scripts/windows-smoke.sh NATIVE_CLI_DIR WINDOWS_BUILD_DIR
# e.g. scripts/windows-smoke.sh build-a/cli build-windows
#
# Four stages, each into a portfolio of each build's own:
#   examples  the three conversions of examples/README.md, list, check, export
#   batch     300 generated price files converted as one folder
#   update    rows appended to some of them (and one new file), the folder
#             converted again with --update
#   paths     acme-daily.csv converted from and into folders that Windows
#             names with letters beyond ASCII, spaces, \\?\, UNC or over
#             MAX_PATH characters, and a missing file named in the message
# After each stage every file of the two portfolios is compared with cmp, and
# so is what each command printed. Standard output is compared exactly: lines
# end in "\n" on both systems, so a Windows build that prints "\r\n" fails.
# The messages that hold a path (standard error, and check's outcome line) name
# each build's own folders, /tmp/... on one side and Z:\tmp\... on the other:
# those are compared after the work folder, the portfolio folder and the
# repository are replaced by <WORK>, <SIDE> and <REPO> and the separators in
# the rest of such a path by "/"; nothing else of them is changed.
#
# Each build keeps its settings in a file of its own ($TARVEL_SETTINGS), so
# neither reads or writes the user's settings or the registry. The binaries
# are copied first, so that a rebuild while this runs cannot mix two versions.
# Set SMOKE_KEEP=1 to keep the work folder for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -eq 2 ]] || { echo "usage: scripts/windows-smoke.sh NATIVE_CLI_DIR WINDOWS_BUILD_DIR" >&2; exit 2; }
repo=$PWD
native_dir=$(realpath "$1")
windows_dir=$(realpath "$2")
started=$EPOCHREALTIME
# seconds TOTAL SINCE: TOTAL plus the seconds from SINCE to now.
seconds() { awk -v total="$1" -v since="$2" -v now="$EPOCHREALTIME" 'BEGIN { print total + now - since }'; }

# A binary being rebuilt may be missing or half written for a moment: wait
# until it is there and has not changed for five seconds.
wait_for() {
    local file=$1 waited=0
    until [[ -f $file ]] && (($(date +%s) - $(stat -c %Y "$file") >= 5)); do
        ((waited < 300)) || { echo "windows-smoke.sh: $file is missing" >&2; exit 2; }
        sleep 5
        waited=$((waited + 5))
    done
}
wait_for "$native_dir/tarvel-cli"
wait_for "$windows_dir/cli/tarvel-cli.exe"

wine_started=$EPOCHREALTIME
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh "$windows_dir"
work=$(mktemp -d /tmp/windows-smoke.XXXXXX)
cleanup() {
    wine_env_cleanup
    if [[ ${SMOKE_KEEP:-} == 1 ]]; then echo "work folder kept: $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
wine_seconds=$(seconds 0 "$wine_started")

mkdir -p "$work/bin" "$work/in" "$work/native/out" "$work/windows/out"
cp "$native_dir/tarvel-cli" "$work/bin/tarvel-cli"
cp "$windows_dir/cli/tarvel-cli.exe" "$work/bin/tarvel-cli.exe"
native_cli=$work/bin/tarvel-cli
windows_cli=$work/bin/tarvel-cli.exe
native_seconds=0
windows_seconds=0

# run SIDE NAME ARG...: runs the tarvel-cli of SIDE (native or windows) with
# ARG..., keeping its standard output, standard error and exit status as
# $work/SIDE/out/NAME.{stdout,stderr,status}. In an argument, {side} stands
# for SIDE, and one starting with @ is an absolute path, which the Windows
# build is given as Z:\...
run() {
    local side=$1 name=$2 arg status=0 before
    shift 2
    local args=()
    for arg in "$@"; do
        arg=${arg//\{side\}/$side}
        if [[ $arg == @* ]]; then
            arg=${arg#@}
            [[ $side == native ]] || arg=$(winpath "$arg")
        fi
        args+=("$arg")
    done
    local out=$work/$side/out/$name
    before=$EPOCHREALTIME
    if [[ $side == native ]]; then
        TARVEL_SETTINGS=$work/native/Tarvel.ini \
            "$native_cli" "${args[@]}" >"$out.stdout" 2>"$out.stderr" || status=$?
        native_seconds=$(seconds "$native_seconds" "$before")
    else
        TARVEL_SETTINGS=$(winpath "$work/windows/Tarvel.ini") \
            "$wine" "$windows_cli" "${args[@]}" >"$out.stdout" 2>"$out.stderr" || status=$?
        windows_seconds=$(seconds "$windows_seconds" "$before")
    fi
    echo "$status" >"$out.status"
}
commands=()
both() {
    run native "$@"
    run windows "$@"
    commands+=("$1")
}

files_compared=0
bytes_compared=0
differences=0

# report A B WHAT: says how the files A and B differ, with the bytes around
# the first difference.
report() {
    local a=$1 b=$2 what=$3 offset start
    differences=$((differences + 1))
    echo "DIFFERENT: $what"
    cmp "$a" "$b" 2>&1 | sed 's/^/    /' || true
    offset=$(cmp "$a" "$b" 2>/dev/null | sed -n 's/.* differ: byte \([0-9]*\),.*/\1/p' || true)
    if [[ -z $offset ]]; then
        # One is the beginning of the other: the difference is where the shorter ends.
        offset=$(($(stat -c %s "$a") < $(stat -c %s "$b") ? $(stat -c %s "$a") : $(stat -c %s "$b")))
        offset=$((offset + 1))
    fi
    start=$(((offset - 1) / 16 * 16 - 16))
    ((start >= 0)) || start=0
    echo "    native, from offset $start:"
    xxd -s "$start" -l 64 "$a" | sed 's/^/      /'
    echo "    windows, from offset $start:"
    xxd -s "$start" -l 64 "$b" | sed 's/^/      /'
}

# same A B WHAT [SIZE]: compares the files A and B byte for byte; SIZE is
# A's size when the caller knows it already.
same() {
    files_compared=$((files_compared + 1))
    bytes_compared=$((bytes_compared + ${4:-$(stat -c %s "$1")}))
    cmp -s "$1" "$2" || report "$1" "$2" "$3"
}

# normalized SIDE FILE: FILE with the paths of SIDE made comparable (see the
# top of this script).
normalized() {
    local side=$1 file=$2 root=$work/$1 top=$work base=$repo
    if [[ $side == windows ]]; then root=$(winpath "$root") top=$(winpath "$top") base=$(winpath "$base"); fi
    ROOT=$root TOP=$top BASE=$base perl -pe '
        s{\Q$ENV{ROOT}\E}{<SIDE>}g; s{\Q$ENV{TOP}\E}{<WORK>}g; s{\Q$ENV{BASE}\E}{<REPO>}g;
        s{<(SIDE|WORK|REPO)>([^\s"'"'"':,;]*)}{"<$1>" . ($2 =~ tr!\\!/!r)}ge' "$file"
}

# check_outputs: compares what both builds printed for the commands run since
# the last call; every command is expected to succeed.
check_outputs() {
    local name ours theirs
    for name in "${commands[@]}"; do
        ours=$work/native/out/$name theirs=$work/windows/out/$name
        if [[ $(cat "$ours.status") != 0 || $(cat "$theirs.status") != 0 ]]; then
            differences=$((differences + 1))
            echo "FAILED: $name: exit status $(cat "$ours.status") native, $(cat "$theirs.status") windows"
            sed 's/^/    native: /' "$ours.stderr" | head -5
            sed 's/^/    windows: /' "$theirs.stderr" | head -5
        fi
        if [[ $name == *-check ]]; then
            # check's outcome line begins with the portfolio's path.
            normalized native "$ours.stdout" >"$ours.stdout.n"
            normalized windows "$theirs.stdout" >"$theirs.stdout.n"
            same "$ours.stdout.n" "$theirs.stdout.n" "$name: standard output (paths normalized)"
        else
            same "$ours.stdout" "$theirs.stdout" "$name: standard output"
        fi
        normalized native "$ours.stderr" >"$ours.stderr.n"
        normalized windows "$theirs.stderr" >"$theirs.stderr.n"
        same "$ours.stderr.n" "$theirs.stderr.n" "$name: standard error (paths normalized)"
    done
    commands=()
}

# check_portfolio NAME [FOLDER]: compares the portfolio NAME of both builds,
# the list of its files and every file; FOLDER is the Windows build's when it
# is not $work/windows/NAME.
check_portfolio() {
    local a=$work/native/$1 b=${2:-$work/windows/$1} size file
    if ! diff <(cd "$a" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort) \
        <(cd "$b" && find . -mindepth 1 -printf '%y %P\n' | LC_ALL=C sort) >"$work/files.diff"; then
        differences=$((differences + 1))
        echo "DIFFERENT: the files of the portfolio $1 (< native, > windows):"
        sed 's/^/    /' "$work/files.diff"
    fi
    while read -r size file; do
        if [[ -f $b/$file ]]; then same "$a/$file" "$b/$file" "$1/$file" "$size"; fi
    done < <(cd "$a" && find . -type f -printf '%s %P\n' | LC_ALL=C sort -k 2)
}

# stage_line NAME DIFFERENCES FILES: the line on the stage NAME, which began
# when $differences and $files_compared were DIFFERENCES and FILES.
stage_line() {
    printf '%-9s %4d files compared, %s\n' "$1" $((files_compared - $3)) \
        "$( ((differences == $2)) && echo same || echo "$((differences - $2)) DIFFERENT")"
}

# stage NAME PORTFOLIO: the comparisons after the stage NAME, and a line on them.
stage() {
    local before=$differences files=$files_compared
    check_outputs
    check_portfolio "$2"
    stage_line "$1" "$before" "$files"
}

# list_and_export STAGE PORTFOLIO SYMBOL...: reads the portfolio back with
# both builds: list, list --json, check, and export of each SYMBOL.
list_and_export() {
    local stage=$1 portfolio=$2 symbol
    shift 2
    both "$stage-list" list "@$work/{side}/$portfolio"
    both "$stage-list-json" list --json "@$work/{side}/$portfolio"
    both "$stage-check" check "@$work/{side}/$portfolio"
    for symbol in "$@"; do both "$stage-export-$symbol" export "@$work/{side}/$portfolio" "$symbol"; done
}

# The conversions of examples/README.md, into an empty folder as there, its
# list, and its export into the portfolio (so that the CSV file export writes
# is compared too).
examples=$repo/examples
mkdir "$work/native/examples" "$work/windows/examples"
both examples-acme convert "@$examples/acme-daily.csv" --out "@$work/{side}/examples" --new-master \
    --symbol ACME --name "Acme Corp" --delimiter comma --date-format CCYYMMDD --skip 1 --no-oi
both examples-wheat convert "@$examples/wheat-futures.txt" --out "@$work/{side}/examples" --existing-master \
    --symbol WZ --name "Wheat" --delimiter tab --date-format YYMMDD --no-skip --open-col 2 --high-col 3 \
    --low-col 4 --close-col 5 --volume-col 6 --oi-col 7
both examples-bond convert "@$examples/bond-index.csv" --out "@$work/{side}/examples" --existing-master \
    --symbol BIX --name "Bond Index" --delimiter comma --date-format MM_DD_CCYY --skip 1 --no-open \
    --high-col 2 --low-col 3 --close-col 4 --no-volume --no-oi
list_and_export examples examples ACME WZ BIX
both examples-export-file export "@$work/{side}/examples" ACME --output "@$work/{side}/examples/acme.csv"
stage examples examples

# generate FIRST LAST EXTRA: writes the price files S<FIRST>..S<LAST>.csv in
# $work/in. Each file's rows come from a sequence seeded by its number, so
# every run writes the same files. Files differ in their row count (20..80),
# the places of their prices (none to four), their date format (YYYY-MM-DD or
# YYYYMMDD), their line ends (every seventh has "\r\n") and an open interest
# column (every sixth); some volumes are 0, some above 10^8. With EXTRA > 0 the
# file gets its next EXTRA rows appended instead.
generate() {
    awk -v dir="$work/in" -v first="$1" -v last="$2" -v extra="$3" '
    function rnd(n) { seed = (seed * 16807) % 2147483647; return seed % n }
    # civil(day): Y, M, D of the day counted from 1970-01-01.
    function civil(day,   z, era, doe, yoe, doy, mp) {
        z = day + 719468; era = int(z / 146097); doe = z - era * 146097
        yoe = int((doe - int(doe / 1460) + int(doe / 36524) - int(doe / 146096)) / 365)
        doy = doe - (365 * yoe + int(yoe / 4) - int(yoe / 100)); mp = int((5 * doy + 2) / 153)
        D = doy - int((153 * mp + 2) / 5) + 1; M = mp < 10 ? mp + 3 : mp - 9; Y = yoe + era * 400 + (M <= 2)
    }
    # price(units): units of the last place, written with places decimals.
    function price(units,   p, i) {
        if (places == 0) return sprintf("%d", units)
        for (p = 1; i < places; i++) p *= 10
        return sprintf("%d.%0" places "d", int(units / p), units % p)
    }
    BEGIN {
        for (n = first; n <= last; n++) {
            seed = n * 7919 + 1; kind = n % 6
            rows = 20 + rnd(61)
            places = kind == 1 ? 0 : kind == 2 ? 4 : kind == 3 ? 3 : kind == 5 ? 1 : 2
            for (scale = 1; scale < 10 ^ places; ) scale *= 10
            close_ = kind == 2 ? 50 + rnd(900) : kind == 3 ? (1000 + rnd(90000)) * scale : (5 + rnd(500)) * scale
            eol = n % 7 == 0 ? "\r\n" : "\n"
            oi = kind == 4
            file = sprintf("%s/S%03d.csv", dir, n)
            if (extra == 0) printf "Date,Open,High,Low,Close,Volume%s%s", oi ? ",OpenInt" : "", eol >file
            day = 19000 + rnd(600)
            for (r = 1; r <= rows + extra; r++) {
                do day++; while ((day + 4) % 7 == 0 || (day + 4) % 7 == 6)   # no Sundays, no Saturdays
                open_ = close_; step = int(close_ / 40) + 1
                close_ = open_ + rnd(2 * step + 1) - step; if (close_ < 1) close_ = 1
                high = (open_ > close_ ? open_ : close_) + rnd(step + 1)
                low = (open_ < close_ ? open_ : close_) - rnd(step + 1); if (low < 1) low = 1
                volume = rnd(9) == 0 ? 0 : rnd(5) == 0 ? 100000000 + rnd(1900000000) : 100 * rnd(500000)
                interest = 1000 + rnd(50000)
                if (r <= rows && extra > 0) continue
                civil(day)
                line = sprintf(n % 5 == 0 ? "%04d%02d%02d" : "%04d-%02d-%02d", Y, M, D)
                line = line "," price(open_) "," price(high) "," price(low) "," price(close_) "," volume
                printf "%s%s%s", line, oi ? "," interest : "", eol >>file
            }
            close(file)
        }
    }'
}

generate 1 300 0
both batch convert "@$work/in" --out "@$work/{side}/batch"
list_and_export batch batch S001 S002 S003 S004 S005 S006 S007 S010 S100 S200 S255 S256 S300
stage batch batch

# One to five more rows for every tenth file, and a file the portfolio does
# not hold yet.
for n in $(seq 10 10 300); do generate "$n" "$n" $((n / 10 % 5 + 1)); done
generate 301 301 0
both update convert "@$work/in" --out "@$work/{side}/batch" --update
list_and_export update batch S001 S010 S100 S200 S256 S300 S301
stage update batch

# Paths as Windows users write them, each given to the Windows build as the
# input file and as the portfolio folder: letters beyond ASCII, spaces (two in
# a row, which only quoting keeps whole), the \\?\ form, UNC paths and paths
# longer than MAX_PATH (260). Each case converts acme-daily.csv from such a
# path into such a folder, and the native build converts it from examples/
# into a plain folder; the portfolios and list --json must be the same bytes.
# Then each build converts a file that is not there, beside the one it read:
# both must fail alike, and the message must name the file exactly as it was
# given, letters and all.
#
# Wine serves \\SERVER\SHARE from $WINEPREFIX/dosdevices/unc/SERVER/SHARE (it
# has no administrative shares such as \\localhost\Z$), so the work folder is
# shared there as \\localhost\smoke. Wine limits no path to MAX_PATH: a long
# path that converts here shows that the program carries it whole, not that
# Windows would open it without the \\?\ form.
mkdir -p "$WINEPREFIX/dosdevices/unc/localhost"
ln -s "$work" "$WINEPREFIX/dosdevices/unc/localhost/smoke"

# named FORM PATH: the absolute PATH, under $work, as the Windows build is
# given it: drive (Z:\...), device (\\?\Z:\...), unc (\\localhost\smoke\...)
# or device-unc (\\?\UNC\localhost\smoke\...).
named() {
    local rest=${2#"$work"}
    rest=${rest//\//\\}
    # shellcheck disable=SC1003 # '\\?\' is the prefix itself, not an escape
    case $1 in
        drive) winpath "$2" ;;
        device) printf '%s%s' '\\?\' "$(winpath "$2")" ;;
        unc) printf '%s%s' '\\localhost\smoke' "$rest" ;;
        device-unc) printf '%s%s' '\\?\UNC\localhost\smoke' "$rest" ;;
    esac
}

# failed_alike NAME NATIVE_PATH WINDOWS_PATH: the conversion NAME of a missing
# file failed on both sides with the same status and output, and each build's
# message names the file as that build was given it.
failed_alike() {
    local name=$1 ours=$work/native/out/$1 theirs=$work/windows/out/$1 side path
    if [[ $(cat "$ours.status") == 0 || $(cat "$ours.status") != $(cat "$theirs.status") ]]; then
        differences=$((differences + 1))
        echo "FAILED: $name: exit status $(cat "$ours.status") native, $(cat "$theirs.status") windows;" \
            "both should fail alike"
    fi
    same "$ours.stdout" "$theirs.stdout" "$name: standard output"
    for side in native windows; do
        path=$2
        [[ $side == native ]] || path=$3
        if ! grep -qF "Cannot open the input file $path: " "$work/$side/out/$name.stderr"; then
            differences=$((differences + 1))
            echo "WRONG MESSAGE: $name: the $side build does not name the missing file $path as given:"
            sed "s/^/    $side: /" "$work/$side/out/$name.stderr" | head -3
        fi
    done
}

acme=(--new-master --symbol ACME --name "Acme Corp" --delimiter comma --date-format CCYYMMDD --skip 1 --no-oi)
paths_portfolios=()
# paths_case NAME FORM INPUT PORTFOLIO: the Windows build converts
# $work/paths/INPUT into $work/windows/PORTFOLIO, both named in FORM (see
# named); the native build converts acme-daily.csv into $work/native/paths-NAME.
# convert takes a portfolio folder of at most 200 characters, as the settings
# dialog does: a longer one is converted into $work/windows/paths-NAME and
# moved there, and read there.
paths_case() {
    local name=paths-$1 form=$2 input=$work/paths/$3 portfolio=$work/windows/$4
    local plain=$work/native/paths-$1 missing windows_portfolio windows_out
    missing="$(dirname "$input")/fehlt ÄÖÜ 株価.csv"
    windows_portfolio=$(named "$form" "$portfolio")
    windows_out=$windows_portfolio
    ((${#windows_out} <= 200)) || windows_out=$(named "$form" "$work/windows/$name")
    mkdir -p "$(dirname "$input")" "$portfolio" "$plain"
    cp "$examples/acme-daily.csv" "$input"
    run native "$name" convert "$examples/acme-daily.csv" --out "$plain" "${acme[@]}"
    if [[ $windows_out == "$windows_portfolio" ]]; then
        run windows "$name" convert "$(named "$form" "$input")" --out "$windows_out" "${acme[@]}"
    else
        mkdir "$work/windows/$name"
        run windows "$name" convert "$(named "$form" "$input")" --out "$windows_out" "${acme[@]}"
        rmdir "$portfolio"
        mv "$work/windows/$name" "$portfolio"
    fi
    run native "$name-list-json" list --json "$plain"
    run windows "$name-list-json" list --json "$windows_portfolio"
    commands+=("$name" "$name-list-json")
    run native "$name-missing" convert "$examples/fehlt ÄÖÜ 株価.csv" --out "$plain" "${acme[@]}"
    run windows "$name-missing" convert "$(named "$form" "$missing")" --out "$windows_out" "${acme[@]}"
    failed_alike "$name-missing" "$examples/fehlt ÄÖÜ 株価.csv" "$(named "$form" "$missing")"
    paths_portfolios+=("paths-$1" "$portfolio")
}

paths_before=$differences paths_files=$files_compared
# Folders nested until the long case's input and portfolio, as the Windows
# build names them, are about 300 characters long.
deep=Tiefe
while ((${#work} + 20 + ${#deep} < 300)); do deep+="/Ordner mit einem langen Namen"; done
paths_case umlaut drive "börse Frankfurt/über.csv" "Kurse ÄÖÜ"
paths_case cjk drive "株価  データ/日足  ACME.csv" "株価  ポートフォリオ"
paths_case long drive "$deep/acme daily.csv" "$deep/Kurse ÄÖÜ"
paths_case device device "device form/acme daily.csv" "device form portfolio"
paths_case unc unc "UNC Freigabe/über.csv" "UNC Kurse ÄÖÜ"
paths_case device-unc device-unc "UNC device form/acme.csv" "UNC device form portfolio"
check_outputs
for ((i = 0; i < ${#paths_portfolios[@]}; i += 2)); do
    check_portfolio "${paths_portfolios[i]}" "${paths_portfolios[i + 1]}"
done
stage_line paths "$paths_before" "$paths_files"

elapsed=$(seconds 0 "$started")
printf '%d files compared (%d bytes); %.0f s in all: Wine start %.1f s, native build %.1f s, Windows build %.1f s\n' \
    "$files_compared" "$bytes_compared" "$elapsed" "$wine_seconds" "$native_seconds" "$windows_seconds"
if ((differences > 0)); then
    echo "windows-smoke.sh: the builds differ in $differences place(s); see above" >&2
    exit 1
fi
echo "windows-smoke.sh: both builds wrote the same portfolios and printed the same bytes"
