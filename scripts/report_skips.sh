#!/usr/bin/env bash
# One line on the tests a ctest run skipped, and why.
#   report_skips.sh CTEST_LOG
set -uo pipefail
log=$1
skipped=$(grep -c '\*\*\*Skipped\|Skipped ' "$log" || true)
[ "$skipped" -gt 0 ] || exit 0
dumps=$(cd "$(dirname "$0")/.." && pwd)/../shared/dumps
if [ ! -d "$dumps" ]; then
  echo "check.sh: $skipped tests skipped: they read the real dumps, expected in $(realpath -m "$dumps") (not there)"
else
  echo "check.sh: $skipped tests skipped (see $log)"
fi
