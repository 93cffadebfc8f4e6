#!/usr/bin/env bash
# The trace delivery's own checks against a viewer window inside the test program.
source "$(dirname "$0")/common.bash"

out=$(wine "$WIN_BUILD/fpu-viewer-sink-test.exe" | tr -d '\r') || fail "checks failed:
$out"
ok "$(grep -c '^ok' <<<"$out") delivery checks pass"
