#!/usr/bin/env bash
# Runs a window test program on a virtual display with folders of its own
# and, when asked, the test HTTP server and the home server on loopback;
# fails unless the program ended with status 0 after CHECKS lines starting
# "ok " and left its pictures.
#
# usage: run_window_test.sh [-s SERVER.py [-a SERVER_ARG]... [-f]]
#                           [-h HOME_SERVER [-H HOME_SERVER_ARG]... [-q COMMAND]...]
#                           [-c CHECKS] [-d WxHxDEPTH] [-t SECONDS] [-w] [-p PICTURE]... PROGRAM ARG...
# In the arguments @URL@ stands for the test HTTP server's address, @PORT@
# for its port and @WORK@ for the scratch folder; with -f the server serves
# @WORK@/files. With -h the program vyrelle-home-server runs on a copy of
# data/home-server, @HOME_URL@ its address and @HOME_ROOT@ its content folder
# (its logs in @HOME_ROOT@/logs), each -q line queued for the next session
# reply.
# With -w a window manager (openbox) runs on the display; without openbox the
# test is skipped (status 77).
set -u
source "$(dirname "$0")/ui_test_lib.sh"
SERVER= SERVER_ARGS=() HOME_SERVER= HOME_ARGS=() QUEUED=() CHECKS=- SCREEN=1280x900x24 SECONDS_=120 SHOTS=() WM=()
while getopts s:a:h:H:q:fc:d:t:wp: opt; do
  case $opt in
    s) SERVER=$OPTARG ;;
    a) SERVER_ARGS+=("$OPTARG") ;;
    h) HOME_SERVER=$OPTARG ;;
    H) HOME_ARGS+=("$OPTARG") ;;
    q) QUEUED+=("$OPTARG") ;;
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
HOME_ROOT="$WORK/served"
if [ -n "$HOME_SERVER" ]; then
  start_home_server "$HOME_SERVER" "$(dirname "$0")/../../data/home-server" "$HOME_ROOT" "${HOME_ARGS[@]}"
  for line in "${QUEUED[@]}"; do queue_command "$HOME_ROOT" "$line" || fail "cannot queue \"$line\""; done
fi
fresh_shots "${SHOTS[@]}"
args=("${WM[@]}")
for arg in "$@"; do
  arg=${arg//@URL@/${URL:-}} && arg=${arg//@PORT@/${PORT:-}} && arg=${arg//@HOME_URL@/${HOME_URL:-}}
  arg=${arg//@HOME_ROOT@/$HOME_ROOT} && args+=("${arg//@WORK@/$WORK}")
done
run_checks "$SECONDS_" "$SCREEN" "$CHECKS" "${args[@]}"
need_shots "${SHOTS[@]}"
