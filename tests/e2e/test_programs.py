"""Rules by program and secrets that leave the clipboard: copies made by a program named in
IgnorePrograms are never recorded, the automatic paste sends each program its paste key
(terminals by default, PasteKeys when given), and an entry of a tab open for the run leaves the
clipboard after ClearSecretSeconds, at the quit too, unless another copy came since. The
stand-in program runs under the names that matter (KeePass.exe, putty.exe, ttermpro.exe, ...)."""

import time

from harness import BOM, Entry, items_text, poll, settings_text, with_tabs
from test_entries import EntryTestCase
from test_sealed_tabs import python_seal
from test_settings import SettingsTestCase

IGNORE_PROGRAMS, PASTE_KEYS, IDOK = 1012, 1013, 1

DONE_OPEN_FOR_RUN = ("一時的に解除しました。終了時に自動で再暗号化されます。", "完了")


def with_rules(settings, **rules):
    """settings.ini bytes with keys of the rules by program appended."""
    return settings + ("\r\n[Programs]\r\n" + "".join("%s=%s\r\n" % kv for kv in rules.items())).encode("utf-8")


class ProgramTestCase(EntryTestCase):
    ENTRY = "pasted entry"

    def copy_in(self, program, text):
        """Types text into the stand-in's edit and copies it there with Ctrl+C, as a user copies
        in that program; the clipboard's owner is then the program's own window."""
        self.session.type_text(text)
        poll(lambda: program.text() == text, 20, 0.2, "%r typed" % text)
        self.session.key("shift+Home", "ctrl+c")
        poll(lambda: self.session.clipboard()["text"] == text, 20, 0.2, "%r on the clipboard" % text)

    def paste_keys_into(self, app, exe):
        """Chooses the first entry with automatic paste into a stand-in named exe; returns the
        keys it received for it."""
        program = self.stand_in(exe_name=exe)
        self.session.type_text("x")
        poll(lambda: program.text() == "x", 20, 0.2, "typed into %s" % exe)
        app.show_by_hotkey()
        before = len(program.keys())
        self.session.key("Return")
        poll(lambda: program.keys()[before:], 20, 0.2, "keys reaching %s" % exe)
        time.sleep(0.5)
        keys = program.keys()[before:]
        app.wait_visible(False)
        return program, keys


class IgnoreProgramTests(ProgramTestCase):
    def test_copies_from_a_listed_program_are_not_recorded(self):
        app = self.app(settings=with_rules(settings_text(), IgnorePrograms=" C:\\Apps\\keepass.exe ;;"),
                       history=[Entry("older")])
        keepass = self.stand_in(exe_name="KeePass.exe")
        self.copy_in(keepass, "kp secret")
        time.sleep(1.5)  # time enough to (wrongly) record it
        self.assertEqual(app.history(), [Entry("older")])
        editor = self.stand_in(exe_name="editor.exe", at=(700, 450))
        self.copy_in(editor, "editor text")
        app.wait_history(lambda h: h == [Entry("editor text"), Entry("older")], "the editor's copy recorded")

        # The program that copied counts, not the one in front: KeePass copying behind the
        # editor is not recorded; the editor copying behind KeePass is.
        self.session.key("End")
        self.session.type_text(" 2")
        poll(lambda: editor.text() == "editor text 2", 20, 0.2, "typed into the editor")
        keepass.copy()
        poll(lambda: self.session.clipboard()["text"] == "kp secret", 20, 0.2, "KeePass's copy from behind")
        time.sleep(1.5)
        self.assertEqual(app.history(), [Entry("editor text"), Entry("older")])
        left, top, _, _ = keepass.rect()
        self.session.click(left + 60, top + 60)  # on KeePass, clear of the editor
        poll(lambda: (self.session.state()["foreground"] or {}).get("hwnd") == keepass.hwnd, 20, 0.2, "KeePass in front")
        editor.copy()
        app.wait_history(lambda h: h[:1] == [Entry("editor text 2")], "the editor's copy from behind recorded")


class PasteKeyTests(ProgramTestCase):
    def test_terminals_get_their_own_paste_keys_by_default(self):
        app = self.app(settings=dict(AutoPaste=1), history=[Entry(self.ENTRY)])
        putty, keys = self.paste_keys_into(app, "putty.exe")
        self.assertEqual(keys, [("edit", "Shift+Insert")])
        poll(lambda: putty.text() == "x" + self.ENTRY, 20, 0.2, "pasted by Shift+Insert")
        _, keys = self.paste_keys_into(app, "ttermpro.exe")
        self.assertEqual(keys, [("edit", "Alt+V")])
        _, keys = self.paste_keys_into(app, "editor.exe")
        self.assertEqual(keys, [("edit", "Ctrl+V")])

    def test_paste_keys_given_replace_the_built_in_ones(self):
        settings = with_rules(settings_text(AutoPaste=1), PasteKeys="editor.exe=ctrl+shift+v;putty.exe=Ctrl+V;x.exe=Ctrl+Q")
        app = self.app(settings=settings, history=[Entry(self.ENTRY)])
        _, keys = self.paste_keys_into(app, "editor.exe")
        self.assertEqual(keys, [("edit", "Ctrl+Shift+V")])
        _, keys = self.paste_keys_into(app, "putty.exe")
        self.assertEqual(keys, [("edit", "Ctrl+V")])


class SecretTests(ProgramTestCase):
    PASSWORD = "clear-pass"

    def app_with_secret(self, seconds):
        settings = with_tabs(settings_text(StayVisible=1), Tab1="秘密")
        settings += ("\r\n[Clipboard]\r\nClearSecretSeconds=%d\r\n" % seconds).encode()
        app = self.app(settings=settings, history=[Entry("history entry")], templates={
            "templates.txt": python_seal(items_text([Entry("secret entry")]), self.PASSWORD),
            "templates2.txt": BOM + items_text([Entry("plain entry")]).encode()})
        app.show_by_hotkey()
        self.session.key("Right")
        self.wait_panel(app, "unlock")
        self.open_with(app, self.PASSWORD)
        self.close_box(self.wait_box(DONE_OPEN_FOR_RUN))
        self.wait_rows(app, ["secret entry"])
        return app

    def choose(self, text):
        self.session.key("Return")
        poll(lambda: self.session.clipboard()["text"] == text, 20, 0.2, "%r on the clipboard" % text)

    def test_a_secret_leaves_the_clipboard_unless_another_copy_came_since(self):
        app = self.app_with_secret(4)
        self.choose("secret entry")
        poll(lambda: self.session.clipboard()["text"] is None, 20, 0.2, "the secret taken off after 4 s")

        # Another program's copy made meanwhile is never touched.
        self.choose("secret entry")
        self.session.clipcopy("copied elsewhere")
        time.sleep(5)  # time enough to (wrongly) take it off
        self.assertEqual(self.session.clipboard()["text"], "copied elsewhere")

        # Choosing again starts the time again: 5 s after the first choice, 2.5 s after the second,
        # the secret is still there (a second and a half of margin either way).
        self.choose("secret entry")
        time.sleep(2.5)
        self.choose("secret entry")
        time.sleep(2.5)
        self.assertEqual(self.session.clipboard()["text"], "secret entry", "4 s from the second choice")
        poll(lambda: self.session.clipboard()["text"] is None, 20, 0.2, "the secret gone")

        # An entry of a plain tab stays.
        self.session.key("Right")
        self.wait_rows(app, ["plain entry"])
        self.choose("plain entry")
        time.sleep(5)  # time enough to (wrongly) take it off
        self.assertEqual(self.session.clipboard()["text"], "plain entry")

    def test_the_quit_takes_a_secret_off_at_once(self):
        app = self.app_with_secret(600)
        self.choose("secret entry")
        self.assertEqual(app.exit_by_tray_menu(), 0)
        self.assertIsNone(self.session.clipboard()["text"])


class SettingsFieldTests(SettingsTestCase):
    def test_the_dialog_shows_what_will_be_used_and_refuses_unknown_keys(self):
        app = self.app(history=[Entry("x")])
        app.show_by_hotkey()
        self.open_settings(app)
        self.assertEqual(self.control(IGNORE_PROGRAMS)["text"], "")
        self.assertEqual(self.control(PASTE_KEYS)["text"], "putty.exe=Shift+Insert;kitty.exe=Shift+Insert;"
                                                            "mintty.exe=Shift+Insert;ttermpro.exe=Alt+V")
        self.set_number(IGNORE_PROGRAMS, " C:\\Apps\\KeePass.exe ;; editor.exe")
        self.click_control(PASTE_KEYS)  # leaving the box shows what will be used of it
        self.wait_control(IGNORE_PROGRAMS, lambda c: c["text"] == "KeePass.exe;editor.exe", "the list as it is used")
        self.set_number(PASTE_KEYS, "editor.exe=Ctrl+Q")
        self.click_control(IDOK)
        box = poll(lambda: ([b for b in self.message_boxes() if b["title"] == "設定エラー"] or [None])[0], 20, 0.2,
                   "the refusal")
        self.assertIn("editor.exe=Ctrl+Q", " ".join(c["text"] for c in box["children"]))
        self.answer_box(box)
        self.assertIsNotNone(self.dialog(), "the dialog stays open on the box to mend")
        self.assertNotIn("PasteKeys", app.settings())
        self.set_number(PASTE_KEYS, "editor.exe = ctrl+shift+v")
        self.close_dialog()
        app.wait_setting("IgnorePrograms", "KeePass.exe;editor.exe")
        app.wait_setting("PasteKeys", "editor.exe=Ctrl+Shift+V")
