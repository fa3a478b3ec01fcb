#!/usr/bin/env bash
# The scheme dialogs on a virtual display, with the test HTTP server started
# here serving the scheme package the program writes.
#
# usage: test_look_feel.sh PROGRAM SERVER.py SHIPPED_DATA_DIR SCREENSHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" DATA="$3" SHOTS="$4"
WORK=$(mktemp -d)
mkdir -p "$WORK/home" "$WORK/files" "$SHOTS"
FILES_DIR="$WORK/files" /usr/bin/python3 "$SERVER" > "$WORK/server.out" &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
command -v xvfb-run >/dev/null || fail "xvfb-run is missing (Debian package xvfb)"
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
URL="http://127.0.0.1:$(sed -n 's/^PORT //p' "$WORK/server.out")"
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$PROGRAM" "$DATA" "$WORK/home" \
  "$WORK/files" "$URL" "$SHOTS"
