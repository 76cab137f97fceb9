#!/usr/bin/env bash
# Installs what the build needs when it is missing (Debian, as root).
set -euo pipefail
need=()
for p in g++ cmake make libgtest-dev locales; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi
