#!/usr/bin/env bash
# The web page: built with the web preset, served on loopback, driven in headless Chromium
# and compared with the native replay tool; then the replay tool compiled to WebAssembly
# against the native one over the checked-in scenarios and some generated scripts.
set -euo pipefail
cd "$(dirname "$0")/../.."

bash scripts/install-deps.sh --web-test
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
cmake --preset web >/dev/null
cmake --build --preset web
cmake --preset default >/dev/null
cmake --build --preset default --target fpu-sample-replay
native=build/default/fpu-sample-replay

work=$(mktemp -d)
server=
cleanup() {
  if [[ -n "$server" ]]; then kill "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory build/web "$port" >"$work/server.log" 2>&1 &
server=$!
python3 - "$port" <<'PY'
import sys, time, urllib.request
for _ in range(100):
    try:
        urllib.request.urlopen("http://127.0.0.1:%s/index.html" % sys.argv[1], timeout=1)
        break
    except OSError:
        time.sleep(0.1)
PY

# Debian's python3-selenium is for Debian's Python, whatever python3 is first on PATH.
timeout 300 /usr/bin/python3 tests/web/browser_test.py "http://127.0.0.1:$port/" "$native" "$work"

timeout 300 python3 tests/web/replay_diff.py "$native" build/web-cmake/fpu-sample-replay.js \
  --expected tests/replay/expected --generated "${WEB_GENERATED_SCRIPTS:-20}" \
  tests/replay/scripts/*.txt
