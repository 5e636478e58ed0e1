"""End-to-end harness: runs Windows programs under Wine inside one virtual desktop on a
private Xvfb display, and acts on them as a user (xdotool) and as other programs (xclip,
the clipcopy helper) would. Observation goes through the probe helper, which reads windows,
list rows, focus and message boxes from inside the desktop.

One Session per test run: one display, one Wine prefix (a copy of a base prefix that is
made once per build tree), one wineserver. A test that needs a second PC starts another
Session beside it (its own display, prefix, clipboard and single-instance mutexes). Every
process a session starts is ended by its PID, and the prefix's Wine processes with
`wineserver -k`, also when the run dies (a reaper process watches the run).

Python 3 standard library only.
"""

import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SCREEN_W, SCREEN_H = 1280, 800

# Virtual keys and modifier bits as settings.ini stores them.
MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN = 1, 2, 4, 8

WM_APP_TRAY = 0x8001
WM_LBUTTONUP = 0x0202
WM_RBUTTONUP = 0x0205

BOM = b"\xef\xbb\xbf"

FONT_REPLACEMENTS = ["MS Shell Dlg", "MS Shell Dlg 2", "Tahoma", "MS UI Gothic", "Meiryo UI", "Yu Gothic UI"]


class Config:
    """Paths given on the command line of run_e2e.py."""

    nomaclip = None  # path of nomaclip.exe
    helpers = None  # folder with probe.exe and clipcopy.exe
    build = None  # build tree: prefix and work folders live here
    artifacts = None  # screenshots and failure evidence
    session = None  # the run's Session
    modules = []  # the test modules of this run (test_paste, ...)


def log(msg):
    sys.stderr.write("[e2e %s] %s\n" % (time.strftime("%H:%M:%S"), msg))
    sys.stderr.flush()


def poll(fn, timeout=20.0, interval=0.2, what="condition"):
    """Calls fn until it returns something truthy and returns that; fails after timeout.
    Time-outs are generous: they bound a hang, they are not what is tested."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = fn()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.0f s waiting for %s; last seen: %r" % (timeout, what, last))
        time.sleep(interval)


def win_path(path):
    """Unix path as Wine's Z: drive sees it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---- data files ----------------------------------------------------------------------


def settings_text(**options):
    """settings.ini content (UTF-8 with BOM, CR LF). Keyword arguments override the options;
    Rect=(x, y, w, h) the window rectangle."""
    values = {
        "AlwaysOnTop": 0,
        "StayVisible": 0,
        "PauseHistory": 0,
        "HistoryLimit": 20,
        "MaxHistory": 100,
        "EnabledArea": -1,
        "RemoveDuplicateHistory": 0,
        "MoveToTopOnCopy": 1,
        "AutoPaste": 0,
        "HotkeyMod": MOD_CONTROL | MOD_ALT,
        "HotkeyKey": 0x56,  # V
    }
    rect = options.pop("Rect", (0, 0, 350, 480))
    for key in options:
        if key not in values:
            raise KeyError("unknown setting %s" % key)
    values.update(options)
    lines = ["[Window]", "Rect=%d,%d,%d,%d" % tuple(rect), "", "[Options]"]
    lines += ["%s=%d" % (k, int(v)) for k, v in values.items()]
    return BOM + ("\r\n".join(lines) + "\r\n").encode("utf-8")


def with_tabs(settings, **tabs):
    """settings.ini bytes with a [Tabs] section appended (Tab1="name", TabType1=2, ...)."""
    lines = ["", "[Tabs]"] + ["%s=%s" % (k, v) for k, v in tabs.items()]
    return settings + ("\r\n".join(lines) + "\r\n").encode("utf-8")


def center(rect):
    l, t, r, b = rect
    return (l + r) // 2, (t + b) // 2


def parse_settings(data):
    """Key/value pairs of a settings.ini (sections ignored, as the program reads it)."""
    if data.startswith(BOM):
        data = data[3:]
    out = {}
    for line in data.decode("utf-8").split("\n"):
        line = line.rstrip("\r")
        if not line or line.startswith("[") or "=" not in line:
            continue
        key, value = line.split("=", 1)
        out[key] = value.strip(" \t")
    return out


class Entry:
    """One history or template entry."""

    def __init__(self, text, label="", locked=False, used=False):
        self.text, self.label, self.locked, self.used = text, label, locked, used

    def __eq__(self, other):
        return isinstance(other, Entry) and (self.text, self.label, self.locked, self.used) == (
            other.text,
            other.label,
            other.locked,
            other.used,
        )

    def __repr__(self):
        flags = ("L" if self.locked else "") + ("C" if self.used else "")
        return "Entry(%r%s%s)" % (self.text, ", label=%r" % self.label if self.label else "", ", " + flags if flags else "")


def items_text(entries, newline="\r\n"):
    """The item file format: blocks separated by '---' lines, '[LABEL]name' first line,
    '[L]'/'[C]' markers in front of the text. Texts here never need escaping."""
    blocks = []
    for e in entries:
        lines = []
        if e.label:
            lines.append("[LABEL]" + e.label)
        text = e.text.replace("\r\n", "\n").replace("\r", "\n")
        marks = ("[L]" if e.locked else "") + ("[C]" if e.used else "")
        lines += (marks + text).split("\n")
        blocks.append(newline.join(lines) + newline)
    return ("---" + newline).join(blocks)


def parse_items(data):
    """Entries of a history or template file (bytes), as the program's reader takes them."""
    if data.startswith(BOM):
        data = data[3:]
    text = data.decode("utf-8").rstrip(" \t\r\n")
    entries = []
    cur = {"lines": [], "label": "", "first": True}

    def finish():
        body = "\n".join(cur["lines"])
        if body or cur["label"]:
            locked = used = False
            while body.startswith("[L]") or body.startswith("[C]"):
                locked |= body.startswith("[L]")
                used |= body.startswith("[C]")
                body = body[3:]
            entries.append(Entry(body, cur["label"], locked, used))
        cur.update(lines=[], label="", first=True)

    if text:
        for line in text.split("\n"):
            line = line[:-1] if line.endswith("\r") else line
            if line == "---":
                finish()
                continue
            if cur["first"] and line.startswith("[LABEL]"):
                cur["label"] = line[7:][1:] if line[7:].startswith(" ") else line[7:]
            elif cur["lines"] or line:
                cur["lines"].append(line)
            cur["first"] = False
        finish()
    return entries


# ---- the session -----------------------------------------------------------------------


class Session:
    """Xvfb + a Wine prefix with a virtual desktop, for one test run."""

    def __init__(self):
        self.display = None
        self.xvfb = None
        self.prefix = None
        self.work = None
        self.env = None
        self.children = []  # Popen objects started by the session (not Wine's own)
        self.keeper = None  # the program that keeps the virtual desktop up (probe keep-desktop)
        self.reaper_pipe = None
        self.dpi = 96

    # -- set-up and tear-down --

    def start(self):
        os.makedirs(Config.artifacts, exist_ok=True)
        # Evidence of an earlier run of the same modules would read as this run's; another
        # module's evidence stays (each module runs in a session of its own, one after another).
        # A second PC's session, started during the run, leaves the run's evidence alone.
        for name in os.listdir(Config.artifacts) if Config.session is self else ():
            if any(name.startswith("failed-%s." % module) for module in Config.modules):
                os.unlink(os.path.join(Config.artifacts, name))
        root = os.path.join(Config.build, "e2e-prefix")
        base = os.path.join(root, "base")
        ensure_base_prefix(base)
        self._start_xvfb()
        run_id = "run-%d-%d" % (os.getpid(), self.display)
        self.prefix = os.path.join(root, run_id)
        self.work = os.path.join(Config.build, "e2e-work", run_id)
        os.makedirs(self.work)
        copy_prefix(base, self.prefix)
        self.env = wine_env(self.prefix, self.display)
        self._start_reaper()
        self._start_wine()
        log("display :%d, prefix %s" % (self.display, self.prefix))

    def _start_xvfb(self):
        # Xvfb picks a free display itself and tells which on the pipe.
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp"],
            pass_fds=(w,),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(w)
        data = b""
        with os.fdopen(r, "rb") as f:
            while not data.endswith(b"\n"):
                chunk = f.read(1)
                if not chunk:
                    break
                data += chunk
        if not data.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = int(data)

    def _start_reaper(self):
        """A child that ends Xvfb and the prefix's Wine processes if this process dies
        without tearing down (killed by a test time-out, for example)."""
        r, w = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(w)
            try:
                signal.signal(signal.SIGINT, signal.SIG_IGN)
                signal.signal(signal.SIGTERM, signal.SIG_IGN)
                data = os.read(r, 16)
                if data != b"done":
                    subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
                    os.kill(self.xvfb.pid, signal.SIGKILL)
                    shutil.rmtree(self.prefix, ignore_errors=True)
            finally:
                os._exit(0)
        os.close(r)
        self.reaper_pipe = w
        self.reaper_pid = pid

    def _start_wine(self):
        # A persistent server, started detached from our output (see wine-run.sh), so that
        # each helper start is quick and no Wine service holds a pipe of ours.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        # Bring up the services and the virtual desktop (explorer) with our output closed, and keep
        # the desktop up until the session ends: one desktop window, focused once.
        self._end_keeper()
        self.keeper = subprocess.Popen(["wine", os.path.join(Config.helpers, "probe.exe"), "keep-desktop"],
                                       env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        poll(self.desktop_geometry, 120, 0.5, "the Wine virtual desktop window")
        self.focus_desktop()

    def _end_keeper(self):
        if self.keeper is not None:
            kill(self.keeper)
            self.keeper = None

    def focus_desktop(self):
        """Gives the X keyboard focus to the desktop window. With no window manager the
        focus follows the pointer at first, but once a focused Wine window is destroyed
        (a restart of the prefix's processes) it falls back to the root window, and keys
        would reach no Wine program, hotkeys included. Wine closes the desktop a second or two
        after the last program on it ends; until the next program brings it up again there is
        nothing to focus, and its new window must be focused then."""
        self.xdo("mousemove", str(SCREEN_W - 200), str(SCREEN_H - 150))
        desktop = self.desktop_geometry()
        if desktop:
            self.xdo("windowfocus", desktop["WINDOW"])

    def stop(self):
        for p in reversed(self.children):
            kill(p)
        self.children = []
        self._end_keeper()
        if self.env:
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
            # -k returns before the processes are gone; wait for the server to exit.
            subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
        if self.xvfb:
            kill(self.xvfb)
            self.xvfb = None
        if self.prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)
        if self.work and not os.environ.get("E2E_KEEP"):
            shutil.rmtree(self.work, ignore_errors=True)
        if self.reaper_pipe is not None:
            os.write(self.reaper_pipe, b"done")
            os.close(self.reaper_pipe)
            os.waitpid(self.reaper_pid, 0)
            self.reaper_pipe = None

    # -- what a module must not leave behind for the next --

    WINE_SERVICES = {"explorer.exe", "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe", "rpcss.exe",
                     "conhost.exe", "wineboot.exe", "start.exe"}

    def leftovers(self):
        """What the tests left running in the session: programs they started and did not end,
        other Windows programs, windows on the screen, a clipboard held open. Empty when the
        desktop is as the session made it."""
        found = ["process %s (%s)" % (p.pid, " ".join(map(str, p.args))) for p in self.children if p.poll() is None]
        for pid, name in self.processes():
            if name not in self.WINE_SERVICES and pid not in self._own_pids():
                found.append("process %d (%s)" % (pid, name))
        windows = self.windows()["windows"]
        shell = {w["pid"] for w in windows if w["class"] == "Shell_TrayWnd"}
        found += ["window %s %r of process %s" % (w["class"], w.get("title", ""), w["pid"])
                  for w in windows if w["visible"] and w["pid"] not in shell]
        code, text = self.run_helper("probe.exe", "clipboard", check=False)
        if code != 0:
            found.append("the clipboard held open: %s" % text.strip())
        return found

    def _own_pids(self):
        return {p.pid for p in self.children + [self.keeper] if p is not None}

    def processes(self):
        """(pid, program name) of every process of this session's Wine prefix or display,
        wineserver and Xvfb aside."""
        found = []
        marks = ("WINEPREFIX=%s" % self.prefix).encode(), ("DISPLAY=:%d" % self.display).encode()
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    environ = f.read().split(b"\0")
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    command = f.read().split(b"\0")[0].decode("utf-8", "replace")
            except OSError:
                continue  # gone meanwhile, or not ours to read
            if not any(m in environ for m in marks):
                continue
            name = command.replace("\\", "/").rsplit("/", 1)[-1]
            if name.startswith("wineserver") or name in ("Xvfb", "python3", "python") or name.startswith("python"):
                continue
            found.append((int(entry), name))
        return found

    def restart_wine(self, dpi=None):
        """Ends every Wine process of the prefix and starts the server again; with dpi,
        the screen's dots per inch are changed first (read by each process at start)."""
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
        if dpi is not None:
            set_prefix_dpi(self.prefix, dpi)
            self.dpi = dpi
        self._start_wine()

    # -- processes --

    def spawn(self, args, cwd=None, stdout=None):
        """Starts a Windows program in the desktop; returns its Popen (its PID is the
        Windows process itself: /usr/bin/wine execs the loader)."""
        p = subprocess.Popen(["wine"] + list(args), cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                             stdout=stdout or subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.children.append(p)
        return p

    def forget(self, p):
        if p in self.children:
            self.children.remove(p)

    def run_helper(self, name, *args, timeout=60, check=True):
        """Runs probe.exe or clipcopy.exe and returns (exit code, stdout text). Output goes
        through a file, not a pipe: a Wine service started meanwhile would hold a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.run(["wine", os.path.join(Config.helpers, name)] + [str(a) for a in args], env=self.env,
                               stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            text = out.read().decode("utf-8", "replace")
            if check and p.returncode != 0:
                raise AssertionError("%s %s failed (%d): %s %s" % (name, " ".join(map(str, args)), p.returncode,
                                                                  text, err.read().decode("utf-8", "replace")))
            return p.returncode, text

    def probe(self, *args):
        _, text = self.run_helper("probe.exe", *args)
        try:
            return json.loads(text)
        except ValueError:
            raise AssertionError("probe %s printed no JSON: %r" % (" ".join(args), text))

    def state(self):
        return self.probe("state")

    def windows(self):
        return self.probe("windows")

    def post(self, target, msg, wparam=0, lparam=0):
        return self.probe("post", target, hex(msg), hex(wparam), hex(lparam))

    def send(self, target, msg, wparam=0, lparam=0):
        """Sends a message and returns once it was answered."""
        return self.probe("send", target, hex(msg), hex(wparam), hex(lparam))

    def end_session(self):
        """The session ends as Windows ends it: WM_QUERYENDSESSION, then WM_ENDSESSION, each sent
        and answered (sent messages are handled before any input still queued)."""
        self.send("main", 0x0011, 0, 0)  # WM_QUERYENDSESSION
        self.send("main", 0x0016, 1, 0)  # WM_ENDSESSION, ending

    def access(self):
        """What a screen reader finds in the tool window (probe access): every child control
        with its text and its label, the tab strip's tabs, the toolbar's buttons."""
        return self.probe("access")

    def watch_writes(self, folder):
        """Starts counting the completed safe writes of files in folder (see WriteWatch)."""
        watch = WriteWatch(folder)
        self.children.append(watch.proc)
        return watch

    # -- the user: keyboard and mouse (screen coordinates: the desktop fills the screen) --

    def xdo(self, *args):
        subprocess.run(["xdotool"] + list(args), env=self.x_env(), check=True, timeout=30,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def key(self, *keys):
        self.xdo("key", "--delay", "60", *keys)

    def type_text(self, text, delay=40):
        """Types text into the focused window, delay milliseconds between keys."""
        self.xdo("type", "--delay", str(delay), text)

    def click(self, x, y, button=1):
        self.xdo("mousemove", str(x), str(y))
        self.xdo("click", str(button))

    def desktop_geometry(self):
        p = subprocess.run(["xdotool", "search", "--name", "Wine desktop", "getwindowgeometry", "--shell"],
                           env=self.x_env(), stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)
        if p.returncode != 0 or "WIDTH" not in p.stdout:
            return None
        return dict(line.split("=", 1) for line in p.stdout.split())

    # -- other programs: the X clipboard --

    def xclip_copy(self, text):
        """Copies a text from an X program. xclip stays until another program takes the
        selection; -quiet keeps it in the foreground so that it is ended by its PID."""
        p = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=self.x_env(),
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.children.append(p)
        p.stdin.write(text.encode("utf-8"))
        p.stdin.close()
        return p

    def xclip_paste(self):
        """The clipboard's text as raw UTF-8 bytes, as an X program reads it."""
        p = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.x_env(), stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=30)
        return p.stdout if p.returncode == 0 else None

    def clipcopy(self, text, *flags):
        """Copies a text from a Windows program, optionally with marker formats."""
        self.run_helper("clipcopy.exe", *flags, "--hex", text.encode("utf-8").hex())

    def clipboard(self):
        """Formats and text of the clipboard as Windows programs see it."""
        c = self.probe("clipboard")
        c["text"] = bytes.fromhex(c["utf16le"]).decode("utf-16-le") if c.get("utf16le") is not None else None
        return c

    # -- screenshots --

    def screenshot(self, path, rect=None):
        """Saves the screen (or rect = (left, top, right, bottom)) as PNG."""
        args = ["import", "-display", ":%d" % self.display, "-window", "root"]
        if rect:
            l, t, r, b = rect
            l, t = max(l, 0), max(t, 0)
            args += ["-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "+repage"]
        subprocess.run(args + [path], env=self.x_env(), check=True, timeout=60, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = ":%d" % self.display
        return env


class WriteWatch:
    """The completed safe writes in one folder, as inotifywait sees them: every save ends with
    its temporary file moved over the data file (moved_to). Each write is noted with the
    monotonic time its line arrived, so a test can tell when a file was written, not only that
    it was."""

    def __init__(self, folder):
        self.events = []  # (time.monotonic(), file name)
        self.lock = threading.Lock()
        self.proc = subprocess.Popen(["inotifywait", "-m", "-e", "moved_to", "--format", "%f", folder],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # It says on standard error when the watch is in place; writes before that are not seen.
        for line in self.proc.stderr:
            if b"Watches established" in line:
                break
        else:
            raise AssertionError("inotifywait did not start watching %s" % folder)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.events.append((time.monotonic(), line.decode("utf-8", "replace").strip()))

    def writes(self, name, since=None):
        """Arrival times of the writes of file name (after since, when given)."""
        with self.lock:
            return [t for t, n in self.events if n == name and (since is None or t > since)]

    def stop(self):
        kill(self.proc)


def kill(p):
    """Ends a process this harness started, by its PID."""
    if p.poll() is None:
        try:
            p.kill()
        except ProcessLookupError:
            pass
    try:
        p.wait(timeout=30)
    except subprocess.TimeoutExpired:
        pass


def wine_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
    env.pop("LC_ALL", None)
    if display is not None:
        env["DISPLAY"] = ":%d" % display
    else:
        env.pop("DISPLAY", None)
    return env


def reg_file(text):
    f = tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="utf-8")
    f.write("REGEDIT4\n\n" + text)
    f.close()
    return f.name


def ensure_base_prefix(base):
    """Creates the base prefix once per build tree: virtual desktop and Japanese dialog
    fonts. Parallel runs wait on a lock; a finished prefix is marked by a file."""
    ready = os.path.join(base, ".e2e-ready")
    if os.path.exists(ready):
        return
    os.makedirs(os.path.dirname(base), exist_ok=True)
    with open(base + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(ready):
            return
        shutil.rmtree(base, ignore_errors=True)
        log("creating the Wine prefix %s (once per build tree)" % base)
        env = wine_env(base)
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot", "-i"], env=env, timeout=300, **quiet)
        fonts = "".join('"%s"="Noto Sans CJK JP"\n' % f for f in FONT_REPLACEMENTS)
        path = reg_file(
            "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"
            '"Desktop"="Default"\n\n'
            "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"
            '"Default"="%dx%d"\n\n'
            "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops\\Default]\n"
            '"EnableShell"=dword:00000001\n\n'
            "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n%s\n" % (SCREEN_W, SCREEN_H, fonts)
        )
        try:
            subprocess.run(["wine", "regedit", path], env=env, timeout=120, **quiet)
        finally:
            os.unlink(path)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120, **quiet)
        open(ready, "w").close()


def copy_prefix(base, dest):
    """A private copy of the base prefix for one run. The large program files are hard
    links (Wine only reads them); everything else, the registry above all, is copied."""
    for root, dirs, files in os.walk(base):
        rel = os.path.relpath(root, base)
        target = os.path.join(dest, rel) if rel != "." else dest
        os.makedirs(target, exist_ok=True)
        for name in dirs:
            src = os.path.join(root, name)
            if os.path.islink(src):
                os.symlink(os.readlink(src), os.path.join(target, name))
        for name in files:
            src, dst = os.path.join(root, name), os.path.join(target, name)
            if os.path.islink(src):
                os.symlink(os.readlink(src), dst)
            elif os.path.getsize(src) > 65536 and name.lower().endswith((".dll", ".exe", ".drv", ".sys", ".ocx", ".acm", ".ttf", ".ttc", ".cpl", ".tlb", ".ax", ".ds")):
                os.link(src, dst)
            else:
                shutil.copy2(src, dst)


def set_prefix_dpi(prefix, dpi):
    """Sets the screen's dots per inch of a stopped prefix. Wine 8 takes it from the
    current hardware profile (HKEY_CURRENT_CONFIG\\Software\\Fonts, which is where winecfg
    writes it) and from HKCU\\Control Panel\\Desktop; both are set."""
    env = wine_env(prefix)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    path = reg_file(
        "[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"
        '"LogPixels"=dword:%08x\n\n'
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
        '"LogPixels"=dword:%08x\n\n' % (dpi, dpi)
    )
    try:
        subprocess.run(["wine", "regedit", path], env=env, timeout=120, **quiet)
    finally:
        os.unlink(path)
    subprocess.run(["wineserver", "-k"], env=env, timeout=60, **quiet)
    subprocess.run(["wineserver", "-w"], env=env, timeout=60, **quiet)


# ---- the program under test --------------------------------------------------------------


class App:
    """One nomaclip.exe in its own data folder: the exe (and its img folder) copied there,
    settings.ini and the other data files written before it starts."""

    def __init__(self, session, folder, settings=None, history=None, templates=None):
        self.session = session
        self.dir = folder
        shutil.rmtree(self.dir, ignore_errors=True)  # left by the first run of a test run again
        os.makedirs(self.dir)
        self.exe = os.path.join(self.dir, "nomaclip.exe")
        shutil.copy2(Config.nomaclip, self.exe)
        img = os.path.join(os.path.dirname(Config.nomaclip), "img")
        if os.path.isdir(img):
            shutil.copytree(img, os.path.join(self.dir, "img"))
        if settings is not False:  # False: no settings.ini, as on a first start
            self.write("settings.ini", settings if isinstance(settings, bytes) else settings_text(**(settings or {})))
        if history is not None:
            self.write("history.ini", history if isinstance(history, bytes) else BOM + items_text(history).encode())
        for name, content in (templates or {}).items():
            self.write(name, content if isinstance(content, bytes) else BOM + items_text(content).encode())
        self.proc = None

    @classmethod
    def in_place(cls, session, folder):
        """A nomaclip.exe that already sits in folder (an unpacked release, say): nothing is
        copied there or written before it starts."""
        app = cls.__new__(cls)
        app.session, app.dir, app.proc = session, folder, None
        app.exe = os.path.join(folder, "nomaclip.exe")
        return app

    # -- files --

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        try:
            with open(self.path(name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def remove_pictures(self):
        """Takes the img folder away, as a user who copied only the exe would."""
        shutil.rmtree(self.path("img"), ignore_errors=True)

    def history(self):
        data = self.read("history.ini")
        return None if data is None else parse_items(data)

    def settings(self):
        data = self.read("settings.ini")
        return {} if data is None else parse_settings(data)

    def file_stamp(self, name):
        """What changes when a file is rewritten: bytes, modification time, inode."""
        try:
            st = os.stat(self.path(name))
        except FileNotFoundError:
            return None
        return (self.read(name), st.st_mtime_ns, st.st_ino)

    # -- the process --

    def start(self):
        self.proc = self.session.spawn([self.exe], cwd=self.dir)
        # Found and answering: the window exists as soon as its creation starts, but the hotkey
        # and the input hooks are there only once its message loop runs.
        poll(lambda: self.proc.poll() is not None or (self.main() or {}).get("responsive"), 60, 0.2,
             "the NomaclipWnd window, ready")
        if self.proc.poll() is not None:
            raise AssertionError("nomaclip.exe ended at start with exit code %s" % self.proc.returncode)
        return self

    def restart(self):
        """Ends the process (as a crash or log-off would) and starts it again on the same files."""
        self.stop()
        return self.start()

    def start_another(self):
        """A second process of the same exe; returns its Popen."""
        return self.session.spawn([self.exe], cwd=self.dir)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.proc is not None:
            kill(self.proc)
            self.session.forget(self.proc)
            # The window goes with the process; wait so that the next instance's mutex,
            # hotkey and window class are free.
            poll(lambda: self.session.state()["main"] is None, 30, 0.2, "the old window to go")

    # -- observation --

    def main(self):
        return self.session.state()["main"]

    def visible(self):
        m = self.main()
        return bool(m and m["visible"])

    def wait_visible(self, visible=True, timeout=20):
        what = "the tool window to be %s" % ("shown" if visible else "hidden")
        return poll(lambda: (self.main() or {}).get("visible") is visible and self.main(), timeout, 0.2, what)

    def rows(self):
        m = self.main()
        return [tuple(r) for r in m["list"]["rows"]] if m and m.get("list") else []

    def texts(self):
        """Column 1 of every list row."""
        return [r[1] for r in self.rows()]

    def controls(self):
        """The tool window's child controls that have an id (memo pad 998, password panel
        8001-8006, tab strip 6001, list 1004, toolbar 100), by id."""
        m = self.main()
        return {c["id"]: c for c in (m or {}).get("controls", []) if c["id"] not in (0, -1, 65535)}

    def control(self, ident):
        return self.controls().get(ident)

    def wait_history(self, predicate, what, timeout=20):
        """Polls history.ini until predicate(entries) holds; returns the entries."""
        return poll(lambda: (lambda h: h if h is not None and predicate(h) else None)(self.history()), timeout, 0.2,
                    "history.ini: " + what)

    def wait_setting(self, key, value, timeout=20):
        return poll(lambda: self.settings().get(key) == str(value), timeout, 0.2,
                    "settings.ini %s=%s (have %r)" % (key, value, self.settings().get(key)))

    # -- acting as the user --

    def hotkey(self):
        s = self.settings()
        front = self.session.state()["foreground"]
        self.session.key(hotkey_name(int(s.get("HotkeyMod", 0)), int(s.get("HotkeyKey", 0))))
        # The hotkey's key-ups go to whichever window is in front when Wine gets to them: on a
        # busy machine the tool window, already up. Windows then tells the program that was in
        # front when it comes back; Wine 8 does not, and it would go on seeing Ctrl and Alt down
        # (an edit then ignores Ctrl+V). The probe does what Windows does.
        if front and front.get("class") != "NomaclipWnd":
            self.session.run_helper("probe.exe", "sync-keys", front["hwnd"], check=False)

    def show_by_hotkey(self):
        self.hotkey()
        return self.wait_visible(True)

    def tray_icon_point(self):
        """Where the notification-area icon is: Wine's taskbar puts the icons at the right
        end, the first one in the last slot."""
        return SCREEN_W - 10, SCREEN_H - 10

    def choose_from_tray_menu(self, index):
        """Opens the tray menu with a right click and clicks its item index (TRAY_MENU)."""

        def menus():
            return [w for w in self.session.windows()["windows"] if w["class"] == "#32768" and w["visible"]]

        self.session.click(*self.tray_icon_point(), button=3)
        self.session.click(*tray_menu_point(poll(menus, 20, 0.2, "the tray menu")[0]["rect"], index))

    def exit_by_tray_menu(self, timeout=60):
        """Ends the program as a user does, with 終了 from the tray menu; returns its exit code."""
        self.choose_from_tray_menu(TRAY_MENU.index("終了"))
        code = self.proc.wait(timeout=timeout)
        self.session.forget(self.proc)
        poll(lambda: self.session.state()["main"] is None, 20, 0.2, "the window gone")
        return code


# The items of the notification-area icon's menu, in their order.
TRAY_MENU = ["表示", "設定...", "連続貼り付け", "終了"]


def tray_menu_point(rect, index):
    """The middle of item index of the tray menu whose window has the rectangle rect (a frame
    of 3 pixels, items of one height; another process cannot read a menu's items)."""
    l, t, r, b = rect
    h = (b - t - 6) / len(TRAY_MENU)
    return (l + r) // 2, int(t + 3 + h * index + h / 2)


class StandIn:
    """An ordinary program as the paste meets it: a frame window of any class with an edit
    child, which takes the focus back into its edit only when it is activated (probe.exe
    stand-in). It logs every key it receives, with the modifiers held, and can be made to stop
    answering. exe_name: the name the program runs under (a copy of probe.exe)."""

    WM_HANG = 0x8000 + 50
    WM_COPY_TEXT = 0x8000 + 51
    WM_BUSY_COPY = 0x8000 + 52

    def __init__(self, session, window_class, exe_name="probe.exe", at=None):
        self.session = session
        folder = os.path.join(session.work, "stand-ins")
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, exe_name)
        if not os.path.exists(exe):
            shutil.copy2(os.path.join(Config.helpers, "probe.exe"), exe)
        self.log = os.path.join(folder, "%s-%d.log" % (window_class, time.monotonic_ns()))
        with open(self.log, "wb") as out:
            self.proc = session.spawn([exe, "stand-in", window_class] + [str(v) for v in (at or ())], stdout=out)
        ready = poll(lambda: ([e for e in self._lines() if e.get("ready")] or [None])[0], 30, 0.2,
                     "the stand-in %s ready" % window_class)
        self.hwnd, self.edit = ready["hwnd"], ready["edit"]

    def _lines(self):
        with open(self.log, "rb") as f:
            return [json.loads(line) for line in f.read().decode("utf-8", "replace").splitlines() if line.strip()]

    def keys(self):
        """(window, chord) of every key press so far: ("edit", "Ctrl+V"), ("frame", "Ctrl+V")."""
        return [(e["window"], e["key"]) for e in self._lines() if e.get("kind") in ("down", "repeat")]

    def key_events(self, key):
        """The kinds ("down", "repeat", "up") of every message of one key (a chord such as "Enter")."""
        return [e["kind"] for e in self._lines() if e.get("key", "").split("+")[-1] == key]

    def press_times(self, chord):
        """When (GetTickCount64, ms) the edit got each press of a chord, such as "Ctrl+V"."""
        return [e["t"] for e in self._lines() if e.get("window") == "edit" and e.get("key") == chord
                and e.get("kind") == "down"]

    def rect(self):
        """The frame's screen rectangle."""
        return [w for w in self.session.windows()["windows"] if w["hwnd"] == self.hwnd][0]["rect"]

    def text(self):
        """The edit's text ("" while the program does not answer)."""
        for w in self.session.windows()["windows"]:
            if w["hwnd"] == self.hwnd:
                return ([c["text"] for c in w["children"] if c["hwnd"] == self.edit] or [None])[0]
        return None

    def copy(self):
        """The program copies its edit's whole text, whether or not it is in front; its edit
        owns the clipboard then."""
        self.session.post(self.hwnd, self.WM_COPY_TEXT)

    def hang(self, ms):
        """The program stops answering for ms milliseconds, busy on its window's thread."""
        self.session.post(self.hwnd, self.WM_HANG, ms)

    def busy_copy(self, ms, copy_at_ms):
        """The program is busy for ms milliseconds and copies its edit's whole text copy_at_ms
        into them: a rendered text whose owner does not answer."""
        self.session.post(self.hwnd, self.WM_BUSY_COPY, ms, copy_at_ms)

    def copied_while_busy(self):
        return any(e.get("copied_while_busy") for e in self._lines())


_KEY_NAMES = {0x56: "v", 0x4B: "k", 0x70: "F1", 0x78: "F9", 0x20: "space"}


def hotkey_name(mod, vk):
    """xdotool key name for a RegisterHotKey modifier set and virtual key."""
    parts = []
    if mod & MOD_CONTROL:
        parts.append("ctrl")
    if mod & MOD_ALT:
        parts.append("alt")
    if mod & MOD_SHIFT:
        parts.append("shift")
    if mod & MOD_WIN:
        parts.append("super")
    if 0x41 <= vk <= 0x5A:
        key = chr(vk).lower()
    elif 0x30 <= vk <= 0x39:
        key = chr(vk)
    elif 0x70 <= vk <= 0x7B:
        key = "F%d" % (vk - 0x6F)
    else:
        key = _KEY_NAMES[vk]
    return "+".join(parts + [key])


# ---- test cases -------------------------------------------------------------------------

import unittest  # noqa: E402


class E2ETestCase(unittest.TestCase):
    """Base of the end-to-end tests: the run's session, programs started by the test ended
    afterwards, and on failure a screenshot and the probe's view kept as evidence."""

    maxDiff = None

    @property
    def session(self):
        return Config.session

    def setUp(self):
        self.session.focus_desktop()
        self.apps = []
        self.programs = []
        self.stand_ins = []
        self.helper_logs = []  # output files of helpers the test started, kept as evidence
        self.children_before = list(self.session.children)  # what the session ran before this test
        self.folder = os.path.join(self.session.work, self.id().split(".")[-1])

    def _callTestMethod(self, method):
        # Evidence is taken right after the test body, while its windows are still there.
        try:
            super()._callTestMethod(method)
        except unittest.SkipTest:
            raise
        except BaseException:
            self.keep_evidence()
            raise
        if not getattr(getattr(self, "_outcome", None), "success", True):  # a failed subTest
            self.keep_evidence()

    def tearDown(self):
        for app in self.apps:
            if app.proc is not None and app.running():
                app.stop()
        for p in self.programs:
            kill(p)
            self.session.forget(p)
        # Other programs the test started through the session (xclip keeps the selection until
        # ended): the next test finds none of them.
        for p in [p for p in self.session.children if p not in self.children_before]:
            kill(p)
            self.session.forget(p)

    def keep_evidence(self, suffix=""):
        """Keeps what explains a failure, in the artifacts folder and in the log: a screenshot,
        the windows, the clipboard and the logs of the stand-ins and helpers the test started.
        suffix tells the evidence of a second PC apart."""
        name = "failed-%s%s" % (self.id(), suffix)  # failed-<module>.<class>.<test>
        lines = []

        def note(title, body):
            lines.append("--- %s\n%s" % (title, body.rstrip()))

        for what, take in (
            ("screenshot", lambda: self.session.screenshot(os.path.join(Config.artifacts, name + ".png"))),
            ("windows", lambda: self._keep_windows(os.path.join(Config.artifacts, name + ".json"))),
            ("clipboard", self._clipboard_evidence),
            ("processes", self._process_evidence),
        ):
            try:
                note(what, str(take()))
            except Exception as e:  # evidence is a courtesy; the failure itself is reported
                note(what, "could not be taken: %s" % e)
        for path in [p.log for p in self.stand_ins] + self.helper_logs:
            try:
                with open(path, "rb") as f:
                    note("log " + os.path.basename(path), f.read()[-4000:].decode("utf-8", "replace"))
            except OSError as e:
                note("log " + os.path.basename(path), "could not be read: %s" % e)
        text = "\n".join(lines) + "\n"
        with open(os.path.join(Config.artifacts, name + ".txt"), "w", encoding="utf-8") as f:
            f.write(text)
        log("evidence of %s kept in %s as %s.*\n%s" % (self.id(), Config.artifacts, name, text))

    def _keep_windows(self, path):
        windows = self.session.windows()
        with open(path, "w") as f:
            json.dump(windows, f, indent=1)
        shown = []
        for w in windows["windows"]:
            if w.get("visible"):
                children = ", ".join("%s %r" % (c["class"], c.get("text", "")[:40]) for c in w.get("children", [])[:6])
                shown.append("%s %r %s pid %s [%s]" % (w["class"], w.get("title", ""), w.get("rect"), w.get("pid"),
                                                       children))
        state = self.session.state()
        return "foreground: %r\nfocus in the tool window: %r\nvisible windows:\n  %s" % (
            state.get("foreground"), (state.get("main") or {}).get("focus"), "\n  ".join(shown))

    def _clipboard_evidence(self):
        c = self.session.clipboard()
        return "text %r, formats %r, owner %r, sequence %r" % (c.get("text"), c.get("formats"), c.get("owner"),
                                                               c.get("sequence"))

    def _process_evidence(self):
        p = subprocess.run(["ps", "-eo", "pid,etimes,pcpu,args"], capture_output=True, text=True, timeout=30)
        wine = [l for l in p.stdout.splitlines()[1:] if ".exe" in l or "wineserver" in l or "xclip" in l]
        return "\n".join(wine)

    # -- message boxes, dialogs and menus of the programs under test --

    def message_boxes(self):
        """Visible dialog windows (#32770): message boxes and the programs' dialogs."""
        return self.session.state()["msgboxes"]

    def wait_dialog(self, title, timeout=20):
        """The visible dialog with this title, once it is there."""
        return poll(lambda: ([b for b in self.message_boxes() if b["title"] == title] or [None])[0], timeout, 0.2,
                    "the dialog %r" % title)

    def wait_box(self, message, owner=None, timeout=30):
        """The box showing text (message = (text, caption)); checks its caption and, when
        given, its owner."""
        text, caption = message
        box = poll(lambda: ([b for b in self.message_boxes() if text in [c["text"] for c in b["children"]]] or
                            [None])[0], timeout, 0.2, "the message %r" % text)
        self.assertEqual(box["title"], caption, text)
        if owner is not None:
            self.assertEqual(box["owner"], owner, "owner of %r" % text)
        return box

    def answer_box(self, box, button=1):
        """Clicks the box's button (1 OK, 2 Cancel, 6 Yes) and waits for the box to go."""
        found = [c for c in box["children"] if c["class"] == "Button" and c["id"] == button]
        self.assertEqual(len(found), 1, box)
        self.session.click(*center(found[0]["rect"]))
        poll(lambda: box["hwnd"] not in [b["hwnd"] for b in self.message_boxes()], 20, 0.2, "the box closed")

    def balloon_shown(self, words, timeout=8):
        """Whether a balloon with these words comes up within timeout seconds."""
        try:
            poll(lambda: any(words in t for t in self.balloon_texts()), timeout, 0.2, "a balloon")
            return True
        except AssertionError:
            return False

    def balloon_texts(self):
        """Texts of the notification-area balloons on screen (Wine's taskbar shows them as
        tooltip windows of its explorer)."""
        return [w["title"] for w in self.session.windows()["windows"]
                if w["class"] == "tooltips_class32" and w["visible"] and w["title"]]

    def open_menus(self):
        return [w for w in self.session.windows()["windows"] if w["class"] == "#32768" and w["visible"]]

    def settle(self):
        """A clipboard change that follows a change of the foreground window within half
        a second is ignored by design; copies in the tests come after this pause."""
        time.sleep(0.7)

    def app(self, settings=None, history=None, templates=None, start=True, name=None, session=None):
        """The program in a folder of the test's own (named after the test, and name), on the
        run's session or on session, another PC: its folder is then in that session's work."""
        session = session or self.session
        folder = os.path.join(session.work, os.path.basename(self.folder)) + ("-" + name if name else "")
        app = App(session, folder, settings=settings, history=history, templates=templates)
        self.apps.append(app)
        return app.start() if start else app

    def stand_in(self, window_class="StandInFrame", exe_name="probe.exe", at=None):
        """Starts a stand-in program (see StandIn), its frame at the screen point at, and waits
        until it is in front."""
        program = StandIn(self.session, window_class, exe_name, at)
        self.programs.append(program.proc)
        self.stand_ins.append(program)
        poll(lambda: (self.session.state()["foreground"] or {}).get("hwnd") == program.hwnd, 30, 0.2,
             "the stand-in %s in front" % window_class)
        return program

    def notepad(self):
        """Starts Wine's notepad and waits until it is the foreground window."""
        p = self.session.spawn(["notepad"])
        self.programs.append(p)
        poll(lambda: (self.session.state()["foreground"] or {}).get("class") == "Notepad", 30, 0.2,
             "notepad in front")
        return p
