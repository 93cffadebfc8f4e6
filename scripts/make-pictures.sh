#!/usr/bin/env bash
# Makes the README's pictures from the replay scripts in docs/pictures/: the screenshot and
# the two animations. The same scripts and build give the same bytes (a test checks that the
# checked-in pictures are what this makes today).
#   scripts/make-pictures.sh [OUT_DIR]      (default docs/; REPLAY names the replay tool)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$src/docs}" && cd "${1:-$src/docs}" && pwd)
replay=${REPLAY:-$src/build/default/fpu-sample-replay}
if [[ ! -x "$replay" ]]; then
  (cd "$src" && cmake --preset default >/dev/null && cmake --build --preset default --target fpu-sample-replay)
fi
replay=$(realpath "$replay")

# `png` lines in the scripts write beside the animations.
cd "$out"
"$replay" --trace none --record string-art.gif "$src/docs/pictures/string-art-auto.txt"
"$replay" --trace none --record mouse-drag.gif "$src/docs/pictures/mouse-drag.txt"
echo "wrote $out/screenshot.png, $out/string-art.gif, $out/mouse-drag.gif"
