"""Nothing the user wrote is lost and nothing sealed leaks, off the paths a user takes first:
an edit dialog open while copies arrive, a memo pad in the system code page, a memo pad sealed
from the tab strip while another is on screen, files held by other programs (a seal, a save,
a file unreadable at start), a file changed in another editor, quitting with a dialog open,
copies made inside a tab open for the run, a text that looks like a sealed file, and the end
of the session. Every check is on the files and on what other programs see."""

import os
import time

import test_sealed_tabs
from harness import BOM, TRAY_MENU, Config, Entry, center, items_text, parse_items, poll, settings_text, win_path, with_tabs
from test_entries import ASK_DELETE_KEY, EntryTestCase
from test_sealed_tabs import DONE_OPEN_FOR_RUN, DONE_SEALED, LIST, MAGIC, MEMO, PASSWORD, memo_shown, python_open, \
    python_seal

EDIT_TEXT = 2006

PRIVACY_MARKS = ["ExcludeClipboardContentFromMonitorProcessing", "CanIncludeInClipboardHistory",
                 "CanUploadToCloudClipboard"]


def plain(entries):
    return BOM + items_text(entries).encode()


class DataSafetyTests(EntryTestCase):
    PASSWORD = "safe-pw 9"

    tab_point = test_sealed_tabs.TabStripMenuTests.tab_point
    choose_from_tab_menu = test_sealed_tabs.TabStripMenuTests.choose_from_tab_menu

    # -- helpers --

    def hold(self, app, name):
        """Another program opens the file without sharing and keeps it until released."""
        out = os.path.join(self.session.work, "hold-%s-%d.txt" % (name, time.monotonic_ns()))
        with open(out, "wb") as f:
            p = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "hold-file", win_path(app.path(name))],
                                   stdout=f)
        self.programs.append(p)
        poll(lambda: b'"held":true' in open(out, "rb").read(), 30, 0.2, "%s held by another program" % name)
        return p

    def release(self, holder):
        holder.kill()
        holder.wait(timeout=30)

    def box_with(self, fragment, timeout=30):
        """The message box whose text contains fragment."""
        return poll(lambda: ([b for b in self.message_boxes()
                              if any(fragment in c["text"] for c in b["children"])] or [None])[0], timeout, 0.2,
                    "a message saying %r" % fragment)

    def copy_from_other_program(self, text):
        self.settle()
        self.session.clipcopy(text)

    def append_in_dialog(self, dialog, typed, expected):
        self.session.key("ctrl+End")
        self.session.type_text(typed)
        poll(lambda: self.dialog_text(dialog) == expected, 20, 0.2, "the dialog to hold %r" % expected)

    def memo_text(self, app):
        return (app.control(MEMO) or {}).get("text")

    def history_texts(self, app):
        return [e.text for e in app.history() or []]

    # -- 1: the edit dialog and the menu hold the entry, not its row --

    def test_edits_and_menu_commands_hold_their_entry_while_copies_arrive(self):
        app = self.app_with([Entry("h-a"), Entry("h-b"), Entry("h-c")], MaxHistory=4)
        app.show_by_hotkey()
        self.wait_rows(app, ["h-a", "h-b", "h-c"])
        self.session.key("Down")
        poll(lambda: app.main()["list"]["selected"] == 1, 20, 0.2, "row h-b selected")
        self.session.key("ctrl+e")
        dialog, _ = self.edit_dialog("履歴の編集")
        poll(lambda: self.dialog_text(dialog) == "h-b", 20, 0.2, "h-b in the dialog")
        self.copy_from_other_program("incoming")
        app.wait_history(lambda h: h[0].text == "incoming", "the copy taken while the dialog is open")
        self.append_in_dialog(dialog, " EDITED", "h-b EDITED")
        self.press(dialog, 1)
        app.wait_history(lambda h: [e.text for e in h] == ["incoming", "h-a", "h-b EDITED", "h-c"],
                         "h-b edited, every other entry as it was")

        # The menu opened on h-a, a copy arrives while it is open: 編集 opens h-a all the same.
        self.session.click(*self.row_point(app, 1), button=3)
        poll(self.open_menus, 20, 0.2, "the context menu on h-a")
        self.copy_from_other_program("menu-incoming")
        self.wait_rows(app, ["menu-incoming", "incoming", "h-a", "h-b EDITED"])
        self.session.key("Down", "Down", "Down", "Return")
        dialog, _ = self.edit_dialog("履歴の編集")
        poll(lambda: self.dialog_text(dialog) == "h-a", 20, 0.2, "h-a in the dialog")

        # Cut from the history while the dialog is open: OK keeps what was typed as a new entry.
        self.copy_from_other_program("cuts h-b")
        self.copy_from_other_program("cuts h-a")
        app.wait_history(lambda h: "h-a" not in [e.text for e in h], "h-a cut by MaxHistory")
        self.append_in_dialog(dialog, " kept", "h-a kept")
        self.press(dialog, 1)
        app.wait_history(lambda h: [e.text for e in h] == ["h-a kept", "cuts h-a", "cuts h-b", "menu-incoming"],
                         "the typed text as the newest entry")

    # -- 2: a memo pad in the system code page --

    def test_memo_pad_in_the_system_code_page_is_shown_and_never_rewritten(self):
        data = b"caf\xe9 memo line"
        app = self.app(settings=with_tabs(settings_text(), TabType1=2),
                       templates={"templates.txt": data})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_main(app, memo_shown, "the memo pad")
        poll(lambda: self.memo_text(app) == "café memo line", 20, 0.2, "the memo as the file holds it")
        app.exit_by_tray_menu()
        self.assertEqual(app.read("templates.txt"), data, "a file the user never touched is left as it was")

    # -- 3 and 14: sealing a memo pad from the tab strip; no plain text left in the memo pad --

    def test_memo_pad_sealed_from_the_strip_seals_its_own_text_and_leaves_none_behind(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab2="二", TabType2=2, Tab3="三", TabType3=2)
        app = self.app(settings=settings, templates={"templates2.txt": BOM + "memo two".encode(),
                                                     "templates3.txt": BOM + "memo three".encode()})
        app.show_by_hotkey()
        self.session.key("Right", "Right")
        poll(lambda: self.memo_text(app) == "memo two", 20, 0.2, "tab 2's memo on screen")
        self.choose_from_tab_menu(app, 3, 0)  # このタブを暗号化... on tab 3
        self.wait_panel(app, "setup")
        self.type_into(app, PASSWORD, self.PASSWORD)
        self.session.key("Return")
        self.type_into(app, test_sealed_tabs.CONFIRMATION, self.PASSWORD)
        self.session.key("Return")
        self.close_box(self.wait_box(DONE_SEALED))
        self.assertEqual(python_open(app.read("templates3.txt"), self.PASSWORD), "memo three")
        self.assertEqual(app.read("templates2.txt"), BOM + b"memo two")
        self.assertEqual(self.memo_text(app), "", "the sealed memo's text stays in no window")

        # Opened for the run, then sealed again with F7: the memo pad is emptied again.
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        poll(lambda: self.memo_text(app) == "memo three", 20, 0.2, "tab 3's memo opened")
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.wait_focus(app, MEMO)
        self.session.key("Escape")  # to the tab strip, where F7 acts on the tab
        self.session.key("F7")
        self.wait_panel(app, "unlock")
        self.assertEqual(self.memo_text(app), "")

    # -- 4: a seal or a save that cannot be written --

    def test_failed_seal_and_failed_saves_are_told_and_nothing_is_lost(self):
        entries = [Entry("tmpl one"), Entry("tmpl two")]
        app = self.app(settings=settings_text(StayVisible=1), history=[Entry("first")],
                       templates={"templates.txt": plain(entries)})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_rows(app, ["tmpl one", "tmpl two"])
        holder = self.hold(app, "templates.txt")
        self.seal_by_keys(app, self.PASSWORD)
        box = self.box_with("このタブを暗号化できませんでした。「templates.txt」に書き込めません。")
        self.assertEqual(box["title"], "エラー")
        self.answer_box(box)
        self.assertEqual([b["title"] for b in self.message_boxes()], [], "no claim that the tab was sealed")
        self.wait_rows(app, ["tmpl one", "tmpl two"])
        self.release(holder)
        self.assertEqual(parse_items(app.read("templates.txt")), entries)

        # An ordinary save that fails is told once; the data stays and the next change saves it.
        holder = self.hold(app, "history.ini")
        self.copy_from_other_program("copy one")
        box = self.box_with("「history.ini」を保存できませんでした。")
        self.answer_box(box)
        self.copy_from_other_program("copy two")
        self.assert_no_box(1.5)
        self.release(holder)
        self.copy_from_other_program("copy three")
        app.wait_history(lambda h: [e.text for e in h] == ["copy three", "copy two", "copy one", "first"],
                         "every copy saved once the file is free")
        self.assert_no_box(0.5)

    # -- 5: a file that cannot be read at start-up --

    def test_unreadable_file_is_said_once_and_never_written(self):
        sealed = python_seal(items_text([Entry("sealed entry")]), self.PASSWORD)
        app = self.app(history=sealed, start=False)
        holder = self.hold(app, "history.ini")
        app.start()
        box = self.box_with("history.ini")
        self.assertEqual(box["title"], "エラー")
        self.answer_box(box)
        self.release(holder)
        app.show_by_hotkey()
        main = self.wait_main(app, lambda m: any("読み込めなかった" in c["text"] and c["visible"]
                                                 for c in m["controls"]), "the tab saying it could not be read")
        self.assertEqual(main["list"]["count"], 0)
        self.copy_from_other_program("not recorded")
        time.sleep(1.5)
        self.assertEqual(app.read("history.ini"), sealed)
        app.exit_by_tray_menu()
        self.assertEqual(app.read("history.ini"), sealed, "the sealed history survives the run")
        self.assertEqual(python_open(app.read("history.ini"), self.PASSWORD).rstrip("\r\n"), "sealed entry")

    # -- 6: a file changed in another editor --

    def test_changes_made_in_another_editor_are_taken_in_and_merged_never_asked_about(self):
        app = self.app(settings=settings_text(StayVisible=1),
                       templates={"templates.txt": plain([Entry("a"), Entry("b")])})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_rows(app, ["a", "b"])
        self.session.key("Down")
        poll(lambda: app.main()["list"]["selected"] == 1, 20, 0.2, "b selected")
        # Saved in an editor (or arrived from another PC): shown at once, the selection still on b.
        edited = plain([Entry("first from the editor"), Entry("a"), Entry("b")])
        app.write("templates.txt", edited)
        self.wait_rows(app, ["first from the editor", "a", "b"])
        self.assertEqual(app.main()["list"]["selected"], 2, "the selection stays on b")
        self.assertEqual(app.read("templates.txt"), edited)

        # A deletion here that could not be written (the file held), then the editor's next save,
        # made on what it had: both changes are kept and written, without a question.
        holder = self.hold(app, "templates.txt")
        self.select(app, 1)
        self.session.key("Delete")
        self.answer_box(self.wait_box(ASK_DELETE_KEY))
        self.answer_box(self.box_with("「templates.txt」を保存できませんでした。"))
        self.wait_rows(app, ["first from the editor", "b"])
        self.release(holder)
        app.write("templates.txt", plain([Entry("first from the editor"), Entry("a"), Entry("b"), Entry("last")]))
        merged = plain([Entry("first from the editor"), Entry("b"), Entry("last")])
        poll(lambda: app.read("templates.txt") == merged, 20, 0.2, "the merge written")
        self.wait_rows(app, ["first from the editor", "b", "last"])
        self.assertEqual(self.message_boxes(), [], "nothing asked")

        # Edited elsewhere again, then quit: the exit writes nothing the program did not change.
        again = plain([Entry("only the editor's")])
        app.write("templates.txt", again)
        self.wait_rows(app, ["only the editor's"])
        app.exit_by_tray_menu()
        self.assertEqual(app.read("templates.txt"), again)

    # -- 7: quitting while a dialog is open --

    def test_quit_with_the_edit_dialog_open_keeps_an_opened_tab_sealed(self):
        sealed = python_seal(items_text([Entry("secret one"), Entry("secret two")]), self.PASSWORD)
        app = self.app(settings=settings_text(StayVisible=1), templates={"templates.txt": sealed})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_panel(app, "unlock")
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        self.wait_rows(app, ["secret one", "secret two"])
        self.session.key("ctrl+e")
        self.edit_dialog("アイテムの編集")
        app.choose_from_tray_menu(TRAY_MENU.index("終了"))
        app.proc.wait(timeout=60)
        self.session.forget(app.proc)
        data = app.read("templates.txt")
        self.assertTrue(data.startswith(MAGIC), data[:40])
        self.assertEqual(parse_items(python_open(data, self.PASSWORD).encode()),
                         [Entry("secret one"), Entry("secret two")])

    # -- 8 and 9: copies made inside a tab open for the run --

    def test_copies_from_an_opened_tab_stay_out_of_the_history_and_carry_privacy_marks(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("plain history")], templates={
            "templates.txt": python_seal("secret memo", self.PASSWORD),
            "templates2.txt": python_seal(items_text([Entry("secret entry")]), self.PASSWORD),
            "templates3.txt": plain([Entry("plain entry")])})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_panel(app, "unlock")
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        poll(lambda: self.memo_text(app) == "secret memo", 20, 0.2, "the memo opened")
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.settle()
        self.session.key("ctrl+Home", "ctrl+shift+End", "ctrl+c")
        poll(lambda: self.session.clipboard()["text"] == "secret memo", 20, 0.2, "the memo text copied")
        time.sleep(1.5)
        self.assertNotIn("secret memo", self.history_texts(app))

        # Chosen from a tab open for the run: marked for the clipboard keepers.
        self.session.key("Escape", "Right")
        self.wait_panel(app, "unlock")
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        self.wait_rows(app, ["secret entry"])
        self.session.key("Return")
        clip = poll(lambda: (lambda c: c if c["text"] == "secret entry" else None)(self.session.clipboard()), 20, 0.2,
                    "the entry on the clipboard")
        for mark in PRIVACY_MARKS:
            self.assertEqual(clip["data"].get(mark), "00000000", mark)
        # From a plain tab: no marks.
        self.session.key("Right")
        self.wait_rows(app, ["plain entry"])
        self.session.key("Return")
        clip = poll(lambda: (lambda c: c if c["text"] == "plain entry" else None)(self.session.clipboard()), 20, 0.2,
                    "the plain entry on the clipboard")
        self.assertEqual([m for m in PRIVACY_MARKS if m in clip["formats"]], [])
        self.assertEqual(self.history_texts(app), ["plain history"])

    # -- 10: a text that begins like a sealed file --

    def test_texts_that_look_like_a_sealed_file_come_back_plain(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[])
        app.show_by_hotkey()
        self.copy_from_other_program("NMCENC_V2:copied text")
        # Escaped like any other line the reader would misread: only a seal begins with the magic.
        poll(lambda: app.read("history.ini") == BOM + b"\\NMCENC_V2:copied text\r\n", 20, 0.2, "the copy recorded")
        self.session.key("Right")
        self.wait_main(app, memo_shown, "the memo pad")
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.type_checked(lambda: self.memo_text(app), "NMCENC_V2:typed memo")
        poll(lambda: b"typed memo" in (app.read("templates.txt") or b""), 20, 0.2, "the memo saved")
        app.restart()
        app.show_by_hotkey()
        self.wait_rows(app, ["NMCENC_V2:copied text"])
        self.session.key("Right")
        poll(lambda: self.memo_text(app) == "NMCENC_V2:typed memo", 20, 0.2, "the memo back, not sealed")

    # -- 13: the end of the session --

    def test_end_of_session_writes_what_is_not_saved_yet(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("before")],
                       templates={"templates.txt": python_seal("memo", self.PASSWORD)})
        app.show_by_hotkey()
        # A save that failed while another program held the file waits in memory.
        holder = self.hold(app, "history.ini")
        self.copy_from_other_program("held back")
        failed = self.box_with("「history.ini」を保存できませんでした。")
        self.release(holder)
        self.answer_box(failed)
        # The last keystrokes of a memo pad open for the run wait for a pause in typing.
        self.session.key("Right")
        self.wait_panel(app, "unlock")
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.session.key("End")
        self.session.type_text(" end")
        poll(lambda: self.memo_text(app) == "memo end", 20, 0.05, "the last keys in the memo pad")
        self.session.end_session()
        app.stop()  # the session ends the process
        self.assertEqual([e.text for e in app.history()], ["held back", "before"])
        self.assertEqual(python_open(app.read("templates.txt"), self.PASSWORD), "memo end")

