#!/usr/bin/env bash
# With no viewer window and no viewer program, trace lines are dropped after a start
# attempt each, and the program keeps answering.
source "$(dirname "$0")/common.bash"

probe viewer-close 3000 >/dev/null || fail "a viewer from before cannot be closed"
mkdir "$work/alone"
cp "$WIN_BUILD/fpu-sample.exe" "$work/alone/"

start_program "$work/alone"
# Every key without a command of its own turns Z and sends a trace line; W sends nine.
for key in w u w u u; do xdotool key "$key"; done
changes_after xdotool key Left || fail "the program stopped answering"
ok "the program keeps answering while its trace lines find no viewer"
probe viewer-text 1 500 >/dev/null 2>&1 && fail "a viewer window appeared"
xdotool key Escape
wait_exit 10
[[ "$exit_status" == 0 ]] || fail "exit status $exit_status"
ok "Escape still ends it with status 0"
