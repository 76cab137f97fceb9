#!/usr/bin/env bash
# One line on the tests the last ctest run of BUILD_DIR skipped, and why.
#   report_skips.sh BUILD_DIR CTEST_OUTPUT
set -uo pipefail
build=$1
skipped=$(grep -c '\*\*\*Skipped' "$2" || true)
[ "$skipped" -gt 0 ] || exit 0
dumps=$(sed -n 's/^QLN_DUMPS_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -n "$dumps" ] && [ ! -d "$dumps" ]; then
  echo "check: $skipped tests skipped: they read the real dumps, expected in $(realpath -m "$dumps") (not there)"
else
  echo "check: $skipped tests skipped; their reasons are in $build/Testing/Temporary/LastTest.log"
fi
