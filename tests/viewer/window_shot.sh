#!/usr/bin/env bash
# The windowed viewer on its own Xvfb screen, sent a traced string-art frame by the replay
# tool: the screenshot shows text, a scroll bar with its thumb at the end (following) and
# the help line; after Home new lines leave the view alone; Ctrl+S saves every line into
# the documents folder and names the file in the window; a drag sets X's PRIMARY selection.
#   window_shot.sh FPU_TRACE_VIEWER FPU_SAMPLE_REPLAY
set -euo pipefail

viewer=$(realpath "$1")
replay=$(realpath "$2")
here=$(dirname "$(realpath "$0")")

WORK=$(mktemp -d)
VIEWER_PID=
cleanup() {
  if [[ -n "$VIEWER_PID" ]]; then kill "$VIEWER_PID" 2>/dev/null || true; fi
  stop_xvfb
  if [[ "${KEEP_VIEWER_WORK:-}" == 1 ]]; then echo "work files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# shellcheck source=../e2e/x_session.sh
source "$here/../e2e/x_session.sh"
load_names "$(dirname "$viewer")"
require_tools Xvfb xdotool import python3 xclip

# Under the asan preset: an SDL window with a renderer leaks 128 bytes inside a library SDL
# unloads again (a bare SDL program does the same), which no suppression can name.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export XDG_RUNTIME_DIR="$WORK/run" XDG_DOCUMENTS_DIR="$WORK/docs" HOME="$WORK"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_DOCUMENTS_DIR"
start_xvfb

"$viewer" --dir "$XDG_RUNTIME_DIR" 2>"$WORK/viewer.log" &
VIEWER_PID=$!
WINDOW=$(timeout 10 xdotool search --sync --name "$(name_pattern "$FPU_VIEWER_TITLE")" | head -1) ||
  fail "no viewer window appeared: $(cat "$WORK/viewer.log")"

# A string-art frame with tracing on, then the dump of W.
printf 'key S\nkey Y\npaint\nkey W\n' >"$WORK/frame.txt"
send_frame() { "$replay" --trace viewer "$WORK/frame.txt" >/dev/null || fail "replay failed"; }

# measure: a screenshot, summed up as "text=<dark pixels above the bands> help=<rows of the
# help band> helptext=<dark pixels in it> bar=<scroll bar rows> thumb=<first>,<last row>
# texthash=<crc of the text area>".
measure() {
  sleep 0.5
  import -window "$WINDOW" -depth 8 "ppm:$WORK/shot.ppm" 2>>"$WORK/import.log" || fail "no screenshot"
  python3 - "$WORK/shot.ppm" <<'PY'
import sys, zlib
data = open(sys.argv[1], "rb").read()
magic, w, h, maxval, px = data.split(maxsplit=4)
w, h = int(w), int(h)
row = lambda y: px[3 * w * y:3 * w * (y + 1)]
at = lambda x, y: tuple(row(y)[3 * x:3 * x + 3])
dark = lambda y, x0, x1: sum(1 for x in range(x0, x1) if max(at(x, y)) < 100)
help_rows = 0
while help_rows < h and sum(at(x, h - 1 - help_rows) == (225,) * 3 for x in range(w)) > w // 3:
    help_rows += 1
top = h - help_rows
bar = [at(w - 4, y) for y in range(top)]
thumb = [y for y, c in enumerate(bar) if c == (150,) * 3]
print(f"text={sum(dark(y, 0, w - 30) for y in range(top))} help={help_rows}"
      f" helptext={sum(dark(y, 0, w) for y in range(top, h))}"
      f" bar={sum(c in ((235,) * 3, (150,) * 3) for c in bar)}"
      f" thumb={thumb[0] if thumb else -1},{thumb[-1] if thumb else -1}"
      f" texthash={zlib.crc32(b''.join(row(y)[:3 * (w - 30)] for y in range(top)))}")
PY
}
value() { sed -n "s/.*\b$1=\([-0-9]*\).*/\1/p" <<<"$2"; }

send_frame
m=$(measure)
(($(value text "$m") > 2000)) || fail "no text drawn: $m"
(($(value help "$m") >= 10 && $(value helptext "$m") > 200)) || fail "no help line: $m"
bar=$(value bar "$m")
((bar > 100)) || fail "no scroll bar: $m"
[[ "$m" == *"thumb="*",$((bar - 1)) "* ]] || fail "the thumb is not at the end while following: $m"
echo "ok   text drawn, a scroll bar with its thumb at the end, the help line"

xdotool key --window "$WINDOW" Home
m=$(measure)
[[ "$m" == *"thumb=0,"* ]] || fail "Home did not move the thumb to the top: $m"
send_frame
[[ $(value texthash "$(measure)") == $(value texthash "$m") ]] ||
  fail "new lines moved the view away from the first lines"
echo "ok   after Home new lines leave the view on the first lines"

xdotool key --window "$WINDOW" ctrl+s
saved=$(measure)
file=("$XDG_DOCUMENTS_DIR"/fpu-trace-*.txt)
[[ -f "${file[0]}" ]] || fail "Ctrl+S saved nothing into $XDG_DOCUMENTS_DIR"
sent=$("$replay" --trace stdout "$WORK/frame.txt" | grep -c '^{"trace":')
lines=$(wc -l <"${file[0]}")
((lines == 2 * sent)) || fail "the saved file has $lines lines, not 2 x $sent"
! grep -q $'\r' "${file[0]}" || fail "the saved file has CR line breaks"
(($(value bar "$saved") < bar - 10)) || fail "no status line above the help line: $saved"
[[ "$(xdotool getwindowname "$WINDOW")" == *"${file[0]}" ]] || fail "the title does not name the file"
echo "ok   Ctrl+S saves all $lines lines and says where in the window"

# A drag along the first line selects its start: X's PRIMARY selection has it at once, the
# clipboard only after Ctrl+C.
xdotool mousemove --window "$WINDOW" 2 10 mousedown 1 mousemove --window "$WINDOW" 200 10 mouseup 1
sleep 0.3
primary=$(timeout 5 xclip -o -selection primary 2>/dev/null) || fail "no PRIMARY selection after a drag"
[[ -n "$primary" && "$(head -n 1 "${file[0]}")" == "$primary"* ]] ||
  fail "PRIMARY holds '$primary', not the start of '$(head -n 1 "${file[0]}")'"
! timeout 5 xclip -o -selection clipboard >/dev/null 2>&1 || fail "a drag alone filled the clipboard"
xdotool key --window "$WINDOW" ctrl+c
sleep 0.3
[[ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null)" == "$primary" ]] ||
  fail "Ctrl+C did not put the selection on the clipboard"
echo "ok   a drag sets the PRIMARY selection ('$primary'); Ctrl+C the clipboard"

kill "$VIEWER_PID"
wait "$VIEWER_PID" || fail "the viewer ended with status $?"
VIEWER_PID=
