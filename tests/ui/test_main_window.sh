#!/usr/bin/env bash
# The main window on a virtual display against the test HTTP server started
# here as page and home server.
#
# usage: test_main_window.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth
start_server "$SERVER"
private_home "$WORK"
mkdir -p "$SHOTS"
run_checks 150 1280x900x24 6 "$PROGRAM" "$URL" "$SHOTS"
echo "main window checks passed; screenshots in $SHOTS"
