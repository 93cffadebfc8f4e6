#!/usr/bin/env bash
# The build refuses an include from a lower layer to a higher one: a copy of the tree gets
# one such include in each layer, and building the layers must fail on exactly those lines,
# each because the higher header cannot be found (the build's own run of check-layers.sh
# turned off, so that the compiler is what refuses). Then, with that check on, a relative
# include the compiler would find ("../app/window_frame.h" from scene/) stops the build
# before anything compiles.  Usage: upward_include.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tree=$scratch/src
mkdir "$tree"
tar -C "$source_dir" --exclude=./build --exclude=./.git --exclude=./dist -cf - . | tar -C "$tree" -xf -

# file, the higher layer's header it now includes
faults=(
  "scene/counter.cpp app/window.h"
  "trace/trace.cpp scene/scene_state.h"
  "input/input.cpp render/paint.h"
  "render/paint.cpp input/input.h"
  "app/window.cpp backends/soft/soft_platform.h"
  "backends/soft/soft_font.cpp scene/scene_state.h"
)
expected=""
for fault in "${faults[@]}"; do
  read -r file header <<<"$fault"
  printf '#include "%s"\n' "$header" | cat - "$tree/$file" >"$tree/$file.new"
  mv "$tree/$file.new" "$tree/$file"
  expected+="$file: $header"$'\n'
done

cmake -S "$tree" -B "$scratch/build" -G Ninja -DBUILD_TESTING=OFF -DFPU_BUILD_BENCH=OFF -DFPU_CHECK_LAYERS=OFF \
  >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log" >&2; exit 1; }
if cmake --build "$scratch/build" --target fpu_scene fpu_trace fpu_input fpu_render fpu_app \
  fpu_soft -- -k 0 >"$scratch/build.log" 2>&1; then
  echo "the layers built with an include from a lower layer to a higher one" >&2
  exit 1
fi
# "src/scene/counter.cpp:1:10: fatal error: app/window.h: No such file or directory"
found=$(sed -nE "s#^.*$tree/([^:]+):1:[0-9]+: fatal error: ([^:]+): No such file or directory#\1: \2#p" \
  "$scratch/build.log" | sort)
expected=$(sort <<<"${expected%$'\n'}")
if [[ "$found" != "$expected" ]]; then
  echo "expected these includes to fail, and nothing else:" >&2
  diff <(echo "$expected") <(echo "$found") >&2 || true
  tail -40 "$scratch/build.log" >&2
  exit 1
fi
echo "ok: every upward include refused"

# Back to the tree as it was, but for one relative include.
tar -C "$source_dir" --exclude=./build --exclude=./.git --exclude=./dist -cf - . | tar -C "$tree" -xf -
printf '#include "../app/window_frame.h"\n' | cat - "$tree/scene/rings.cpp" >"$tree/scene/rings.cpp.new"
mv "$tree/scene/rings.cpp.new" "$tree/scene/rings.cpp"
cmake -S "$tree" -B "$scratch/build" -DFPU_CHECK_LAYERS=ON >"$scratch/configure.log" 2>&1 ||
  { cat "$scratch/configure.log" >&2; exit 1; }
if cmake --build "$scratch/build" --target fpu_scene >"$scratch/build.log" 2>&1; then
  echo "the scene layer built with #include \"../app/window_frame.h\"" >&2
  exit 1
fi
if ! grep -qF 'scene/rings.cpp:1: includes ../app/window_frame.h (app/window_frame.h) by a relative path' \
  "$scratch/build.log" || grep -q 'Building CXX' "$scratch/build.log"; then
  echo "the build did not stop on the relative include before compiling:" >&2
  tail -20 "$scratch/build.log" >&2
  exit 1
fi
echo "ok: a relative include from scene/ stops the build"
