#!/usr/bin/env bash
# Fuzzes the replay tool (and with it the whole program) for a bounded time under ASan + UBSan.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target replay_fuzz

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Seeds: the checked-in scenario scripts. max_len leaves room for blocks nested past the
# depth limit (257 levels of "repeat 1" and "end" take about 3.4 KB).
cp tests/replay/scripts/*.txt "$corpus"/
./build/fuzz/fuzz/replay_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -dict=fuzz/replay.dict -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
