#!/usr/bin/env bash
# The Linux replay tool against the GDI replay host of each Windows build under Wine, on
# the same scripts: the fixed cases in cases/*.script and --count scripts from
# gen-scripts.py. Requires
#   - the JSON output (dumps, trace lines, quit) of every run to be byte-identical, and
#   - every frame to match pixel for pixel outside the counter area (0,0)-(40,16), where
#     Wine draws with a font of its own (see tests/wine/gdi-compare.sh for the grey pixels
#     of it counted apart just beside that area).
# Frames whose line end points may lie beyond 2^28, where Wine rescales lines, are compared
# with fpu-parity-replay-wine-lines instead. Every run has a time-out: a hang fails the run.
#
#   run-differential.sh [--count N] [--seed S] [--frames F] [--timeout SEC] [--keep DIR]
#                       [--jobs N]   (scripts run side by side; default 1)
#
# Environment: FPU_LINUX_REPLAY (default build/default/fpu-sample-replay), FPU_WIN_BUILDS
# (default "build/mingw32 build/mingw64"). With WINEPREFIX and DISPLAY set (as
# .ci/extra/50-windows.sh does) it uses them; otherwise it starts an Xvfb and a Wine prefix
# of its own and removes them afterwards.
# Ends with "N scripts, M frames compared, K differing".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

count=30 seed=16 frames=12 limit=60 keep="" jobs=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --count) count=$2 ;;
    --seed) seed=$2 ;;
    --frames) frames=$2 ;;
    --timeout) limit=$2 ;;
    --keep) keep=$2 ;;
    --jobs) jobs=$2 ;;
    *) echo "usage: $0 [--count N] [--seed S] [--frames F] [--timeout SEC] [--keep DIR] [--jobs N]" >&2
       exit 2 ;;
  esac
  shift 2
done

replay=$(realpath "${FPU_LINUX_REPLAY:-$root/build/default/fpu-sample-replay}")
[[ -x "$replay" ]] || { echo "no Linux replay tool at $replay" >&2; exit 1; }
# Frames with far line end points are compared with the Linux replay drawing such lines as
# Wine does (built with the tests); without it they are only reported.
wine_lines=${FPU_WINE_LINES_REPLAY:-$(dirname "$replay")/tests/parity/fpu-parity-replay-wine-lines}
[[ -x "$wine_lines" ]] || wine_lines=""
read -r -a win_builds <<<"${FPU_WIN_BUILDS:-$root/build/mingw32 $root/build/mingw64}"
hosts=()
for b in "${win_builds[@]}"; do
  exe=$(realpath "$b/fpu-sample-replay-gdi.exe")
  [[ -f "$exe" ]] || { echo "no GDI replay host at $exe" >&2; exit 1; }
  hosts+=("$exe")
done

# shellcheck source=../../scripts/lib/xvfb.sh
source "$root/scripts/lib/xvfb.sh"
# shellcheck source=../../scripts/lib/wine.sh
source "$root/scripts/lib/wine.sh"
work=$(mktemp -d)
cleanup() {
  stop_wine_prefix
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [[ -z "${DISPLAY:-}" ]]; then
  start_xvfb
fi
if [[ -z "${WINEPREFIX:-}" ]]; then
  start_wine_prefix "$work/prefix" 600
fi

mkdir -p "$work/scripts"
cp "$here"/cases/*.script "$work/scripts/"
python3 "$here/gen-scripts.py" --seed "$seed" --count "$count" --frames "$frames" \
  --out "$work/scripts"

# run_one SCRIPT SIDE EXT PROGRAM...: runs the script with OUT and EXT filled in; the exit
# status and time-out go to SIDE.status.
run_one() {
  local script=$1 side=$2 ext=$3
  shift 3
  local name out args
  name=$(basename "$script" .script)
  out="$work/out/$name/$side"
  mkdir -p "$out"
  sed "s|OUT|$out|; s|EXT|$ext|" "$script" >"$out.script"
  args=$(sed -n '1s/^# replay-args: //p' "$script")
  local status=0
  # shellcheck disable=SC2086  # args holds options
  timeout -k 5 "$limit" "$@" $args "$out.script" >"$out.out" 2>"$out.err" || status=$?
  echo "$status" >"$out.status"
}

run_script() {
  local i=0
  run_one "$1" lin png "$replay"
  [[ -z "$wine_lines" ]] || run_one "$1" wl png "$wine_lines"
  for exe in "${hosts[@]}"; do
    run_one "$1" "win$i" ppm wine "$exe"
    i=$((i + 1))
  done
}
# The runs are waited for by id: the Xvfb this script may have started is a child too.
running=()
for script in "$work"/scripts/*.script; do
  if [[ ${#running[@]} -ge $jobs ]]; then
    wait "${running[0]}" || true
    running=("${running[@]:1}")
  fi
  run_script "$script" &
  running+=($!)
done
for pid in "${running[@]}"; do wait "$pid" || true; done
# One converter for all Linux frames.
find "$work/out" \( -path '*/lin/*.png' -o -path '*/wl/*.png' \) -print0 |
  xargs -0 -r mogrify -format ppm

[[ -n "$keep" ]] && { mkdir -p "$keep"; cp -r "$work/out" "$work/scripts" "$keep/"; }
names=()
for b in "${win_builds[@]}"; do names+=("$(basename "$b")"); done
python3 "$here/compare-frames.py" "$work/out" "${#hosts[@]}" "${names[@]}"
