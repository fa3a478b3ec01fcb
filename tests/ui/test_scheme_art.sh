#!/usr/bin/env bash
# The scheme art on a virtual display: the shipped default scheme seeded into
# a new data root, then an empty data root (compiled-in pictures).
#
# usage: test_scheme_art.sh PROGRAM SHIPPED_DATA_DIR
set -u
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
mkdir -p "$WORK/seeded" "$WORK/empty"
run_checks 60 1024x768x24 - "$1" "$2" "$WORK/seeded" "$WORK/empty"
