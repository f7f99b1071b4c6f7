"""The program as a native Wayland client: a headless Wayland compositor of
its own, the program on Qt's Wayland platform with no X display to fall back
to. It must give the compositor its app id (the desktop entry's name, by
which the compositor shows its icon and name) and its title; then, through
the accessibility bus, the exam window with its forty page tabs, Start
showing "1:00", Score emptying it, the About window opening as a second
toplevel, and Exit ending the program.

Set KARVEL_SCREENSHOTS to a folder to keep a screenshot of the compositor."""

import os
import shutil
import subprocess

import pyatspi

from harness import (PROGRAM, WORK, accessible_app, accessible_nodes, accessible_window, check,
                     do_action, eventually, fail, press_menu_item, wait_exit, wait_until)

EXAM = "問題 （Karvel）"
APP_ID = "org.karvel.MockExam"
SOCKET = "karvel-wayland"
runtime = os.environ["XDG_RUNTIME_DIR"]
keep = os.environ.get("KARVEL_SCREENSHOTS")

weston = subprocess.Popen(
    ["weston", "--backend=headless-backend.so", "--use-pixman", f"--socket={SOCKET}",
     "--width=1280", "--height=1024", "--idle-time=0"] + (["--debug"] if keep else []),
    stdout=subprocess.DEVNULL, stderr=open(os.path.join(WORK, "weston.log"), "w"))
program = None
try:
    wait_until(lambda: os.path.exists(os.path.join(runtime, SOCKET)) or weston.poll() is not None,
               "the compositor did not open its socket", 15.0)
    if weston.poll() is not None:
        fail("the compositor ended: " + open(os.path.join(WORK, "weston.log")).read()[-2000:])

    env = dict(os.environ, QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=SOCKET,
               WAYLAND_DEBUG="client")
    env.pop("DISPLAY", None)
    protocol = os.path.join(WORK, "wayland-protocol.log")
    program = subprocess.Popen([PROGRAM], env=env, stdout=subprocess.DEVNULL,
                               stderr=open(protocol, "w"))

    exam = accessible_window(accessible_app(timeout=15.0), EXAM, timeout=15.0)

    def requests():
        return open(protocol, encoding="utf-8", errors="replace").read()

    check(eventually(lambda: 'xdg_toplevel@' in requests()
                     and f'.set_app_id("{APP_ID}")' in requests()),
          f"the program is a Wayland toplevel with the app id {APP_ID}")
    check(f'.set_title("{EXAM}")' in requests(), "the compositor is given the exam window's title")

    lists = [l for l in accessible_nodes(exam, pyatspi.ROLE_PAGE_TAB_LIST) if l.childCount == 40]
    check(len(lists) == 1 and all(t.getRole() == pyatspi.ROLE_PAGE_TAB for t in lists[0]),
          "the exam window shows its forty page tabs")

    buttons = {b.name: b for b in accessible_nodes(exam, pyatspi.ROLE_PUSH_BUTTON)}
    for caption in ("スタート", "得\u3000点"):
        if caption not in buttons:
            fail(f"no button {caption!r} among {sorted(buttons)}")

    def labels(text):
        return [l for l in accessible_nodes(exam, pyatspi.ROLE_LABEL) if l.name == text]

    do_action(buttons["スタート"], "Press")
    shown = eventually(lambda: labels("1:00"))
    check(len(shown) == 1, "Start shows 1:00")
    if keep:
        os.makedirs(keep, exist_ok=True)
        before = set(os.listdir(WORK))
        subprocess.run(["weston-screenshooter"], cwd=WORK,
                       env=dict(os.environ, WAYLAND_DISPLAY=SOCKET), check=False)
        for name in set(os.listdir(WORK)) - before:
            shutil.copy(os.path.join(WORK, name), os.path.join(keep, "wayland.png"))

    remaining = shown[0]
    do_action(buttons["得\u3000点"], "Press")
    check(eventually(lambda: remaining.name == "") and not labels("1:00"),
          "Score empties the remaining time")

    # Another window is another toplevel with the same app id.
    press_menu_item(exam, "バージョン情報(A)")
    accessible_window(accessible_app(), "バージョン情報")
    check(eventually(lambda: requests().count(f'.set_app_id("{APP_ID}")') == 2),
          "the About window is a second toplevel with the same app id")

    press_menu_item(exam, "終了(Q)")
    rc = wait_exit(program)
    check(rc == 0, f"Exit closes both windows and ends the program (code {rc})")
    check(weston.poll() is None, "the compositor is still running")
finally:
    if program and program.poll() is None:
        program.kill()
    weston.terminate()
    try:
        weston.wait(10)
    except subprocess.TimeoutExpired:
        weston.kill()
