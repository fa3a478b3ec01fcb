#!/usr/bin/python3
"""vyrelle through the accessibility bus: roles, names, states, places,
focus moved by XTest keys and the buttons' click actions.

usage: test_accessibility.py VYRELLE SCREENSHOT.png (inside dbus-run-session)
"""
import ctypes
import ctypes.util
import os
import subprocess
import sys
import time

import pyatspi

VYRELLE, SHOT = sys.argv[1:3]
CAPTION = "Welcome - Vyrelle"
TOOLBAR = ["Back", "Forward", "Stop", "Refresh", "Home", "Search", "Favorites", "Mail", "Print", "Menu",
           "The Net", "News", "Money", "Local"]
MENUS = ["File", "Edit", "View", "Go", "Favorites", "Tools", "Help"]
program = None

def fail(message):
    print("FAIL: " + message, flush=True)
    if program:
        program.kill()
    sys.exit(1)

def expect(ok, message):
    if not ok:
        fail(message)

def wait_for(what, seconds, test):
    end = time.time() + seconds
    while True:
        try:
            value = test()
        except Exception:  # an object that went while it was read
            value = None
        if value:
            return value
        if time.time() > end:
            fail(what)
        time.sleep(0.2)

def kids(obj):
    return [obj.getChildAtIndex(i) for i in range(obj.childCount)]

def find_all(root, test):
    found, queue = [], [root]
    while queue:
        obj = queue.pop(0)
        if obj is None:
            continue
        if test(obj):
            found.append(obj)
        if obj.getRoleName() != "document web":
            queue.extend(kids(obj))
    return found

def find(root, role, name):
    hits = find_all(root, lambda o: o.getRoleName() == role and o.name == name)
    return hits[0] if hits else None

def has(obj, state):
    return obj.getState().contains(state)

def extents(obj):
    box = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height

def focus_now(frame):
    hits = find_all(frame, lambda o: has(o, pyatspi.STATE_FOCUSED))
    if not hits:
        return None
    obj = hits[-1]
    return obj.getRoleName(), obj.name, obj.parent.name if obj.parent else ""

def click(obj):
    action = obj.queryAction()
    if action.nActions != 1 or action.getName(0) != "click":
        fail("%s \"%s\" has no single \"click\" action" % (obj.getRoleName(), obj.name))
    action.doAction(0)

def open_menu(app):
    def shown():
        for menu in find_all(app, lambda o: o.getRoleName() == "menu" and has(o, pyatspi.STATE_SHOWING)):
            names = [k.name for k in kids(menu)]
            if names and all(has(k, pyatspi.STATE_SHOWING) for k in kids(menu)[:1]):
                return names
        return None
    return shown

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xtest = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
x11.XOpenDisplay.restype, x11.XOpenDisplay.argtypes = ctypes.c_void_p, [ctypes.c_char_p]
x11.XStringToKeysym.restype, x11.XStringToKeysym.argtypes = ctypes.c_ulong, [ctypes.c_char_p]
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
xtest.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)

def keys(*names):
    codes = [x11.XKeysymToKeycode(display, x11.XStringToKeysym(n.encode())) for n in names]
    for code in codes:
        xtest.XTestFakeKeyEvent(display, code, True, 0)
    for code in reversed(codes):
        xtest.XTestFakeKeyEvent(display, code, False, 0)
    x11.XSync(display, False)

def pointer_click(obj):
    x, y, width, height = extents(obj)
    xtest.XTestFakeMotionEvent(display, -1, x + width // 2, y + height // 2, 0)
    x11.XSync(display, False)
    time.sleep(0.2)
    xtest.XTestFakeButtonEvent(display, 1, True, 0)
    xtest.XTestFakeButtonEvent(display, 1, False, 0)
    x11.XSync(display, False)

def not_background(picture, x, y, width, height, background):
    return int(subprocess.run(["convert", "%s[%dx%d+%d+%d]" % (picture, width, height, x, y), "-fill", "white",
                               "+opaque", background, "-fill", "black", "-opaque", background,
                               "-format", "%[fx:round(mean*w*h)]", "info:"], capture_output=True, text=True).stdout)

def ring_marks(picture, box, background):
    x, y, width, height = box
    return (not_background(picture, x + 2, y + 2, width - 4, height - 4, background) -
            not_background(picture, x + 3, y + 3, width - 6, height - 6, background), 2 * (width - 4) + 2 * (height - 6))

def pixel(picture, x, y):
    text = subprocess.run(["convert", picture, "-crop", "1x1+%d+%d" % (x, y), "+repage", "txt:-"],
                          capture_output=True, text=True).stdout
    return text.splitlines()[1].split(":")[1].split()[1]

home = os.environ["VYRELLE_HOME"]
with open(os.path.join(home, "vyr20.ini"), "w") as profile:
    profile.write("[misc]\nHomeServer=\nwnd_maximize=0\nwnd_left=0\nwnd_top=0\nwnd_right=1280\nwnd_bottom=900\n"
                  "[Startup]\nShowSplash=0\nCheckDefaultBrowser=0\n")
environment = dict(os.environ)
environment.pop("NO_AT_BRIDGE", None)  # the toolkit's bridge to the bus stays on
program = subprocess.Popen([VYRELLE], env=environment)

app = wait_for("vyrelle never showed on the accessibility bus", 60, lambda: next(
    (a for a in kids(pyatspi.Registry.getDesktop(0)) if a and a.get_process_id() == program.pid), None))
frame = wait_for("no frame \"%s\"" % CAPTION, 60, lambda: find(app, "frame", CAPTION))
toolbar = wait_for("no tool bar \"Toolbar\" with its buttons", 30,
                   lambda: (lambda t: t if t and t.childCount == len(TOOLBAR) else None)(find(frame, "tool bar",
                                                                                              "Toolbar")))
window_id = subprocess.run(["xwininfo", "-name", CAPTION], capture_output=True, text=True).stdout
window_id = int(window_id.split("Window id: ")[1].split()[0], 16)

# The toolbar: push buttons named as shown, Back and Forward disabled on the
# first page, each inside the bar, left to right.
buttons = kids(toolbar)
names = [b.name for b in buttons]
if names != TOOLBAR or any(b.getRoleName() != "push button" for b in buttons):
    fail("the toolbar's buttons are %s" % [(b.getRoleName(), b.name) for b in buttons])
disabled = [b.name for b in buttons if not has(b, pyatspi.STATE_ENABLED)]
expect(disabled == ["Back", "Forward"], "disabled buttons on the first page: %s" % disabled)
bar = extents(toolbar)
edge = bar[0]
for b in buttons:
    x, y, width, height = extents(b)
    if x < edge or width <= 0 or y < bar[1] or y + height > bar[1] + bar[3] or x + width > bar[0] + bar[2]:
        fail("\"%s\" at %s does not lie in the toolbar %s after %d" % (b.name, (x, y, width, height), bar, edge))
    edge = x + width
print("ok the toolbar's %d push buttons by name, Back and Forward disabled, side by side inside the bar at %s"
      % (len(buttons), bar), flush=True)

menubar = find(frame, "menu bar", "Menu bar")
titles = [(k.getRoleName(), k.name) for k in kids(menubar)] if menubar else []
expect(titles == [("menu", m) for m in MENUS], "the menu bar's titles: %s" % titles)
caption = [b.name for b in find_all(frame, lambda o: o.getRoleName() == "push button" and o.name in (
    "Close", "Maximize", "Restore", "Minimize"))]
expect(sorted(caption) == ["Close", "Maximize", "Minimize"], "the caption buttons: %s" % caption)
print("ok the menu bar's %d titles as menus, the caption's Close, Maximize and Minimize" % len(titles), flush=True)

# Keys: Ctrl+L, then Tab to the channel column, whose chosen channel takes
# the focus and the arrow moves it on; Shift+Tab twice to the toolbar.
x11.XSetInputFocus(display, window_id, 2, 0)
keys("Control_L", "l")
focus = wait_for("Ctrl+L did not put the focus in the address bar", 10, lambda: (lambda f: f if f and f[0] == "text" else None)(focus_now(frame)))
entry = find_all(frame, lambda o: has(o, pyatspi.STATE_FOCUSED) and o.getRoleName() == "text")[0]
if entry.parent.getRoleName() != "combo box" or not has(entry, pyatspi.STATE_EDITABLE):
    fail("the focus went to %s in %s" % (focus, entry.parent.getRoleName()))
# A pointer's click on a button runs it and leaves the focus where it was.
pointer_click(find(toolbar, "push button", "Stop"))
time.sleep(1)
if focus_now(frame) != focus:
    fail("a click on Stop took the focus from the address bar to %s" % (focus_now(frame),))
print("ok Ctrl+L: the focus in the address bar's editable text, where a click on Stop leaves it", flush=True)

keys("Tab")
wait_for("Tab from the address bar did not reach the channel column", 10,
         lambda: focus_now(frame) == ("toggle button", "H O M E", "Channels"))
home_channel = find(find(frame, "tool bar", "Channels"), "toggle button", "H O M E")
expect(has(home_channel, pyatspi.STATE_CHECKED), "the chosen channel is not checked")
keys("Down")
wait_for("Down did not move the focus in the channel column", 10,
         lambda: focus_now(frame) == ("toggle button", "News", "Channels"))
keys("Shift_L", "Tab")
wait_for("Shift+Tab did not go back to the address bar", 10, lambda: (focus_now(frame) or ("",))[0] == "text")
keys("Shift_L", "Tab")
first = wait_for("Shift+Tab from the address bar did not reach the toolbar", 10,
                 lambda: (lambda f: f if f and f[2] == "Toolbar" else None)(focus_now(frame)))
keys("Right")
second = wait_for("Right did not move the focus along the toolbar", 10,
                  lambda: (lambda f: f if f and f[2] == "Toolbar" and f[1] != first[1] else None)(focus_now(frame)))
if TOOLBAR.index(second[1]) != TOOLBAR.index(first[1]) + 1:
    fail("Right went from \"%s\" to \"%s\"" % (first[1], second[1]))
time.sleep(0.5)
subprocess.run(["import", "-window", "root", SHOT], check=True)
background = pixel(SHOT, bar[0] + bar[2] - 3, bar[1] + bar[3] // 2)
marked, ring = ring_marks(SHOT, extents(find(toolbar, "push button", second[1])), background)
unmarked, _ = ring_marks(SHOT, extents(find(toolbar, "push button", first[1])), background)
if marked < ring // 4 or unmarked:
    fail("the focus mark: %d of %d pixels around \"%s\", %d around \"%s\" (%s)"
         % (marked, ring, second[1], unmarked, first[1], SHOT))
print("ok Tab reaches the channel column (Down moves to \"News\"), Shift+Tab the toolbar, Right moves from \"%s\" to "
      "\"%s\", marked in the picture (%d of %d pixels around it)" % (first[1], second[1], marked, ring), flush=True)

# Tab on round to the folder strip; Right to "Help", Space presses it: the
# page strip shows its pages.
seen = []
for _ in range(24):
    keys("Tab")
    time.sleep(0.4)
    focus = focus_now(frame)
    seen.append(focus)
    if focus and focus[2] == "Folders":
        break
else:
    fail("Tab never reached the folder strip: %s" % seen)
folders = find(frame, "tool bar", "Folders")
while focus_now(frame)[1] != "Help":
    keys("Right")
    time.sleep(0.3)
    if len(seen) > 40:
        fail("Right never reached \"Help\" in the folder strip")
    seen.append(focus_now(frame))
keys("space")
pages = wait_for("Space on \"Help\" did not fill the page strip", 10, lambda: (
    lambda p: p if p and [k.name for k in kids(p)] == ["Internet Basics", "Vyrelle Help"] and has(p, pyatspi.STATE_SHOWING) else None)(
    find(frame, "tool bar", "Pages")))
if not has(find(folders, "toggle button", "Help"), pyatspi.STATE_CHECKED):
    fail("the pressed folder is not checked")
print("ok Tab reaches the folder strip; Space on \"Help\" checks it and shows its pages %s"
      % [k.name for k in kids(pages)], flush=True)

# The actions: "Start Page" in the folder strip; the page strip goes.
click(find(folders, "toggle button", "Start Page"))
wait_for("the click on \"Start Page\" left the page strip", 10, lambda: find(frame, "tool bar", "Pages").childCount == 0)
if not has(find(folders, "toggle button", "Start Page"), pyatspi.STATE_CHECKED) or has(
        find(folders, "toggle button", "Help"), pyatspi.STATE_CHECKED):
    fail("the click did not move the check to \"Start Page\"")
print("ok the click action on \"Start Page\" checks it and empties the page strip", flush=True)

# The Menu button and the menu bar's "Go": their menus, closed by Escape.
click(find(toolbar, "push button", "Menu"))
items = wait_for("the Menu button's click opened no menu", 10, open_menu(app))
expect(items == MENUS, "the Menu button's menu holds %s" % items)
keys("Escape")
wait_for("Escape did not close the Menu button's menu", 10, lambda: not open_menu(app)())
click(find(menubar, "menu", "Go"))
items = wait_for("the click on \"Go\" opened no menu", 10, open_menu(app))
expect(items[:3] == ["Back", "Forward", "Home Page"], "the Go menu holds %s" % items)
keys("Escape")
wait_for("Escape did not close the Go menu", 10, lambda: not open_menu(app)())
print("ok the Menu button's click opens %s, the menu bar's \"Go\" %s" % (MENUS, items), flush=True)

# The caption: Maximize turns into Restore and back.
click(find(frame, "push button", "Maximize"))
wait_for("the click on Maximize did not zoom the window", 10, lambda: find(frame, "push button", "Restore"))
click(find(frame, "push button", "Restore"))
wait_for("the click on Restore did not give the window back", 10, lambda: find(frame, "push button", "Maximize"))
print("ok the caption's Maximize zooms the window (then named Restore), Restore gives it back", flush=True)

program.terminate()
try:
    status = program.wait(30)
except subprocess.TimeoutExpired:
    fail("vyrelle did not end within 30 s of SIGTERM")
expect(status == 0, "vyrelle ended with status %d" % status)
