#!/usr/bin/env bash
# The main window's start on a prepared data root against the test HTTP
# server started here (page and home server) and a private Dovecot POP3
# server the program starts: the checks of startup_ui, then a second run
# that closes the window while the mail check waits for a silent server.
#
# usage: test_startup.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb Xvfb:xvfb xauth:xauth import:imagemagick dovecot:dovecot-pop3d
start_server "$SERVER"
mkdir -p "$SHOTS"

run() {  # run NAME [closing]
  export VYRELLE_HOME="$WORK/$1/home"
  private_dirs "$WORK/$1"
  mkdir -p "$VYRELLE_HOME"
  timeout 150 xvfb-run -a -s "-screen 0 1280x900x24" "$PROGRAM" "$URL" "$SHOTS" ${2:-} >"$WORK/$1.out" 2>"$WORK/$1.err"
  local status=$?
  cat "$WORK/$1.out"
  if [ $status -ne 0 ]; then
    echo "--- output of the $1 run:"; tail -n 30 "$WORK/$1.err"
    fail "the $1 run ended with status $status"
  fi
  grep -qx "ALL PASSED" "$WORK/$1.out" || fail "the $1 run did not finish its checks"
}
run start
run closing closing
echo "start-up checks passed; screenshots in $SHOTS"
