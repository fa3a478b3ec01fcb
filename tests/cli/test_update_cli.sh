#!/usr/bin/env bash
# vyrelle-cli package unpack, update package and scheme import: what they
# print and exit with, the downloads served by Python's http.server started
# here on a loopback port.
set -u
CLI="$1"
WORK=$(mktemp -d)
mkdir -p "$WORK/www" "$WORK/target"
/usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$WORK/www" > "$WORK/server.log" 2>&1 &
SERVER_PID=$!
trap 'kill $SERVER_PID; rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
ROOT="$VYRELLE_HOME/vyrelle"
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
/usr/bin/python3 - "$WORK/www" <<'PYEOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1] + "/fixed.zip", "w") as z:
    z.writestr("chanfixed.vyr", "~CH:News\r\n")
with zipfile.ZipFile(sys.argv[1] + "/Ocean.vyrscheme", "w") as z:
    z.writestr("bitmaps/chanbar.bmp", "BM")
PYEOF
for _ in $(seq 100); do grep -q "port" "$WORK/server.log" && break; sleep 0.1; done
URL="http://127.0.0.1:$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$WORK/server.log" | head -1)"

[ "$("$CLI" package unpack "$WORK/www/fixed.zip" "$WORK/target") $("$CLI" package unpack "$WORK/none.zip" "$WORK/target")" = "1 0" ] ||
  fail "unpack printed"
[ -f "$WORK/target/chanfixed.vyr" ] || fail "chanfixed.vyr not unpacked"
# A package update prints the version stored afterwards; a failed one exits 1.
[ "$("$CLI" update package VyrFixed 6 "$URL/fixed.zip" 2>/dev/null)" = 6 ] || fail "version 6 not stored"
[ -f "$ROOT/Data/Default/chanfixed.vyr" ] || fail "fixed channels not unpacked"
out=$("$CLI" update package 3 7 "$URL/missing.zip" 2>/dev/null)
[ "$?:$out" = 1:6 ] || fail "failed download: $out"
# --answer yes says yes to every question and prints the scheme folder; no
# ends at the first question with status 1.
out=$("$CLI" scheme import "http:/127.0.0.1:${URL##*:}/Ocean.vyrscheme" --answer yes 2>"$WORK/err")
[ "$out" = "$ROOT/media/Ocean/" ] || fail "scheme folder: $out ($(cat "$WORK/err"))"
[ "$(cat "$ROOT/media/Ocean/bitmaps/chanbar.bmp")$("$CLI" settings get misc userdir)" = BMOcean ] || fail "scheme not unpacked or not current"
"$CLI" scheme import "$URL/Ocean.vyrscheme" --answer no > /dev/null 2>&1
[ "$?" -eq 1 ] || fail "declined import"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
