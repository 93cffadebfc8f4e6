#!/usr/bin/env bash
# The Linux window on a desktop scaled by 2 (Xft.dpi 192 in the X resources): the client
# area is 1400 x 1308 and shows the replay's 700 x 654 frame with every pixel doubled, the
# window is centred as the program places it at that size, and a mouse drag turns the
# scene exactly as the same drag in picture pixels does at scale 1.
#   run_hidpi.sh FPU_SAMPLE FPU_SAMPLE_REPLAY SET_RESOURCES
set -euo pipefail

sample=$(realpath "$1")
replay=$(realpath "$2")
set_resources=$(realpath "$3")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
SAMPLE_PID=
cleanup() {
  if [[ -n "$SAMPLE_PID" ]]; then kill "$SAMPLE_PID" 2>/dev/null || true; fi
  stop_xvfb
  if [[ "${KEEP_E2E_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=x_session.sh
source "$here/x_session.sh"
require_tools Xvfb xdotool import compare convert

export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset GDK_SCALE

readonly scale=2
# A 3840 x 2160 screen: (3840/2 - 350*2, 2160/2 - 327*2).
readonly origin_x=1220 origin_y=426 scaled_width=1400 scaled_height=1308
start_xvfb 3840x2160x24
"$set_resources" $'Xft.antialias:\t1\nXft.dpi:\t192\n'

# Each replay frame at the window's scale, nearest neighbour.
scaled_frame() {
  local script=$1 out=$2
  printf '%s\npng %s\n' "$script" "$WORK/frame.png" | "$replay" --trace none - >/dev/null
  convert "$WORK/frame.png" -filter point -resize 200% "png24:$out"
}

"$sample" 2>"$WORK/sample.err" &
SAMPLE_PID=$!
window=$(find_window)
expect_geometry "$window" "$origin_x" "$origin_y" "$scaled_width" "$scaled_height"
scaled_frame "" "$WORK/start.png"
expect_window "$window" "$WORK/start.png" hidpi-start-up
echo "scale 2: the ${scaled_width}x$scaled_height client area at ($origin_x, $origin_y) shows the start-up frame doubled"

# A left drag through picture points; the pointer moves in screen pixels.
points=(300,300 310,300 310,320 290,320 291,321)
script="" first=1
for point in "${points[@]}"; do
  x=${point%,*} y=${point#*,}
  if ((first)); then
    xdotool mousemove $((origin_x + x * scale)) $((origin_y + y * scale)) mousedown 1
    script+="mouse ldown $x $y 1"$'\n'"paint"$'\n'
    first=0
  else
    xdotool mousemove $((origin_x + x * scale + 1)) $((origin_y + y * scale + 1))
    script+="mouse move $x $y 1"$'\n'"paint"$'\n'
  fi
done
xdotool mouseup 1
script+="mouse lup $x $y 0"
scaled_frame "$script" "$WORK/dragged.png"
expect_window "$window" "$WORK/dragged.png" hidpi-drag
echo "scale 2: a drag turns the scene as the same drag in picture pixels does"

xdotool key Escape
wait_exit_within "$SAMPLE_PID" 1
SAMPLE_PID=
[[ "$EXIT_STATUS" -eq 0 ]] || fail "Escape: exit status $EXIT_STATUS"
echo "scale 2: Escape exits with 0"
