#!/usr/bin/env bash
# The real client against the real server: vyrelle-cli, with its profile's
# [misc] HomeServer pointing at a vyrelle-home-server on a loopback port
# serving a scratch copy of the sample content, sends the session's login,
# pings and logout, asks the keyword resolver, installs the info box
# package and fetches the fixed channel file.
# Usage: test_client.sh SERVER_PROGRAM CLI_PROGRAM SAMPLE_CONTENT_FOLDER
set -u
server="$1"
cli="$2"
sample="$3"
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VYRELLE_HOME="$work/home"
failures=0
expect() {
  [ "$2" = "$3" ] && return
  printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  failures=$((failures + 1))
}

cp -r "$sample" "$work/content"
rm -rf "$work/content/logs" "$work/content/commands/delivered.txt" "$work/content/commands/queue.lock"
"$server" --root "$work/content" --port 0 --log-dir "$work/logs" > "$work/server.out" 2> "$work/server.err" &
pid=$!
port=
for _ in $(seq 200); do
  port=$(sed -n 's|^listening on http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/server.out")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
[ -n "$port" ] || { echo "FAIL: the server did not start: $(cat "$work/server.out" "$work/server.err")"; exit 1; }
home="http://127.0.0.1:$port"

"$cli" settings set misc HomeServer "$home" > /dev/null
# The ".com" step would ask the network's name service; the resolver and
# the search are what is tried here.
"$cli" settings set SmarterBrowsing Autocomplete 0 > /dev/null

# The session: the login's reply carries no command, a queued command comes
# with the next ping only.
login=$("$cli" session login --send)
expect "login status" 0 $?
address=$(head -1 <<< "$login")
id=${address#*U=}
id=${id%%&*}
[[ "$id" =~ ^[0-9A-F]{32}$ ]] || expect "installation id" "32 hexadecimal digits" "$id"
expect "login address" "$home/scripts/vyrcmd.dll?Login&U=$id&B=Default&TZ=" "${address%%&TZ=*}&TZ="
expect "login commands" "" "$(tail -n +2 <<< "$login")"
flock "$work/content/commands/queue.lock" -c "echo 'showmail' >> '$work/content/commands/queue.txt'"
expect "ping with a queued command" "showmail" "$("$cli" session ping --send | tail -n +2)"
expect "ping after it" "" "$("$cli" session ping --send | tail -n +2)"
expect "logout" "" "$("$cli" session logout --send | tail -n +2)"

# The keyword resolver: a known keyword is opened through the resolver's
# page, an unknown one goes on to the search.
expect "known keyword" "navigate: $home//resolver.dll?realname=server%20news" \
  "$("$cli" browse resolve 'server news' | grep '^navigate: ')"
unknown=$("$cli" browse resolve nosuchkeyword | grep '^navigate: ')
expect "unknown keyword" "navigate: $home/search/" "${unknown:0:$((${#home} + 18))}"

# The info box package, pushed as "ibpush 1 <address>" would push it.
expect "package version" "1" "$("$cli" update package ibox 1 "$home/packages/ibox-1.zip")"
installed=$(find "$VYRELLE_HOME" -path '*/InfoBox/default/Dir1/Box2.htm' | head -1)
expect "unpacked info box page" "$(cat "$sample/infobox/Box2.htm")" "$(cat "$installed" 2>/dev/null)"

# The fixed channel file, as the first start fetches it.
"$cli" download "$home/channels/chanfixed.vyr" "$work/chanfixed.vyr" > /dev/null 2>&1
cmp -s "$sample/channels/chanfixed.vyr" "$work/chanfixed.vyr" || expect "channel file" "same bytes" "different"
expect "the server's channel read" "0	Server News	Channel!" \
  "$("$cli" channels dump "$work/chanfixed.vyr" | grep -x '0	Server News	Channel!')"

kill "$pid"
wait "$pid"
pid=
# One usage line per session request, all of this installation.
expect "usage lines" "Login $id
Ping $id
Ping $id
Logout $id" "$(cut -f2,3 --output-delimiter=' ' "$work/logs/usage.log")"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all client checks passed"
