# Sourced by the shell tests that play against the project's own home server.
#
# start_home_server PROGRAM CONTENT ROOT [ARG...]: copies the content folder
# CONTENT (data/home-server, or one the test prepared) to ROOT, starts
# vyrelle-home-server on it on a free loopback port with the extra ARGs and
# waits until it listens. Sets HOME_PID and HOME_URL (http://127.0.0.1:PORT);
# the program's output goes to ROOT.out and ROOT.err, its logs to ROOT/logs.
# The caller ends it (stop_home_server, or kill "$HOME_PID" on exit).
start_home_server() {
  local program="$1" content="$2" root="$3"
  shift 3
  rm -rf "$root" && cp -r "$content" "$root" || { echo "FAIL: cannot copy $content"; exit 1; }
  # What a server run in the content folder itself may have left there.
  rm -rf "$root/logs" "$root/commands/delivered.txt" "$root/commands/queue.lock"
  "$program" --root "$root" --port 0 "$@" >"$root.out" 2>"$root.err" &
  HOME_PID=$!
  HOME_URL=
  for _ in $(seq 200); do
    HOME_URL=$(sed -n 's|^listening on \(http://127\.0\.0\.1:[0-9]*\)/$|\1|p' "$root.out")
    [ -n "$HOME_URL" ] && return 0
    kill -0 "$HOME_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAIL: vyrelle-home-server did not listen: $(cat "$root.out" "$root.err")"
  exit 1
}

# queue_command ROOT LINE: adds LINE to the command queue under its lock, as
# an administrator does ("COMMAND", "@ID COMMAND" or "* COMMAND").
queue_command() {
  (flock 9 && printf '%s\n' "$2" >>"$1/commands/queue.txt") 9>>"$1/commands/queue.lock"
}

# stop_home_server: SIGTERM and the wait for its end; its logs are whole
# then (a request's access line is written after its answer went out).
stop_home_server() {
  [ -n "${HOME_PID:-}" ] || return 0
  kill -TERM "$HOME_PID" 2>/dev/null
  wait "$HOME_PID"
  local status=$?
  HOME_PID=
  return $status
}
