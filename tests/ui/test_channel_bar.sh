#!/usr/bin/env bash
# The channel bar on a virtual display, against the test HTTP server started
# here, which also answers the session's pings with a command.
#
# usage: test_channel_bar.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
fail() { echo "FAIL: $*"; exit 1; }
for need in xvfb-run:xvfb xauth:xauth import:imagemagick; do
  command -v "${need%%:*}" >/dev/null || fail "'${need%%:*}' is missing: install the Debian package ${need##*:}"
done
WORK=$(mktemp -d)
/usr/bin/python3 "$SERVER" "Ping=PONG#showmail#" > "$WORK/server.out" &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
PORT=$(sed -n 's/^PORT //p' "$WORK/server.out")
[ -n "$PORT" ] || fail "the test HTTP server did not start"
export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CACHE_HOME="$WORK/cache" XDG_CONFIG_HOME="$WORK/config"
export XDG_DATA_HOME="$WORK/data"
mkdir -p "$XDG_RUNTIME_DIR" "$(dirname "$SHOT")" && chmod 700 "$XDG_RUNTIME_DIR"
export WEBKIT_DISABLE_COMPOSITING_MODE=1
rm -f "$SHOT"

timeout 160 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$PROGRAM" "http://127.0.0.1:$PORT" "$WORK/server.out" "$SHOT" > "$WORK/out" 2> "$WORK/err"
status=$?
cat "$WORK/out"
[ "$status" -eq 0 ] || { echo "--- program errors:"; tail -40 "$WORK/err"; fail "exit status $status"; }
[ "$(grep -c '^ok ' "$WORK/out")" -eq 13 ] || fail "not every check ran"
[ -s "$SHOT" ] || fail "no screenshot"
echo "channel bar checks passed; screenshot: $SHOT"
