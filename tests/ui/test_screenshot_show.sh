#!/usr/bin/env bash
# "vyrelle --screenshot PICTURE --show WINDOW" on a fresh home, no network:
# each window the option names is opened over the main window, and the
# picture is that window alone (smaller than the main window's 900x650 first
# size, at least a third of it the default scheme's dialog ground
# 243,244,246), a different picture for each; an unknown name ends with
# status 2 and writes nothing.
#
# usage: test_screenshot_show.sh VYRELLE ARTIFACTS_DIR
set -u
VYRELLE="$1" SHOTS="$2"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb convert:imagemagick
mkdir -p "$SHOTS"
declare -A seen
for window in lookandfeel startupoptions enhancedbrowsing; do
  private_home "$WORK/$window"
  printf '[misc]\nHomeServer=\n[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' > "$VYRELLE_HOME/vyr20.ini"
  shot="$SHOTS/ui_show_$window.png"
  fresh_shots "$shot"
  timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$VYRELLE" --screenshot "$shot" --show "$window" \
    > "$WORK/$window.log" 2>&1
  status=$?
  [ $status -eq 0 ] || { cat "$WORK/$window.log"; fail "--show $window ended with status $status"; }
  read -r width height < <(identify -format '%w %h' "$shot")
  [ "$width" -lt 900 ] && [ "$height" -lt 650 ] || fail "--show $window: a picture of ${width}x$height, not a dialog"
  ground=$(colour_pixels "$shot" 'rgb(243,244,246)')
  [ $((ground * 3)) -ge $((width * height)) ] || fail "--show $window: $ground of $((width * height)) pixels are the ground"
  sum=$(md5sum < "$shot")
  [ -z "${seen[$sum]:-}" ] || fail "--show $window gave the same picture as --show ${seen[$sum]}"
  seen[$sum]=$window
done

# The mail window, a frame of its own: at 4 % to 93 % of the screen's width
# and 5 % to 75 % of its height (912 x 538 on 1024 x 768), on the Inbox with
# the welcome message the new store got.
private_home "$WORK/mail"
printf '[misc]\nHomeServer=\n[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' > "$VYRELLE_HOME/vyr20.ini"
shot="$SHOTS/ui_show_mail.png"
fresh_shots "$shot"
timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$VYRELLE" --screenshot "$shot" --show mail > "$WORK/mail.log" 2>&1 ||
  { cat "$WORK/mail.log"; fail "--show mail failed"; }
[ "$(identify -format '%wx%h' "$shot")" = 912x538 ] || fail "--show mail: a picture of $(identify -format '%wx%h' "$shot")"
ls "$VYRELLE_HOME"/vyrelle/email/Inbox/welcome.mail >/dev/null 2>&1 || fail "--show mail: no welcome message in Inbox"

private_home "$WORK/unknown"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$VYRELLE" --screenshot "$WORK/none.png" --show nosuchwindow \
  > "$WORK/unknown.log" 2>&1
status=$?
[ $status -eq 2 ] || fail "an unknown window name ended with status $status"
grep -q "no window named nosuchwindow" "$WORK/unknown.log" || fail "the unknown name was not told: $(cat "$WORK/unknown.log")"
[ ! -e "$WORK/none.png" ] || fail "an unknown window name wrote a picture"
echo "--show checks passed"
