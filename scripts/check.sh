#!/usr/bin/env bash
# Set-up, build, and the whole test suite: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
stage="set-up"
trap 'echo "check.sh: FAILED in the $stage stage" >&2' ERR
bash scripts/setup.sh
jobs=$(nproc)
stage="normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
stage="normal tests"
(cd build && ctest --output-on-failure -j"$jobs") | tee build/ctest.log
bash scripts/report_skips.sh build build/ctest.log
stage="package"
bash scripts/check_package.sh build
stage="sanitizer build"
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DQLN_SANITIZE=ON -DQLN_TESTS=ON >/dev/null
cmake --build build-san -j"$jobs"
stage="sanitizer tests"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$jobs")
echo "check.sh: every stage passed"
