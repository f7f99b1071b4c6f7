"""The program under faults a user's machine may have, with real input:

- its Zikan.wav is a named pipe that nobody writes: Start, a few ticks that
  open it, then Exit must end the process at once, and standard error must
  name the file in exactly one line;
- a screen smaller than the window (640 x 480, a second X server): the
  window starts at the screen's top-left, its menu bar and Start button on
  the screen;
- no font that covers Japanese: one line on standard error names the Debian
  packages to install, and the exam window still comes and goes as usual."""

import os
import shutil
import time

from harness import PROGRAM, WORK, check, click, geometry, key, open_menu, start, \
    start_x_server, wait_exit, wait_for_window, wait_until

TITLE = "問題 （Karvel）"
CLIENT_HEIGHT = 554
START_BUTTON = (24, 56, 81, 33)


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
wait_until(lambda: any(pipe in line for line in log_lines()),
           "the first tick after Start did not try the pipe")
time.sleep(2)  # two more ticks, each opening the pipe again
check(program.poll() is None, "the program runs on with a pipe for its chime")
rc, took = exit_and_time(program, wid)
print(f"Exit took {took:.2f} s", flush=True)
check(rc == 0 and took < 3, f"Exit ends the program at once ({took:.2f} s, code {rc})")
named = [line for line in log_lines() if pipe in line]
check(len(named) == 1 and "not a regular file" in named[0],
      f"one line on standard error names the pipe: {named}")

# --- A screen smaller than the window ----------------------------------------
small, display = start_x_server("640x480")
main_display = os.environ["DISPLAY"]
os.environ["DISPLAY"] = display
try:
    program = start()
    wid = wait_for_window(TITLE)
    x, y, w, h = geometry(wid)
    check((x, y) == (0, 0), f"on a 640x480 screen the {w}x{h} window starts at ({x},{y})")
    menu = h - CLIENT_HEIGHT
    check(menu > 0 and y + menu + START_BUTTON[1] + START_BUTTON[3] <= 480,
          "its menu bar and Start button are on the screen")
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
