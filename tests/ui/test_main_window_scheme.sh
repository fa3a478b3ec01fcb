#!/usr/bin/env bash
# The main window's look on a virtual display: main_window_scheme_ui once per
# mode, each with a data folder of its own, the test HTTP server started here
# serving the scheme package the program writes.
#
# usage: test_main_window_scheme.sh PROGRAM SERVER.py SHIPPED_DATA_DIR SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" DATA="$3" SHOTS="$4"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
mkdir -p "$WORK/files" "$SHOTS"
FILES_DIR="$WORK/files" start_server "$SERVER"
for run in switch:2 import:2 own:1 damaged:1; do  # mode:checks
  private_home "$WORK/${run%%:*}"
  run_checks 120 1280x900x24 "${run##*:}" "$PROGRAM" "${run%%:*}" "$DATA" "$URL" "$WORK/files" "$SHOTS"
done
echo "scheme look checks passed; screenshots in $SHOTS"
