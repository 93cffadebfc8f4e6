#!/usr/bin/env bash
# The headless viewer's resident memory after a flood of empty lines and after a flood of
# string-art lines (FLOOD_SECONDS each, default 60). Each must stay under 45 MB whatever the
# line lengths: the viewer keeps 16 MiB of text and bounds its line index as well.
#   viewer-memory.sh [BUILD]   (default build/default, configured with -DFPU_BUILD_BENCH=ON)
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
build=$(realpath "${1:-$root/build/default}")
flood="$build/bench/trace/viewer_flood"
[[ -x "$flood" ]] || {
  echo "no $flood; build the target viewer_flood first" >&2
  exit 1
}
seconds=${FLOOD_SECONDS:-60}
status=0
for kind in empty art; do
  result=$("$flood" "$kind" "$seconds")
  echo "$result"
  peak_kb=$(sed -n 's/.*peak \([0-9]*\) kB.*/\1/p' <<<"$result")
  if ((peak_kb >= 45 * 1000)); then
    echo "FAIL: $kind lines took the viewer to ${peak_kb} kB (limit 45 MB)" >&2
    status=1
  fi
done
exit $status
