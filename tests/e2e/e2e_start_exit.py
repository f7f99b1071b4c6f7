"""Starts the built program, checks the exam window on the screen where the
layout puts things, then chooses Exit from the menu with real input and
sees the process end with nothing left running."""

import subprocess

from harness import (Picture, check, geometry, menu_command, running_programs, screenshot,
                     start, wait_exit, wait_for_window, wait_painted, windows)

TITLE = "問題 （Karvel）"

program = start()
wid = wait_for_window(TITLE)
wait_painted(wid)
x, y, w, h = geometry(wid)
check((w, h) >= (792, 554), f"the exam window is {w}x{h}")
screen_w, screen_h = map(int, subprocess.run(
    ["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split())
check(abs((x + w / 2) - screen_w / 2) <= 2 and abs((y + h / 2) - screen_h / 2) <= 2,
      f"the exam window is centred ({x},{y} {w}x{h} on {screen_w}x{screen_h})")
menu = h - 554  # the menu bar's height: the client area is 792x554 below it

pic = Picture(screenshot("exam"))
def at(cx, cy):
    return pic.at(x + cx, y + menu + cy)

# The yellow background texture between the controls.
yellow = [at(4, 300), at(116, 200), at(60, 470)]
check(all(r >= 240 and 185 <= g <= 215 and b <= 70 for r, g, b in yellow),
      f"the background is the yellow texture: {yellow}")
# The pink labels: Label1 at (8,104), Label2 at (24,280).
check(at(12, 108) == (255, 128, 255), f"Label1 is pink: {at(12, 108)}")
check(at(30, 300) == (255, 128, 255), f"Label2 is pink: {at(30, 300)}")
# The yellow page of the answer tabs, below four rows of tabs.
check(at(128 + 20, 400 + 120) == (255, 255, 0), f"the answer page is yellow: {at(148, 520)}")
# The paper view is white with dark text in it.
dark = pic.count((x + 140, y + menu + 30, x + 700, y + menu + 120), lambda p: sum(p) < 300)
check(dark > 200, f"the paper shows text ({dark} dark pixels)")

# Exit through the menu: ゲーム(G), then 終了(Q).
menu_command(wid, 30, "q")
rc = wait_exit(program)
check(rc == 0, f"the program ended with code {rc}")
check(not windows(TITLE), "no exam window is left")
check(not running_programs(), "no program process is left")
