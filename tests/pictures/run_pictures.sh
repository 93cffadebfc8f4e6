#!/usr/bin/env bash
# The README's pictures in docs/ are what scripts/make-pictures.sh makes today.
#   run_pictures.sh REPLAY SOURCE_DIR
set -uo pipefail
replay=$1 src=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
REPLAY="$replay" bash "$src/scripts/make-pictures.sh" "$out" >/dev/null || { echo "FAIL: make-pictures.sh"; exit 1; }
# Frame by frame: delay, size and a hash of the pixels, so that another zlib or GIF encoder
# writing other bytes for the same pictures changes nothing.
frames() { convert "$1" -coalesce -format '%T %w %h %#\n' info:; }
fails=0
for picture in screenshot.png string-art.gif mouse-drag.gif; do
  made=$(frames "$out/$picture") || made="unreadable"
  if [[ "$made" != "$(frames "$src/docs/$picture")" ]]; then
    echo "FAIL: docs/$picture differs from what scripts/make-pictures.sh makes; run it and commit"
    fails=$((fails + 1))
  fi
done
[[ $fails -eq 0 ]] && echo "pictures up to date"
[[ $fails -eq 0 ]]
