"""What a screen reader finds, read from another process as one would: the toolbar's five
toggles are check buttons whose checked state follows F1-F5 and the mouse and whose names are
their tooltips; the tab strip is a tab control of four named tabs whose selection follows every
way of switching (and switches the tab when another program selects one); every control has a
name. And a memo pad that is written once typing pauses, at once when the user leaves it, and
never loses what was typed."""

import time

from harness import BOM, MOD_ALT, MOD_CONTROL, Entry, center, hotkey_name, log, poll, settings_text, with_tabs
from test_entries import EntryTestCase
from test_sealed_tabs import MEMO, PASSWORD, SEALED, header_is, memo_shown, python_seal

STRIP, LIST, TOOLBAR, FILTER = 6001, 1004, 100, 1011
TOGGLES = {1: "AlwaysOnTop", 2: "StayVisible", 3: "PauseHistory", 40003: "MoveToTopOnCopy", 104: "AutoPaste"}
QUEUE = 105  # 連続貼り付け: a check button too, off at every start and never saved
TIPS = {
    1: "最前面表示のオン/オフ (F1)",
    2: "常時表示のオン/オフ (F2)",
    3: "履歴記録のオン/オフ (F3)",
    40003: "コピーで先頭に移動のオン/オフ (F4)",
    104: "自動貼り付けのオン/オフ (F5)",
    QUEUE: "連続貼り付けのオン/オフ (F9)",
    40005: "全履歴を削除 (F6)",
    40006: "設定とデータをバックアップ (F11)",
    40001: "設定を開く (F12)",
}


def painted_tabs(app):
    """The four tabs as the strip paints them: equal quarters, the last one to the edge."""
    l, t, r, b = app.control(STRIP)["rect"]
    c = (r - l) // 4
    return [[l + k * c, t, r if k == 3 else l + (k + 1) * c, b] for k in range(4)]


class AccessTestCase(EntryTestCase):
    def buttons(self):
        return {b["id"]: b for b in self.session.access()["toolbar"]["buttons"]}

    def strip(self):
        return self.session.access()["strip"]

    def wait_selected(self, index, what):
        return poll(lambda: (lambda s: s if s["selected"] == index else None)(self.strip()), 20, 0.2,
                    "tab %d selected in the strip (%s)" % (index, what))


class ToolbarToggleTests(AccessTestCase):
    def assert_checked(self, app, expected):
        """Each toggle's checked state, as read from outside, is its option (and settings.ini's)."""
        checked = {i: b["checked"] for i, b in self.buttons().items() if i in TOGGLES}
        self.assertEqual(checked, expected)
        for ident, on in expected.items():
            app.wait_setting(TOGGLES[ident], int(on))

    def wait_checked(self, app, expected, what):
        poll(lambda: {i: b["checked"] for i, b in self.buttons().items() if i in TOGGLES} == expected, 20, 0.2, what)
        self.assert_checked(app, expected)

    def test_toggles_are_check_buttons_named_by_their_tips_and_follow_keys_and_clicks(self):
        app = self.app(settings=dict(StayVisible=1, PauseHistory=1, MoveToTopOnCopy=0, AutoPaste=1),
                       history=[Entry("x")])
        app.show_by_hotkey()
        buttons = self.buttons()
        self.assertEqual(sorted(i for i, b in buttons.items() if b["check"]), sorted(list(TOGGLES) + [QUEUE]))
        self.assertEqual({i: b["tip"] for i, b in buttons.items() if not b["separator"]}, TIPS)
        state = {1: False, 2: True, 3: True, 40003: False, 104: True}
        self.assert_checked(app, state)

        # The F-keys, each changing its own button only.
        for key, ident in (("F1", 1), ("F3", 3), ("F5", 104)):
            self.session.key(key)
            state[ident] = not state[ident]
            self.wait_checked(app, state, "%s checks its button" % key)

        # A click on a toggle changes it once (the button's own toggling and the option agree).
        for _ in range(2):
            self.session.click(*center(buttons[40003]["rect"]))
            state[40003] = not state[40003]
            self.wait_checked(app, state, "a click on the F4 button")
        time.sleep(1)
        self.assert_checked(app, state)

        # Restarted, the buttons come up checked as the options were left.
        app.restart()
        app.show_by_hotkey()
        self.assert_checked(app, state)


class TabStripAccessTests(AccessTestCase):
    def test_strip_is_four_named_tabs_whose_selection_follows_every_switch(self):
        # Short names: the tab control's own idea of its tabs covers only the left of the strip.
        settings = with_tabs(settings_text(StayVisible=1), Tab1="仕事", Tab2="メモ", TabType2=2)
        app = self.app(settings=settings, history=[Entry("h1"), Entry("h2")],
                       templates={"templates.txt": [Entry("t1")], "templates2.txt": BOM + b"memo",
                                  "templates3.txt": python_seal("---\r\nsecret\r\n", "pw")})
        app.show_by_hotkey()
        self.wait_rows(app, ["h1", "h2"])
        strip = self.strip()
        self.assertEqual(strip["class"], "SysTabControl32")
        self.assertEqual([t["text"] for t in strip["tabs"]], ["履歴", "仕事", "メモ", SEALED + "定型文 3"])
        self.assertEqual(strip["selected"], 0)
        self.assertEqual([t["rect"] for t in strip["tabs"]], painted_tabs(app))

        self.session.key("Right")
        self.wait_selected(1, "Right")
        self.wait_main(app, header_is("仕事"), "tab 1 on screen")
        # A click anywhere on a tab, its far end too, where the control itself has no tab.
        l, t, r, b = self.strip()["tabs"][3]["rect"]
        self.session.click(r - 4, (t + b) // 2)
        self.wait_selected(3, "a click at the right end of the strip")
        self.wait_panel(app, "unlock")
        # Left and Right, with the wrap-around both ways.
        self.session.key("Right")
        self.wait_selected(0, "Right round the end")
        self.session.key("Left")
        self.wait_selected(3, "Left round the end")

        # A click where the strip says a tab is (what a screen reader's default action does).
        self.session.click(*center(self.strip()["tabs"][2]["rect"]))
        self.wait_selected(2, "a click on the memo pad's tab")
        self.wait_main(app, memo_shown, "the memo pad on screen")
        self.wait_focus(app, STRIP)

        # Another program selects a tab, as UI Automation does: the program switches to it.
        self.assertTrue(self.session.probe("tab-select", "1")["sent"])
        self.wait_main(app, header_is("仕事"), "tab 1 put on screen by the selection from outside")
        self.wait_selected(1, "tab-select 1")
        self.wait_rows(app, ["t1"])

        # Opening the sealed tab for the run shows its open mark in its name.
        self.session.key("Left", "Left")
        self.wait_selected(3, "Left twice again")
        self.open_with(app, "pw")
        self.close_box(self.wait_box(("一時的に解除しました。終了時に自動で再暗号化されます。", "完了")))
        poll(lambda: self.strip()["tabs"][3]["text"] == "\U0001f513定型文 3", 20, 0.2, "the open mark in the name")

    def test_every_control_has_a_name(self):
        settings = with_tabs(settings_text(StayVisible=1), TabType1=2)
        app = self.app(settings=settings, history=[Entry("h1")],
                       templates={"templates.txt": BOM + b"memo", "templates2.txt": python_seal("---\r\nx\r\n", "pw")})
        app.show_by_hotkey()
        self.session.key("ctrl+f")
        poll(lambda: (app.control(FILTER) or {}).get("visible"), 20, 0.2, "the filter box")
        self.session.key("Escape")
        self.session.key("Right", "Right")
        self.wait_panel(app, "unlock")

        controls = {c["id"]: c for c in self.session.access()["controls"]}
        # Controls whose own text is no content are named by it.
        self.assertEqual(controls[TOOLBAR]["text"], "ツールバー")
        self.assertEqual(controls[STRIP]["text"], "タブ")
        self.assertEqual(controls[LIST]["text"], "項目の一覧")
        # Edits are named by the label before them, shown or not.
        self.assertEqual(controls[MEMO]["label"], "メモ帳")
        self.assertEqual(controls[FILTER]["label"], "絞り込み")
        self.assertEqual(controls[PASSWORD]["label"], "パスワードを入力して下さい。")


class MemoWriteTests(AccessTestCase):
    # More than 3 s at 50 ms a key (xdotool takes about 27 ms of each for the key itself).
    TYPED = "the quick brown fox jumps over the lazy dog 0123456789 " * 2 + "pack my box with five dozen jugs"

    def memo_text(self, app):
        return (app.control(MEMO) or {}).get("text")

    def file_text(self, app):
        data = app.read("templates.txt") or b""
        return data[3:].decode("utf-8") if data.startswith(BOM) else None

    def type_then(self, text, *action):
        """Types text into the focused window, then acts at once (xdotool's `type` takes every
        word after it as text, so the action is a second command)."""
        self.session.xdo("type", "--delay", "40", text)
        self.session.xdo(*action)

    def assert_written_at_once(self, app, expected, what):
        """The moment the program has acted on what left the memo pad, its text is on disk: the
        write came with leaving it, not after a pause in typing."""
        self.assertEqual(self.file_text(app), expected, "templates.txt right after %s" % what)

    def test_typing_is_written_once_it_pauses_and_at_once_when_the_memo_pad_is_left(self):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("h")], templates={"templates.txt": BOM + b"start:"})
        watch = self.session.watch_writes(app.dir)
        self.addCleanup(watch.stop)
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_main(app, memo_shown, "the memo pad")
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.wait_focus(app, MEMO)
        self.session.key("ctrl+End")

        # Three seconds of typing: a handful of writes at most, the text on disk 2 s after the last key.
        started = time.monotonic()
        self.session.type_text(self.TYPED, delay=50)
        ended = time.monotonic()
        self.assertGreaterEqual(ended - started, 3.0)
        poll(lambda: self.file_text(app) == "start:" + self.TYPED, 20, 0.1, "the typed text on disk after a pause")
        writes = watch.writes("templates.txt", since=started)
        log("%d writes of templates.txt for %d keys typed in %.1f s, the last %.2f s after the last key"
            % (len(writes), len(self.TYPED), ended - started, (writes or [float("nan")])[-1] - ended))
        self.assertLessEqual(len(writes), 8, "writes of templates.txt while typing for %.1f s" % (ended - started))
        self.assertEqual(self.memo_text(app), "start:" + self.TYPED)

        # Esc leaves the text for the strip, the window stays: written at once.
        self.type_then("!?", "key", "Escape")
        self.wait_focus(app, STRIP)
        self.assert_written_at_once(app, "start:" + self.TYPED + "!?", "Esc out of the memo pad")
        self.assertTrue(app.visible())

        # Back in the text, the hotkey hides the window: written at once.
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.wait_focus(app, MEMO)
        self.session.key("ctrl+End")
        self.type_then("%", "key", hotkey_name(MOD_CONTROL | MOD_ALT, 0x56))
        app.wait_visible(False)
        self.assert_written_at_once(app, "start:" + self.TYPED + "!?%", "the hide")

        # Shown again on the memo pad (the keys go into it), then a click on another tab.
        app.show_by_hotkey()
        self.wait_focus(app, MEMO)
        x, y = painted_tabs(app)[0][:2]
        self.type_then("#", "mousemove", str(x + 10), str(y + 10), "click", "1")
        self.wait_main(app, header_is("履歴"), "the history after the click")
        self.assert_written_at_once(app, "start:" + self.TYPED + "!?%#", "the tab switch")

        # The end of the session writes what waits for the pause.
        self.session.key("Right")
        self.wait_main(app, memo_shown, "the memo pad")
        self.session.click(*center(app.control(MEMO)["rect"]))
        self.wait_focus(app, MEMO)
        self.session.key("ctrl+End")
        self.session.type_text(" end", delay=30)
        poll(lambda: self.memo_text(app).endswith(" end"), 20, 0.05, "the last keys in the memo pad")
        self.session.end_session()
        app.stop()  # the session ends the process, before any pause in typing could be waited out
        self.assertEqual(self.file_text(app), "start:" + self.TYPED + "!?%# end")
