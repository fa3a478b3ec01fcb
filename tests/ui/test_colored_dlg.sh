#!/usr/bin/env bash
# Skinned dialogs on a virtual display, twice: with a window manager (openbox,
# which answers the dialog's move requests) and without one (the dialog moves
# itself).
#
# usage: test_colored_dlg.sh PROGRAM BUILT_IN_CAPTIONBAR.png SCREENSHOT.png
set -u
PROGRAM="$1" CAPTION="$2" SHOT="$3"
source "$(dirname "$0")/ui_test_lib.sh"
need_tools xvfb-run:xvfb
mkdir -p "$(dirname "$SHOT")"

cat > "$WORK/with_wm.sh" <<'INNER'
#!/usr/bin/env bash
openbox --sm-disable & WM=$!
trap 'kill $WM' EXIT
for _ in $(seq 200); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.05
done
"$@"
INNER
chmod +x "$WORK/with_wm.sh"

if command -v openbox >/dev/null; then
  mkdir -p "$WORK/wm"
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$WORK/with_wm.sh" \
    "$PROGRAM" "$WORK/wm" "$CAPTION" "$SHOT" || fail "with a window manager: exit status $?"
else
  echo "openbox is missing (Debian package openbox): the window manager run is skipped"
fi
mkdir -p "$WORK/bare"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$PROGRAM" "$WORK/bare" "$CAPTION" "${SHOT%.png}_bare.png" || fail "without a window manager: exit status $?"
[ -s "$SHOT" ] || [ -s "${SHOT%.png}_bare.png" ] || fail "no screenshot"
echo "skinned dialog checks passed"
