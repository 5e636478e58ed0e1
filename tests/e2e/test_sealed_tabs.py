"""Sealed tabs as a user meets them: F7 and a password typed twice seal a tab, the password
panel opens it for the run ("一時解除") or for good ("暗号化解除"), F7 seals an opened tab
again, a restart finds the tab sealed, F8 opens the tab settings dialog or refuses it.

What the program writes is checked with an independent implementation of the envelope
(tests/interop/envelope_interop.py: hashlib and the cryptography package, nothing of the
program), and files sealed by that implementation are opened in the window.
"""

import os
import sys
import time

from harness import (BOM, TRAY_MENU, E2ETestCase, Entry, center, items_text, log, parse_items, poll, settings_text,
                     tray_menu_point, with_tabs)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop"))
import envelope_interop as envelope  # noqa: E402

MAGIC = b"NMCENC_V2:"

SEALED = "\U0001f512"  # lock mark in front of the name of a sealed tab
OPENED = "\U0001f513"  # ... of a tab open for the run

# Messages (text, caption).
DONE_SEALED = ("このタブを暗号化しました。", "完了")
DONE_OPEN_FOR_RUN = ("一時的に解除しました。終了時に自動で再暗号化されます。", "完了")
DONE_OPEN_FOR_GOOD = ("復号に成功し、暗号化を解除しました。", "完了")
ERR_WRONG_PASSWORD = ("パスワードが違うか、復号に失敗しました。", "エラー")
ERR_NO_PASSWORD = ("パスワードを入力してください。", "エラー")
ERR_MISMATCH = ("パスワードが一致しません。暗号化を中止します。", "エラー")
ERR_NOTHING_TO_SEAL = ("暗号化するデータ（アイテム）がありません。", "エラー")
ERR_HISTORY_SETTINGS = ("履歴タブの設定は変更出来ません。", "エラー")
ERR_SEALED_SETTINGS = ("暗号化中にタブの設定は変更出来ません。", "エラー")

# Control ids of the tool window.
LIST, MEMO = 1004, 998
PASSWORD, OPEN_FOR_RUN, OPEN_FOR_GOOD, CONFIRMATION, SEAL, CANCEL = 8001, 8002, 8003, 8004, 8005, 8006
UNLOCK_CONTROLS = (PASSWORD, OPEN_FOR_RUN, OPEN_FOR_GOOD)
SETUP_CONTROLS = (PASSWORD, CONFIRMATION, SEAL, CANCEL)
# Tab settings dialog.
NAME_EDIT, KIND_TEMPLATE, KIND_MEMO_LIST, KIND_MEMO_PAD = 40012, 40013, 40014, 40015

FILES = ["history.ini", "templates.txt", "templates2.txt", "templates3.txt"]


def python_seal(text, password):
    """A sealed file as the independent implementation writes it (the envelope, no BOM)."""
    return envelope.seal(text, password).encode("ascii")


def python_open(data, password):
    """The text sealed in a file, opened by the independent implementation; None when it
    does not open."""
    try:
        return envelope.open_envelope(data.decode("ascii"), password)
    except UnicodeDecodeError:
        return None


def panel_mode(main):
    """'unlock', 'setup' or 'hidden' from the visibility of the panel's controls; anything
    else is returned as the visible set, which no test expects."""
    shown = {c["id"] for c in main["controls"] if c["visible"] and c["id"] in SETUP_CONTROLS + UNLOCK_CONTROLS}
    if shown == set(UNLOCK_CONTROLS):
        return "unlock"
    if shown == set(SETUP_CONTROLS):
        return "setup"
    if not shown:
        return "hidden"
    return "visible: %s" % sorted(shown)


def label_before(main, ident):
    """Text of the label created right before control ident (the panel's first label sits
    before the password edit, the confirmation label before the confirmation edit)."""
    controls = main["controls"]
    index = [i for i, c in enumerate(controls) if c["id"] == ident][0]
    assert controls[index - 1]["class"] == "Static", controls[index - 1]
    return controls[index - 1]


class SealedTabTestCase(E2ETestCase):
    """Acting on the password panel and the message boxes of the tool window."""

    # -- observation --

    def wait_main(self, app, predicate, what, timeout=20):
        return poll(lambda: (lambda m: m if m and predicate(m) else None)(app.main()), timeout, 0.2, what)

    def wait_panel(self, app, mode, timeout=20):
        seen = ["no window"]

        def check():
            main = app.main()
            seen[0] = panel_mode(main) if main else "no window"
            return main if seen[0] == mode else None

        try:
            return poll(check, timeout, 0.2, "the password panel in mode %s" % mode)
        except AssertionError as e:
            raise AssertionError("%s; the panel was %s" % (e, seen[0])) from None

    def wait_focus(self, app, ident, timeout=20):
        return self.wait_main(app, lambda m: (m["focus"] or {}).get("id") == ident, "the focus on control %d" % ident,
                              timeout)

    def assert_unlock_panel(self, app, tab_name):
        """The sealed tab's panel: password edit and the two open buttons over the empty,
        disabled list, the tab's name with the lock mark in the list's header."""
        main = self.wait_panel(app, "unlock")
        controls = {c["id"]: c for c in main["controls"]}
        self.assertEqual(label_before(main, PASSWORD)["text"], "パスワードを入力して下さい。")
        self.assertTrue(label_before(main, PASSWORD)["visible"])
        self.assertEqual((controls[OPEN_FOR_RUN]["text"], controls[OPEN_FOR_GOOD]["text"]), ("一時解除", "暗号化解除"))
        self.assertTrue(all(controls[i]["enabled"] for i in UNLOCK_CONTROLS))
        self.assertEqual(main["list"]["count"], 0, "no rows of a sealed tab")
        self.assertFalse(main["list"]["enabled"])
        self.assertFalse(controls[MEMO]["visible"])
        self.assertEqual(main["list"]["columns"][1], SEALED + tab_name)
        return main

    def wait_box(self, message, timeout=30):
        """Waits for the message box that shows text; checks its caption, its owner (the
        tool window) and that no other box or dialog is open beside it."""
        box = super().wait_box(message, owner=self.session.state()["main"]["hwnd"], timeout=timeout)
        others = [b["title"] for b in self.message_boxes() if b["hwnd"] != box["hwnd"]]
        self.assertEqual(others, [], "other boxes besides %r" % (message,))
        return box

    def close_box(self, box):
        self.answer_box(box)

    def expect_box(self, message, timeout=30):
        """Waits for the message and closes it with OK."""
        self.close_box(self.wait_box(message, timeout=timeout))

    def assert_no_box(self, wait=1.0):
        """Nothing may pop up: gives the program time to (wrongly) show a box."""
        time.sleep(wait)
        self.assertEqual([(b["title"], [c["text"] for c in b["children"]]) for b in self.message_boxes()], [])

    # -- acting --

    def type_checked(self, read, text, delay=40):
        """Types text into the focused edit and waits until read() gives exactly that text,
        so that a lost key fails here and not as a wrong password later. xdotool types a
        character outside the keyboard map by remapping a spare key, and Wine loses about
        one such character in five at 40 ms a key: those texts go at 150 ms a key, and
        once more after emptying the edit should one still be lost (logged)."""
        if not text.isascii():
            delay = max(delay, 150)
        for attempt in range(2):
            self.session.type_text(text, delay=delay)
            try:
                poll(lambda: read() == text, 10 + len(text) * delay / 1000, 0.2,
                     "the edit to hold the %d typed characters" % len(text))
                return
            except AssertionError:
                if attempt or text.isascii():
                    raise
                log("typed %r, the edit holds %r: emptied and typed again" % (text, read()))
                self.session.key("End", "shift+Home", "BackSpace")
                poll(lambda: read() == "", 20, 0.2, "the edit emptied")

    def type_into(self, app, ident, text, delay=40):
        """Types text into control ident of the tool window, which must have the focus."""
        self.wait_focus(app, ident)
        self.type_checked(lambda: (app.control(ident) or {}).get("text"), text, delay)

    def clear_edit(self, app, ident):
        self.wait_focus(app, ident)
        self.session.key("End", "shift+Home", "BackSpace")
        poll(lambda: app.control(ident)["text"] == "", 20, 0.2, "control %d emptied" % ident)

    def begin_setup(self, app):
        self.session.key("F7")
        main = self.wait_panel(app, "setup")
        self.assertEqual(label_before(main, PASSWORD)["text"], "暗号化用パスワードを入力して下さい。")
        self.assertEqual(label_before(main, CONFIRMATION)["text"], "確認としてもう一度入力して下さい。")
        controls = {c["id"]: c for c in main["controls"]}
        self.assertEqual((controls[SEAL]["text"], controls[CANCEL]["text"]), ("暗号化実行", "キャンセル"))
        self.assertEqual((controls[PASSWORD]["text"], controls[CONFIRMATION]["text"]), ("", ""))
        self.assertEqual(main["list"]["count"], 0)
        self.assertFalse(main["list"]["enabled"])
        self.wait_focus(app, PASSWORD)
        return main

    def seal_by_keys(self, app, password, confirmation=None, delay=40):
        """F7, the password, Enter (moves to the confirmation), the confirmation, Enter."""
        self.begin_setup(app)
        self.type_into(app, PASSWORD, password, delay)
        self.session.key("Return")
        self.wait_focus(app, CONFIRMATION)
        self.assertEqual(panel_mode(app.main()), "setup", "Enter in the first edit only moves on")
        self.type_into(app, CONFIRMATION, password if confirmation is None else confirmation, delay)
        self.session.key("Return")

    def open_with(self, app, password, button=None, delay=40):
        """Types the password into the panel's edit and opens: Enter, or a click on button."""
        if app.control(PASSWORD)["text"]:
            self.clear_edit(app, PASSWORD)
        self.type_into(app, PASSWORD, password, delay)
        if button is None:
            self.session.key("Return")
        else:
            self.session.click(*center(app.control(button)["rect"]))

    def switch_right(self, app, predicate, what):
        """Right arrow (the list, the panel or the tab strip has the focus): the next tab."""
        self.session.key("Right")
        return self.wait_main(app, predicate, what)

    def tray_exit_point(self, app):
        """Where 終了 sits in the tray menu, which opens at the same place every time: the
        menu is opened, measured and closed with a click outside (StayVisible keeps the
        window)."""
        self.session.click(*app.tray_icon_point(), button=3)
        rect = poll(self.open_menus, 20, 0.2, "the tray menu")[0]["rect"]
        self.session.click(800, 400)
        poll(lambda: not self.open_menus(), 20, 0.2, "the tray menu closed")
        return tray_menu_point(rect, TRAY_MENU.index("終了"))

    def assert_unchanged(self, app, stamps):
        for name, stamp in stamps.items():
            self.assertEqual(app.file_stamp(name), stamp, "%s was rewritten" % name)


def header_is(name):
    return lambda m: m["list"]["columns"][1] == name


def memo_shown(m):
    return any(c["id"] == MEMO and c["visible"] for c in m["controls"])


class HistorySealTests(SealedTabTestCase):
    PASSWORD = "hist-Pass 42!"
    ENTRIES = [Entry("固定", locked=True), Entry("最初のエントリ"), Entry("two lines\nsecond line"), Entry("used", used=True)]
    ROWS = ["固定", "最初のエントリ", "two lines", "used"]
    # A capture goes to the top of the unlocked entries.
    CAPTURED = [ENTRIES[0], Entry("captured while open")] + ENTRIES[1:]

    def test_history_sealed_reopened_captures_sealed_relocked_and_opened_for_good(self):
        app = self.app(history=self.ENTRIES)
        app.show_by_hotkey()
        self.wait_main(app, lambda m: m["list"]["count"] == 4, "the four history rows")

        # Sealing: the file is one envelope that the independent implementation opens.
        self.seal_by_keys(app, self.PASSWORD)
        self.expect_box(DONE_SEALED)
        self.assert_unlock_panel(app, "履歴")
        data = app.read("history.ini")
        self.assertTrue(data.startswith(MAGIC), data[:20])
        for e in self.ENTRIES:
            self.assertNotIn(e.text.split("\n")[0].encode("utf-8"), data)
        text = python_open(data, self.PASSWORD)
        self.assertIsNotNone(text, "the sealed history.ini does not open with the password")
        self.assertIsNone(envelope.layout_problem(data.decode("ascii"), text))
        self.assertEqual(parse_items(text.encode("utf-8")), self.ENTRIES)
        self.assertIsNone(python_open(data, self.PASSWORD + "x"))

        # Sealed: a copy is not taken, nothing is written.
        stamp = app.file_stamp("history.ini")
        self.settle()
        self.session.xclip_copy("copied while sealed")
        poll(lambda: self.session.clipboard()["text"] == "copied while sealed", 20, 0.2, "the copy on the clipboard")
        time.sleep(1.5)
        self.assertEqual(app.file_stamp("history.ini"), stamp, "history.ini rewritten while sealed")

        # Restart: still sealed; F7 on a sealed tab does nothing; a wrong password is refused.
        app.restart()
        app.show_by_hotkey()
        self.assert_unlock_panel(app, "履歴")
        self.wait_focus(app, PASSWORD)
        self.session.key("F7")
        self.assert_no_box()
        self.assertEqual(panel_mode(app.main()), "unlock")
        self.open_with(app, "wrong password")
        self.expect_box(ERR_WRONG_PASSWORD)
        self.assert_unlock_panel(app, "履歴")
        self.wait_focus(app, PASSWORD)
        self.assertEqual(app.control(PASSWORD)["text"], "wrong password", "the edit keeps the typed text")
        self.assertEqual(app.file_stamp("history.ini"), stamp)

        # 一時解除: the entries are back (the copy made while sealed is not among them).
        self.open_with(app, self.PASSWORD, button=OPEN_FOR_RUN)
        self.expect_box(DONE_OPEN_FOR_RUN)
        main = self.wait_panel(app, "hidden")
        self.assertEqual(main["list"]["columns"][1], OPENED + "履歴")
        self.assertTrue(main["list"]["enabled"])
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == self.ROWS, "the opened entries in the list")
        self.assertEqual(app.file_stamp("history.ini"), stamp, "opening for the run writes nothing")

        # A copy is captured now, and history.ini is sealed again with it.
        self.settle()
        self.session.xclip_copy("captured while open")
        seen = {}

        def sealed_with_copy():
            data = app.read("history.ini")
            if data not in seen:
                seen[data] = python_open(data, self.PASSWORD) if data.startswith(MAGIC) else "PLAIN:%r" % data[:40]
            opened = seen[data]
            return opened if opened and "captured while open" in opened else None

        text = poll(sealed_with_copy, 30, 0.3, "history.ini sealed with the new copy")
        self.assertEqual(parse_items(text.encode("utf-8")), self.CAPTURED)
        self.assertTrue(all(d.startswith(MAGIC) for d in seen if d), "history.ini was written plain meanwhile")
        self.assertNotIn(b"captured while open", app.read("history.ini"))
        rows = [e.text.split("\n")[0] for e in self.CAPTURED]
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == rows, "the capture in the list")

        # F7 seals again at once: no message, no rows, nothing written.
        stamp = app.file_stamp("history.ini")
        self.session.key("F7")
        main = self.assert_unlock_panel(app, "履歴")
        self.assertEqual(app.control(PASSWORD)["text"], "")
        self.wait_focus(app, PASSWORD)
        self.assert_no_box()
        self.assertEqual(app.file_stamp("history.ini"), stamp, "F7 on an opened tab writes nothing")
        self.settle()
        self.session.xclip_copy("copied after relock")
        poll(lambda: self.session.clipboard()["text"] == "copied after relock", 20, 0.2, "the copy on the clipboard")
        time.sleep(1.5)
        self.assertEqual(app.file_stamp("history.ini"), stamp, "history.ini rewritten after relock")

        # 暗号化解除: the file is plain at once, while the message is still up.
        expected = self.CAPTURED
        self.open_with(app, self.PASSWORD, button=OPEN_FOR_GOOD)
        box = self.wait_box(DONE_OPEN_FOR_GOOD)
        data = app.read("history.ini")
        self.assertTrue(data.startswith(BOM), data[:20])
        self.assertEqual(parse_items(data), expected)
        self.close_box(box)
        main = self.wait_panel(app, "hidden")
        self.assertEqual(main["list"]["columns"][1], "履歴")
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == [e.text.split("\n")[0] for e in expected],
                       "the plain entries")

        # Plain for good: the next start shows the list, and copies are taken.
        app.restart()
        app.show_by_hotkey()
        main = self.wait_panel(app, "hidden")
        self.assertEqual(main["list"]["columns"][1], "履歴")
        self.assertEqual(main["list"]["count"], 5)
        self.settle()
        self.session.xclip_copy("after opening for good")
        top = [self.ENTRIES[0], Entry("after opening for good"), Entry("captured while open")]
        app.wait_history(lambda h: h[:3] == top, "a plain capture below the locked entry")
        self.assertTrue(app.read("history.ini").startswith(BOM))


class SetupRefusalTests(SealedTabTestCase):
    def test_empty_password_mismatch_cancel_and_empty_tab(self):
        app = self.app(history=[Entry("keep me")], templates={"templates.txt": BOM})
        app.show_by_hotkey()
        self.wait_main(app, lambda m: m["list"]["count"] == 1, "the history row")
        stamps = {name: app.file_stamp(name) for name in ("history.ini", "templates.txt")}

        # No password: the message, and setup stays open.
        self.begin_setup(app)
        self.session.key("Return")
        self.wait_focus(app, CONFIRMATION)
        self.session.key("Return")
        self.expect_box(ERR_NO_PASSWORD)
        self.wait_panel(app, "setup")
        self.wait_focus(app, PASSWORD)

        # Passwords that differ in the last character: setup ends, the tab stays plain.
        self.type_into(app, PASSWORD, "abc-1")
        self.session.key("Return")
        self.wait_focus(app, CONFIRMATION)
        self.type_into(app, CONFIRMATION, "abc-2")
        self.session.key("Return")
        self.expect_box(ERR_MISMATCH)
        main = self.wait_panel(app, "hidden")
        self.assertEqual(main["list"]["columns"][1], "履歴")
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["keep me"], "the entry back in the list")
        self.assert_unchanged(app, stamps)

        # キャンセル: setup ends.
        self.begin_setup(app)
        self.type_into(app, PASSWORD, "typed then cancelled")
        self.session.click(*center(app.control(CANCEL)["rect"]))
        self.wait_panel(app, "hidden")
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["keep me"], "the entry back in the list")
        self.assert_no_box(0.5)
        # Setup again starts with both edits empty (checked by begin_setup).
        self.begin_setup(app)
        self.session.click(*center(app.control(CANCEL)["rect"]))
        self.wait_panel(app, "hidden")

        # Another tab while setup is open: shown normally; back again, setup with empty edits.
        self.begin_setup(app)
        self.type_into(app, PASSWORD, "left behind")
        main = self.switch_right(app, header_is("定型文 1"), "tab 1")
        self.assertEqual(panel_mode(main), "hidden")
        self.session.key("Left")
        main = self.wait_panel(app, "setup")
        self.assertEqual(main["list"]["columns"][1], "履歴")
        self.assertEqual((app.control(PASSWORD)["text"], app.control(CONFIRMATION)["text"]), ("", ""))
        self.session.click(*center(app.control(CANCEL)["rect"]))
        self.wait_panel(app, "hidden")

        # A tab without entries cannot be sealed; no setup panel.
        self.switch_right(app, header_is("定型文 1"), "tab 1")
        self.session.key("F7")
        self.expect_box(ERR_NOTHING_TO_SEAL)
        self.assertEqual(panel_mode(app.main()), "hidden")
        self.assert_unchanged(app, stamps)


class MemoPadSealTests(SealedTabTestCase):
    PASSWORD = "memo-pw 7"
    TEXT = "メモの一行目\r\n二行目 second"
    TYPED = "abcdefghijklmnopqrstuvwxyz0123"  # 30 characters

    def open_memo(self, app, password):
        self.switch_right(app, header_is(SEALED + "メモ"), "the sealed memo pad tab")
        self.assert_unlock_panel(app, "メモ")
        self.open_with(app, password)
        self.expect_box(DONE_OPEN_FOR_RUN)
        main = self.wait_main(app, memo_shown, "the memo pad shown")
        self.assertEqual(panel_mode(main), "hidden")

    def test_memo_pad_sealed_opened_and_typing_sealed_up_to_the_end(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("h")], templates={"templates.txt": BOM + self.TEXT.encode()})
        app.show_by_hotkey()
        main = self.switch_right(app, memo_shown, "the memo pad of tab 1")
        self.assertEqual(app.control(MEMO)["text"], self.TEXT)

        # F7 on the memo pad: setup hides the memo pad; sealing stores its text bare.
        self.seal_by_keys(app, self.PASSWORD)
        self.expect_box(DONE_SEALED)
        self.assert_unlock_panel(app, "メモ")
        data = app.read("templates.txt")
        self.assertTrue(data.startswith(MAGIC), data[:20])
        self.assertEqual(python_open(data, self.PASSWORD), self.TEXT)

        # Next start: sealed; opened for the run, the memo pad shows the text.
        app.restart()
        app.show_by_hotkey()
        self.open_memo(app, self.PASSWORD)
        self.assertEqual(app.control(MEMO)["text"], self.TEXT)
        exit_x, exit_y = self.tray_exit_point(app)
        memo = app.control(MEMO)
        self.session.click(*center(memo["rect"]))
        self.wait_focus(app, MEMO)
        self.session.key("ctrl+End")

        # A short text typed, then a pause: sealed into the file while the program runs.
        self.session.type_text("+")
        seen = {}

        def sealed_text():
            data = app.read("templates.txt")
            if data not in seen:
                seen[data] = python_open(data, self.PASSWORD) if data.startswith(MAGIC) else "PLAIN:%r" % data[:40]
            return seen[data] if seen[data] == self.TEXT + "+" else None

        poll(sealed_text, 30, 0.3, "the typed character sealed into templates.txt")

        # 30 characters typed quickly, and 終了 chosen from the tray menu right after the last
        # one, within the pause after which typing is sealed: the seal at the end holds them. The
        # right click comes while the keys may still wait in the program's queue; they reach the
        # memo pad before the menu takes the keyboard.
        self.session.type_text(self.TYPED, delay=12)
        self.session.click(*app.tray_icon_point(), button=3)
        poll(self.open_menus, 20, 0.05, "the tray menu")
        self.session.click(exit_x, exit_y)
        code = app.proc.wait(timeout=30)
        self.session.forget(app.proc)
        self.assertEqual(code, 0)
        poll(lambda: self.session.state()["main"] is None, 20, 0.2, "the window gone")
        data = app.read("templates.txt")
        self.assertTrue(data.startswith(MAGIC), data[:40])
        self.assertEqual(python_open(data, self.PASSWORD), self.TEXT + "+" + self.TYPED)
        self.assertEqual([d[:40] for d in seen if not d.startswith(MAGIC)], [], "templates.txt was written plain")
        self.assertFalse(os.path.exists(app.path("templates.txt.tmp")))

        # And sealed again at the next start.
        app.start()
        app.show_by_hotkey()
        self.switch_right(app, header_is(SEALED + "メモ"), "the sealed memo pad tab")
        self.assert_unlock_panel(app, "メモ")


class TabSettingsTests(SealedTabTestCase):
    ENTRIES = [Entry("一つ目"), Entry("二つ目\n続きの行")]
    PASSWORD = "tab2 pass"

    def settings_dialog(self):
        dialog = self.wait_dialog("タブの設定")
        return dialog, {c["id"]: c for c in dialog["children"]}

    def click_and_wait_gone(self, dialog, control):
        self.session.click(*center(control["rect"]))
        poll(lambda: dialog["hwnd"] not in [b["hwnd"] for b in self.message_boxes()], 20, 0.2, "the dialog closed")

    def test_rename_convert_to_memo_pad_and_back_and_refusals(self):
        app = self.app(settings=settings_text(StayVisible=1), history=[Entry("h")],
                       templates={"templates.txt": self.ENTRIES,
                                  "templates2.txt": python_seal(items_text([Entry("sealed entry")]), self.PASSWORD)})
        app.show_by_hotkey()

        # The history tab cannot be configured.
        self.session.key("F8")
        self.expect_box(ERR_HISTORY_SETTINGS)
        self.assertEqual([b["title"] for b in self.message_boxes()], [])

        # Tab 1: rename, template list to memo pad.
        self.switch_right(app, header_is("定型文 1"), "tab 1")
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["一つ目", "二つ目"], "the two rows")
        self.session.key("F8")
        dialog, controls = self.settings_dialog()
        self.assertEqual(controls[NAME_EDIT]["text"], "定型文 1")
        self.assertEqual([controls[i]["checked"] for i in (KIND_TEMPLATE, KIND_MEMO_LIST, KIND_MEMO_PAD)], [1, 0, 0])
        self.session.click(*center(controls[NAME_EDIT]["rect"]))
        self.session.key("End", "shift+Home", "BackSpace")
        self.type_checked(lambda: self.settings_dialog()[1][NAME_EDIT]["text"], "ノート A")
        self.session.click(*center(controls[KIND_MEMO_PAD]["rect"]))
        poll(lambda: self.settings_dialog()[1][KIND_MEMO_PAD]["checked"] == 1, 20, 0.2, "メモパッド chosen")
        self.click_and_wait_gone(dialog, controls[1])  # OK

        app.wait_setting("Tab1", "ノート A")
        app.wait_setting("TabType1", 2)
        main = self.wait_main(app, memo_shown, "the memo pad shown for tab 1")
        memo_text = app.control(MEMO)["text"]
        self.assertEqual(parse_items(memo_text.encode("utf-8")), self.ENTRIES)
        self.assertIn("一つ目\r\n---\r\n二つ目\r\n続きの行", memo_text)
        data = poll(lambda: (lambda d: d if d and d.startswith(BOM) and d[3:].decode("utf-8") == memo_text else None)(
            app.read("templates.txt")), 20, 0.2, "templates.txt holding the memo text after a BOM")
        self.assertEqual(parse_items(data), self.ENTRIES)

        # Cancel changes nothing.
        file_stamp = app.file_stamp("templates.txt")
        self.session.key("F8")
        dialog, controls = self.settings_dialog()
        self.assertEqual(controls[NAME_EDIT]["text"], "ノート A")
        self.assertEqual([controls[i]["checked"] for i in (KIND_TEMPLATE, KIND_MEMO_LIST, KIND_MEMO_PAD)], [0, 0, 1])
        self.session.click(*center(controls[KIND_MEMO_LIST]["rect"]))
        poll(lambda: self.settings_dialog()[1][KIND_MEMO_LIST]["checked"] == 1, 20, 0.2, "メモリスト chosen")
        self.click_and_wait_gone(dialog, controls[2])  # キャンセル
        self.assertTrue(app.visible())
        time.sleep(0.5)
        self.assertEqual(app.file_stamp("templates.txt"), file_stamp)
        self.assertEqual(app.settings()["TabType1"], "2")
        self.assertEqual(app.settings()["Tab1"], "ノート A")
        self.assertTrue(memo_shown(app.main()))

        # Back to a template list: the same two entries.
        self.session.key("F8")
        dialog, controls = self.settings_dialog()
        self.session.click(*center(controls[KIND_TEMPLATE]["rect"]))
        poll(lambda: self.settings_dialog()[1][KIND_TEMPLATE]["checked"] == 1, 20, 0.2, "定型文 chosen")
        self.click_and_wait_gone(dialog, controls[1])  # OK
        app.wait_setting("TabType1", 0)
        self.assertEqual(app.settings()["Tab1"], "ノート A")
        poll(lambda: (lambda d: d is not None and parse_items(d) == self.ENTRIES and b"\r\n---\r\n" in d)(
            app.read("templates.txt")), 20, 0.2, "templates.txt holding the two entries again")
        main = self.wait_main(app, lambda m: not memo_shown(m) and [r[1] for r in m["list"]["rows"]] ==
                              ["一つ目", "二つ目"], "the two rows back")
        self.assertEqual(main["list"]["columns"][1], "ノート A")

        # Tab 2 is sealed: refused; and refused as well while it is open for the run.
        sealed_stamp = app.file_stamp("templates2.txt")
        self.switch_right(app, header_is(SEALED + "定型文 2"), "the sealed tab 2")
        self.session.key("F8")
        self.expect_box(ERR_SEALED_SETTINGS)
        self.assertEqual([b["title"] for b in self.message_boxes()], [])
        self.open_with(app, self.PASSWORD)
        self.expect_box(DONE_OPEN_FOR_RUN)
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["sealed entry"], "the opened entry")
        self.session.key("F8")
        self.expect_box(ERR_SEALED_SETTINGS)
        self.assertEqual([b["title"] for b in self.message_boxes()], [])
        self.assertEqual(app.file_stamp("templates2.txt"), sealed_stamp)


class TabStripMenuTests(SealedTabTestCase):
    PASSWORD = "strip menu pw"

    def tab_point(self, app, index):
        """Centre of tab index in the tab strip (four equal tabs, the last one takes the rest)."""
        l, t, r, b = app.control(6001)["rect"]
        c = (r - l) // 4
        return l + index * c + c // 2, (t + b) // 2

    def choose_from_tab_menu(self, app, index, item, count=2):
        """Right click on tab index, then a click on menu item (0: このタブを暗号化... or
        暗号化状態に戻す, 1: タブの設定). Returns whether the menu was still open afterwards
        (a greyed item keeps it), after closing it with a click outside."""
        self.session.click(*self.tab_point(app, index), button=3)
        l, t, r, b = poll(self.open_menus, 20, 0.2, "the tab menu")[0]["rect"]
        h = (b - t - 6) / count  # 3-pixel frame
        self.session.click((l + r) // 2, int(t + 3 + h * item + h / 2))
        time.sleep(0.5)
        still_open = bool(self.open_menus())
        if still_open:
            self.session.click(800, 400)  # outside: the menu closes (StayVisible keeps the window)
            poll(lambda: not self.open_menus(), 20, 0.2, "the tab menu closed")
        return still_open

    def test_tab_menu_seals_relocks_and_greys_what_is_refused(self):
        entries = [Entry("menu one"), Entry("menu two")]
        app = self.app(settings=settings_text(StayVisible=1), history=[Entry("h")],
                       templates={"templates.txt": entries})
        app.show_by_hotkey()

        # このタブを暗号化... on tab 1 (not the current tab): setup for tab 1.
        self.choose_from_tab_menu(app, 1, 0)
        main = self.wait_panel(app, "setup")
        self.assertEqual(main["list"]["columns"][1], "定型文 1")
        self.wait_focus(app, PASSWORD)
        self.type_into(app, PASSWORD, self.PASSWORD)
        self.session.key("Return")
        self.type_into(app, CONFIRMATION, self.PASSWORD)
        self.session.click(*center(app.control(SEAL)["rect"]))  # 暗号化実行
        self.expect_box(DONE_SEALED)
        self.assert_unlock_panel(app, "定型文 1")
        stamp = app.file_stamp("templates.txt")
        self.assertEqual(parse_items(python_open(stamp[0], self.PASSWORD).encode("utf-8")), entries)

        # Sealed: both items are greyed, choosing them does nothing.
        for item in (0, 1):
            with self.subTest(item=item):
                self.choose_from_tab_menu(app, 1, item)
                self.assert_no_box(0.5)
                self.assert_unlock_panel(app, "定型文 1")

        # Open for the run: 暗号化状態に戻す seals it again at once; タブの設定 is greyed.
        self.open_with(app, self.PASSWORD)
        self.expect_box(DONE_OPEN_FOR_RUN)
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["menu one", "menu two"], "the entries")
        self.choose_from_tab_menu(app, 1, 1)
        self.assert_no_box(0.5)
        self.assertEqual(self.wait_panel(app, "hidden")["list"]["columns"][1], OPENED + "定型文 1")
        self.choose_from_tab_menu(app, 1, 0)
        self.assert_unlock_panel(app, "定型文 1")
        self.assert_no_box(0.5)
        self.assertEqual(app.file_stamp("templates.txt"), stamp)

        # History tab: タブの設定 greyed. An empty tab: nothing to seal; its settings open.
        self.choose_from_tab_menu(app, 0, 1)
        self.assert_no_box(0.5)
        self.choose_from_tab_menu(app, 2, 0)
        self.expect_box(ERR_NOTHING_TO_SEAL)
        self.choose_from_tab_menu(app, 2, 1)
        dialog = poll(lambda: [b for b in self.message_boxes() if b["title"] == "タブの設定"], 20, 0.2, "the dialog")[0]
        controls = {c["id"]: c for c in dialog["children"]}
        self.assertEqual(controls[NAME_EDIT]["text"], "定型文 2")
        self.session.click(*center(controls[2]["rect"]))  # キャンセル
        poll(lambda: not self.message_boxes(), 20, 0.2, "the dialog closed")


class LongPasswordTests(SealedTabTestCase):
    LONG = "".join("%03d-pass_!" % i for i in range(30))  # 300 characters, each run of 10 different

    def test_300_character_password_uses_its_first_255(self):
        self.assertEqual(len(self.LONG), 300)
        first = self.LONG[:255]
        entries = [Entry("long one"), Entry("long two")]
        app = self.app(settings=settings_text(StayVisible=1), history=[Entry("h")],
                       templates={"templates.txt": entries})
        app.show_by_hotkey()
        self.switch_right(app, header_is("定型文 1"), "tab 1")
        self.seal_by_keys(app, self.LONG, delay=8)
        self.expect_box(DONE_SEALED)
        self.assert_unlock_panel(app, "定型文 1")
        data = app.read("templates.txt")
        self.assertEqual(parse_items(python_open(data, first).encode("utf-8")), entries)
        self.assertIsNone(python_open(data, self.LONG), "the characters after the 255th took part")

        # The first 255 characters open it.
        self.open_with(app, first, delay=8)
        self.expect_box(DONE_OPEN_FOR_RUN)
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["long one", "long two"], "the entries")

        # So do all 300.
        self.session.key("F7")
        self.assert_unlock_panel(app, "定型文 1")
        self.open_with(app, self.LONG, delay=8)
        self.expect_box(DONE_OPEN_FOR_RUN)
        self.wait_main(app, lambda m: [r[1] for r in m["list"]["rows"]] == ["long one", "long two"], "the entries")
        self.assertEqual(app.read("templates.txt"), data)


class BadFileTests(SealedTabTestCase):
    PASSWORD = "right-pass"

    def envelope_of(self, entries):
        return envelope.seal(items_text(entries), self.PASSWORD)

    def check_tab(self, app, index, name, password, message):
        """Tab index (reached with Right from the tab before) shows the unlock panel;
        the password gives message."""
        if index:
            self.switch_right(app, header_is(SEALED + name), "the sealed tab %d" % index)
        self.assert_unlock_panel(app, name)
        self.open_with(app, password)
        self.expect_box(message)

    def test_damaged_sealed_files_stay_sealed_and_untouched(self):
        good = self.envelope_of([Entry("x"), Entry("y")])
        magic, rest = good[:10], good[10:]
        salt, iv, ct, tag = rest.split(":")
        flipped = ct[:10] + ("A" if ct[10] != "A" else "B") + ct[11:]
        files = {
            "history.ini": (magic + ":".join([salt, iv, flipped, tag])).encode(),  # one ciphertext character changed
            "templates.txt": good[: len(good) // 2].encode(),  # cut in the middle
            "templates2.txt": MAGIC,  # nothing after the prefix
            "templates3.txt": (magic + ":".join([iv, salt, ct, tag])).encode(),  # salt and IV swapped
        }
        app = self.app(settings=settings_text(StayVisible=1), start=False)
        for name, data in files.items():
            app.write(name, data)
        app.start()
        stamps = {name: app.file_stamp(name) for name in files}
        app.show_by_hotkey()

        # No password: its own message.
        self.assert_unlock_panel(app, "履歴")
        self.wait_focus(app, PASSWORD)
        self.session.key("Return")
        self.expect_box(ERR_NO_PASSWORD)
        self.assertEqual(panel_mode(app.main()), "unlock")

        # The right password on each damaged file: refused, the tab stays sealed.
        for index, name in enumerate(["履歴", "定型文 1", "定型文 2", "定型文 3"]):
            with self.subTest(file=FILES[index]):
                self.check_tab(app, index, name, self.PASSWORD, ERR_WRONG_PASSWORD)
                self.assert_unlock_panel(app, name)

        # The file of the sealed tab 3 deleted meanwhile: opening does nothing at all.
        os.unlink(app.path("templates3.txt"))
        del files["templates3.txt"], stamps["templates3.txt"]
        self.open_with(app, self.PASSWORD)
        self.assert_no_box()
        self.assertEqual(panel_mode(app.main()), "unlock")

        # The sealed history takes no copy; nothing is written, not even at the end.
        self.settle()
        self.session.xclip_copy("not for a damaged history")
        poll(lambda: self.session.clipboard()["text"] == "not for a damaged history", 20, 0.2, "the copy")
        time.sleep(1.5)
        self.assert_unchanged(app, stamps)
        self.assertEqual(app.exit_by_tray_menu(), 0)
        self.assertEqual({name: app.read(name) for name in files}, files)
        self.assertFalse(os.path.exists(app.path("templates3.txt")), "a sealed tab was saved at the end")
        self.assertEqual([n for n in os.listdir(app.dir) if n.endswith(".tmp")], [])
