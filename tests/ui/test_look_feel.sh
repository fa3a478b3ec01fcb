#!/usr/bin/env bash
# The scheme dialogs on a virtual display, with the test HTTP server started
# here serving the scheme package the program writes.
#
# usage: test_look_feel.sh PROGRAM SERVER.py SHIPPED_DATA_DIR SCREENSHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" DATA="$3" SHOTS="$4"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
mkdir -p "$WORK/home" "$WORK/files" "$SHOTS"
FILES_DIR="$WORK/files" start_server "$SERVER"
run_checks 120 1024x768x24 - "$PROGRAM" "$DATA" "$WORK/home" "$WORK/files" "$URL" "$SHOTS"
