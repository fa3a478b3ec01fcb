#!/usr/bin/env bash
# The main window's start against the test HTTP server started here and a
# private Dovecot server the program starts (the checks of startup_ui), then
# a second run, maximised, that closes the window while the mail check waits.
#
# usage: test_startup.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb xauth:xauth dovecot:dovecot-pop3d
start_server "$SERVER"
mkdir -p "$SHOTS"
private_home "$WORK/start"
run_checks 150 1280x900x24 8 "$PROGRAM" "$URL" "$SHOTS"
private_home "$WORK/closing"
run_checks 150 1280x900x24 3 "$PROGRAM" "$URL" "$SHOTS" closing
echo "start-up checks passed; screenshots in $SHOTS"
