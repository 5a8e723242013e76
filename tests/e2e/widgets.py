#!/usr/bin/python3
"""Reads the widgets that the programs show, through the desktop's accessibility bus.

Every label's text, every button's name or tooltip and every window's title that is on the
screen counts as a text that a person sees. Pop-up menus are not among them: the toolkit
leaves them out of the tree. Line breaks in a text are written
as \\n (a label's carriage return and line feed both count as one \\n).

  widgets.py wait [--timeout S] [--not TEXT]... [--named NAME]... TEXT...
      waits until every TEXT is shown, no --not TEXT is, and a shown widget has each --named
      NAME as its accessible name (what a screen reader speaks for it, the tooltip aside);
      prints what is shown on failure
  widgets.py centre [--timeout S] NAME
      waits until exactly one shown control has NAME as its accessible name, and prints the
      centre of the place that the bus reports for it, in screen coordinates: "x y"
  widgets.py shown
      prints every text that is shown, one a line
"""
import argparse
import sys
import time

import pyatspi

SHOWN_ROLES = {
    pyatspi.ROLE_LABEL,
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_FRAME,
    pyatspi.ROLE_DIALOG,
    pyatspi.ROLE_FILLER,
    pyatspi.ROLE_WINDOW,
    pyatspi.ROLE_ALERT,
    pyatspi.ROLE_PASSWORD_TEXT,
}

# What a person clicks or types into, as against the windows and texts around it.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_PASSWORD_TEXT,
}


def normal(text):
    return text.replace("\r\n", "\n")


def visible_widgets(acc):
    """Yields (text, is its name, accessible) for every shown widget under acc."""
    try:
        state = acc.getState()
        if acc.getRole() != pyatspi.ROLE_APPLICATION and not state.contains(
            pyatspi.STATE_SHOWING
        ):
            return
        if acc.getRole() in SHOWN_ROLES:
            for text, is_name in ((acc.name, True), (acc.description, False)):
                if text:
                    yield normal(text), is_name, acc
        children = [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    except Exception:  # a widget that went away while we looked
        return
    for child in children:
        if child is not None:
            yield from visible_widgets(child)


def all_visible_widgets():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None:
            yield from visible_widgets(app)


def texts_of(widgets):
    """The shown texts, each mapped to whether it is some widget's accessible name."""
    found = {}
    for text, is_name, _ in widgets:
        found[text] = found.get(text, False) or is_name
    return found


def centre(args):
    (name,) = args.texts

    def ready(widgets):
        try:
            controls = [
                acc
                for text, is_name, acc in widgets
                if is_name and text == name and acc.getRole() in CONTROL_ROLES
            ]
            if len(controls) != 1:
                return None
            box = controls[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        except Exception:  # a widget that went away while we looked
            return None
        return box.x + box.width // 2, box.y + box.height // 2

    print("%d %d" % poll(args.timeout, ready))


def poll(timeout, ready):
    """Calls ready(shown widgets) until it gives something other than None, or fails.
    Right after the accessibility bus starts, the desktop may list no program yet."""
    deadline = time.monotonic() + timeout
    while True:
        widgets = list(all_visible_widgets())
        result = ready(widgets)
        if result is not None:
            return result
        if time.monotonic() > deadline:
            print("Shown instead:", file=sys.stderr)
            for text, is_name in texts_of(widgets).items():
                print("  " + repr(text) + (" (a name)" if is_name else ""), file=sys.stderr)
            sys.exit(1)
        time.sleep(0.1)


def wait(args):
    def ready(widgets):
        texts = texts_of(widgets)
        missing = [t for t in args.texts if t not in texts]
        missing += [n for n in args.named if not texts.get(n)]
        present = [t for t in args.absent if t in texts]
        return True if not missing and not present else None

    poll(args.timeout, ready)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["wait", "centre", "shown"])
    parser.add_argument("--timeout", type=float, default=10)
    parser.add_argument("--not", dest="absent", action="append", default=[])
    parser.add_argument("--named", action="append", default=[])
    parser.add_argument("texts", nargs="*")
    args = parser.parse_intermixed_args()
    args.texts = [normal(t) for t in args.texts]
    args.named = [normal(t) for t in args.named]
    if args.command == "shown":
        for text in texts_of(all_visible_widgets()):
            print(repr(text))
    elif args.command == "centre":
        centre(args)
    else:
        wait(args)


if __name__ == "__main__":
    main()
