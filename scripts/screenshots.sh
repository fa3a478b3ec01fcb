#!/usr/bin/env bash
# Takes the README's screenshots with `vyrelle --screenshot` on a virtual
# display: a local site (scripts/screenshot_site) plays the home server and
# hands out the channel set. Needs a build (scripts/build.sh).
#
# usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build} OUT=${2:-$ROOT/docs}
WORK=$(mktemp -d) PORT=18765
BASE="http://127.0.0.1:$PORT"
cp -r "$ROOT/scripts/screenshot_site" "$WORK/site"
sed -e "s|@BASE@|$BASE|g" -e 's/$/\r/' "$WORK/site/channels/chanfixed.vyr.in" > "$WORK/site/channels/chanfixed.vyr"  # the channel text form ends its lines in CR LF
# A stored message for the viewer (its remote picture stays unloaded).
sed -e "s|@BASE@|$BASE|g" "$WORK/site/mail/garden-news.mail.in" > "$WORK/garden-news.mail"
/usr/bin/python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$WORK/site" >/dev/null 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 50); do curl -s "$BASE/article.html" >/dev/null && break; sleep 0.1; done

shot() {  # shot NAME SCHEME [ADDRESS [MISC_SETTINGS]]; SHOW=WINDOW takes that window
  export VYRELLE_HOME="$WORK/home-$1" XDG_RUNTIME_DIR="$WORK/rt-$1"
  mkdir -p "$VYRELLE_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  printf '[misc]\nHomeServer=%s\nuserdir=%s\n%b[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' \
    "$BASE" "$2" "${4:-}" > "$VYRELLE_HOME/vyr20.ini"
  xvfb-run -a -s "-screen 0 1280x860x24" "$BUILD/vyrelle" --screenshot "$OUT/$1.png" \
    ${SHOW:+--show "$SHOW"} ${3:-}
  echo "$OUT/$1.png"
}
shot screenshot default
shot screenshot-page default "$BASE/article.html"
shot screenshot-midnight Midnight "$BASE/article.html"
# The weather page opens the newsletter popup; the main window fills the
# screen so that it shows around the popup.
shot screenshot-popup default "$BASE/weather.html" \
  'wnd_maximize=0\nwnd_left=0\nwnd_top=0\nwnd_right=1280\nwnd_bottom=860\n'
# Each window of its own, over the main window (--show).
SHOW=lookandfeel shot window-lookandfeel default
SHOW=startupoptions shot window-startupoptions Midnight
SHOW=enhancedbrowsing shot window-enhancedbrowsing default
SHOW=searchbar shot window-searchbar default
SHOW=searchwindow shot window-searchwindow default
SHOW=quotelookup shot window-quotelookup default
SHOW=open shot window-open default
SHOW=startpage shot window-startpage default
SHOW=history shot window-history default
SHOW=mail shot window-mail default
SHOW=viewer shot window-viewer default "$WORK/garden-news.mail"
SHOW=mailsettings shot window-mailsettings default
SHOW=multipop shot window-multipop default
SHOW=mailclient shot window-mailclient default
# The dial-up window over a stand-in of the system's network service (on a
# bus of its own) that knows a mobile broadband connection beside the LAN.
NMDIR="$WORK/nm" && mkdir -p "$NMDIR"
printf '<busconfig><type>session</type><listen>unix:dir=%s</listen><policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>\n' \
  "$NMDIR" > "$NMDIR/bus.conf"
dbus-daemon --nofork --print-address --config-file="$NMDIR/bus.conf" > "$NMDIR/address" &
NMBUS=$!
for _ in $(seq 50); do [ -s "$NMDIR/address" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$NMDIR/address")
/usr/bin/python3 -m dbusmock --system --template networkmanager -l "$NMDIR/mock.log" &
NMMOCK=$!
trap 'kill $SERVER $NMMOCK $NMBUS 2>/dev/null; rm -rf "$WORK"' EXIT
nm() { timeout 5 gdbus call --system --dest org.freedesktop.NetworkManager "$@" >/dev/null 2>&1; }
for _ in $(seq 100); do nm --object-path /org/freedesktop/NetworkManager --method org.freedesktop.DBus.Peer.Ping && break; sleep 0.1; done
for connection in "Mobile Broadband:gsm" "Wired connection 1:802-3-ethernet"; do
  nm --object-path /org/freedesktop/NetworkManager/Settings --method org.freedesktop.NetworkManager.Settings.AddConnection \
    "{'connection': {'id': <'${connection%%:*}'>, 'type': <'${connection##*:}'>}}"
done
SHOW=dialup shot window-dialup default
kill $NMMOCK $NMBUS 2>/dev/null
unset DBUS_SYSTEM_BUS_ADDRESS
SHOW=speedbooster shot window-speedbooster default
# The channel designer with a channel of the user's below the locked ones,
# opened on a page.
CHAN="$WORK/home-window-channeldesigner/vyrelle/Data/Default"
mkdir -p "$CHAN"
printf '\r\n~**:*********\r\n~CH:My Garden\r\n~**:- - -\r\n~FN:Garden News\r\n~FU:%s/article.html\r\n~**:- - -\r\n~FO:Weather\r\n\r\n~PN:This week\r\n~PU:%s/weather.html' \
  "$BASE" "$BASE" > "$CHAN/chanuser.vyr"
SHOW=channeldesigner shot window-channeldesigner default "$BASE/article.html"
# The address book with a few cards imported, as address programs export them.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Lindqvist\r\nEMAIL;TYPE=INTERNET:anna@example.org\r\nEND:VCARD\r\n%b' \
  'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:J\xc3\xb6rg M\xc3\xbcller\r\nEMAIL;PREF=1:joerg@example.net\r\nEMAIL:jm@example.com\r\nEND:VCARD\r\n' \
  > "$WORK/contacts.vcf"
SHOW=addressbook shot window-addressbook default "$WORK/contacts.vcf"
# The favorites organizer over a few favorites of the user's (the program
# adds its own folder), and the add dialog on a page.
FAV="$WORK/home-window-favorites/Favorites"
mkdir -p "$FAV/News" "$FAV/Recipes"
for f in "News/Garden News:article.html" "News/Weather:weather.html" "Recipes/Bread:article.html#bread" "Start:"; do
  printf '[InternetShortcut]\nURL=%s/%s\n' "$BASE" "${f#*:}" > "$FAV/${f%%:*}.url"
done
SHOW=favorites shot window-favorites default
SHOW=addfavorite shot window-addfavorite default "$BASE/article.html"
SHOW=compose shot window-compose default \
  'mailto:anna@example.org?subject=Lunch%20on%20Friday&body=Hi%20Anna,%0D%0A%0D%0AShall%20we%20meet%20at%20noon%3F%20I%20recieve%20the%20keys%20at%20eleven.'

