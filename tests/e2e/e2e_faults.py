"""The program under faults a user's machine may have, with real input:

- its Zikan.wav is a named pipe that nobody writes: Start, a few ticks that
  open it, then Exit must end the process at once, and standard error must
  name the file in exactly one line;
- screens smaller than the window (640 x 480, and 1366 x 768 at scale 1.5;
  a second X server): the window fits the screen, and the answer boxes that
  lie below its edge are brought up with the mouse wheel, ticked and scored;
- no font that covers Japanese: one line on standard error names the Debian
  packages to install, and the exam window still comes and goes as usual."""

import os
import random
import shutil
import subprocess
import time

import pyatspi

from harness import PROGRAM, WORK, accessible_app, accessible_nodes, accessible_window, check, \
    click, do_action, eventually, extents, fail, geometry, key, run, start, states, wait_exit, \
    wait_for_window

TITLE = "問題 （Karvel）"
CLIENT_HEIGHT = 554
START_BUTTON = (24, 56, 81, 33)


def log_lines():
    with open(os.path.join(WORK, "karvel.log"), errors="replace") as log:
        return log.read().splitlines()


def exit_and_time(program, wid):
    """Exit from the menu; the program's code and the seconds from the key
    that chose Exit to the end of the process."""
    click(wid, 30, 8)
    time.sleep(0.3)
    began = time.monotonic()
    key("q")
    rc = wait_exit(program, timeout=10)
    return rc, time.monotonic() - began


# --- The chime is a named pipe ----------------------------------------------
folder = os.path.join(WORK, "program")
os.makedirs(folder)
copy = os.path.join(folder, "karvel")
shutil.copy2(PROGRAM, copy)
shutil.copytree(os.path.join(os.path.dirname(PROGRAM), "sound"), os.path.join(folder, "sound"))
pipe = os.path.join(folder, "Zikan.wav")
os.mkfifo(pipe)

program = start(program=copy)
wid = wait_for_window(TITLE)
x, y, w, h = geometry(wid)
menu = h - CLIENT_HEIGHT
click(wid, START_BUTTON[0] + 40, menu + START_BUTTON[1] + 16)
time.sleep(3.5)  # three ticks or so, each opening the pipe
check(program.poll() is None, "the program runs on with a pipe for its chime")
rc, took = exit_and_time(program, wid)
print(f"Exit took {took:.2f} s", flush=True)
check(rc == 0 and took < 3, f"Exit ends the program at once ({took:.2f} s, code {rc})")
named = [line for line in log_lines() if pipe in line]
check(len(named) == 1 and "not a regular file" in named[0],
      f"one line on standard error names the pipe: {named}")

# --- Screens smaller than the window ------------------------------------------
def small_screen(size):
    """A second X server with a screen of `size` ("640x480"): its process and
    display. The display number is drawn at random rather than taken as the
    lowest free one: a server in another sandbox of the same machine may hold
    that number without this one seeing its lock file."""
    for _ in range(5):
        number = random.randrange(200, 900)
        server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{size}x24", "-dpi", "96",
                                   "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while server.poll() is None and time.monotonic() < deadline:
            info = subprocess.run(["xdpyinfo", "-display", f":{number}"], capture_output=True,
                                  text=True)
            if info.returncode == 0:
                if f"{size} pixels" in info.stdout:
                    return server, f":{number}"
                break
            time.sleep(0.05)
        server.terminate()
        server.wait()
    fail(f"no {size} X server could be started")


def on_screen(box, width, height):
    x, y, w, h = box
    return x >= 0 and y >= 0 and x + w <= width and y + h <= height


def reach_and_tick(wid, width, height):
    """Box ③ of question 1, the tab of question 40 and its box ①: for each,
    the mouse wheel over the window's left column (down, or right) until it
    is on the screen, then a click; Score then gives their 5 points. Their
    places are read on the accessibility bus."""
    exam = accessible_window(accessible_app(), TITLE)
    tabs = [n for n in accessible_nodes(exam, pyatspi.ROLE_PAGE_TAB_LIST) if n.childCount == 40][0]
    pages = list(tabs.parent)
    first = accessible_nodes(pages[0], pyatspi.ROLE_CHECK_BOX)[2]
    last = accessible_nodes(pages[39], pyatspi.ROLE_CHECK_BOX)[0]
    x, y, w, h = geometry(wid)
    scale = w / extents(exam)[2]  # the bus may give the program's unscaled pixels

    def place(node):
        return [round(v * scale) for v in extents(node)]

    check(not on_screen(place(first), width, height),
          f"at opening the answer boxes lie below the screen's edge ({place(first)})")
    for name, node, state in (("box ③ of question 1", first, pyatspi.STATE_CHECKED),
                              ("the tab of question 40", list(tabs)[39], pyatspi.STATE_SELECTED),
                              ("its box ①", last, pyatspi.STATE_CHECKED)):
        for _ in range(40):
            nx, ny, nw, nh = place(node)
            if on_screen((nx, ny, nw, nh), width, height):
                break
            wheel = "5" if ny + nh > height else "7"
            run("xdotool", "mousemove", str(x + w // 20), str(y + h - 40), "click", wheel)
            time.sleep(0.05)
        run("xdotool", "mousemove", str(nx + nh // 2), str(ny + nh // 2), "click", "1")
        check(eventually(lambda: state in states(node)),
              f"{name}, brought up by the wheel to {(nx, ny)}, takes a click")
    score = [b for b in accessible_nodes(exam, pyatspi.ROLE_PUSH_BUTTON) if b.name == "得\u3000点"]
    do_action(score[0], "Press")
    check(eventually(lambda: "5" in [l.name for l in accessible_nodes(exam, pyatspi.ROLE_LABEL)]),
          "Score gives the 5 points of the two answers")


main_display = os.environ["DISPLAY"]
for size, scale in (("640x480", "1"), ("1366x768", "1.5")):
    width, height = map(int, size.split("x"))
    small, display = small_screen(size)
    os.environ["DISPLAY"] = display
    try:
        program = start(extra_env={"QT_SCALE_FACTOR": scale})
        wid = wait_for_window(TITLE)
        x, y, w, h = geometry(wid)
        check(on_screen((x, y, w, h), width, height),
              f"on a {size} screen at scale {scale} the {w}x{h} window at ({x},{y}) fits it")
        reach_and_tick(wid, width, height)
        rc, _ = exit_and_time(program, wid)
        check(rc == 0, "and Exit from its menu ends it")
    finally:
        os.environ["DISPLAY"] = main_display
        small.terminate()
        small.wait()

# --- No font covers Japanese --------------------------------------------------
fonts = os.path.join(WORK, "fonts.conf")
with open(fonts, "w") as conf:
    conf.write(f"""<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <dir>/usr/share/fonts/truetype/liberation</dir>
  <cachedir>{WORK}/fontcache</cachedir>
</fontconfig>
""")
program = start(extra_env={"FONTCONFIG_FILE": fonts})
wid = wait_for_window(TITLE)
rc, _ = exit_and_time(program, wid)
check(rc == 0, "without Japanese fonts the exam window comes and Exit ends it")
told = [line for line in log_lines() if "fonts-ipafont-gothic" in line]
check(len(told) == 1 and "Japanese" in told[0],
      f"one line on standard error names the font packages: {told}")
