#!/usr/bin/env bash
# The download progress window on a virtual display, against the test HTTP
# server started here: cancelled during a stalled download, then a whole one.
#
# usage: test_download_dialog.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
WORK=$(mktemp -d)
/usr/bin/python3 "$SERVER" > "$WORK/server.out" &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
command -v xvfb-run >/dev/null || fail "xvfb-run is missing (Debian package xvfb)"
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
URL="http://127.0.0.1:$(sed -n 's/^PORT //p' "$WORK/server.out")"
mkdir -p "$(dirname "$SHOT")"

out=$(timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$PROGRAM" "$URL/stall/100000" "$URL/file/70000" "$WORK" "$SHOT")
status=$?
echo "$out"
[ "$status:$out" = $'0:cancel: 2 Downloaded 95 KB of 195 KB\nwhole: 1' ] || fail "exit status $status"
[ "$(stat -c %s "$WORK/whole")" -eq 70000 ] || fail "whole file has $(stat -c %s "$WORK/whole") bytes"
[ -s "$SHOT" ] || fail "no screenshot"
echo "download dialog checks passed"
