#!/usr/bin/env bash
# Set-up, build, and the whole test suite: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
echo "== stage: database load (INSERT output into PostgreSQL and MariaDB) =="
bash scripts/dbload.sh build
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DQLN_SANITIZE=ON -DQLN_TESTS=ON >/dev/null
cmake --build build-san -j"$jobs"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$jobs")
