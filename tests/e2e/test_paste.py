"""The automatic paste lands where the user was, as on a Windows desktop: in a program whose
frame hands the focus to its edit only on activation, as Ctrl+V even with Shift still held,
never in a shell flyout that was in front for a moment, never into a program that has stopped
answering (and the tool window keeps answering meanwhile), and also when another program holds
the clipboard for a moment as the entry is chosen."""

import os
import time

from harness import Config, E2ETestCase, Entry, poll


class PasteTestCase(E2ETestCase):
    ENTRY = "pasted entry"

    def paste_app(self, **settings):
        return self.app(settings=dict(AutoPaste=1, **settings), history=[Entry(self.ENTRY), Entry("second")])

    def type_into(self, program, text):
        self.session.type_text(text)
        poll(lambda: program.text() == text, 20, 0.2, "%r typed into the stand-in" % text)

    def ping_main(self, ms):
        """The longest the tool window took to answer while it was asked for ms milliseconds."""
        _, out = self.session.run_helper("probe.exe", "ping-main", ms)
        return __import__("json").loads(out)

    def notepad_text(self):
        return (self.session.state()["notepad"] or {}).get("text")


class PasteTests(PasteTestCase):
    def test_paste_lands_in_the_edit_of_a_program_that_restores_its_own_focus(self):
        app = self.paste_app()
        program = self.stand_in()
        self.type_into(program, "f:")
        app.show_by_hotkey()
        self.session.key("Return")
        poll(lambda: program.text() == "f:" + self.ENTRY, 20, 0.2, "the entry pasted into the edit")
        self.assertEqual([k for k in program.keys() if k[1] == "Ctrl+V"], [("edit", "Ctrl+V")])
        app.wait_visible(False)

    def test_the_enter_that_chose_never_reaches_the_program(self):
        # Held past the repeat delay: the program comes forward once it is let go, and gets
        # nothing of it (Windows sends a key's release to the window in front when it comes).
        app = self.paste_app()
        program = self.stand_in()
        self.type_into(program, "e:")
        app.show_by_hotkey()
        self.session.xdo("keydown", "Return", "sleep", "0.8", "keyup", "Return")
        poll(lambda: program.text() == "e:" + self.ENTRY, 20, 0.2, "the entry pasted")
        self.assertEqual(program.key_events("Enter"), [])
        app.wait_visible(False)

    def test_shift_held_while_choosing_reaches_the_program_as_ctrl_v(self):
        app = self.paste_app()
        program = self.stand_in()
        self.type_into(program, "s:")
        app.show_by_hotkey()
        before = len(program.keys())
        self.session.xdo("keydown", "shift")
        try:
            self.session.key("Return")
            poll(lambda: any(k.endswith("V") for _, k in program.keys()[before:]), 20, 0.2, "the paste keys")
            time.sleep(0.3)  # anything else the paste sent
        finally:
            self.session.xdo("keyup", "shift")
        self.assertEqual(program.keys()[before:], [("edit", "Ctrl+V")])
        poll(lambda: program.text() == "s:" + self.ENTRY, 20, 0.2, "the entry pasted")

    def test_a_shell_flyout_in_front_for_a_moment_never_takes_the_paste(self):
        app = self.paste_app()
        self.notepad()
        self.session.type_text("n:")
        poll(lambda: self.notepad_text() == "n:", 20, 0.2, "typed text in notepad")
        # Wine tells no program of another one's foreground changes (EVENT_SYSTEM_FOREGROUND):
        # the window called up over notepad once learns of it as Windows would have told it.
        app.show_by_hotkey()
        self.session.key("Escape")
        app.wait_visible(False)
        poll(lambda: (self.session.state()["foreground"] or {}).get("class") == "Notepad", 20, 0.2, "notepad again")
        # Windows 10's notification-area overflow comes up in front of notepad just before the
        # user clicks our icon in it.
        flyout = self.stand_in("NotifyIconOverflowWindow")
        self.session.click(*app.tray_icon_point())
        app.wait_visible(True)
        poll(lambda: (self.session.state()["foreground"] or {}).get("class") == "NomaclipWnd", 20, 0.2,
             "the tool window in front")
        self.session.key("Return")
        poll(lambda: self.notepad_text() == "n:" + self.ENTRY, 20, 0.2, "the entry pasted into notepad")
        self.assertEqual(flyout.keys(), [])
        self.assertEqual(flyout.text(), "")

    def test_a_program_that_stopped_answering_gets_no_keys_and_the_window_keeps_answering(self):
        app = self.paste_app()
        program = self.stand_in()
        self.type_into(program, "h:")
        app.show_by_hotkey()
        program.hang(9000)
        # Windows counts a window as not answering once it has not read its messages for 5 s.
        time.sleep(5.5)
        before = len(program.keys())
        self.session.key("Return")
        ping = self.ping_main(1500)
        self.assertEqual(ping["answered"], ping["asked"], ping)
        self.assertLess(ping["longest_ms"], 500, "the tool window answered within half a second")
        told = self.balloon_shown("応答していません")
        # Once it answers again, nothing arrives: the text waits on the clipboard for Ctrl+V.
        poll(lambda: program.text(), 20, 0.5, "the stand-in answering again")
        time.sleep(1.0)
        self.assertEqual(program.text(), "h:")
        self.assertEqual(program.keys()[before:], [])
        self.assertEqual(self.session.clipboard()["text"], self.ENTRY)
        self.assertTrue(told, "a balloon said why nothing was pasted")

    def test_a_clipboard_held_for_a_moment_by_another_program_still_takes_the_entry(self):
        app = self.paste_app()
        program = self.stand_in()
        self.type_into(program, "c:")
        app.show_by_hotkey()
        # Another program opens the clipboard as Enter is pressed and keeps it for 150 ms.
        out = os.path.join(self.session.work, "hold-on-enter.txt")
        with open(out, "wb") as f:
            holder = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "hold-clipboard-on-enter", "150"],
                                        stdout=f)
        self.programs.append(holder)
        self.helper_logs.append(out)
        poll(lambda: b'"armed":true' in open(out, "rb").read(), 30, 0.2, "the holder ready")
        self.session.key("Down", "Return")
        poll(lambda: b'"held":true' in open(out, "rb").read(), 20, 0.2, "the clipboard held as Enter was pressed")
        poll(lambda: program.text() == "c:second", 20, 0.2, "the chosen entry pasted")
