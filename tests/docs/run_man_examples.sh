#!/usr/bin/env bash
# Runs the EXAMPLE of each man page with the programs of a build folder, so that an example
# a reader copies works. fpu-sample's needs a display: its command line is checked instead
# (its options accepted, then --version answers).
#   run_man_examples.sh PAGES_DIR BUILD_DIR
set -uo pipefail
pages=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH"
failures=0
fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}

# The code blocks of a page's EXAMPLE section, each followed by a line "@@".
example_blocks() {
  awk '/^# EXAMPLE/ { on = 1; next } /^# / { on = 0 } on && /^```/ { inside = !inside;
       if (!inside) print "@@"; next } on && inside { print }' "$1"
}

for page in "$pages"/*.1.scd; do
  name=$(basename "$page" .1.scd)
  text=$(example_blocks "$page")
  [[ -n "$text" ]] || { fail "$name(1) has no EXAMPLE"; continue; }
  dir="$work/$name"
  mkdir -p "$dir/runtime"
  chmod 700 "$dir/runtime"
  case $name in
    fpu-sample-replay)
      # A script file named in the text, then the command that reads it.
      script_name=$(grep -o 'With a file _[^_]*_' "$page" | sed 's/With a file _\(.*\)_/\1/')
      awk 'BEGIN { RS = "@@\n" } NR == 1 { printf "%s", $0 }' <<<"$text" >"$dir/$script_name"
      command=$(awk 'BEGIN { RS = "@@\n" } NR == 2 { printf "%s", $0 }' <<<"$text")
      if ! (cd "$dir" && bash -c "$command") >"$dir/out" 2>&1; then
        fail "$name: '$command': $(cat "$dir/out")"
      elif ! head -c 6 "$dir"/*.gif | grep -q GIF89a; then
        fail "$name: '$command' wrote no GIF"
      else
        echo "ok   $name: $command"
      fi
      ;;
    fpu-trace-viewer)
      command=$(awk 'BEGIN { RS = "@@\n" } NR == 1 { printf "%s", $0 }' <<<"$text")
      (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$dir/runtime" \
        timeout 20 bash -c "$command"$'\nwait') >"$dir/out" 2>&1
      lines=$(grep -c . "$dir/out")
      if ((lines != 9)) || ! grep -qx 'rayon1 = 240' "$dir/out" || ! grep -q '^xopc = ' "$dir/out"; then
        fail "$name: the example showed $lines lines, not the dump's 8 and a Z angle: $(cat "$dir/out")"
      else
        echo "ok   $name: the dump and the Z angle shown"
      fi
      ;;
    *)
      command=$(awk 'BEGIN { RS = "@@\n" } NR == 1 { printf "%s", $0 }' <<<"$text")
      # shellcheck disable=SC2086
      if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY $command --version 2>&1) ||
        [[ $out != "$name "* ]]; then
        fail "$name: '$command --version' answered '$out'"
      else
        echo "ok   $name: $command (options accepted)"
      fi
      ;;
  esac
done
exit $((failures > 0))
