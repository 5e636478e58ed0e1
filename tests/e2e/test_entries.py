"""Working with entries as a user does: digits and Ctrl+digits choose, Ctrl+L locks, rows are
dragged into and out of the locked group, Delete and the middle button delete (asking on a
template tab, never touching a locked entry), the item edit dialog writes labels from a
"[LABEL]" first line and refuses empty entries, the context menu creates, reloads and opens the
tab's file, memo lists open their entries in the dialog. Every change is checked in the file."""

import subprocess
import time

from harness import BOM, E2ETestCase, Entry, center, items_text, parse_items, poll, settings_text, with_tabs
from test_sealed_tabs import SealedTabTestCase

LOCK = "\U0001f512"

ASK_DELETE_KEY = ("選択した定型文を削除しますか？", "確認")
ASK_DELETE_MENU = ("この定型文を削除します。よろしいですか？", "定型文の削除確認")
ERR_EMPTY = ("本文とラベルが空のため保存できません。", "エラー")
ERR_NO_BODY = ("本文が空のため保存できません。", "エラー")

EDIT_TEXT = 2006

# Texts the file format has to escape: they must come through every change unchanged.
AWKWARD = [Entry("---"), Entry("[L]not locked\n---"), Entry("[LABEL]x"), Entry("[C]y", label="lab")]


def _misread_first(core, after_markers, after_label, more_lines):
    """Whether the program's reader would misread a text's first line (backslashes taken off)."""
    if core.startswith("[L]") or core.startswith("[C]"):
        return True
    if after_markers:
        return False
    return core == "---" or (not after_label and core.startswith("[LABEL]")) or (core == "" and more_lines)


def _escaped(e):
    """The entry as the file stores it: a line that would be misread gets one more backslash."""
    lines = e.text.split("\n")
    if _misread_first(lines[0].lstrip("\\"), e.locked or e.used, bool(e.label), len(lines) > 1):
        lines[0] = "\\" + lines[0]
    lines[1:] = ["\\" + line if line.lstrip("\\") == "---" else line for line in lines[1:]]
    return Entry("\n".join(lines), e.label, e.locked, e.used)


def _unescaped(e):
    lines = e.text.split("\n")
    if lines[0].startswith("\\") and _misread_first(lines[0].lstrip("\\"), e.locked or e.used, bool(e.label),
                                                    len(lines) > 1):
        lines[0] = lines[0][1:]
    lines[1:] = [line[1:] if line.startswith("\\") and line.lstrip("\\") == "---" else line for line in lines[1:]]
    return Entry("\n".join(lines), e.label, e.locked, e.used)


def stored(entries):
    """File bytes for entries, escaped as the program writes them."""
    return BOM + items_text([_escaped(e) for e in entries]).encode()


def read_stored(data):
    return [_unescaped(e) for e in parse_items(data)]


class EntryTestCase(SealedTabTestCase):
    # Boxes here belong to the list or to the edit dialog, and the dialog stays open beside them.
    wait_box = E2ETestCase.wait_box

    def row_point(self, app, row, where=0.5):
        l, t, r, b = app.rows()[row][2]
        return (l + r) // 2, int(t + (b - t) * where)

    def wait_rows(self, app, texts):
        return poll(lambda: app.texts() == texts, 20, 0.2, "the rows %r (have %r)" % (texts, app.texts()))

    def app_with(self, history, templates=None, **settings):
        """The program on these entries (escaped as the program itself would store them)."""
        tabs = settings.pop("tabs", {})
        text = settings_text(**settings)
        return self.app(settings=with_tabs(text, **tabs) if tabs else text, history=stored(history),
                        templates={k: stored(v) for k, v in (templates or {}).items()})

    def wait_file(self, app, name, entries):
        def read():
            data = app.read(name)
            return data is not None and read_stored(data) == entries

        try:
            poll(read, 20, 0.2, "%s to hold %r" % (name, entries))
        except AssertionError:
            raise AssertionError("%s holds %r, not %r" % (name, read_stored(app.read(name) or b""), entries)) from None

    def select(self, app, row):
        self.session.click(*self.row_point(app, row), button=3)  # a right click selects without choosing
        poll(self.open_menus, 20, 0.2, "the context menu")
        self.session.key("Escape")
        poll(lambda: not self.open_menus() and app.main()["list"]["selected"] == row, 20, 0.2, "row %d selected" % row)

    def menu_command(self, app, row, downs):
        """Right click on row, then Down pressed downs times and Enter."""
        self.session.click(*self.row_point(app, row), button=3)
        poll(self.open_menus, 20, 0.2, "the context menu")
        self.session.key(*(["Down"] * downs + ["Return"]))

    def edit_dialog(self, caption):
        dialog = self.wait_dialog(caption)
        return dialog, {c["id"]: c for c in dialog["children"]}

    def dialog_text(self, dialog):
        boxes = [b for b in self.message_boxes() if b["hwnd"] == dialog["hwnd"]]
        return {c["id"]: c for c in boxes[0]["children"]}[EDIT_TEXT]["text"] if boxes else None

    def replace_dialog_text(self, dialog, text):
        """Selects the whole text of the edit dialog and types text over it."""
        self.session.key("ctrl+End", "shift+ctrl+Home", "BackSpace")
        if text:
            self.session.type_text(text)
        poll(lambda: self.dialog_text(dialog) == text, 20, 0.2, "the dialog holding %r" % text)

    def press(self, dialog, ident):
        self.session.click(*center({c["id"]: c for c in dialog["children"]}[ident]["rect"]))

    def drag(self, start, end):
        x0, y0 = start
        x1, y1 = end
        self.session.xdo("mousemove", str(x0), str(y0))
        time.sleep(0.2)
        self.session.xdo("mousedown", "1")
        steps = 8
        for i in range(1, steps + 1):
            self.session.xdo("mousemove", str(x0 + (x1 - x0) * i // steps), str(y0 + (y1 - y0) * i // steps))
            time.sleep(0.08)
        time.sleep(0.3)
        self.session.xdo("mouseup", "1")


class ChoosingTests(EntryTestCase):
    def test_ctrl_digits_choose_on_release_and_a_digit_alone_chooses_at_once(self):
        history = [Entry("entry %d" % i) for i in range(1, 14)]
        app = self.app(history=history, settings=dict(HistoryLimit=20, MoveToTopOnCopy=0))
        app.show_by_hotkey()
        self.wait_rows(app, [e.text for e in history])

        # Ctrl held, 1 then 2: row 0, then row 11; releasing Ctrl chooses entry 12 and hides.
        self.session.xdo("keydown", "ctrl")
        self.session.xdo("key", "1")
        poll(lambda: app.main()["list"]["selected"] == 0, 20, 0.2, "row 0 selected after Ctrl+1")
        self.assertTrue(app.visible())
        self.session.xdo("key", "2")
        poll(lambda: app.main()["list"]["selected"] == 11, 20, 0.2, "row 11 selected after Ctrl+1 2")
        self.assertTrue(app.visible(), "nothing chosen while Ctrl is held")
        self.session.xdo("keyup", "ctrl")
        poll(lambda: self.session.clipboard()["text"] == "entry 12", 20, 0.2, "entry 12 on the clipboard")
        app.wait_visible(False)

        # A digit alone chooses at once; 0 does nothing.
        app.show_by_hotkey()
        self.session.key("0")
        time.sleep(0.5)
        self.assertTrue(app.visible())
        self.assertEqual(self.session.clipboard()["text"], "entry 12")
        self.session.key("3")
        poll(lambda: self.session.clipboard()["text"] == "entry 3", 20, 0.2, "entry 3 on the clipboard")
        app.wait_visible(False)

    def test_memo_list_opens_the_entry_in_the_edit_dialog_and_saves_the_label(self):
        entries = [Entry("メモ本文", label="メモ"), Entry("second")]
        app = self.app_with([Entry("h")], {"templates.txt": entries}, StayVisible=1, tabs=dict(TabType1=1))
        app.show_by_hotkey()
        self.switch_right(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["メモ", "second"], "the memo list")
        self.session.click(*self.row_point(app, 1))
        dialog, controls = self.edit_dialog("アイテムの編集")
        self.assertEqual(controls[EDIT_TEXT]["text"], "second")
        # A label written on a "[LABEL]" first line, the old text kept below it.
        self.session.key("ctrl+Home")
        self.session.type_text("[LABEL]  Work \n")
        poll(lambda: self.dialog_text(dialog) == "[LABEL]  Work \r\nsecond", 20, 0.2, "the typed label line")
        self.press(dialog, 1)
        self.wait_file(app, "templates.txt", [entries[0], Entry("second", label="Work")])
        self.wait_rows(app, ["メモ", "Work"])
        self.assertEqual(self.session.clipboard()["text"] != "second", True, "a memo list entry is not copied")


class LockAndMoveTests(EntryTestCase):
    def test_dragging_into_and_out_of_the_locked_group_and_ctrl_l(self):
        history = [Entry("L0", locked=True), Entry("L1", locked=True), Entry("L2", locked=True)] + \
                  [Entry("free %d" % i) for i in range(3, 6)] + AWKWARD
        app = self.app_with(history, StayVisible=1)
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == len(history), 20, 0.2, "all rows")

        # Row 5 onto the upper half of row 1: it moves there and is locked.
        self.drag(self.row_point(app, 5), self.row_point(app, 1, 0.3))
        moved = [history[0], Entry("free 5", locked=True)] + history[1:5] + AWKWARD
        self.wait_file(app, "history.ini", moved)
        poll(lambda: app.rows()[1][:2] == (LOCK, "free 5"), 20, 0.2, "the padlock on row 1")

        # A locked entry dragged below the locked group is unlocked.
        self.drag(self.row_point(app, 0), self.row_point(app, 5, 0.7))
        out = moved[1:4] + [moved[4], moved[5], Entry("L0")] + AWKWARD
        self.wait_file(app, "history.ini", out)

        # Ctrl+L locks an entry to the top, and again unlocks it to just below the locked group.
        self.select(app, 6)  # "---"
        self.session.key("ctrl+l")
        self.wait_file(app, "history.ini", [Entry("---", locked=True)] + out[:6] + AWKWARD[1:])
        self.session.key("ctrl+l")
        self.wait_file(app, "history.ini", out[:3] + [Entry("---")] + out[3:6] + AWKWARD[1:])
        # Ctrl+Down moves it one place down, leaving the group as it is.
        self.session.key("ctrl+Down")
        self.wait_file(app, "history.ini", out[:3] + [out[3], Entry("---")] + out[4:6] + AWKWARD[1:])

    def test_template_entries_move_with_ctrl_arrows(self):
        entries = [Entry("one"), Entry("two")] + AWKWARD
        app = self.app_with([Entry("h")], {"templates.txt": entries}, StayVisible=1)
        app.show_by_hotkey()
        self.switch_right(app, lambda m: len(m["list"]["rows"]) == 6, "tab 1")
        self.select(app, 2)
        self.session.key("ctrl+Up")
        self.wait_file(app, "templates.txt", [entries[0], entries[2], entries[1]] + entries[3:])
        self.session.key("ctrl+Up", "ctrl+Up")  # the second one has nowhere to go
        self.wait_file(app, "templates.txt", [entries[2], entries[0], entries[1]] + entries[3:])
        poll(lambda: app.main()["list"]["selected"] == 0, 20, 0.2, "the moved entry stays selected")


class DeleteTests(EntryTestCase):
    def test_history_delete_asks_nothing_and_never_deletes_a_locked_entry(self):
        history = [Entry("kept", locked=True), Entry("a")] + AWKWARD
        app = self.app_with(history, StayVisible=1, HistoryLimit=5)
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == 5, 20, 0.2, "the rows, as many as HistoryLimit shows")

        self.select(app, 0)
        stamp = app.file_stamp("history.ini")
        self.session.key("Delete")
        self.session.click(*self.row_point(app, 0), button=2)
        self.assert_no_box()
        self.assertEqual(app.file_stamp("history.ini"), stamp, "a locked entry was deleted")
        # The menu's 削除, its last item, is greyed for it: a click on it leaves the menu open.
        self.session.click(*self.row_point(app, 0), button=3)
        l, t, r, b = poll(self.open_menus, 20, 0.2, "the context menu")[0]["rect"]
        self.session.click((l + r) // 2, b - 12)
        time.sleep(0.5)
        self.assertTrue(self.open_menus(), "a greyed item closes nothing")
        self.session.key("Escape")
        poll(lambda: not self.open_menus(), 20, 0.2, "the menu closed by Esc")
        self.assertTrue(app.visible(), "Esc on the menu closes only the menu")
        self.assertEqual(read_stored(app.read("history.ini")), history)

        self.select(app, 1)
        self.session.key("Delete")
        self.wait_file(app, "history.ini", [history[0]] + AWKWARD)
        self.assert_no_box(0.2)
        # The entry that HistoryLimit kept out of sight moves up into the last row.
        self.wait_rows(app, ["kept", "---", "[L]not locked", "[LABEL]x", "lab"])
        # The next entry took the selection; the middle button deletes without a question.
        poll(lambda: app.main()["list"]["selected"] == 1, 20, 0.2, "the next row selected")
        self.session.click(*self.row_point(app, 2), button=2)
        self.wait_file(app, "history.ini", [history[0], AWKWARD[0], AWKWARD[2], AWKWARD[3]])
        self.wait_rows(app, ["kept", "---", "[LABEL]x", "lab"])

    def test_template_delete_asks_by_key_and_by_menu(self):
        entries = [Entry("one")] + AWKWARD
        app = self.app_with([Entry("h")], {"templates.txt": entries}, StayVisible=1)
        app.show_by_hotkey()
        self.switch_right(app, lambda m: len(m["list"]["rows"]) == 5, "tab 1")

        self.select(app, 0)
        self.session.key("Delete")
        box = self.wait_box(ASK_DELETE_KEY)
        cancel = [c for c in box["children"] if c["id"] == 2]
        self.session.click(*center(cancel[0]["rect"]))
        time.sleep(0.5)
        self.assertEqual(read_stored(app.read("templates.txt")), entries)
        self.session.key("Delete")
        self.expect_box(ASK_DELETE_KEY)
        self.wait_file(app, "templates.txt", AWKWARD)

        # Menu on row 1: 新規登録, コピー, 編集, 削除 (the separator is skipped).
        self.menu_command(app, 1, 4)
        box = self.wait_box(ASK_DELETE_MENU)
        yes = [c for c in box["children"] if c["id"] == 6]  # IDYES
        self.session.click(*center(yes[0]["rect"]))
        self.wait_file(app, "templates.txt", [AWKWARD[0], AWKWARD[2], AWKWARD[3]])


class EditDialogTests(EntryTestCase):
    def test_edit_dialog_label_line_refusals_and_history_marks(self):
        history = [Entry("first", locked=True, used=True), Entry("[LABEL]looks like a label")]
        app = self.app_with(history, StayVisible=1)
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == 2, 20, 0.2, "the rows")

        # Confirmed empty, then with a label only: refused, nothing written, the dialog stays.
        self.select(app, 0)
        stamp = app.file_stamp("history.ini")
        self.session.key("ctrl+e")
        dialog, controls = self.edit_dialog("履歴の編集")
        self.assertEqual(controls[EDIT_TEXT]["text"], "first")
        self.replace_dialog_text(dialog, "")
        self.press(dialog, 1)
        self.expect_box(ERR_EMPTY)
        self.session.type_text("[LABEL]x")
        poll(lambda: self.dialog_text(dialog) == "[LABEL]x", 20, 0.2, "the label line typed")
        self.press(dialog, 1)
        self.expect_box(ERR_NO_BODY)
        self.assertEqual(app.file_stamp("history.ini"), stamp)

        # A label and a body: written into the entry, which keeps its padlock and check mark.
        self.session.type_text("\nbody one\n\nbody two\n")
        self.press(dialog, 1)
        self.wait_file(app, "history.ini",
                       [Entry("body one\n\nbody two", label="x", locked=True, used=True), history[1]])
        self.wait_rows(app, ["x", "[LABEL]looks like a label"])

        # A text that itself starts with the marker comes back unchanged from an unchanged OK.
        self.select(app, 1)
        self.session.key("ctrl+e")
        dialog, controls = self.edit_dialog("履歴の編集")
        self.press(dialog, 1)
        poll(lambda: not [b for b in self.message_boxes() if b["hwnd"] == dialog["hwnd"]], 20, 0.2, "closed")
        self.assertEqual(read_stored(app.read("history.ini"))[1], history[1])

    def test_new_entry_cancelled_leaves_nothing_and_confirmed_is_saved(self):
        app = self.app_with([Entry("h")], {"templates.txt": [Entry("old")]}, StayVisible=1)
        app.show_by_hotkey()
        self.switch_right(app, lambda m: len(m["list"]["rows"]) == 1, "tab 1")
        stamp = app.file_stamp("templates.txt")

        # 新規登録 from the menu: new-entry caption and the label placeholder; OK unchanged is refused.
        self.menu_command(app, 0, 1)
        dialog, controls = self.edit_dialog("アイテムの新規登録")
        self.assertEqual(controls[EDIT_TEXT]["text"], "[LABEL]アイテムのラベル")
        self.press(dialog, 1)
        self.expect_box(ERR_NO_BODY)
        self.press(dialog, 2)
        poll(lambda: not [b for b in self.message_boxes() if b["hwnd"] == dialog["hwnd"]], 20, 0.2, "closed")
        self.wait_rows(app, ["old"])
        self.assertEqual(app.file_stamp("templates.txt"), stamp)

        # Ctrl+N with row 0 selected: an empty entry at row 0, filled in and saved.
        self.select(app, 0)
        self.session.key("ctrl+n")
        dialog, _ = self.edit_dialog("アイテムの新規登録")
        self.replace_dialog_text(dialog, "new text")
        self.press(dialog, 1)
        self.wait_file(app, "templates.txt", [Entry("new text"), Entry("old")])


class FileCommandTests(EntryTestCase):
    def test_reload_takes_the_file_as_changed_outside_and_the_editor_opens_it(self):
        app = self.app_with([Entry("h")], {"templates.txt": [Entry("before")]}, StayVisible=1)
        app.show_by_hotkey()
        self.switch_right(app, lambda m: len(m["list"]["rows"]) == 1, "tab 1")
        app.write("templates.txt", stored([Entry("changed", label="外で"), Entry("added")]))
        # 新規登録, コピー, 編集, 削除, 外部エディタで編集, リストの更新.
        self.menu_command(app, 0, 6)
        self.wait_rows(app, ["外で", "added"])

        # Windows opens text files in Notepad; the test prefix is told the same.
        for key, value in ((r"HKCR\.txt", "txtfile"), (r"HKCR\txtfile\shell\open\command", 'notepad.exe "%1"')):
            subprocess.run(["wine", "reg", "add", key, "/ve", "/d", value, "/f"], env=self.session.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.menu_command(app, 0, 5)

        def editor():
            return [w for w in self.session.windows()["windows"]
                    if w["visible"] and "templates.txt" in w["title"]]

        window = poll(editor, 30, 0.3, "an editor showing templates.txt")[0]
        notepad = poll(lambda: self.session.state()["notepad"], 20, 0.3, "notepad's text")
        self.assertIn("外で", notepad["text"], window)
        self.session.xdo("key", "alt+F4")
