"""連続貼り付け, pasting in the order copied: F9 turns it on; texts another program copies wait in a
queue, and each Ctrl+V the user presses in a program pastes the next one, in the order copied;
the last one ends the mode and stays on the clipboard. A clipboard reader that reads every change
(as clipboard history tools do) moves nothing, and entries queued with Shift+Enter from a
template tab paste the same way."""

import json
import os

from harness import BOM, TRAY_MENU, Config, E2ETestCase, Entry, items_text, poll, settings_text

QUEUE_BUTTON = 105
FINISHED = "連続貼り付けが終わりました（3 件）"


class QueueTests(E2ETestCase):
    def queue_button(self):
        return [b for b in self.session.access()["toolbar"]["buttons"] if b["id"] == QUEUE_BUTTON][0]

    def click_into(self, program):
        """A click into the program's text, as the user goes back to the form."""
        l, t, r, b = program.rect()
        self.session.click((l + r) // 2, (t + b) // 2)
        poll(lambda: (self.session.state()["foreground"] or {}).get("hwnd") == program.hwnd, 20, 0.2,
             "the program in front")

    def start_queue(self, app, program, from_tray=False):
        """連続貼り付け turned on with F9 in the window called up over the program (the window
        hidden again), or from the tray icon's menu; then the user back in the program."""
        if from_tray:
            app.choose_from_tray_menu(TRAY_MENU.index("連続貼り付け"))
        else:
            app.show_by_hotkey()
            self.session.key("F9")
        poll(lambda: self.queue_button()["checked"], 20, 0.2, "連続貼り付け on")
        if not from_tray:
            app.hotkey()
            app.wait_visible(False)
        self.click_into(program)

    def copy(self, *texts):
        """Another program copies the texts 30 ms apart."""
        self.settle()
        self.session.run_helper("probe.exe", "copy-texts", 30, *texts)

    def waiting(self, count):
        """The queue's first text on the clipboard, announced by the tool window and marked for
        monitors (read without asking for it), and `count` texts waiting."""

        def ready():
            _, out = self.session.run_helper("probe.exe", "clipboard-owner")
            owner = json.loads(out)
            return (owner["owner"] == "NomaclipWnd" and "ExcludeClipboardContentFromMonitorProcessing" in owner["formats"]
                    and self.queue_button()["tip"] == "連続貼り付け：残り %d 件" % count)

        poll(ready, 20, 0.2, "the first of %d texts on the clipboard" % count)

    def paste(self, program, expected, then_waiting=0):
        """Ctrl+V in the program; then, while texts wait, the next one on the clipboard."""
        self.session.key("ctrl+v")
        poll(lambda: program.text() == expected, 20, 0.1, "%r in the program" % expected)
        if then_waiting:
            self.waiting(then_waiting)

    def paste_three(self, program):
        for expected, left in (("A", 2), ("AB", 1), ("ABC", 0)):
            self.paste(program, expected, left)

    def monitor(self, *how):
        """A clipboard monitor started and listening; the path of its log."""
        out = os.path.join(self.session.work, "monitor-%s-%s.txt" % (id(self), "-".join(how) or "reads"))
        with open(out, "wb") as f:
            self.programs.append(self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "monitor"] + list(how),
                                                    stdout=f))
        self.helper_logs.append(out)
        poll(lambda: b'"listening":true' in open(out, "rb").read(), 30, 0.2, "the monitor listening")
        return out

    def report_put_times(self, program, monitor_log):
        """Prints, for each Ctrl+V after which a text waited, the time until the clipboard's last
        change before the next Ctrl+V: the next text put up (a figure, not a check)."""
        with open(monitor_log, "rb") as f:
            changes = [json.loads(line)["change"] for line in f if b'"change"' in line]
        presses = program.press_times("Ctrl+V")
        times = [max([c for c in changes if a < c < b] or [a]) - a for a, b in zip(presses, presses[1:3])]
        print("Ctrl+V to the next text on the clipboard: %s ms" % ", ".join(map(str, times)))

    def test_three_copies_paste_in_the_order_copied_and_the_last_ends_the_mode(self):
        app = self.app(history=[Entry("older")])
        program = self.stand_in()
        changes = self.monitor("quiet")
        self.start_queue(app, program)
        self.copy("A", "B", "C")
        app.wait_history(lambda h: [e.text for e in h[:3]] == ["C", "B", "A"], "the three copies recorded")
        self.waiting(3)
        self.paste_three(program)
        self.report_put_times(program, changes)
        self.assertTrue(self.balloon_shown(FINISHED), "a balloon says the queue is done")
        poll(lambda: not self.queue_button()["checked"], 20, 0.2, "連続貼り付け off")
        # The last one stays on the clipboard: a fourth Ctrl+V pastes C again.
        self.paste(program, "ABCC")
        self.assertEqual(program.keys().count(("edit", "Ctrl+V")), 4)
        self.assertEqual(app.history()[:3], [Entry("C"), Entry("B"), Entry("A")], "the pastes recorded nothing")

    def test_a_reader_of_every_change_does_not_move_the_queue(self):
        app = self.app(history=[Entry("older")])
        program = self.stand_in()
        out, changes = self.monitor(), self.monitor("quiet")
        self.start_queue(app, program, from_tray=True)
        self.copy("A", "B", "C")
        self.waiting(3)
        # It read the first text the moment it went on the clipboard; the queue did not move.
        poll(lambda: b'"read":"A"' in open(out, "rb").read(), 20, 0.2, "the monitor reading A")
        self.waiting(3)
        # Read before the paste key, the text is rendered: its paste cannot be seen, and the key's
        # release, with a short pause, stands for it; the next one goes up after that pause.
        self.paste_three(program)
        self.report_put_times(program, changes)
        poll(lambda: not self.queue_button()["checked"], 20, 0.2, "連続貼り付け off")

    def test_shift_enter_on_three_template_rows_queues_them_in_that_order(self):
        templates = BOM + items_text([Entry("A"), Entry("B"), Entry("C")]).encode()
        app = self.app(settings=settings_text(StayVisible=1), history=[Entry("h")],
                       templates={"templates.txt": templates})
        program = self.stand_in()
        app.show_by_hotkey()
        self.session.key("F9")
        poll(lambda: self.queue_button()["checked"], 20, 0.2, "連続貼り付け on")
        self.session.key("Right")
        poll(lambda: app.texts() == ["A", "B", "C"], 20, 0.2, "the template tab")
        self.session.key("shift+Return", "Down", "shift+Return", "Down", "shift+Return")
        self.waiting(3)
        self.assertTrue(app.visible(), "queued, nothing chosen")
        self.click_into(program)
        self.paste_three(program)
