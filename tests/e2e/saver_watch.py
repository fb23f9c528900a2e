"""Small pieces the end-to-end scenarios share on top of quillet_wine: finding the running
saver and its windows, the message numbers they send it, looking at it from outside through
proc_probe.exe, ending a run with a key, listing a folder to tell what a run wrote, and putting
a stand-in into the prefix's system folder for a while."""

import filecmp
import os
import shutil
import subprocess
import time

from quillet_wine import DEFAULT_TIMEOUT, wait_until

SAVER_CLASS = "WindowsScreenSaverClass"
FULL_SCREEN_TITLE = "Screen Saver"

# Window messages and their parameters that scenarios send to the saver window, numbered as
# the platform's documentation numbers them.
WM_PAINT = 0x000F
WM_CLOSE = 0x0010
WM_SETTEXT = 0x000C
WM_SHOWWINDOW = 0x0018
WM_ACTIVATEAPP = 0x001C
WM_SETCURSOR = 0x0020
WM_POWER = 0x0048
WM_HELP = 0x0053
WM_CONTEXTMENU = 0x007B
WM_SYSCOMMAND = 0x0112
WM_TIMER = 0x0113
WM_ERASEBKGND = 0x0014
WM_POWERBROADCAST = 0x0218
SC_NEXTWINDOW = 0xF040
SC_PREVWINDOW = 0xF050
SC_SCREENSAVE = 0xF140
PWR_CRITICALRESUME = 3
PBT_APMRESUMEAUTOMATIC = 0x12
HTCLIENT = 1
WS_EX_TOPMOST = 0x8
AUTOPLAY_QUERY = "QueryCancelAutoPlay"  # registered by name; its number is the system's


def proc_probe(desk, *args, timeout=DEFAULT_TIMEOUT):
    """Runs proc_probe.exe with args and returns its stdout as text."""
    result = subprocess.run(["wine", desk.helper("proc_probe.exe")] + [str(a) for a in args],
                            cwd=desk.dir, env=desk.env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
    return result.stdout.decode("latin-1")


def fields(line):
    """"name 1 other 2" -> {"name": 1, "other": 2}."""
    words = line.split()
    return {words[i]: int(words[i + 1]) for i in range(0, len(words) - 1, 2)}


def saver_pid(desk):
    """The Windows process id of the running saver, or None."""
    name = os.path.basename(desk.scr).lower()
    for line in (desk.probe("processes") or "").splitlines():
        pid, _, exe = line.partition("\t")
        if exe.lower() == name:
            return int(pid)
    return None


def child_windows(desk, hwnd):
    """Child windows of hwnd: dicts with hwnd, visible, rect (screen), cls, title."""
    found = []
    for line in (desk.probe("children", str(hwnd)) or "").splitlines():
        fields = line.rstrip("\r").split("\t")
        if len(fields) >= 8:
            found.append({"hwnd": int(fields[0]), "visible": fields[1] == "1",
                          "rect": tuple(int(v) for v in fields[2:6]), "cls": fields[6],
                          "title": fields[7]})
    return found


def shown_preview(desk, parent):
    """The saver's preview window inside parent (a ParentWindow) once it is shown, else
    None: the child exists before it is shown, while the saver sets its scene up."""
    found = [w for w in child_windows(desk, parent.hwnd) if w["cls"] == SAVER_CLASS]
    return found[0] if found and found[0]["visible"] else None


def shown_window(desk, cls, title=None):
    """The top-level window of that class (and title) once it is shown, else None: a window
    exists before it is shown, while its program still sets it up."""
    window = desk.find_window(cls, title)
    return window if window and window["visible"] else None


def full_screen_window(desk):
    return shown_window(desk, SAVER_CLASS, FULL_SCREEN_TITLE)


def wait_full_screen_window(desk, timeout=DEFAULT_TIMEOUT):
    """Waits until the full-screen saver window is shown and returns it."""
    return wait_until(lambda: full_screen_window(desk), timeout, 0.2,
                      "the full-screen saver window")


def wait_settings_dialog(desk, timeout=DEFAULT_TIMEOUT):
    """Waits until the settings dialog is shown and returns it."""
    return wait_until(lambda: shown_window(desk, "#32770"), timeout, 0.2, "the settings dialog")


def end_with_key(desk, proc, timeout=60):
    """Presses a key until the run ends (a busy saver may miss the first) and returns the
    exit code."""
    deadline = time.monotonic() + timeout
    while desk.is_running(proc) and time.monotonic() < deadline:
        desk.key("space")
        try:
            proc.popen.wait(2)
        except subprocess.TimeoutExpired:
            pass
    return desk.wait_exit(proc, 5)


def listing(folder, ignore=()):
    """Every file below folder with its size and modification time, except names that
    start with one of `ignore`."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            if relative.startswith(tuple(ignore)):
                continue
            status = os.lstat(path)
            found[relative] = (status.st_size, status.st_mtime_ns) if name in files else "dir"
    return found


class SystemFile:
    """A file put into the prefix's system folder for one test. Whatever was there before
    (Wine's own mpr.dll) is saved beside it and put back. What a run killed before its clean-up
    left behind is undone first: its save goes back, its stand-in goes."""

    def __init__(self, system_dir, name, source):
        self.path = os.path.join(system_dir, name)
        self.saved = self.path + ".quillet-saved"
        if os.path.exists(self.saved):
            os.replace(self.saved, self.path)
        elif os.path.exists(self.path) and filecmp.cmp(self.path, source, shallow=False):
            os.remove(self.path)
        if os.path.exists(self.path):
            os.replace(self.path, self.saved)
        shutil.copyfile(source, self.path)

    def remove(self):
        if os.path.exists(self.saved):
            os.replace(self.saved, self.path)
        elif os.path.exists(self.path):
            os.remove(self.path)
