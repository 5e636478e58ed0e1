"""Two PCs on one synced folder: two Syncthing instances on this machine, talking over
127.0.0.1 only, each with its own home and its own local path of one shared folder.

    pair = SyncPair(work, [folder_a, folder_b], ignores=["nomaclip.exe", "img"])
    pair.start()            # both connected, the folder idle on both sides
    pair.wait_same("history.ini")
    pair.stop()             # REST shutdown, then the processes by their PIDs if still there

Every port is chosen free at run time, and every network default (discovery, relays, NAT,
reporting, upgrades, the browser) is off. Each instance's output goes to a log file beside its
home, kept as evidence (SyncPair.logs).

Python 3 standard library only (and the harness's poll).
"""

import ctypes
import json
import os
import re
import secrets
import shutil
import signal
import socket
import subprocess
import time
import urllib.request
from xml.sax.saxutils import quoteattr

from harness import poll

FOLDER_ID = "nomaclip"
PR_SET_PDEATHSIG = 1


def free_ports(count):
    """Ports nobody listens on right now, all different: each is held until all are chosen."""
    socks = []
    try:
        for _ in range(count):
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.bind(("127.0.0.1", 0))
            socks.append(s)
        return [s.getsockname()[1] for s in socks]
    finally:
        for s in socks:
            s.close()


def _end_with_parent():
    """In the monitor process before exec: it gets SIGTERM when the test run dies without
    stopping it (a time-out's SIGKILL), and passes it on to its child."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _children(pid):
    """PIDs whose parent is pid."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name, "rb") as f:
                stat = f.read()
        except OSError:
            continue
        # pid (comm) state ppid ...: comm may hold spaces and parentheses, the last ')' ends it.
        fields = stat[stat.rfind(b")") + 2:].split()
        if int(fields[1]) == pid:
            found.append(int(name))
    return found


def _cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


class Syncthing:
    """One instance: home folder, log, ports, API key, device ID, its two processes."""

    def __init__(self, home, folder, log_path):
        self.home, self.folder, self.log_path = home, folder, log_path
        self.gui_port = self.listen_port = None
        self.api_key = secrets.token_urlsafe(24)
        self.device_id = None
        self.proc = None  # the monitor
        self.child = None  # the syncthing that does the work

    def generate(self):
        shutil.rmtree(self.home, ignore_errors=True)  # a test run again starts anew
        os.makedirs(self.home)
        p = subprocess.run(["syncthing", "generate", "--home=" + self.home, "--no-default-folder"],
                           stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60, env=self._env())
        if p.returncode != 0:
            raise AssertionError("syncthing generate failed: %s %s" % (p.stdout, p.stderr))
        with open(os.path.join(self.home, "config.xml"), encoding="utf-8") as f:
            self.device_id = re.search(r'<device id="([A-Z0-9-]+)"', f.read()).group(1)

    def write_config(self, peer):
        """config.xml before the first start; Syncthing fills in every other default."""
        devices = "".join(
            '        <device id="%s" introducedBy=""></device>\n' % d for d in (self.device_id, peer.device_id))
        config = """<configuration version="36">
    <folder id="{fid}" label="{fid}" path={path} type="sendreceive" rescanIntervalS="3600" fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">
{devices}        <markerName>.stfolder</markerName>
    </folder>
    <device id="{me}" name="{me_name}" compression="metadata" introducer="false">
        <address>dynamic</address>
    </device>
    <device id="{peer}" name="{peer_name}" compression="metadata" introducer="false">
        <address>tcp://127.0.0.1:{peer_port}</address>
    </device>
    <gui enabled="true" tls="false" debugging="false">
        <address>127.0.0.1:{gui}</address>
        <apikey>{key}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:{listen}</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <stunServer></stunServer>
        <announceLANAddresses>false</announceLANAddresses>
        <urAccepted>-1</urAccepted>
        <crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <startBrowser>false</startBrowser>
        <setLowPriority>false</setLowPriority>
        <reconnectionIntervalS>1</reconnectionIntervalS>
    </options>
</configuration>
""".format(fid=FOLDER_ID, path=quoteattr(self.folder), devices=devices, me=self.device_id,
           me_name=os.path.basename(self.home), peer=peer.device_id, peer_name=os.path.basename(peer.home),
           peer_port=peer.listen_port, gui=self.gui_port, key=self.api_key, listen=self.listen_port)
        with open(os.path.join(self.home, "config.xml"), "w", encoding="utf-8") as f:
            f.write(config)

    def _env(self):
        env = dict(os.environ)
        env.update(STNOUPGRADE="1", STNORESTART="1")
        env.pop("STMONITORED", None)
        return env

    def serve(self):
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(
                ["syncthing", "serve", "--home=" + self.home, "--no-browser", "--no-restart", "--no-upgrade",
                 "--no-default-folder", "--skip-port-probing"],
                env=self._env(), stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                preexec_fn=_end_with_parent)

    def find_child(self):
        """The working process the monitor started (known once the monitor has started it)."""
        if self.child is None and self.proc is not None:
            kids = [pid for pid in _children(self.proc.pid) if self._is_ours(pid)]
            self.child = kids[0] if kids else None
        return self.child

    def _is_ours(self, pid):
        args = _cmdline(pid)
        return any(a.startswith(b"--home=") and a[7:] == self.home.encode() for a in args)

    # -- REST --

    def rest(self, path, method="GET", timeout=10):
        req = urllib.request.Request("http://127.0.0.1:%d%s" % (self.gui_port, path), method=method,
                                     headers={"X-API-Key": self.api_key})
        with urllib.request.urlopen(req, timeout=timeout) as r:
            body = r.read()
        return json.loads(body) if body.strip() else None

    def try_rest(self, path):
        try:
            return self.rest(path)
        except (OSError, ValueError):  # not listening yet, or gone: the callers poll
            return None

    def connected_to(self, device_id):
        c = self.try_rest("/rest/system/connections") or {}
        return bool(c.get("connections", {}).get(device_id, {}).get("connected"))

    def folder_status(self):
        return self.try_rest("/rest/db/status?folder=" + FOLDER_ID)

    def up_to_date(self):
        s = self.folder_status()
        return bool(s and s.get("state") == "idle" and s.get("needTotalItems", 1) == 0)

    # -- stop --

    def stop(self, timeout=15):
        """Asks Syncthing to shut down; what is still there after timeout is killed by PID.
        Returns the PIDs that had to be killed."""
        if self.proc is None:
            return []
        self.find_child()
        if self.proc.poll() is None:
            try:
                self.rest("/rest/system/shutdown", method="POST")
            except (OSError, ValueError):
                pass  # already going, or never answered: ended by PID below
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.left_behind():
            time.sleep(0.1)
        killed = self.left_behind()
        for pid in killed:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            pass
        self.proc = None
        return killed

    def _child_alive(self):
        return self.child is not None and os.path.exists("/proc/%d" % self.child) and self._is_ours(self.child)

    def left_behind(self):
        """PIDs of this instance still running (none after stop)."""
        pids = []
        if self.proc is not None and self.proc.poll() is None:
            pids.append(self.proc.pid)
        if self._child_alive():
            pids.append(self.child)
        return pids


class SyncPair:
    """Two Syncthing instances sharing one folder: folders[0] on the first PC, folders[1] on
    the second. Homes and logs go under work. ignores: the lines of the folder's .stignore,
    written on both sides before the start."""

    def __init__(self, work, folders, ignores=()):
        self.work = work
        self.folders = [os.path.abspath(f) for f in folders]
        self.ignores = list(ignores)
        self.instances = [Syncthing(os.path.join(work, "syncthing-%s" % side), folder,
                                    os.path.join(work, "syncthing-%s.log" % side))
                          for side, folder in zip("ab", self.folders)]

    @property
    def logs(self):
        return [st.log_path for st in self.instances]

    def start(self, timeout=60):
        """Starts both instances and returns once they are connected and the folder is up to
        date on both sides. Stops whatever it started when that does not happen."""
        a, b = self.instances
        gui_a, gui_b, listen_a, listen_b = free_ports(4)
        a.gui_port, b.gui_port, a.listen_port, b.listen_port = gui_a, gui_b, listen_a, listen_b
        for st in self.instances:
            os.makedirs(st.folder, exist_ok=True)
            os.makedirs(os.path.join(st.folder, ".stfolder"), exist_ok=True)
            if self.ignores:
                with open(os.path.join(st.folder, ".stignore"), "w", encoding="utf-8", newline="\n") as f:
                    f.write("\n".join(self.ignores) + "\n")
            st.generate()
        a.write_config(b)
        b.write_config(a)
        try:
            for st in self.instances:
                st.serve()
            poll(lambda: a.connected_to(b.device_id) and b.connected_to(a.device_id), timeout, 0.1,
                  "the two Syncthing instances connected")
            poll(lambda: all(st.up_to_date() for st in self.instances), timeout, 0.1,
                  "the folder idle and up to date on both sides")
            for st in self.instances:
                poll(st.find_child, timeout, 0.1, "the Syncthing process under its monitor")
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self):
        """Stops both instances; returns the PIDs that did not end on the shutdown request."""
        return [pid for st in self.instances for pid in st.stop()]

    def left_behind(self):
        return [pid for st in self.instances for pid in st.left_behind()]

    # -- files --

    def path(self, side, name):
        return os.path.join(self.folders[side], name)

    def read(self, side, name):
        try:
            with open(self.path(side, name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def wait_same(self, name, timeout=20):
        """Waits until name has the same bytes on both sides and neither Syncthing has
        anything left to do in the folder; returns the bytes."""

        def same():
            a, b = self.read(0, name), self.read(1, name)
            return a is not None and a == b and all(st.up_to_date() for st in self.instances) and (a,)

        try:
            return poll(same, timeout, 0.1, "%s the same on both sides" % name)[0]
        except AssertionError:
            raise AssertionError("%s differs after %.0f s: %r / %r" % (name, timeout, self.read(0, name),
                                                                       self.read(1, name))) from None

    def arrival(self, name, data, side, since, timeout=20):
        """Seconds from since (time.monotonic()) until name holds data on side."""
        poll(lambda: self.read(side, name) == data, timeout, 0.02,
              "%s with the new bytes on side %d" % (name, side))
        return time.monotonic() - since
