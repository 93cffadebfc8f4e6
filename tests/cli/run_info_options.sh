#!/usr/bin/env bash
# The three programs answer alike: -h, --help, -V and --version with status 0 at once, the
# answer on standard output and nothing on standard error; --bogus with one line naming the
# option and then the usage on standard error, and status 2 (1 for the replay tool, whose
# status 2 other programs read as a script line that cannot be parsed). Nothing is opened (no display is
# set, so a program that went on would fail, saying so). An option of the program's own
# before the question changes nothing.
#   run_info_options.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
failures=0
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for program in "$@"; do
  name=$(basename "$program")
  usage_status=2
  case $name in
    fpu-sample) own_option="--scale 2" ;;
    fpu-sample-replay) own_option="--seed 0x10" usage_status=1 ;;
    *) own_option="--dir /nonexistent" ;;
  esac
  # arguments | exit status | first line of stdout (a glob) | stderr (a glob)
  entries=("-h|0|usage: $name *|" "--help|0|usage: $name *|" "-V|0|$name $version|"
    "--version|0|$name $version|"
    "--bogus|$usage_status||$name: unknown option '--bogus'"$'\n'"usage: $name *"
    "$own_option --version|0|$name $version|"
    "--bogus --help|$usage_status||$name: unknown option '--bogus'"$'\n'"usage: $name *")
  for entry in "${entries[@]}"; do
    IFS='|' read -r -d '' args want_status want_out want_err <<<"$entry"
    want_err=${want_err%$'\n'}
    status=0
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 5 "$program" $args >"$out" 2>"$err" </dev/null ||
      status=$?
    first=$(head -n 1 "$out")
    got_err=$(cat "$err")
    # shellcheck disable=SC2053
    if [[ $status -ne $want_status || $first != $want_out || $got_err != $want_err ]]; then
      echo "FAIL $name $args: status $status (want $want_status), stdout '$first'," \
        "stderr '$got_err'" >&2
      failures=$((failures + 1))
    else
      echo "ok   $name $args: status $status"
    fi
  done
  # The help names every option the usage line lists.
  env -u DISPLAY "$program" --help >"$out"
  for option in $(head -n 4 "$out" | grep -o -- '\[--[a-z-]*' | tr -d '['); do
    if ! grep -q -- "^  $option" "$out"; then
      echo "FAIL $name --help: the usage lists $option, the options do not" >&2
      failures=$((failures + 1))
    fi
  done
done
exit $((failures > 0))
