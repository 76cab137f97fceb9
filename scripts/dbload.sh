#!/usr/bin/env bash
# Loads the INSERT output of real and generated dumps into PostgreSQL and
# MariaDB started here (local sockets only, data under BUILD/dbload) and
# compares every loaded value with the CSV output. Servers that cannot be
# installed or started are skipped with a message.
# Usage: scripts/dbload.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
cli="$build/quillon-cli"
mkdump="$build/qln-mkdump"
work="$build/dbload"
for f in "$cli" "$mkdump"; do
  [ -x "$f" ] || { echo "dbload: $f missing (build it first)"; exit 1; }
done
command -v python3 >/dev/null || { echo "dbload: SKIPPED, no python3"; exit 0; }
rm -rf "$work" && mkdir -p "$work" && chmod 755 "$work"
as_user() {  # servers refuse to run as root
  local u=$1; shift
  if [ "$(id -u)" = 0 ]; then runuser -u "$u" -- "$@"; else "$@"; fi
}
install_pkgs() {
  [ "$(id -u)" = 0 ] || return 1
  DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y --no-install-recommends "$@" >"$work/apt.log" 2>&1
}

dumps=()
[ -f ../shared/dumps/alphaoffice.dmp ] && dumps+=("$(realpath ../shared/dumps/alphaoffice.dmp)") ||
  echo "dbload: ../shared/dumps absent, real dump not loaded"
"$mkdump" --every-kind --rows 200 "$work/kinds.dmp" >/dev/null && dumps+=("$work/kinds.dmp")
"$mkdump" --datapump --every-kind --rows 200 "$work/kinds_dp.dmp" >/dev/null && dumps+=("$work/kinds_dp.dmp")
chmod 644 "$work"/*.dmp

status=0
# The generated dumps: the table of every column kind and the plain one
# (their other tables hold values some targets cannot store, years BC).
load() {
  local only=()
  case "$1" in "$work"/kinds*) only=(MixedCase_Kinds,ORDERS) ;; esac
  python3 scripts/dbload.py "$cli" "$1" "$work" "$2" "$3" "${only[@]}" || status=1
}
pids=()
stop_all() {
  [ -n "${pg_bin:-}" ] && as_user postgres "$pg_bin/pg_ctl" -D "$work/pg" -m fast stop >/dev/null 2>&1
  [ -f "$work/my/mariadb.pid" ] && kill "$(cat "$work/my/mariadb.pid")" 2>/dev/null
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap stop_all EXIT

# PostgreSQL
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -n "$pg_bin" ] || { install_pkgs postgresql && pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1); }
if [ -z "$pg_bin" ]; then
  echo "dbload: PostgreSQL SKIPPED (cannot be installed)"
else
  mkdir -p "$work/pg" "$work/pgsock"; [ "$(id -u)" = 0 ] && chown postgres "$work/pg" "$work/pgsock"
  if as_user postgres "$pg_bin/initdb" -D "$work/pg" -U postgres -A trust -E UTF8 >"$work/pg.log" 2>&1 &&
     as_user postgres "$pg_bin/pg_ctl" -D "$work/pg" -l "$work/pgsock/server.log" -w \
       -o "-c listen_addresses='' -k $work/pgsock -p 5433 -c fsync=off" start >>"$work/pg.log" 2>&1; then
    echo "dbload: PostgreSQL $("$pg_bin/postgres" --version | awk '{print $3}')"
    for d in "${dumps[@]}"; do load "$d" pg "$work/pgsock"; done
  else
    echo "dbload: PostgreSQL SKIPPED (could not start, see $work/pg.log)"; pg_bin=
  fi
fi

# MariaDB
command -v mariadbd >/dev/null || install_pkgs mariadb-server mariadb-client
if ! command -v mariadbd >/dev/null; then
  echo "dbload: MariaDB SKIPPED (cannot be installed)"
else
  mkdir -p "$work/my"; owner=$(id -un); [ "$(id -u)" = 0 ] && owner=mysql && chown mysql "$work/my"
  if mariadb-install-db --no-defaults --user="$owner" --datadir="$work/my/data" --auth-root-authentication-method=normal \
       >"$work/my.log" 2>&1; then
    mariadbd --no-defaults --user="$owner" --datadir="$work/my/data" --socket="$work/my/sock" --skip-networking --character-set-server=utf8mb4 \
      --pid-file="$work/my/mariadb.pid" --innodb-flush-log-at-trx-commit=0 --max-allowed-packet=256M \
      >>"$work/my.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 60); do [ -S "$work/my/sock" ] && break; sleep 0.5; done
    if [ -S "$work/my/sock" ]; then
      echo "dbload: MariaDB $(mariadbd --version | awk '{print $3}')"
      for d in "${dumps[@]}"; do load "$d" my "$work/my/sock"; done
    else
      echo "dbload: MariaDB SKIPPED (could not start, see $work/my.log)"
    fi
  else
    echo "dbload: MariaDB SKIPPED (could not set up, see $work/my.log)"
  fi
fi
exit $status
