#!/usr/bin/env bash
# Installs what is missing, builds the web page and serves it at http://localhost:8000/
# (PORT=N for another port). Stop the server with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --web
cmake --preset web >/dev/null
cmake --build --preset web
port=${PORT:-8000}
echo "The demo: http://localhost:$port/"
exec python3 -m http.server --bind 127.0.0.1 --directory build/web/site "$port"
