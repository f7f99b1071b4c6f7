"""The answer tabs as an assistive technology sees them: forty page tabs named
by their captions, standing where the screen shows them, and a Press on one
that really brings its page up (a real click then ticks that question's
box). The paper tabs likewise; Exit through the menu item's own action."""

import pyatspi

from harness import (accessible_app, accessible_nodes, accessible_window, check,
                     click, client_origin, do_action, eventually, extents, geometry, grab,
                     press_menu_item, running_programs, screenshot, start, states, wait_exit,
                     wait_for_window, wait_painted, windows)

EXAM = "問題 （Karvel）"

# Sections of the paper: code, first and last local question number.
SECTIONS = [("1A", 1, 3), ("1B", 4, 6), ("1C", 7, 10), ("2A", 1, 4), ("2B", 5, 7),
            ("2C", 8, 11), ("3A", 1, 3), ("3B", 4, 6), ("3C", 7, 9), ("4A", 1, 4),
            ("4B", 5, 7), ("4C", 8, 10)]
CAPTIONS = [f"{code}-問{i}" for code, first, last in SECTIONS for i in range(first, last + 1)]
SHIFTED_FRAMES = {10, 13, 14, 16, 18}

program = start()
wid = wait_for_window(EXAM)
wait_painted(wid)
ox, oy = client_origin(wid, 554)
menu = oy - geometry(wid)[1]
app = accessible_app()
exam = accessible_window(app, EXAM)

lists = accessible_nodes(exam, pyatspi.ROLE_PAGE_TAB_LIST)
answer_list = [l for l in lists if l.childCount == 40]
paper_list = [l for l in lists if l.childCount == 5]
check(len(lists) == 2 and answer_list and paper_list,
      f"the exam window has two page tab lists, of forty and five tabs "
      f"({[l.childCount for l in lists]})")
tabs = list(answer_list[0])
names = [t.name for t in tabs]
check(names == CAPTIONS, "the forty answer tabs are named 1A-問1 … 4C-問10 in question order"
      + ("" if names == CAPTIONS else f": {names}"))
roles = {t.getRoleName() for t in tabs}
check(roles == {"page tab"}, f"every answer tab is a page tab ({roles})")


def action_names(node):
    action = node.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


lacking = [t.name for t in tabs if "Press" not in action_names(t)]
check(not lacking, f"every answer tab offers Press (lacking: {lacking})")


# Each tab stands where it is drawn: four rows of ten under the paper, 65 by
# 20 pixels, the last of a row taking the rest of the control's 653.
def tab_rect(k):
    row, column = divmod(k, 10)
    left = column * 65
    right = 653 if column == 9 else left + 65
    return ox + 128 + left, oy + 400 + row * 20, right - left, 20


misplaced = [(t.name, extents(t), tab_rect(k)) for k, t in enumerate(tabs)
             if extents(t) != tab_rect(k)]
check(not misplaced, f"the tabs' rectangles are those on the screen (misplaced: {misplaced[:3]})")


def selected():
    return [k + 1 for k, t in enumerate(tabs) if pyatspi.STATE_SELECTED in states(t)]


check(selected() == [1], f"only 1A-問1 is selected at opening ({selected()})")

# A real click in the middle of 2A-問1, the tab right below the chosen one,
# chooses it, and a click on 1A-問1 goes back.
for n in (11, 1):
    x, y, w, h = tab_rect(n - 1)
    click(wid, x - ox + w // 2, y - oy + h // 2 + menu, 0.05)
    check(eventually(lambda: selected() == [n]),
          f"a click on {CAPTIONS[n - 1]} chooses it ({selected()})")

pages = list(answer_list[0].parent)[:40]
boxes = {n: accessible_nodes(page, pyatspi.ROLE_CHECK_BOX) for n, page in enumerate(pages, 1)}


def showing(node):
    return pyatspi.STATE_SHOWING in states(node)


def all_ticks():
    return {(n, k + 1) for n, bs in boxes.items() for k, b in enumerate(bs)
            if pyatspi.STATE_CHECKED in states(b)}


ticks = set()
before = 1
for n in (26, 13, 40, 11):
    do_action(tabs[n - 1], "Press")
    check(eventually(lambda: selected() == [n]),
          f"Press on {CAPTIONS[n - 1]} selects it alone ({selected()})")
    check(eventually(lambda: all(map(showing, boxes[n])) and not any(map(showing, boxes[before]))),
          f"its boxes are showing, those of {CAPTIONS[before - 1]} no longer")
    # The page is really up on the screen: the answer frame stands at 96,88
    # (104,88 on a few pages) with the yellow page left of it, and a real
    # click on box ④ ticks this question's box.
    frame_left = 104 if n in SHIFTED_FRAMES else 96
    x, y = ox + 128 + frame_left, oy + 400 + 88 + 30

    def frame_up():
        pic = grab((x - 2, y, x + 4, y + 1))
        return pic.at(x - 2, y) == (255, 255, 0) and pic.at(x + 3, y) != (255, 255, 0)

    check(eventually(frame_up),
          f"the screen shows the answer frame of {CAPTIONS[n - 1]} from {frame_left}")
    screenshot(f"answer-tabs-{n}")
    click(wid, 128 + frame_left + 368 + 6, 400 + 88 + 24 + 8 + menu, 0.05)
    ticks.add((n, 4))
    check(eventually(lambda: all_ticks() == ticks),
          f"a click on ④ of the page ticks {CAPTIONS[n - 1]} ④ alone ({sorted(all_ticks())})")
    before = n

# The paper tabs, and a Press on "図 1" taking the paper away.
paper_tabs = list(paper_list[0])
paper_names = [t.name for t in paper_tabs]
check(paper_names == ["問題", "図 1", "図 2", "図 3", "図 4"],
      f"the paper tabs are named {paper_names}")
paper_view = accessible_nodes(exam, pyatspi.ROLE_TEXT)[0]
check(showing(paper_view), "the paper is showing at opening")
do_action(paper_tabs[1], "Press")
check(eventually(lambda: pyatspi.STATE_SELECTED in states(paper_tabs[1])
                 and not showing(paper_view)),
      "Press on 図 1 selects it and takes the paper away")

# Exit by the menu item's own action.
press_menu_item(exam, "終了(Q)")
rc = wait_exit(program)
check(rc == 0 and not windows(EXAM) and not running_programs(),
      f"Press on 終了(Q) ends the program (code {rc}) with no window left")
