#!/usr/bin/env bash
# Conversion throughput on real rows: builds dumps by repeating the rows of
# SALES_ORDER_LINE_ITEM (narrow, numbers only) and ADDRESSES (numbers, text,
# dates) of ../shared/dumps/alphaoffice.dmp, converts each to CSV and to
# INSERT, and prints the median of three runs: MB/s of dump input, rows/s,
# CPU per row and peak memory, next to `cat` of the same file. Two more
# columns tell the program from the machine: "null MB/s" is the same
# conversion into /dev/null, "write MB/s" the rate at which this machine can
# write that much output at all (dd of as many bytes into the output's
# folder), both in MB of dump input per second. INSERT text is several times
# the dump's size, so writing it can bound the conversion.
#
#   bench/realrows_throughput.sh [SIZE_MB] [BUILD_DIR] [THREADS]
#
# SIZE_MB defaults to 1024. THREADS, when given, caps the conversion's
# threads. The files go to $BENCH_DIR (default a temporary folder) and are
# removed at the end. $QLN_CLI, when set, names the converters to time,
# separated by ':' (say, an older build beside this one).
set -euo pipefail
size_mb=${1:-1024}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$here/build-bench}
threads=${3:-}
source_dump=$here/../shared/dumps/alphaoffice.dmp
if [[ ! -f $source_dump ]]; then
  echo "skipped: $source_dump is absent"
  exit 0
fi
work=${BENCH_DIR:-$(mktemp -d)}
trap 'rm -f "$work"/real_*.dmp "$work"/real_*.out "$work"/real_time.txt' EXIT

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quillon-cli qln-realrows >/dev/null

clis=${QLN_CLI:-$build/quillon-cli}
median() { sort -g | sed -n 2p; }
now() { date +%s%N; }
extra=()
[[ -n $threads ]] && extra+=("THREADS=$threads")

echo "load: $(uptime | sed 's/.*load average/load average/')"
printf '%-6s %-22s %-6s %9s %9s %10s %9s %11s %10s %8s\n' conv table output "MB/s" "null MB/s" "write MB/s" "cat MB/s" \
  "rows/s" "CPU ns/row" "peak MB"
for table in SALES_ORDER_LINE_ITEM ADDRESSES; do
  dump=$work/real_$table.dmp
  rows=$("$build/bench/qln-realrows" "$source_dump" "$table" "$dump" "$size_mb" | sed -n 's/.*: \([0-9]*\) rows.*/\1/p')
  bytes=$(stat -c %s "$dump")
  n=0
  for cli in ${clis//:/ }; do
  n=$((n + 1))
  for mode in CSV INSERT; do
    walls=() cats=() cpus=() rss=()
    for _ in 1 2 3; do
      cat "$dump" >/dev/null
      t0=$(now); cat "$dump" >/dev/null; t1=$(now)
      cats+=("$(( t1 - t0 ))")
      # The output of the run before goes first, untimed: replacing a large
      # file makes the file system write it out and free it during the
      # rename, which would be timed as conversion.
      rm -f "$work/real_$mode.out"
      t0=$(now)
      /usr/bin/time -f '%U %S %M' -o "$work/real_time.txt" "$cli" FILE="$dump" \
        TABLE="$table" MODE="$mode" OUT_FILE="$work/real_$mode.out" "${extra[@]}" >/dev/null 2>&1 || {
        echo "conversion of $table to $mode failed"; exit 1; }
      t1=$(now)
      walls+=("$(( t1 - t0 ))")
      read -r user sys kb <"$work/real_time.txt"
      cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')")
      rss+=("$kb")
    done
    out_mb=$(( ($(stat -c %s "$work/real_$mode.out") + 1048575) / 1048576 ))
    rm -f "$work/real_$mode.out"
    nulls=() writes=()
    for _ in 1 2 3; do
      t0=$(now)
      "$cli" FILE="$dump" TABLE="$table" MODE="$mode" OUT_FILE=/dev/null "${extra[@]}" >/dev/null 2>&1
      t1=$(now)
      nulls+=("$(( t1 - t0 ))")
      t0=$(now)
      dd if=/dev/zero of="$work/real_dd.out" bs=1M count="$out_mb" status=none
      t1=$(now)
      rm -f "$work/real_dd.out"
      writes+=("$(( t1 - t0 ))")
    done
    null_ns=$(printf '%s\n' "${nulls[@]}" | median)
    write_ns=$(printf '%s\n' "${writes[@]}" | median)
    wall=$(printf '%s\n' "${walls[@]}" | median)
    cat_ns=$(printf '%s\n' "${cats[@]}" | median)
    cpu=$(printf '%s\n' "${cpus[@]}" | median)
    peak=$(printf '%s\n' "${rss[@]}" | sort -n | tail -n 1)
    awk -v n="#$n" -v t="$table" -v m="$mode" -v b="$bytes" -v w="$wall" -v c="$cat_ns" -v r="$rows" \
        -v cpu="$cpu" -v kb="$peak" -v z="$null_ns" -v d="$write_ns" 'BEGIN {
      mb = b / 1048576
      printf "%-6s %-22s %-6s %9.0f %9.0f %10.0f %9.0f %11.0f %10.0f %8.1f\n", n, t, m, mb / (w / 1e9),
        mb / (z / 1e9), mb / (d / 1e9), mb / (c / 1e9), r / (w / 1e9), cpu * 1e9 / r, kb / 1024 }'
  done
  done
  rm -f "$dump" "$work"/real_*.out
done
