# Serves a folder on a free loopback port, for the browser test and the web benchmark (sourced).
#   serve_folder DIR LOG [isolated]   # sets web_url once the server accepts connections;
#                                     # "isolated" sends the cross-origin isolation headers,
#                                     # under which performance.now() steps in 5 us, not 100 us
#   stop_web_server        # safe to call whether or not one was started
# The server binds port 0 and prints the port it got once it listens, so no port is guessed
# and nothing polls.

web_server=

stop_web_server() {
  if [[ -n "$web_server" ]]; then kill "$web_server" 2>/dev/null || true; fi
  web_server=
}

serve_folder() {
  local dir=$1 log=$2 fifo line=""
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  if [[ "${3:-}" == isolated ]]; then
    python3 -u - "$dir" >"$fifo" 2>"$log" <<'PY' &
import functools, http.server, sys
class Isolated(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()
http.server.test(HandlerClass=functools.partial(Isolated, directory=sys.argv[1]),
                 port=0, bind="127.0.0.1")
PY
  else
    python3 -u -m http.server --bind 127.0.0.1 --directory "$dir" 0 >"$fifo" 2>"$log" &
  fi
  web_server=$!
  # "Serving HTTP on 127.0.0.1 port 41234 (http://127.0.0.1:41234/) ..."
  {
    read -r -t 20 line || true
    cat >>"$log" &  # the rest of its output, so it never blocks on a full pipe
  } <"$fifo"
  rm -f "$fifo"
  if [[ ! "$line" =~ port\ ([0-9]+) ]]; then
    echo "the local web server did not start: $line $(tail -3 "$log")" >&2
    stop_web_server
    return 1
  fi
  web_url="http://127.0.0.1:${BASH_REMATCH[1]}/"
}
