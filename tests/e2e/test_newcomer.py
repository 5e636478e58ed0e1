"""A newcomer's first minutes: the first start in an empty folder shows the window with a hint
and a balloon at the icon (later starts stay hidden), a second start shows the running window
without any box, a start from the temporary folder (as from inside a zip) or without img is
warned about, and the input hooks run at a raised priority and survive a resume and an unlock."""

import getpass
import os
import shutil
import time

from harness import Config, E2ETestCase, Entry, poll

HINT = 1006
WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC = 0x218, 0x12
WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK = 0x2B1, 0x8
THREAD_PRIORITY_HIGHEST = 2


class NewcomerTestCase(E2ETestCase):
    def foreground_class(self):
        return (self.session.state()["foreground"] or {}).get("class")

    def box_saying(self, *words, timeout=30):
        """The visible box of ours whose text holds every one of words."""
        def find():
            for box in self.message_boxes():
                texts = " ".join(c["text"] for c in box["children"])
                if all(w in texts for w in words):
                    return box
            return None
        return poll(find, timeout, 0.2, "a box saying %r" % (words,))


class FirstRunTests(NewcomerTestCase):
    def test_the_first_start_shows_the_window_once_and_later_starts_stay_hidden(self):
        app = self.app(settings=False)  # an empty folder: the exe and img only
        main = app.wait_visible(True)
        poll(lambda: self.foreground_class() == "NomaclipWnd", 20, 0.2, "the window in front")
        hint = poll(lambda: app.control(HINT), 20, 0.2, "the hint in the empty history")
        self.assertTrue(hint["visible"])
        self.assertIn("コピーしたテキスト", hint["text"])
        self.assertIn("F12", hint["text"])
        self.assertTrue(self.balloon_shown("通知領域"), "a balloon points at the icon")
        self.assertEqual(self.message_boxes(), [], "a folder of one's own is no cause for a warning")
        self.assertEqual(main["list"]["count"], 0)
        # settings.ini is there at once: the next start is no first run, even without a hide.
        poll(lambda: app.read("settings.ini"), 20, 0.2, "settings.ini written")

        # The first copy takes the hint's place.
        self.session.key("Escape")
        app.wait_visible(False)
        self.settle()
        self.session.xclip_copy("first copy")
        app.wait_history(lambda h: h == [Entry("first copy")], "the first copy")
        self.session.click(*app.tray_icon_point())
        app.wait_visible(True)
        poll(lambda: not (app.control(HINT) or {}).get("visible"), 20, 0.2, "the hint gone")

        app.restart()
        time.sleep(2)
        self.assertFalse(app.visible(), "a later start stays hidden")

    def test_a_second_start_shows_the_running_window_without_a_box(self):
        app = self.app(history=[Entry("x")])
        first = app.main()
        files = {name: app.file_stamp(name) for name in ("settings.ini", "history.ini")}
        self.notepad()
        second = app.start_another()
        self.programs.append(second)  # ended with the test, should it wait on something
        self.assertEqual(second.wait(timeout=30), 0)
        app.wait_visible(True)
        poll(lambda: self.foreground_class() == "NomaclipWnd", 20, 0.2, "the window in front")
        self.assertEqual(self.message_boxes(), [])
        self.assertEqual(app.main()["hwnd"], first["hwnd"], "the running window, no other")
        self.assertEqual({name: app.file_stamp(name) for name in files}, files, "the second start wrote a file")
        # Started once more while shown: it stays shown.
        third = app.start_another()
        self.programs.append(third)
        self.assertEqual(third.wait(timeout=30), 0)
        time.sleep(1)
        self.assertTrue(app.visible())
        self.assertEqual(self.message_boxes(), [])
        self.assertTrue(app.running())


class FolderTests(NewcomerTestCase):
    def test_a_start_from_the_temporary_folder_is_warned_about(self):
        # Explorer runs an exe "from inside a zip" by copying it alone into %TEMP%.
        user = getpass.getuser()
        temporary = os.path.join(self.session.prefix, "drive_c", "users", user, "Temp")
        folder = os.path.join(temporary, "Temp1_nomaclip.zip", "nomaclip")
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(Config.nomaclip, os.path.join(folder, "nomaclip.exe"))
        exe = "C:\\users\\%s\\Temp\\Temp1_nomaclip.zip\\nomaclip\\nomaclip.exe" % user
        self.programs.append(self.session.spawn([exe], cwd=folder))
        box = self.box_saying("一時フォルダー", "img フォルダー", "展開")
        self.assertEqual(box["title"], "エラー")
        self.answer_box(box)
        # Then the first run goes on as anywhere else, and nothing is said twice.
        poll(lambda: (self.session.state()["main"] or {}).get("visible"), 20, 0.2, "the window shown")
        time.sleep(1)
        self.assertEqual(self.message_boxes(), [])


class HookTests(NewcomerTestCase):
    def test_the_hooks_run_raised_and_are_installed_anew_on_resume_and_unlock(self):
        app = self.app(history=[Entry("x")])
        priorities = self.session.probe("thread-priorities")["priorities"]
        self.assertGreaterEqual(max(priorities), THREAD_PRIORITY_HIGHEST, priorities)
        app.show_by_hotkey()
        self.session.post("main", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)
        self.session.post("main", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK)
        time.sleep(1)
        # Each F1 reaches one hook of ours, once: toggled on, and only once.
        self.session.key("F1")
        app.wait_setting("AlwaysOnTop", 1)
        time.sleep(1)
        self.assertEqual(app.settings()["AlwaysOnTop"], "1")
        self.session.key("F1")
        app.wait_setting("AlwaysOnTop", 0)
        self.assertEqual(len(self.session.probe("thread-priorities")["priorities"]), len(priorities))
