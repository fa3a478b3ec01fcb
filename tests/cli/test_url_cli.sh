#!/usr/bin/env bash
# "vyrelle-cli url" as a user runs it: the tokens of a command text and what
# the special-address filter does with an address.
set -u
CLI="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
failures=0
check() {  # check NAME EXPECTED_STATUS EXPECTED_OUTPUT ARGS...
  local name="$1" status_want="$2" want="$3"
  shift 3
  out=$("$CLI" url "$@" 2>&1)
  status=$?
  if [ "$status $out" != "$status_want $want" ]; then
    printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$name" "$status_want $want" "$status $out"
    failures=$((failures + 1))
  fi
}

check "tokens" 0 "setinifile
Misc
a%20b
v" tokens $'setinifile  Misc\ta%20b\r\nv'
check "mailto" 0 "taken
mailto: bob@example.org
ComposeMail bob@example.org" special "MAILTO:Bob@Example.org"
check "command" 0 "taken
command: showmail
PostMenuCommand 32788" special "http://www.vyrelle.example/_cmd/showmail"
check "unknown command" 0 "taken
command: Nothing here
Information Unknown VyrScript Set\n\n>> Nothing here" special "http://www.vyrelle.example/_cmd/Nothing%20here"
check "setup declined" 0 "not taken
setup
Question Vyrelle | Update this software from\n\nhttp://www.vyrelle.example/vyrsetup.exe ?" \
  special "http://www.vyrelle.example/vyrsetup.exe"
check "setup accepted" 0 "taken
setup
Question Vyrelle | Update this software from\n\nhttp://www.vyrelle.example/vyrsetup.exe ?
UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask" \
  special --yes "http://www.vyrelle.example/vyrsetup.exe"
check "channel file" 0 "taken
channel-file
DownloadWithProgress http://c.example/a.ndf $VYRELLE_HOME/vyrelle/_TEMP/vyrtemp.ndf
RebuildButtonStrip
LayoutMainWindow
MergeChannelFile $VYRELLE_HOME/vyrelle/_TEMP/vyrtemp.ndf" special --download-ok "http://c.example/a.ndf"
check "page" 0 "not taken" special "http://example.org/"
first=$("$CLI" url special 2>&1 | head -1)
"$CLI" url special >/dev/null 2>&1
status=$?
[ "$status $first" = "2 vyrelle-cli: url special [--yes] [--download-ok] ADDRESS" ] ||
  { echo "FAIL: no address: $status $first"; failures=$((failures + 1)); }

# The home server setting moves the command prefix; a command writes the profile.
"$CLI" settings set misc HomeServer http://127.0.0.1:8080/ || failures=$((failures + 1))
check "moved home" 0 "not taken" special "http://www.vyrelle.example/_cmd/tour%20on"
check "tour" 0 "taken
command: tour on" special "http://127.0.0.1:8080/_cmd/tour%20on"
[ "$("$CLI" settings getint Startup ShowTour 5)" = 1 ] || { echo "FAIL: ShowTour not written"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all url CLI checks passed"
