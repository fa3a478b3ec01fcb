#!/usr/bin/env bash
# "vyrelle-cli url" as a user runs it: how it prints tokens, what the
# special-address filter took and asked for, its options and its usage.
. "$(dirname "$0")/cli_test_lib.sh"
check() {  # check EXPECTED_STATUS EXPECTED_OUTPUT ARGS...
  local want="$1 $2"
  shift 2
  out=$("$CLI" url "$@" 2>&1)
  expect "$*" "$want" "$? $out"
}

check 0 $'setinifile\nMisc\na%20b\nv' tokens $'setinifile  Misc\ta%20b\r\nv'
check 0 $'taken\nmailto: bob@example.org\nComposeMail bob@example.org' special "MAILTO:Bob@Example.org"
check 0 $'taken\ncommand: Nothing here\nInformation Unknown VyrScript Set\\n\\n>> Nothing here' \
  special "http://www.vyrelle.example/_cmd/Nothing%20here"
check 0 $'taken\nsetup\nQuestion Vyrelle | Update this software from\\n\\nhttp://www.vyrelle.example/vyrsetup.exe ?
UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask' special --yes "http://www.vyrelle.example/vyrsetup.exe"
T="$VYRELLE_HOME/vyrelle/_TEMP/vyrtemp.ndf"
check 0 "taken
channel-file
DownloadWithProgress http://c.example/a.ndf $T
RebuildButtonStrip
LayoutMainWindow
MergeChannelFile $T" special --download-ok "http://c.example/a.ndf"
check 0 "not taken" special "http://example.org/"
# Untrusted: command link, setup offer and channel file are taken, nothing runs.
check 0 $'taken\ncommand refused: untrusted' special --untrusted "http://www.vyrelle.example/_cmd/tour%20on"
check 0 $'taken\nsetup refused: untrusted' special --untrusted --yes "http://www.vyrelle.example/vyrsetup.exe"
check 0 $'taken\nchannel-file refused: untrusted' special --untrusted --download-ok "http://c.example/a.ndf"
check 0 $'taken\nmailto: bob@example.org\nComposeMail bob@example.org' special --untrusted "mailto:bob@example.org"
out=$("$CLI" url special 2>&1)
expect usage "2 vyrelle-cli: url special [--yes] [--download-ok] [--untrusted] ADDRESS" "$? ${out%%$'\n'*}"
# The filter reads the home server from the profile.
"$CLI" settings set misc HomeServer http://127.0.0.1:8080/ || failures=$((failures + 1))
check 0 $'taken\ncommand: tour on' special "http://127.0.0.1:8080/_cmd/tour%20on"

finish "url CLI"
