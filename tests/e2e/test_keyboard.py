"""Keys go where the user sees them, and a paste never holds up the desktop: the keys of a
memo-pad tab (Delete, Enter, the arrows) stay on that tab, typing letters in a list finds the
row that starts with them, a stale clipboard is never pasted, a paste reaches notepad with
"stay visible" on, the hotkey and the tray icon bring an open dialog forward instead of hiding
the window under it, the tray icon shows the window beside the user's work without taking
over, and the window follows a change of its monitor's scale."""

import os
import time

from harness import BOM, Config, Entry, center, kill, poll, settings_text, with_tabs
import test_sealed_tabs
from test_entries import EntryTestCase

MEMO, STRIP, LIST = 998, 6001, 1004


class KeyboardTests(EntryTestCase):
    tab_point = test_sealed_tabs.TabStripMenuTests.tab_point

    def focus_id(self, app):
        return ((app.main() or {}).get("focus") or {}).get("id")

    def wait_focus_on(self, app, ident, what):
        return poll(lambda: self.focus_id(app) == ident, 20, 0.2, "the focus on %s (have %r)" % (what, self.focus_id(app)))

    def hold_clipboard(self):
        """Another program holds the clipboard open until it is ended (kill)."""
        out = os.path.join(self.session.work, "clipboard-%d.txt" % time.monotonic_ns())
        with open(out, "wb") as f:
            p = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "hold-clipboard", "600000"], stdout=f)
        self.programs.append(p)
        self.helper_logs.append(out)
        poll(lambda: b'"held":true' in open(out, "rb").read(), 30, 0.2, "the clipboard held by another program")
        return p

    def foreground(self):
        return self.session.state()["foreground"] or {}

    # -- 1, 2, 3: a memo-pad tab keeps its keys --

    def test_keys_on_a_memo_pad_tab_stay_on_it(self):
        settings = with_tabs(settings_text(), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("h1"), Entry("h2")],
                       templates={"templates.txt": BOM + b"memo text"})
        app.show_by_hotkey()
        self.wait_rows(app, ["h1", "h2"])
        # A click on the memo pad's tab leaves the keys on the strip: Enter there is no command.
        self.session.click(*self.tab_point(app, 1))
        self.wait_focus_on(app, STRIP, "the tab strip after a click on it")
        self.session.key("Return")
        time.sleep(1)
        self.assertEqual(app.settings()["AlwaysOnTop"], "0", "Enter on the strip is not F1")
        # So does an arrow switch, and the next arrow goes on switching.
        self.session.key("Right")
        self.wait_main(app, lambda m: m["list"]["columns"][1] == "定型文 2", "tab 2 after Right")
        self.session.key("Left")
        self.wait_focus_on(app, STRIP, "the tab strip after Left onto the memo pad")
        self.session.key("Left")
        self.wait_main(app, lambda m: m["list"]["columns"][1] == "履歴", "the history after a second Left")
        self.session.key("Right")
        self.wait_focus_on(app, STRIP, "the tab strip after Right onto the memo pad")
        self.assertEqual(app.main()["list"]["count"], 0, "the hidden list holds no rows")
        # Hidden and shown again on the memo pad: the keys go into the memo.
        self.session.key("Escape")
        app.wait_visible(False)
        app.show_by_hotkey()
        self.wait_focus_on(app, MEMO, "the memo pad on show")
        self.session.key("Delete")
        self.assert_no_box(1.0)
        poll(lambda: app.control(MEMO)["text"] == "emo text", 20, 0.2, "Delete acting in the memo pad")
        poll(lambda: app.read("templates.txt") == BOM + b"emo text", 20, 0.2, "the memo saved")

    # -- 4: type-ahead --

    def test_typing_letters_selects_the_row_that_starts_with_them(self):
        app = self.app(history=[Entry("apple"), Entry("Banana"), Entry("cherry"), Entry("blueberry")])
        app.show_by_hotkey()
        self.wait_rows(app, ["apple", "Banana", "cherry", "blueberry"])
        self.session.type_text("bl")
        poll(lambda: app.main()["list"]["selected"] == 3, 20, 0.2, "blueberry selected by 'bl'")
        time.sleep(1.5)  # the list starts a new search after a pause
        self.session.type_text("z")
        time.sleep(1.0)
        self.assertEqual(app.main()["list"]["selected"], 3, "no row starts with z: the selection stays")
        time.sleep(1.5)
        self.session.type_text("B")
        poll(lambda: app.main()["list"]["selected"] == 1, 20, 0.2, "Banana selected by 'B', case ignored")

    # -- 5 and 6: the paste --

    def test_a_stale_clipboard_is_never_pasted(self):
        # What another program copied before (a password, say), not recorded by the program.
        app = self.app(settings=dict(AutoPaste=1), history=[Entry("fresh entry")], start=False)
        self.session.clipcopy("stale secret")
        app.start()
        self.notepad()
        self.session.type_text("n:")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:", 20, 0.2, "typed text in notepad")
        app.show_by_hotkey()
        holder = self.hold_clipboard()
        self.session.key("Return")
        time.sleep(1.5)  # time enough to (wrongly) paste
        self.assertEqual(self.session.state()["notepad"]["text"], "n:", "nothing pasted")
        self.assertTrue(app.visible(), "the window stays as it was")
        kill(holder)  # the clipboard is free again once its holder has ended
        self.session.key("Return")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:fresh entry", 20, 0.2, "pasted once it is free")

    def test_paste_reaches_notepad_with_stay_visible(self):
        app = self.app(settings=dict(AutoPaste=1, StayVisible=1), history=[Entry("one"), Entry("two")])
        self.notepad()
        self.session.type_text("s:")
        poll(lambda: self.session.state()["notepad"]["text"] == "s:", 20, 0.2, "typed text in notepad")
        app.show_by_hotkey()
        self.session.key("Down", "Return")
        poll(lambda: self.session.state()["notepad"]["text"] == "s:two", 20, 0.2, "two pasted into notepad")
        main = app.wait_visible(True)
        self.assertEqual(main["list"]["selected"], 0, "the selection follows the pasted entry to the top")

    # -- 7 and 8: the hotkey and the tray icon --

    def test_hotkey_and_tray_icon_bring_an_open_dialog_forward(self):
        app = self.app(settings=dict(StayVisible=1), history=[Entry("x")])
        self.notepad()
        # The tray icon with "stay visible": the window comes up, notepad keeps the keyboard.
        self.session.click(*app.tray_icon_point())
        app.wait_visible(True)
        time.sleep(0.5)
        self.assertNotEqual(self.foreground().get("class"), "NomaclipWnd")
        # A dialog of ours open behind notepad: the hotkey and the icon bring it forward.
        app.hotkey()  # hides the window
        app.wait_visible(False)
        app.hotkey()
        poll(lambda: self.foreground().get("class") == "NomaclipWnd", 20, 0.2, "the tool window in front")
        self.session.key("ctrl+e")
        dialog, _ = self.edit_dialog("履歴の編集")
        # A click on notepad beside the dialog and the tool window.
        notepad = self.session.state()["notepad"]["rect"]
        beside = ((max(dialog["rect"][2], app.main()["rect"][2]) + notepad[2]) // 2, (notepad[1] + notepad[3]) // 2)
        self.session.click(*beside)
        poll(lambda: self.foreground().get("class") == "Notepad", 20, 0.2, "notepad in front")
        app.hotkey()
        poll(lambda: self.foreground().get("hwnd") == dialog["hwnd"], 20, 0.2, "the dialog brought forward")
        self.assertTrue(app.visible())
        self.session.click(*beside)
        poll(lambda: self.foreground().get("class") == "Notepad", 20, 0.2, "notepad in front")
        self.session.click(*app.tray_icon_point())
        poll(lambda: self.foreground().get("hwnd") == dialog["hwnd"], 20, 0.2, "the dialog brought forward again")
        self.assertTrue(app.visible())

    # -- 9: a monitor of another scale --

    def test_the_window_follows_a_change_of_scale(self):
        app = self.app(history=[Entry("row one"), Entry("row two")])
        before = app.show_by_hotkey()

        def sizes(main):
            tb = main["toolbar"]["rect"]
            strip = app.control(STRIP)["rect"]
            row = main["list"]["rows"][0][2]
            return tb[3] - tb[1], strip[3] - strip[1], row[3] - row[1]

        toolbar96, strip96, row96 = sizes(before)
        sent = self.session.probe("dpi-changed", "144")
        self.assertTrue(sent["sent"])
        main = poll(lambda: (lambda m: m if m["rect"] == sent["rect"] else None)(app.main()), 20, 0.2,
                    "the window at the suggested rectangle")
        toolbar144, strip144, row144 = sizes(main)
        self.assertGreaterEqual(toolbar144, 48)
        self.assertEqual(strip144, strip96 * 3 // 2)
        self.assertGreater(row144, row96, "the list font grew")
        self.session.screenshot(os.path.join(Config.artifacts, "window-dpi-changed-144.png"), main["rect"])
        # And back.
        self.session.probe("dpi-changed", "96")
        main = poll(lambda: (lambda m: m if sizes(m)[0] == toolbar96 else None)(app.main()), 20, 0.2,
                    "the toolbar at 96 dpi again")
        self.assertEqual(sizes(main), (toolbar96, strip96, row96))
