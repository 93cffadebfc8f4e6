#!/usr/bin/env bash
# Installs what is missing, builds everything with tests and benchmarks, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
cmake --preset default -DBUILD_TESTING=ON -DFPU_BUILD_BENCH=ON >/dev/null
cmake --build --preset default
ctest --preset default
