#!/usr/bin/env bash
# "vyrelle --screenshot" of a page of the home server (vyrelle-home-server on
# a copy of the sample content, with the test's two pages) that opens a popup
# window through the "popupwnd" command link: the picture covers the main
# window and the popup, the popup on top.
#
# On the 1280x900 display the main window opens maximised (the default), and
# without a window manager stays at 0,0 with its first size, 900x650. The
# first popup is at 8% of the display plus 25 (127,97), 85% - 8% wide (986)
# and 75% - 8% high (603). Together: from 0,0 to 1113,700.
#
# usage: test_screenshot_popup.sh VYRELLE HOME_SERVER SAMPLE_CONTENT SHOT.png
set -u
VYRELLE="$1" HOME_SERVER="$2" CONTENT="$3" SHOT="$4"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb convert:imagemagick
SERVED="$WORK/served"
start_home_server "$HOME_SERVER" "$CONTENT" "$SERVED"
cat > "$SERVED/pages/opener.html" <<'PAGE'
<!DOCTYPE html><html><head><title>Opener</title></head>
<body style="margin:0;background:rgb(46,125,50);height:2000px">
<script>addEventListener("load", function () {
  location.href = location.origin + "/_cmd/popupwnd%20" + location.origin + "/pages/popup.html";
});</script></body></html>
PAGE
printf '<!DOCTYPE html><html><head><title>Popup</title></head><body style="margin:0;background:rgb(123,31,162)"></body></html>\n' \
  > "$SERVED/pages/popup.html"
private_home "$WORK"
printf '[misc]\nHomeServer=%s\n[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' "$HOME_URL" > "$VYRELLE_HOME/vyr20.ini"
fresh_shots "$SHOT"
timeout 90 xvfb-run -a -s "-screen 0 1280x900x24" "$VYRELLE" --screenshot "$SHOT" "$HOME_URL/pages/opener.html" \
  > "$WORK/log" 2>&1
status=$?
[ $status -eq 0 ] || { cat "$WORK/log"; fail "vyrelle --screenshot ended with status $status"; }
size=$(identify -format '%wx%h' "$SHOT")
[ "$size" = 1113x700 ] || fail "the picture is $size, not the main window and the popup together (1113x700)"
# The popup's page (its pane a little smaller than 986x603) on top of the
# main window; the main window's toolbar (900 wide, its ground the default
# scheme's 243,244,246) above the popup.
popup=$(colour_pixels "$SHOT" 'rgb(123,31,162)') toolbar=$(colour_pixels "$SHOT" 'rgb(243,244,246)')
[ "$popup" -ge 450000 ] || fail "the popup's page shows $popup pixels"
[ "$toolbar" -ge 20000 ] || fail "the main window's toolbar ground shows $toolbar pixels"
stop_home_server || fail "vyrelle-home-server did not end cleanly"
grep -q " GET /pages/popup.html 200 " "$SERVED/logs/access.log" || fail "the popup's page did not come from the home server"
echo "popup screenshot checks passed: $SHOT"
