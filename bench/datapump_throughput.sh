#!/usr/bin/env bash
# Data Pump against classic: writes a classic dump of typical rows (NUMBER,
# VARCHAR2, DATE, a few NULLs) with the project's dump writer, then a Data
# Pump dump of the very same rows, converts both to CSV, checks that the two
# CSV files are identical, and prints the median time of three runs each.
#
#   bench/datapump_throughput.sh [SIZE_MB] [BUILD_DIR]
#
# SIZE_MB (default 300) sizes the classic dump; the files go to $BENCH_DIR
# (default a temporary folder) and are removed at the end.
set -euo pipefail
size_mb=${1:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$here/build-bench}
work=${BENCH_DIR:-$(mktemp -d)}
trap 'rm -f "$work"/bench_*.dmp "$work"/bench_*.csv' EXIT

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target quillon-cli qln-mkdump >/dev/null

rows=$("$build/qln-mkdump" --bench-only --mb "$size_mb" "$work/bench_classic.dmp" | awk '{print $1}')
"$build/qln-mkdump" --bench-only --datapump --rows "$rows" "$work/bench_dp.dmp" >/dev/null

median_of_three() {  # dump csv -> seconds
  local times=()
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    "$build/quillon-cli" FILE="$1" TABLE=ORDERS OUT_FILE="$2" 2>"$work/err.txt" || {
      echo "conversion of $1 failed:"; cat "$work/err.txt"; exit 1; }
    t1=$(date +%s%N)
    times+=("$(awk -v s="$t0" -v e="$t1" 'BEGIN { printf "%.3f", (e - s) / 1e9 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

cat "$work/bench_classic.dmp" "$work/bench_dp.dmp" >/dev/null  # both in the page cache
classic_s=$(median_of_three "$work/bench_classic.dmp" "$work/bench_classic.csv")
dp_s=$(median_of_three "$work/bench_dp.dmp" "$work/bench_dp.csv")
cmp -s "$work/bench_classic.csv" "$work/bench_dp.csv" || { echo "the two CSV files differ"; exit 1; }

mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
rate() { awk -v r="$rows" -v t="$1" 'BEGIN { printf "%.2f", (t > 0) ? r / t / 1e6 : 0 }'; }
printf 'rows        %s (identical CSV, %s lines)\n' "$rows" "$(wc -l <"$work/bench_dp.csv")"
printf 'classic     %6s MB  %8s s  %6s M rows/s\n' "$(mb "$work/bench_classic.dmp")" "$classic_s" "$(rate "$classic_s")"
printf 'Data Pump   %6s MB  %8s s  %6s M rows/s\n' "$(mb "$work/bench_dp.dmp")" "$dp_s" "$(rate "$dp_s")"
awk -v c="$classic_s" -v d="$dp_s" 'BEGIN { printf "Data Pump / classic time: %.2f\n", d / c }'
