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
    """Through the window scrolled by the mouse wheel, ticks the right box
    of question 1, then on the tab of question 40 its right box, and scores:
    5 points. The boxes are found, and seen on the screen, through the
    accessibility bus."""
    exam = accessible_window(accessible_app(), TITLE)
    tab_list = [n for n in accessible_nodes(exam, pyatspi.ROLE_PAGE_TAB_LIST) if n.childCount == 40][0]
    pages = list(tab_list.parent)[:40]
    boxes = {n: accessible_nodes(pages[n - 1], pyatspi.ROLE_CHECK_BOX) for n in (1, 40)}
    x, y, w, h = geometry(wid)
    # The bus may give places in the unscaled pixels of the program.
    scale = w / extents(exam)[2]

    def on_screen_now(node):
        return [round(v * scale) for v in extents(node)]

    first = boxes[1][2]  # ③ of 1A-問1
    check(not on_screen(on_screen_now(first), width, height),
          f"at opening the answer boxes lie below the screen's edge ({on_screen_now(first)})")

    def bring_up(node):
        """Turns the mouse wheel over the window's left column, down or
        right, until `node` is on the screen."""
        for _ in range(40):
            nx, ny, nw, nh = on_screen_now(node)
            if on_screen((nx, ny, nw, nh), width, height):
                return True
            wheel = "5" if ny + nh > height else "7"
            run("xdotool", "mousemove", str(x + w // 20), str(y + h - 40), "click", wheel)
            time.sleep(0.05)
        return False

    def click_on(node):
        nx, ny, _, nh = on_screen_now(node)
        run("xdotool", "mousemove", str(nx + nh // 2), str(ny + nh // 2), "click", "1")

    check(bring_up(first), f"the mouse wheel brings them up ({on_screen_now(first)})")
    click_on(first)
    check(eventually(lambda: pyatspi.STATE_CHECKED in states(first)), "a click ticks ③ of question 1")
    tab = list(tab_list)[39]
    check(bring_up(tab), f"and the tab of question 40 ({on_screen_now(tab)})")
    click_on(tab)
    check(eventually(lambda: pyatspi.STATE_SELECTED in states(tab)), "a click chooses it")
    check(bring_up(boxes[40][0]), "its box ① is brought up")
    click_on(boxes[40][0])
    check(eventually(lambda: pyatspi.STATE_CHECKED in states(boxes[40][0])), "and ticked")
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
