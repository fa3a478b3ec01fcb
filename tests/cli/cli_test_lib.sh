# Sourced by the vyrelle-cli script tests (with the program as $1): a scratch
# folder and home removed on exit, `expect NAME EXPECTED ACTUAL`, `run` for
# one command's status and output, `serve` for a test server on a loopback
# port, and `finish` for the verdict.
set -u
CLI="$1"
WORK=$(mktemp -d)
CLEANUP="rm -rf '$WORK'"
trap 'eval "$CLEANUP"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
expect() {
  [ "$2" = "$3" ] && return
  printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  failures=$((failures + 1))
}
# run STATUS OUTPUT ARGS...: vyrelle-cli ARGS exits with STATUS and prints
# OUTPUT (its error output included).
run() {
  local want="$1 $2" out
  shift 2
  out=$("$CLI" "$@" 2>&1)
  expect "$*" "$want" "$? $out"
}
# Runs a server in the background, ended on exit; PORT is the port it prints
# ("PORT <n>", or Python's http.server line).
serve() {
  "$@" > "$WORK/server.out" 2>&1 &
  CLEANUP="kill $!; $CLEANUP"
  for _ in $(seq 100); do
    PORT=$(sed -n 's/^PORT \([0-9]*\).*/\1/p; s/.* port \([0-9]*\) .*/\1/p' "$WORK/server.out" | head -1)
    [ -n "$PORT" ] && return
    sleep 0.1
  done
  echo "FAIL: the test server did not start: $(cat "$WORK/server.out")"
  exit 1
}
finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "all $1 checks passed"
}
