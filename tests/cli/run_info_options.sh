#!/usr/bin/env bash
# --help and --version on every program: status 0 at once, the answer on standard output,
# nothing opened (no display is set, so a program that went on would fail with status 2,
# saying so). The demo's short forms, and its refusal of an unknown option, the same way.
#   run_info_options.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
failures=0
for program in "$@"; do
  name=$(basename "$program")
  # An option of the program's own before the question.
  own_option="--dir /nonexistent"
  # option | first line of the answer (a glob) | arguments around it | exit status
  entries=("--version|$name $version||0" "--help|usage: $name *||0")
  if [[ $name == fpu-sample ]]; then
    own_option="--scale 2"
    entries+=("-V|$name $version||0" "-h|usage: $name *||0"
      "--bogus|$name: unknown option '--bogus'||2" "--help|$name: unknown option '--x'|--x|2")
  fi
  entries+=("--version|$name $version|$own_option|0")
  for entry in "${entries[@]}"; do
    IFS='|' read -r option expected extra want_status <<<"$entry"
    status=0
    # shellcheck disable=SC2086
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 5 "$program" $extra "$option" 2>&1) || status=$?
    first=$(head -n 1 <<<"$out")
    # shellcheck disable=SC2053
    if [[ $status -ne $want_status || $first != $expected ]]; then
      echo "FAIL $name $extra $option: status $status, first line '$first', expected '$expected'" >&2
      failures=$((failures + 1))
    else
      echo "ok   $name $extra $option: $first"
    fi
  done
done
exit $((failures > 0))
