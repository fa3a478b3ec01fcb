#!/usr/bin/env bash
# 10,000 pings from 50 clients at once: every one answered 200, one whole
# usage line each. Usage: load_test.sh SERVER_PROGRAM SAMPLE_CONTENT_FOLDER
set -u
command -v ab >/dev/null || { echo "missing ab (Debian package apache2-utils)"; exit 1; }
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$2" "$work/content"
rm -rf "$work/content/logs" "$work/content/commands/delivered.txt" "$work/content/commands/queue.lock"
"$1" --root "$work/content" --port 0 --log-dir "$work/logs" > "$work/out" 2>&1 &
pid=$!
for _ in $(seq 200); do
  port=$(sed -n 's|^listening on http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/out")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "FAIL: the server did not start"; cat "$work/out"; exit 1; }
ab -q -n 10000 -c 50 -r "http://127.0.0.1:$port/scripts/vyrcmd.dll?Ping&U=0123456789ABCDEF0123456789ABCDEF&B=Default&MO=5&S=1&PV=7&IBA=" > "$work/ab" 2>&1
grep -E '^(Complete|Failed|Non-2xx|Requests per second)' "$work/ab"
kill $pid && wait $pid || { echo "FAIL: the server did not end cleanly"; exit 1; }
grep -q '^Complete requests: *10000$' "$work/ab" && grep -q '^Failed requests: *0$' "$work/ab" &&
  ! grep -q '^Non-2xx' "$work/ab" || { echo "FAIL: not every request was answered 200"; exit 1; }
whole=$(grep -cP '^\S+\tPing\t0123456789ABCDEF0123456789ABCDEF\t5\tB=Default&S=1&PV=7&IBA=$' "$work/logs/usage.log")
[ "$whole" -eq 10000 ] && [ "$(wc -l < "$work/logs/usage.log")" -eq 10000 ] ||
  { echo "FAIL: $whole whole usage lines for 10000 pings"; exit 1; }
echo "all 10000 requests answered"
