#!/usr/bin/env bash
# The replay tool's exit codes and error lines for bad input.
#   run_cli_errors.sh REPLAY
set -uo pipefail
replay=$1
fails=0
check() {  # check NAME STATUS STDERR_PATTERN (- for none) STDOUT_LINES -- ARGS... (script on stdin)
  local name=$1 want=$2 pattern=$3 lines=$4
  shift 5
  local out err status
  out=$(mktemp)
  err=$(mktemp)
  "$replay" "$@" >"$out" 2>"$err"
  status=$?
  local stderr_ok=1
  if [[ "$pattern" == "-" ]]; then
    [[ -s "$err" ]] && stderr_ok=0
  else
    grep -qE -e "$pattern" "$err" || stderr_ok=0
  fi
  if [[ $status != "$want" || $stderr_ok != 1 || $(wc -l <"$out") != "$lines" ]]; then
    echo "FAIL $name: status $status (want $want), stderr: $(cat "$err"), stdout lines $(wc -l <"$out") (want $lines)"
    fails=$((fails + 1))
  fi
  rm -f "$out" "$err"
}
check "unknown command" 2 '^fpu-sample-replay: line 3: unknown command' 0 -- < <(printf 'dump\n# c\nfrobnicate\ndump\n')
check "bad key" 2 'line 1: unknown key' 0 -- < <(printf 'key aa\n')
check "bad number" 2 'line 2: bad number' 0 -- < <(printf '\nmsg 0x100 12z 0\n')
check "missing end" 2 "line 1: 'repeat' without 'end'" 0 -- < <(printf 'repeat 2\ndump\n')
check "nothing runs before an error" 2 'line 2' 0 -- < <(printf 'dump\ntick 1 2\n')
check "unwritable png" 1 'cannot write' 0 -- < <(printf 'png /nonexistent/dir/x.png\ndump\n')
check "missing script" 1 'cannot open script' 0 -- /nonexistent/script.txt
check "unknown option" 1 'unknown option' 0 -- --frobnicate
check "bad trace mode" 1 'stdout, viewer or none' 0 -- --trace file
# A sign is refused on every number option, "-0" too (it read as the largest value). A
# usage error is status 1: 2 says a script line cannot be parsed.
for option in --max-steps --max-script-bytes --ticks --seed --scale; do
  for value in -0 -1 +2; do
    check "$option $value" 1 "$option takes a whole number from [0-9]+ to [0-9]+, not" 0 -- "$option" "$value"
  done
done
check "quit once" 0 - 1 -- --trace none < <(printf 'key ESCAPE\nkey ESCAPE\nclose\n')
if [[ $fails -ne 0 ]]; then
  exit 1
fi
echo "all error cases pass"
