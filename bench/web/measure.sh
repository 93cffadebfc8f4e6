#!/usr/bin/env bash
# Measures the web page in headless Chromium (navigation to first frame, string-art frame
# with axes, traced frame) and sets it against the native frame of bench_paint measured in
# the same run; reports the .wasm + .js size.
#   bench/web/measure.sh [LOADS] [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/../.."
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default --target bench_paint bench_trace fpu-trace-viewer >/dev/null

source scripts/lib/web_server.sh
work=$(mktemp -d)
trap 'stop_web_server; rm -rf "$work"' EXIT
serve_folder build/web/site "$work/server.log"

/usr/bin/python3 bench/web/measure.py "$web_url" "${1:-7}" "${2:-200}" >"$work/web.json"
./build/default/bench/paint/bench_paint --benchmark_filter='BM_StringArtFrameWithAxes|BM_Floor' \
  --benchmark_repetitions=7 --benchmark_report_aggregates_only=true --benchmark_format=json \
  >"$work/native.json" 2>/dev/null
# What a traced frame's 1,400 lines cost the Linux program's thread (to a live viewer).
./build/default/bench/trace/bench_trace --benchmark_filter='BM_FrameOfLinesToViewer/' \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$work/trace.json" 2>/dev/null

python3 - "$work/web.json" "$work/native.json" build/web/site/index.wasm build/web/site/index.js \
  "$work/trace.json" <<'PY'
import json, os, sys
web = json.load(open(sys.argv[1]))
native = {b["run_name"]: b for f in (sys.argv[2], sys.argv[5])
          for b in json.load(open(f))["benchmarks"] if b.get("aggregate_name") == "median"}
def ms(name):
    b = next(v for k, v in native.items() if k == name or k.startswith(name + "/"))
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[b["time_unit"]]
    return b["real_time"] * scale
size = sum(os.path.getsize(p) for p in sys.argv[3:5])
art = ms("BM_StringArtFrameWithAxes")
print("navigation -> first frame: median %.1f ms over %d loads (target <= 500) %s" % (
    web["first_frame_ms"], len(web["first_frame_ms_all"]), web["first_frame_ms_all"]))
print("string-art frame with axes: web paint median %.3f ms (target <= 3), native %.3f ms, "
      "ratio %.2f" % (web["string_art_axes_paint_ms"], art, web["string_art_axes_paint_ms"] / art))
extra = web["traced_paint_ms"] - web["string_art_axes_paint_ms"]
layout = web["traced_panel_layout_ms"] - web["untraced_layout_ms"]
linux = ms("BM_FrameOfLinesToViewer")
print("traced string-art frame (1,400 lines): web paint median %.3f ms (+%.3f ms for the lines), "
      "panel layout +%.3f ms; Linux, lines to a live viewer: %.3f ms; web/Linux %.2f" % (
          web["traced_paint_ms"], extra, layout, linux, (extra + layout) / linux))
print("index.wasm + index.js: %d bytes = %.1f KB (target <= 400 KB)" % (size, size / 1024))
PY
