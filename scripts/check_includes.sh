#!/usr/bin/env bash
# Includes point one way: core <- values <- sql, eval, dump, output <- engine
# <- cli, gui. A reader never includes a writer or the run. Prints every
# include against the direction and fails when there is one.
#   check_includes.sh [SOURCE_DIR]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
declare -A allowed=(
  [core]="core"
  [values]="core values"
  [sql]="core values sql"
  [eval]="core values sql eval"
  [dump]="core values dump"
  # The DDL writer lays statements out with the SQL word splitter.
  [output]="core values sql output"
  [engine]="core values sql eval dump output engine"
  [cli]="core values sql eval dump output engine cli"
  [gui]="core values sql eval dump output engine gui"
)
bad=0
for area in "${!allowed[@]}"; do
  [ -d "$root/$area" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$text" ] && continue
    [ -d "$root/$target" ] || continue
    if [[ " ${allowed[$area]} " != *" $target "* ]]; then
      echo "${file#$root/}:$line: $area/ may not include $target/: $text"
      bad=1
    fi
  done < <(grep -rnE '^\s*#\s*include "' "$root/$area" --include='*.hpp' --include='*.cpp' --include='*.h')
done
[ $bad -eq 0 ] && echo "include directions: ok"
exit $bad
