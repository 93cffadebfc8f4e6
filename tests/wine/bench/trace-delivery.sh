#!/usr/bin/env bash
# What a trace line costs the window's thread under Wine: synchronous delivery to the
# visible viewer (baseline) against the queued delivery, medians of 5 runs, with ratio.
# Same environment as the Wine tests (FPU_WIN_BUILD, WINEPREFIX, DISPLAY). Not run by CI.
source "$(dirname "$0")/../common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
# Into a file, not a pipe: the viewer the bench starts inherits the output and outlives it.
wine "$WIN_BUILD/fpu-viewer-sink-bench.exe" >"$work/bench.out" || fail "the bench failed"
tr -d '\r' <"$work/bench.out"
