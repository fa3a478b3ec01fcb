#!/usr/bin/env bash
# vyrelle itself on a virtual display, given a local page as a plain path,
# with a crashed run's socket and a read-only file of the viewer left
# behind: start-up, --screenshot, a second start and SIGTERM (see the
# checks). The home server's part of a start (channels, login, logout, the
# installation key) is test_home_server_window.sh's.
#
# usage: test_start_window.sh VYRELLE_BINARY SCREENSHOT.png
set -u
source "$(dirname "$0")/ui_test_lib.sh"
CAPTION="Vyrelle UI Fixture 7341 - Vyrelle"
HANDED="Handed Over 5519 - Vyrelle"
painted() { colour_pixels "$1" "rgb(46,125,50)"; }  # the fixture page's background
has_window() { xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\""; }

# Inside the virtual display (the script calls itself through xvfb-run); the
# outcome goes to the status file.
if [ "${1:-}" = "--inside-display" ]; then
  vyrelle="$2" page="$3" shot="$4" log="$5" status="$6"
  end() { echo "$1" >"$status"; kill -KILL "$pid" 2>/dev/null; exit 1; }
  "$vyrelle" "$page" >"$log" 2>&1 &
  pid=$!
  wait_for 120 eval '! kill -0 $pid 2>/dev/null || has_window "$CAPTION"'
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; end "vyrelle ended early with status $?"; }
  has_window "$CAPTION" || { import -window root "$shot"; end "no window named \"$CAPTION\"; windows seen: $(xwininfo -root -tree | grep -o '"[^"]*"' | sort -u)"; }
  # Painting may follow the caption a moment later.
  wait_for 20 eval 'import -window root "$shot" && [ "$(painted "$shot")" -ge 100000 ]'
  # The screenshot mode runs on its own beside the running window.
  timeout 60 "$vyrelle" --screenshot "${shot%.png}_screenshot.png" "$page" >>"$log" 2>&1 ||
    end "vyrelle --screenshot ended with status $?"
  "$vyrelle" "$(dirname "$page")/Handed Page.URL" >>"$log" 2>&1 &
  second=$!
  wait_for 40 eval '! kill -0 $second 2>/dev/null' || { kill -KILL "$second"; end "a second start did not end within 20 s"; }
  wait "$second" || end "a second start ended with status $?"
  wait_for 40 has_window "$HANDED" || end "the running window did not open the address a second start handed over"
  xwininfo -name "$HANDED" | grep -q IsViewable || end "the window did not come forward"
  kill -TERM "$pid"
  wait_for 40 eval '! kill -0 $pid 2>/dev/null' || end "vyrelle did not end within 20 s of SIGTERM"
  wait "$pid"
  echo "exit $?" >"$status"
  exit 0
fi

[ $# -eq 2 ] || fail "usage: $0 VYRELLE_BINARY SCREENSHOT.png"
VYRELLE="$1" SHOT="$2"
need_tools xvfb-run:xvfb xauth:xauth xwininfo:x11-utils import:imagemagick convert:imagemagick
private_home "$WORK"
LEFTOVER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer/Forward1/report.pdf"
mkdir -p "$(dirname "$LEFTOVER")" && echo part >"$LEFTOVER" && chmod 444 "$LEFTOVER"
# A crashed run's socket: nobody listens on it any more.
/usr/bin/python3 -c 'import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' \
  "$XDG_RUNTIME_DIR/Vyrelle20SpecialClass" || fail "cannot make the stale socket"
printf '[misc]\nHomeServer=\n' >"$VYRELLE_HOME/vyr20.ini"

# A space in the folder name: the program makes the file address itself.
PAGES="$WORK/fixture pages"
mkdir -p "$PAGES"
cp "$(dirname "$0")/../fixtures/ui/title.html" "$PAGES/title.html" || fail "fixture page missing"
printf '<!DOCTYPE html><html><head><title>Handed Over 5519</title></head><body>second</body></html>\n' >"$PAGES/handed.html"
printf '[InternetShortcut]\r\nURL=file://%s/handed.html\r\n' "${PAGES// /%20}" >"$PAGES/Handed Page.URL"
fresh_shots "$SHOT" "${SHOT%.png}_screenshot.png"

xvfb-run -a -s "-screen 0 1280x900x24" \
  bash "$0" --inside-display "$VYRELLE" "$PAGES/title.html" "$SHOT" "$WORK/log" "$WORK/status"
inner=$?
status=$(cat "$WORK/status" 2>/dev/null)
show_log() { echo "--- vyrelle output:"; cat "$WORK/log"; echo "---"; }
[ $inner -eq 0 ] || { show_log; fail "${status:-the virtual display run failed (xvfb-run status $inner)}"; }
[ "$status" = "exit 0" ] || { show_log; fail "vyrelle did not end cleanly after SIGTERM ($status)"; }
! grep -q CRITICAL "$WORK/log" || { show_log; fail "vyrelle reported critical errors"; }

[ "$(identify -format '%wx%h' "$SHOT")" = 1280x900 ] || fail "no 1280x900 screenshot at $SHOT"
[ "$(identify -format '%k' "$SHOT")" -gt 16 ] || fail "the screenshot shows nothing drawn"
[ "$(painted "$SHOT")" -ge 100000 ] || fail "the page was not painted"
[ "$(painted "${SHOT%.png}_screenshot.png")" -ge 100000 ] || fail "--screenshot wrote no picture of the page"
[ "$(stat -c %a "$LEFTOVER")" != 444 ] || fail "start-up left the viewer's files read-only"
echo "PASS: stale socket replaced, page painted, --screenshot written, .url handed over, clean exit;" \
     "screenshots: $SHOT ${SHOT%.png}_screenshot.png"
