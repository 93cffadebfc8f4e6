#!/usr/bin/env bash
# Fails when a core folder (platform, scene, trace, input, render, app) includes an SDL, X11,
# Windows, POSIX or Emscripten header, when a file includes one from a layer above its own
# (with quotes or angle brackets) or any header by a relative path ("../app/window.h"), when
# a source file is in no layer, or when there is nothing to check. Layers, lowest first:
#   0 platform/*.h, text   1 scene   2 trace   3 input, render   4 app
#   5 backends/{soft,sdl,win32,web}, trace/{unix,win32}, files   6 tools, programs
# Tests, benchmarks and fuzzers may include anything.  Usage: check-layers.sh [SOURCE_DIR]
# The build runs this before it compiles a layer, and refuses upward includes by itself too
# (each layer's include root holds its own headers); this names every fault at once and
# covers the OS headers and relative paths.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Sets REPLY to the layer of a source path or include, empty for anything else.
layer_of() {
  case "$1" in
    backends/soft/* | backends/sdl/* | backends/win32/* | backends/web/*) REPLY=5 ;;
    trace/unix/* | trace/win32/* | files/*) REPLY=5 ;;
    tools/* | programs/*) REPLY=6 ;;
    app/*) REPLY=4 ;;
    input/* | render/*) REPLY=3 ;;
    trace/*) REPLY=2 ;;
    scene/*) REPLY=1 ;;
    platform/*/*) REPLY="" ;;
    platform/* | text/*) REPLY=0 ;;
    *) REPLY="" ;;
  esac
}

include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)'
os_header_re='^(SDL[^/]*\.h|SDL2?/.*|X11/.*|windows\.h|win(def|user|gdi|base|nt)\.h|mmsystem\.h|'
os_header_re+='unistd\.h|sys/.*|pthread\.h|fcntl\.h|dirent\.h|poll\.h|termios\.h|dlfcn\.h|spawn\.h|'
os_header_re+='netinet/.*|arpa/.*|netdb\.h|pwd\.h|grp\.h|semaphore\.h|syslog\.h|emscripten(/.*|\.h))$'
faults=0
fault() {
  echo "$1" >&2
  faults=$((faults + 1))
}

# Every source file outside the tests, benchmarks and fuzzers, and the build folders.
mapfile -t files < <(find . \( -path ./build -o -path './build-*' -o -path ./.git -o -path ./tests \
  -o -path ./bench -o -path ./fuzz -o -path ./dist \) -prune -o \
  -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \) \
  -print | sed 's#^\./##' | LC_ALL=C sort)
((${#files[@]} > 0)) || fault "no source files to check in $(pwd)"

classified=()
for file in "${files[@]}"; do
  layer_of "$file"
  if [[ -n "$REPLY" ]]; then classified+=("$file"); else fault "${file}: in no layer"; fi
done

while IFS=: read -r file number text; do
  layer_of "$file"
  own=$REPLY
  [[ "$text" =~ $include_re ]] || continue
  header=${BASH_REMATCH[1]}
  # A relative path would reach any folder from beside the file, whatever the include roots:
  # every include names its header from the source root.
  if [[ "/$header/" == */../* || "/$header/" == */./* ]]; then
    resolved=$(realpath -m --relative-to=. "$(dirname "$file")/$header")
    fault "${file}:${number}: includes ${header} (${resolved}) by a relative path"
    continue
  fi
  shopt -s nocasematch
  if ((own <= 4)) && [[ "$header" =~ $os_header_re ]]; then
    fault "${file}:${number}: core code includes the OS header ${header}"
  fi
  shopt -u nocasematch
  layer_of "$header"
  if [[ -n "$REPLY" ]] && ((REPLY > own)); then
    fault "${file}:${number}: includes ${header}, a layer above its own"
  fi
done < <(((${#classified[@]} == 0)) ||
  grep -nE '^[[:space:]]*#[[:space:]]*include' /dev/null "${classified[@]}")
((faults == 0)) || exit 1
echo "layers: ok (${#files[@]} files)"
