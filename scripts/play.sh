#!/usr/bin/env bash
# Sets up the machine, builds (which also generates the production's own data into
# build/production), and plays the production: the generated one, or FOLDER's when given
# (a folder holding the archive "stashpack" or a folder "data/" with the production's files).
set -euo pipefail
caller=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh
if [ $# -gt 0 ]; then
    cd "$caller"
    cd "$1"
else
    cd "$root/build/production"
fi
exec "$root/build/bin/tincrates"
