#!/usr/bin/env bash
# The window on a desktop at 200 % (LogPixels 192): a client area of 1400 x 1308 centred on
# the screen, in which every pixel of the picture is an exact 2 x 2 square: after keys and
# a right-button drag (whose positions must reach the program halved) it equals the replay
# tool's frame for the same messages, enlarged twice. On a screen of its own, large enough,
# with a Wine server of its own. The 100 % picture is window.sh's.
source "$(dirname "$0")/common.bash"

desktop=1600x1500
xvfb_pid=""
# A copy of the prefix with its own Wine server: the screen's size and dots per inch set
# here stay out of the other tests (hard links: the registry is replaced, never rewritten).
shared_prefix=$WINEPREFIX shared_display=$DISPLAY
cp -al "$shared_prefix" "$work/prefix" 2>/dev/null || cp -a "$shared_prefix" "$work/prefix"
export WINEPREFIX="$work/prefix"
restore() {
  wineserver -k 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  # The shared prefix's clean-up runs on the shared screen: a Wine desktop started there on
  # this test's screen, about to go, would leave the next test without windows.
  WINEPREFIX=$shared_prefix DISPLAY=$shared_display cleanup
}
trap restore EXIT

start_screen_at_200 "$desktop"

start_program "$WIN_BUILD"
info=$(probe main-window 2000 | tr -d '\r')
grep -qx 'client=1400x1308' <<<"$info" || fail "client area at 200 %: $info"
# Half the screen less the picture's centre (350, 327), twice.
grep -qx 'window=100,96,[0-9]*,[0-9]*' <<<"$info" || fail "placement at 200 %: $info"
ok "at 200 % the client area is 1400 x 1308, centred ($(grep '^window=' <<<"$info"))"

IFS=, read -r wx wy _ <<<"$(sed -n 's/^window=//p' <<<"$info")"
IFS=, read -r ox oy <<<"$(sed -n 's/^client_origin=//p' <<<"$info")"
cx=$((wx + ox)) cy=$((wy + oy))
# Screen positions within the client area; the program must see them halved (rounded down).
xdotool mousemove $((cx + 400)) $((cy + 300))
xdotool key Left key Up
xdotool mousedown 3 mousemove $((cx + 521)) $((cy + 381)) mouseup 3
printf '%s\n' 'key LEFT' 'key UP' 'mouse move 200 150 0' 'mouse rdown 200 150 2' \
  'mouse move 260 190 2' 'mouse rup 260 190 0' 'paint' "png $work/replay.png" |
  "$FPU_LINUX_REPLAY" --trace none --scale 2 >/dev/null || fail "the replay tool failed"
# Wine draws the counter's text with a font of its own: that corner is left out.
hide_text=(-fill black -draw 'rectangle 0,0 127,35')
convert "$work/replay.png" "${hide_text[@]}" "$work/expected.png"
differing=unknown
for _ in $(seq 3); do
  sleep 0.5
  import -window root -crop "1400x1308+$cx+$cy" +repage "$work/screen.png"
  convert "$work/screen.png" "${hide_text[@]}" "$work/client.png"
  differing=$(compare -metric AE "$work/client.png" "$work/expected.png" null: 2>&1 || true)
  [[ "$differing" == 0 ]] && break
done
[[ "$differing" == 0 ]] ||
  fail "the client area differs from the replay frame at scale 2 in $differing pixels"
ok "every pixel is a 2 x 2 square of the replay frame after keys and a drag"

xdotool key Escape
wait_exit 10
