#!/usr/bin/env bash
# Checks the Windows installer that scripts/package-windows.sh made, under
# Wine, in a Wine prefix of its own that is removed afterwards:
#
#   scripts/test-windows-installer.sh build-windows/tarvel-<version>-win64-setup.exe
#
# It installs silently (/S) three times: with /PATH while the PATH is too long
# to edit, without /PATH, and with /PATH; runs the installed programs with no
# WINEPATH (the DLLs beside them must be all they need); makes a portfolio and
# a setting; uninstalls silently; and checks that everything installed is gone
# while the portfolio, the setting and the PATH as it was are left. Each check
# is printed; any failure makes the exit status non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

[[ $# -eq 1 && -f $1 ]] || { echo "usage: $0 SETUP.EXE" >&2; exit 2; }
setup=$(realpath "$1")
version=$(basename "$setup" | sed -n 's/^tarvel-\(.*\)-win64-setup\.exe$/\1/p')
[[ -n $version ]] || { echo "test-windows-installer.sh: $1 is not named tarvel-<version>-win64-setup.exe" >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "test-windows-installer.sh: xvfb-run is missing; run scripts/install-deps.sh --windows" >&2; exit 2; }

wine=/usr/lib/wine/wine64
WINEPREFIX=$(mktemp -d)
# No menu entries or file types leak out of the prefix into the desktop's own.
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES=winemenubuilder.exe=d
unset WINEPATH
work=$(mktemp -d)
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$work"' EXIT

failures=0
pass() { echo "  ok    $*"; }
failed() {
    echo "  FAIL  $*"
    failures=$((failures + 1))
}
check() {  # check WHAT COMMAND...: passes when COMMAND succeeds
    local what=$1
    shift
    if "$@"; then pass "$what"; else failed "$what"; fi
}
step() {
    echo "== $* ($SECONDS s)"
}

reg() { "$wine" reg "$@" 2>/dev/null | tr -d '\r'; }
# The line reg query prints for a value: its name, type and data.
reg_line() {
    if [[ $2 == '(Default)' ]]; then reg query "$1" /ve; else reg query "$1" /v "$2"; fi |
        awk -v name="$2" 'tolower($1) == tolower(name)'
}
# The data of a value, or nothing when there is none.
reg_value() { reg_line "$1" "$2" | sed -E 's/^ *[^ ]+ +[^ ]+ {4}//'; }
has_value() { [[ -n $(reg_line "$1" "$2") ]]; }
has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
equals() { [[ $1 == "$2" ]]; }

install_dir="$WINEPREFIX/drive_c/Program Files/Tarvel"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvel.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvel'
classes='HKLM\Software\Classes'
settings_key='HKCU\Software\Hollark Software\Tarvel'
cli='C:\Program Files\Tarvel\tarvel-cli.exe'
gui='C:\Program Files\Tarvel\tarvel.exe'
types=(.csv .txt .tsv)

run_setup() {  # run_setup ARGUMENTS...: the setup program, waited for
    local status=0
    "$wine" "$setup" "$@" >/dev/null 2>&1 || status=$?
    /usr/lib/wine/wineserver -w
    return $status
}

step "new Wine prefix $WINEPREFIX"
"$wine" wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
# The file types as they were, to compare with after uninstalling.
for type in "${types[@]}"; do reg query "$classes\\$type" /s >"$work/before$type" || true; done
path_original='C:\Existing;%USERPROFILE%\bin'
long_path="C:\\Long$(printf ';C:\\Tools\\%04d' $(seq 1 90))"

step "install /S /PATH while the PATH is ${#long_path} characters long"
reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long_path" /f >/dev/null
check "setup.exe /S /PATH exits 0" run_setup /S /PATH
check "PATH left as it was" equals "$(reg_value 'HKCU\Environment' Path)" "$long_path"
check "no PATH entry recorded for the uninstaller" equals "$(reg_value "$uninstall_key" PathEntry)" ""

step "install /S over it"
reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$path_original" /f >/dev/null
path_line_original=$(reg_line 'HKCU\Environment' Path)
check "setup.exe /S exits 0" run_setup /S
check "PATH unchanged without /PATH" equals "$(reg_line 'HKCU\Environment' Path)" "$path_line_original"
for file in tarvel.exe tarvel-cli.exe uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
    help/index.html README.md LICENSE.txt; do
    check "installed $file" test -f "$install_dir/$file"
done
check "Start-menu shortcut Tarvel.lnk" test -f "$shortcut"
check "uninstall entry DisplayName" equals "$(reg_value "$uninstall_key" DisplayName)" "Tarvel"
check "uninstall entry DisplayVersion $version" equals "$(reg_value "$uninstall_key" DisplayVersion)" "$version"
check "uninstall entry Publisher" equals "$(reg_value "$uninstall_key" Publisher)" "Hollark Software"
check "uninstall entry InstallLocation" equals "$(reg_value "$uninstall_key" InstallLocation)" 'C:\Program Files\Tarvel'
check "uninstall entry UninstallString" \
    equals "$(reg_value "$uninstall_key" UninstallString)" '"C:\Program Files\Tarvel\uninstall.exe"'
check "uninstall entry QuietUninstallString" \
    equals "$(reg_value "$uninstall_key" QuietUninstallString)" '"C:\Program Files\Tarvel\uninstall.exe" /S'
check "Applications\\tarvel.exe open command" equals \
    "$(reg_value "$classes\\Applications\\tarvel.exe\\shell\\open\\command" '(Default)')" \
    '"C:\Program Files\Tarvel\tarvel.exe" "%1"'
check "ProgID Tarvel.PriceText open command" equals \
    "$(reg_value "$classes\\Tarvel.PriceText\\shell\\open\\command" '(Default)')" \
    '"C:\Program Files\Tarvel\tarvel.exe" "%1"'
for type in "${types[@]}"; do
    check "SupportedTypes $type" has_value "$classes\\Applications\\tarvel.exe\\SupportedTypes" "$type"
    check "$type OpenWithProgids Tarvel.PriceText" has_value "$classes\\$type\\OpenWithProgids" Tarvel.PriceText
    check "$type OpenWithList\\tarvel.exe" has_key "$classes\\$type\\OpenWithList\\tarvel.exe"
done
check ".txt keeps its default handler (txtfile)" equals "$(reg_value "$classes\\.txt" '(Default)')" txtfile

step "install /S /PATH over it"
check "setup.exe /S /PATH exits 0" run_setup /S /PATH
check "PATH gains the install folder, REG_EXPAND_SZ" equals "$(reg_line 'HKCU\Environment' Path)" \
    "$path_line_original;C:\\Program Files\\Tarvel"
check "PATH entry recorded for the uninstaller" \
    equals "$(reg_value "$uninstall_key" PathEntry)" 'C:\Program Files\Tarvel'
path_line_installed=$(reg_line 'HKCU\Environment' Path)
check "setup.exe /S /PATH again exits 0" run_setup /S /PATH
check "PATH not given the folder twice" equals "$(reg_line 'HKCU\Environment' Path)" "$path_line_installed"

step "run the installed programs, no WINEPATH"
cd "$work"
out=$("$wine" "$cli" --version 2>&1 | tr -d '\r') || true
check "tarvel-cli --version prints 'tarvel-cli $version'" equals "$out" "tarvel-cli $version"
out=$("$wine" "$cli" --help 2>&1 | tr -d '\r') && status=0 || status=$?
check "tarvel-cli --help exits 0" equals "$status" 0
check "tarvel-cli --help lists the convert command" grep -q '^  convert ' <<<"$out"
"$wine" "$gui" --version >/dev/null 2>&1 && status=0 || status=$?
check "tarvel --version exits 0 (Qt6Gui and Qt6Widgets load)" equals "$status" 0
# The desktop program under a virtual display: Wine's loader names each DLL
# it loads, so the plugins Qt finds beside the program show in its log.
WINEDEBUG=-all,+loaddll xvfb-run -a -s '-screen 0 1024x768x24' "$wine" "$gui" >/dev/null 2>"$work/gui.log" &
gui_job=$!
for _ in $(seq 1 60); do
    grep -qE 'Tarvel\\\\styles\\\\[^"]+[.]dll' "$work/gui.log" && break
    sleep 1
done
check "tarvel's window loads platforms\\qwindows.dll from the install folder" \
    grep -q 'Program Files\\\\Tarvel\\\\platforms\\\\qwindows.dll' "$work/gui.log"
check "tarvel's window loads its style from styles\\ in the install folder" \
    grep -qE 'Program Files\\\\Tarvel\\\\styles\\\\[^"]+[.]dll' "$work/gui.log"
/usr/lib/wine/wineserver -k 2>/dev/null || true
wait "$gui_job" 2>/dev/null || true

mkdir -p "$WINEPREFIX/drive_c/Prices" "$WINEPREFIX/drive_c/Portfolio"
cp "$root/examples/acme-daily.csv" "$WINEPREFIX/drive_c/Prices/"
"$wine" "$cli" convert --out 'C:\Portfolio' 'C:\Prices\acme-daily.csv' >/dev/null 2>&1 && status=0 || status=$?
check "tarvel-cli convert makes a portfolio in C:\\Portfolio" equals "$status" 0
portfolio_sums=$(cd "$WINEPREFIX/drive_c/Portfolio" && sha256sum -- * 2>/dev/null) || true
check "the portfolio holds MASTER" test -f "$WINEPREFIX/drive_c/Portfolio/MASTER"
reg add "$settings_key" /v InstallerTest /t REG_SZ /d keep-me /f >/dev/null
settings_before=$(reg query "$settings_key" /s) || true
check "a setting written to HKCU\\Software\\Hollark Software\\Tarvel" \
    equals "$(reg_value "$settings_key" InstallerTest)" keep-me

step "uninstall /S"
# The uninstaller copies itself out of the folder and returns; the copy is
# waited for with the rest of the prefix's processes.
"$wine" 'C:\Program Files\Tarvel\uninstall.exe' /S >/dev/null 2>&1 && status=0 || status=$?
/usr/lib/wine/wineserver -w
check "uninstall.exe /S exits 0" equals "$status" 0
check "install folder removed" test ! -e "$install_dir"
check "Start-menu shortcut removed" test ! -e "$shortcut"
check "uninstall entry removed" no_key "$uninstall_key"
check "Applications\\tarvel.exe removed" no_key "$classes\\Applications\\tarvel.exe"
check "ProgID Tarvel.PriceText removed" no_key "$classes\\Tarvel.PriceText"
for type in "${types[@]}"; do
    check "$type as it was before installing" equals "$(reg query "$classes\\$type" /s)" "$(cat "$work/before$type")"
done
check "PATH as it was before installing, REG_EXPAND_SZ" \
    equals "$(reg_line 'HKCU\Environment' Path)" "$path_line_original"
check "settings key and value kept" equals "$(reg query "$settings_key" /s)" "$settings_before"
check "portfolio kept, unchanged" \
    equals "$(cd "$WINEPREFIX/drive_c/Portfolio" && sha256sum -- * 2>/dev/null)" "$portfolio_sums"

step "done"
if [[ $failures -gt 0 ]]; then
    echo "test-windows-installer.sh: $failures check(s) failed"
    exit 1
fi
echo "test-windows-installer.sh: all checks passed"
