#!/usr/bin/env bash
# The README's two commands as a newcomer meets them: in a fresh Debian 12 root holding a
# clean clone of this repository's committed HEAD, `bash scripts/run.sh` must show the
# window (found by its title under an Xvfb of its own) and exit 0 on Escape, then
# `bash scripts/test.sh` must pass. The root comes from the shared tool fresh-machine, which
# sits beside the repository: ../shared/tools (FPU_SHARED_TOOLS overrides the folder).
set -euo pipefail
cd "$(dirname "$0")/../.."
tools=${FPU_SHARED_TOOLS:-$(cd .. && pwd)/shared/tools}
if [[ ! -x "$tools/fresh-machine" ]]; then
  echo "FAIL: $tools/fresh-machine is missing; it makes the fresh Debian 12 root this stage" \
    "needs (set FPU_SHARED_TOOLS to the folder that holds it)" >&2
  exit 1
fi

# Runs inside the root, from the clone's top folder.
read -r -d '' inside <<'INSIDE' || true
set -u
seconds() { echo $(($(date +%s) - $1)); }
start=$(date +%s)
source scripts/lib/apt.sh
source scripts/lib/xvfb.sh
source scripts/lib/names.sh
apt_install_missing xvfb xauth xdotool >/dev/null 2>&1 ||
  { echo "FAIL: cannot install Xvfb and xdotool"; exit 1; }
start_xvfb || { echo "FAIL: cannot start Xvfb"; exit 1; }

bash scripts/run.sh >/tmp/run.log 2>&1 &
program=$!
window=
for _ in $(seq 900); do
  # names.sh appears once run.sh has configured the build folder.
  [ -f build/default/names.sh ] && load_names build/default &&
    window=$(xdotool search --name "$(name_pattern "$FPU_WINDOW_TITLE")" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 $program 2>/dev/null || break
  sleep 1
done
if [ -z "$window" ]; then
  echo "FAIL: bash scripts/run.sh showed no window; its output ends with:"
  tail -n 30 /tmp/run.log
  exit 1
fi
sleep 1
xdotool key Escape
for _ in $(seq 40); do kill -0 $program 2>/dev/null || break; sleep 0.05; done
if kill -0 $program 2>/dev/null; then echo "FAIL: Escape did not end the program"; exit 1; fi
status=0
wait $program || status=$?
[ $status -eq 0 ] || { echo "FAIL: exit status $status after Escape"; tail -n 10 /tmp/run.log; exit 1; }
echo "ok   bash scripts/run.sh: the window appeared and Escape exited 0 ($(seconds $start) s)"
stop_xvfb
unset DISPLAY

start=$(date +%s)
if ! bash scripts/test.sh >/tmp/test.log 2>&1; then
  echo "FAIL: bash scripts/test.sh; its output ends with:"
  tail -n 60 /tmp/test.log
  exit 1
fi
echo "ok   bash scripts/test.sh: $(grep -m1 'tests passed' /tmp/test.log) ($(seconds $start) s)"
INSIDE

started=$(date +%s)
"$tools/fresh-machine" . "$inside"
echo "fresh root: both README commands passed in $(($(date +%s) - started)) s"
