#!/usr/bin/env bash
# Runs a window test program on a virtual display with folders of its own
# and, when asked, the test HTTP server on loopback; fails unless the program
# ended with status 0 after CHECKS lines starting "ok " and left its pictures.
#
# usage: run_window_test.sh [-s SERVER.py [-a SERVER_ARG]... [-f]] [-c CHECKS] [-d WxHxDEPTH]
#                           [-t SECONDS] [-w] [-p PICTURE]... PROGRAM ARG...
# In the arguments @URL@ stands for the server's address, @PORT@ for its port
# and @WORK@ for the scratch folder; with -f the server serves @WORK@/files.
# With -w a window manager (openbox) runs on the display; without openbox the
# test is skipped (status 77).
set -u
source "$(dirname "$0")/ui_test_lib.sh"
SERVER= SERVER_ARGS=() CHECKS=- SCREEN=1280x900x24 SECONDS_=120 SHOTS=() WM=()
while getopts s:a:fc:d:t:wp: opt; do
  case $opt in
    s) SERVER=$OPTARG ;;
    a) SERVER_ARGS+=("$OPTARG") ;;
    f) mkdir -p "$WORK/files" && export FILES_DIR="$WORK/files" ;;
    c) CHECKS=$OPTARG ;;
    d) SCREEN=$OPTARG ;;
    t) SECONDS_=$OPTARG ;;
    p) SHOTS+=("$OPTARG") ;;
    w) command -v openbox >/dev/null || { echo "openbox is missing (Debian package openbox)"; exit 77; }
       WM=(bash -c 'openbox --sm-disable & trap "kill $!" EXIT
         for _ in $(seq 200); do
           xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.05
         done
         "$@"' with-wm) ;;
    *) fail "unknown option" ;;
  esac
done
shift $((OPTIND - 1))
need_tools xvfb-run:xvfb xauth:xauth
private_home "$WORK"
[ -z "$SERVER" ] || start_server "$SERVER" "${SERVER_ARGS[@]}"
fresh_shots "${SHOTS[@]}"
args=("${WM[@]}")
for arg in "$@"; do
  arg=${arg//@URL@/${URL:-}} && arg=${arg//@PORT@/${PORT:-}} && args+=("${arg//@WORK@/$WORK}")
done
run_checks "$SECONDS_" "$SCREEN" "$CHECKS" "${args[@]}"
need_shots "${SHOTS[@]}"
