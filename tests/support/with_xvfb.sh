#!/usr/bin/env bash
# Runs a command under an X server of its own: with_xvfb.sh WIDTHxHEIGHT COMMAND...
#
# The server picks a free display number itself (-displayfd), so tests that run at the same
# time never race for one, as xvfb-run -a's guess from lock files can. The command gets a
# private runtime folder too, so that no library prints about a missing one.
set -euo pipefail
size=$1
shift
runtime=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$runtime/display" \
    >"$runtime/xvfb.log" 2>&1 &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
# The server writes its display number once it accepts connections.
for _ in $(seq 1 300); do
    if [ -s "$runtime/display" ]; then break; fi
    if ! kill -0 "$server" 2>/dev/null; then
        echo "with_xvfb: the X server did not start:" >&2
        cat "$runtime/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
if [ ! -s "$runtime/display" ]; then
    echo "with_xvfb: the X server gave no display within 15 s" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$runtime/display")"
export XDG_RUNTIME_DIR="$runtime"
chmod 700 "$runtime"
"$@"
