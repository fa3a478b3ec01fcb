#!/usr/bin/env bash
# The button strip on a virtual display, driven with the real pointer.
#
# usage: test_button_strip.sh PROGRAM SCREENSHOT.png
set -u
PROGRAM="$1" SHOT="$2"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
mkdir -p "$(dirname "$SHOT")"
rm -f "$SHOT"
timeout 50 xvfb-run -a -s "-screen 0 800x600x24" "$PROGRAM" "$SHOT" || fail "exit status $?"
[ -s "$SHOT" ] || fail "no screenshot"
