#!/usr/bin/env bash
# quillon-cli.exe under wine against the Linux build on the real demo dump:
# properties, the table list, every table's description, DDL and the CSV of
# every table must be the same once the Windows CR LF line ends (required on
# every line) become LF.
# Usage: windows_cli_check.sh WINDOWS_EXE WINE LINUX_EXE
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$1 wine=$2 linux=$3
dump=$(realpath -m ../shared/dumps/alphaoffice.dmp)
if [ ! -f "$dump" ]; then
  echo "windows: ../shared/dumps/alphaoffice.dmp is not here; the comparison with Linux is skipped"
  exit 0
fi
work=$(realpath -m build-win/cli-check)
rm -rf "$work"
mkdir -p "$work/win" "$work/linux"
failed=0

# Every line must end with CR LF; prints the text with LF line ends.
crlf_to_lf() {
  awk '{ if (substr($0, length($0)) != "\r") bad = NR; sub(/\r$/, ""); print }
       END { if (bad) { print "line " bad " has no CR LF" > "/dev/stderr"; exit 1 } }' "$1"
}

# compare NAME ARGS...: one job on both builds, its standard output compared.
compare() {
  local name=$1
  shift
  local rc_w=0 rc_l=0
  (cd "$work/win" && "$wine" "$exe" "FILE=Z:$dump" "$@" >"$name.out" 2>"$name.err") || rc_w=$?
  (cd "$work/linux" && "$linux" "FILE=$dump" "$@" >"$name.out" 2>"$name.err") || rc_l=$?
  if [ "$rc_w" != 0 ] || [ "$rc_l" != 0 ]; then
    echo "windows: $name: exit $rc_w under wine, $rc_l on Linux"; failed=1; return
  fi
  if ! crlf_to_lf "$work/win/$name.out" | sed "s|Z:$dump|$dump|g" | cmp -s - "$work/linux/$name.out"; then
    echo "windows: $name differs from the Linux build's"; failed=1
  fi
}

compare properties PROPERTY=Y
compare list LIST=Y
compare ddl MODE=DDL
tables=$(sed -n '3,$p' "$work/linux/list.out")
[ -n "$tables" ] || { echo "windows: no tables listed"; exit 1; }
count=0
for t in $tables; do
  compare "describe-$t" LIST=Y "TABLE=$t"
  count=$((count + 1))
done
# Every table into its own CSV file.
(cd "$work/win" && "$wine" "$exe" "FILE=Z:$dump" MODE=CSV_BATCH OUT_CHARSET=UTF8 HEADER=Y >batch.out 2>batch.err) ||
  { echo "windows: CSV_BATCH failed under wine: $(cat "$work/win/batch.err")"; failed=1; }
(cd "$work/linux" && "$linux" "FILE=$dump" MODE=CSV_BATCH OUT_CHARSET=UTF8 HEADER=Y >batch.out 2>batch.err) ||
  { echo "windows: CSV_BATCH failed on Linux"; failed=1; }
csvs=0
for t in $tables; do
  if [ ! -f "$work/win/$t.csv" ] || ! crlf_to_lf "$work/win/$t.csv" | cmp -s - "$work/linux/$t.csv"; then
    echo "windows: $t.csv differs from the Linux build's"; failed=1
  else
    csvs=$((csvs + 1))
  fi
done
echo "windows: quillon-cli.exe on alphaoffice.dmp: $count tables described, $csvs of $count CSV files equal to Linux's"
exit $failed
