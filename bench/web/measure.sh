#!/usr/bin/env bash
# Measures the web page in headless Chromium (navigation to first frame on a first visit and
# warm, string-art frame with axes, traced frame) and sets it against the native frame of bench_paint measured in
# the same run; reports the .wasm + .js size.
#   bench/web/measure.sh [LOADS] [FRAMES] [VISITS]
# With BENCH_TREES="TREE ..." (source trees, e.g. a worktree of the commit before a change
# and this one) each tree's page and bench_paint are built there with the presets and
# measured in turn, ROUNDS times (default 1), and each figure is printed once per tree.
set -euo pipefail
here=$(realpath "$(dirname "$0")/../..")
read -ra trees <<<"${BENCH_TREES:-$here}"
loads=${1:-7}
frames=${2:-200}
visits=${3:-5}
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

for tree in "${trees[@]}"; do
  (
    cd "$tree"
    cmake --preset web >/dev/null
    cmake --build --preset web >/dev/null
    # Benchmarks on whatever configured the folder before (scripts/run.sh turns them off).
    cmake --preset default -DFPU_BUILD_BENCH=ON >/dev/null
    cmake --build --preset default --target bench_paint bench_trace fpu-trace-viewer >/dev/null
  )
done

source "$here/scripts/lib/web_server.sh"
work=$(mktemp -d)
trap 'stop_web_server; rm -rf "$work"' EXIT

measure_tree() {  # measure_tree INDEX TREE: appends one result file per figure source
  local i=$1 tree=$2 round=$3
  serve_folder "$tree/build/web/site" "$work/server.log" isolated
  /usr/bin/python3 "$here/bench/web/measure.py" "$web_url" "$loads" "$frames" "$visits" \
    >"$work/web.$i.$round.json"
  stop_web_server
  "$tree/build/default/bench/paint/bench_paint" \
    --benchmark_filter='BM_StringArtFrameWithAxes|BM_Floor' --benchmark_repetitions=7 \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    >"$work/native.$i.$round.json" 2>/dev/null
  # What a traced frame's 1,400 lines cost the Linux program's thread (to a live viewer).
  "$tree/build/default/bench/trace/bench_trace" --benchmark_filter='BM_FrameOfLinesToViewer/' \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    >"$work/trace.$i.$round.json" 2>/dev/null
}

for ((round = 0; round < ${ROUNDS:-1}; round++)); do
  for i in "${!trees[@]}"; do measure_tree "$i" "${trees[i]}" "$round"; done
done

for i in "${!trees[@]}"; do
  tree=${trees[i]}
  echo "$tree"
  python3 - "$work" "$i" "$tree/build/web/site/index.wasm" "$tree/build/web/site/index.js" <<'PY'
import glob, json, os, statistics, sys
work, i = sys.argv[1], sys.argv[2]
webs = [json.load(open(f)) for f in sorted(glob.glob("%s/web.%s.*.json" % (work, i)))]
def medians(kind):
    runs = {}
    for f in sorted(glob.glob("%s/%s.%s.*.json" % (work, kind, i))):
        for b in json.load(open(f))["benchmarks"]:
            if b.get("aggregate_name") == "median":
                scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}[b["time_unit"]]
                runs.setdefault(b["run_name"].split("/")[0], []).append(b["real_time"] * scale)
    return {k: statistics.median(v) for k, v in runs.items()}
native = medians("native")
native.update(medians("trace"))
web = {k: statistics.median(w[k] for w in webs) for k in webs[0] if not k.endswith("_all")}
size = sum(os.path.getsize(p) for p in sys.argv[3:5])
art = native["BM_StringArtFrameWithAxes"]
floor = native["BM_Floor"]
print("  navigation -> first frame: first visit median %.1f ms over %d fresh profiles "
      "(target <= 250) %s; warm median %.1f ms over %d loads (target <= 500) %s" % (
    web["first_visit_ms"], sum(len(w["first_visit_ms_all"]) for w in webs),
    [t for w in webs for t in w["first_visit_ms_all"]],
    web["first_frame_ms"], sum(len(w["first_frame_ms_all"]) for w in webs),
    [t for w in webs for t in w["first_frame_ms_all"]]))
print("  string-art frame with axes: web paint median %.3f ms (target <= 3), native %.3f ms, "
      "ratio %.2f" % (web["string_art_axes_paint_ms"], art, web["string_art_axes_paint_ms"] / art))
print("  native string-art frame with axes %.3f ms, clear+copy floor %.3f ms, ratio %.2f" % (
    art, floor, art / floor))
extra = web["traced_paint_ms"] - web["string_art_axes_paint_ms"]
layout = web["traced_panel_layout_ms"] - web["untraced_layout_ms"]
linux = native["BM_FrameOfLinesToViewer"]
print("  traced string-art frame (1,400 lines): web paint median %.3f ms (+%.3f ms for the lines), "
      "panel layout +%.3f ms; Linux, lines to a live viewer: %.3f ms; web/Linux %.2f" % (
          web["traced_paint_ms"], extra, layout, linux, (extra + layout) / linux))
print("  index.wasm + index.js: %d bytes = %.1f KB (target <= 400 KB)" % (size, size / 1024))
PY
done
