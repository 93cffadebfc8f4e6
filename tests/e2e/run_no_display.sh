#!/usr/bin/env bash
# Without a display fpu-sample says so on one line, naming both ways to run it (Xvfb and
# the replay tool), and exits with status 2.
#   run_no_display.sh FPU_SAMPLE
set -euo pipefail
sample=$1
status=0
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$sample" 2>&1 >/dev/null) ||
  status=$?
fail() {
  echo "FAIL: $*" >&2
  echo "stderr was: $message" >&2
  exit 1
}
[[ $status -eq 2 ]] || fail "exit status $status, expected 2"
[[ $(wc -l <<<"$message") -eq 1 ]] || fail "expected one line"
[[ "$message" == *"no display"* ]] || fail "the line does not say there is no display"
[[ "$message" == *"xvfb-run"* ]] || fail "the line does not show how to run under Xvfb"
[[ "$message" == *"fpu-sample-replay"* ]] || fail "the line does not name fpu-sample-replay"
echo "ok: $message"
