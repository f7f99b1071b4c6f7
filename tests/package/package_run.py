"""Runs the packaged program as an installed one would run: the package is
unpacked into a temporary root and started through its usr/bin/karvel link,
in the X server that tests/e2e/run.sh started.

The exam window must appear, tell the window manager the desktop entry it
belongs to and carry the icon. The chime must be found beside the real
executable in usr/lib/karvel: the sound strip's Play button becomes usable
on the first countdown tick only when the chime could be opened. Then the
chime is moved beside the link instead, where the program must not look."""

import os
import re
import shutil
import sys
import tempfile
from pathlib import Path

import pyatspi

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))
from harness import (WORK, accessible_app, accessible_nodes, accessible_window, check,  # noqa: E402
                     do_action, eventually, fail, program_said, run, start, wait_exit,
                     wait_for_window, wait_until, windows)

EXAM = "問題 （Karvel）"
BUILD = Path(os.environ["KARVEL_BUILD_DIR"])
VERSION = re.search(r'^set\(CPACK_PACKAGE_VERSION "(.+)"\)$',
                    (BUILD / "CPackConfig.cmake").read_text(), re.M)[1]
APP_ID = os.environ["KARVEL_APP_ID"]
DEB = BUILD / f"karvel_{VERSION}_amd64.deb"

root = Path(tempfile.mkdtemp(dir=WORK))
run("dpkg-deb", "-x", str(DEB), str(root))
link = root / "usr/bin/karvel"
folder = root / "usr/lib/karvel"


def exam_nodes():
    exam = accessible_window(accessible_app(), EXAM)
    buttons = {b.name: b for b in accessible_nodes(exam, pyatspi.ROLE_PUSH_BUTTON)}
    menu = accessible_nodes(exam, pyatspi.ROLE_MENU_ITEM, "終了(Q)")
    if "スタート" not in buttons or "Play" not in buttons or not menu:
        fail(f"the exam window lacks Start, Play or Exit ({sorted(buttons)})")
    return buttons["スタート"], buttons["Play"], menu[0]


def usable(node):
    return pyatspi.STATE_ENABLED in node.getState().getStates()


def exit_program(program, exit_item):
    do_action(exit_item, "Press")
    rc = wait_exit(program)
    check(rc == 0 and not windows(EXAM), f"Exit ends the packaged program (code {rc})")


# --- As packaged: the chime beside the real executable.
program = start(program=str(link))
wid = wait_for_window(EXAM)
exe = os.readlink(f"/proc/{program.pid}/exe")
check(exe == str(folder / "karvel"), f"usr/bin/karvel runs usr/lib/karvel/karvel ({exe})")

wm_class = re.findall(r'"([^"]*)"', run("xprop", "-id", str(wid), "WM_CLASS"))
entry = (root / f"usr/share/applications/{APP_ID}.desktop").read_text(encoding="utf-8")
wm_class_key = re.search(r"^StartupWMClass=(.*)$", entry, re.M)
check(wm_class_key and wm_class_key[1] in wm_class,
      f"the window's WM_CLASS {wm_class} names the desktop entry's StartupWMClass")
icon = run("xprop", "-len", "100000000", "-id", str(wid), "-notype", "_NET_WM_ICON")
sizes = sorted(set(int(s) for s in re.findall(r"Icon \((\d+) x \1\)", icon)))
check(sizes == [16, 24, 32, 48, 64], f"the window carries the icon at {sizes}")

start_button, play, exit_item = exam_nodes()
check(not usable(play), "Play is not usable before a chime is open")
do_action(start_button, "Press")
check(eventually(lambda: usable(play)),
      "after the first tick Play is usable: the chime was found in usr/lib/karvel")
exit_program(program, exit_item)

# --- The chime beside the link only: the program must not find it there.
shutil.move(folder / "Zikan.wav", link.parent / "Zikan.wav")
program = start(program=str(link))
wait_for_window(EXAM)
start_button, play, exit_item = exam_nodes()
do_action(start_button, "Press")
wait_until(lambda: str(folder / "Zikan.wav") in program_said(),
           "the first tick did not say that usr/lib/karvel/Zikan.wav will not play")
check(not usable(start_button) and not usable(play),
      "with the chime only beside the link, the countdown runs and Play stays unusable")
exit_program(program, exit_item)
shutil.rmtree(root)
