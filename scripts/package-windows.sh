#!/usr/bin/env bash
# Packages the Windows build that scripts/build-windows.sh made in
# build-windows/: stages the programs with everything they load into
# build-windows/package/tarvel-<version>-win64/, then makes
#   build-windows/tarvel-<version>-win64.zip        the folder, unzip and run
#   build-windows/tarvel-<version>-win64-setup.exe  the installer (res/windows/tarvel.nsi)
#
# The DLLs staged are the ones the programs and Qt's plugins import, read from
# their import tables and followed through the DLLs found: Qt's from the Qt
# prefix in build-windows/qt-prefix, the MinGW runtime from the files listed in
# build-windows/runtime-dlls. A DLL that is in neither and that Windows does
# not provide stops the packaging.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows

fail() {
    echo "package-windows.sh: $*" >&2
    exit 1
}

for tool in x86_64-w64-mingw32-objdump x86_64-w64-mingw32-strip makensis zip; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh --windows"
done

version=$(sed -n 's/^project(Tarvel VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no x.y.z version in CMakeLists.txt's project()"

cli=$build/cli/tarvel-cli.exe
gui=$build/shell/tarvel.exe
for f in "$cli" "$gui" "$build/qt-prefix" "$build/runtime-dlls"; do
    [[ -f $f ]] || fail "$f is missing; run scripts/build-windows.sh first"
done
qt=$(cat "$build/qt-prefix")
[[ -d $qt/bin && -d $qt/plugins ]] || fail "no Qt for MinGW in $qt (named by build-windows/qt-prefix)"

name=tarvel-$version-win64
stage=$build/package/$name
manifest=$build/package/$name.nsh
zipfile=$build/$name.zip
setup=$build/$name-setup.exe
rm -rf "$stage" "$manifest" "$zipfile" "$setup"
mkdir -p "$stage"

# The DLLs that may be shipped, by lower-case name (import tables and file
# names differ in case): Qt's, then the MinGW runtime's.
declare -A shippable=()
for dll in "$qt"/bin/*.dll; do
    base=${dll##*/}
    shippable[${base,,}]=$dll
done
while IFS= read -r dll; do
    [[ -n $dll ]] || continue
    [[ -f $dll ]] || fail "$dll, listed in build-windows/runtime-dlls, is missing"
    base=${dll##*/}
    shippable[${base,,}]=$dll
done <"$build/runtime-dlls"

# Whether Windows itself provides a DLL: an API set, or a DLL that MinGW-w64
# has an import library for (its system libraries: kernel32, user32, d3d11...).
provided_by_windows() {
    local lower=${1,,}
    [[ $lower == api-ms-win-* || $lower == ext-ms-* ]] && return 0
    [[ -f /usr/x86_64-w64-mingw32/lib/lib${lower%.dll}.a ]]
}

declare -A staged=()   # lower-case names of the DLLs staged so far
declare -A system=()   # the Windows DLLs relied on, for the listing below

# Copies a program or DLL into a folder of the stage, then every DLL it imports
# (and they import) into the stage's top folder, beside the programs. The
# copies lose their symbols and debugging sections, which halves the package.
stage_binary() {
    local file=$1 folder=$2 dll lower
    mkdir -p "$stage/$folder"
    cp "$file" "$stage/$folder/"
    x86_64-w64-mingw32-strip --strip-unneeded "$stage/$folder/${file##*/}"
    while read -r dll; do
        lower=${dll,,}
        [[ -n ${staged[$lower]:-} ]] && continue
        if [[ -n ${shippable[$lower]:-} ]]; then
            staged[$lower]=1
            stage_binary "${shippable[$lower]}" .
        elif provided_by_windows "$dll"; then
            system[$lower]=1
        else
            fail "${file##*/} needs $dll, found neither in $qt/bin nor in build-windows/runtime-dlls"
        fi
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
}

stage_binary "$cli" .
stage_binary "$gui" .
# The platform plugin Qt needs to show a window, and the native style when Qt
# built it. Qt looks for both in platforms/ and styles/ beside the program,
# so no qt.conf is needed.
[[ -f $qt/plugins/platforms/qwindows.dll ]] || fail "$qt/plugins/platforms/qwindows.dll is missing"
stage_binary "$qt/plugins/platforms/qwindows.dll" platforms
for style in "$qt"/plugins/styles/*.dll; do
    [[ -f $style ]] && stage_binary "$style" styles
done

cp README.md "$stage/README.md"
# Tarvel's licence terms are those of the Debian package's copyright file.
cp res/package/copyright "$stage/LICENSE.txt"
mkdir -p "$stage/help"
cp -r docs/help/. "$stage/help/"

# The installer's file list, one File line per staged file to install and one
# Delete line each to uninstall, so that uninstalling removes what was
# installed and nothing else in the folder.
(
    cd "$stage"
    while IFS= read -r path; do
        [[ $path =~ ^[A-Za-z0-9._+/-]+$ ]] || fail "staged file name $path needs quoting in NSIS"
    done < <(find . -mindepth 1 | sed 's|^\./||')
    echo "; Written by scripts/package-windows.sh for ${name}."
    echo '!macro TarvelInstallFiles'
    while IFS= read -r folder; do
        target="\$INSTDIR"
        [[ $folder == . ]] || target+="\\${folder//\//\\}"
        echo "  SetOutPath \"$target\""
        find "$folder" -mindepth 1 -maxdepth 1 -type f | sed 's|^\./||' | LC_ALL=C sort |
            while IFS= read -r file; do echo "  File \"\${STAGE}/$file\""; done
    done < <(find . -type d | sed 's|^\./||' | LC_ALL=C sort)
    echo "  SetOutPath \"\$INSTDIR\""
    echo '!macroend'
    echo '!macro TarvelUninstallFiles'
    find . -type f | sed 's|^\./||' | LC_ALL=C sort |
        while IFS= read -r file; do echo "  Delete \"\$INSTDIR\\${file//\//\\}\""; done
    # Deepest folders first; RMDir leaves a folder that still holds anything.
    find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort -r |
        while IFS= read -r folder; do echo "  RMDir \"\$INSTDIR\\${folder//\//\\}\""; done
    echo '!macroend'
) >"$manifest"

echo "== $stage"
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs stat -c '%10s  %n')
echo "Windows DLLs relied on: $(printf '%s\n' "${!system[@]}" | LC_ALL=C sort | tr '\n' ' ')"

(cd "$build/package" && zip -q -r -X "$zipfile" "$name")
echo "== $zipfile ($(stat -c %s "$zipfile") bytes)"

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DMANIFEST="$manifest" \
    -DOUTFILE="$setup" res/windows/tarvel.nsi
echo "== $setup ($(stat -c %s "$setup") bytes)"
