#!/usr/bin/env bash
# The channel bar in the main window on a virtual display, against the test
# HTTP server started here, which serves the pages and answers the session's
# pings with a command.
#
# usage: test_channel_bar.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth
start_server "$SERVER" "Ping=PONG#showmail#"
private_home "$WORK"
export XDG_DATA_HOME="$WORK/data"
fresh_shots "$SHOTS/ui_channel_bar.png" "$SHOTS/ui_channel_bar_hidden.png"
run_checks 200 1280x900x24 17 "$PROGRAM" "$URL" "$WORK/server.out" "$SHOTS"
need_shots "$SHOTS/ui_channel_bar.png" "$SHOTS/ui_channel_bar_hidden.png"
