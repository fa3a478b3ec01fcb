# Shared by the window test scripts that run the real vyrelle program with
# its shipped start page (sourced after ui_test_lib.sh): the profile of a
# run, the windows shown on the display and what a picture of the main
# window shows.
#
# The main window covers the whole 1280x900 display (see write_profile). It
# draws its own frame: the caption (24 rows) and the menu bar (23 rows) at
# the top, a border of 10 pixels left, right and below; its parts lie in
# the rest, from 10,47 to 1270,890. The channel column lies at the left of
# that, below the address row, between its two scroll arrows, each channel
# one line of dark text starting 32 pixels from the edge; the status bar is
# the bottom 24 rows, its text drawn from the left edge and the progress
# gauge and the busy picture in its last 200 columns. The info box is the
# channel column's foot: the left 190 columns of the 100 rows above the
# status bar.

# The colour of the start page's heading (#24507a in data/start.html).
START_HEADING="rgb(36,80,122)"
# The caption of the main window on the start page (its title "Welcome").
START_CAPTION="Welcome - Vyrelle"

# write_profile HOME_SERVER: a new vyr20.ini in $VYRELLE_HOME naming the
# home server (an empty value: none). The main window covers the display,
# so that the channel column has room for every channel; the splash window
# and the default-browser question are off, so that any other window on
# the display is a box the program put up.
write_profile() {
  printf '[misc]\nHomeServer=%s\nwnd_maximize=0\nwnd_left=0\nwnd_top=0\nwnd_right=1280\nwnd_bottom=900\n' "$1" \
    >"$VYRELLE_HOME/vyr20.ini"
  printf '[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n' >>"$VYRELLE_HOME/vyr20.ini"
}

# main_window: the X window id of the main window on the start page.
main_window() { shown_windows | grep -F "\"$START_CAPTION\"" | sed -n '1s/ .*//p'; }

# give_input_focus WINDOW: gives the window (an X window id) the keyboard
# focus, as a window manager does for the window the user picks. No window
# manager runs: without this the focus follows the pointer, and the window
# has it only while the pointer happens to rest on it. Holds when the X
# server then names the window as the focus window.
give_input_focus() {
  /usr/bin/python3 - "$1" <<'PYTHON'
import ctypes, ctypes.util, sys
x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int)]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit(1)
window = int(sys.argv[1], 16)
REVERT_TO_PARENT, CURRENT_TIME = 2, 0
x11.XSetInputFocus(display, window, REVERT_TO_PARENT, CURRENT_TIME)
x11.XSync(display, 0)
focus, revert = ctypes.c_ulong(), ctypes.c_int()
x11.XGetInputFocus(display, ctypes.byref(focus), ctypes.byref(revert))
x11.XCloseDisplay(display)
sys.exit(0 if focus.value == window else 1)
PYTHON
}

# shown_windows: the windows shown on the display, "ID NAME" a line. No
# window manager runs, so every top-level window is a child of the root.
shown_windows() {
  local id info
  for id in $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\) \(.*\)$/\1 \2/p' <<<"$info"
  done
}

# dark_profile PICTURE GEOMETRY AXIS: for each row (AXIS y) or column (AXIS
# x) of the area GEOMETRY (WxH+X+Y) of the picture, 1 when it holds a dark
# (text) pixel, else 0; one value a line.
dark_profile() {
  local size=${2%%+*} scale
  [ "$3" = y ] && scale="1x${size#*x}!" || scale="${size%x*}x1!"
  convert "$1" -crop "$2" +repage -colorspace Gray -threshold 55% -negate -scale "$scale" \
    -depth 8 -compress none pgm:- | tr -s ' \n' '\n\n' | tail -n +5 | awk '{ print ($1 > 0) }'
}

# channel_lines PICTURE: how many lines of text the channel column shows
# (the "H O M E" entry and one line a channel). Rows of text less than 5
# blank rows apart belong to one line (descenders, accents).
channel_lines() {
  dark_profile "$1" 56x597+38+143 y | awk '
    $1 { if (!inside && (lines == 0 || NR - last > 5)) lines++; inside = 1; last = NR; next }
    { inside = 0 }
    END { print lines + 0 }'
}

# status_text_width PICTURE: the width in pixels from the first to the last
# column of text in the status bar (0 when it shows no text).
status_text_width() {
  dark_profile "$1" 1080x18+10+870 x | awk '$1 { if (!first) first = NR; last = NR } END { print first ? last - first + 1 : 0 }'
}

# start_page_painted PICTURE: whether the picture shows the start page's
# heading.
start_page_painted() { [ "$(colour_pixels "$1" "$START_HEADING")" -ge 1000 ]; }

# info_box_shows PICTURE COLOUR: whether at least half of the inside of the
# info box (clear of its edges) has the colour, the background of the page
# it shows.
info_box_shows() { [ "$(colour_pixels "$1[180x90+15+769]" "$2")" -ge $((180 * 90 / 2)) ]; }
