#!/usr/bin/env bash
# Starts vyrelle on a virtual X display with a local page and checks that the
# page's title reaches the window caption, that the page is painted, that the
# application object created the installation key in the data home, and that
# a second start hands its page to the running window and ends, that
# a termination request shuts the program down cleanly, and that start-up
# releases what a forward left read-only in the viewer's folder.
#
# usage: test_start_window.sh VYRELLE_BINARY SCREENSHOT.png
set -u

fail() { echo "FAIL: $*"; exit 1; }

FIXTURE_TITLE="Vyrelle UI Fixture 7341"
EXPECTED_CAPTION="$FIXTURE_TITLE - Vyrelle"
HANDED_CAPTION="Handed Over 5519 - Vyrelle"
# The fixture page's background colour (#2e7d32).
PAGE_COLOUR="rgb(46,125,50)"

# ---------------------------------------------------------------------------
# Inside the virtual display (the script calls itself through xvfb-run).
# ---------------------------------------------------------------------------
if [ "${1:-}" = "--inside-display" ]; then
  vyrelle="$2" page="$3" shot="$4" log="$5" status_file="$6"
  "$vyrelle" "$page" >"$log" 2>&1 &
  pid=$!

  found=0
  for _ in $(seq 1 120); do  # up to about 60 s
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      echo "vyrelle ended early with status $?" >"$status_file"
      exit 1
    fi
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$EXPECTED_CAPTION\""; then
      found=1
      break
    fi
    sleep 0.5
  done
  if [ "$found" -ne 1 ]; then
    echo "no window named \"$EXPECTED_CAPTION\" within 60 s; windows seen:" >"$status_file"
    xwininfo -root -tree 2>/dev/null | grep -o '"[^"]*"' | sort -u >>"$status_file"
    import -window root "$shot" 2>/dev/null
    kill -KILL "$pid" 2>/dev/null
    exit 1
  fi

  # The caption changes when the title is known; painting may follow a moment
  # later, so take the picture once the page colour shows (or after 10 s).
  for _ in $(seq 1 20); do
    import -window root "$shot" || { echo "import failed" >"$status_file"; kill -KILL "$pid"; exit 1; }
    count=$(convert "$shot" -fill black +opaque "$PAGE_COLOUR" -fill white -opaque "$PAGE_COLOUR" \
              -format '%[fx:round(mean*w*h)]' info: 2>/dev/null || echo 0)
    [ "${count:-0}" -ge 100000 ] && break
    sleep 0.5
  done

  # A second start hands its page to the running window and ends at once.
  handed="$(dirname "$page")/handed.html"
  "$vyrelle" "$handed" >>"$log" 2>&1 &
  second=$!
  for _ in $(seq 1 40); do kill -0 "$second" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$second" 2>/dev/null; then
    kill -KILL "$second"; kill -KILL "$pid"
    echo "a second start did not end within 20 s" >"$status_file"
    exit 1
  fi
  wait "$second" || { echo "a second start ended with status $?" >"$status_file"; kill -KILL "$pid"; exit 1; }
  handedOver=0
  for _ in $(seq 1 40); do
    xwininfo -root -tree 2>/dev/null | grep -qF "\"$HANDED_CAPTION\"" && { handedOver=1; break; }
    sleep 0.5
  done
  if [ "$handedOver" -ne 1 ]; then
    echo "the running window did not open the page a second start handed over" >"$status_file"
    kill -KILL "$pid"
    exit 1
  fi

  # A termination request must end the program normally.
  kill -TERM "$pid"
  for _ in $(seq 1 40); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    echo "vyrelle did not end within 20 s of SIGTERM" >"$status_file"
    exit 1
  fi
  wait "$pid"
  echo "exit $?" >"$status_file"
  exit 0
fi

# ---------------------------------------------------------------------------
# The test.
# ---------------------------------------------------------------------------
[ $# -eq 2 ] || fail "usage: $0 VYRELLE_BINARY SCREENSHOT.png"
VYRELLE="$1"
SHOT="$2"
[ -x "$VYRELLE" ] || fail "vyrelle binary not found: $VYRELLE"

need() {  # need PROGRAM PACKAGE
  command -v "$1" >/dev/null 2>&1 || fail "'$1' is missing: install the Debian package $2"
}
need xvfb-run xvfb
need Xvfb xvfb
need xauth xauth
need xwininfo x11-utils
need import imagemagick
need convert imagemagick

SCRIPT_DIR=$(cd "$(dirname "$0")" && pwd)
FIXTURE="$SCRIPT_DIR/../fixtures/ui/title.html"
[ -f "$FIXTURE" ] || fail "fixture page missing: $FIXTURE"
grep -qF "<title>$FIXTURE_TITLE</title>" "$FIXTURE" || fail "fixture page does not carry the title '$FIXTURE_TITLE'"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VYRELLE_HOME="$WORK/home"
mkdir -p "$VYRELLE_HOME"
# Keep everything the toolkit and the engine write inside the scratch folder.
export XDG_RUNTIME_DIR="$WORK/runtime" XDG_CACHE_HOME="$WORK/cache" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# A forward of the last session left its part read-only in the viewer's
# folder: start-up makes it writable again.
LEFTOVER="$VYRELLE_HOME/vyrelle/_TEMP/Viewer/Forward1/report.pdf"
mkdir -p "$(dirname "$LEFTOVER")" && echo part >"$LEFTOVER" && chmod 444 "$LEFTOVER"

# The page is given as a plain path (with a space in a folder name), so the
# program has to turn it into a file address itself.
PAGE_DIR="$WORK/fixture pages"
mkdir -p "$PAGE_DIR"
cp "$FIXTURE" "$PAGE_DIR/title.html"
printf '<!DOCTYPE html><html><head><title>Handed Over 5519</title></head><body>second</body></html>\n' \
  >"$PAGE_DIR/handed.html"

mkdir -p "$(dirname "$SHOT")"
rm -f "$SHOT"
LOG="$WORK/vyrelle.log"
STATUS="$WORK/status"

xvfb-run -a -s "-screen 0 1280x900x24" \
  bash "$0" --inside-display "$VYRELLE" "$PAGE_DIR/title.html" "$SHOT" "$LOG" "$STATUS"
inner=$?

show_log() { echo "--- vyrelle output:"; cat "$LOG" 2>/dev/null; echo "---"; }

status=$(cat "$STATUS" 2>/dev/null)
if [ $inner -ne 0 ]; then
  show_log
  fail "${status:-the virtual display run failed (xvfb-run status $inner)}"
fi
[ "$status" = "exit 0" ] || { show_log; fail "vyrelle did not end cleanly after SIGTERM ($status)"; }

# The screenshot exists and shows the page, not an empty screen.
[ -s "$SHOT" ] || fail "no screenshot written to $SHOT"
size=$(identify -format '%wx%h' "$SHOT" 2>/dev/null)
[ "$size" = "1280x900" ] || fail "screenshot is '$size', expected 1280x900"
colours=$(identify -format '%k' "$SHOT")
[ "$colours" -gt 16 ] || fail "screenshot has only $colours colours: nothing was drawn"
painted=$(convert "$SHOT" -fill black +opaque "$PAGE_COLOUR" -fill white -opaque "$PAGE_COLOUR" \
            -format '%[fx:round(mean*w*h)]' info:)
[ "$painted" -ge 100000 ] || fail "the page's colour covers only $painted pixels of the screenshot: the page was not painted"

# The application object ran: the installation key holds a 32-digit identifier.
REG="$VYRELLE_HOME/registry.reg"
[ -f "$REG" ] || fail "no registry file in the data home ($REG)"
key_default=$(awk '
  /^\[/ { inKey = ($0 ~ /^\[HKEY_CLASSES_ROOT\\CLSID\\\{[0-9A-Fa-f-]+\}\]$/); next }
  inKey && /^@=/ { print }' "$REG")
echo "$key_default" | grep -Eqx '@="[0-9A-Fa-f]{32}"' ||
  { cat "$REG"; fail "the installation key has no 32-hex-digit default value"; }

[ "$(stat -c %a "$LEFTOVER")" != 444 ] || fail "start-up left the viewer's files read-only"

# Programming errors reported by GLib/GTK/WebKit count as failures.
if grep -q "CRITICAL" "$LOG"; then
  show_log
  fail "vyrelle reported critical errors"
fi

echo "PASS: window \"$EXPECTED_CAPTION\" shown, page painted, installation key written, clean exit; screenshot: $SHOT"
