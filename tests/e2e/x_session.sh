# Shell helpers for driving fpu-sample on a private Xvfb screen (sourced by the end-to-end
# test and the window bench). Callers set WORK to a scratch directory first.

# Callers load the window names first: load_names BUILD_DIR (names.sh of that build).
# shellcheck source=../../scripts/lib/names.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/names.sh"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Fails (does not skip) when a tool is missing, naming the package step that installs it.
require_tools() {
  local missing=()
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if [[ ${#missing[@]} -gt 0 ]]; then
    fail "missing ${missing[*]}; install them with: bash scripts/install-deps.sh --test"
  fi
}

# start_xvfb [SCREEN] and stop_xvfb: a screen of this run's own.
# shellcheck source=../../scripts/lib/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/xvfb.sh"

# Prints the id of the one window with the program's title, waiting up to 10 s for it.
find_window() {
  local ids
  ids=$(timeout 10 xdotool search --sync --name "$(name_pattern "$FPU_WINDOW_TITLE")" \
    2>/dev/null) || fail "no window titled '$FPU_WINDOW_TITLE' appeared within 10 s"
  [[ $(wc -l <<<"$ids") -eq 1 ]] || fail "more than one window with the program's title: $ids"
  echo "$ids"
}

# Waits up to SECONDS for process PID (a child of this shell) to end and sets EXIT_STATUS
# to its exit status. Fails on timeout. Not for $(...): a subshell cannot wait for it.
wait_exit_within() {
  local pid=$1 seconds=$2
  local steps=$((seconds * 50))
  local i
  for ((i = 0; i < steps; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      EXIT_STATUS=0
      wait "$pid" || EXIT_STATUS=$?
      return 0
    fi
    sleep 0.02
  done
  fail "process $pid still running ${seconds} s later"
}

# Writes the window's client area (the whole X window: SDL draws no frame) to a PNG.
screenshot() {
  local window=$1 out=$2
  import -window "$window" "png24:$out" 2>>"$WORK/import.log"
}

# Polls WINDOW until it shows exactly the image EXPECTED (up to 5 s); fails with the number
# of differing pixels, copying the images to the current folder.
expect_window() {
  local window=$1 expected=$2 label=$3
  local shot="$WORK/$label-window.png" differing=unknown i
  for ((i = 0; i < 50; i++)); do
    if screenshot "$window" "$shot"; then
      differing=$(compare -metric AE "$shot" "$expected" "$WORK/$label-diff.png" 2>&1 >/dev/null) &&
        return 0
    fi
    sleep 0.1
  done
  cp "$shot" "$expected" "$WORK/$label-diff.png" "$PWD/" 2>/dev/null || true
  fail "$label: window differs from the replay in $differing pixels (images copied to $PWD)"
}

# Fails unless WINDOW's client area is at X,Y and WIDTHxHEIGHT on the screen.
expect_geometry() {
  local want="$2,$3 $4x$5"
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=-?[0-9]+$')"
  [[ "$X,$Y ${WIDTH}x$HEIGHT" == "$want" ]] ||
    fail "client area ${WIDTH}x$HEIGHT at ($X, $Y), expected $want"
}
