#!/usr/bin/env bash
# The manual pages' EXAMPLE sections, run as written, draw what they describe: a block
# after "_FILE_ of these lines:" is written to FILE, any other block runs as commands (the
# build's programs first on PATH), and each picture written must be more than a single
# line: far more lit pixels than a line across the lit area would have. Every page has an
# example. The commands run without a display and with a runtime folder of their own, so a
# viewer they start serves them alone; the demo needs a display, so its example's command
# line is checked instead (its options taken, then --version answers). The viewer's example
# must show the dump it describes.
#   run_man_examples.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
export PATH="$build:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 pictures=0 examples=0
for page in "$2"/packaging/*.scd; do
  name=$(basename "$page" .scd)
  mkdir "$work/$name"
  file="" block="" before=""
  # The EXAMPLE section, up to the next heading.
  while IFS= read -r line; do
    if [[ "$line" == '```' && -z "$block" ]]; then
      file="" block=$'\n'
      [[ "$before" =~ _([^_[:space:]]+)_\ of\ these\ lines:$ ]] && file=${BASH_REMATCH[1]}
    elif [[ "$line" == '```' && -n "$file" ]]; then
      printf '%s' "${block#$'\n'}" >"$work/$name/$file" && block=""
    elif [[ "$line" == '```' && $name == fpu-sample.1 ]]; then
      answer=$(cd "$work/$name" && env -u DISPLAY -u WAYLAND_DISPLAY bash -eu -c "${block%$'\n'} --version")
      [[ $answer == "fpu-sample "* ]] || { echo "FAIL $name: '$block' --version: $answer" >&2; failures=1; }
      block=""
    elif [[ "$line" == '```' ]]; then
      examples=$((examples + 1))
      mkdir -p "$work/$name/runtime" && chmod 700 "$work/$name/runtime"
      (cd "$work/$name" && env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/$name/runtime" \
        timeout 60 bash -eu -c "$block") >"$work/$name/out" ||
        { echo "FAIL $name: commands" >&2; failures=1; }
      cat "$work/$name/out"
      if [[ $name == fpu-trace-viewer.1 ]] && ! grep -qx 'rayon1 = 240' "$work/$name/out"; then
        echo "FAIL $name: the viewer showed no dump" >&2
        failures=1
      fi
      block=""
    elif [[ -n "$block" ]]; then
      block+="$line"$'\n'
    elif [[ -n "$line" ]]; then
      before=$line
    fi
  done < <(sed -n '/^# EXAMPLE/,/^# [A-Z]/p' "$page")
  grep -q '^# EXAMPLE' "$page" || { echo "FAIL $name: no EXAMPLE" >&2; failures=1; }
  for picture in "$work/$name"/*.gif "$work/$name"/*.png; do
    [[ -e "$picture" ]] || continue
    pictures=$((pictures + 1))
    read -r count width height _ < <(convert "${picture}[-1]" -colorspace gray -threshold 50% \
      -format '%[fx:round(mean*w*h)] %@\n' info: | tr 'x+' '  ')
    # A line one or two pixels wide has at most 2 * (width + height) lit pixels.
    result="$(basename "$picture"): $count lit pixels over ${width}x$height"
    if ((count <= 4 * (width + height))); then
      echo "FAIL $name: $result: a single line" >&2
      failures=1
    else
      echo "ok   $name: $result"
    fi
  done
done
((pictures > 0)) || { echo "FAIL: no example wrote a picture" >&2; exit 1; }
exit $failures
