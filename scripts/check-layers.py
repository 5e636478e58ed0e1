#!/usr/bin/env python3
"""Checks that the source folders only look down:

    core     the model and its rules: includes nothing of the project, names no window,
             GDI or menu type
    crypto   the envelope: includes nothing of the project
    storage  files: core, crypto
    ui       the list and the dialogs: core, crypto, storage, resources
    tabs     the tab strip, the tab view, sealing: core, crypto, storage, ui, resources
    app      the main window, the loop, hooks and paste: anything

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
# Window-side handle types the model must not name.
WINDOW_TYPES = re.compile(r"\b(HWND|HFONT|HDC|HMENU|HBRUSH)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def strip_comment(line):
    return line.split("//", 1)[0]


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
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if match:
                        target = match.group(1)
                        top = target.split("/", 1)[0] if "/" in target else layer
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
