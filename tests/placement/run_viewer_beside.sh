#!/usr/bin/env bash
# Under openbox (with a 40-pixel bottom panel margin per scale), at desktop scales 1 and 2,
# the program is moved to the right edge, the bottom edge and the top-left corner, and a
# traced key starts the viewer: its frame must miss the program's and lie in the work area,
# and its key-hint line and key list (F1) must not be cut. A viewer started without --beside,
# or told of a frame far off the screen, stays in the work area.
#   run_viewer_beside.sh FPU_SAMPLE
set -euo pipefail
sample=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
WORK=$(mktemp -d)
SAMPLE_PID='' VIEWER_PID='' OPENBOX_PID=''
stop() { for pid in "$@"; do if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi; done; }
trap 'stop "$VIEWER_PID" "$SAMPLE_PID" "$OPENBOX_PID"; stop_xvfb; rm -rf "$WORK"' EXIT
# shellcheck source=../e2e/x_session.sh
source "$here/../e2e/x_session.sh"
load_names "$(dirname "$sample")"
require_tools Xvfb openbox wmctrl xdotool xprop xwininfo import convert
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Prints the numbers after '=' of an X property.
numbers() { xprop "$@" | sed -n 's/.*= //p' | tr -d ,; }
# Sets FX FY FW FH to WINDOW's frame once it stays put for three polls.
settled_frame() {
  local last="" now i same=0 l r t b x y w h
  for ((i = 0; i < 100 && same < 3; i++)); do
    sleep 0.1
    read -r l r t b <<<"$(numbers -id "$1" _NET_FRAME_EXTENTS)"
    read -r x y w h <<<"$(xwininfo -id "$1" | sed -n 's/.*\(Absolute upper-left [XY]\|Width\|Height\): *//p' | tr '\n' ' ')"
    now="$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
    [[ -n "$b" && "$now" == "$last" ]] && same=$((same + 1)) || same=0
    last=$now
  done
  ((same >= 3)) || fail "window $1 did not settle: $last"
  read -r FX FY FW FH <<<"$now"
}
# "WIDTH HEIGHT X Y" of what differs from the corners' colour in IMAGE cropped to GEOMETRY.
ink() { convert "$1" -crop "$2" +repage -format '%@' info: 2>/dev/null | tr 'x+' '  '; }

check_text_fits() {
  local viewer=$1 scale=$2 shot="$WORK/shot.png" width height w x y h
  import -window "$viewer" "png24:$shot"
  read -r width height <<<"$(identify -format '%w %h' "$shot")"
  local band=$((12 * scale)) margin=$((4 * scale)) bar=$((width - 16 * scale))
  read -r w _ x _ <<<"$(ink "$shot" "${width}x$band+0+$((height - band - 2 * scale))")"
  ((x + w + margin <= width)) || fail "$3: the key-hint line is cut (ends at $((x + w)) of $width)"
  # A key list cut by the window is as wide as the window less the margins: its top border
  # would reach the scroll bar.
  xdotool windowactivate --sync "$viewer" key F1 2>/dev/null
  sleep 0.5
  import -window "$viewer" "png24:$shot"
  read -r w _ x _ <<<"$(ink "$shot" "${bar}x1+0+$margin")"
  read -r _ h _ y <<<"$(ink "$shot" "1x$((height - 30 * scale))+$margin+0")"
  ((x + w < bar && y + h <= height - band)) || fail "$3: the key list (${w}x$h) is cut"
}

for scale in 1 2; do
  start_xvfb "$((1920 * scale))x$((1080 * scale))x24"
  printf '<openbox_config xmlns="http://openbox.org/3.4/rc"><margins><bottom>%d</bottom>%s' \
    $((40 * scale)) '</margins></openbox_config>' >"$WORK/rc.xml"
  openbox --sm-disable --config-file "$WORK/rc.xml" 2>"$WORK/openbox.log" &
  OPENBOX_PID=$!
  for ((i = 0; i < 100; i++)); do [[ -n "$(numbers -root _NET_WORKAREA)" ]] && break; sleep 0.1; done
  read -r WX WY WW WH _ <<<"$(numbers -root _NET_WORKAREA)"
  for where in right-edge bottom-edge top-left; do
    GDK_SCALE=$scale "$sample" 2>"$WORK/sample.err" &
    SAMPLE_PID=$!
    window=$(find_window)
    settled_frame "$window"
    case "$where" in
      right-edge) x=$((WX + WW - FW)) y=$FY ;;
      bottom-edge) x=$FX y=$((WY + WH - FH)) ;;
      top-left) x=$WX y=$WY ;;
    esac
    wmctrl -i -r "$window" -e "0,$x,$y,-1,-1"
    settled_frame "$window"
    read -r px py pw ph <<<"$FX $FY $FW $FH"
    label="scale $scale, $where"
    [[ "$px,$py" == "$x,$y" ]] || fail "$label: the program went to $px,$py, not $x,$y"
    # At first a key without a command turns about Z, whose trace line starts the viewer.
    xdotool windowactivate --sync "$window" key F1 2>/dev/null
    viewer=
    for ((i = 0; i < 100 && ${#viewer} == 0; i++)); do
      sleep 0.1
      viewer=$(xdotool search --onlyvisible --name "$(name_prefix "$FPU_VIEWER_TITLE")" 2>/dev/null | head -1) || true
    done
    [[ -n "$viewer" ]] || fail "$label: no viewer within 10 s"
    VIEWER_PID=$(xdotool getwindowpid "$viewer")
    settled_frame "$viewer"
    placed="viewer ${FW}x$FH at ($FX, $FY), program ${pw}x$ph at ($px, $py)"
    ((FX >= px + pw || px >= FX + FW || FY >= py + ph || py >= FY + FH)) ||
      fail "$label: the viewer covers the program: $placed"
    ((FX >= WX && FY >= WY && FX + FW <= WX + WW && FY + FH <= WY + WH)) ||
      fail "$label: the viewer leaves the work area ${WW}x$WH+$WX+$WY: $placed"
    check_text_fits "$viewer" "$scale" "$label"
    echo "$label: $placed; its text fits"
    stop "$VIEWER_PID" "$SAMPLE_PID"
    wait "$SAMPLE_PID" 2>/dev/null || true
    VIEWER_PID='' SAMPLE_PID=''
  done
  # Started by hand (no --beside), or told of a frame far off any screen: inside the work area.
  viewer_bin="$(dirname "$sample")/fpu-trace-viewer"
  for beside in '' '2147483647,-2147483648,2147483647,2147483647,2147483647,0,2147483647,9'; do
    rm -rf "$WORK/endpoint" && mkdir -m 700 "$WORK/endpoint"
    GDK_SCALE=$scale "$viewer_bin" --dir "$WORK/endpoint" ${beside:+--beside "$beside"} &
    VIEWER_PID=$!
    viewer=$(timeout 10 xdotool search --sync --onlyvisible --pid "$VIEWER_PID" 2>/dev/null | head -1) ||
      fail "scale $scale, --beside '$beside': no viewer window"
    settled_frame "$viewer"
    ((FX >= WX && FY >= WY && FX + FW <= WX + WW && FY + FH <= WY + WH)) ||
      fail "scale $scale, --beside '$beside': ${FW}x$FH at ($FX, $FY) leaves the work area"
    echo "scale $scale, --beside '$beside': viewer ${FW}x$FH at ($FX, $FY)"
    stop "$VIEWER_PID"
    wait "$VIEWER_PID" 2>/dev/null || true
    VIEWER_PID=''
  done
  stop "$OPENBOX_PID"
  wait "$OPENBOX_PID" 2>/dev/null || true
  OPENBOX_PID=
  stop_xvfb
done
