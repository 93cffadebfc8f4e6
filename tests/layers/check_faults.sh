#!/usr/bin/env bash
# check-layers.sh against a small tree with one fault of each kind, and the allowed
# includes beside them: it must fail and name exactly the faulty lines. An empty tree
# must fail too.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

if output=$(bash "$check" "$tree" 2>&1); then
  echo "check-layers.sh passed an empty tree" >&2
  exit 1
fi
[[ "$output" == "no source files to check in $tree" ]] || { echo "$output" >&2; exit 1; }

cd "$tree"
mkdir -p platform/extra backends/sdl scene trace/unix input render app tools/viewer programs/linux \
  net tests/x
put() { printf '%b' "$2" >"$1"; }
put platform/types.h '#include <cstdint>\n'
put platform/extra/w.h '\n'
put scene/a.h '#include <SDL.h>\n#include "platform/types.h"\n#include <vector>\n#include <app/e.h>\n'
put trace/b.cpp '#  include <Windows.h>\n#include "scene/a.h"\n#include "input/c.h"\n#include <unistd.h>\n'
put input/c.h '#include "render/d.h"\n#include "trace/b.h"\n#include <sys/stat.h>\n'
put render/d.cpp '#include "app/e.h"\n#include <emscripten/html5.h>\n'
put app/e.cpp '#include <X11/Xlib.h>\n#include "trace/unix/f.h"\n#include "input/c.h"\n'
put trace/unix/f.cpp '#include <sys/socket.h>\n#include <X11/Xlib.h>\n#include "tools/viewer/g.h"\n'
put backends/sdl/h.cpp '#include <SDL.h>\n#include "app/e.h"\n#include "trace/unix/f.h"\n'
put tools/viewer/g.cpp '#include <SDL.h>\n#include "backends/sdl/h.h"\n'
put programs/linux/main.cpp '#include <unistd.h>\n#include "tools/viewer/g.h"\n'
put net/x.cpp '#include "scene/a.h"\n'
put scene/r.cpp '#include "../app/e.h"\n#include "./a.h"\n#include "a.h"\n'
put tests/x/t.cpp '#include "app/e.h"\n#include <unistd.h>\n'
expected="net/x.cpp: in no layer
platform/extra/w.h: in no layer
app/e.cpp:1: core code includes the OS header X11/Xlib.h
app/e.cpp:2: includes trace/unix/f.h, a layer above its own
input/c.h:3: core code includes the OS header sys/stat.h
render/d.cpp:1: includes app/e.h, a layer above its own
render/d.cpp:2: core code includes the OS header emscripten/html5.h
scene/a.h:1: core code includes the OS header SDL.h
scene/a.h:4: includes app/e.h, a layer above its own
scene/r.cpp:1: includes ../app/e.h (app/e.h) by a relative path
scene/r.cpp:2: includes ./a.h (scene/a.h) by a relative path
trace/b.cpp:1: core code includes the OS header Windows.h
trace/b.cpp:3: includes input/c.h, a layer above its own
trace/b.cpp:4: core code includes the OS header unistd.h
trace/unix/f.cpp:3: includes tools/viewer/g.h, a layer above its own"
if output=$(bash "$check" "$tree" 2>&1); then
  echo "check-layers.sh passed a tree with faults" >&2
  exit 1
fi
[[ "$output" == "$expected" ]] || { diff <(echo "$expected") <(echo "$output") >&2; exit 1; }
echo "ok: every fault named, nothing else"
