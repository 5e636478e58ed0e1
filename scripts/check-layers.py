#!/usr/bin/env python3
"""Checks that the source folders only look down:

    core     the model and its rules: includes nothing of the project, names no window,
             GDI or menu type
    crypto   the envelope: includes nothing of the project
    storage  files: core, crypto
    ui       the list and the dialogs: core, crypto, storage, resources
    tabs     the tab strip, the tab view, sealing: core, crypto, storage, ui, resources
    app      the main window, the loop, hooks and paste: anything

Inside tabs/ the files look down too, in this order from the bottom (a file may include the
headers of the files before it, and its own):

    TabContext         what the window handed over: the state, the view, the host's calls
    TabFiles           saving a tab's file, telling when it fails, the memo pad's writes
    TabStrip           the strip of four tabs
    TabView            ShowTab, the memo pad, the password panel, the focus, SwitchToTab
    TabLock            sealing and opening, the panel's commands, F7
    TabSettingsDialog  the tab settings dialog
    TabsHost           InitTabs: the parts put together

A call upward goes through what the caller was handed (TabFilesCalls, TabStripCalls, the
WM_COMMAND of a panel button). A file of tabs/ not in the order is reported too.

Prints every include that breaks the rule as FILE:LINE and exits 1; exits 0 when there is none.
    check-layers.py [ROOT]
"""

import os
import re
import sys

ALLOWED = {
    "core": set(),
    "crypto": set(),
    "storage": {"core", "crypto"},
    "ui": {"core", "crypto", "storage", "resources"},
    "tabs": {"core", "crypto", "storage", "ui", "resources"},
    "app": {"core", "crypto", "storage", "ui", "tabs", "resources"},
}
# The files of tabs/, bottom first.
TABS_ORDER = ["TabContext", "TabFiles", "TabStrip", "TabView", "TabLock", "TabSettingsDialog", "TabsHost"]
# Window-side handle types the model must not name.
WINDOW_TYPES = re.compile(r"\b(HWND|HFONT|HDC|HMENU|HBRUSH)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def strip_comment(line):
    return line.split("//", 1)[0]


def tabs_problem(rel, number, name, target):
    """The include of target by tabs/name, when it looks up (or sideways) in TABS_ORDER."""
    own = os.path.splitext(name)[0]
    other = os.path.splitext(os.path.basename(target))[0]
    if own not in TABS_ORDER or other == own:
        return None
    if other not in TABS_ORDER:
        return "%s:%d: tabs/%s includes %s, which is not in the order of tabs/ (scripts/check-layers.py)" % (
            rel, number, name, target)
    if TABS_ORDER.index(other) > TABS_ORDER.index(own):
        return "%s:%d: tabs/%s includes %s, above it in the order of tabs/ (%s)" % (
            rel, number, name, target, " < ".join(TABS_ORDER))
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    problems = []
    for layer, allowed in ALLOWED.items():
        folder = os.path.join(root, layer)
        for name in sorted(os.listdir(folder)):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            if layer == "tabs" and os.path.splitext(name)[0] not in TABS_ORDER:
                problems.append("%s: not in the order of tabs/ (TABS_ORDER in scripts/check-layers.py)" % rel)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if match:
                        target = match.group(1)
                        top = target.split("/", 1)[0] if "/" in target else layer
                        if layer == "tabs" and top == "tabs":
                            problem = tabs_problem(rel, number, name, target)
                            if problem:
                                problems.append(problem)
                        if top != layer and top in ALLOWED or top == "resources":
                            if top not in allowed:
                                problems.append("%s:%d: %s includes %s (%s may use: %s)" % (
                                    rel, number, layer, target, layer, ", ".join(sorted(allowed)) or "nothing"))
                    if layer == "core" and WINDOW_TYPES.search(strip_comment(line)):
                        problems.append("%s:%d: core names a window type: %s" % (rel, number, line.strip()))
    for problem in problems:
        print(problem)
    print("%d include rule violation(s)" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
