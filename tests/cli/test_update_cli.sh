#!/usr/bin/env bash
# vyrelle-cli package unpack, update package and scheme import, the downloads
# served by Python's http.server started here on a loopback port.
set -u
CLI="$1"
WORK=$(mktemp -d)
SERVER_PID=""
cleanup() { [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
export VYRELLE_HOME="$WORK/home"
PY=/usr/bin/python3
[ -x "$PY" ] || { echo "FAIL: /usr/bin/python3 is missing (Debian package python3)"; exit 1; }
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
ROOT="$VYRELLE_HOME/vyrelle"

mkdir -p "$WORK/www" "$WORK/out/target"
"$PY" - "$WORK/www" <<'PYEOF'
import sys, zipfile
www = sys.argv[1]
with zipfile.ZipFile(www + "/fixed.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("chanfixed.vyr", "~CH:News\r\n")
with zipfile.ZipFile(www + "/Ocean.vyrscheme", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("config.ini", "[Misc]\r\n")
    z.writestr("bitmaps/chanbar.bmp", "BM")
PYEOF

[ "$("$CLI" package unpack "$WORK/www/fixed.zip" "$WORK/out/target")" = 1 ] || fail "unpack"
[ -f "$WORK/out/target/chanfixed.vyr" ] || fail "chanfixed.vyr not unpacked"
[ "$("$CLI" package unpack "$WORK/www/missing.zip" "$WORK/out/target")" = 0 ] || fail "no package"

"$PY" -u -m http.server 0 --bind 127.0.0.1 --directory "$WORK/www" > "$WORK/server.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 1 100); do grep -q "port" "$WORK/server.log" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$WORK/server.log" | head -1)
[ -n "$PORT" ] || { echo "FAIL: the HTTP server did not start"; exit 1; }
URL="http://127.0.0.1:$PORT"

# Package updates: version 6 is fetched and stored, 6 again is skipped, a
# missing package leaves 6.
[ "$("$CLI" update package VyrFixed 6 "$URL/fixed.zip" 2>/dev/null)" = 6 ] || fail "version 6 not stored"
[ -f "$ROOT/Data/Default/chanfixed.vyr" ] || fail "fixed channels not unpacked"
rm "$ROOT/Data/Default/chanfixed.vyr"
[ "$("$CLI" update package 3 6 "$URL/fixed.zip" 2>/dev/null)" = 6 ] || fail "same version"
[ ! -e "$ROOT/Data/Default/chanfixed.vyr" ] || fail "same version fetched again"
out=$("$CLI" update package VyrFixed 7 "$URL/missing.zip" 2>/dev/null)
[ "$?" -eq 1 ] && [ "$out" = 6 ] || fail "failed download: status or version $out"

# Scheme import through an address with one slash after "http:"; yes to every
# question, so a second import replaces the folder; no ends at the first one.
out=$("$CLI" scheme import "http:/127.0.0.1:$PORT/Ocean.vyrscheme" --answer yes 2>"$WORK/err")
[ "$out" = "$ROOT/media/Ocean/" ] || fail "scheme folder: $out ($(cat "$WORK/err"))"
[ "$(cat "$ROOT/media/Ocean/bitmaps/chanbar.bmp")" = BM ] || fail "scheme not unpacked"
[ "$("$CLI" settings get misc userdir)" = Ocean ] || fail "scheme not made current"
out=$("$CLI" scheme import "$URL/Ocean.vyrscheme" --answer yes 2>/dev/null)
[ "$out" = "$ROOT/media/Ocean/" ] || fail "replace: $out"
"$CLI" scheme import "$URL/Sea.vyrscheme" --answer no > /dev/null 2>&1
[ "$?" -eq 1 ] && [ ! -e "$ROOT/media/Sea" ] || fail "declined import"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
