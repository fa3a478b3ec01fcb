#!/usr/bin/env bash
# The windowed program's informational options, run without a display: --help
# and --version print and end with status 0, an unknown option ends with
# status 2; none of them connects to a running instance (a listener stands on
# the single-instance socket) or writes to the data folder. A control start
# with an address, on a virtual display, hands the address to the listener.
# Usage: test_command_line.sh VYRELLE PROJECT_VERSION
set -u
program=$1 version=$2
fail() { echo "FAIL: $*"; exit 1; }
for tool in xvfb-run:xvfb pkg-config:pkg-config; do
  command -v "${tool%%:*}" >/dev/null || fail "missing ${tool%%:*}: install the Debian package ${tool##*:}"
done
work=$(mktemp -d)
listener=
trap '[ -z "$listener" ] || kill "$listener" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime" VYRELLE_HOME="$work/home" HOME="$work/userhome"
mkdir -m 700 "$XDG_RUNTIME_DIR" && mkdir "$VYRELLE_HOME" "$HOME"

# A stand-in for a running instance: every connection's bytes, one line each.
/usr/bin/python3 - "$XDG_RUNTIME_DIR/Vyrelle20SpecialClass" "$work/connections" <<'EOF' &
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
listener=$!
for _ in $(seq 50); do [ -e "$work/connections.ready" ] && break; sleep 0.1; done
[ -e "$work/connections.ready" ] || fail "the stand-in instance did not start"

# run NAME EXPECTED_STATUS ARG...: runs the program without a display.
run() {
  local name=$1 want=$2
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$program" "$@" > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  [ "$status" -eq "$want" ] || { cat "$work/$name.err"; fail "$name: status $status, not $want"; }
}

run help 0 --help
head -1 "$work/help.out" | grep -qx 'Usage: vyrelle \[ADDRESS | FILE | WORDS\]' || fail "--help printed: $(head -3 "$work/help.out")"
grep -q -- '--version' "$work/help.out" || fail "--help does not name --version"
run short_help 0 -h
cmp -s "$work/help.out" "$work/short_help.out" || fail "-h prints another text than --help"

run version 0 --version
engine=$(pkg-config --modversion webkit2gtk-4.0) toolkit=$(pkg-config --modversion gtk+-3.0)
printf 'Vyrelle %s\nWebKitGTK %s\nGTK %s\n' "$version" "$engine" "$toolkit" > "$work/version.want"
cmp -s "$work/version.out" "$work/version.want" ||
  fail "--version printed '$(cat "$work/version.out")', not '$(cat "$work/version.want")'"

run unknown 2 --bogus
grep -q 'unknown option --bogus' "$work/unknown.err" || fail "an unknown option is not named: $(cat "$work/unknown.err")"
[ ! -s "$work/unknown.out" ] || fail "an unknown option printed to standard output"
run screenshot_alone 2 --screenshot

[ ! -e "$work/connections" ] || fail "an informational start talked to the running instance: $(cat "$work/connections")"
[ -z "$(ls -A "$VYRELLE_HOME")" ] || fail "an informational start wrote to the data folder: $(ls -A "$VYRELLE_HOME")"

# The control: a start with an address hands it to the stand-in and ends.
timeout 60 xvfb-run -a "$program" http://example.invalid/handed > "$work/control.out" 2>&1 ||
  { cat "$work/control.out"; fail "the control start did not end with status 0"; }
for _ in $(seq 50); do [ -s "$work/connections" ] && break; sleep 0.1; done
grep -q "238 29\\\\nhttp://example.invalid/handed244" "$work/connections" ||
  fail "the control start did not hand its address over: $(cat "$work/connections" 2>/dev/null)"
echo "informational options answer alone"
