#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a
# bounded time on seeds made by the project's dump writer and slices of the
# real dumps. Any finding (crash, leak, hang, sanitizer report) fails the run
# and is kept under build-fuzz/findings/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_dump fuzz_options fuzz_sql fuzz_charset)

need=()
for p in clang libclang-rt-14-dev cmake make; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

out=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DQLN_FUZZ=ON -DQLN_TESTS=OFF >/dev/null
cmake --build "$out" -j"$(nproc)" --target "${targets[@]}" qln-mkdump

seeds=$out/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{fuzz_dump,fuzz_options,fuzz_sql,fuzz_charset} "$out/findings"

# Dumps: each seed is one job byte followed by the dump's bytes. Inputs are
# kept under 44 KB (longer seeds are cut there: cut dumps are wanted too),
# the size of a small Data Pump dump, so that each runs in a few
# milliseconds; other inputs gain nothing from more than 4 KB.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$out/qln-mkdump" --rows 3 --bench-only "$tmp/small.dmp" >/dev/null
"$out/qln-mkdump" --rows 12 "$tmp/user.dmp" >/dev/null
"$out/qln-mkdump" --rows 12 --bench-only --direct "$tmp/direct.dmp" >/dev/null
"$out/qln-mkdump" --rows 12 --bench-only --mode full "$tmp/full.dmp" >/dev/null
"$out/qln-mkdump" --rows 8 --bench-only --charset 832 "$tmp/sjis.dmp" >/dev/null
# Data Pump dumps of both forms, small enough to stay under the length limit.
"$out/qln-mkdump" --rows 3 --bench-only --datapump "$tmp/dp12.dmp" >/dev/null
"$out/qln-mkdump" --rows 2 --bench-only --datapump23 "$tmp/dp23.dmp" >/dev/null
# The writer pads its dumps with zero bytes: seeds go without them, the
# fuzzer spends its time on the statements and rows.
for f in "$tmp"/*.dmp; do
  command -v python3 >/dev/null || break
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); open(sys.argv[1], "wb").write(d.rstrip(b"\0") + b"\0")' "$f"
done
# Exports that stopped early: cut inside the rows, and cut with zero padding.
size=$(stat -c %s "$tmp/user.dmp")
head -c $((size / 2)) "$tmp/user.dmp" >"$tmp/cut.dmp"
exit_at=$(grep -abo 'EXIT' "$tmp/user.dmp" | head -n 1 | cut -d: -f1)
{ head -c "${exit_at:-$((size - 200))}" "$tmp/user.dmp"; head -c 4096 /dev/zero; } >"$tmp/padded.dmp"
for d in ../shared/dumps/alphaoffice.dmp ../shared/dumps/scott.dmp; do
  [ -f "$d" ] && head -c 65536 "$d" >"$tmp/$(basename "$d" .dmp)-head.dmp"
done
job=0
for f in "$tmp"/*.dmp; do
  for j in 0 1 2 3 4 5 6 7 8 9; do
    { printf "\\$(printf %03o $(( (j + job) % 10 )))"; cat "$f"; } >"$seeds/fuzz_dump/$(basename "$f").$j"
  done
  job=$((job + 1))
done

printf 'FILE=a.dmp TABLE=EMP HEADER=Y OUT_FILE=x.csv' >"$seeds/fuzz_options/plain"
printf '# comment\nTABLE=EMP\n[EMP][*]\nSAL > 1000\n\x00FILE=a.dmp MODE=CSV_BATCH' >"$seeds/fuzz_options/parfile"
printf 'FILE=a.dmp,b.dmp WHERE="[EMP]SAL > 1000" GREP=abc COLUMN=A,-B MAX_RECORD=5 DELIMITER=; DATE_FORMAT="YYYY/MM/DD HH24:MI:SS"' \
  >"$seeds/fuzz_options/where"
printf 'FILE=a.dmp QUERY=(SELECT ENAME, SAL FROM EMP WHERE SAL BETWEEN 1 AND 2) LOB_TARGET=T.C LOB_FILE=x_%%ID%%.bin' \
  >"$seeds/fuzz_options/query"

i=0
while IFS= read -r q; do
  printf '\x00%s' "$q" >"$seeds/fuzz_sql/q$i"
  printf '\x02%s' "$q" >"$seeds/fuzz_sql/w$i"
  printf '\x04%s' "$q" >"$seeds/fuzz_sql/c$i"
  i=$((i + 1))
done <<'SQL'
SELECT ENAME, SAL FROM EMP WHERE SAL > 1000 AND (DEPTNO IN (10, 20) OR JOB LIKE 'CL%')
SELECT * FROM EMP E WHERE NOT E.COMM IS NULL AND HIREDATE BETWEEN TO_DATE('1981-01-01','YYYY-MM-DD') AND SYSDATE
SELECT A FROM T WHERE SUBSTR(NAME,1,2) = 'AB' AND SAL * 12 > 30000 OR X IN (SELECT Y FROM U)
SELECT * FROM A, B WHERE A.ID = B.ID(+) GROUP BY A.ID HAVING COUNT(*) > 1 ORDER BY 1
SAL > 1000 AND ENAME != 'KING'
ID BETWEEN 1 AND 9 AND (NAME LIKE 'a%' ESCAPE '\' OR TO_CHAR(D, 'YYYY') = '2020') AND N IS NULL
NVL(N, ID) * 2 >= 14 AND SUBSTR(NAME, 2, 2) || 'x' IN ('b x', 'zz') AND D < SYSDATE
SQL

printf '\x20\x93\xfa\x96\x7b' >"$seeds/fuzz_charset/sjis"
printf '\x02\xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80' >"$seeds/fuzz_charset/utf8"
printf '\x13\x00\x41\xd8\x3d\xde\x00' >"$seeds/fuzz_charset/utf16"
printf '\x21\xc6\xfc\xcb\xdc\x8e\xb1' >"$seeds/fuzz_charset/euc"

max_len_of() { if [ "$1" = fuzz_dump ]; then echo 45056; else echo 4096; fi; }

failed=()
for t in "${targets[@]}"; do
  corpus=$out/corpus/$t
  mkdir -p "$corpus"
  echo "== $t: ${secs}s"
  # Absolute paths: the targets work in a scratch folder of their own.
  abs=$(cd "$out" && pwd)
  if ! ASAN_OPTIONS=detect_leaks=1 "$abs/fuzz/$t" "$abs/corpus/$t" "$abs/seeds/$t" \
        -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 -max_len="$(max_len_of "$t")" \
        -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$abs/findings/$t-" 2>"$out/fuzz-$t.log"; then
    failed+=("$t")
    tail -n 40 "$out/fuzz-$t.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$out/fuzz-$t.log" | tail -n 2 || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs under $out/findings/)"
  exit 1
fi
echo "fuzzing: no finding in ${targets[*]}"
