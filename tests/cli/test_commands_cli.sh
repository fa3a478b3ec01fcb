#!/usr/bin/env bash
# vyrelle-cli as a script uses it: what it prints, stores and exits with;
# its help, version and refusals of wrong command lines. The rules behind the
# commands are tested in the unit tests.
# Usage: test_commands_cli.sh VYRELLE_CLI PROJECT_VERSION
. "$(dirname "$0")/cli_test_lib.sh"
VERSION="$2"
DATA="$VYRELLE_HOME/vyrelle/Data/Default"
T=$'\t'

expect "paths" "windows: $VYRELLE_HOME
data: $VYRELLE_HOME/vyrelle
profile: $VYRELLE_HOME/vyr20.ini" "$("$CLI" paths)"
"$CLI" settings set misc PI 25
expect "settings" "[misc]
PI=25 25 fallback" "$(cat "$VYRELLE_HOME/vyr20.ini") $("$CLI" settings getint MISC pi 10) $("$CLI" settings get misc Home fallback)"
mkdir -p "$VYRELLE_HOME/vyrelle/media/default" "$DATA"
printf '[Support]\nSupportEmail=help@vyrelle.example\n' > "$VYRELLE_HOME/vyrelle/media/default/config.ini"
expect "scheme file" "help@vyrelle.example" "$("$CLI" settings get Support SupportEmail --scheme)"
out=$("$CLI" cipher decode 6B4A711916DB 2>&1 >/dev/null; echo "status $?")
case "$out" in *VY01*"status 1") ;; *) expect "decode without prefix: message naming VY01, status 1" "" "$out" ;; esac

printf '\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FO:Sport\r\n\r\n~PN:Results\r\n~PU:http://n.example/r' > "$WORK/news.vyr"
expect "channels dump" "0${T}News${T}Channel!
1${T}Sport${T}_FOLDER
2${T}Results${T}http://n.example/r" "$("$CLI" channels dump "$WORK/news.vyr")"
printf '~CH:Fixed\r' > "$DATA/chanfixed.vyr"
printf '~CH:Mine\r' > "$DATA/chanuser.vyr"
printf '~CH:Mine\r~FN:q\r~FU:http://q.example/\r' > "$WORK/in.ndf"
"$CLI" channels merge "$WORK/in.ndf" merge >/dev/null
expect "channels merge writes chanuser.vyr, keeps its input" "0${T}Mine${T}Channel!
1${T}q${T}http://q.example/ yes" "$("$CLI" channels dump "$DATA/chanuser.vyr") $(test -f "$WORK/in.ndf" && echo yes)"

# html: rtf and plain on a real file (the conversions are unit-tested).
printf '{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a<b \\b b\\b0\\par\\qc c\\par\n}{RTFBGCOLOR}=255' > "$WORK/rich.rtf"
expect "rtf" $'<HTML><BODY BGCOLOR=#FF0000>a&lt;b&nbsp;<B>b</B>\r\n<BR><CENTER>c</CENTER></BODY></HTML>' \
  "$("$CLI" html rtf "$WORK/rich.rtf" 2>/dev/null)"
expect "rtf needs html" "needs-html: 1" "$("$CLI" html rtf "$WORK/rich.rtf" 2>&1 >/dev/null)"
expect "plain" $'a<b b\r\nc' "$("$CLI" html plain "$WORK/rich.rtf")"

# favorites import-bookmarks: what each import wrote, one file a line (the
# names' cleaning is unit-tested).
IMPORT="$VYRELLE_HOME/Favorites/Imported from Netscape"
printf '<DT><H3>News</H3><DL><DT><A HREF="http://n/">Front: page</A></DL><DT><A HREF="http://t/">Top</A>' > "$WORK/bookmarks.htm"
run 0 "$IMPORT/News/Front- page.url
$IMPORT/Top.url" favorites import-bookmarks "$WORK/bookmarks.htm"
run 1 "vyrelle-cli: nothing imported: $IMPORT exists already (remove it to import again)" \
  favorites import-bookmarks "$WORK/bookmarks.htm"
rm -rf "$IMPORT"
run 1 "vyrelle-cli: cannot read $WORK/missing.htm" favorites import-bookmarks "$WORK/missing.htm"
printf '<DT><A HREF="http://one/">One</A><DT><A HREF="http://two/">Two' > "$WORK/broken.htm"
run 1 "$IMPORT/One.url
vyrelle-cli: the bookmark list in $WORK/broken.htm is incomplete; the import stopped after what is listed" \
  favorites import-bookmarks "$WORK/broken.htm"

# browse resolve with the ".com" step off and the resolver away: no network.
"$CLI" settings set SmarterBrowsing Autocomplete 0
"$CLI" settings set Search RNServer 127.0.0.1:1
"$CLI" settings set Search URL 'http://find.example/?q=%s&n=%%d'
run 0 "* ENHANCED BROWSING: RealName search for: two words
navigate: http://find.example/?q=two%20words&n=%d" browse resolve " two words"

# url special: what the special-address filter took and asked for (its rules
# are unit-tested). Untrusted: the link is taken, nothing runs.
run 0 $'taken\nsetup\nQuestion Vyrelle | Update this software from\\n\\nhttp://www.vyrelle.example/vyrsetup.exe ?
UpdateSoftware http://www.vyrelle.example/vyrsetup.exe noask' url special --yes "http://www.vyrelle.example/vyrsetup.exe"
run 0 "not taken" url special "http://example.org/"
run 0 $'taken\ncommand refused: untrusted' url special --untrusted "http://www.vyrelle.example/_cmd/tour%20on"
# The filter reads the home server from the profile.
"$CLI" settings set misc HomeServer http://127.0.0.1:8080/
run 0 $'taken\ncommand: tour on' url special "http://127.0.0.1:8080/_cmd/tour%20on"

# A failure exits with 1.
"$CLI" settings set Local Zip other --data 2>/dev/null; d=$?
"$CLI" channels dump "$WORK/missing.vyr" >/dev/null 2>&1; e=$?
echo "a file" > "$WORK/blocker"
VYRELLE_HOME="$WORK/blocker/home" "$CLI" settings set misc PI 3 2>/dev/null; f=$?
"$CLI" html text "$WORK/missing.txt" >/dev/null 2>&1; g=$?
expect "exit codes" "1 1 1 1" "$d $e $f $g"

# The version CMake has, and the engine and toolkit built against.
run 0 "Vyrelle $VERSION
WebKitGTK $(pkg-config --modversion webkit2gtk-4.0)
GTK $(pkg-config --modversion gtk+-3.0)" --version

# Each command has its help. The 16 mail verbs, from the command table:
VERBS="folders list summary key state mark decode reply search check send queue draft flush-outbox split date"
expect "mail --help lists the verbs" "$VERBS" \
  "$("$CLI" mail --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z-]\+\) .*/\1/p' | paste -sd' ')"
out=$("$CLI" mail 2>&1)
expect "a missing verb names them all" "2 vyrelle-cli: mail: a command is needed: $VERBS" "$? ${out%%$'\n'*}"
helps= want=
for verb in $VERBS; do
  helps+="$("$CLI" mail "$verb" --help | grep -c "^Usage: vyrelle-cli mail $verb ") $?;"
  want+="1 0;"
done
expect "each verb's own usage, status 0" "$want" "$helps"
# A command's help names its own options, none of the others'.
options() { LC_ALL=C sed -n 's/^ *\(-[-a-z,]*\).*/\1/p' | LC_ALL=C sort | paste -sd' '; }
check_help=$("$CLI" mail check --help)
expect "mail check --help" "0 -h,--help" "$? $(options <<< "$check_help")"
send_help=$("$CLI" mail send --help)
expect "mail send --help" "0 --attach --bcc --cc --rtf --subject --text --to -h,--help" \
  "$? $(options <<< "$send_help")"
expect "help mail send" "$send_help" "$("$CLI" help mail send)"

# A wrong command line: status 2, and its first line names what is wrong.
refused() {  # refused WORD ARGS...
  local word="$1" out status
  shift
  out=$("$CLI" "$@" 2>&1 >/dev/null)
  status=$?
  case "${out%%$'\n'*}" in *"$word"*) ;; *) status="$status, not naming $word: ${out%%$'\n'*}" ;; esac
  expect "$*" 2 "$status"
}
printf 'body' > "$WORK/body.txt"
refused nonsense nonsense
refused --bogus mail check --bogus
refused 12x settings getint misc PI 12x
refused notanumber settings getint misc PI notanumber
refused bogus channels merge "$WORK/in.ndf" bogus
refused 99999999999999999999 channels copy "$WORK/news.vyr" "$WORK/copy.vyr" 99999999999999999999
refused bogus html bogus "$WORK/rich.rtf"
refused bogus mail bogus
refused sideways mail mark sideways "$WORK/body.txt"
refused twice mail reply "$WORK/body.txt" twice
refused lookup browse lookup news
refused "vyrelle-cli: url special: ADDRESS is required" url special
refused "vyrelle-cli: url special: --untrusted excludes --click" url special --untrusted --click "http://example.org/"
refused --to: mail send --to --subject S --text "$WORK/body.txt"
refused --to: mail send --to a@x.example --to b@x.example --subject S --text "$WORK/body.txt"
refused "$WORK/missing.bin" mail queue --to a@x.example --subject S --text "$WORK/body.txt" --attach "$WORK/missing.bin"
refused "$WORK/nowhere" scheme seed "$WORK/nowhere"

finish vyrelle-cli
