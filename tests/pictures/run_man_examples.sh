#!/usr/bin/env bash
# The manual pages' EXAMPLE sections, run as written, draw what they describe: each block
# introduced by "_FILE_ of these lines:" is written to FILE, every other block is run as
# commands (with the build's programs first on PATH), and each picture they write must be
# more than a single line: far more lit pixels than a line across its lit area would have.
#   run_man_examples.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH"

# Lit pixels of the last frame of IMAGE, and the width and height of the area they cover.
lit() {
  convert "$1[-1]" -colorspace gray -threshold 50% -format '%[fx:round(mean*w*h)] %@\n' info: |
    sed 's/[x+]/ /g'
}

failures=0 pictures=0
for page in "$source_dir"/packaging/*.scd; do
  name=$(basename "$page" .scd)
  # The EXAMPLE section, up to the next heading.
  sed -n '/^# EXAMPLE/,/^# [A-Z]/p' "$page" >"$work/section"
  [[ -s "$work/section" ]] || continue
  mkdir "$work/$name"
  file="" in_block=0 before=""
  while IFS= read -r line; do
    if [[ "$line" == '```' ]]; then
      if ((in_block)); then
        in_block=0
        if [[ -n "$file" ]]; then
          mv "$work/$name.block" "$work/$name/$file"
        elif ! (cd "$work/$name" && bash -eu "$work/$name.block"); then
          echo "FAIL $name: the example's commands failed" >&2
          failures=$((failures + 1))
        fi
      else
        in_block=1
        file=""
        [[ "$before" =~ _([^_[:space:]]+)_\ of\ these\ lines:$ ]] && file=${BASH_REMATCH[1]}
        : >"$work/$name.block"
      fi
    elif ((in_block)); then
      echo "$line" >>"$work/$name.block"
    elif [[ -n "$line" ]]; then
      before=$line
    fi
  done <"$work/section"
  for picture in "$work/$name"/*.gif "$work/$name"/*.png; do
    [[ -e "$picture" ]] || continue
    pictures=$((pictures + 1))
    read -r count width height _ <<<"$(lit "$picture")"
    # A line one or two pixels wide has at most 2 * (width + height) of them.
    if ((count <= 4 * (width + height))); then
      echo "FAIL $name: $(basename "$picture") is a single line ($count lit pixels over ${width}x$height)" >&2
      failures=$((failures + 1))
    else
      echo "ok   $name: $(basename "$picture"): $count lit pixels over ${width}x$height"
    fi
  done
done
((pictures > 0)) || { echo "FAIL: no example wrote a picture" >&2; exit 1; }
exit $((failures > 0))
