#!/usr/bin/env bash
# Set-up, build, and the main job: convert a sample dump the project writes itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quillon-cli qln-mkdump
build/qln-mkdump build/sample.dmp
build/quillon-cli FILE=build/sample.dmp PROPERTY=Y
build/quillon-cli FILE=build/sample.dmp LIST=Y
build/quillon-cli FILE=build/sample.dmp TABLE=ORDERS HEADER=Y OUT_FILE=build/orders.csv
echo "build/orders.csv: $(wc -l <build/orders.csv) lines; the first ones:"
head -n 5 build/orders.csv
