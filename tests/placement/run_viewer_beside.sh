#!/usr/bin/env bash
# The trace viewer opens beside the program's window wherever the user moved it, under a
# real window manager (openbox, with a 40-pixel panel margin at the bottom): the program
# is moved to the right edge, the bottom edge and the top-left corner, at desktop scales
# 1 and 2, and a traced key starts the viewer each time. Its frame must not overlap the
# program's frame and must lie in the work area; its key-hint line and its key list (F1)
# must fit in it.
#   run_viewer_beside.sh FPU_SAMPLE
set -euo pipefail

sample=$(realpath "$1")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
SAMPLE_PID=
VIEWER_PID=
OPENBOX_PID=
stop_programs() {
  if [[ -n "$VIEWER_PID" ]]; then kill "$VIEWER_PID" 2>/dev/null || true; fi
  if [[ -n "$SAMPLE_PID" ]]; then
    kill "$SAMPLE_PID" 2>/dev/null || true
    wait "$SAMPLE_PID" 2>/dev/null || true
  fi
  VIEWER_PID= SAMPLE_PID=
}
stop_session() {
  if [[ -n "$OPENBOX_PID" ]]; then
    kill "$OPENBOX_PID" 2>/dev/null || true
    wait "$OPENBOX_PID" 2>/dev/null || true
    OPENBOX_PID=
  fi
  stop_xvfb
}
cleanup() {
  stop_programs
  stop_session
  if [[ "${KEEP_E2E_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=../e2e/x_session.sh
source "$here/../e2e/x_session.sh"
require_tools Xvfb openbox wmctrl xdotool xprop xwininfo import convert

export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset GDK_SCALE

start_session() {
  local screen=$1 panel=$2
  start_xvfb "$screen"
  cat >"$WORK/rc.xml" <<EOF
<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <margins><top>0</top><bottom>$panel</bottom><left>0</left><right>0</right></margins>
</openbox_config>
EOF
  openbox --sm-disable --config-file "$WORK/rc.xml" 2>"$WORK/openbox.log" &
  OPENBOX_PID=$!
  local i
  for ((i = 0; i < 100; i++)); do
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '= ' && return 0
    sleep 0.1
  done
  fail "openbox did not start: $(tail -3 "$WORK/openbox.log")"
}

# Sets WORK_X WORK_Y WORK_W WORK_H from _NET_WORKAREA.
read_work_area() {
  local values
  values=$(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g')
  read -r WORK_X WORK_Y WORK_W WORK_H _ <<<"$values"
}

# Sets FX FY FW FH (the frame) and CW CH (the client area) of WINDOW; fails when the
# window manager has not framed it yet.
read_frame() {
  local info extents left right top bottom x y
  info=$(xwininfo -id "$1")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  CW=$(sed -n 's/^ *Width: *//p' <<<"$info")
  CH=$(sed -n 's/^ *Height: *//p' <<<"$info")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS)
  [[ "$extents" == *=* ]] || return 1
  read -r left right top bottom <<<"$(sed 's/.*= //; s/,//g' <<<"$extents")"
  FX=$((x - left)) FY=$((y - top)) FW=$((CW + left + right)) FH=$((CH + top + bottom))
}

# Waits until WINDOW's frame stays put for a few polls (a window manager and the viewer
# may each move it once after it appears); sets what read_frame sets.
settled_frame() {
  local last="" now i same=0
  for ((i = 0; i < 100; i++)); do
    if read_frame "$1"; then
      now="$FX $FY $FW $FH"
      if [[ "$now" == "$last" ]]; then
        same=$((same + 1))
        ((same >= 3)) && return 0
      else
        same=0
      fi
      last=$now
    fi
    sleep 0.1
  done
  fail "window $1 did not settle: last frame $last"
}

# Prints the bounding box "WIDTH HEIGHT X Y" of what differs from the corners' colour in
# IMAGE cropped to GEOMETRY.
ink_box() {
  convert "$1" -crop "$2" +repage -format '%@' info: 2>/dev/null | sed 's/[x+]/ /g'
}

check_text_fits() {
  local viewer=$1 scale=$2 label=$3
  local shot="$WORK/$label.png" width height
  import -window "$viewer" "png24:$shot" 2>>"$WORK/import.log"
  read -r width height <<<"$(identify -format '%w %h' "$shot")"
  # The key-hint line: its text ends before the right margin.
  local band=$((12 * scale)) margin=$((4 * scale)) w h x y
  read -r w h x y <<<"$(ink_box "$shot" "${width}x$band+0+$((height - band - 2 * scale))")"
  ((x + w + margin <= width)) ||
    fail "$label: the key-hint line is cut (text to x=$((x + w)) of $width)"
  # The key list: its box is no narrower than its text asks (a box cut by the window is as
  # wide as the window less the margins, and its top border would run into the scroll
  # bar), and ends above the hint line. Its top and left borders tell its size.
  xdotool windowactivate --sync "$viewer" key F1 2>/dev/null
  sleep 0.5
  import -window "$viewer" "png24:$shot" 2>>"$WORK/import.log"
  local box_w box_h
  local left_of_bar=$((width - 16 * scale))
  read -r box_w _ x _ <<<"$(ink_box "$shot" "${left_of_bar}x1+0+$margin")"
  read -r _ box_h _ y <<<"$(ink_box "$shot" "1x$((height - 30 * scale))+$margin+0")"
  ((x + box_w < left_of_bar && y + box_h <= height - band)) ||
    fail "$label: the key list ${box_w}x$box_h at ($x, $y) does not fit the ${width}x$height window"
}

run_case() {
  local scale=$1 where=$2
  local label="scale-$scale-$where"
  GDK_SCALE=$scale "$sample" 2>"$WORK/$label.err" &
  SAMPLE_PID=$!
  local window
  window=$(find_window)
  settled_frame "$window"
  local x y
  case "$where" in
    right-edge) x=$((WORK_X + WORK_W - FW)) y=$FY ;;
    bottom-edge) x=$FX y=$((WORK_Y + WORK_H - FH)) ;;
    top-left) x=$WORK_X y=$WORK_Y ;;
  esac
  wmctrl -i -r "$window" -e "0,$x,$y,-1,-1"
  settled_frame "$window"
  [[ "$FX,$FY" == "$x,$y" ]] || fail "$label: the window manager put the program at $FX,$FY"
  local px=$FX py=$FY pw=$FW ph=$FH
  # A key without a command turns about Z, whose trace line starts the viewer.
  xdotool windowactivate --sync "$window" key F1 2>/dev/null
  local viewer
  viewer=$(timeout 10 xdotool search --sync --onlyvisible --name '^fpu trace viewer' 2>/dev/null |
    head -n 1) || fail "$label: the trace viewer did not appear within 10 s"
  VIEWER_PID=$(xdotool getwindowpid "$viewer")
  settled_frame "$viewer"
  local where_viewer="viewer ${FW}x$FH at ($FX, $FY), program ${pw}x$ph at ($px, $py)"
  if ((FX < px + pw && px < FX + FW && FY < py + ph && py < FY + FH)); then
    fail "$label: the viewer covers the program: $where_viewer"
  fi
  if ((FX < WORK_X || FY < WORK_Y || FX + FW > WORK_X + WORK_W || FY + FH > WORK_Y + WORK_H)); then
    fail "$label: the viewer is not inside the work area ${WORK_W}x$WORK_H+$WORK_X+$WORK_Y: $where_viewer"
  fi
  check_text_fits "$viewer" "$scale" "$label"
  echo "$label: $where_viewer; its text fits"
  stop_programs
}

for scale in 1 2; do
  start_session "$((1920 * scale))x$((1080 * scale))x24" $((40 * scale))
  read_work_area
  for where in right-edge bottom-edge top-left; do
    run_case "$scale" "$where"
  done
  stop_session
done
