#!/usr/bin/env bash
# Fails when a core folder (scene, trace, input, render, app) includes an SDL, X11 or Windows
# header, or when a file includes one from a layer above its own. Layers, lowest first:
#   0 platform/types.h, platform/platform.h, text   1 scene   2 trace   3 input, render   4 app
#   5 backends: platform/{soft,sdl,win32,web}, trace/{unix,win32}, files   6 tools
# Tests, benchmarks and fuzzers may include anything.  Usage: check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Sets REPLY to the layer of a source path or quoted include, empty for anything else.
layer_of() {
  case "$1" in
    platform/soft/* | platform/sdl/* | platform/win32/* | platform/web/*) REPLY=5 ;;
    trace/unix/* | trace/win32/* | files/*) REPLY=5 ;;
    tools/*) REPLY=6 ;;
    app/*) REPLY=4 ;;
    input/* | render/*) REPLY=3 ;;
    trace/*) REPLY=2 ;;
    scene/*) REPLY=1 ;;
    platform/types.h | platform/platform.h | text/*) REPLY=0 ;;
    *) REPLY="" ;;
  esac
}

include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)'
os_header_re='^(SDL[^/]*\.h|SDL2?/.*|X11/.*|windows\.h|win(def|user|gdi|base|nt)\.h|mmsystem\.h)$'
faults=0
while IFS=: read -r file number text; do
  layer_of "$file"
  own=$REPLY
  [[ -n "$own" && "$text" =~ $include_re ]] || continue
  quote=${BASH_REMATCH[1]} header=${BASH_REMATCH[2]}
  shopt -s nocasematch
  if ((own <= 4)) && [[ "$header" =~ $os_header_re ]]; then
    echo "${file}:${number}: core code includes the OS header ${header}" >&2
    faults=$((faults + 1))
  fi
  shopt -u nocasematch
  [[ "$quote" == '"' ]] || continue
  layer_of "$header"
  if [[ -n "$REPLY" ]] && ((REPLY > own)); then
    echo "${file}:${number}: includes ${header}, a layer above its own" >&2
    faults=$((faults + 1))
  fi
done < <(find platform scene trace input render app tools $(ls -d text files 2>/dev/null) -name '*.h' -o -name '*.cpp' |
  sort | xargs grep -nE '^[[:space:]]*#[[:space:]]*include' /dev/null)
((faults == 0)) || exit 1
echo "layers: ok"
