#!/usr/bin/env bash
# End-to-end test of the Linux window: the real fpu-sample on its own Xvfb screen, driven
# with xdotool, compared pixel for pixel with what fpu-sample-replay draws for the same
# messages; then Escape, and in a second run the close button, must end it with status 0
# within one second. The second run also prints its trace lines (--trace stdout) or none. A key early in the scenario starts the trace viewer: it must appear
# beside the program's window, leave it the keyboard, and every later key must still act.
# A third run on a desktop scaled by 2 (Xft.dpi 192): the 1400 x 1308 client area shows the
# replay's frames with every pixel doubled, and a drag turns the scene as at scale 1.
#   run_window.sh FPU_SAMPLE FPU_SAMPLE_REPLAY SEND_CLOSE SCENARIO SET_RESOURCES
#
# The close button: without a window manager nobody draws one, so SEND_CLOSE sends what a
# window manager sends when it is clicked, a WM_PROTOCOLS / WM_DELETE_WINDOW client message
# (SDL reports it as a window close event). `xdotool windowclose` is not used: it destroys
# the X window under the client, which is not what the button does.
set -euo pipefail

sample=$(realpath "$1")
replay=$(realpath "$2")
send_close=$(realpath "$3")
scenario=$(realpath "$4")
set_resources=$(realpath "$5")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
SAMPLE_PID=
VIEWER_PID=
cleanup() {
  if [[ -n "$SAMPLE_PID" ]]; then kill "$SAMPLE_PID" 2>/dev/null || true; fi
  if [[ -n "$VIEWER_PID" ]]; then kill "$VIEWER_PID" 2>/dev/null || true; fi
  stop_xvfb
  if [[ "${KEEP_E2E_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=x_session.sh
source "$here/x_session.sh"
load_names "$(dirname "$sample")"
require_tools Xvfb xdotool import compare convert

# Where the window sits on a 1920x1080 screen: (1920/2 - 350, 1080/2 - 327); screen pixels
# per picture pixel.
origin_x=610 origin_y=213 scale=1
readonly client_width=700 client_height=654
unset GDK_SCALE

# Under the asan preset: leaks inside libraries SDL loads are not ours to report.
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Trace lines would go to a viewer found through this directory; keep it private to the run.
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_xvfb

# --- translating the scenario ---

replay_key_name() {
  case "$1" in
    Left | Right | Up | Down) echo "${1^^}" ;;
    space) echo SPACE ;;
    Return) echo RETURN ;;
    BackSpace) echo BACK ;;
    Escape) echo ESCAPE ;;
    comma) echo OEM_COMMA ;;
    period) echo OEM_PERIOD ;;
    minus) echo OEM_MINUS ;;
    grave) echo OEM_3 ;;
    F[0-9] | F1[0-2]) echo "$1" ;;
    [a-z] | [0-9]) echo "${1^^}" ;;
    *) fail "scenario: no replay name for key '$1'" ;;
  esac
}

inside() {
  (($1 >= 0 && $2 >= 0 && $1 < client_width && $2 < client_height))
}

# Appends to the replay script and sends the X input for one scenario line. Each message
# that runs a frame tail is followed by the paint the window then gets.
play_line() {
  local verb=$1
  shift
  case "$verb" in
    key)
      if [[ "${2:-}" != - ]]; then
        echo "key ${2:-$(replay_key_name "$1")}" >>"$WORK/replay.txt"
        echo "paint" >>"$WORK/replay.txt"
      fi
      xdotool key "$1"
      ;;
    drag)
      local button=$1
      shift
      local down up flags
      case "$button" in
        1) down=ldown up=lup flags=1 ;;
        3) down=rdown up=rup flags=2 ;;
        *) fail "scenario: drag with unsupported button $button" ;;
      esac
      local first=1 x y point
      for point in "$@"; do
        x=${point%,*}
        y=${point#*,}
        if ((first)); then
          # Buttonless motion there changes nothing, so the script leaves it out.
          xdotool mousemove $((origin_x + x * scale)) $((origin_y + y * scale)) mousedown "$button"
          echo "mouse $down $x $y $flags" >>"$WORK/replay.txt"
          first=0
        else
          xdotool mousemove $((origin_x + x * scale)) $((origin_y + y * scale))
          if inside "$x" "$y"; then echo "mouse move $x $y $flags" >>"$WORK/replay.txt"; fi
        fi
        echo "paint" >>"$WORK/replay.txt"
      done
      xdotool mouseup "$button"
      if inside "$x" "$y"; then echo "mouse $up $x $y 0" >>"$WORK/replay.txt"; fi
      ;;
    viewer) expect_viewer_beside ;;
    *) fail "scenario: unknown line '$verb $*'" ;;
  esac
}

# The key before started the trace viewer. Its window must appear, must not overlap the
# program's, and must leave the keyboard focus where it was.
expect_viewer_beside() {
  local viewer
  # One search at a time: a search fails outright when a window it looks at goes away.
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    viewer=$(xdotool search --onlyvisible --name "$(name_prefix "$FPU_VIEWER_TITLE")" 2>/dev/null |
      head -n 1 || true)
    [[ -n "$viewer" ]] && break
    sleep 0.1
  done
  [[ -n "$viewer" ]] || fail "the trace viewer did not appear within 10 s"
  VIEWER_PID=$(xdotool getwindowpid "$viewer" 2>/dev/null || true)
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$viewer" | grep -E '^(X|Y|WIDTH|HEIGHT)=-?[0-9]+$')"
  if ((X < origin_x + client_width && origin_x < X + WIDTH && Y < origin_y + client_height &&
    origin_y < Y + HEIGHT)); then
    fail "the viewer (${WIDTH}x$HEIGHT at $X,$Y) covers the program's window"
  fi
  local focus
  focus=$(xdotool getwindowfocus 2>/dev/null || true)
  [[ "$focus" == "$window" ]] || fail "the viewer took the keyboard focus (focus: $focus)"
  echo "viewer: ${WIDTH}x$HEIGHT at ($X, $Y), beside the program; the program keeps the focus"
}

# --- run 1: input, pixels, Escape ---

"$sample" 2>"$WORK/sample1.err" &
SAMPLE_PID=$!
window=$(find_window)
expect_geometry "$window" "$origin_x" "$origin_y" "$client_width" "$client_height"

echo "png $WORK/start.png" | "$replay" --trace none - >/dev/null
expect_window "$window" "$WORK/start.png" start-up

# The pointer rests inside the window: without a window manager, keys follow it.
xdotool mousemove $((origin_x + client_width / 2)) $((origin_y + client_height / 2))
: >"$WORK/replay.txt"
while read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  # shellcheck disable=SC2086
  play_line $line
done <"$scenario"
echo "png $WORK/after-input.png" >>"$WORK/replay.txt"
"$replay" --trace none "$WORK/replay.txt" >/dev/null
expect_window "$window" "$WORK/after-input.png" after-input

# A resize repaints without clearing: string-art mode is on, so each resize draws the next
# pattern over the last, exactly once. The window shows the bitmap 1:1 at the top-left and
# black beyond it.
resize_step() {
  local width=$1 height=$2 label=$3
  xdotool windowsize "$window" "$width" "$height"
  printf 'paint\npng %s\n' "$WORK/$label-bitmap.png" >>"$WORK/replay.txt"
  "$replay" --trace none "$WORK/replay.txt" >/dev/null
  convert -size "${width}x$height" xc:black "$WORK/$label-bitmap.png" -geometry +0+0 -composite \
    -crop "${width}x$height+0+0" +repage "png24:$WORK/$label.png"
  expect_window "$window" "$WORK/$label.png" "$label"
}
resize_step 900 800 grown
resize_step 400 300 shrunk

xdotool key Escape
wait_exit_within "$SAMPLE_PID" 1
SAMPLE_PID=
[[ "$EXIT_STATUS" -eq 0 ]] || fail "Escape: exit status $EXIT_STATUS"
echo "run 1: start-up, input and resize frames equal the replay's; Escape exits with 0"

# --- run 2: trace lines on standard output, then none; the close button ---

# The viewer of run 1 goes, so that any viewer seen now was started by this run.
if [[ -n "$VIEWER_PID" ]]; then
  kill "$VIEWER_PID" 2>/dev/null || true
  VIEWER_PID=
fi
# No viewer window may appear within a second of the traced keys.
expect_no_viewer() {
  sleep 1
  if xdotool search --onlyvisible --name "$(name_prefix "$FPU_VIEWER_TITLE")" >/dev/null 2>&1; then
    fail "$1: a trace viewer was started"
  fi
}
# F1 turns about Z (a trace line), W traces a dump: each mode must print what the replay
# prints for them, and neither may start a viewer.
for mode in stdout none; do
  "$sample" --trace "$mode" >"$WORK/trace-$mode.out" 2>"$WORK/sample2.err" &
  SAMPLE_PID=$!
  window=$(find_window)
  xdotool mousemove $((origin_x + client_width / 2)) $((origin_y + client_height / 2))
  xdotool key F1 key w
  expect_no_viewer "--trace $mode"
  "$send_close" "$window"
  wait_exit_within "$SAMPLE_PID" 1
  SAMPLE_PID=
  [[ "$EXIT_STATUS" -eq 0 ]] || fail "close button: exit status $EXIT_STATUS"
  if [[ $mode == stdout ]]; then
    printf 'key F1\npaint\nkey W\npaint\n' | "$replay" --trace stdout - >"$WORK/trace-replay.out"
  else
    : >"$WORK/trace-replay.out"
  fi
  cmp -s "$WORK/trace-$mode.out" "$WORK/trace-replay.out" ||
    fail "--trace $mode printed $(wc -l <"$WORK/trace-$mode.out") lines, the replay $(wc -l <"$WORK/trace-replay.out")"
done
echo "run 2: --trace stdout prints the replay's lines, --trace none nothing, neither starts a viewer; the close button exits with 0"

# --- run 3: a desktop scaled by 2 ---

stop_xvfb
start_xvfb 3840x2160x24
"$set_resources" $'Xft.antialias:\t1\nXft.dpi:\t192\n'
# (3840/2 - 350*2, 2160/2 - 327*2)
origin_x=1220 origin_y=426 scale=2
"$sample" 2>"$WORK/sample3.err" &
SAMPLE_PID=$!
window=$(find_window)
expect_geometry "$window" "$origin_x" "$origin_y" $((client_width * 2)) $((client_height * 2))
# The replay's frame after the script so far, every pixel doubled.
expect_doubled() {
  echo "png $WORK/$1.png" >>"$WORK/replay.txt"
  "$replay" --trace none "$WORK/replay.txt" >/dev/null
  convert "$WORK/$1.png" -filter point -resize 200% "png24:$WORK/$1-x2.png"
  expect_window "$window" "$WORK/$1-x2.png" "scale-2-$1"
}
: >"$WORK/replay.txt"
expect_doubled start-up
play_line drag 1 300,300 310,300 310,320 290,320 291,321
expect_doubled dragged
xdotool key Escape
wait_exit_within "$SAMPLE_PID" 1
SAMPLE_PID=
[[ "$EXIT_STATUS" -eq 0 ]] || fail "scale 2: Escape: exit status $EXIT_STATUS"
echo "run 3: at scale 2 the 1400x1308 client area shows the replay's frames doubled, before and after a drag"
