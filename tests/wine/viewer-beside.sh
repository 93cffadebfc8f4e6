#!/usr/bin/env bash
# The viewer opens beside the program wherever the program's window was moved (near the
# right edge, in the top-left corner): its window never overlaps the program's and lies
# inside the desktop's work area. Started by hand (no --beside), it lies there too; told of
# a program at scale 2, its text follows.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
# Prints the value of NAME=X,Y,W,H in TEXT as "X Y W H".
rect_of() { sed -n "s/^$1=//p" <<<"$2" | tr ',' ' ' | tr -d '\r'; }

read -r wx wy ww wh <<<"$(rect_of work "$(probe work-area)")"
for where in right-edge top-left; do
  start_program "$WIN_BUILD"
  read -r _ _ pw ph <<<"$(rect_of window "$(probe main-window)")"
  case "$where" in
    right-edge) x=$((wx + ww - pw - 10)) y=$((wy + 100)) ;;
    top-left) x=$wx y=$wy ;;
  esac
  read -r px py pw ph <<<"$(rect_of window "$(probe main-window-move "$x" "$y")")"
  [[ "$px,$py" == "$x,$y" ]] || fail "$where: the program did not move to $x,$y ($px,$py)"
  # A key without a command turns about Z, whose trace line starts the viewer.
  xdotool key F1
  read -r vx vy vw vh <<<"$(rect_of viewer "$(probe viewer-window 10000)")"
  [[ -n "$vh" ]] || fail "$where: the viewer did not appear"
  placed="viewer ${vw}x$vh at ($vx, $vy), program ${pw}x$ph at ($px, $py)"
  if ((vx < px + pw && px < vx + vw && vy < py + ph && py < vy + vh)); then
    fail "$where: the viewer covers the program: $placed"
  fi
  if ((vx < wx || vy < wy || vx + vw > wx + ww || vy + vh > wy + wh)); then
    fail "$where: the viewer is outside the work area ${ww}x$wh+$wx+$wy: $placed"
  fi
  ok "$where: $placed"
  xdotool key Escape
  wait_exit 10
  probe viewer-close 3000 >/dev/null || fail "$where: the viewer cannot be closed"
done

(cd "$WIN_BUILD" && exec wine fpu-trace-viewer.exe) &
program_pid=$!
read -r vx vy vw vh <<<"$(rect_of viewer "$(probe viewer-window 10000)")"
[[ -n "$vh" ]] || fail "by hand: the viewer did not appear"
if ((vx < wx || vy < wy || vx + vw > wx + ww || vy + vh > wy + wh)); then
  fail "by hand: the viewer ${vw}x$vh at ($vx, $vy) is outside the work area ${ww}x$wh+$wx+$wy"
fi
ok "by hand: viewer ${vw}x$vh at ($vx, $vy)"
probe viewer-close 3000 >/dev/null || fail "by hand: the viewer cannot be closed"

# Told of a program whose picture is at scale 2 (a demo started with --scale 2 gives such a
# frame) on this desktop at 100 %: the viewer's text, and so its window, is at scale 2.
(cd "$WIN_BUILD" && exec wine fpu-trace-viewer.exe --beside -1300,0,1410,1335,5,27,5,8) &
program_pid=$!
read -r vx vy vw vh <<<"$(rect_of viewer "$(probe viewer-window 10000)")"
[[ -n "$vh" ]] || fail "--scale 2: the viewer did not appear"
((vw >= 2 * 480)) || fail "--scale 2: the viewer is ${vw}x$vh, not at the program's scale"
ok "--scale 2: viewer ${vw}x$vh at ($vx, $vy)"
probe viewer-close 3000 >/dev/null || fail "--scale 2: the viewer cannot be closed"
