#!/usr/bin/env bash
# The channel bar on a virtual display, against the test HTTP server started
# here, which also answers the session's pings with a command.
#
# usage: test_channel_bar.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth import:imagemagick
start_server "$SERVER" "Ping=PONG#showmail#"
private_dirs "$WORK"
export XDG_DATA_HOME="$WORK/data"
mkdir -p "$(dirname "$SHOT")"
export WEBKIT_DISABLE_COMPOSITING_MODE=1
rm -f "$SHOT"

run_checks 160 1024x768x24 13 "$PROGRAM" "$URL" "$WORK/server.out" "$SHOT"
[ -s "$SHOT" ] || fail "no screenshot"
echo "channel bar checks passed; screenshot: $SHOT"
