#!/usr/bin/env bash
# A few hundred generated scripts through the three builds (run-differential.sh), two at a
# time; not run by CI. Same environment as run-differential.sh.
#   tests/parity/bench.sh [COUNT [SEED]]   (default 300 scripts, seed 2026)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
start=$(date +%s)
status=0
bash "$here/run-differential.sh" --count "${1:-300}" --seed "${2:-2026}" --jobs 2 || status=$?
echo "($(($(date +%s) - start)) s)"
exit $status
