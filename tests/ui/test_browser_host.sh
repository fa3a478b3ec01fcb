#!/usr/bin/env bash
# The browser control host on a virtual display, against the test HTTP server
# started here. Pages come from 127.0.0.1; the home server is "localhost" on
# the same port, so no test page is the home server's own.
#
# usage: test_browser_host.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth import:imagemagick
start_server "$SERVER"
export VYRELLE_HOME="$WORK/home"
private_dirs "$WORK"
mkdir -p "$(dirname "$SHOT")"
export WEBKIT_DISABLE_COMPOSITING_MODE=1
rm -f "$SHOT"

run_checks 200 1024x768x24 12 "$PROGRAM" "$URL" "http://localhost:$PORT" "$SHOT"
[ -s "$SHOT" ] || fail "no screenshot"
echo "browser host checks passed; screenshot: $SHOT"
