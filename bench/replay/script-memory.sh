#!/usr/bin/env bash
# Peak memory of reading a large script: MB megabytes of `tick` lines (default 100) through
# --max-steps 1, so that the time and memory are the reading's own; and the time and peak
# memory of one `png` at --scale 8. The script's figure should stay well under twice its
# size (the target for 100 MB is under 250 MB).
#   bench/replay/script-memory.sh [BUILD_DIR] [MB]
set -euo pipefail
build=${1:-build/default}
mb=${2:-100}
replay="$build/fpu-sample-replay"
[[ -x "$replay" ]] || { echo "no $replay: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bytes=$((mb * 1000000))
{ yes tick || true; } | head -c "$bytes" >"$work/ticks.txt"
status=0
/usr/bin/time -o "$work/time.txt" -f '%M %e' "$replay" --trace none --max-steps 1 \
  --max-script-bytes "$bytes" "$work/ticks.txt" 2>/dev/null || status=$?
[[ $status == 1 ]] || { echo "the replay ended with $status, not at the step limit" >&2; exit 1; }
read -r peak seconds < <(tail -n 1 "$work/time.txt")
printf '%-28s %10s KB peak RSS  %6s s\n' "$mb MB of tick lines" "$peak" "$seconds"

printf 'key V\nkey B\nkey S\nkey T\nrepeat 40\ntick\nend\npaint\npng %s/big.png\n' "$work" \
  >"$work/png.txt"
/usr/bin/time -o "$work/time.txt" -f '%M %e' "$replay" --trace none --scale 8 "$work/png.txt"
read -r peak seconds < <(tail -n 1 "$work/time.txt")
printf '%-28s %10s KB peak RSS  %6s s\n' "png at --scale 8" "$peak" "$seconds"
