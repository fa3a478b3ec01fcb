#!/usr/bin/env bash
# vyrelle against the real vyrelle-home-server on loopback, serving a copy of
# the sample content folder with two commands queued for the next program
# (one writes a setting, one installs the sample's info box package), the
# info box turning its pages every 3 seconds and the main window holding the
# keyboard focus:
#   first start   the fixed channels are fetched in the background into
#                 "newchanfixed.vyr" while the shipped ones are shown; the
#                 program logs in, the queued commands come back in the
#                 session's reply and run: the setting is written, the
#                 package is fetched and unpacked into the info box's pages,
#                 and the info box shows each of the server's pages in turn;
#                 the start event pings; SIGTERM logs out;
#   second start  the fetched channels are put in place: the channel column
#                 shows the server's channels ("Server News" among them).
# The pictures and the server's logs are kept in ARTIFACTS_DIR. The info box
# turns its pages only while the machine has a default route: without one,
# the pages are not looked for on the display, and once everything else has
# been checked the test reports itself skipped (status 77).
#
# usage: test_home_server_window.sh VYRELLE HOME_SERVER CONTENT_DIR SHIPPED_CHANFIXED ARTIFACTS_DIR
set -u
source "$(dirname "$0")/ui_test_lib.sh"
source "$(dirname "$0")/main_window_picture_lib.sh"

# box_pages_seen (inside the virtual display): takes a picture of the display
# and, when its info box shows page N of the server's info box package (most
# of the box in that page's background colour, the Nth of BOX_COLOURS), keeps
# it as ${BOX_SHOT}N.png. Holds once a picture of every page has been kept.
box_pages_seen() {
  local colours=($BOX_COLOURS) n all=0
  import -window root "$WORK/box.png" 2>/dev/null || return 1
  for n in "${!colours[@]}"; do
    info_box_shows "$WORK/box.png" "${colours[n]}" && cp "$WORK/box.png" "$BOX_SHOT$((n + 1)).png"
    [ -s "$BOX_SHOT$((n + 1)).png" ] || all=1
  done
  return $all
}

# Inside the virtual display (the script calls itself through xvfb-run): one
# start of vyrelle. Its main window must show the start page; it is then
# given the keyboard focus, as a user's click would give it. The program
# runs until the shell condition UNTIL holds (at most 120 s more), the
# picture is taken, then it gets SIGTERM. The outcome goes to the status
# file.
if [ "${1:-}" = "--inside-display" ]; then
  vyrelle="$2" shot="$3" log="$4" status="$5" until="$6"
  end() { echo "$1" >"$status"; kill -KILL "$pid" 2>/dev/null; exit 1; }
  "$vyrelle" >"$log" 2>&1 &
  pid=$!
  wait_for 60 eval '! kill -0 $pid 2>/dev/null || { shown_windows | grep -qF "\"$START_CAPTION\"" &&
    import -window root "$shot" 2>/dev/null && start_page_painted "$shot" && [ "$(channel_lines "$shot")" -gt 1 ]; }'
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; end "vyrelle ended early with status $?"; }
  start_page_painted "$shot" ||
    end "the main window did not show the start page within 30 s; shown windows: $(shown_windows | tr '\n' ';')"
  window=$(main_window)
  [ -n "$window" ] && give_input_focus "$window" || end "the main window ($window) could not be given the keyboard focus"
  wait_for 240 eval "! kill -0 \$pid 2>/dev/null || { $until; }"
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; end "vyrelle ended early with status $?"; }
  eval "$until" || end "not seen within 120 s: $until"
  # The picture the checks read is the settled window's, taken last.
  import -window root "$shot" || end "no picture of the display"
  kill -TERM "$pid"
  wait_for 40 eval '! kill -0 $pid 2>/dev/null' || end "vyrelle did not end within 20 s of SIGTERM"
  wait "$pid"
  echo "exit $?" >"$status"
  exit 0
fi

[ $# -eq 5 ] || fail "usage: $0 VYRELLE HOME_SERVER CONTENT_DIR SHIPPED_CHANFIXED ARTIFACTS_DIR"
VYRELLE="$1" HOME_SERVER="$2" CONTENT="$3" SHIPPED="$4" ARTIFACTS="$5"
need_tools xvfb-run:xvfb xauth:xauth xwininfo:x11-utils import:imagemagick convert:imagemagick unzip:unzip \
  flock:util-linux
[ -s "$CONTENT/channels/chanfixed.vyr" ] || fail "no sample content in $CONTENT"
[ -s "$SHIPPED" ] || fail "no shipped channel file $SHIPPED"

# The server on a copy of the sample content.
SERVED="$WORK/served"
start_home_server "$HOME_SERVER" "$CONTENT" "$SERVED"
URL=$HOME_URL LOGS="$SERVED/logs" SERVED_CHANNELS="$SERVED/channels/chanfixed.vyr"
grep -q '^~CH:Server News' "$SERVED_CHANNELS" || fail "the sample channel file has no channel \"Server News\""
! grep -qx '~CH:Server News' <(tr -d '\r' <"$SHIPPED") || fail "the shipped channels have \"Server News\" too"
# The info box package the sample serves (its newest, by versions.txt) and
# the background colour of each of its pages, Box1.htm, Box2.htm, ...
read -r BOX_VERSION BOX_FILE < <(awk '$1 == "ibox" && $2 + 0 > v { v = $2 + 0; f = $3 } END { if (f != "") print v, f }' \
                                   "$SERVED/packages/versions.txt")
BOX_PACKAGE="$SERVED/packages/${BOX_FILE:-}"
[ -n "${BOX_FILE:-}" ] && [ "$BOX_VERSION" -gt 0 ] && [ -s "$BOX_PACKAGE" ] ||
  fail "the sample content lists no info box package of a version above 0 that it holds"
BOX_PAGES=$(unzip -Z1 "$BOX_PACKAGE" | grep -c '^Box[0-9]*\.htm$')
BOX_COLOURS=
for n in $(seq "$BOX_PAGES"); do
  colour=$(unzip -p "$BOX_PACKAGE" "Box$n.htm" 2>/dev/null | sed -n 's/.*<body [^>]*background: *\(#[0-9a-fA-F]\{6\}\).*/\1/p' |
           tr 'A-F' 'a-f')
  [ -n "$colour" ] || fail "page Box$n.htm of $BOX_FILE is missing or has no background colour of its own"
  ! grep -qw -- "$colour" <<<"$BOX_COLOURS" || fail "two pages of $BOX_FILE have the background $colour: they cannot be told apart"
  BOX_COLOURS+="$colour "
done
[ "$BOX_PAGES" -ge 2 ] || fail "$BOX_FILE holds $BOX_PAGES pages; turning pages needs two"
export BOX_COLOURS BOX_SHOT="$ARTIFACTS/ui_home_server_box"
# Two commands queued as an administrator queues them: a setting, and the
# package at an address on the server's own origin (the only one the
# program takes packages from).
COMMAND="setinifile served queued 1" BOX_COMMAND="ibpush $BOX_VERSION $URL/packages/$BOX_FILE"
for line in "$COMMAND" "$BOX_COMMAND"; do queue_command "$SERVED" "$line" || fail "cannot queue \"$line\""; done

# has_default_route: whether /proc/net/route holds a default route that is up
# (destination and mask 0, flag RTF_UP), what the program takes for being
# online.
has_default_route() {
  local iface destination gateway flags refs use metric mask rest
  while read -r iface destination gateway flags refs use metric mask rest; do
    [ "$destination" = 00000000 ] && [ "$mask" = 00000000 ] && [[ $flags =~ ^[0-9A-Fa-f]+$ ]] &&
      (( 0x$flags & 1 )) && return 0
  done < <(tail -n +2 /proc/net/route 2>/dev/null)
  return 1
}

private_home "$WORK/main"
write_profile "$URL"
# The info box turns its pages every 3 seconds.
sed -i 's/^\[misc\]$/&\nbox=3/' "$VYRELLE_HOME/vyr20.ini"
DATA="$VYRELLE_HOME/vyrelle/Data/Default"
BOX_DIR="$VYRELLE_HOME/vyrelle/InfoBox/default/Dir1"
show_logs() {
  echo "--- vyrelle output:"; cat "$WORK/log"
  for f in access usage commands; do echo "--- $f.log:"; cat "$LOGS/$f.log" 2>/dev/null; done
  echo "--- server errors:"; cat "$SERVED.err"
  echo "--- vyr20.ini:"; cat "$VYRELLE_HOME/vyr20.ini" 2>/dev/null
  echo "--- info box pages seen on the display:" $(cd "$ARTIFACTS" && ls ui_home_server_box*.png 2>/dev/null); echo "---"
}
# run_start NAME UNTIL: one start of vyrelle on the display (see above); its
# picture is ui_home_server_NAME.png.
run_start() {
  SHOT="$ARTIFACTS/ui_home_server_$1.png"
  fresh_shots "$SHOT"
  rm -f "$WORK/status"
  xvfb-run -a -s "-screen 0 1280x900x24" \
    bash "$0" --inside-display "$VYRELLE" "$SHOT" "$WORK/log" "$WORK/status" "$2"
  local inner=$? status
  # The server's logs so far are kept beside the pictures.
  rm -rf "$ARTIFACTS/ui_home_server_logs" && cp -r "$LOGS" "$ARTIFACTS/ui_home_server_logs"
  status=$(cat "$WORK/status" 2>/dev/null)
  [ $inner -eq 0 ] || { show_logs; fail "$1 start: ${status:-the virtual display run failed (xvfb-run status $inner)}"; }
  [ "$status" = "exit 0" ] || { show_logs; fail "$1 start: vyrelle did not end cleanly after SIGTERM ($status)"; }
  ! grep -q CRITICAL "$WORK/log" || { show_logs; fail "$1 start: vyrelle reported critical errors"; }
}
# The lines of the channel column: the "H O M E" entry and one a channel.
column_lines() { echo $(( $(grep -c '^~CH:' "$1") + 1 )); }

# First start: it runs until the session's start event has pinged (40 s
# after the channel bar is made), the package's version is recorded and,
# with a default route, the info box has shown each of the server's pages.
fresh_shots $(for n in $(seq "$BOX_PAGES"); do echo "$BOX_SHOT$n.png"; done)
ibver_recorded="awk '/^\\[/ { s = (tolower(\$0) == \"[misc]\"); next } s && \$0 == \"ibver=$BOX_VERSION\"' \
  '$VYRELLE_HOME/vyr20.ini' | grep -q ."
if has_default_route; then ROTATION=box_pages_seen; else ROTATION=true; fi
run_start first "grep -q \$'\\tPing\\t' '$LOGS/usage.log' 2>/dev/null && $ibver_recorded && $ROTATION"
ID=$(awk '/^\[/ { key = ($0 ~ /^\[HKEY_CLASSES_ROOT\\CLSID\\\{[0-9A-Fa-f-]+\}\]$/); next } key && /^@=/' \
       "$VYRELLE_HOME/registry.reg" | sed -n 's/^@="\([0-9A-Fa-f]\{32\}\)"$/\1/p')
[ -n "$ID" ] || fail "no installation key in the data home"
grep -q ' GET /channels/chanfixed\.vyr 200 ' "$LOGS/access.log" || { show_logs; fail "the fixed channels were not fetched"; }
cmp -s "$SERVED_CHANNELS" "$DATA/newchanfixed.vyr" ||
  { show_logs; fail "Data/Default/newchanfixed.vyr does not hold the server's channel file"; }
cmp -s "$SHIPPED" "$DATA/chanfixed.vyr" || fail "the first start does not keep the shipped channels in place"
lines=$(channel_lines "$SHOT") expected=$(column_lines "$SHIPPED")
[ "$lines" -eq "$expected" ] || fail "the first start's channel column shows $lines lines, not the $expected of the shipped channels ($SHOT)"
# The login names the engine and the toolkit the program runs on.
engine=$(pkg-config --modversion webkit2gtk-4.0) toolkit=$(pkg-config --modversion gtk+-3.0)
grep -q "Login&.*&BV=$engine\.0&SV=$toolkit\.0&" "$LOGS/access.log" ||
  { show_logs; fail "the login does not report the engine $engine and the toolkit $toolkit"; }
for event in Login Ping Logout; do
  awk -F'\t' -v id="$ID" -v e=$event '$2 == e && toupper($3) == toupper(id)' "$LOGS/usage.log" | grep -q . ||
    { show_logs; fail "no $event of installation $ID in the usage log"; }
done
# The queued command went to this installation, left the queue and ran.
awk -F'\t' -v id="$ID" -v c="$COMMAND" 'toupper($2) == toupper(id) && $3 == c' "$LOGS/commands.log" | grep -q . ||
  { show_logs; fail "the queued command was not handed to installation $ID"; }
! grep -qxF "$COMMAND" "$SERVED/commands/queue.txt" || fail "the command is still in the queue"
awk '/^\[/ { s = ($0 == "[served]"); next } s && $0 == "queued=1"' "$VYRELLE_HOME/vyr20.ini" | grep -q . ||
  { show_logs; fail "the queued command did not run: no [served] queued=1 in vyr20.ini"; }
# The info box package went to this installation, was fetched from the
# server, and its pages replaced the info box's and its version is recorded.
awk -F'\t' -v id="$ID" -v c="$BOX_COMMAND" 'toupper($2) == toupper(id) && $3 == c' "$LOGS/commands.log" | grep -q . ||
  { show_logs; fail "\"$BOX_COMMAND\" was not handed to installation $ID"; }
grep -q " GET /packages/$BOX_FILE 200 " "$LOGS/access.log" || { show_logs; fail "the info box package was not fetched"; }
for n in $(seq "$BOX_PAGES"); do
  unzip -p "$BOX_PACKAGE" "Box$n.htm" | cmp -s - "$BOX_DIR/Box$n.htm" ||
    { show_logs; fail "InfoBox/default/Dir1/Box$n.htm of the data root is not page Box$n.htm of $BOX_FILE"; }
done
eval "$ibver_recorded" || { show_logs; fail "[misc] ibver is not $BOX_VERSION in vyr20.ini"; }
# Views of the server's pages are reported under their own ad numbers
# (Box1.htm of the package is ad 101), not under the pages they replaced.
awk -F'\t' -v id="$ID" '$2 == "Ping" && toupper($3) == toupper(id)' "$LOGS/usage.log" |
  sed 's/%20/ /g' | grep -Eq 'IBA=([0-9]+ [0-9]+ [0-9]+ )*101 [1-9][0-9]* ' ||
  { show_logs; fail "the ping does not report views of the server's page (ad 101) after the package"; }
echo "first start: channels fetched, login/ping/logout of $ID, \"$COMMAND\" delivered and run," \
     "\"$BOX_COMMAND\" delivered and installed; picture $SHOT"
if [ "$ROTATION" = box_pages_seen ]; then
  echo "first start: the info box showed the server's $BOX_PAGES pages in turn; pictures $BOX_SHOT{1..$BOX_PAGES}.png"
fi

# Second start: the fetched channels take their place.
run_start second "grep -c ' GET /channels/chanfixed\\.vyr 200 ' '$LOGS/access.log' | grep -qx 2"
cmp -s "$SERVED_CHANNELS" "$DATA/chanfixed.vyr" ||
  { show_logs; fail "the second start did not put the server's channels in place"; }
lines=$(channel_lines "$SHOT") expected=$(column_lines "$SERVED_CHANNELS")
[ "$lines" -eq "$expected" ] ||
  fail "the second start's channel column shows $lines lines, not the $expected of the server's channels with \"Server News\" ($SHOT)"
echo "second start: the server's channels in place; picture $SHOT"
if [ "$ROTATION" != box_pages_seen ]; then
  echo "SKIP: everything else passed, but the info box's pages were not looked for on the display: this machine" \
       "has no default route (/proc/net/route), and without one the program does not turn the info box's pages"
  exit 77
fi
echo "PASS: channels fetched and put in place at the next start, session with the queued commands run, the info box" \
     "package installed and its pages shown in turn; pictures in $ARTIFACTS/ui_home_server_{first,second,box*}.png," \
     "server logs in $ARTIFACTS/ui_home_server_logs"
