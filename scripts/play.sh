#!/usr/bin/env bash
# Sets up the machine, builds, and plays the production from FOLDER (default: the current
# folder), which holds the archive "stashpack" or a folder "data/" with the production's files.
set -euo pipefail
caller=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh
cd "$caller"
cd "${1:-.}"
exec "$root/build/bin/tincrates"
