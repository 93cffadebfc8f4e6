# Serves a folder on a free loopback port, for the browser test and the web benchmark.
#   source tests/web/local_server.sh
#   serve_folder DIR LOG   # sets web_url once the server answers
#   stop_web_server        # safe to call whether or not one was started

web_server=

stop_web_server() {
  if [[ -n "$web_server" ]]; then kill "$web_server" 2>/dev/null || true; fi
  web_server=
}

serve_folder() {
  local dir=$1 log=$2 port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 -m http.server --bind 127.0.0.1 --directory "$dir" "$port" >"$log" 2>&1 &
  web_server=$!
  web_url="http://127.0.0.1:$port/"
  python3 - "$web_url" <<'PY'
import sys, time, urllib.request
for _ in range(100):
    try:
        urllib.request.urlopen(sys.argv[1] + "index.html", timeout=1)
        sys.exit(0)
    except OSError:
        time.sleep(0.1)
sys.exit("the local web server did not answer at " + sys.argv[1])
PY
}
