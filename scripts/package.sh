#!/usr/bin/env bash
# Sets up the machine, builds a release in build-package/ (with NDEBUG: no asserts and no GL
# error checks; no tests or benchmarks), and makes the Debian package
# build/tincrates_VERSION_amd64.deb (VERSION is the project's version and the package's
# revision, such as 1.0.0-1) with CPack from what `cmake --install` installs; then has lintian
# check it, which must find no error (the warnings it may give, and why they stay, are in
# docs/install.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=build-package
scripts/build.sh "$dir" -DTINCRATES_ASSERTS=OFF -DTINCRATES_BUILD_TESTS=OFF \
    -DTINCRATES_BUILD_BENCH=OFF
rm -f "$dir"/tincrates_*.deb build/tincrates_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
debs=("$dir"/tincrates_*_amd64.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "package: cpack made no package" >&2
    exit 1
fi
# Where it has always been handed out, beside the ordinary build.
mkdir -p build
deb=build/$(basename "${debs[0]}")
mv "${debs[0]}" "$deb"
echo "package: lintian $deb" >&2
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v '^running with root privileges' <<<"$report" >&2 || true
if [ $status -ne 0 ]; then
    echo "package: lintian finds errors in $deb" >&2
    exit 1
fi
echo "$deb ($(du -h "$deb" | cut -f1))"
