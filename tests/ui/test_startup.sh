#!/usr/bin/env bash
# The main window's start against the test HTTP server started here and a
# private Dovecot server the program starts (the checks of startup_ui), then
# a second run that closes the window while the mail check waits.
#
# usage: test_startup.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb Xvfb:xvfb xauth:xauth import:imagemagick dovecot:dovecot-pop3d
start_server "$SERVER"
mkdir -p "$SHOTS"
for run in start closing; do
  export VYRELLE_HOME="$WORK/$run/home"
  private_dirs "$WORK/$run"
  mkdir -p "$VYRELLE_HOME"
  if [ $run = start ]; then checks=8; else checks=2; fi
  run_checks 150 1280x900x24 $checks "$PROGRAM" "$URL" "$SHOTS" $([ $run = closing ] && echo closing)
done
echo "start-up checks passed; screenshots in $SHOTS"
