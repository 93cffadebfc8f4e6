#!/usr/bin/env bash
# cmake --install into a temporary prefix gives the three programs, their man pages, a valid
# desktop entry, the copyright file and the icon in every hicolor size; the installed replay
# tool runs.
#   run_install.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
for program in fpu-sample fpu-trace-viewer fpu-sample-replay; do
  [[ -x "$prefix/bin/$program" ]] || fail "no bin/$program"
  page="$prefix/share/man/man1/$program.1.gz"
  if [[ ! -f "$page" ]]; then
    fail "no man page $program.1"
  else
    # The page renders, under its own name, with the sections a reader looks for.
    text=$(MANWIDTH=80 man -l "$page" 2>&1)
    for heading in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
      grep -q "^$heading" <<<"$text" || fail "$program.1 has no $heading"
    done
    grep -q "^ *$program - " <<<"$text" || fail "$program.1 does not name $program"
  fi
done
desktop="$prefix/share/applications/fpu-sample.desktop"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -qx 'Icon=fpu-sample' "$desktop" || fail "desktop entry names another icon"
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/fpu-sample.png"
  # PNG width and height: big-endian words at bytes 16 and 20.
  dims=$(od -An -tu1 -j16 -N8 "$icon" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [[ "$dims" == "${size}x${size}" ]] || fail "icon $size: '$dims'"
done
# Debian's copyright file names the licence and its holder, from LICENSE.
copyright="$prefix/share/doc/fpu-sample/copyright"
grep -qx 'License: Expat' "$copyright" 2>/dev/null || fail "no Expat licence in $copyright"
holder=$(sed -n 's/^Copyright (c) //p' "$(dirname "$0")/../../LICENSE")
grep -qx "Copyright: $holder" "$copyright" 2>/dev/null || fail "copyright file lacks '$holder'"
grep -qx 'Name=FPU Sample' "$desktop" || fail "desktop entry names the product otherwise"
# The installed replay tool renders a frame.
out=$(mktemp -d)
printf 'key S\npaint\npng %s/frame.png\n' "$out" | "$prefix/bin/fpu-sample-replay" --trace none ||
  fail "installed fpu-sample-replay"
[[ -s "$out/frame.png" ]] || fail "installed fpu-sample-replay wrote no frame"
rm -rf "$out"

[[ $fails -eq 0 ]] || exit 1
echo "install tree complete"
