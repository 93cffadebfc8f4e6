#!/usr/bin/env bash
# The windowed viewer's resident memory once its window is up (3 s on a private Xvfb
# screen), and how long it takes to end after SIGTERM, for each viewer given (e.g. a build of
# the commit before a change and this one, side by side in one run).
#   viewer-window-memory.sh [VIEWER ...]   (default build/default/fpu-trace-viewer)
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
[[ $# -gt 0 ]] || set -- "$root/build/default/fpu-trace-viewer"
source "$root/scripts/lib/xvfb.sh"
work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT
start_xvfb
for viewer in "$@"; do
  dir=$(mktemp -d "$work/endpoint.XXXXXX")
  "$viewer" --dir "$dir" >/dev/null 2>&1 &
  pid=$!
  sleep 3
  peak=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status")
  start=$(date +%s%N)
  kill -TERM "$pid"
  wait "$pid" || true
  end=$(date +%s%N)
  echo "$viewer: peak ${peak} kB with its window up; ended $(((end - start) / 1000000)) ms after SIGTERM"
done
