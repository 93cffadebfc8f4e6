#!/usr/bin/env bash
# check-layers.sh against a small tree with one fault of each kind, and the allowed
# includes beside them: it must fail and name exactly the faulty lines.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cd "$tree"
mkdir -p platform programs backends/sdl scene trace/unix input render app tools/viewer
put() { printf '%b' "$2" >"$1"; }
put scene/a.h '#include <SDL.h>\n#include "platform/types.h"\n#include <vector>\n'
put trace/b.cpp '#  include <Windows.h>\n#include "scene/a.h"\n#include "input/c.h"\n'
put input/c.h '#include "render/d.h"\n#include "trace/b.h"\n'
put render/d.cpp '#include "app/e.h"\n'
put app/e.cpp '#include <X11/Xlib.h>\n#include "trace/unix/f.h"\n#include "input/c.h"\n'
put trace/unix/f.cpp '#include <sys/socket.h>\n#include <X11/Xlib.h>\n#include "tools/viewer/g.h"\n'
put backends/sdl/h.cpp '#include <SDL.h>\n#include "app/e.h"\n#include "trace/unix/f.h"\n'
put tools/viewer/g.cpp '#include <SDL.h>\n#include "backends/sdl/h.h"\n'
expected="app/e.cpp:1: core code includes the OS header X11/Xlib.h
app/e.cpp:2: includes trace/unix/f.h, a layer above its own
render/d.cpp:1: includes app/e.h, a layer above its own
scene/a.h:1: core code includes the OS header SDL.h
trace/b.cpp:1: core code includes the OS header Windows.h
trace/b.cpp:3: includes input/c.h, a layer above its own
trace/unix/f.cpp:3: includes tools/viewer/g.h, a layer above its own"
if output=$(bash "$check" "$tree" 2>&1); then
  echo "check-layers.sh passed a tree with faults" >&2
  exit 1
fi
[[ "$output" == "$expected" ]] || { diff <(echo "$expected") <(echo "$output") >&2; exit 1; }
echo "ok: every fault named, nothing else"
