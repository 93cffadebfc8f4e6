#!/usr/bin/env bash
# A display that cannot be opened: each windowed program says so on one line that names the
# display and both ways to run it (Xvfb, or without a window), and exits with status 2
# within a second, never falling back to a driver that shows nothing.
#   run_no_display.sh FPU_SAMPLE FPU_TRACE_VIEWER
set -euo pipefail
sample=$1
viewer=$2
# Under the asan preset: leaks inside libraries SDL loads are not ours to report.
here=$(dirname "$(realpath "$0")")
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# A display number with no server behind it.
free=99
while [[ -e "/tmp/.X11-unix/X$free" || -e "/tmp/.X$free-lock" ]]; do free=$((free + 1)); done
run_dir=$(mktemp -d)
trap 'rm -rf "$run_dir"' EXIT

failures=0
# program | environment | text the line must name | how the program can run instead
cases=(
  "$sample|-u DISPLAY -u WAYLAND_DISPLAY|DISPLAY is not set|fpu-sample-replay"
  "$sample|-u WAYLAND_DISPLAY DISPLAY=:$free|DISPLAY=:$free|fpu-sample-replay"
  "$sample|-u DISPLAY WAYLAND_DISPLAY=fpu-nowhere XDG_RUNTIME_DIR=$run_dir|WAYLAND_DISPLAY=fpu-nowhere|fpu-sample-replay"
  "$viewer|-u DISPLAY -u WAYLAND_DISPLAY|DISPLAY is not set|--headless"
  "$viewer|-u WAYLAND_DISPLAY DISPLAY=:$free|DISPLAY=:$free|--headless"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r program environment names instead <<<"$entry"
  label="$(basename "$program") with $environment"
  start=$(date +%s%N)
  status=0
  # The viewer's endpoint folder stays private to the run.
  arguments=()
  [[ "$program" == "$viewer" ]] && arguments=(--dir "$run_dir")
  # shellcheck disable=SC2086
  message=$(env -u SDL_VIDEODRIVER $environment XDG_RUNTIME_DIR="${run_dir}" \
    timeout 5 "$program" "${arguments[@]}" 2>&1 >/dev/null) || status=$?
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  problems=()
  [[ $status -eq 2 ]] || problems+=("exit status $status, expected 2")
  ((elapsed_ms < 1000)) || problems+=("took ${elapsed_ms} ms")
  [[ $(wc -l <<<"$message") -eq 1 ]] || problems+=("not one line")
  [[ "$message" == *"no display"*"$names"* ]] || problems+=("does not name $names")
  [[ "$message" == *"xvfb-run"* ]] || problems+=("does not show how to run under Xvfb")
  [[ "$message" == *"$instead"* ]] || problems+=("does not mention $instead")
  if [[ ${#problems[@]} -gt 0 ]]; then
    printf 'FAIL %s: %s\n  stderr: %s\n' "$label" "$(IFS=';'; echo "${problems[*]}")" "$message" >&2
    failures=$((failures + 1))
  else
    echo "ok   $label: ${elapsed_ms} ms"
  fi
done
exit $((failures > 0))
