#!/usr/bin/env bash
# The browser control host on a virtual display, against the test HTTP server
# started here. Pages come from 127.0.0.1; the home server is "localhost" on
# the same port, so no test page is the home server's own.
#
# usage: test_browser_host.sh PROGRAM SERVER.py SCREENSHOT.png
set -u
PROGRAM="$1" SERVER="$2" SHOT="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth
start_server "$SERVER"
private_home "$WORK"
fresh_shots "$SHOT"
run_checks 200 1024x768x24 12 "$PROGRAM" "$URL" "http://localhost:$PORT" "$SHOT"
need_shots "$SHOT"
