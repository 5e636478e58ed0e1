"""The filter line: Ctrl+F opens a box over the list; the words typed there narrow the rows to
the entries that hold them however they were typed (hiragana or katakana, full or half width,
upper or lower case), across the whole kept history; Enter chooses the first match, Esc clears
and closes, and the list's keys act on the matching entries themselves."""

import os
import time

from harness import Config, Entry, items_text, log, poll, settings_text, with_tabs
from test_entries import EntryTestCase
from test_sealed_tabs import python_seal

MEMO, LIST, FILTER, COUNT = 998, 1004, 1011, 1012


class FilterTestCase(EntryTestCase):
    def box(self, app):
        return app.control(FILTER) or {}

    def box_open(self, app):
        return bool(self.box(app).get("visible"))

    def count_text(self, app):
        return (app.control(COUNT) or {}).get("text")

    def wait_box_text(self, app, text, timeout=20):
        return poll(lambda: self.box(app).get("text") == text, timeout, 0.2,
                    "the filter box holding %r (have %r)" % (text, self.box(app).get("text")))

    def open_filter(self, app):
        self.session.key("ctrl+f")
        self.wait_focus(app, FILTER)
        self.assertTrue(self.box_open(app), "the filter line in view")

    def type_filter(self, app, text, rows):
        """Replaces the box's text by typing, then waits for the rows. xdotool now and then
        drops a character it has to map to a spare key first (kana): the typing is repeated
        then, slower."""
        for delay in (40, 150, 300):
            self.session.key("ctrl+a")
            self.session.type_text(text, delay=delay)
            try:
                self.wait_box_text(app, text, timeout=5)
                break
            except AssertionError:
                log("typed %r, the box holds %r: typing again" % (text, self.box(app).get("text")))
        self.wait_box_text(app, text)
        return self.wait_rows(app, rows)

    def history_texts(self, app):
        return [e.text for e in app.history()]


class MatchingTests(FilterTestCase):
    HISTORY = [
        Entry("カタカナの会議メモ"),
        Entry("abc lower"),
        Entry("ＡＢＣ full width"),
        Entry("ﾃﾞｻﾞｲﾝ案の確認"),
        Entry("other text"),
    ]

    def test_words_match_however_they_were_typed(self):
        app = self.app(history=self.HISTORY)
        app.show_by_hotkey()
        everything = [e.text for e in self.HISTORY]
        self.wait_rows(app, everything)
        self.open_filter(app)
        self.assertEqual(self.count_text(app), "", "no count before a word is typed")

        # Half-width katakana finds full-width katakana, and hiragana finds katakana.
        self.type_filter(app, "ｶﾀｶﾅ", ["カタカナの会議メモ"])
        poll(lambda: self.count_text(app) == "1 件", 20, 0.2, "the count of matches")
        self.type_filter(app, "かたかな", ["カタカナの会議メモ"])
        # Voiced marks typed on their own letters find the half-width pair.
        self.type_filter(app, "デザイン", ["ﾃﾞｻﾞｲﾝ案の確認"])
        # Upper case finds lower case and full width.
        self.type_filter(app, "ABC", ["abc lower", "ＡＢＣ full width"])
        poll(lambda: self.count_text(app) == "2 件", 20, 0.2, "two matches counted")
        # Every word must be there.
        self.type_filter(app, "abc FULL", ["ＡＢＣ full width"])
        self.type_filter(app, "abc zzz", [])
        poll(lambda: self.count_text(app) == "0 件", 20, 0.2, "no match counted")
        # Only spaces: every row again.
        self.type_filter(app, "   ", everything)
        poll(lambda: self.count_text(app) == "", 20, 0.2, "no count without words")
        self.assertTrue(app.visible())

    def test_picture_of_the_filter(self):
        history = [
            Entry("会議室の予約番号: 4F-12", locked=True),
            Entry("お世話になっております。\n来週の打ち合わせの件です。"),
            Entry("ミーティングの議事録: リリースは金曜日"),
            Entry("https://example.com/docs/setup"),
            Entry("みーてぃんぐ室 B の鍵"),
            Entry("Meeting notes: ship the release on Friday"),
            Entry("ﾐｰﾃｨﾝｸﾞ 10:00〜"),
        ]
        app = self.app(settings=settings_text(StayVisible=1, Rect=(100, 80, 380, 480)), history=history)
        main = app.show_by_hotkey()
        self.wait_rows(app, [e.text.split("\n")[0] for e in history])
        self.open_filter(app)
        self.type_filter(app, "ﾐｰﾃｨﾝｸﾞ", ["ミーティングの議事録: リリースは金曜日", "みーてぃんぐ室 B の鍵", "ﾐｰﾃｨﾝｸﾞ 10:00〜"])
        poll(lambda: self.count_text(app) == "3 件", 20, 0.2, "the count of matches")
        os.makedirs(Config.artifacts, exist_ok=True)
        path = os.path.join(Config.artifacts, "readme-filter.png")
        time.sleep(0.7)  # the last paint lands before the picture
        self.session.screenshot(path, main["rect"])
        log("screenshot %s" % path)


class KeyTests(FilterTestCase):
    def test_enter_chooses_a_match_beyond_history_limit(self):
        history = [Entry("entry %d" % i) for i in range(30)]
        history[25] = Entry("the needle\nsecond line")
        app = self.app(settings=settings_text(HistoryLimit=5), history=history)
        app.show_by_hotkey()
        self.wait_rows(app, ["entry 0", "entry 1", "entry 2", "entry 3", "entry 4"])
        self.open_filter(app)
        self.type_filter(app, "NEEDLE", ["the needle"])
        self.session.key("Return")
        clip = poll(lambda: (lambda c: c if c["text"] == "the needle\r\nsecond line" else None)(self.session.clipboard()),
                    20, 0.2, "the match on the clipboard with CR LF")
        self.assertIsNotNone(clip)
        app.wait_visible(False)
        entries = app.wait_history(lambda h: h[0].text == "the needle\nsecond line", "the chosen entry on top")
        self.assertEqual(len(entries), 30, "nothing lost")
        # Shown again: no filter, the HistoryLimit rows with the chosen entry first.
        app.show_by_hotkey()
        self.wait_rows(app, ["the needle", "entry 0", "entry 1", "entry 2", "entry 3"])
        self.assertFalse(self.box_open(app), "hiding closed the filter")

    def test_enter_pastes_the_first_match_into_notepad(self):
        app = self.app(settings=settings_text(AutoPaste=1), history=[Entry("first"), Entry("ｻﾝﾌﾟﾙ text"), Entry("last")])
        self.notepad()
        self.session.type_text("n:")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:", 20, 0.2, "typed text in notepad")
        app.show_by_hotkey()
        self.open_filter(app)
        self.type_filter(app, "さんぷる", ["ｻﾝﾌﾟﾙ text"])
        self.session.key("Return")
        poll(lambda: self.session.state()["notepad"]["text"] == "n:ｻﾝﾌﾟﾙ text", 20, 0.2, "the match pasted into notepad")
        app.wait_visible(False)

    def test_digits_are_text_arrows_move_between_box_and_list_and_esc_clears_closes_hides(self):
        history = [Entry("item %d" % i) for i in range(1, 13)]
        app = self.app(history=history)
        app.show_by_hotkey()
        everything = [e.text for e in history]
        self.wait_rows(app, everything)
        before = self.session.clipboard()["text"]
        self.open_filter(app)
        # Digits are text in the box: nothing is chosen.
        self.type_filter(app, "12", ["item 12"])
        time.sleep(0.5)
        self.assertTrue(app.visible())
        self.assertEqual(self.session.clipboard()["text"], before, "a digit chose nothing")
        # Left and Right move the caret, not the tab.
        self.session.key("Left")
        time.sleep(0.5)
        self.assertEqual(app.main()["list"]["columns"][1], "履歴")
        # Tab moves on to the list, as in any window; Up on its first row comes back.
        self.session.key("Tab")
        self.wait_focus(app, LIST)
        self.session.key("Up")
        self.wait_focus(app, FILTER)
        # Down goes to the list, Up on its first row back to the box.
        self.type_filter(app, "item 1", ["item 1", "item 10", "item 11", "item 12"])
        self.session.key("Down")
        self.wait_focus(app, LIST)
        self.assertEqual(app.main()["list"]["selected"], 0)
        self.session.key("Down")
        self.wait_main(app, lambda m: m["list"]["selected"] == 1, "the second match selected")
        self.session.key("Up")
        self.wait_main(app, lambda m: m["list"]["selected"] == 0, "the first match selected")
        self.session.key("Up")
        self.wait_focus(app, FILTER)
        # Esc clears the filter; the box stays with the keys.
        self.session.key("Escape")
        self.wait_box_text(app, "")
        self.wait_rows(app, everything)
        self.assertTrue(self.box_open(app))
        self.assertTrue(app.visible())
        self.wait_focus(app, FILTER)
        # From the list Esc clears too, and the entry selected among the matches stays selected.
        self.type_filter(app, "item 1", ["item 1", "item 10", "item 11", "item 12"])
        self.session.key("Down", "Down")
        self.wait_main(app, lambda m: m["list"]["selected"] == 1, "item 10 selected")
        self.session.key("Escape")
        self.wait_rows(app, everything)
        self.wait_main(app, lambda m: m["list"]["selected"] == 9, "item 10 still selected among all rows")
        self.assertEqual(self.box(app).get("text"), "")
        # Esc on the empty filter closes the box; the list has the keys.
        self.session.key("Escape")
        poll(lambda: not self.box_open(app), 20, 0.2, "the filter line closed")
        self.wait_focus(app, LIST)
        self.assertTrue(app.visible())
        # The next Esc hides the window as ever.
        self.session.key("Escape")
        app.wait_visible(False)


class FilteredListTests(FilterTestCase):
    def test_keys_act_on_the_entry_itself_and_reordering_is_off(self):
        history = [Entry("alpha one"), Entry("beta two"), Entry("alpha three"), Entry("gamma"), Entry("alpha four")]
        app = self.app(history=history)
        app.show_by_hotkey()
        self.wait_rows(app, [e.text for e in history])
        self.open_filter(app)
        self.type_filter(app, "alpha", ["alpha one", "alpha three", "alpha four"])
        self.session.key("Down", "Down")
        self.wait_main(app, lambda m: m["list"]["selected"] == 1, "alpha three selected")
        # Ctrl+Down would reorder rows that are not neighbours in the history: it does nothing.
        self.session.key("ctrl+Down")
        time.sleep(1)
        self.assertEqual(self.history_texts(app), [e.text for e in history])
        # Delete removes the selected match, not the entry on the same row of the whole list.
        self.session.key("Delete")
        app.wait_history(lambda h: [e.text for e in h] == ["alpha one", "beta two", "gamma", "alpha four"],
                         "alpha three deleted, beta two kept")
        self.wait_rows(app, ["alpha one", "alpha four"])
        self.wait_main(app, lambda m: m["list"]["selected"] == 1, "the next match selected")
        # Ctrl+L locks the selected match.
        self.session.key("ctrl+l")
        entries = app.wait_history(lambda h: h[0].text == "alpha four" and h[0].locked, "alpha four locked on top")
        self.assertEqual([e.text for e in entries if e.locked], ["alpha four"])
        self.wait_rows(app, ["alpha four", "alpha one"])
        # Ctrl+E edits the selected match; a text that no longer matches leaves the rows.
        self.wait_main(app, lambda m: m["list"]["selected"] == 0, "alpha four selected")
        self.session.key("ctrl+e")
        dialog, _ = self.edit_dialog("履歴の編集")
        self.replace_dialog_text(dialog, "omega")
        self.press(dialog, 1)
        app.wait_history(lambda h: [e.text for e in h] == ["omega", "alpha one", "beta two", "gamma"],
                         "alpha four edited in place")
        self.wait_rows(app, ["alpha one"])

    def test_a_copy_captured_while_filtered_shows_when_it_matches(self):
        app = self.app(history=[Entry("red apple"), Entry("banana")])
        app.show_by_hotkey()
        self.wait_rows(app, ["red apple", "banana"])
        self.open_filter(app)
        self.type_filter(app, "apple", ["red apple"])
        self.session.xclip_copy("GREEN APPLE pie")
        self.wait_rows(app, ["GREEN APPLE pie", "red apple"])
        poll(lambda: self.count_text(app) == "2 件", 20, 0.2, "the count follows the capture")
        self.session.xclip_copy("cherry")
        app.wait_history(lambda h: h[0].text == "cherry", "the copy that does not match kept")
        time.sleep(0.5)
        self.assertEqual(app.texts(), ["GREEN APPLE pie", "red apple"])
        self.assertEqual(self.box(app).get("text"), "apple", "the filter stays")


class TabTests(FilterTestCase):
    def test_no_filter_on_a_memo_pad_or_a_sealed_tab_and_switching_tabs_clears_it(self):
        settings = with_tabs(settings_text(), Tab1="メモ", TabType1=2, Tab2="秘密", TabType2=0, Tab3="定型文",
                             TabType3=0)
        templates = {
            "templates.txt": [Entry("memo text")],
            "templates2.txt": python_seal(items_text([Entry("secret")]), "pw"),
            "templates3.txt": [Entry("Dear customer,\nthank you.", label="ありがとう"), Entry("Regards", label="結び")],
        }
        app = self.app(settings=settings, history=[Entry("h one"), Entry("h two")], templates=templates)
        app.show_by_hotkey()
        self.wait_rows(app, ["h one", "h two"])
        self.open_filter(app)
        self.type_filter(app, "two", ["h two"])
        # Alt+Right leaves the box for the memo pad: the filter goes with the tab.
        self.session.key("Down", "alt+Right")
        poll(lambda: (app.control(MEMO) or {}).get("visible"), 20, 0.2, "the memo pad tab")
        self.assertFalse(self.box_open(app))
        self.session.key("ctrl+f")
        time.sleep(1)
        self.assertFalse(self.box_open(app), "no filter on a memo pad")
        # The sealed tab shows its password panel; Ctrl+F there opens nothing.
        self.wait_focus(app, 6001)  # the tab strip keeps the keys after a switch by key
        self.session.key("Right")
        self.wait_panel(app, "unlock")
        self.session.key("ctrl+f")
        time.sleep(1)
        self.assertFalse(self.box_open(app), "no filter on a sealed tab")
        # A template list is filtered by its labels too.
        self.session.click(*self.tab_point(app, 3))
        self.wait_main(app, lambda m: m["list"]["columns"][1] == "定型文", "the template tab")
        self.open_filter(app)
        self.type_filter(app, "アリガトウ", ["ありがとう"])
        self.type_filter(app, "THANK", ["ありがとう"])
        # Back on the history every row shows again.
        self.session.click(*self.tab_point(app, 0))
        self.wait_rows(app, ["h one", "h two"])
        self.assertFalse(self.box_open(app), "the filter went with the template tab")

    from test_sealed_tabs import TabStripMenuTests
    tab_point = TabStripMenuTests.tab_point
