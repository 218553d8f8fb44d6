#!/usr/bin/env bash
# The browser tests of the web build: builds what they need (the native capture tool and the
# generated production in $NATIVE_BUILD, default build/; the page in build-web/), renders the
# native frames at chosen demo times, then has headless Chromium play the page and compares
# its frames with them (web/test/browser_test.mjs). Screenshots, native frames and their
# differences are left in build-web/test-output. Ends with "N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/web-env.sh

# Past the flash of each whole beat, through the texts, the credits and the fade.
times=${WEB_TEST_TIMES:-2.5,9.5,20.5,60.5,100.5,140.5,166.5,196.5,230.5}
# Frames drawn at 1600 x 1200, which the page shows at a device pixel ratio of 2.
sharp_times=${WEB_TEST_SHARP_TIMES:-9.5,100.5}
native_build=${NATIVE_BUILD:-build}
export NATIVE_BUILD=$native_build

scripts/setup.sh --web
if [ ! -f "$native_build/build.ninja" ]; then
    cmake -S . -B "$native_build" -G Ninja >/dev/null
fi
nice cmake --build "$native_build" --target production capture -- -j"$(nproc)"
scripts/web-build.sh

if [ ! -d web/node_modules/puppeteer-core ] || [ ! -d web/node_modules/pngjs ]; then
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
fi

native_frames=$web_build/test-native
rm -rf "$native_frames"
"$native_build/bin/capture" -C "$native_build/production" --at "$times" -o "$native_frames" \
    2>/dev/null >/dev/null
sharp_frames=$web_build/test-native-1600x1200
rm -rf "$sharp_frames"
"$native_build/bin/capture" -C "$native_build/production" --size 1600x1200 --at "$sharp_times" \
    -o "$sharp_frames" 2>/dev/null >/dev/null

node web/test/browser_test.mjs --site "$web_build/site" --native-frames "$native_frames" \
    --times "$times" --sharp-frames "$sharp_frames" --sharp-times "$sharp_times" \
    --out "$web_build/test-output"
