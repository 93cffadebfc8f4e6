#!/usr/bin/env bash
# Fuzzes the replay tool (and with it the whole program) for a bounded time under ASan + UBSan.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target replay_fuzz

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp tests/replay/scripts/*.txt "$corpus"/ 2>/dev/null || true
./build/fuzz/fuzz/replay_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
