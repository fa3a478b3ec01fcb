#!/usr/bin/env bash
# The main window on a virtual display against the test HTTP server started
# here as page and home server: the checks of main_window_ui, then a second
# run whose saved placement is maximised.
#
# usage: test_main_window.sh PROGRAM SERVER.py SHOT_DIR
set -u
PROGRAM="$1" SERVER="$2" SHOTS="$3"
fail() { echo "FAIL: $*"; exit 1; }
for need in xvfb-run:xvfb Xvfb:xvfb xauth:xauth; do
  command -v "${need%%:*}" >/dev/null || fail "'${need%%:*}' is missing: install the Debian package ${need##*:}"
done
WORK=$(mktemp -d)
/usr/bin/python3 "$SERVER" > "$WORK/server.out" &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
URL="http://127.0.0.1:$(sed -n 's/^PORT //p' "$WORK/server.out")"
[ "$URL" != "http://127.0.0.1:" ] || fail "the test server did not start"
mkdir -p "$SHOTS"

run() {  # run NAME [maximized]
  export VYRELLE_HOME="$WORK/$1/home"
  export XDG_RUNTIME_DIR="$WORK/$1/runtime" XDG_CACHE_HOME="$WORK/$1/cache" XDG_CONFIG_HOME="$WORK/$1/config"
  mkdir -p "$VYRELLE_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  timeout 150 xvfb-run -a -s "-screen 0 1280x900x24" "$PROGRAM" "$URL" "$SHOTS" ${2:-} >"$WORK/$1.out" 2>"$WORK/$1.err"
  local status=$?
  cat "$WORK/$1.out"
  if [ $status -ne 0 ]; then
    echo "--- output of the $1 run:"; tail -n 30 "$WORK/$1.err"
    fail "the $1 run ended with status $status"
  fi
  grep -qx "ALL PASSED" "$WORK/$1.out" || fail "the $1 run did not finish its checks"
}
run normal
run maximized maximized
echo "main window checks passed; screenshots in $SHOTS"
