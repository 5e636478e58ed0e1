"""The settings dialog (F12, the toolbar, the tray menu's 設定...), the start-up shortcut and
the backup (F11) as a user meets them; the release zip unpacked into an empty folder and run
there; the pictures of the README.

Shortcut files are read from their own layout (the shell link binary format), not through
the shell, so the check does not share the code that wrote them.
"""

import os
import pwd
import re
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

from harness import (BOM, MOD_ALT, MOD_CONTROL, MOD_SHIFT, TRAY_MENU, App, Config, E2ETestCase, Entry, center, items_text,
                     log, poll, settings_text, win_path, with_tabs)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop"))
import envelope_interop as envelope  # noqa: E402

# Settings dialog controls.
HISTORY_LIMIT, MAX_HISTORY, AREA, HOTKEY, DUPLICATES, AUTOSTART = 1001, 1002, 1003, 1005, 1007, 1008
IDOK, IDCANCEL = 1, 2
VK_F9 = 0x78

ASK_BACKUP = ("バックアップしますか？", "確認")
BACKUP_DONE = ("バックアップが完了しました。", "情報")
BACKUP_FAILED = ("バックアップに失敗しました。", "エラー")
NEEDS_MODIFIER = ("ホットキーには Ctrl, Shift, Alt, Winキーのいずれかを組み合わせてください。無効化する場合はDel キーを押してください。",
                  "設定エラー")
HOTKEY_TAKEN = ("ホットキー登録に失敗しました", "Error")

DATA_FILES = ["history.ini", "settings.ini", "templates.txt", "templates2.txt", "templates3.txt"]


def read_shortcut(data):
    """(target path, description) of a shell link file: the LinkInfo's local base path and
    common path suffix (Unicode forms when present) and the NAME_STRING of the string data."""
    if data[:4] != b"\x4c\x00\x00\x00" or len(data) < 0x4C:
        raise AssertionError("not a shell link: %r" % data[:16])
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & 0x01:  # HasLinkTargetIDList
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x02:  # HasLinkInfo

        def cstr(at, wide):
            if wide:
                end = at
                while data[end:end + 2] != b"\0\0":
                    end += 2
                return data[at:end].decode("utf-16-le")
            return data[at:data.index(b"\0", at)].decode("cp1252")

        size, header, _, _, base, _, suffix = struct.unpack_from("<7I", data, pos)
        if header >= 0x24:
            base_u, suffix_u = struct.unpack_from("<2I", data, pos + 28)
            if base_u:
                target = cstr(pos + base_u, True) + (cstr(pos + suffix_u, True) if suffix_u else "")
        if target is None and base:
            target = cstr(pos + base, False) + (cstr(pos + suffix, False) if suffix else "")
        pos += size
    description = None
    if flags & 0x04:  # HasName, the first of the string data
        count = struct.unpack_from("<H", data, pos)[0]
        raw = data[pos + 2:pos + 2 + count * (2 if flags & 0x80 else 1)]
        # Wine counts the terminating NUL in.
        description = raw.decode("utf-16-le" if flags & 0x80 else "cp1252").rstrip("\0")
    return target, description


class SettingsTestCase(E2ETestCase):
    """The settings dialog and message boxes, read through the probe and used with the mouse
    and keyboard."""

    def dialog(self):
        boxes = [b for b in self.message_boxes() if b["title"] == "設定"]
        return boxes[0] if boxes else None

    def open_settings(self, app, how="F12"):
        if how == "F12":
            self.session.key("F12")
        elif how == "tray":
            app.choose_from_tray_menu(TRAY_MENU.index("設定..."))
        dlg = poll(self.dialog, 20, 0.2, "the settings dialog")
        self.assertEqual(dlg["owner"], app.main()["hwnd"], "the dialog is owned by the tool window")
        return dlg

    def control(self, ident, dlg=None):
        dlg = dlg or poll(self.dialog, 20, 0.2, "the settings dialog")
        found = [c for c in dlg["children"] if c["id"] == ident]
        self.assertEqual(len(found), 1, "control %d of the settings dialog" % ident)
        return found[0]

    def wait_control(self, ident, predicate, what):
        return poll(lambda: (lambda d: d and predicate(self.control(ident, d)))(self.dialog()), 20, 0.2, what)

    def click_control(self, ident):
        self.session.click(*center(self.control(ident)["rect"]))

    def set_number(self, ident, text):
        self.click_control(ident)
        self.session.key("End", "shift+Home", "BackSpace")
        self.session.type_text(text)
        self.wait_control(ident, lambda c: c["text"] == text, "control %d to hold %r" % (ident, text))

    def set_check(self, ident, on):
        if bool(self.control(ident)["checked"]) != on:
            self.click_control(ident)
        self.wait_control(ident, lambda c: bool(c["checked"]) == on, "check box %d %s" % (ident, "on" if on else "off"))

    def capture_hotkey(self, keys, expected):
        """Focuses the hotkey box, presses keys and waits for the box to show expected."""
        self.click_control(HOTKEY)
        poll(lambda: (self.session.state()["foreground"] or {}).get("title") == "設定", 20, 0.2, "the dialog in front")
        self.session.key(keys)
        self.wait_control(HOTKEY, lambda c: c["text"] == expected, "the hotkey box to show %r" % expected)

    def close_dialog(self, button=IDOK):
        self.click_control(button)
        poll(lambda: self.dialog() is None, 20, 0.2, "the settings dialog closed")

    def boxes(self):
        return [(b["title"], [c["text"] for c in b["children"] if c["text"]]) for b in self.message_boxes()]

    def hotkey_free(self, mod, vk):
        return self.session.probe("hotkey-free", mod, vk)["free"]


class HotkeyTests(SettingsTestCase):
    def test_new_hotkey_works_at_once_and_is_saved(self):
        app = self.app(history=[Entry("x")], settings=dict(HotkeyMod=MOD_CONTROL | MOD_ALT, HotkeyKey=0x56))
        app.show_by_hotkey()
        dlg = self.open_settings(app)
        self.assertEqual(self.control(HOTKEY, dlg)["text"], "Ctrl + Alt + V")
        # The program's own F-keys belong to the box while the dialog is open: Ctrl+F6 is a
        # hotkey here, not "clear the history".
        self.capture_hotkey("ctrl+F6", "Ctrl + F6")
        time.sleep(0.5)
        self.assertEqual([b for b in self.boxes() if b[0] != "設定"], [])
        self.capture_hotkey("ctrl+shift+F9", "Ctrl + Shift + F9")
        self.close_dialog(IDOK)
        app.wait_setting("HotkeyMod", MOD_CONTROL | MOD_SHIFT)
        app.wait_setting("HotkeyKey", VK_F9)
        # The new key is the program's now, the old one is given back.
        self.assertFalse(self.hotkey_free(MOD_CONTROL | MOD_SHIFT, VK_F9))
        self.assertTrue(self.hotkey_free(MOD_CONTROL | MOD_ALT, 0x56))
        self.assertTrue(app.visible())
        self.session.key("ctrl+shift+F9")
        app.wait_visible(False)
        self.session.key("ctrl+shift+F9")
        app.wait_visible(True)
        # The dialog shows the stored key next time.
        dlg = self.open_settings(app)
        self.assertEqual(self.control(HOTKEY, dlg)["text"], "Ctrl + Shift + F9")
        self.close_dialog(IDCANCEL)

    def test_key_without_modifier_is_refused_and_delete_switches_the_hotkey_off(self):
        app = self.app(history=[Entry("x")], settings=dict(HotkeyMod=MOD_CONTROL | MOD_ALT, HotkeyKey=0x56))
        app.show_by_hotkey()
        dlg = self.open_settings(app)
        self.capture_hotkey("F9", "Ctrl + Alt + V")
        box = self.wait_box(NEEDS_MODIFIER, owner=dlg["hwnd"])
        self.answer_box(box)
        self.assertEqual(self.control(HOTKEY)["text"], "Ctrl + Alt + V", "the refused key changed the box")
        self.close_dialog(IDOK)
        app.wait_setting("HotkeyKey", 0x56)
        self.assertEqual(app.settings()["HotkeyMod"], str(MOD_CONTROL | MOD_ALT))
        self.assertFalse(self.hotkey_free(MOD_CONTROL | MOD_ALT, 0x56), "the hotkey is still the program's")
        self.session.key("ctrl+alt+v")
        app.wait_visible(False)

        # Delete alone empties the box; OK then leaves no hotkey at all.
        self.session.click(*app.tray_icon_point())
        app.wait_visible(True)
        self.open_settings(app)
        self.capture_hotkey("Delete", "")
        self.close_dialog(IDOK)
        app.wait_setting("HotkeyMod", 0)
        app.wait_setting("HotkeyKey", 0)
        self.assertTrue(self.hotkey_free(MOD_CONTROL | MOD_ALT, 0x56))
        self.session.key("ctrl+alt+v")
        time.sleep(1)
        self.assertTrue(app.visible(), "the old hotkey still hid the window")

    def test_hotkey_held_by_another_program_is_reported_and_switched_off(self):
        app = self.app(history=[Entry("x")], settings=dict(HotkeyMod=MOD_CONTROL | MOD_ALT, HotkeyKey=0x56))
        app.show_by_hotkey()
        dlg = self.open_settings(app)
        self.capture_hotkey("ctrl+shift+F9", "Ctrl + Shift + F9")
        # Another program takes the key while the dialog is open (once it holds the key, the
        # key press goes to that program and could not be typed into the box).
        holder = self.session.spawn([os.path.join(Config.helpers, "probe.exe"), "hold-hotkey",
                                     str(MOD_CONTROL | MOD_SHIFT), str(VK_F9)])
        self.programs.append(holder)
        poll(lambda: not self.hotkey_free(MOD_CONTROL | MOD_SHIFT, VK_F9), 20, 0.5, "the other program's hotkey")
        self.click_control(IDOK)
        box = self.wait_box(HOTKEY_TAKEN, owner=dlg["hwnd"])
        self.answer_box(box)
        poll(lambda: self.dialog() is None, 20, 0.2, "the settings dialog closed")
        app.wait_setting("HotkeyMod", 0)
        app.wait_setting("HotkeyKey", 0)
        # Switched off: the old key is not the program's any more either.
        self.assertTrue(self.hotkey_free(MOD_CONTROL | MOD_ALT, 0x56))
        self.assertEqual(self.boxes(), [])
        self.assertTrue(app.running())


class OptionTests(SettingsTestCase):
    def test_ok_applies_counts_duplicates_and_screen_edge_and_cancel_applies_nothing(self):
        history = [Entry("固定", locked=True)] + [Entry("entry %d" % i) for i in range(1, 5)]
        app = self.app(history=history, settings=dict(HistoryLimit=20, MaxHistory=100, RemoveDuplicateHistory=0,
                                                      EnabledArea=-1, StayVisible=1))
        app.show_by_hotkey()
        poll(lambda: len(app.rows()) == 5, 20, 0.2, "five rows")

        # Cancel (and Escape in the hotkey box) apply nothing.
        before = app.read("settings.ini")
        dlg = self.open_settings(app)
        self.assertEqual([self.control(i, dlg)["text"] for i in (HISTORY_LIMIT, MAX_HISTORY, AREA)],
                         ["20", "100", "なし"])
        self.assertEqual([self.control(i, dlg)["checked"] for i in (DUPLICATES, AUTOSTART)], [0, 0])
        self.set_number(MAX_HISTORY, "2")
        self.set_check(DUPLICATES, True)
        self.close_dialog(IDCANCEL)
        self.open_settings(app)
        self.set_number(HISTORY_LIMIT, "3")
        self.click_control(HOTKEY)
        self.session.key("Escape")
        poll(lambda: self.dialog() is None, 20, 0.2, "Escape in the hotkey box to cancel")
        time.sleep(0.5)
        self.assertEqual(app.read("settings.ini"), before)
        self.assertEqual(len(app.history()), 5)

        # 0 and 0 are raised to 1 and 1; the history is cut at once, the locked entry kept
        # because it comes first.
        self.open_settings(app)
        self.set_number(HISTORY_LIMIT, "0")
        self.set_number(MAX_HISTORY, "0")
        self.set_check(DUPLICATES, True)
        self.click_control(AREA)
        self.session.key("Down", "Return")  # なし -> 画面上端左側
        self.wait_control(AREA, lambda c: c["text"] == "画面上端左側", "the area chosen")
        self.close_dialog(IDOK)
        app.wait_setting("HistoryLimit", 1)
        settings = app.settings()
        self.assertEqual((settings["MaxHistory"], settings["RemoveDuplicateHistory"], settings["EnabledArea"]),
                         ("1", "1", "0"))
        self.assertEqual(app.history(), [Entry("固定", locked=True)])
        poll(lambda: app.texts() == ["固定"], 20, 0.2, "the list refilled with one row")

        # The screen edge works at once: hidden, a click at the top edge's left half shows it.
        app.hotkey()
        app.wait_visible(False)
        self.session.click(200, 2)
        app.wait_visible(True)

        # The dialog shows what was stored; 50 shown and 30 kept keeps 50.
        dlg = self.open_settings(app)
        self.assertEqual([self.control(i, dlg)["text"] for i in (HISTORY_LIMIT, MAX_HISTORY, AREA)],
                         ["1", "1", "画面上端左側"])
        self.assertEqual(self.control(DUPLICATES, dlg)["checked"], 1)
        self.set_number(HISTORY_LIMIT, "50")
        self.set_number(MAX_HISTORY, "30")
        self.close_dialog(IDOK)
        app.wait_setting("HistoryLimit", 50)
        self.assertEqual(app.settings()["MaxHistory"], "50")

    def test_lower_max_history_cuts_the_file_at_once_locked_entries_too(self):
        history = [Entry("L1", locked=True), Entry("L2", locked=True), Entry("L3", locked=True), Entry("u1"),
                   Entry("u2", used=True)]
        app = self.app(history=history, settings=dict(HistoryLimit=2, MaxHistory=10, StayVisible=1))
        app.show_by_hotkey()
        self.open_settings(app)
        self.set_number(MAX_HISTORY, "2")
        self.close_dialog(IDOK)
        app.wait_history(lambda h: len(h) == 2, "two entries kept")
        self.assertEqual(app.history(), history[:2])
        app.wait_setting("MaxHistory", 2)
        poll(lambda: app.texts() == ["L1", "L2"], 20, 0.2, "the list refilled")
        # A restart finds the same.
        app.restart()
        self.assertEqual(app.history(), history[:2])


class AutoStartTests(SettingsTestCase):
    def startup_link(self):
        """Nomaclip.lnk in the current user's Startup folder of the prefix (Wine names the
        folder StartUp and makes it when it is first asked for)."""
        user = pwd.getpwuid(os.getuid()).pw_name
        programs = os.path.join(self.session.prefix, "drive_c", "users", user, "AppData", "Roaming", "Microsoft",
                                "Windows", "Start Menu", "Programs")
        names = [n for n in os.listdir(programs) if n.lower() == "startup"] if os.path.isdir(programs) else []
        return os.path.join(programs, names[0] if names else "StartUp", "Nomaclip.lnk")

    def test_tick_creates_the_startup_shortcut_and_untick_removes_it(self):
        self.addCleanup(lambda: os.path.isfile(self.startup_link()) and os.unlink(self.startup_link()))
        self.assertFalse(os.path.exists(self.startup_link()))
        app = self.app(history=[Entry("x")])
        app.show_by_hotkey()
        dlg = self.open_settings(app, how="tray")
        self.assertEqual(self.control(AUTOSTART, dlg)["checked"], 0)
        self.set_check(AUTOSTART, True)
        self.close_dialog(IDOK)
        link = poll(lambda: os.path.isfile(self.startup_link()) and self.startup_link(), 20, 0.2, "Nomaclip.lnk")
        with open(link, "rb") as f:
            data = f.read()
        target, description = read_shortcut(data)
        self.assertEqual((target or "").lower(), win_path(app.exe).lower())
        self.assertEqual(description, "Nomaclip 自動起動")

        # The folder moved elsewhere: the old shortcut still counts, and OK points it at the
        # exe that runs now.
        app.stop()
        app = self.app(history=[Entry("x")], name="moved")
        app.show_by_hotkey()
        dlg = self.open_settings(app)
        self.assertEqual(self.control(AUTOSTART, dlg)["checked"], 1)
        self.close_dialog(IDOK)
        poll(lambda: (read_shortcut(open(link, "rb").read())[0] or "").lower() == win_path(app.exe).lower(), 20, 0.2,
             "the shortcut pointing at the moved exe")

        # Unticked and OK deletes the shortcut.
        dlg = self.open_settings(app)
        self.assertEqual(self.control(AUTOSTART, dlg)["checked"], 1)
        self.set_check(AUTOSTART, False)
        self.close_dialog(IDOK)
        poll(lambda: not os.path.exists(link), 20, 0.2, "Nomaclip.lnk removed")

        # A folder of that name is no shortcut: shown unticked, and left alone.
        os.makedirs(link)
        dlg = self.open_settings(app)
        self.assertEqual(self.control(AUTOSTART, dlg)["checked"], 0)
        self.close_dialog(IDOK)
        time.sleep(0.5)
        self.assertTrue(os.path.isdir(link))
        os.rmdir(link)


class BackupTests(SettingsTestCase):
    TEMPLATES = {"templates.txt": [Entry("定型文 A"), Entry("B", label="ラベル")], "templates2.txt": [Entry("two")]}

    def backup(self, app, answer=IDOK, result=None):
        """F11, answers the question, and closes the result message when one is expected."""
        main = app.main()
        self.session.key("F11")
        self.answer_box(self.wait_box(ASK_BACKUP, owner=main["hwnd"]), answer)
        if result:
            self.answer_box(self.wait_box(result, owner=main["hwnd"]))
        else:
            time.sleep(1)
            self.assertEqual(self.boxes(), [])

    def copied(self, app):
        folder = app.path("backup")
        return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}

    def test_backup_copies_what_exists_reports_a_missing_file_and_overwrites(self):
        app = self.app(history=[Entry("h1")], templates=self.TEMPLATES)
        app.show_by_hotkey()
        self.assertIsNone(app.read("templates3.txt"))
        self.backup(app, IDOK, BACKUP_FAILED)
        present = DATA_FILES[:4]
        self.assertEqual(self.copied(app), {name: app.read(name) for name in present})

        # All five there: done; the copies are replaced without a question.
        app.write("templates3.txt", BOM + items_text([Entry("three")]).encode())
        self.settle()
        self.session.xclip_copy("after the first backup")
        app.wait_history(lambda h: h[0] == Entry("after the first backup"), "the copy")
        self.backup(app, IDOK, BACKUP_DONE)
        copies = self.copied(app)
        self.assertEqual(copies, {name: app.read(name) for name in DATA_FILES})
        self.assertIn("after the first backup".encode(), copies["history.ini"])

    def test_cancel_copies_nothing_and_a_file_named_backup_is_reported(self):
        app = self.app(history=[Entry("h1")], templates=dict(self.TEMPLATES, **{"templates3.txt": [Entry("3")]}))
        app.show_by_hotkey()
        self.backup(app, IDCANCEL)
        self.assertFalse(os.path.exists(app.path("backup")))

        app.write("backup", b"not a folder")
        self.backup(app, IDOK, BACKUP_FAILED)
        self.assertEqual(app.read("backup"), b"not a folder")
        self.assertEqual(sorted(os.listdir(app.dir)), sorted(["backup", "img", "nomaclip.exe"] + DATA_FILES))


class ReleaseTests(SettingsTestCase):
    def test_release_zip_unpacks_and_runs_in_an_empty_folder(self):
        build = Config.build
        subprocess.run(["cmake", "--build", build, "--target", "release"], check=True, timeout=900,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8", errors="replace") as f:
            version = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.+)$", f.read(), re.M).group(1).strip()
        top = "nomaclip-%s/" % version
        pictures = sorted(os.listdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "img")))
        self.assertEqual(len([p for p in pictures if p.endswith(".ico")]), 15)
        self.assertEqual(len([p for p in pictures if p.endswith(".png")]), 2)
        archive = os.path.join(build, "nomaclip-%s-win64.zip" % version)
        with zipfile.ZipFile(archive) as z:
            files = sorted(n for n in z.namelist() if not n.endswith("/"))
            shots = sorted(os.listdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                                                   "screenshots")))
            self.assertEqual(files, sorted([top + "LICENSE", top + "README.md", top + "nomaclip.exe"] +
                                           [top + "img/" + p for p in pictures] +
                                           [top + "docs/screenshots/" + p for p in shots]))
            # Every picture the README shows travels with it.
            readme = z.read(top + "README.md").decode("utf-8")
            self.assertTrue(shots)
            for shot in re.findall(r"\]\((docs/screenshots/[^)]+)\)", readme):
                self.assertIn(top + shot, files)
            self.assertIn(b"Copyright (c) 2026 Nomaclip developers", z.read(top + "LICENSE"))
            unpacked = tempfile.mkdtemp(prefix="release-", dir=self.session.work)
            z.extractall(unpacked)
        folder = os.path.join(unpacked, top.rstrip("/"))

        app = App.in_place(self.session, folder)
        self.apps.append(app)
        self.assertEqual(sorted(os.listdir(folder)), ["LICENSE", "README.md", "docs", "img", "nomaclip.exe"])
        app.start()
        main = app.wait_visible(True)  # a first start in this folder shows the window by itself
        self.assertEqual(main["title"], "Nomaclip")
        self.assertEqual(len(main["toolbar"]["buttons"]), 10)
        self.settle()
        self.session.xclip_copy("リリース版 copy")
        app.wait_history(lambda h: h == [Entry("リリース版 copy")], "history.ini beside the unpacked exe")
        self.assertEqual(app.exit_by_tray_menu(), 0)
        self.assertTrue(os.path.isfile(os.path.join(folder, "settings.ini")))


class ScreenshotTests(SettingsTestCase):
    """The pictures of the README (docs/screenshots), taken from the running program."""

    HISTORY = [
        Entry("会議室の予約番号: 4F-12", locked=True),
        Entry("お世話になっております。\n来週の打ち合わせの件です。"),
        Entry("https://example.com/docs/setup"),
        Entry("git log --oneline --graph", used=True),
        Entry("〒100-0001 東京都千代田区千代田1-1"),
        Entry("Meeting notes: ship the release on Friday"),
    ]
    TEMPLATES = [
        Entry("お世話になっております。\n株式会社ノマクリップの山田です。", label="挨拶"),
        Entry("よろしくお願いいたします。", label="結び"),
        Entry("Thank you for your message.\nBest regards,", label="English reply"),
        Entry("営業時間: 平日 9:00〜18:00"),
    ]

    def shoot(self, name, rect):
        path = os.path.join(Config.artifacts, "readme-%s.png" % name)
        time.sleep(0.7)  # the last paint lands before the picture
        self.session.screenshot(path, rect)
        log("screenshot %s" % path)

    def test_pictures_of_the_history_a_template_tab_the_password_panel_and_the_settings(self):
        os.makedirs(Config.artifacts, exist_ok=True)
        settings = with_tabs(settings_text(StayVisible=1, Rect=(100, 80, 380, 480)), Tab1="定型文", TabType1=0,
                             Tab2="メモ", TabType2=1, Tab3="秘密のメモ", TabType3=0)
        sealed = envelope.seal(items_text([Entry("secret")]), "password").encode("ascii")
        app = self.app(settings=settings, history=self.HISTORY,
                       templates={"templates.txt": self.TEMPLATES, "templates2.txt": [Entry("買い物: 牛乳, パン")],
                                  "templates3.txt": sealed})
        main = app.show_by_hotkey()
        poll(lambda: len(app.rows()) == len(self.HISTORY), 20, 0.2, "the history rows")
        self.session.key("Down")
        self.shoot("history", main["rect"])

        self.session.key("Right")
        poll(lambda: app.main()["list"]["columns"][1] == "定型文", 20, 0.2, "the template tab")
        self.shoot("templates", main["rect"])

        self.session.key("Right", "Right")
        poll(lambda: any(c["id"] == 8001 and c["visible"] for c in app.main()["controls"]), 20, 0.2,
             "the password panel")
        self.shoot("password", main["rect"])

        self.session.key("Right")  # back to the history
        poll(lambda: app.main()["list"]["columns"][1] == "履歴", 20, 0.2, "the history tab")
        dlg = self.open_settings(app)
        self.shoot("settings", dlg["rect"])
        self.close_dialog(IDCANCEL)
