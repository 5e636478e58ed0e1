"""Checks of the harness itself, against Wine's notepad and the helper programs: input
reaches Wine windows, the clipboard crosses between X and Wine both ways, the probe reads
what a user sees, screenshots and the dpi switch work. Needs no nomaclip.exe."""

import os
import struct
import zlib

from harness import BOM, Config, E2ETestCase, Entry, SCREEN_H, SCREEN_W, items_text, parse_items, poll


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG: %s" % path
    return struct.unpack(">II", head[16:24])


class HarnessTests(E2ETestCase):
    def test_virtual_desktop_fills_the_screen(self):
        geo = self.session.desktop_geometry()
        self.assertEqual((geo["X"], geo["Y"], geo["WIDTH"], geo["HEIGHT"]), ("0", "0", str(SCREEN_W), str(SCREEN_H)))
        shell = [w for w in self.session.windows()["windows"] if w["class"] == "Shell_TrayWnd"]
        self.assertEqual(len(shell), 1, "the desktop shows a taskbar with the notification area")
        self.assertEqual(shell[0]["rect"][2:], [SCREEN_W, SCREEN_H])

    def test_typed_keys_reach_notepad(self):
        self.notepad()
        self.session.type_text("hello e2e")
        poll(lambda: self.session.state()["notepad"]["text"] == "hello e2e", 20, 0.2, "typed text in notepad")
        self.session.key("ctrl+a", "BackSpace")
        poll(lambda: self.session.state()["notepad"]["text"] == "", 20, 0.2, "notepad emptied")

    def test_text_copied_in_x_reaches_wine(self):
        text = "X から Wine へ %d" % os.getpid()
        self.session.xclip_copy(text)
        clip = poll(lambda: (lambda c: c if c["text"] == text else None)(self.session.clipboard()), 20, 0.2,
                    "the X text on the Windows clipboard")
        self.assertIn("#13", clip["formats"])  # CF_UNICODETEXT

    def test_text_copied_in_wine_reaches_x_with_markers(self):
        text = "Wine から X へ\r\n二行目"
        self.session.clipcopy(text, "--exclude-monitor", "--viewer-ignore", "--history-dword", "0")
        clip = self.session.clipboard()
        self.assertEqual(clip["text"], text)
        for name in ("ExcludeClipboardContentFromMonitorProcessing", "Clipboard Viewer Ignore",
                     "CanIncludeInClipboardHistory"):
            self.assertIn(name, clip["formats"])
        # Wine's X11 driver hands text to X programs with LF line ends (it drops the CR);
        # line ends are therefore checked on the Windows side, through the probe.
        poll(lambda: self.session.xclip_paste() == text.replace("\r\n", "\n").encode("utf-8"), 20, 0.2,
             "the Wine text in X")

    def test_paste_into_notepad(self):
        self.notepad()
        self.session.clipcopy("a\r\nb")
        self.session.key("ctrl+v")
        poll(lambda: self.session.state()["notepad"]["text"] == "a\r\nb", 20, 0.2, "pasted text in notepad")

    def test_mouse_click_opens_the_start_menu(self):
        def menus():
            return [w for w in self.session.windows()["windows"] if w["class"] == "#32768" and w["visible"]]

        self.assertEqual(menus(), [])
        self.session.click(20, SCREEN_H - 10)
        menu = poll(menus, 20, 0.2, "the start menu")[0]
        self.assertGreater(menu["rect"][3] - menu["rect"][1], 20)
        self.session.key("Escape")
        poll(lambda: not menus(), 20, 0.2, "the start menu to close")

    def test_message_box_text_is_read(self):
        # notepad asks before discarding a changed text
        self.notepad()
        self.session.type_text("x")
        poll(lambda: self.session.state()["notepad"]["text"] == "x", 20, 0.2, "typed text")
        self.session.key("ctrl+n")
        box = poll(lambda: self.session.state()["msgboxes"], 20, 0.2, "notepad's question")[0]
        self.assertEqual(box["title"], "Notepad")
        self.assertTrue(any(c["class"] == "Static" and "Untitled" in c["text"] for c in box["children"]), box)
        self.session.key("Escape")
        poll(lambda: not self.session.state()["msgboxes"], 20, 0.2, "the question to close")

    def test_item_file_round_trip(self):
        entries = [Entry("abc", used=True), Entry("x\ny", label="L1", locked=True), Entry("日本語")]
        data = BOM + items_text(entries).encode()
        self.assertEqual(data, BOM + "[C]abc\r\n---\r\n[LABEL]L1\r\n[L]x\r\ny\r\n---\r\n日本語\r\n".encode())
        self.assertEqual(parse_items(data), entries)
        self.assertEqual(parse_items(b"[C]abc"), [Entry("abc", used=True)])

    def test_screenshots_at_96_and_144_dpi(self):
        self.assertEqual(self.session.state()["dpi"], 96)
        self.notepad()
        rect = self.session.state()["notepad"]["rect"]
        path = self.session.screenshot(os.path.join(Config.artifacts, "harness-notepad-96dpi.png"), rect)
        self.assertEqual(png_size(path), (rect[2] - rect[0], rect[3] - rect[1]))
        menu96 = self.menu_bar_height()
        try:
            self.session.restart_wine(dpi=144)
            self.programs = []
            self.assertEqual(self.session.state()["dpi"], 144)
            self.notepad()
            rect = self.session.state()["notepad"]["rect"]
            self.session.screenshot(os.path.join(Config.artifacts, "harness-notepad-144dpi.png"), rect)
            self.assertGreater(self.menu_bar_height(), menu96, "notepad's text grows with the dpi")
        finally:
            self.session.restart_wine(dpi=96)
            self.programs = []
        self.assertEqual(self.session.state()["dpi"], 96)

    def menu_bar_height(self):
        """Distance from notepad's top to its edit box: caption + menu, both scale."""
        np = [w for w in self.session.windows()["windows"] if w["class"] == "Notepad"][0]
        edit = [c for c in np["children"] if c["class"] == "Edit"][0]
        return edit["rect"][1] - np["rect"][1]
