#!/usr/bin/env bash
# The Windows programs answer the command line as the Linux ones do (tests/cli): -h, --help,
# -V and --version with status 0 and the answer on standard output, --bogus with status 2,
# one line naming the option and the usage on standard error. The demo's help is the
# Windows one: no advice that only holds on Linux.
source "$(dirname "$0")/common.bash"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")
for name in fpu-sample fpu-trace-viewer; do
  for entry in "-h|0|usage: $name *" "--help|0|usage: $name *" "-V|0|$name $version" \
    "--version|0|$name $version" "--bogus|2|"; do
    IFS='|' read -r option want_status want_out <<<"$entry"
    status=0
    # Standard output and error go to files, so the program answers there, not in a box.
    timeout 60 wine "$WIN_BUILD/$name.exe" "$option" >"$work/out" 2>"$work/err" || status=$?
    out=$(tr -d '\r' <"$work/out")
    err=$(tr -d '\r' <"$work/err" | grep -v '^wine\|^[0-9a-f]*:err:\|^[0-9a-f]*:fixme:' || true)
    [[ $status == "$want_status" ]] || fail "$name $option: status $status, not $want_status"
    if [[ $option == --bogus ]]; then
      # shellcheck disable=SC2053
      [[ -z "$out" && $(head -n 1 <<<"$err") == "$name: unknown option '--bogus'" &&
        $(sed -n 2p <<<"$err") == "usage: $name "* ]] ||
        fail "$name --bogus: stdout '$out', stderr '$err'"
    else
      # shellcheck disable=SC2053
      [[ $(head -n 1 <<<"$out") == $want_out ]] || fail "$name $option: '$out'"
    fi
    ok "$name $option: status $status"
  done
done
help=$(wine "$WIN_BUILD/fpu-sample.exe" --help 2>/dev/null | tr -d '\r')
for word in X11 Xvfb fpu-sample-replay; do
  if grep -q "$word" <<<"$help"; then fail "fpu-sample.exe --help mentions $word"; fi
done
grep -q '^  Escape' <<<"$help" || fail "fpu-sample.exe --help lists no keys: $help"
ok "the demo's help is the Windows one, with the keys"
