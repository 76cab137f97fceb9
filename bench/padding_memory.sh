#!/usr/bin/env bash
# Peak memory when output is far larger than its input: a crafted dump whose
# CHAR(2000) values are stored as one byte each (Oracle stores them padded),
# so that CSV and INSERT text come to about 600 times the dump. Converted
# with 1 to 4 threads into /dev/null; prints the peak RSS of each run and
# fails when one passes LIMIT_MB (default 100).
#
#   bench/padding_memory.sh [ROWS] [BUILD_DIR]
set -euo pipefail
rows=${1:-20000}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$here/build-bench}
limit_mb=${LIMIT_MB:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillon-cli qln-mkdump >/dev/null

"$build/qln-mkdump" --short-char --rows "$rows" "$work/wide.dmp" >/dev/null
dump_mb=$(( $(stat -c %s "$work/wide.dmp") / 1048576 ))
echo "dump: $rows rows, $dump_mb MB; text about $(( rows * 50 * 2000 / 1048576 )) MB"

worst=0
for mode in CSV INSERT; do
  for threads in 1 2 3 4; do
    /usr/bin/time -f '%M' -o "$work/rss.txt" "$build/quillon-cli" FILE="$work/wide.dmp" MODE="$mode" \
      THREADS="$threads" OUT_FILE=/dev/null >/dev/null 2>"$work/err.txt" || {
      echo "conversion failed:"; cat "$work/err.txt"; exit 1; }
    mb=$(( $(tail -n 1 "$work/rss.txt") / 1024 ))
    printf '%-6s THREADS=%d  peak %4d MB\n' "$mode" "$threads" "$mb"
    if (( mb > worst )); then worst=$mb; fi
  done
done
if (( worst > limit_mb )); then
  echo "peak memory $worst MB is over $limit_mb MB"
  exit 1
fi
