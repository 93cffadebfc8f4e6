#!/usr/bin/env bash
# --help and --version on every program: status 0 at once, the answer on standard output,
# nothing opened (no display is set, so a program that went on would fail with status 2).
#   run_info_options.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
failures=0
for program in "$@"; do
  name=$(basename "$program")
  # option | first line of the answer (a glob) | arguments around it
  for entry in "--version|$name $version|" "--help|usage: $name *|" "--version|$name $version|--dir /nonexistent"; do
    IFS='|' read -r option expected extra <<<"$entry"
    status=0
    # shellcheck disable=SC2086
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 5 "$program" $extra "$option" 2>&1) || status=$?
    first=$(head -n 1 <<<"$out")
    # shellcheck disable=SC2053
    if [[ $status -ne 0 || $first != $expected ]]; then
      echo "FAIL $name $extra $option: status $status, first line '$first', expected '$expected'" >&2
      failures=$((failures + 1))
    else
      echo "ok   $name $extra $option: $first"
    fi
  done
done
exit $((failures > 0))
