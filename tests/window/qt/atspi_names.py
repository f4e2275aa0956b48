#!/usr/bin/python3
"""Reads vekdc's window through AT-SPI, as a screen reader does: with the
decode panel shown, every showing button, edit box, list, tree, progress bar
and the status bar must have a name, and the tree's hidden header must not be
read as "1".

Run in a D-Bus session with the accessibility bus up (a11y-session.sh) on an
X server:  atspi_names.py VEKDC FOLDER  (FOLDER: a scratch folder)."""

import os
import subprocess
import sys
import time

import pyatspi

NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON: "button",
    pyatspi.ROLE_TEXT: "edit box",
    pyatspi.ROLE_LIST: "list",
    pyatspi.ROLE_TREE: "tree",
    pyatspi.ROLE_TREE_TABLE: "tree",
    pyatspi.ROLE_PROGRESS_BAR: "progress bar",
    pyatspi.ROLE_STATUS_BAR: "status bar",
}


def wait_for(what, find, program, seconds=60):
    """What find() returns once it is not None; fails after `seconds`, or
    when the program has ended."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and program.poll() is None:
        try:
            found = find()
        except Exception:  # an object went away while it was read: read again
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit("atspi_names.py: no " + what + (" within %d seconds" % seconds
                                             if program.poll() is None else ": vekdc ended"))


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def first(root, predicate):
    for node in walk(root):
        if predicate(node):
            return node
    return None


def read(frame):
    """What a screen reader would meet in the window: counts by kind, and
    what is wrong."""
    problems = []
    seen = {}
    for node in walk(frame):
        kind = NAMED_ROLES.get(node.getRole())
        if kind is None or not showing(node):
            continue
        seen[kind] = seen.get(kind, 0) + 1
        if not node.name.strip():
            problems.append("a %s without a name" % kind)
        if kind == "tree":
            for inner in walk(node):
                if inner.name == "1":
                    problems.append("the tree reads \"1\"")
    for kind in ("button", "edit box", "list", "tree", "progress bar", "status bar"):
        if kind not in seen:
            problems.append("no %s shows" % kind)
    return seen, problems


def main():
    program, folder = sys.argv[1], sys.argv[2]
    home = os.path.join(folder, "home")
    os.makedirs(home, exist_ok=True)
    listed = os.path.join(folder, "listed.vek")
    open(listed, "wb").close()
    environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                       QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", LANGUAGE="ja")
    # --add shows the panel with a file listed.
    vekdc = subprocess.Popen([program, "--add", listed], env=environment)
    try:
        app = wait_for("vekdc on the accessibility bus", lambda: application(vekdc.pid), vekdc)
        # The key dialog comes first: cancel it.
        cancel = wait_for("key dialog", lambda: first(
            app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and showing(n)
            and n.name in ("キャンセル", "Cancel")), vekdc)
        cancel.queryAction().doAction(0)
        frame = wait_for("main window", lambda: first(
            app, lambda n: n.getRole() == pyatspi.ROLE_FRAME and showing(n)
            and first(n, lambda m: m.getRole() == pyatspi.ROLE_LIST and showing(m)) is not None),
            vekdc)
        seen, problems = wait_for("whole reading of the window", lambda: read(frame), vekdc)
        print("seen:", ", ".join("%d %s" % (n, k) for k, n in sorted(seen.items())))
        if problems:
            sys.exit("atspi_names.py: " + "; ".join(problems))
    finally:
        vekdc.kill()
        vekdc.wait()


if __name__ == "__main__":
    main()
