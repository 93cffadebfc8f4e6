#!/usr/bin/env bash
# The web page: built with the web preset, served on loopback, driven in headless Chromium
# and compared with the native replay tool, also at other window sizes, with touch and with
# its server stopped; then the replay tool compiled to WebAssembly against the native one
# over the checked-in scenarios and some generated scripts.
set -euo pipefail
cd "$(dirname "$0")/../.."

bash scripts/install-deps.sh --web-test
cmake --preset web >/dev/null
cmake --build --preset web
cmake --preset default >/dev/null
cmake --build --preset default --target fpu-sample-replay
native=build/default/fpu-sample-replay

source scripts/lib/web_server.sh
work=$(mktemp -d)
trap 'stop_web_server; rm -rf "$work"' EXIT
serve_folder build/web/site "$work/server.log"

# Debian's python3-selenium is for Debian's Python, whatever python3 is first on PATH.
timeout 300 /usr/bin/python3 tests/web/browser_test.py "$web_url" "$native" "$work" build/web/site
timeout 300 /usr/bin/python3 tests/web/keep_test.py "$web_url" "$native" "$work"
# Other screens, touch, the key pad and the offline copy (a server of its own).
timeout 300 /usr/bin/python3 tests/web/screens_test.py "$native" "$work" build/web/site

timeout 300 python3 tests/web/replay_diff.py "$native" build/web/fpu-sample-replay.js \
  --expected tests/replay/expected --generated "${WEB_GENERATED_SCRIPTS:-20}" \
  tests/replay/scripts/*.txt
# The Windows differential's generated scripts (tests/parity), held to exact agreement.
python3 tests/parity/gen-scripts.py --seed 16 --count 24 --plain-png --out "$work/parity"
timeout 300 python3 tests/web/replay_diff.py "$native" build/web/fpu-sample-replay.js \
  "$work"/parity/*.script
