# A private Xvfb screen for tests, benchmarks and CI stages (sourced).
#   start_xvfb [SCREEN]   SCREEN default 1920x1080x24; sets XVFB_PID and exports DISPLAY
#   stop_xvfb             safe to call whether or not one was started
# Xvfb picks a free display number itself and writes it through -displayfd once it accepts
# connections, so nothing guesses a number and nothing sleeps waiting for it.

XVFB_PID=

start_xvfb() {
  local screen=${1:-1920x1080x24} dir number=""
  dir=$(mktemp -d)
  mkfifo "$dir/display"
  Xvfb -displayfd 3 -screen 0 "$screen" -noreset -nolisten tcp 3>"$dir/display" \
    2>"$dir/xvfb.log" &
  XVFB_PID=$!
  read -r -t 20 number <"$dir/display" || true
  if [[ ! "$number" =~ ^[0-9]+$ ]]; then
    echo "Xvfb did not start: $(tail -3 "$dir/xvfb.log")" >&2
    rm -rf "$dir"
    stop_xvfb
    return 1
  fi
  rm -rf "$dir"
  export DISPLAY=":$number"
}

stop_xvfb() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
