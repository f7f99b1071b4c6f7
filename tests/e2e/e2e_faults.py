"""The program under faults a user's machine may have, with real input:

- its Zikan.wav is a named pipe that nobody writes: Start, a few ticks that
  open it, one line on standard error that names it; then the chime put in
  its place is opened by the next tick. On a recorded null sink, Play sounds
  it, and again after its end, and again once the sound server was killed
  and restarted; Exit while it plays ends the process at once and cleanly,
  in each of several tries;
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

import numpy as np
import pyatspi

from harness import PROGRAM, PULSE_ENV, WORK, accessible_app, accessible_nodes, \
    accessible_window, bursts, check, click, do_action, eventually, extents, fail, geometry, key, \
    open_menu, run, start, start_sound_server, start_x_server, states, stop_sound_server, \
    wait_exit, wait_for_window, wait_until

TITLE = "問題 （Karvel）"
CLIENT_HEIGHT = 554
START_BUTTON = (24, 56, 81, 33)
PLAY_BUTTON = (87, 545)  # the third of the sound strip's nine buttons
CHIME = os.path.join(os.path.dirname(__file__), "..", "..", "resources", "Zikan.wav")
RATE = 22050


def log_lines():
    with open(os.path.join(WORK, "karvel.log"), errors="replace") as log:
        return log.read().splitlines()


def exit_and_time(program, wid):
    """Exit from the menu; the program's code and the seconds from the key
    that chose Exit to the end of the process."""
    open_menu(wid, 30)
    began = time.monotonic()
    key("q")
    rc = wait_exit(program, timeout=10)
    return rc, time.monotonic() - began


# --- The chime: a pipe at Start, put in place, played, and Exit while it plays
folder = os.path.join(WORK, "program")
os.makedirs(folder)
copy = os.path.join(folder, "karvel")
shutil.copy2(PROGRAM, copy)
shutil.copytree(os.path.join(os.path.dirname(PROGRAM), "sound"), os.path.join(folder, "sound"))
pipe = os.path.join(folder, "Zikan.wav")
os.mkfifo(pipe)

recording = os.path.join(WORK, "sink.raw")


def start_hearing():
    """The sound server, its sink's output recorded onto the end of `recording`."""
    start_sound_server()
    subprocess.Popen(["parec", "-d", "karvel_sink.monitor", "--raw", "--format=s16le",
                      f"--rate={RATE}", "--channels=1"],
                     env=PULSE_ENV, stdout=open(recording, "ab"))


def heard(count, quiet=0.0):
    """Whether the recording holds `count` bursts, the last with `quiet` seconds after it."""
    samples = np.fromfile(recording, dtype="<i2")
    found = bursts(samples, RATE)
    return len(found) >= count and len(samples) / RATE - sum(found[count - 1]) >= quiet


def start_and_wait_for_play(wid, start_first=True):
    """Start; once a tick has opened the chime, a function that presses the strip's Play."""
    menu = geometry(wid)[3] - CLIENT_HEIGHT
    if start_first:
        click(wid, START_BUTTON[0] + 40, menu + START_BUTTON[1] + 16)
    window = accessible_window(accessible_app(), TITLE)
    button = accessible_nodes(window, pyatspi.ROLE_PUSH_BUTTON, "Play")[0]
    wait_until(lambda: pyatspi.STATE_ENABLED in states(button), "the sound strip comes alive")
    return lambda: click(wid, PLAY_BUTTON[0], menu + PLAY_BUTTON[1], settle=0)


start_hearing()
try:
    program = start(program=copy)
    wid = wait_for_window(TITLE)
    click(wid, START_BUTTON[0] + 40, geometry(wid)[3] - CLIENT_HEIGHT + START_BUTTON[1] + 16)
    wait_until(lambda: any(pipe in line for line in log_lines()),
               "the first tick after Start did not try the pipe")
    time.sleep(2)  # two more ticks, each opening the pipe again
    check(program.poll() is None, "the program runs on with a pipe for its chime")
    named = [line for line in log_lines() if pipe in line]
    check(len(named) == 1 and "not a regular file" in named[0],
          f"one line on standard error names the pipe: {named}")
    os.remove(pipe)
    shutil.copy(CHIME, pipe)
    play = start_and_wait_for_play(wid, start_first=False)
    play()
    # The chime's silent end (0.35 s) is over too before Play comes again.
    wait_until(lambda: heard(1, quiet=1.0), "Play sounds the chime", 15)
    play()
    wait_until(lambda: heard(2), "Play sounds the chime again after its end", 10)
    stop_sound_server()
    start_hearing()
    deadline = time.monotonic() + 30  # Qt finds the server again within seconds
    while not heard(3):
        if time.monotonic() > deadline:
            fail("Play does not sound the chime once the sound server is back")
        play()
        time.sleep(1)

    play()
    time.sleep(random.uniform(0.2, 1.5))
    rc, took = exit_and_time(program, wid)
    check(rc == 0 and took < 3, f"Exit while the chime plays ends the program at once "
          f"({took:.2f} s, code {rc})")
    # Exit comes at another moment of the sound in each try.
    for attempt in range(2, 9):
        program = start(program=copy)
        wid = wait_for_window(TITLE)
        start_and_wait_for_play(wid)()
        time.sleep(random.uniform(0, 1.5))
        open_menu(wid, 30)
        key("q")
        rc = wait_exit(program)
        check(rc == 0, f"Exit while the chime plays, try {attempt}: code {rc} {log_lines()[-1:]}")
finally:
    stop_sound_server()

# --- Screens smaller than the window ------------------------------------------


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
    small, display = start_x_server(size)
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
