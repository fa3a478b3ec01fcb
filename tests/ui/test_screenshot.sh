#!/usr/bin/env bash
# "vyrelle --screenshot PICTURE" on new data homes:
#   a page of the home server (vyrelle-home-server on a copy of the sample
#   content, with the test's two pages) that opens a popup through the
#   "popupwnd" command link: the picture covers the main window and the
#   popup, the popup on top. On the 1280x900 display the main window opens
#   maximised (the default), and without a window manager stays at 0,0 with
#   its first size, 900x650. The first popup is at 8% of the display plus 25
#   (127,97), 85% - 8% wide (986) and 75% - 8% high (603). Together: from 0,0
#   to 1113,700.
#   --show WINDOW, no network: each window the option names is opened over
#   the main window, and the picture is that window alone (smaller than the
#   main window's first size, at least a third of it the default scheme's
#   dialog ground 243,244,246), a different picture for each; the mail
#   window is a frame of its own at 4 % to 93 % of the screen's width and 5 %
#   to 75 % of its height (912 x 538 on 1024 x 768), on the Inbox with the
#   welcome message the new store got; an unknown name ends with status 2
#   and writes nothing.
#
# usage: test_screenshot.sh VYRELLE HOME_SERVER SAMPLE_CONTENT ARTIFACTS_DIR
set -u
VYRELLE="$1" HOME_SERVER="$2" CONTENT="$3" SHOTS="$4"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb convert:imagemagick

# shoot NAME SCREEN HOME_SERVER ARG...: vyrelle ARG... on a new data home of
# its own on a virtual display of SCREEN (WxHxDEPTH); its output in
# $WORK/NAME.log, its status in $status.
shoot() {
  private_home "$WORK/$1"
  printf '[misc]\nHomeServer=%s\n[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' "$3" >"$VYRELLE_HOME/vyr20.ini"
  timeout 90 xvfb-run -a -s "-screen 0 $2" "$VYRELLE" "${@:4}" >"$WORK/$1.log" 2>&1
  status=$?
}

SERVED="$WORK/served"
start_home_server "$HOME_SERVER" "$CONTENT" "$SERVED"
cat >"$SERVED/pages/opener.html" <<'PAGE'
<!DOCTYPE html><html><head><title>Opener</title></head>
<body style="margin:0;background:rgb(46,125,50);height:2000px">
<script>addEventListener("load", function () {
  location.href = location.origin + "/_cmd/popupwnd%20" + location.origin + "/pages/popup.html";
});</script></body></html>
PAGE
printf '<!DOCTYPE html><html><head><title>Popup</title></head><body style="margin:0;background:rgb(123,31,162)"></body></html>\n' \
  >"$SERVED/pages/popup.html"
shot="$SHOTS/ui_screenshot_popup.png"
fresh_shots "$shot"
shoot popup 1280x900x24 "$HOME_URL" --screenshot "$shot" "$HOME_URL/pages/opener.html"
[ $status -eq 0 ] || { cat "$WORK/popup.log"; fail "vyrelle --screenshot ended with status $status"; }
size=$(identify -format '%wx%h' "$shot")
[ "$size" = 1113x700 ] || fail "the picture is $size, not the main window and the popup together (1113x700)"
# The popup's page (its pane a little smaller than 986x603) on top of the
# main window; the main window's toolbar (900 wide, its ground the default
# scheme's 243,244,246) above the popup.
popup=$(colour_pixels "$shot" 'rgb(123,31,162)') toolbar=$(colour_pixels "$shot" 'rgb(243,244,246)')
[ "$popup" -ge 450000 ] || fail "the popup's page shows $popup pixels"
[ "$toolbar" -ge 20000 ] || fail "the main window's toolbar ground shows $toolbar pixels"
stop_home_server || fail "vyrelle-home-server did not end cleanly"
grep -q " GET /pages/popup.html 200 " "$SERVED/logs/access.log" || fail "the popup's page did not come from the home server"

declare -A seen
for window in lookandfeel startupoptions enhancedbrowsing mail quotelookup startpage open multipop mailclient; do
  shot="$SHOTS/ui_show_$window.png"
  fresh_shots "$shot"
  shoot "$window" 1024x768x24 "" --screenshot "$shot" --show "$window"
  [ $status -eq 0 ] || { cat "$WORK/$window.log"; fail "--show $window ended with status $status"; }
  read -r width height < <(identify -format '%w %h' "$shot")
  if [ $window = mail ]; then
    [ "${width}x$height" = 912x538 ] || fail "--show mail: a picture of ${width}x$height"
    [ -e "$VYRELLE_HOME/vyrelle/email/Inbox/welcome.mail" ] || fail "--show mail: no welcome message in Inbox"
    continue
  fi
  [ "$width" -lt 900 ] && [ "$height" -lt 650 ] || fail "--show $window: a picture of ${width}x$height, not a dialog"
  ground=$(colour_pixels "$shot" 'rgb(243,244,246)')
  [ $((ground * 3)) -ge $((width * height)) ] || fail "--show $window: $ground of $((width * height)) pixels are the ground"
  sum=$(md5sum <"$shot")
  [ -z "${seen[$sum]:-}" ] || fail "--show $window gave the same picture as --show ${seen[$sum]}"
  seen[$sum]=$window
done

shoot unknown 1024x768x24 "" --screenshot "$WORK/none.png" --show nosuchwindow
[ $status -eq 2 ] || fail "an unknown window name ended with status $status"
grep -q "no window named nosuchwindow" "$WORK/unknown.log" || fail "the unknown name was not told: $(cat "$WORK/unknown.log")"
[ ! -e "$WORK/none.png" ] || fail "an unknown window name wrote a picture"
echo "--screenshot checks passed: a popup over the main window, --show for each window, an unknown name refused"
