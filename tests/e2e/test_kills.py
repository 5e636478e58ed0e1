"""Hard stops during saves: the process is ended without warning (as TerminateProcess does) at
random moments while copies are captured, a tab is sealed and a memo pad is typed in. After
every stop each data file is whole (its old content or its new one) and readable, nothing that
was on disk before is lost, and the next start leaves no temporary file behind."""

import os
import random
import subprocess

from harness import BOM, Config, Entry, items_text, log, parse_items, poll, settings_text, with_tabs
from test_entries import EntryTestCase
from test_sealed_tabs import MAGIC, MEMO, python_open

STRIP = 6001

DATA_FILES = ["history.ini", "templates.txt", "templates2.txt", "templates3.txt", "settings.ini"]


class KillTestCase(EntryTestCase):
    PASSWORD = "kill-pass"

    def setUp(self):
        super().setUp()
        self.random = random.Random(int(os.environ.get("E2E_KILL_SEED", "0")) or None)
        self.leftovers = 0  # stops that left a temporary file: the cleaning was exercised

    def hard_stop(self, app, after):
        """Ends the program without warning `after` seconds from now."""
        if after > 0:
            subprocess.run(["sleep", "%.3f" % after], check=True)
        app.stop()  # SIGKILL to the Windows process: no clean-up of any kind
        found = [n for n in os.listdir(app.dir) if n.endswith(".tmp")]
        self.leftovers += bool(found)
        return found

    def restart_and_check_clean(self, app):
        """The next start removes what the stop left; it must start on the files as they are."""
        app.start()
        poll(lambda: not [n for n in os.listdir(app.dir) if n.endswith(".tmp")], 20, 0.2,
             "no temporary file left after the start")
        for name in DATA_FILES:
            data = app.read(name)
            if data is not None and not data.startswith(MAGIC):
                data.decode("utf-8")  # whole and readable

    def report(self, what, rounds):
        log("%s: %d hard stops, %d of them left a temporary file" % (what, rounds, self.leftovers))


class CaptureKillTests(KillTestCase):
    def test_stops_during_captures_lose_nothing(self):
        # A large history, so that every capture rewrites a few megabytes.
        older = [Entry("older %d " % i + "履歴の本文です。" * 120) for i in range(1500)]
        app = self.app(settings=dict(MaxHistory=0), history=older, start=False)
        rounds = 8
        for r in range(rounds):
            app.start()
            self.settle()
            copier = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "copy-many", "80", "30",
                                         "round%d" % r])
            self.programs.append(copier)
            # Once the copies are coming in, the stop falls somewhere among their saves.
            app.wait_history(lambda h: h[0].text.startswith("round%d" % r), "the first copy", timeout=30)
            self.hard_stop(app, self.random.uniform(0.0, 1.5))
            copier.wait(timeout=60)
            data = app.read("history.ini")
            entries = parse_items(data)
            # Whole: the old history with some of the new copies on top, nothing else.
            self.assertEqual(entries[len(entries) - len(older):], older, "round %d: the older entries" % r)
            for e in entries[:len(entries) - len(older)]:
                self.assertTrue(e.text.startswith("round"), e)
            log("round %d: %d copies recorded before the stop" % (r, len(entries) - len(older)))
            older = entries
            self.restart_and_check_clean(app)
            app.stop()
        self.report("captures", rounds)


class SealKillTests(KillTestCase):
    ENTRIES = [Entry("first secret"), Entry("second secret", label="label")]

    def test_stops_during_seals_leave_the_tab_plain_or_sealed(self):
        rounds = 6
        for r in range(rounds):
            settings = with_tabs(settings_text(StayVisible=1), Tab1="秘密")
            app = self.app(settings=settings, history=[Entry("h")], templates={
                "templates.txt": BOM + items_text(self.ENTRIES).encode()}, name="round%d" % r)
            app.show_by_hotkey()
            self.session.key("Right")
            self.wait_rows(app, ["first secret", "label"])
            self.seal_by_keys(app, self.PASSWORD)
            self.hard_stop(app, self.random.uniform(0.0, 0.6))
            data = app.read("templates.txt")
            if data.startswith(MAGIC):
                self.assertEqual(parse_items(python_open(data, self.PASSWORD).encode("utf-8")), self.ENTRIES)
            else:
                self.assertEqual(parse_items(data), self.ENTRIES)
            self.restart_and_check_clean(app)
            app.stop()
        self.report("seals", rounds)


class MemoKillTests(KillTestCase):
    TYPED = "typed into the memo pad while the program is stopped."

    def test_stops_while_typing_keep_a_whole_memo(self):
        rounds = 6
        settings = with_tabs(settings_text(), Tab1="メモ", TabType1=2)
        app = self.app(settings=settings, history=[Entry("h")], templates={"templates.txt": BOM + b"memo start"},
                       start=False)
        before = "memo start"
        for r in range(rounds):
            app.start()
            app.show_by_hotkey()
            self.session.key("Right")
            poll(lambda: ((app.main() or {}).get("focus") or {}).get("id") == STRIP, 20, 0.2, "the memo pad's tab")
            self.session.click(*self.memo_point(app))
            poll(lambda: ((app.main() or {}).get("focus") or {}).get("id") == MEMO, 20, 0.2, "the memo pad")
            self.session.key("ctrl+End")
            typist = subprocess.Popen(["xdotool", "type", "--delay", "25", self.TYPED], env=self.session.x_env(),
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                self.hard_stop(app, self.random.uniform(0.3, 2.5))
            finally:
                typist.wait(timeout=60)
            data = app.read("templates.txt")
            self.assertTrue(data.startswith(BOM), data[:20])
            text = data[3:].decode("utf-8")
            self.assertTrue(text.startswith(before), "round %d: %r kept in %r" % (r, before, text))
            self.assertTrue(self.TYPED.startswith(text[len(before):]) or text[len(before):] == "",
                            "round %d: %r" % (r, text))
            before = text.rstrip(" ")  # a memo pad's trailing blanks are not kept (the readers trim them)
            self.restart_and_check_clean(app)
            app.stop()
        self.report("memo typing", rounds)

    def memo_point(self, app):
        l, t, r, b = app.control(MEMO)["rect"]
        return (l + r) // 2, (t + b) // 2
