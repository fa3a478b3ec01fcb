#!/usr/bin/env bash
# The download progress window on a virtual display, against the download
# server started here: cancelled during a stalled download, then a whole one.
#
# usage: test_download_dialog.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
WORK=$(mktemp -d)
SERVER_PID=""
cleanup() { [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
command -v xvfb-run >/dev/null || fail "xvfb-run is missing (Debian package xvfb)"

/usr/bin/python3 "$SERVER" "$WORK/port" &
SERVER_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port" 2>/dev/null)
[ -n "$PORT" ] || fail "the download server did not start"
mkdir -p "$(dirname "$SHOT")"

out=$(timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$PROGRAM" "http://127.0.0.1:$PORT/stall/100000" "http://127.0.0.1:$PORT/file/70000" "$WORK" "$SHOT")
status=$?
echo "$out"
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$out" = $'cancel: 2 Downloaded 95 KB of 195 KB\nwhole: 1' ] || fail "printed: $out"
[ "$(stat -c %s "$WORK/whole")" -eq 70000 ] || fail "whole file has $(stat -c %s "$WORK/whole") bytes"
[ -s "$SHOT" ] || fail "no screenshot"
echo "download dialog checks passed"
