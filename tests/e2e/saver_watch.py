"""Small pieces the end-to-end scenarios share on top of quillet_wine: finding the running
saver and its windows, the message numbers they send it, waiting until a window has the
keyboard, looking at the saver from outside through proc_probe.exe and from inside through
Wine's message trace, ending a run with a key, listing a folder to tell what a run wrote, and
putting a stand-in into the prefix's system folder for a while."""

import filecmp
import os
import re
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
WM_KEYDOWN = 0x0100
KEY_A = 0x41  # the virtual-key code of A
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

# Wine's message trace has a line for every message a window procedure returns from, stamped
# with Wine's clock in seconds:
#   818.624:00f0:trace:message:spy_exit_message (0x20078) L"Screen Saver" [0113] WM_TIMER returned 0
# Every WM_TIMER of the saver window is one step of the whole flock, so the trace counts the
# steps a run really took, and when, however busy the machine is.
MESSAGE_TRACE = "+timestamp,-all,trace+message"
_RETURNED = re.compile(rb"^(\d+\.\d+):[0-9a-f]+:trace:message:spy_exit_message\s+"
                       rb"\((0x[0-9a-f]+)\) L\"[^\"]*\"\s+\[[0-9a-f]+\] (\w+) returned", re.M)


def proc_probe(desk, *args, timeout=DEFAULT_TIMEOUT):
    """Runs proc_probe.exe with args and returns its stdout as text."""
    return desk.run_helper("proc_probe.exe", *args, timeout=timeout).stdout.decode("latin-1")


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


def shown_preview(desk, parent):
    """The saver's preview window inside parent (a ParentWindow) once it is shown, else
    None: the child exists before it is shown, while the saver sets its scene up."""
    found = [w for w in desk.child_windows(parent.hwnd) if w["cls"] == SAVER_CLASS]
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


def has_keyboard(desk, window):
    """Whether window (from find_window) is the foreground window, the one the keyboard's keys
    go to. A window is shown before its program makes it the foreground window; a key pressed
    in between goes to the window that had the keyboard before."""
    return window is not None and desk.foreground_window() == window["hwnd"]


def wait_keyboard(desk, find, timeout=DEFAULT_TIMEOUT, what="the window"):
    """Waits until find() returns a window that has the keyboard, and returns it."""

    def ready():
        window = find()
        return window if has_keyboard(desk, window) else None

    try:
        return wait_until(ready, timeout, 0.2, "%s to have the keyboard" % what)
    except TimeoutError as timeout_error:
        # Say what there was instead, so that the next such failure shows which part was missing.
        raise TimeoutError("%s; the window: %r; the foreground window: %r"
                           % (timeout_error, find(), desk.foreground_window())) from None


def wait_full_screen_keyboard(desk, timeout=DEFAULT_TIMEOUT):
    """Waits until the full-screen saver window is shown and takes the keys; returns it."""
    return wait_keyboard(desk, lambda: full_screen_window(desk), timeout,
                         "the full-screen saver window")


def wait_settings_dialog(desk, timeout=DEFAULT_TIMEOUT):
    """Waits until the settings dialog is shown and takes the keys, and returns it."""
    return wait_keyboard(desk, lambda: shown_window(desk, "#32770"), timeout,
                         "the settings dialog")


def start_traced(desk, *args, cwd=None):
    """Starts the saver under test with Wine's message trace on; returns its WineProcess."""
    return desk.start(desk.scr, *args, cwd=cwd, debug=MESSAGE_TRACE)


def handled(proc, message, window=None):
    """Wine's clock (seconds) at each return from `message` ("WM_TIMER", "WM_CLOSE", ...) in
    the window whose handle is `window`, or in any window of proc, oldest first. proc was
    started with start_traced."""
    with open(proc.popen.stderr_path, "rb") as f:
        trace = f.read()
    name = message.encode()
    return [float(m.group(1)) for m in _RETURNED.finditer(trace)
            if m.group(3) == name and (window is None or int(m.group(2), 16) == window)]


def steps(proc):
    """When each step of the traced saver's flock ended, on Wine's clock in seconds."""
    return handled(proc, "WM_TIMER")


def wait_steps(proc, count, timeout=DEFAULT_TIMEOUT):
    """Waits until the traced saver has taken `count` steps since it started; returns their
    times."""

    def taken():
        times = steps(proc)
        return times if len(times) >= count else None

    return wait_until(taken, timeout, 0.1, "%d steps of the flock" % count)


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
