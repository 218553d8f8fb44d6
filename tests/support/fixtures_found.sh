#!/bin/sh
# Fails when TINCRATES_REQUIRE_FIXTURES is set (and not 0) but the shared fixtures in $1 are
# missing; passes otherwise, so that a run without the variable still goes without them.
case "${TINCRATES_REQUIRE_FIXTURES:-0}" in
0) exit 0 ;;
esac
if [ -d "$1/rar" ] && [ -d "$1/hostile" ]; then
    echo "the shared fixtures are at $1"
    exit 0
fi
echo "the shared fixtures are missing at $1, which TINCRATES_REQUIRE_FIXTURES requires" >&2
exit 1
