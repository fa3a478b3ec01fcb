#!/usr/bin/env bash
# "vyrelle-cli url" as a user runs it: how it prints tokens, what the
# special-address filter took and asked for, its options and its usage.
. "$(dirname "$0")/cli_test_lib.sh"
run 0 $'setinifile\nMisc\na%20b\nv' url tokens $'setinifile  Misc\ta%20b\r\nv'
run 0 $'taken\nsetup\nQuestion Vyrelle | Update this software from\\n\\nhttp://www.vyrelle.example/vyrsetup.exe ?
UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask' url special --yes "http://www.vyrelle.example/vyrsetup.exe"
T="$VYRELLE_HOME/vyrelle/_TEMP/vyrtemp.ndf"
run 0 "taken
channel-file
DownloadWithProgress http://c.example/a.ndf $T
RebuildButtonStrip
LayoutMainWindow
MergeChannelFile $T" url special --download-ok "http://c.example/a.ndf"
run 0 "not taken" url special "http://example.org/"
# Untrusted: the link is taken, nothing runs.
run 0 $'taken\ncommand refused: untrusted' url special --untrusted "http://www.vyrelle.example/_cmd/tour%20on"
out=$("$CLI" url special 2>&1)
expect usage "2 vyrelle-cli: url special [--yes] [--download-ok] [--untrusted] ADDRESS" "$? ${out%%$'\n'*}"
# The filter reads the home server from the profile.
"$CLI" settings set misc HomeServer http://127.0.0.1:8080/ || failures=$((failures + 1))
run 0 $'taken\ncommand: tour on' url special "http://127.0.0.1:8080/_cmd/tour%20on"
finish "url CLI"
