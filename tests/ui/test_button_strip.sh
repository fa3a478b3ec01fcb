#!/usr/bin/env bash
# The button strip on a virtual display, driven with the real pointer.
#
# usage: test_button_strip.sh PROGRAM SCREENSHOT.png
set -u
PROGRAM="$1" SHOT="$2"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
fresh_shots "$SHOT"
run_checks 50 800x600x24 - "$PROGRAM" "$SHOT"
need_shots "$SHOT"
