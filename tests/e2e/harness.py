"""What the end-to-end tests share: start the built program in the X server
that tests/e2e/run.sh started, find its windows, click and type with real
input (xdotool), take screenshots (ImageMagick) and read pixels.

Every wait is for a condition, with a deadline long enough for a busy
two-core machine (they cost nothing when things go well), and a wait that
gives up says what it waited for, the machine's load and, where the program
is gone, what it said."""

import os
import random
import select
import subprocess
import sys
import time

PROGRAM = os.environ["KARVEL_PROGRAM"]
WORK = os.environ["KARVEL_WORK"]


def fail(message):
    print("FAIL:", message, flush=True)
    sys.exit(1)


def load():
    return "load %.1f %.1f %.1f" % os.getloadavg()


def program_said(lines=15):
    """The end of the program's output, for a failure message."""
    try:
        with open(os.path.join(WORK, "karvel.log"), errors="replace") as log:
            return "".join(log.readlines()[-lines:]).rstrip() or "nothing"
    except OSError:
        return "nothing"


def check(condition, message):
    if not condition:
        fail(message)
    print("ok:", message, flush=True)


def run(*args, check_rc=True):
    result = subprocess.run(args, capture_output=True, text=True)
    if check_rc and result.returncode != 0:
        fail(f"{' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


started = None  # the process start() started last


def start(extra_env=None, prefix=(), program=PROGRAM):
    """Starts the program (or a copy of it elsewhere), its output in
    WORK/karvel.log."""
    global started
    env = dict(os.environ)
    env.update(extra_env or {})
    log = open(os.path.join(WORK, "karvel.log"), "w")
    started = subprocess.Popen([*prefix, program], env=env, stdout=log, stderr=subprocess.STDOUT)
    return started


def windows(title=".*"):
    """Visible windows whose title matches `title` exactly (any title by
    default). A search that fails because a window went while it looked
    (BadWindow) is made again; one that keeps failing ends the test."""
    deadline = time.monotonic() + 20
    while True:
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                                capture_output=True, text=True)
        if result.returncode == 0 or not result.stderr.strip():
            return [int(w) for w in result.stdout.split()]
        if time.monotonic() > deadline:
            fail(f"xdotool cannot look for windows: {result.stderr.strip()}")
        time.sleep(0.05)


def wait_for_window(title, timeout=30.0, program=None):
    """The first visible window titled `title`, once there is one; gives up
    at once if the program (by default the one start() started last) ends
    meanwhile."""
    program = program or started
    began = time.monotonic()
    while True:
        found = windows(title)
        if found:
            return found[0]
        if program is not None and program.poll() is not None:
            fail(f"the program ended with code {program.returncode} before a window titled "
                 f"{title!r} appeared; it said: {program_said()}")
        waited = time.monotonic() - began
        if waited > timeout:
            fail(f"no window titled {title!r} within {waited:.1f} s ({load()}); "
                 f"the program said: {program_said()}")
        time.sleep(0.05)


def start_x_server(size):
    """A further X server (Xvfb, 96 dpi, `size` as "640x480"): its process
    and its display. The number is drawn at random rather than taken as the
    lowest free one, which a server elsewhere on this machine may hold
    unseen; and the server itself says when it listens (-displayfd), so that
    another server answering at that number is never taken for it. It does
    not reset when its last client leaves (-noreset), which would refuse a
    client connecting meanwhile."""
    for _ in range(5):
        number = random.randrange(200, 900)
        ready, told = os.pipe()
        server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{size}x24", "-dpi", "96",
                                   "-nolisten", "tcp", "-noreset", "-displayfd", str(told)],
                                  pass_fds=[told], stderr=subprocess.DEVNULL)
        os.close(told)
        # It writes the number, then a newline; closing the pipe before the
        # newline would end the server.
        said, deadline = b"", time.monotonic() + 60
        while not said.endswith(b"\n") and time.monotonic() < deadline:
            if select.select([ready], [], [], 1)[0]:
                part = os.read(ready, 16)
                if not part:
                    break  # it ended without listening
                said += part
        os.close(ready)
        if said.strip() == str(number).encode():
            return server, f":{number}"
        server.terminate()
        server.wait()
    fail(f"no {size} X server could be started ({load()})")


def geometry(wid):
    """(x, y, width, height) of a window on the screen."""
    out = run("xdotool", "getwindowgeometry", "--shell", str(wid))
    values = dict(line.split("=", 1) for line in out.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def click(wid, x, y, settle=0.0):
    """A real left click at (x, y) of the window's client area, the window
    raised first (with no window manager, windows overlap freely). What the
    click does is for the caller to wait for."""
    run("xdotool", "windowraise", str(wid))
    run("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")
    time.sleep(settle)


def key(*keys):
    run("xdotool", "key", *keys)


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

    def __init__(self, path_or_image):
        from PIL import Image
        image = path_or_image
        if not isinstance(image, Image.Image):
            image = Image.open(path_or_image)
        self.image = image.convert("RGB")

    def at(self, x, y):
        return self.image.getpixel((x, y))

    def count(self, box, predicate):
        x0, y0, x1, y1 = box
        return sum(1 for x in range(x0, x1) for y in range(y0, y1) if predicate(self.at(x, y)))


def wait_exit(process, timeout=30.0):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        fail(f"the program did not end within {timeout} s ({load()})")


def open_menu(wid, menu_x):
    """Opens a menu of the bar by a click, and waits for its popup."""
    before = set(windows())
    click(wid, menu_x, 8)
    wait_until(lambda: set(windows()) - before, f"no menu opened on a click at {menu_x},8")


# --- A private sound server ----------------------------------------------

# Its own home (for its cookie and settings) and the runtime folder run.sh
# made, which the program finds it through.
PULSE_ENV = dict(os.environ, HOME=os.path.join(WORK, "pulse-home"))


def pulse(*args, **kw):
    """Runs a sound-server tool (pactl, parec ...) against the private server."""
    return subprocess.run(args, env=PULSE_ENV, capture_output=True, text=True, **kw)


def start_sound_server(sink="karvel_sink"):
    """Starts PulseAudio with one null sink, `sink`, and waits until it answers."""
    os.makedirs(PULSE_ENV["HOME"], exist_ok=True)
    result = pulse("pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--system=false", "-n",
                   f"--load=module-null-sink sink_name={sink}",
                   "--load=module-native-protocol-unix auth-anonymous=1",
                   "--log-target=file:" + os.path.join(WORK, "pulse.log"))
    if result.returncode != 0:
        fail(f"pulseaudio did not start: {result.stderr.strip()}")
    deadline = time.monotonic() + 10
    while pulse("pactl", "info").returncode != 0:
        if time.monotonic() > deadline:
            fail("the sound server does not answer")
        time.sleep(0.1)


def stop_sound_server():
    pulse("pulseaudio", "--kill")
    deadline = time.monotonic() + 10
    while pulse("pactl", "info").returncode == 0 and time.monotonic() < deadline:
        time.sleep(0.05)


def bursts(samples, rate):
    """(start, length) in seconds of each stretch of sound: 10 ms blocks
    whose peak passes -50 dBFS, with gaps under 0.3 s joined."""
    import numpy as np
    block = rate // 100
    n = len(samples) // block
    loud = np.abs(samples[:n * block].astype(np.int32)).reshape(n, block).max(axis=1) > 100
    found = []
    for i in np.flatnonzero(loud):
        if found and i - found[-1][1] <= 30:
            found[-1][1] = i + 1
        else:
            found.append([i, i + 1])
    return [(a / 100, (b - a) / 100) for a, b in found]


def menu_command(wid, menu_x, key_name):
    """Opens a menu of the bar by a click and chooses a command by its access key."""
    open_menu(wid, menu_x)
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


def grab(box=None):
    """The screen as it is now, or the part `box` (x0, y0, x1, y1) of it, as a
    Picture whose coordinates stay those of the screen. Much quicker than
    screenshot(): for checks in a loop, not for keeping."""
    from PIL import Image, ImageGrab
    if not box:
        return Picture(ImageGrab.grab(xdisplay=os.environ["DISPLAY"]))
    part = ImageGrab.grab(bbox=box, xdisplay=os.environ["DISPLAY"])
    image = Image.new("RGB", (box[2], box[3]))
    image.paste(part, box[:2])
    return Picture(image)


def client_origin(wid, client_height):
    """The screen position of the window's client area below its menu bar,
    for a window whose client area is `client_height` pixels high."""
    x, y, _, h = geometry(wid)
    return x, y + h - client_height


# --- The accessibility bus (AT-SPI through pyatspi) ------------------------

def accessible_app(name="karvel", timeout=30.0):
    """The program's node on the accessibility bus, once it has appeared."""
    import pyatspi
    desktop = pyatspi.Registry.getDesktop(0)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.05)
    fail(f"{name!r} did not appear on the accessibility bus within {timeout} s ({load()})")


def accessible_nodes(root, role=None, name=None):
    """`root` and every node below it, depth first in child order, keeping
    those of the role (a pyatspi ROLE_ constant) and the name given."""
    found = []
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        if (role is None or node.getRole() == role) and (name is None or node.name == name):
            found.append(node)
        stack.extend(reversed([child for child in node]))
    return found


def accessible_window(app, title, timeout=30.0):
    """The top-level node of the program's window titled `title`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for window in app:
            if window is not None and window.name == title:
                return window
        time.sleep(0.05)
    fail(f"no window titled {title!r} on the accessibility bus within {timeout} s ({load()})")


def states(node):
    """The node's states as a set of pyatspi STATE_ constants."""
    return set(node.getState().getStates())


def extents(node):
    """(x, y, width, height) of the node on the screen."""
    import pyatspi
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def do_action(node, action_name):
    """Runs the node's action of that name ("Press", "Toggle", ...)."""
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if action_name not in names:
        fail(f"{node.name!r} has no action {action_name!r}, only {names}")
    action.doAction(names.index(action_name))


def press_menu_item(window, caption):
    """Chooses the menu command of that caption ("終了(Q)") through its
    accessible action, as a screen reader would."""
    import pyatspi
    items = accessible_nodes(window, pyatspi.ROLE_MENU_ITEM, caption)
    if not items:
        fail(f"no menu item {caption}")
    do_action(items[0], "Press")


def wait_until(condition, message, timeout=20.0):
    """Polls `condition` until it holds; fails with `message` if it never does."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            fail(f"{message} (waited {timeout} s, {load()})")
        time.sleep(0.05)


def eventually(condition, timeout=10.0):
    """Polls `condition` until it gives a true value or the time is up, and
    returns its last value; for states that settle a moment after an input."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(0.05)


def wait_painted(wid, timeout=30.0):
    """Waits until the window is drawn on the screen: a window is found as
    soon as it is mapped, and stays black there until the program paints it."""
    def painted():
        x, y, w, h = geometry(wid)
        box = (x, y, x + w, y + h)
        picture = grab(box)
        step = 8
        points = [(px, py) for px in range(x, x + w, step) for py in range(y, y + h, step)]
        black = sum(1 for p in points if picture.at(*p) == (0, 0, 0))
        return black < len(points) // 4

    if not eventually(painted, timeout):
        fail(f"window {wid} was not painted within {timeout} s ({load()})")
