#!/usr/bin/env bash
# The manual pages' EXAMPLE sections, run as written, draw what they describe: a block
# after "_FILE_ of these lines:" is written to FILE, any other block runs as commands (the
# build's programs first on PATH), and each picture written must be more than a single
# line: far more lit pixels than a line across the lit area would have.
#   run_man_examples.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
export PATH="$build:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 pictures=0
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
    elif [[ "$line" == '```' ]]; then
      (cd "$work/$name" && bash -eu -c "$block") || { echo "FAIL $name: commands" >&2; failures=1; }
      block=""
    elif [[ -n "$block" ]]; then
      block+="$line"$'\n'
    elif [[ -n "$line" ]]; then
      before=$line
    fi
  done < <(sed -n '/^# EXAMPLE/,/^# [A-Z]/p' "$page")
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
