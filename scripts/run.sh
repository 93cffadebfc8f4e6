#!/usr/bin/env bash
# Installs what is missing, builds the programs, and starts fpu-sample.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# A new build folder builds the programs only: tests and benchmarks need packages that only
# scripts/test.sh installs. A folder the tests already configured is kept as it is.
if [[ -f build/default/CMakeCache.txt ]]; then
  cmake --preset default >/dev/null
else
  cmake --preset default -DBUILD_TESTING=OFF -DFPU_BUILD_BENCH=OFF >/dev/null
fi
cmake --build --preset default --target fpu-sample fpu-trace-viewer fpu-sample-replay
exec ./build/default/fpu-sample "$@"
