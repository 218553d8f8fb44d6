#!/usr/bin/env bash
# The production in a browser: sets up, builds for WebAssembly into build-web/, and serves the
# page on this machine, printing its address.
#
#   scripts/web.sh [FOLDER] [--port PORT]
#
# FOLDER: a production's folder (stashpack and/or data/) instead of the generated one.
# PORT: where to serve (default 8014; 0 takes a free one).
set -euo pipefail
cd "$(dirname "$0")/.."

folder=()
port=8014
while [ $# -gt 0 ]; do
    case "$1" in
        --port) port=$2; shift 2 ;;
        -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) folder=("$1"); shift ;;
    esac
done

scripts/setup.sh --web
scripts/web-build.sh "${folder[@]}"
source scripts/web-env.sh
exec node web/serve.mjs "$web_build/site" --port "$port"
