# Shared by the window test scripts in this folder (sourced, not run): a
# scratch folder removed at the end, the test HTTP server on loopback and the
# private folders a program on the virtual display writes to.

fail() { echo "FAIL: $*"; exit 1; }

# need_tools COMMAND:PACKAGE...: fails naming the Debian package of the first
# command that is missing.
need_tools() {
  local need
  for need in "$@"; do
    command -v "${need%%:*}" >/dev/null ||
      fail "'${need%%:*}' is missing: install the Debian package ${need##*:}"
  done
}

WORK=$(mktemp -d)
SERVER_PID=
trap '[ -z "$SERVER_PID" ] || kill "$SERVER_PID" 2>/dev/null; rm -rf "$WORK"' EXIT

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

# private_dirs BASE: the runtime, cache and configuration folders under BASE,
# so that no run sees another's or the user's.
private_dirs() {
  export XDG_RUNTIME_DIR="$1/runtime" XDG_CACHE_HOME="$1/cache" XDG_CONFIG_HOME="$1/config"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# run_checks SECONDS SCREEN CHECKS PROGRAM ARG...: runs the program on a
# virtual display of SCREEN (WxHxDEPTH), shows its output and fails unless it
# ended with status 0 after CHECKS lines starting "ok ".
run_checks() {
  local seconds=$1 screen=$2 checks=$3 status
  shift 3
  timeout "$seconds" xvfb-run -a -s "-screen 0 $screen" "$@" > "$WORK/out" 2> "$WORK/err"
  status=$?
  cat "$WORK/out"
  [ "$status" -eq 0 ] || { echo "--- program errors:"; tail -40 "$WORK/err"; fail "exit status $status"; }
  [ "$(grep -c '^ok ' "$WORK/out")" -eq "$checks" ] || fail "not every check ran"
}
