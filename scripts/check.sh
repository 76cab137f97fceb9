#!/usr/bin/env bash
# Set-up, build, and the whole test suite: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer; then every fuzz target for
# a short while. A failure names its stage.
set -euo pipefail
cd "$(dirname "$0")/.."
stage=setup
trap 'echo "check.sh: stage \"$stage\" failed" >&2' ERR
bash scripts/setup.sh
jobs=$(nproc)
stage=native
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
stage=sanitizer
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DQLN_SANITIZE=ON -DQLN_TESTS=ON >/dev/null
cmake --build build-san -j"$jobs"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$jobs")
stage=fuzz
bash scripts/fuzz.sh "${QLN_FUZZ_SECONDS:-45}"
