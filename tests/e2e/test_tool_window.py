"""nomaclip.exe as a user meets it: copies from other programs land in the history, the
hotkey, Esc, clicks and the screen edge show and hide the tool window, choosing an entry
puts it back on the clipboard (and pastes it into notepad), the F-keys switch options, a
second start is refused, the tray menu ends the program with everything saved."""

import os
import time

from harness import (BOM, MOD_ALT, MOD_CONTROL, MOD_SHIFT, SCREEN_H, SCREEN_W, TRAY_MENU, Config, E2ETestCase, Entry,
                     center, items_text, kill, log, poll, tray_menu_point)

LOCK = "\U0001f512"
CHECK = "\u2714"


class CaptureTests(E2ETestCase):
    def test_copied_text_lands_in_history_file_and_list(self):
        app = self.app(history=[Entry("古いエントリ")])
        self.settle()
        first = "コピーしたテキスト one"
        self.session.xclip_copy(first)
        history = app.wait_history(lambda h: h[:1] == [Entry(first)], "the copy at the top")
        self.assertEqual(history, [Entry(first), Entry("古いエントリ")])
        data = app.read("history.ini")
        self.assertTrue(data.startswith(BOM), data[:8])
        self.assertIn("コピーしたテキスト one\r\n---\r\n".encode(), data)

        second = "二行のテキスト\nsecond line"
        self.session.xclip_copy(second)
        history = app.wait_history(lambda h: h[:1] == [Entry(second)], "the second copy at the top")
        self.assertEqual(history, [Entry(second), Entry(first), Entry("古いエントリ")])

        app.show_by_hotkey()
        main = poll(lambda: (lambda m: m if m["list"]["count"] == 3 else None)(app.main()), 20, 0.2, "three rows")
        # Column 1 shows the first line only; column 0 has no mark for unused entries.
        self.assertEqual([(r[0], r[1]) for r in app.rows()],
                         [("", "二行のテキスト"), ("", first), ("", "古いエントリ")])
        self.assertEqual(main["list"]["selected"], 0)
        self.assertEqual(main["list"]["focused"], 0)

    def test_copy_while_window_is_shown_refreshes_the_list(self):
        app = self.app(history=[Entry("a")], settings=dict(StayVisible=1))
        app.show_by_hotkey()
        self.settle()
        self.session.xclip_copy("見えている間のコピー")
        poll(lambda: app.texts() == ["見えている間のコピー", "a"], 20, 0.2, "the list refreshed")

    def test_same_text_copied_twice_is_added_once(self):
        app = self.app(history=[Entry("older")])
        self.settle()
        self.session.xclip_copy("twice")
        app.wait_history(lambda h: h == [Entry("twice"), Entry("older")], "the first copy")
        stamp = app.file_stamp("history.ini")
        # The second copy comes from a Windows program, so it is certainly a new clipboard
        # change; the history is written again after it even when nothing changed.
        self.session.clipcopy("twice")
        poll(lambda: app.file_stamp("history.ini") != stamp, 20, 0.2, "history.ini written after the second copy")
        self.assertEqual(app.history(), [Entry("twice"), Entry("older")])
        self.session.xclip_copy("after")
        history = app.wait_history(lambda h: h[:1] == [Entry("after")], "a third, different copy")
        self.assertEqual(history, [Entry("after"), Entry("twice"), Entry("older")])

    def test_copies_marked_private_are_not_captured(self):
        app = self.app(history=[Entry("existing")])
        self.settle()
        markers = [["--exclude-monitor"], ["--viewer-ignore"], ["--history-dword", "0"], ["--history-malformed"]]
        for i, flags in enumerate(markers):
            with self.subTest(markers=flags):
                stamp = app.file_stamp("history.ini")
                self.session.clipcopy("secret %d" % i, *flags)
                self.assertEqual(self.session.clipboard()["text"], "secret %d" % i)
                # Give the program ample time to (wrongly) take it; nothing may be written.
                time.sleep(1.5)
                self.assertEqual(app.file_stamp("history.ini"), stamp, "history.ini rewritten for a private copy")
                # A copy that allows the history is taken, and is taken next to the old ones.
                allowed = "allowed %d" % i
                self.session.clipcopy(allowed, "--history-dword", "1")
                history = app.wait_history(lambda h: h[:1] == [Entry(allowed)], "the allowed copy")
                self.assertEqual([e.text for e in history if e.text.startswith("secret")], [])
        self.assertEqual([e.text for e in app.history()],
                         ["allowed 3", "allowed 2", "allowed 1", "allowed 0", "existing"])


class RobustnessTests(E2ETestCase):
    def test_absurd_settings_still_give_a_usable_window_on_screen(self):
        settings = ("\ufeff[Window]\r\nRect=999999,-999999,-50,0\r\n[Options]\r\nHistoryLimit=0\r\n"
                    "MaxHistory=2147483647\r\nHotkeyMod=3\r\nHotkeyKey=999\r\nEnabledArea=77\r\n").encode()
        app = self.app(history=[Entry("one"), Entry("two")], start=False)
        app.write("settings.ini", settings)
        app.start()
        self.session.click(*app.tray_icon_point())
        main = app.wait_visible(True)
        l, t, r, b = main["rect"]
        self.assertTrue(0 <= l and 0 <= t and r <= SCREEN_W and b <= SCREEN_H, main["rect"])
        self.assertGreaterEqual(r - l, 320)
        self.assertGreaterEqual(b - t, 440)
        # HistoryLimit 0 shows no rows, but copying still records.
        self.assertEqual(app.rows(), [])
        self.session.key("Escape")
        app.wait_visible(False)
        self.settle()
        self.session.xclip_copy("still recording")
        app.wait_history(lambda h: h[:1] == [Entry("still recording")], "the copy")

    def test_missing_pictures_and_a_taken_hotkey_do_no_harm(self):
        app = self.app(history=[Entry("x")], settings=dict(HotkeyMod=MOD_CONTROL | MOD_ALT, HotkeyKey=0x56),
                       start=False)
        app.remove_pictures()
        # Another program holds the same hotkey already.
        holder = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "hold-hotkey",
                                     str(MOD_CONTROL | MOD_ALT), str(0x56)])
        try:
            poll(lambda: not self.session.probe("hotkey-free", MOD_CONTROL | MOD_ALT, 0x56)["free"], 20, 0.2,
                 "the other program holding the hotkey")
            app.start()
            # Said once at start: the toolbar icons and the lock pictures are missing.
            box = poll(lambda: ([b for b in self.message_boxes()
                                 if "img フォルダー" in " ".join(c["text"] for c in b["children"])] or [None])[0],
                       20, 0.2, "the warning about the missing img folder")
            self.answer_box(box)
            self.session.click(*app.tray_icon_point())
            main = app.wait_visible(True)
            self.assertEqual(main["list"]["count"], 1)
            self.assertEqual(len(main["toolbar"]["buttons"]), 10)
        finally:
            kill(holder)
            self.session.forget(holder)


class ShowHideTests(E2ETestCase):
    def test_hotkey_from_settings_shows_and_hides(self):
        app = self.app(settings=dict(HotkeyMod=MOD_CONTROL | MOD_SHIFT, HotkeyKey=0x4B),
                       history=[Entry("eins"), Entry("zwei")])
        self.assertFalse(app.visible(), "the program starts hidden")
        self.session.key("ctrl+shift+k")
        main = app.wait_visible(True)
        self.assertEqual(self.session.state()["foreground"]["class"], "NomaclipWnd")
        main = poll(lambda: (lambda m: m if m["focus"] and m["focus"]["id"] == 1004 else None)(app.main()), 20, 0.2,
                    "the list focused")
        self.assertEqual((main["list"]["selected"], main["list"]["focused"]), (0, 0), "row 0 selected and focused")
        self.assertEqual(main["rect"], [0, 0, 350, 480])
        self.assertEqual((main["title"], main["toolwindow"]), ("Nomaclip", True))
        self.session.key("ctrl+shift+k")
        app.wait_visible(False)
        # Another key combination (the usual default) is not the hotkey: after it, the real
        # hotkey shows the window, which it would hide had the first one shown it.
        self.session.key("ctrl+alt+v")
        self.session.key("ctrl+shift+k")
        app.wait_visible(True)

    def test_first_start_without_settings(self):
        app = self.app(settings=False, history=[Entry("x")])
        # The first start shows the window by itself; there is no hotkey: Ctrl+Alt+V does nothing.
        main = app.wait_visible(True)
        self.session.key("ctrl+alt+v")
        time.sleep(1)
        self.assertTrue(app.visible())
        self.assertEqual(main["rect"], [0, 0, 350, 480])
        # Esc saves the settings as it hides: every default, no hotkey, no edge area.
        self.session.key("Escape")
        app.wait_visible(False)
        settings = poll(lambda: app.settings(), 20, 0.2, "settings.ini written")
        expected = {"Rect": "0,0,350,480", "AlwaysOnTop": "0", "StayVisible": "0", "PauseHistory": "0",
                    "HistoryLimit": "20", "MaxHistory": "100", "EnabledArea": "-1", "RemoveDuplicateHistory": "0",
                    "MoveToTopOnCopy": "1", "AutoPaste": "0", "HotkeyMod": "0", "HotkeyKey": "0"}
        self.assertEqual({k: settings.get(k) for k in expected}, expected)
        self.assertTrue(app.read("settings.ini").startswith(BOM + b"[Window]\r\nRect=0,0,350,480\r\n\r\n[Options]\r\n"))

    def test_moved_window_keeps_its_place(self):
        app = self.app(history=[Entry("x")], settings=dict(StayVisible=1))
        main = app.show_by_hotkey()
        l, t, r, b = main["rect"]
        # Dragged by the caption, about 200 pixels right and 150 down: wherever Wine's move ends
        # (a busy machine lets it lag a step behind the pointer), that is the place kept.
        x, y = l + 120, t + 10
        self.session.xdo("mousemove", str(x), str(y), "mousedown", "1")
        for step in range(1, 11):
            self.session.xdo("mousemove", str(x + 20 * step), str(y + 15 * step))
        self.session.xdo("mouseup", "1")
        main = poll(lambda: (lambda m: m if not m["moving"] and m["rect"][0] >= l + 100 else None)(app.main()), 20,
                    0.2, "the window moved")
        left, top, right, bottom = main["rect"]
        self.assertEqual((right - left, bottom - top), (r - l, b - t), "moved, not resized")
        app.wait_setting("Rect", "%d,%d,%d,%d" % (left, top, r - l, b - t))
        app.restart()
        main = app.show_by_hotkey()
        self.assertEqual(main["rect"], [left, top, right, bottom])

    def test_window_opens_at_the_saved_rectangle(self):
        app = self.app(settings=dict(Rect=(200, 100, 400, 520)), history=[Entry("x")])
        main = app.show_by_hotkey()
        self.assertEqual(main["rect"], [200, 100, 600, 620])

    def test_escape_hides(self):
        app = self.app(history=[Entry("x")])
        app.show_by_hotkey()
        self.session.key("Escape")
        app.wait_visible(False)

    def test_click_outside_hides(self):
        app = self.app(history=[Entry("x")])
        app.show_by_hotkey()
        self.session.click(800, 400)
        app.wait_visible(False)

    def test_click_outside_keeps_window_when_stay_visible(self):
        app = self.app(history=[Entry("x")], settings=dict(StayVisible=1))
        app.show_by_hotkey()
        self.session.click(800, 400)
        # The hotkey hides a visible window and shows a hidden one: hidden afterwards means
        # it was still visible after the click.
        app.hotkey()
        app.wait_visible(False)

    def test_click_into_the_window_keeps_it(self):
        app = self.app(history=[Entry("x"), Entry("y")], settings=dict(StayVisible=0))
        main = app.show_by_hotkey()
        l, t, r, b = main["rect"]
        self.session.click(l + (r - l) // 2, b - 20)  # empty list area below the rows
        app.hotkey()
        app.wait_visible(False)

    def test_edge_click_shows_the_window(self):
        # 0: top edge, left half.
        app = self.app(settings=dict(EnabledArea=0), history=[Entry("x")], name="top-left")
        self.session.click(SCREEN_W // 2 + 1, 2)  # right half: not the area
        app.hotkey()
        app.wait_visible(True)  # so the click had not shown it
        app.hotkey()
        app.wait_visible(False)
        self.session.click(SCREEN_W // 2 - 1, 2)
        main = app.wait_visible(True)
        self.assertEqual(self.session.state()["foreground"]["class"], "NomaclipWnd")
        app.stop()

        # 5: right edge, bottom half.
        app = self.app(settings=dict(EnabledArea=5), history=[Entry("x")], name="right-bottom")
        self.session.click(SCREEN_W - 2, SCREEN_H // 2 - 10)  # top half: not the area
        app.hotkey()
        app.wait_visible(True)
        app.hotkey()
        app.wait_visible(False)
        self.session.click(SCREEN_W - 2, SCREEN_H // 2 + 10)
        app.wait_visible(True)

    def test_no_edge_area_by_default(self):
        app = self.app(history=[Entry("x")])
        self.session.click(5, 2)
        self.session.click(SCREEN_W - 2, SCREEN_H // 2 + 10)
        app.hotkey()
        app.wait_visible(True)


class LimitTests(E2ETestCase):
    def test_history_limit_and_max_history(self):
        history = [Entry("locked", locked=True)] + [Entry("u%d" % i) for i in range(1, 5)]
        app = self.app(settings=dict(HistoryLimit=3, MaxHistory=4), history=history)
        app.show_by_hotkey()
        # At most MaxHistory entries are loaded, at most HistoryLimit rows shown.
        poll(lambda: app.texts() == ["locked", "u1", "u2"], 20, 0.2, "three rows")
        self.settle()
        self.session.xclip_copy("new")
        # The capture keeps MaxHistory unlocked entries besides the locked one; the file
        # holds the first MaxHistory entries of all.
        saved = app.wait_history(lambda h: Entry("new") in h, "the capture")
        self.assertEqual(saved, [Entry("locked", locked=True), Entry("new"), Entry("u1"), Entry("u2")])
        poll(lambda: app.texts() == ["locked", "new", "u1"], 20, 0.2, "the rows after the capture")


class ChooseTests(E2ETestCase):
    MULTI = "行1\n行2\n行3"

    def history_with_lf_line_ends(self):
        # Written by hand with LF line ends, as an editor might leave it.
        return BOM + items_text([Entry("first entry"), Entry(self.MULTI), Entry("third")], newline="\n").encode()

    def test_enter_copies_with_crlf_promotes_and_hides(self):
        app = self.app(history=self.history_with_lf_line_ends())
        app.show_by_hotkey()
        poll(lambda: app.texts() == ["first entry", "行1", "third"], 20, 0.2, "the rows")
        self.session.key("Down")
        poll(lambda: app.main()["list"]["selected"] == 1, 20, 0.2, "row 1 selected")
        self.session.key("Return")

        clip = poll(lambda: (lambda c: c if c["text"] == "行1\r\n行2\r\n行3" else None)(self.session.clipboard()), 20,
                    0.2, "the entry on the clipboard with CR LF line ends")
        self.assertEqual(clip["utf16le"], "行1\r\n行2\r\n行3".encode("utf-16-le").hex())
        # X programs see it too (Wine hands text to X with LF line ends).
        self.assertEqual(self.session.xclip_paste(), "行1\n行2\n行3".encode())
        app.wait_visible(False)

        history = app.wait_history(lambda h: h[0].text == self.MULTI, "the chosen entry promoted")
        self.assertEqual(history, [Entry(self.MULTI, used=True), Entry("first entry"), Entry("third")])
        self.assertTrue(app.read("history.ini").startswith(BOM + "[C]行1\r\n行2\r\n行3\r\n---\r\n".encode()))

        # Its own clipboard write is not captured: the next copy lands right above it.
        self.settle()
        self.session.xclip_copy("sentinel")
        history = app.wait_history(lambda h: h[:1] == [Entry("sentinel")], "the next copy")
        self.assertEqual(history, [Entry("sentinel"), Entry(self.MULTI, used=True), Entry("first entry"),
                                   Entry("third")])
        app.show_by_hotkey()
        poll(lambda: [(r[0], r[1]) for r in app.rows()] == [("", "sentinel"), (CHECK, "行1"), ("", "first entry"),
                                                            ("", "third")], 20, 0.2, "the used mark in column 0")

    def test_click_on_a_row_chooses_it(self):
        app = self.app(history=[Entry("eins"), Entry("zwei"), Entry("drei")], settings=dict(MoveToTopOnCopy=0))
        app.show_by_hotkey()
        rows = poll(lambda: (lambda r: r if len(r) == 3 else None)(app.rows()), 20, 0.2, "three rows")
        self.session.click(*center(rows[2][2]))
        poll(lambda: self.session.clipboard()["text"] == "drei", 20, 0.2, "the clicked entry on the clipboard")
        app.wait_visible(False)
        # Without MoveToTopOnCopy the entry keeps its place and is only marked used.
        app.wait_history(lambda h: h == [Entry("eins"), Entry("zwei"), Entry("drei", used=True)], "drei marked used")

    def test_choosing_keeps_window_when_stay_visible(self):
        app = self.app(history=[Entry("eins"), Entry("zwei")], settings=dict(StayVisible=1))
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == 2, 20, 0.2, "two rows")
        self.session.key("Down", "Return")
        poll(lambda: self.session.clipboard()["text"] == "zwei", 20, 0.2, "zwei on the clipboard")
        app.wait_history(lambda h: h == [Entry("zwei", used=True), Entry("eins")], "zwei promoted")
        # Still visible, and the selection followed the entry to the top.
        main = poll(lambda: (lambda m: m if m["list"]["selected"] == 0 and app.texts()[0] == "zwei" else None)(
            app.main()), 20, 0.2, "the selection on the promoted entry")
        self.assertTrue(main["visible"])

    def test_auto_paste_into_notepad(self):
        text = "貼り付け\nテスト"
        app = self.app(settings=dict(AutoPaste=1), history=[Entry(text), Entry("other")])
        self.notepad()
        self.session.type_text("start:")
        poll(lambda: self.session.state()["notepad"]["text"] == "start:", 20, 0.2, "typed text in notepad")
        app.show_by_hotkey()
        self.assertEqual(self.session.state()["foreground"]["class"], "NomaclipWnd")
        self.session.key("Return")
        state = poll(lambda: (lambda s: s if s["notepad"]["text"] == "start:貼り付け\r\nテスト" else None)(
            self.session.state()), 20, 0.2, "the entry pasted into notepad")
        app.wait_visible(False)
        self.assertEqual(self.session.state()["foreground"]["class"], "Notepad")
        app.wait_history(lambda h: h == [Entry(text, used=True), Entry("other")], "the pasted entry promoted")
        self.assertEqual(state["notepad"]["text"], "start:貼り付け\r\nテスト")


class OptionKeyTests(E2ETestCase):
    # key, settings.ini name, toolbar button id, its image when on and when off
    TOGGLES = [
        ("F1", "AlwaysOnTop", 1, 0, 1),
        ("F2", "StayVisible", 2, 2, 3),
        ("F3", "PauseHistory", 3, 4, 5),
        ("F4", "MoveToTopOnCopy", 40003, 6, 7),
        ("F5", "AutoPaste", 104, 11, 12),
    ]

    def button_image(self, app, command):
        buttons = app.main()["toolbar"]["buttons"]
        return [b["image"] for b in buttons if b["id"] == command]

    def test_f1_to_f5_toggle_and_save_at_once(self):
        app = self.app(history=[Entry("x")])
        app.show_by_hotkey()
        for key, name, command, on, off in self.TOGGLES:
            with self.subTest(key=key):
                before = int(app.settings()[name])
                self.session.key(key)
                app.wait_setting(name, 1 - before)
                self.assertEqual(self.button_image(app, command), [on if before == 0 else off])
                if name == "AlwaysOnTop":
                    self.assertTrue(app.main()["topmost"])
                self.session.key(key)
                app.wait_setting(name, before)
                self.assertEqual(self.button_image(app, command), [off if before == 0 else on])
                if name == "AlwaysOnTop":
                    self.assertFalse(app.main()["topmost"])
                self.assertTrue(app.visible())

    def test_f_keys_act_from_another_window_and_pass_through_when_hidden(self):
        app = self.app(history=[Entry("x")], settings=dict(StayVisible=1))
        self.notepad()
        self.session.type_text("n:")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:", 20, 0.2, "typed text in notepad")
        app.show_by_hotkey()
        # Back to notepad with a click; the window stays (StayVisible) and F5 is ours.
        self.session.click(600, 300)
        poll(lambda: self.session.state()["foreground"]["class"] == "Notepad", 20, 0.2, "notepad in front")
        self.assertTrue(app.visible())
        self.session.key("F5")
        app.wait_setting("AutoPaste", 1)
        self.session.type_text("m")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:m", 20, 0.2, "notepad got no F5 (no date)")
        # Hidden, F5 belongs to notepad (it inserts the time and date) and the option stays.
        app.hotkey()
        app.wait_visible(False)
        poll(lambda: self.session.state()["foreground"]["class"] == "Notepad", 20, 0.2, "notepad in front")
        self.session.key("F5")
        poll(lambda: len(self.session.state()["notepad"]["text"]) > len("n:m"), 20, 0.2, "F5 reached notepad")
        self.assertEqual(app.settings()["AutoPaste"], "1")

    def test_f3_pauses_history(self):
        app = self.app(history=[Entry("x")], settings=dict(StayVisible=1))
        app.show_by_hotkey()
        self.session.key("F3")
        app.wait_setting("PauseHistory", 1)
        self.settle()
        stamp = app.file_stamp("history.ini")
        self.session.xclip_copy("paused copy")
        poll(lambda: self.session.clipboard()["text"] == "paused copy", 20, 0.2, "the copy on the clipboard")
        time.sleep(1.5)
        self.assertEqual(app.file_stamp("history.ini"), stamp)
        self.session.key("F3")
        app.wait_setting("PauseHistory", 0)
        self.settle()
        self.session.xclip_copy("recorded copy")
        history = app.wait_history(lambda h: h[:1] == [Entry("recorded copy")], "the copy after the pause")
        self.assertEqual(history, [Entry("recorded copy"), Entry("x")])

    def test_f6_clears_history_but_locked_entries(self):
        app = self.app(history=[Entry("kept", locked=True), Entry("a"), Entry("b", used=True)])
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == 3, 20, 0.2, "three rows")
        self.session.key("F6")
        box = poll(lambda: [b for b in self.session.state()["msgboxes"] if b["title"] == "確認"], 20, 0.2,
                   "the question")[0]
        self.assertIn("履歴をすべて削除しますか？", [c["text"] for c in box["children"]])
        yes = [c for c in box["children"] if c["class"] == "Button" and c["id"] == 6]  # IDYES
        self.assertEqual(len(yes), 1, box)
        self.session.click(*center(yes[0]["rect"]))
        app.wait_history(lambda h: h == [Entry("kept", locked=True)], "only the locked entry")
        poll(lambda: [(r[0], r[1]) for r in app.rows()] == [(LOCK, "kept")], 20, 0.2, "one row left")


class InstanceTests(E2ETestCase):
    def test_tray_click_toggles_the_window(self):
        app = self.app(history=[Entry("x")])
        point = app.tray_icon_point()
        self.session.click(*point)
        app.wait_visible(True)
        self.session.click(*point)
        app.wait_visible(False)

    def open_tray_menu(self, app):
        def menus():
            return [w for w in self.session.windows()["windows"] if w["class"] == "#32768" and w["visible"]]

        self.session.click(*app.tray_icon_point(), button=3)
        return poll(menus, 20, 0.2, "the tray menu")[0]

    @staticmethod
    def menu_item_point(menu, index):
        return tray_menu_point(menu["rect"], index)

    def test_tray_menu_show(self):
        app = self.app(history=[Entry("x")])
        menu = self.open_tray_menu(app)
        self.session.click(*self.menu_item_point(menu, 0))  # 表示
        app.wait_visible(True)

    def test_tray_menu_exit_saves_everything(self):
        app = self.app(history=[Entry("h1")], templates={"templates.txt": "T1\n---\nT2\n".encode()})
        self.settle()
        self.session.xclip_copy("before exit")
        app.wait_history(lambda h: h[:1] == [Entry("before exit")], "the copy")
        menu = self.open_tray_menu(app)
        self.session.click(*self.menu_item_point(menu, TRAY_MENU.index("終了")))
        self.assertEqual(app.proc.wait(timeout=30), 0)
        poll(lambda: self.session.state()["main"] is None, 20, 0.2, "the window gone")
        self.assertEqual(app.history(), [Entry("before exit"), Entry("h1")])
        # Tabs nobody changed are not rewritten on the way out: a file keeps the form it was
        # written in (by hand here), and a tab without a file gets none.
        self.assertEqual(app.read("templates.txt"), "T1\n---\nT2\n".encode())
        for name in ("templates2.txt", "templates3.txt"):
            self.assertIsNone(app.read(name), name)
        settings = app.settings()
        self.assertEqual(settings["Rect"], "0,0,350,480")


class ScreenshotTests(E2ETestCase):
    HISTORY = [
        Entry("固定したエントリ", locked=True),
        Entry("コピー履歴の最初の行\n二行目"),
        Entry("使用済みのテキスト", used=True),
        Entry("Plain ASCII text from an editor"),
        Entry("https://example.com/path?q=1"),
    ]

    def show_and_shoot(self, name):
        app = self.app(history=self.HISTORY, name=name)
        app.show_by_hotkey()
        main = poll(lambda: (lambda m: m if m["list"]["count"] == len(self.HISTORY) else None)(app.main()), 20, 0.2,
                    "the rows")
        time.sleep(0.5)  # let the last paint land before the picture
        main = app.main()
        path = os.path.join(Config.artifacts, "window-%s.png" % name)
        self.session.screenshot(path, main["rect"])
        self.session.screenshot(os.path.join(Config.artifacts, "screen-%s.png" % name))
        log("screenshot %s" % path)
        return app, main

    def test_window_at_96_and_144_dpi(self):
        os.makedirs(Config.artifacts, exist_ok=True)
        app, main96 = self.show_and_shoot("96dpi")
        self.assertEqual(self.session.state()["dpi"], 96)
        app.stop()
        try:
            self.session.restart_wine(dpi=144)
            self.assertEqual(self.session.state()["dpi"], 144)
            app, main144 = self.show_and_shoot("144dpi")
            app.stop()
        finally:
            self.session.restart_wine(dpi=96)
        # The toolbar's buttons are 32 pixels at 96 dpi and 48 at 144.
        h96 = main96["toolbar"]["rect"][3] - main96["toolbar"]["rect"][1]
        h144 = main144["toolbar"]["rect"][3] - main144["toolbar"]["rect"][1]
        self.assertGreaterEqual(h96, 32)
        self.assertGreaterEqual(h144, 48)
        self.assertGreater(h144, h96)
