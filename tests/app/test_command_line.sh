#!/usr/bin/env bash
# The windowed program's informational options, run without a display: --help
# and --version print and end with status 0, an unknown option ends with
# status 2; none of them connects to a running instance (a listener stands on
# the single-instance socket) or writes to the data folder. A control start
# with an address, on a virtual display, hands the address to the listener.
# Usage: test_command_line.sh VYRELLE PROJECT_VERSION
set -u
source "$(dirname "$0")/../ui/ui_test_lib.sh"
program=$1 version=$2
need_tools xvfb-run:xvfb pkg-config:pkg-config
private_home "$WORK"
export HOME="$WORK/userhome"
mkdir "$HOME"

# A stand-in for a running instance: every connection's bytes, one line each.
/usr/bin/python3 - "$XDG_RUNTIME_DIR/Vyrelle20SpecialClass" "$WORK/connections" <<'EOF' &
import socket, sys
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(4)
open(sys.argv[2] + ".ready", "w").close()
while True:
    conn, _ = server.accept()
    data = b""
    while not data.endswith(b"244\n"):
        part = conn.recv(4096)
        if not part:
            break
        data += part
    with open(sys.argv[2], "a") as f:
        f.write(repr(data) + "\n")
    conn.close()
EOF
SERVER_PID=$!
wait_for 20 test -e "$WORK/connections.ready" || fail "the stand-in instance did not start"

# run NAME EXPECTED_STATUS ARG...: runs the program without a display.
run() {
  local name=$1 want=$2
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$program" "$@" > "$WORK/$name.out" 2> "$WORK/$name.err"
  local status=$?
  [ "$status" -eq "$want" ] || { cat "$WORK/$name.err"; fail "$name: status $status, not $want"; }
}

run help 0 --help
head -1 "$WORK/help.out" | grep -qx 'Usage: vyrelle \[ADDRESS | FILE | WORDS\]' || fail "--help printed: $(head -3 "$WORK/help.out")"
grep -q -- '--version' "$WORK/help.out" || fail "--help does not name --version"
run short_help 0 -h
cmp -s "$WORK/help.out" "$WORK/short_help.out" || fail "-h prints another text than --help"

run version 0 --version
engine=$(pkg-config --modversion webkit2gtk-4.0) toolkit=$(pkg-config --modversion gtk+-3.0)
printf 'Vyrelle %s\nWebKitGTK %s\nGTK %s\n' "$version" "$engine" "$toolkit" > "$WORK/version.want"
cmp -s "$WORK/version.out" "$WORK/version.want" ||
  fail "--version printed '$(cat "$WORK/version.out")', not '$(cat "$WORK/version.want")'"

run unknown 2 --bogus
grep -q 'unknown option --bogus' "$WORK/unknown.err" || fail "an unknown option is not named: $(cat "$WORK/unknown.err")"
[ ! -s "$WORK/unknown.out" ] || fail "an unknown option printed to standard output"
run screenshot_alone 2 --screenshot

[ ! -e "$WORK/connections" ] || fail "an informational start talked to the running instance: $(cat "$WORK/connections")"
[ -z "$(ls -A "$VYRELLE_HOME")" ] || fail "an informational start wrote to the data folder: $(ls -A "$VYRELLE_HOME")"

# The control: a start with an address hands it to the stand-in and ends.
timeout 60 xvfb-run -a "$program" http://example.invalid/handed > "$WORK/control.out" 2>&1 ||
  { cat "$WORK/control.out"; fail "the control start did not end with status 0"; }
wait_for 20 test -s "$WORK/connections"
grep -q "238 29\\\\nhttp://example.invalid/handed244" "$WORK/connections" ||
  fail "the control start did not hand its address over: $(cat "$WORK/connections" 2>/dev/null)"
echo "informational options answer alone"
