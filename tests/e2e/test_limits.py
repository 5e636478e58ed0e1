"""Copies the program must not be made to choke on: a text over MaxEntryChars is not recorded and
is told once per run, and a clipboard owner that renders its text late never holds up the
window (the text is recorded once it is there), and a copy from a program busy for seconds is
recorded once it answers again."""

import json
import os
import time

from harness import Config, E2ETestCase, Entry, poll, settings_text

TOO_LONG = "長すぎる"


class LimitTests(E2ETestCase):
    def test_a_copy_over_the_cap_is_not_recorded_and_told_once(self):
        settings = settings_text() + b"\r\n[Clipboard]\r\nMaxEntryChars=10\r\n"
        app = self.app(settings=settings, history=[Entry("older")])
        self.settle()
        self.session.clipcopy("0123456789A")
        self.assertTrue(self.balloon_shown(TOO_LONG), "a balloon tells the copy was not recorded")
        time.sleep(1)
        self.assertEqual(app.history(), [Entry("older")])
        self.session.clipcopy("0123456789")
        app.wait_history(lambda h: h == [Entry("0123456789"), Entry("older")], "a copy at the cap")
        poll(lambda: not any(TOO_LONG in t for t in self.balloon_texts()), 30, 0.5, "the balloon gone")
        self.session.clipcopy("0123456789AB")
        self.assertFalse(self.balloon_shown(TOO_LONG, timeout=3), "told once per run")
        self.assertEqual(app.history(), [Entry("0123456789"), Entry("older")])

    def test_an_owner_that_renders_late_never_holds_up_the_window(self):
        app = self.app(history=[Entry("older")])
        self.settle()
        out = os.path.join(self.session.work, "late-owner.txt")
        with open(out, "wb") as f:
            owner = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "late-owner", "3000", "late text"],
                                       stdout=f)
        self.programs.append(owner)
        poll(lambda: b'"asked":true' in open(out, "rb").read(), 30, 0.1, "the owner asked to render")
        _, text = self.session.run_helper("probe.exe", "ping-main", 1500)
        ping = json.loads(text)
        self.assertEqual(ping["answered"], ping["asked"], ping)
        self.assertLess(ping["longest_ms"], 500, "the window answered while the owner rendered")
        app.wait_history(lambda h: h == [Entry("late text"), Entry("older")], "the late text recorded")

    def test_a_copy_from_a_program_busy_for_seconds_reaches_the_history(self):
        app = self.app(history=[Entry("older")])
        self.settle()
        program = self.stand_in()
        self.session.type_text("busy copy")
        poll(lambda: program.text() == "busy copy", 20, 0.2, "the text typed into the stand-in")
        # Windows calls a window hung after five seconds without a message; it copies after six
        # and stays busy long after: its rendered text is read all the same, while it is busy.
        program.busy_copy(90000, 6000)
        poll(program.copied_while_busy, 30, 0.2, "the copy made while busy")
        app.wait_history(lambda h: h == [Entry("busy copy"), Entry("older")], "the busy program's copy", timeout=30)
        self.assertEqual(program.text(), "", "the program still busy: not waited for")
