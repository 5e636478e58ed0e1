"""Two PCs on one synced folder: the program runs on each PC (two sessions: two displays, two
Wine prefixes, two clipboards) from the two local paths of one folder that two real Syncthing
instances keep in step. Copies, templates and the memo pad typed on either PC end up on both,
merged, without a question; a conflict copy that a sync service leaves beside the history is
taken in and put away in backup\\conflicts\\ with a balloon.

Each test starts its own Syncthing pair and stops it again. A change from the other PC is
waited for in the files and in the list rows, never for a fixed time."""

import contextlib
import os
import time

from harness import BOM, Config, Entry, Session, center, items_text, log, parse_items, poll, settings_text, with_tabs
from syncpair import SyncPair
from test_entries import EntryTestCase
from test_sealed_tabs import MEMO, memo_shown

# What stays on its own PC: the exe and its pictures (each PC has its copy), the program's
# temporary files and its backups.
IGNORES = ["nomaclip.exe", "img", "*.tmp", "backup"]
# Bounds a change's way to the other PC: about 1 s in Syncthing, 1 s more in the program.
ARRIVAL = 15

CONFLICT_COPY = "history.sync-conflict-20261209-101010-ABCDEF7.ini"
NEW_ENTRY = "新しい項目"
SHARED = Entry("shared template")


class TwoPCTestCase(EntryTestCase):
    """PC 1 is the run's session, PC 2 a session of the class's own. Inside `with
    self.at(self.pc2):` the test case's helpers (keys, boxes, dialogs, balloons, menus) act on
    PC 2; an App acts on the PC it was made on."""

    pc2 = None
    _at = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        session = Session()
        try:
            session.start()
        except BaseException:
            session.stop()
            raise
        cls.pc2 = session

    @classmethod
    def tearDownClass(cls):
        cls.pc2.stop()
        cls.pc2 = None
        super().tearDownClass()

    @property
    def session(self):
        return self._at or Config.session

    @property
    def pc1(self):
        return Config.session

    @contextlib.contextmanager
    def at(self, pc):
        before, self._at = self._at, pc
        try:
            yield
        finally:
            self._at = before

    def keep_evidence(self, suffix=""):
        super().keep_evidence()  # PC 1, with the Syncthing logs
        logs, self.helper_logs = self.helper_logs, []
        try:
            with self.at(self.pc2):
                super().keep_evidence("-pc2")
        finally:
            self.helper_logs = logs

    def two_pcs(self, settings, history=None, templates=None, start=True):
        """The program on both PCs, in the two local paths of one synced folder: PC 1's folder
        holds the data files, PC 2's gets them through Syncthing before either program starts
        (unless start is False). Returns (pair, app on PC 1, app on PC 2); the pair is stopped
        after the test."""
        app1 = self.app(settings=settings, history=history, templates=templates, start=False)
        app2 = self.app(settings=False, start=False, session=self.pc2)
        pair = SyncPair(os.path.join(self.pc1.work, "sync-" + os.path.basename(self.folder)), [app1.dir, app2.dir],
                        IGNORES)
        self.helper_logs += pair.logs
        self.addCleanup(self.stop_pair, pair)
        started = time.monotonic()
        pair.start()
        log("Syncthing pair connected and idle after %.1f s" % (time.monotonic() - started))
        for name in sorted(os.listdir(app1.dir)):  # the data files; .stignore is each side's own
            if os.path.isfile(app1.path(name)) and name not in IGNORES and not name.startswith("."):
                pair.wait_same(name)
        if start:
            # Each desktop was closed while its PC had no program running: the new one is focused.
            for app in (app1, app2):
                app.start()
                app.session.focus_desktop()
        return pair, app1, app2

    def stop_pair(self, pair):
        killed = pair.stop()
        if killed:
            log("Syncthing did not end on its shutdown request: killed %r" % killed)
        self.assertEqual(pair.left_behind(), [], "Syncthing processes left after the stop")

    def show(self, app):
        """The window shown on app's PC (StayVisible keeps it there)."""
        with self.at(app.session):
            app.show_by_hotkey()

    def questions(self, pc):
        """The dialogs open on a PC: (caption, texts)."""
        with self.at(pc):
            return [(b["title"], [c["text"] for c in b["children"] if c["text"]]) for b in self.message_boxes()]

    def assert_no_question(self):
        self.assertEqual((self.questions(self.pc1), self.questions(self.pc2)), ([], []), "dialogs open on PC 1, PC 2")

    def arrive(self, fn, what, interval=0.2, seen=None):
        """Polls fn for what a change from the other PC brings; a time-out tells what seen()
        gives then and the dialogs open on either PC (the program is to merge without asking)."""
        try:
            return poll(fn, ARRIVAL, interval, what)
        except AssertionError as e:
            note = "; seen: %r" % (seen(),) if seen else ""
            raise AssertionError("%s%s; dialogs on PC 1: %r, on PC 2: %r"
                                 % (e, note, self.questions(self.pc1), self.questions(self.pc2))) from None

    def wait_both(self, pair, name, check, what):
        """Waits until name has the same bytes on both PCs and check(bytes) holds."""

        def ready():
            data = pair.read(0, name)
            return data is not None and data == pair.read(1, name) and check(data) and (data,)

        return self.arrive(ready, "%s on both PCs: %s" % (name, what),
                           seen=lambda: (pair.read(0, name), pair.read(1, name)))[0]


class FolderTests(TwoPCTestCase):
    def test_the_folder_carries_files_both_ways_but_not_what_stays_on_its_pc(self):
        pair, app1, app2 = self.two_pcs(settings_text(), history=[Entry("h")], start=False)
        self.assertEqual(app2.history(), [Entry("h")])
        local = [os.path.join("backup", "kept-here.txt"), "history.ini.tmp"]
        os.makedirs(pair.path(0, "backup"), exist_ok=True)
        for name in local:
            with open(pair.path(0, name), "wb") as f:
                f.write(b"stays on PC 1")
        # A file written after them arrives after they would have: once it is there and both
        # sides are idle, anything not ignored would be there too.
        for side in (0, 1):
            data = BOM + items_text([Entry("written on PC %d" % (side + 1))]).encode()
            written = time.monotonic()
            with open(pair.path(side, "templates3.txt"), "wb") as f:
                f.write(data)
            log("a file written on PC %d is on PC %d after %.2f s"
                % (side + 1, 2 - side, pair.arrival("templates3.txt", data, 1 - side, written, ARRIVAL)))
            pair.wait_same("templates3.txt", ARRIVAL)
        self.assertEqual([name for name in local if pair.read(1, name) is not None], [])


class SyncTests(TwoPCTestCase):
    def test_copies_on_both_pcs_reach_both_histories_without_a_question(self):
        old = Entry("前からある項目")
        pair, app1, app2 = self.two_pcs(settings_text(StayVisible=1), history=[old])
        for app in (app1, app2):
            self.show(app)
        self.settle()
        expected = [old]
        for i in range(6):
            source, other = (app1, app2) if i % 2 == 0 else (app2, app1)
            text = "copy %d on PC %d コピー" % (i + 1, 1 + i % 2)
            copied = time.monotonic()
            source.session.clipcopy(text)
            source.wait_history(lambda h: h[:1] == [Entry(text)], "copy %d in its own PC's history" % (i + 1))
            self.arrive(lambda: Entry(text) in (other.history() or []), "copy %d in the other PC's history.ini"
                        % (i + 1), 0.05)
            in_file = time.monotonic() - copied
            self.arrive(lambda: text in other.texts(), "copy %d in the other PC's list" % (i + 1), 0.1, other.texts)
            log("copy %d: in the other PC's history.ini after %.2f s, in its list after %.2f s"
                % (i + 1, in_file, time.monotonic() - copied))
            expected.insert(0, Entry(text))
        self.wait_both(pair, "history.ini", lambda data: parse_items(data) == expected, "every copy, newest first")
        for app in (app1, app2):
            self.arrive(lambda: app.texts() == [e.text for e in expected], "every copy in the list of %s" % app.dir,
                        seen=app.texts)
        self.assert_no_question()

    def add_template(self, app, text):
        """Ctrl+N on the first row of tab 1, the text typed into the new-entry dialog, OK."""
        with self.at(app.session):
            app.show_by_hotkey()
            self.switch_right(app, lambda m: SHARED.text in [r[1] for r in m["list"]["rows"]], "tab 1")
            # The other PC's template may arrive meanwhile and go on top: the list then keeps its
            # selection on the entry right-clicked here, one row lower. Either will do.
            clicked = app.main()["list"]["rows"][0][1]
            self.session.click(*self.row_point(app, 0), button=3)
            poll(self.open_menus, 20, 0.2, "the context menu")
            self.session.key("Escape")

            def selected(m):
                row = m["list"]["selected"]
                return row == 0 or (row > 0 and m["list"]["rows"][row][1] == clicked)

            poll(lambda: not self.open_menus() and selected(app.main()), 20, 0.2, "row 0 or %r selected" % clicked)
            self.session.key("ctrl+n")
            dialog, _ = self.edit_dialog("アイテムの新規登録")
            self.replace_dialog_text(dialog, text)
            self.press(dialog, 1)
            poll(lambda: not [b for b in self.message_boxes() if b["hwnd"] == dialog["hwnd"]], 20, 0.2,
                 "the dialog closed")

    def test_a_template_added_on_each_pc_is_kept_on_both(self):
        pair, app1, app2 = self.two_pcs(settings_text(StayVisible=1), history=[Entry("h")],
                                        templates={"templates.txt": [SHARED]})
        # PC 2's user adds a template while PC 1's addition is on its way (or just arrived).
        self.add_template(app1, "template from PC 1")
        self.add_template(app2, "template from PC 2")
        names = sorted(["template from PC 1", "template from PC 2", SHARED.text])
        kept = parse_items(self.wait_both(pair, "templates.txt",
                                          lambda data: sorted(e.text for e in parse_items(data)) == names,
                                          "both new templates and the old one"))
        self.assertEqual(kept[-1], SHARED)
        for app in (app1, app2):
            self.arrive(lambda: sorted(app.texts()) == names, "all three templates in the list of %s" % app.dir,
                        seen=app.texts)
        self.assert_no_question()

    def type_in_memo(self, app, where, keys):
        """Shows the window on app's PC, goes to the memo pad of tab 1 and, at ctrl+Home or
        ctrl+End, presses keys (xdotool key names or ("type", text))."""
        with self.at(app.session):
            app.show_by_hotkey()
            self.switch_right(app, memo_shown, "the memo pad of tab 1")
            self.session.click(*center(app.control(MEMO)["rect"]))
            self.wait_focus(app, MEMO)
            self.session.key(where)
            for k in keys:
                if isinstance(k, tuple):
                    self.session.type_text(k[1])
                else:
                    self.session.key(k)

    def test_the_memo_pad_typed_on_both_pcs_keeps_both_texts(self):
        lines = "line one\r\nline two\r\nline three"
        settings = with_tabs(settings_text(StayVisible=1), Tab1="メモ", TabType1=2)
        pair, app1, app2 = self.two_pcs(settings, history=[Entry("h")], templates={"templates.txt": BOM + lines.encode()})
        # PC 1 adds a last line, PC 2 a first one before PC 1's pause in typing has been written.
        self.type_in_memo(app1, "ctrl+End", ["Return", ("type", "typed on PC 1")])
        poll(lambda: (memo_text(app1) or "").endswith("typed on PC 1"), 20, 0.2, "PC 1's line typed")
        self.type_in_memo(app2, "ctrl+Home", [("type", "typed on PC 2"), "Return"])
        merged = "typed on PC 2\r\n" + lines + "\r\ntyped on PC 1"
        for app in (app1, app2):
            self.arrive(lambda: memo_text(app) == merged, "both lines in the memo pad of %s" % app.dir,
                        seen=lambda: memo_text(app))
        self.wait_both(pair, "templates.txt", lambda data: data == BOM + merged.encode(), "both lines")
        self.assert_no_question()

    def test_a_conflict_copy_is_taken_in_put_away_and_told(self):
        ours = [Entry("項目 B"), Entry("項目 A")]
        pair, app1, app2 = self.two_pcs(settings_text(StayVisible=1), history=ours)
        for app in (app1, app2):
            self.show(app)
        # The other PC's version of the history, as Syncthing keeps it when both changed it:
        # written under a temporary name, then renamed.
        copy = BOM + items_text([Entry(NEW_ENTRY)] + ours).encode()
        temporary = app1.path(".syncthing.%s.tmp" % CONFLICT_COPY)
        with open(temporary, "wb") as f:
            f.write(copy)
        os.rename(temporary, app1.path(CONFLICT_COPY))

        # Taken in on the PC that finds it first; Syncthing may bring it to the other PC before
        # it is gone, and that PC takes it in too. Whoever puts it away says so.
        def put_away(app):
            folder = app.path(os.path.join("backup", "conflicts"))
            names = os.listdir(folder) if os.path.isdir(folder) else []
            return any(app.read(os.path.join("backup", "conflicts", n)) == copy for n in names)

        told = {}

        def tell_balloons():
            for app in (app1, app2):
                if app.dir not in told and put_away(app):
                    with self.at(app.session):
                        told[app.dir] = self.balloon_shown("競合")
            return told

        def left():
            return [n for app in (app1, app2) for n in os.listdir(app.dir) if ".sync-conflict-" in n]

        self.arrive(tell_balloons, "the conflict copy in backup/conflicts on either PC", seen=left)
        self.arrive(lambda: not left(), "the conflict copy gone from both folders", seen=left)
        tell_balloons()
        self.assertEqual([d for d, shown in told.items() if not shown], [], "no balloon with 競合 on these PCs")

        texts = sorted([NEW_ENTRY] + [e.text for e in ours])
        self.wait_both(pair, "history.ini", lambda data: sorted(e.text for e in parse_items(data)) == texts,
                       "the taken-in entry beside the others")
        for app in (app1, app2):
            self.arrive(lambda: NEW_ENTRY in app.texts(), "the taken-in entry in the list of %s" % app.dir,
                        seen=app.texts)
        self.assert_no_question()


def memo_text(app):
    return (app.control(MEMO) or {}).get("text")
