#!/usr/bin/env bash
# Builds the Debian package build-package/tarvel_<version>_amd64.deb and checks
# it: lintian (no error), appstreamcli and desktop-file-validate.
# Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --package
build=${PACKAGE_BUILD_DIR:-build-package}

# Debian's hardening flags, all of them (fortified functions, stack protector,
# PIE, full RELRO with immediate binding).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEL_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/tarvel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tarvel_*_amd64.deb)

echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb" | awk '{print $1, $6}'
appstreamcli validate --no-net res/org.example.tarvel.metainfo.xml
desktop-file-validate res/tarvel.desktop
# lintian exits non-zero on an error; warnings are printed for the reader.
lintian --fail-on error --display-info "$deb"
echo "== lintian: no error"
