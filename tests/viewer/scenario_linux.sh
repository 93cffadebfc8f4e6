#!/usr/bin/env bash
# The viewer scenario (scenario.bash) on the Linux viewer: the demo and the viewer it starts
# under openbox on a private Xvfb screen, at scales 1 and 2: the second a demo started with
# --scale 2 on a desktop at scale 1, whose viewer must follow the demo.
#   scenario_linux.sh FPU_SAMPLE
set -euo pipefail
sample=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
WORK=$(mktemp -d)
DEMO_PID='' VIEWER_PID='' OPENBOX_PID=''
stop() { for pid in "$@"; do if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi; done; }
trap 'stop "$VIEWER_PID" "$DEMO_PID" "$OPENBOX_PID"; stop_xvfb; rm -rf "$WORK"' EXIT
# shellcheck source=../e2e/x_session.sh
source "$here/../e2e/x_session.sh"
# shellcheck source=scenario.bash
source "$here/scenario.bash"
load_names "$(dirname "$sample")"
require_tools Xvfb openbox xdotool import python3
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run" XDG_DOCUMENTS_DIR="$WORK/docs" HOME="$WORK"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_DOCUMENTS_DIR"

ok() { echo "ok   $*"; }
start_demo() {
  GDK_SCALE=1 "$sample" --scale "$SCALE" 2>"$WORK/demo.err" &
  DEMO_PID=$!
  DEMO=$(find_window)
  xdotool windowactivate --sync "$DEMO" 2>/dev/null
}
find_viewer() {
  VIEWER=$(timeout 10 xdotool search --sync --onlyvisible --name "$(name_prefix "$FPU_VIEWER_TITLE")" |
    head -1) || fail "no viewer within 10 s"
  VIEWER_PID=$(xdotool getwindowpid "$VIEWER")
  # Opened at its height for the demo's scale (480 pixels at 1), not the desktop's.
  local height
  height=$(xdotool getwindowgeometry "$VIEWER" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
  ((height >= 480 * SCALE)) || fail "scale $SCALE: the viewer is $height pixels tall, not at the demo's scale"
}
focus_viewer() { xdotool windowactivate --sync "$VIEWER" 2>/dev/null; }
# The viewer's endpoint, talked to as the demo does: "send" sends each line of the input,
# "count" prints how many lines the viewer holds.
cat >"$WORK/endpoint.py" <<'PY'
import glob, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
s.connect(glob.glob(sys.argv[1] + "/*.sock")[0])
if sys.argv[2] == "send":
    for line in sys.stdin.read().splitlines():
        s.send(b"L" + line.encode())
else:
    s.send(b"T")
    print(len(s.recv(1 << 20)[1:].decode().splitlines()))
PY
endpoint() { python3 "$WORK/endpoint.py" "$XDG_RUNTIME_DIR" "$1"; }
send_lines() { endpoint send; }
wait_lines() {
  local n
  for _ in $(seq 100); do
    n=$(endpoint count) && [[ "$n" == "$1" ]] && return
    sleep 0.1
  done
  fail "the viewer holds $n lines, not $1"
}
save_text() {
  xdotool key ctrl+s
  local files
  for _ in $(seq 50); do
    files=("$XDG_DOCUMENTS_DIR"/fpu-trace-*.txt)
    [[ -f "${files[0]}" ]] && break
    sleep 0.1
  done
  [[ -f "${files[0]}" ]] || fail "Ctrl+S saved nothing"
  sleep 0.2
  mv "${files[0]}" "$1"
}
highlight_rules() { cat "$HOME/.config/fpu-trace-viewer/highlight.conf" 2>/dev/null || true; }
stop_demo() {
  stop "$VIEWER_PID"
  xdotool windowactivate --sync "$DEMO" 2>/dev/null && xdotool key Escape
  wait_exit_within "$DEMO_PID" 10
  VIEWER_PID='' DEMO_PID=''
}

for SCALE in 1 2; do
  SCROLL_BAR=$((14 * SCALE))
  start_xvfb "$((1920 * SCALE))x$((1080 * SCALE))x24"
  openbox --sm-disable 2>"$WORK/openbox.log" &
  OPENBOX_PID=$!
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
  run_scenario
  stop "$OPENBOX_PID"
  wait "$OPENBOX_PID" 2>/dev/null || true
  OPENBOX_PID=
  stop_xvfb
done
