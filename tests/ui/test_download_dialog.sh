#!/usr/bin/env bash
# The download progress window on a virtual display, against the test HTTP
# server started here: cancelled during a stalled download, then a whole one.
#
# usage: test_download_dialog.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
start_server "$SERVER"
fresh_shots "$SHOT"

out=$(timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$PROGRAM" "$URL/stall/100000" "$URL/file/70000" "$WORK" "$SHOT")
status=$?
echo "$out"
[ "$status:$out" = $'0:cancel: 2 Downloaded 95 KB of 195 KB\nwhole: 1' ] || fail "exit status $status"
[ "$(stat -c %s "$WORK/whole")" -eq 70000 ] || fail "whole file has $(stat -c %s "$WORK/whole") bytes"
need_shots "$SHOT"
echo "download dialog checks passed"
