#!/usr/bin/env bash
# Prints a SHA-256 digest for each of the production's outputs that a refactoring must leave
# byte for byte as they were: frames at 17 moments across the production (rendered by capture
# --at), the generated archive and the generated soundtrack. Compare the lines of two builds
# with diff. Usage: scripts/output-digests.sh [BUILD_FOLDER]   (default build; needs a build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
moments=0.5,4,8.5,16.5,20.01,30.5,45.2,60.6,72.5,88.3,100.6,121.4,140.3,166.5,180.7,196.6,216.6
"$build/bin/capture" -C "$build/production" --at "$moments" -o "$work" >/dev/null 2>&1
cp "$build/production/stashpack" "$build/production/data/soundtrk.mp3" "$work/"
(cd "$work" && sha256sum -- *)
