# Shared by the window test scripts in this folder (sourced, not run): a
# scratch folder removed at the end, the test HTTP server and the home server
# on loopback, the private folders a program on the virtual display writes
# to, and the checks of a run and of the pictures it keeps.

fail() { echo "FAIL: $*"; exit 1; }

# No session bus is started for the programs on the virtual display: with
# none given, the toolkit and the engine would launch one through the X
# server (dbus-launch), which outlives the program. The accessibility
# bridge stays off; the accessibility test runs a bus of its own.
export NO_AT_BRIDGE=1
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-unix:path=/nonexistent/vyrelle-tests-have-no-session-bus}"

# need_tools COMMAND:PACKAGE...: fails naming the Debian package of the first
# command that is missing.
need_tools() {
  local need
  for need in "$@"; do
    command -v "${need%%:*}" >/dev/null ||
      fail "'${need%%:*}' is missing: install the Debian package ${need##*:}"
  done
}

# wait_for TRIES COMMAND...: runs the command every half second until it succeeds.
wait_for() { local n=$1; shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.5; done; return 1; }

WORK=$(mktemp -d)
SERVER_PID= HOME_PID=
trap '[ -z "$SERVER_PID" ] || kill "$SERVER_PID" 2>/dev/null; [ -z "$HOME_PID" ] || kill "$HOME_PID" 2>/dev/null
  rm -rf "$WORK"' EXIT

# start_home_server, queue_command and stop_home_server: the project's own
# home server on loopback (HOME_PID is ended on exit too).
source "$(dirname "${BASH_SOURCE[0]}")/../tools/home_server.sh"

# start_server SERVER.py [ARG...]: starts the test HTTP server (variables
# given before the call reach it) and waits for the port it prints; sets PORT
# and URL (http://127.0.0.1:PORT). Its output stays in $WORK/server.out.
start_server() {
  /usr/bin/python3 "$@" > "$WORK/server.out" &
  SERVER_PID=$!
  for _ in $(seq 100); do grep -q PORT "$WORK/server.out" && break; sleep 0.1; done
  PORT=$(sed -n 's/^PORT //p' "$WORK/server.out")
  [ -n "$PORT" ] || fail "the test HTTP server did not start"
  URL="http://127.0.0.1:$PORT"
}

# private_home BASE: the data home (VYRELLE_HOME) and the runtime, cache,
# configuration and data folders under BASE, so that no run sees another's or
# the user's.
private_home() {
  export VYRELLE_HOME="$1/home" XDG_RUNTIME_DIR="$1/runtime" XDG_CACHE_HOME="$1/cache" XDG_CONFIG_HOME="$1/config" \
    XDG_DATA_HOME="$1/data"
  mkdir -p "$VYRELLE_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# run_checks SECONDS SCREEN CHECKS PROGRAM ARG...: runs the program on a
# virtual display of SCREEN (WxHxDEPTH), shows its output and fails unless it
# ended with status 0 after CHECKS lines starting "ok " (any number for "-").
run_checks() {
  local seconds=$1 screen=$2 checks=$3 status
  shift 3
  timeout "$seconds" xvfb-run -a -s "-screen 0 $screen" "$@" > "$WORK/out" 2> "$WORK/err"
  status=$?
  cat "$WORK/out"
  [ "$status" -eq 0 ] || { echo "--- program errors:"; tail -40 "$WORK/err"; fail "exit status $status"; }
  [ "$checks" = - ] || [ "$(grep -c '^ok ' "$WORK/out")" -eq "$checks" ] || fail "not every check ran"
}

# fresh_shots PICTURE...: removes the pictures before a run (their folders made).
fresh_shots() { local shot; for shot in "$@"; do mkdir -p "$(dirname "$shot")"; rm -f "$shot"; done; }
# need_shots PICTURE...: fails unless the run left every picture.
need_shots() { local shot; for shot in "$@"; do [ -s "$shot" ] || fail "no screenshot $shot"; done; }

# colour_pixels PICTURE COLOUR: how many pixels of the picture have the colour.
colour_pixels() {
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info: 2>/dev/null ||
    echo 0
}
