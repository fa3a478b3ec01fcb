#!/usr/bin/env bash
# vyrelle-cli package unpack, update package and scheme import: what they
# print and exit with, the downloads served by Python's http.server started
# here on a loopback port.
. "$(dirname "$0")/cli_test_lib.sh"
mkdir -p "$WORK/www" "$WORK/target"
ROOT="$VYRELLE_HOME/vyrelle"
/usr/bin/python3 - "$WORK/www" <<'PYEOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1] + "/fixed.zip", "w") as z:
    z.writestr("chanfixed.vyr", "~CH:News\r\n")
with zipfile.ZipFile(sys.argv[1] + "/Ocean.vyrscheme", "w") as z:
    z.writestr("bitmaps/chanbar.bmp", "BM")
with zipfile.ZipFile(sys.argv[1] + "/default.vyrscheme", "w") as z:
    z.writestr("chanfixed.vyr", "~CH:Other\r\n")
PYEOF
serve /usr/bin/python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$WORK/www"
URL="http://127.0.0.1:$PORT"
"$CLI" settings set misc HomeServer "$URL"

expect "unpack printed, file unpacked" "1 0 yes" \
  "$("$CLI" package unpack "$WORK/www/fixed.zip" "$WORK/target") $("$CLI" package unpack "$WORK/none.zip" "$WORK/target") $(test -f "$WORK/target/chanfixed.vyr" && echo yes)"
# A package update prints the version stored afterwards; a failed one exits 1.
expect "version 6 stored, fixed channels unpacked" "6 yes" \
  "$("$CLI" update package VyrFixed 6 "$URL/fixed.zip" 2>/dev/null) $(test -f "$ROOT/Data/Default/chanfixed.vyr" && echo yes)"
out=$("$CLI" update package 3 7 "$URL/missing.zip" 2>/dev/null)
expect "failed download" 1:6 "$?:$out"
# A refused request (the same server under another name is not the home
# server) prints the stored version and exits 0.
out=$("$CLI" update package 3 8 "http://localhost:$PORT/fixed.zip" 2>/dev/null)
expect "refused source" 0:6 "$?:$out"
# --answer yes says yes to every question and prints the scheme folder; no
# ends at the first question with status 1.
out=$("$CLI" scheme import "http:/127.0.0.1:$PORT/Ocean.vyrscheme" --answer yes 2>/dev/null)
expect "scheme folder" "$ROOT/media/Ocean/" "$out"
expect "scheme unpacked and current" BMOcean "$(cat "$ROOT/media/Ocean/bitmaps/chanbar.bmp")$("$CLI" settings get misc userdir)"
"$CLI" scheme import "$URL/Ocean.vyrscheme" --answer no > /dev/null 2>&1
expect "declined import" 1 "$?"
# --answer yes replaces once: a package named "default" is refused that
# answer and the import ends with status 1 instead of asking forever.
mkdir -p "$ROOT/media/default"
printf 'shipped' > "$ROOT/media/default/chanfixed.vyr"
"$CLI" scheme import "$URL/default.vyrscheme" --answer yes > /dev/null 2>&1
expect "default refused" "1 shipped" "$? $(cat "$ROOT/media/default/chanfixed.vyr")"
finish update
