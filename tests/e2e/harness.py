"""What the end-to-end tests share: start the built program in the X server
that tests/e2e/run.sh started, find its windows, click and type with real
input (xdotool), take screenshots (ImageMagick) and read pixels."""

import os
import subprocess
import sys
import time

PROGRAM = os.environ["KARVEL_PROGRAM"]
WORK = os.environ["KARVEL_WORK"]


def fail(message):
    print("FAIL:", message, flush=True)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print("ok:", message, flush=True)


def run(*args, check_rc=True):
    result = subprocess.run(args, capture_output=True, text=True)
    if check_rc and result.returncode != 0:
        fail(f"{' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


def start(extra_env=None, prefix=()):
    env = dict(os.environ)
    env.update(extra_env or {})
    log = open(os.path.join(WORK, "karvel.log"), "w")
    return subprocess.Popen([*prefix, PROGRAM], env=env, stdout=log, stderr=subprocess.STDOUT)


def windows(title):
    """Visible windows whose title matches `title` exactly."""
    out = run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$", check_rc=False)
    return [int(w) for w in out.split()]


def wait_for_window(title, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = windows(title)
        if found:
            return found[0]
        time.sleep(0.05)
    fail(f"no window titled {title!r} within {timeout} s")


def geometry(wid):
    """(x, y, width, height) of a window on the screen."""
    out = run("xdotool", "getwindowgeometry", "--shell", str(wid))
    values = dict(line.split("=", 1) for line in out.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def click(wid, x, y):
    """A real left click at (x, y) of the window's client area."""
    run("xdotool", "windowraise", str(wid))
    run("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")
    time.sleep(0.15)


def key(*keys):
    run("xdotool", "key", *keys)
    time.sleep(0.15)


def screenshot(name):
    path = os.path.join(WORK, name + ".png")
    run("import", "-window", "root", path)
    keep = os.environ.get("KARVEL_SCREENSHOTS")
    if keep:
        os.makedirs(keep, exist_ok=True)
        run("cp", path, os.path.join(keep, name + ".png"))
    return path


class Picture:
    """The pixels of a screenshot (RGB), read once through PIL."""

    def __init__(self, path):
        from PIL import Image
        self.image = Image.open(path).convert("RGB")

    def at(self, x, y):
        return self.image.getpixel((x, y))

    def count(self, box, predicate):
        x0, y0, x1, y1 = box
        return sum(1 for x in range(x0, x1) for y in range(y0, y1) if predicate(self.at(x, y)))


def wait_exit(process, timeout=10.0):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        fail(f"the program did not end within {timeout} s")


def menu_command(wid, menu_x, key_name):
    """Opens a menu of the bar by a click and chooses a command by its access key."""
    click(wid, menu_x, 8)
    time.sleep(0.3)
    key(key_name)


def running_programs():
    """Processes of this machine running the program's executable."""
    found = []
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                if os.readlink(f"/proc/{pid}/exe") == PROGRAM:
                    found.append(int(pid))
            except OSError:
                pass
    return found
