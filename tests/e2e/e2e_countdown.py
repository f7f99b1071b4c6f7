"""The one-hour countdown and the time-up chime, run for real: the program's
clocks run 60 times faster (libfaketime in its environment only), so the
hour passes in about a real minute. A private sound server with a null sink
takes the program's sound, and its monitor is recorded the whole time.

Start is pressed with a real click; the remaining-time label is read through
the accessibility bus: "1:00" right after the press, then every minute down
to "0:00", which must stay, with Start still disabled. The chime is not
beside the program at Start, only from a few minutes into the hour (a copy
that comes late). The recording must hold exactly one burst of sound of the
chime's length, starting at "0:00"."""

import math
import os
import shutil
import subprocess
import time
import wave

import numpy as np
import pyatspi

from harness import PROGRAM, PULSE_ENV, WORK, bursts, check, eventually, fail, geometry, \
    menu_command, run, start, start_sound_server, stop_sound_server, wait_exit, wait_for_window

TITLE = "問題 （Karvel）"
CLIENT_HEIGHT = 554
START_BUTTON = (24, 56, 81, 33)     # cmdスタート in the client area
SECONDS_LABEL = (48, 104, 49, 25)   # lbl秒
SCORE_BUTTON = (24, 208, 81, 33)    # cmd得点
SPEED = 60
RATE = 22050
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
CHIME = os.path.join(os.path.dirname(__file__), "..", "..", "resources", "Zikan.wav")


def accessible_app(timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "karvel":
                return app
        time.sleep(0.05)
    fail("the program did not appear on the accessibility bus")


def node_at(root, role, box):
    """The node of that role whose screen rectangle is `box`."""
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        if node.getRole() == role:
            e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if (e.x, e.y, e.width, e.height) == box:
                return node
        stack.extend(node)
    fail(f"no {pyatspi.Role(role)} at {box} on the accessibility bus")


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


recorder = program = None
try:
    start_sound_server()
    recording = os.path.join(WORK, "sink.raw")
    with open(recording, "wb") as out:
        recorder = subprocess.Popen(
            ["parec", "-d", "karvel_sink.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=10"], env=PULSE_ENV, stdout=out)
    while os.path.getsize(recording) == 0:
        if recorder.poll() is not None:
            fail("parec ended at once")
        time.sleep(0.005)
    recording_began = time.monotonic()

    folder = os.path.join(WORK, "program")
    os.makedirs(folder)
    shutil.copy2(PROGRAM, folder)
    shutil.copytree(os.path.join(os.path.dirname(PROGRAM), "sound"), os.path.join(folder, "sound"))
    program = start(program=os.path.join(folder, os.path.basename(PROGRAM)),
                    extra_env={"LD_PRELOAD": FAKETIME_LIB, "FAKETIME": f"+0 x{SPEED}"})
    wid = wait_for_window(TITLE)
    x, y, w, h = geometry(wid)
    cx, cy = x, y + h - CLIENT_HEIGHT
    app = accessible_app()
    start_button = node_at(app, pyatspi.ROLE_PUSH_BUTTON,
                           (cx + START_BUTTON[0], cy + START_BUTTON[1], *START_BUTTON[2:]))
    seconds = node_at(app, pyatspi.ROLE_LABEL,
                      (cx + SECONDS_LABEL[0], cy + SECONDS_LABEL[1], *SECONDS_LABEL[2:]))
    check(start_button.name == "スタート" and enabled(start_button),
          "スタート is where the layout puts it, enabled")
    check(seconds.name == "", "lbl秒 is empty before Start")

    # Where do the program's fake minutes begin? Its clock starts when its
    # libraries load, which a busy machine delays by a fraction of a second,
    # tens of fake seconds. So press Start once and note when the label
    # first changes (second 0 of a fake minute), then Score, and press Start
    # again 3 fake seconds into a later minute: "1:00" then stays on the
    # screen for about 57 fake seconds, nearly a real one.
    run("xdotool", "windowraise", str(wid))
    start_at = (START_BUTTON[0] + 40, h - CLIENT_HEIGHT + START_BUTTON[1] + 16)
    run("xdotool", "mousemove", "--window", str(wid), *map(str, start_at))
    run("xdotool", "click", "1")
    first = None
    probe_from = time.monotonic()
    while time.monotonic() - probe_from < 5:
        text = seconds.name
        if first is None and text:
            first = text
        elif first is not None and text != first:
            break
        time.sleep(0.01)
    else:
        fail("lbl秒 did not change within 5 s of the first Start")
    minute_began = time.monotonic()
    score_button = node_at(app, pyatspi.ROLE_PUSH_BUTTON,
                           (cx + SCORE_BUTTON[0], cy + SCORE_BUTTON[1], *SCORE_BUTTON[2:]))
    score_button.queryAction().doAction(0)
    check(eventually(lambda: seconds.name == "" and enabled(start_button)),
          "Score stops the first countdown")
    wait_until = minute_began + math.ceil(time.monotonic() - minute_began + 0.1) + 3 / SPEED
    time.sleep(max(0.0, wait_until - time.monotonic()))
    run("xdotool", "click", "1")
    pressed = time.monotonic()

    # Read the label until it shows "0:00" (about 60 real seconds).
    shown = []        # (real seconds since the press, text) at each change
    start_enabled = set()
    while time.monotonic() - pressed < 75:
        try:
            text = seconds.name
        except Exception as error:  # the node is gone with its program
            program.poll()
            fail(f"lbl秒 cannot be read ({error}); program exit code {program.returncode}")
        if not text and not shown:
            # The click may not have been handled yet.
            if time.monotonic() - pressed > 2:
                fail("lbl秒 is still empty 2 s after the press")
        elif not shown or text != shown[-1][1]:
            shown.append((time.monotonic() - pressed, text))
            start_enabled.add(enabled(start_button))
        if time.monotonic() - pressed > 3 and not os.path.exists(os.path.join(folder, "Zikan.wav")):
            shutil.copy(CHIME, folder)
        if text == "0:00":
            break
        time.sleep(0.02)
    texts = [t for _, t in shown]
    print("label:", " ".join(texts), flush=True)
    print("first change at", " ".join(f"{t:.2f} s" for t, _ in shown[1:3]), flush=True)
    check(texts[0] == "1:00", f"lbl秒 shows \"1:00\" after the press ({shown[0][0]:.2f} s)")
    check(start_enabled == {False}, "スタート is disabled while the clock runs")
    minutes = [int(t[0]) * 60 + int(t[2:]) for t in texts
               if len(t) == 4 and t[1] == ":" and t[0] in "01" and t[2:].isdigit()]
    check(len(minutes) == len(texts) and minutes == sorted(minutes, reverse=True),
          "the label counts down in h:mm and never goes back")
    check(len(set(minutes)) >= 50, f"{len(set(minutes))} of the 61 minutes were seen on the way")
    if texts[-1] != "0:00":
        fail(f"no \"0:00\" within 75 s; the label shows {texts[-1]!r}")
    zero_at = shown[-1][0]
    # "0:00" comes between 59 and 60 minutes after Start: 59 to 60 real seconds.
    check(58.5 <= zero_at <= 61.5, f"\"0:00\" came {zero_at:.2f} s after the press")

    # Three more fake minutes: the label keeps "0:00" and Start stays disabled.
    time.sleep(3)
    check(seconds.name == "0:00", "lbl秒 keeps \"0:00\"")
    check(not enabled(start_button), "スタート stays disabled after time-up")
    check(program.poll() is None, "the program runs on")

    menu_command(wid, 30, "q")
    rc = wait_exit(program)
    program = None
    check(rc == 0, f"the program ended with code {rc}")
    time.sleep(0.3)
except BaseException:
    # What the program said, to tell a crash from a slow machine.
    if program is not None:
        print("program still running:", program.poll() is None, "exit code:", program.poll())
    if os.path.exists(os.path.join(WORK, "karvel.log")):
        with open(os.path.join(WORK, "karvel.log"), errors="replace") as log:
            print("program output (end):", *log.readlines()[-20:], sep="\n  ", flush=True)
    raise
finally:
    if program is not None:
        program.kill()
    if recorder is not None:
        recorder.terminate()
        recorder.wait()
    stop_sound_server()

# The recording: exactly one burst, as long as the chime, at "0:00".
samples = np.fromfile(recording, dtype="<i2")
heard = bursts(samples, RATE)
with wave.open(CHIME) as chime:
    reference = bursts(np.frombuffer(chime.readframes(chime.getnframes()), "<i2"),
                       chime.getframerate())
print(f"recorded {len(samples) / RATE:.1f} s; bursts (start, length): {heard}; "
      f"the chime file: {reference}", flush=True)
check(len(reference) == 1, "the chime file is one burst of sound")
check(len(heard) == 1, f"the sound played exactly once ({len(heard)} bursts)")
burst_start, burst_length = heard[0]
# Qt's player cuts the last tenth of a second or so; the file's silent tail
# is there to absorb it.
check(reference[0][1] - 0.4 <= burst_length <= reference[0][1] + 0.2,
      f"the burst lasts {burst_length:.2f} s, the chime {reference[0][1]:.2f} s")
offset = (recording_began + burst_start) - (pressed + zero_at)
check(-0.5 <= offset <= 1.5, f"the chime began {offset:+.2f} s from \"0:00\" being seen")
