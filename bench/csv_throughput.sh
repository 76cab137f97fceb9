#!/usr/bin/env bash
# Conversion throughput: writes a classic dump of typical rows (NUMBER,
# VARCHAR2, DATE, a few NULLs) with the project's dump writer, converts it to
# CSV, and prints the input MB/s next to what `cat` reaches on the same file.
#
#   bench/csv_throughput.sh [SIZE_MB] [BUILD_DIR]
#
# SIZE_MB defaults to 1100; pass 4200 to check that memory stays flat on a
# dump over 4 GB. A second conversion filters the rows by a simple
# comparison ($BENCH_WHERE, default about half the rows) and prints its
# speed beside the unfiltered one. The dump and the CSV go to $BENCH_DIR (default a temporary
# folder) and are removed at the end.
set -euo pipefail
size_mb=${1:-1100}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$here/build-bench}
work=${BENCH_DIR:-$(mktemp -d)}
where=${BENCH_WHERE:-[ORDERS]AMOUNT > 50000}
trap 'rm -rf "$work/bench.dmp" "$work/bench.csv" "$work/where.csv"' EXIT

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillon-cli qln-mkdump >/dev/null

echo "writing a ${size_mb} MB dump ..."
"$build/qln-mkdump" --bench-only --mb "$size_mb" "$work/bench.dmp" >/dev/null
bytes=$(stat -c %s "$work/bench.dmp")
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')

seconds() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.3f", (e - s) / 1e9 }'; }
rate() { awk -v b="$bytes" -v t="$1" 'BEGIN { printf "%.0f", (t > 0) ? b / 1048576 / t : 0 }'; }

cat "$work/bench.dmp" >/dev/null  # same page-cache state for both runs
t0=$(date +%s%N); cat "$work/bench.dmp" >/dev/null; t1=$(date +%s%N)
cat_s=$(seconds "$t0" "$t1")

t0=$(date +%s%N)
/usr/bin/time -f '%M' -o "$work/rss.txt" \
  "$build/quillon-cli" FILE="$work/bench.dmp" OUT_FILE="$work/bench.csv" 2>"$work/err.txt" || {
  echo "conversion failed:"; cat "$work/err.txt"; exit 1; }
t1=$(date +%s%N)
conv_s=$(seconds "$t0" "$t1")
rows=$(wc -l <"$work/bench.csv")
rss_kb=$(tail -n 1 "$work/rss.txt")

printf 'dump        %s MB (%s bytes), %s CSV lines\n' "$mb" "$bytes" "$rows"
printf 'cat         %8s s  %6s MB/s\n' "$cat_s" "$(rate "$cat_s")"
printf 'quillon-cli %8s s  %6s MB/s  max RSS %s MB\n' "$conv_s" "$(rate "$conv_s")" "$((rss_kb / 1024))"

t0=$(date +%s%N)
"$build/quillon-cli" FILE="$work/bench.dmp" WHERE="\"$where\"" OUT_FILE="$work/where.csv" 2>"$work/err.txt" || {
  echo "filtered conversion failed:"; cat "$work/err.txt"; exit 1; }
t1=$(date +%s%N)
where_s=$(seconds "$t0" "$t1")
printf 'with WHERE  %8s s  %6s MB/s  (%s of the unfiltered speed), %s CSV lines: %s\n' "$where_s" "$(rate "$where_s")" \
  "$(awk -v a="$conv_s" -v b="$where_s" 'BEGIN { printf "%.0f%%", (b > 0) ? 100 * a / b : 0 }')" \
  "$(wc -l <"$work/where.csv")" "$where"
