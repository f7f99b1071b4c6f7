"""The candidate's whole journey, with real clicks on the built program:
start the clock, tick answers on answer tabs of every row (right ones, wrong
ones, one question with two ticks), score, look for the red rings tab by
tab, ask for the verdict, change an answer, score and ask again, open the
About window from the menu and leave through Exit.

Texts and states are read through the accessibility bus; colours and marks
from the screen."""

import subprocess

import pyatspi

from harness import (Picture, accessible_app, accessible_nodes, accessible_window, check,
                     click, client_origin, extents, fail, geometry, grab, menu_command,
                     running_programs, screenshot, start, states, wait_exit, wait_for_window,
                     wait_painted, wait_until, windows, eventually)

EXAM = "問題 （Karvel）"
VERDICT = "合格ライン"
ABOUT = "バージョン情報"
CLIENT = (792, 554)          # the exam window's client area below the menu bar
INFO_CLIENT = (792, 573)     # the verdict and About windows' client area

# The answer key: question -> (right choice, points).
KEY = {
    1: (3, 3), 2: (2, 2), 3: (3, 3), 4: (3, 2), 5: (3, 2), 6: (1, 3), 7: (4, 3), 8: (2, 2),
    9: (1, 3), 10: (4, 2), 11: (3, 3), 12: (2, 3), 13: (4, 2), 14: (4, 2), 15: (2, 3),
    16: (3, 2), 17: (3, 3), 18: (2, 3), 19: (4, 3), 20: (4, 2), 21: (2, 2), 22: (4, 2),
    23: (1, 3), 24: (3, 3), 25: (4, 2), 26: (4, 3), 27: (2, 2), 28: (1, 2), 29: (4, 3),
    30: (4, 2), 31: (1, 2), 32: (1, 3), 33: (4, 2), 34: (2, 3), 35: (3, 3), 36: (2, 2),
    37: (3, 2), 38: (2, 3), 39: (3, 3), 40: (1, 2),
}

# The candidate's ticks, question -> boxes. Twenty-three questions alone on
# their right box; wrong boxes on 2, 19, 22 and 35; question 11 with its right
# box and another; the rest left blank.
RIGHT_ALONE = [1, 3, 6, 7, 9, 10, 12, 13, 14, 15, 16, 17, 18, 20, 24, 26, 29, 31, 32, 34,
               38, 39, 40]
TICKS = {n: {KEY[n][0]} for n in RIGHT_ALONE}
TICKS.update({2: {4}, 19: {3}, 22: {1}, 35: {2}, 11: {3, 1}})


def expected_total(ticks):
    return sum(points for n, (choice, points) in KEY.items() if ticks.get(n) == {choice})


def is_right(ticks, n):
    return ticks.get(n) == {KEY[n][0]}


# Where things are, in the client area. The answer tab control stands at
# 128,400, 653 wide, with four rows of ten tabs, 20 high and 65 wide (the
# last of a row takes the rest); its pages place their controls relative to
# the control's own top-left corner.
TABS_LEFT, TABS_TOP, TABS_WIDTH = 128, 400, 653
SHIFTED_FRAMES = {10, 13, 14, 16, 18}
BOX_LEFTS = {1: 64, 2: 160, 3: 264, 4: 368}
MARK_LEFTS = {9: 32, 13: 48, 16: 48}     # the other marks stand at 40
START, SCORE, PASS_RATE = (24, 56, 81, 33), (24, 208, 81, 33), (24, 384, 81, 33)


def tab_rect(n):
    row, column = divmod(n - 1, 10)
    left = column * 65
    right = TABS_WIDTH if column == 9 else left + 65
    return TABS_LEFT + left, TABS_TOP + row * 20, right - left, 20


def centre(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


def box_point(n, k):
    frame_left = 104 if n in SHIFTED_FRAMES else 96
    return TABS_LEFT + frame_left + BOX_LEFTS[k] + 6, TABS_TOP + 88 + 24 + 8


def ring_box(n):
    """The 32x32 ring of mark n, as a screen box (x0, y0, x1, y1)."""
    x = ox + TABS_LEFT + MARK_LEFTS.get(n, 40)
    y = oy + TABS_TOP + 104
    return x, y, x + 32, y + 32


def is_red(p):
    return p[0] >= 200 and p[1] <= 80 and p[2] <= 80


def on_exam(point, settle=0.05):
    """Clicks a point of the exam window's client area (raising the window)."""
    x, y = point
    click(wid, x, y + menu, settle)


def screen_w_h():
    return map(int, subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True,
                                   text=True).stdout.split())


def check_centred(window_id, what):
    x, y, w, h = geometry(window_id)
    sw, sh = screen_w_h()
    check(abs((x + w / 2) - sw / 2) <= 2 and abs((y + h / 2) - sh / 2) <= 2,
          f"the {what} is centred ({x},{y} {w}x{h})")


# --- Start-up ---------------------------------------------------------------

program = start()
wid = wait_for_window(EXAM)
wait_painted(wid)
ox, oy = client_origin(wid, CLIENT[1])
menu = oy - geometry(wid)[1]
app = accessible_app()
exam = accessible_window(app, EXAM)

buttons = {b.name: b for b in accessible_nodes(exam, pyatspi.ROLE_PUSH_BUTTON)}
for caption in ("スタート", "得\u3000点", "合格率"):
    if caption not in buttons:
        fail(f"no button {caption!r} among {sorted(buttons)}")
start_button = buttons["スタート"]


def label_at(x, y):
    for label in accessible_nodes(exam, pyatspi.ROLE_LABEL):
        if extents(label)[:2] == (ox + x, oy + y):
            return label
    fail(f"no label at {x},{y} of the client area")


seconds_label = label_at(48, 104)   # lbl秒
score_label = label_at(40, 280)     # lbl得点
answer_list = [n for n in accessible_nodes(exam, pyatspi.ROLE_PAGE_TAB_LIST) if n.childCount == 40]
check(len(answer_list) == 1, "the answer tabs are one page tab list of forty tabs")
answer_tabs = list(answer_list[0])
pages = list(answer_list[0].parent)[:40]
boxes = {}
marks = {}
for n, page in enumerate(pages, 1):
    found = accessible_nodes(page, pyatspi.ROLE_CHECK_BOX)
    if [b.name for b in found] != ["①", "②", "③", "④"]:
        fail(f"page {n} holds the boxes {[b.name for b in found]}")
    boxes[n] = dict(zip((1, 2, 3, 4), found))
    marks[n] = accessible_nodes(page, pyatspi.ROLE_IMAGE)[0]
check(seconds_label.name == "" and score_label.name == "",
      "the remaining time and the score are empty at opening")


def selected_tab():
    chosen = [i + 1 for i, t in enumerate(answer_tabs) if pyatspi.STATE_SELECTED in states(t)]
    return chosen[0] if len(chosen) == 1 else chosen


def choose_tab(n):
    """Clicks the tab of question n and waits until it is current."""
    on_exam(centre(tab_rect(n)))
    if not eventually(lambda: selected_tab() == n):
        fail(f"a click on the tab {answer_tabs[n - 1].name} did not make it current "
             f"(current: {selected_tab()})")


def ticked():
    return {n: {k for k, b in bs.items() if pyatspi.STATE_CHECKED in states(b)}
            for n, bs in boxes.items()}


# --- Start ------------------------------------------------------------------

on_exam(centre(START))
check(eventually(lambda: seconds_label.name == "1:00")
      and pyatspi.STATE_ENABLED not in states(start_button),
      f"Start shows 1:00 and disables itself (the remaining time reads {seconds_label.name!r})")

# --- Answers ------------------------------------------------------------------

for n in sorted(TICKS):
    choose_tab(n)
    for k in sorted(TICKS[n]):
        on_exam(box_point(n, k))
    if n == 11 and eventually(lambda: ticked()[11] == TICKS[11]):
        screenshot("journey-two-ticks")
clicked = {n: TICKS.get(n, set()) for n in range(1, 41)}
same = eventually(lambda: ticked() == clicked)
check(same, f"clicks on the answer tabs of all four rows ticked exactly the boxes clicked "
      f"({sum(len(s) for s in TICKS.values())} ticks on {len(TICKS)} questions)"
      + ("" if same else f"; the sheet holds {ticked()}"))

# --- Score ------------------------------------------------------------------


def score_and_check(ticks, shot):
    total = expected_total(ticks)
    on_exam(centre(SCORE), settle=0.1)
    check(eventually(lambda: score_label.name == str(total))
          and seconds_label.name == "" and pyatspi.STATE_ENABLED in states(start_button),
          f"Score shows {total} (the label reads {score_label.name!r}), empties the remaining "
          f"time and enables Start")
    # The score stands on the pink label, in dark digits left of 点; wait for
    # the screen to show digits other than those of the score before.
    x, y, w, h = extents(score_label)
    box = (x - 16, y, x + 40, y + h)
    dark = pink = 0

    def drawn():
        global drawn_score
        nonlocal dark, pink
        crop = grab(box).image.crop(box)
        dark = sum(1 for p in crop.getdata() if sum(p) < 200)
        pink = sum(1 for p in crop.getdata() if p == (255, 128, 255))
        if crop.tobytes() == drawn_score:
            return False
        drawn_score = crop.tobytes()
        return dark > 20 and pink > dark

    check(w > 0 and eventually(drawn),
          f"the score is drawn in dark digits on the pink label ({w}x{h}, {dark} dark "
          f"and {pink} pink pixels)")
    screenshot(shot)
    return total


drawn_score = None


total = score_and_check(TICKS, "journey-scored")


def ring_pixels(n, expected):
    """The red pixels where mark n's ring goes. The page may be painted a
    moment after its tab became current, so the screen is given up to two
    seconds to show what is `expected` (a ring or none); a ring that is
    really there, or really not, stays so."""
    count = 0

    def settled():
        nonlocal count
        count = grab(ring_box(n)).count(ring_box(n), is_red)
        return (count > 100) if expected else count == 0

    eventually(settled)
    return count


def check_marks(ticks, questions):
    """Chooses each question's tab by a click and looks for its red ring."""
    wrong = []
    for n in questions:
        choose_tab(n)
        right = is_right(ticks, n)
        red = ring_pixels(n, right)
        if right and red <= 100:
            fail(f"no red ring on the tab of question {n}, answered right ({red} red pixels)")
        if not right and red:
            wrong.append((n, red))
        visible = pyatspi.STATE_VISIBLE in states(marks[n])
        if visible != right:
            fail(f"mark {n} is {'shown' if visible else 'hidden'} to accessibility")
    if wrong:
        fail(f"red rings on questions not answered right: {wrong}")
    rights = sum(1 for n in questions if is_right(ticks, n))
    check(True, f"{rights} red rings on the tabs of the questions answered right, "
          f"none on the other {len(questions) - rights}")


check_marks(TICKS, range(1, 41))
choose_tab(13)
screenshot("journey-ring-13")

# --- Verdict ------------------------------------------------------------------

VERDICTS = {  # band window: Label1 text, left, width and colour; Label2 text, left and width
    3: (" 合格率 ５０％", 328, 169, (255, 255, 128),
        " 三流大学でも危ないです。 一生懸命お祈りしましょう。", 192, 449),
    4: (" 合格率 １０％", 312, 169, (128, 255, 128),
        " 浪人生活にリーチです。 金属バットを持たないようにしましょう。", 128, 537),
}


def band(score):
    return 3 if 60 <= score <= 79 else 4 if 40 <= score <= 59 else fail(f"no band for {score}")


def ask_verdict(score, before, shot):
    """Presses Pass rate and checks the new verdict window of the score's band."""
    window = band(score)
    rate, left, width, colour, comment, comment_left, comment_width = VERDICTS[window]
    on_exam(centre(PASS_RATE), settle=0.2)
    new = wait_until(lambda: [w for w in windows(VERDICT) if w not in before],
                     f"Pass rate with {score} points opened no new {VERDICT!r} window")
    check(len(new) == 1, f"Pass rate with {score} points opened one verdict window")
    vid = new[0]
    wait_painted(vid)
    x, y, w, h = geometry(vid)
    check((w, h) == INFO_CLIENT, f"the verdict window is {w}x{h}")
    check_centred(vid, "verdict window")
    frames = wait_until(lambda: [f for f in app if f is not None and f.name == VERDICT
                                 and rate in [l.name for l in accessible_nodes(f, pyatspi.ROLE_LABEL)]],
                        f"no verdict window with {rate!r} on the accessibility bus")
    labels = accessible_nodes(frames[0], pyatspi.ROLE_LABEL)
    names = [l.name for l in labels]
    check(names == [rate, comment], f"verdict window {window} reads {names}")
    label1, label2 = labels
    check(extents(label1) == (x + left, y + 16, width, 25)
          and extents(label2) == (x + comment_left, y + 56, comment_width, 17),
          f"its labels stand at {left},16 {width}x25 and {comment_left},56 {comment_width}x17 "
          f"({extents(label1)}, {extents(label2)})")
    # The window may open over another verdict window at the same place, so
    # wait until its own Label1 colour is on the screen.
    lx, ly, lw, lh = extents(label1)
    box = (lx, ly, lx + lw, ly + lh)
    share = 0.0

    def coloured():
        nonlocal share
        share = grab(box).count(box, lambda p: p == colour) / (lw * lh)
        return share > 0.6

    check(eventually(coloured), f"its Label1 is drawn in {colour} ({share:.0%} of its pixels)")
    pic = Picture(screenshot(shot))
    check(pic.at(x + 4, y + 4) == (255, 128, 128) and pic.at(x + 60, y + 60) == (255, 128, 128),
          "the window around the labels is (255, 128, 128)")
    view_text = pic.count((x + 8, y + 92, x + 700, y + 200), lambda p: sum(p) < 200)
    check(view_text > 200, f"the pass-line table shows text ({view_text} dark pixels)")
    return vid


first_verdict = ask_verdict(total, [], "journey-verdict-1")

# Take the tick off question 1's right box: its ring goes and the total and
# band drop; a second Pass rate opens the new band's window beside the old.
choose_tab(1)
on_exam(box_point(1, KEY[1][0]))
changed = dict(TICKS)
changed[1] = set()
if not eventually(lambda: ticked()[1] == set()):
    fail(f"the click left question 1 with the ticks {ticked()[1]}")
total = score_and_check(changed, "journey-rescored")
check_marks(changed, [1, 3, 7])
second_verdict = ask_verdict(total, [first_verdict], "journey-verdict-2")
check(sorted(windows(VERDICT)) == sorted([first_verdict, second_verdict]),
      "both verdict windows are open")

# --- About ------------------------------------------------------------------

help_menu = accessible_nodes(exam, pyatspi.ROLE_MENU_ITEM, "ヘルプ(H)")
if not help_menu:
    fail("no menu ヘルプ(H) in the menu bar")
hx, _, hw, _ = extents(help_menu[0])
menu_command(wid, hx - geometry(wid)[0] + hw // 2, "a")
about = wait_for_window(ABOUT)
wait_painted(about)
x, y, w, h = geometry(about)
check((w, h) == INFO_CLIENT, f"the About window is {w}x{h}")
check_centred(about, "About window")
about_frame = accessible_window(app, ABOUT)
views = accessible_nodes(about_frame, pyatspi.ROLE_TEXT)
opening = views[0].queryText().getText(0, 40) if views else ""
check("ソフトの説明" in opening, f"the About window's document begins {opening[:24]!r}")
# It opens over the verdict windows, at the same place: wait for its white.
white = dark = 0


def about_drawn():
    global white, dark
    pic = grab((x, y, x + w, y + h))
    white = pic.count((x, y, x + w, y + h), lambda p: p == (255, 255, 255)) / (w * h)
    dark = pic.count((x, y, x + w, y + h // 3), lambda p: sum(p) < 200)
    return white > 0.7 and dark > 300


check(eventually(about_drawn),
      f"the About window is white with text on it ({white:.0%} white, {dark} dark pixels)")
screenshot("journey-about")

# --- Exit ---------------------------------------------------------------------

menu_command(wid, 30, "q")
rc = wait_exit(program)
check(rc == 0, f"Exit ended the program with code {rc}")
left = {title: windows(title) for title in (EXAM, VERDICT, ABOUT)}
check(not any(left.values()), f"no window is left: {left}")
check(not running_programs(), "no program process is left")
