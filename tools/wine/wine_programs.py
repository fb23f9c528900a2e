"""What the harness says to and reads from Windows programs: Windows paths and command lines,
the settings file the saver reads, the rows win_probe.exe prints for windows, and the programs
that report back through files (win_probe.exe's run, parent_window.exe)."""

import os
import subprocess

from wine_prefix import DEFAULT_TIMEOUT, wait_until

SETTINGS_FILE = "quilet01.ini"


def windows_path(path):
    """The Windows name of a Unix path: Wine maps the Unix root to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def command_line(args):
    """Joins arguments into one Windows command line (Microsoft C runtime quoting). The
    program, args[0], may be a Unix path; pass other paths through windows_path()."""
    program = args[0]
    if os.path.isabs(program) and os.path.exists(program):
        program = windows_path(program)
    return subprocess.list2cmdline([program] + [str(a) for a in args[1:]])


def write_settings(folder, delay=None, birds=None, text=None):
    """Writes the saver's settings file in `folder` and returns its path: the given Delay
    and bird count (CharNumber) as the saver writes them, each line only when given, or
    `text` (str or bytes) exactly as it stands. With none of them the file is removed, so
    the saver starts from its defaults."""
    path = os.path.join(folder, SETTINGS_FILE)
    if text is None:
        lines = [("Delay", delay), ("CharNumber", birds)]
        text = "".join("%s = %d\r\n" % (key, value) for key, value in lines
                       if value is not None)
        if not text:
            if os.path.exists(path):
                os.remove(path)
            return path
    with open(path, "wb") as f:
        f.write(text.encode("latin-1") if isinstance(text, str) else text)
    return path


def window_rows(text):
    """The windows of win_probe.exe's rows ("handle visible left top right bottom class
    title", tab-separated): dicts with hwnd, visible, rect (screen), cls, title."""
    found = []
    for line in (text or "").splitlines():
        fields = line.rstrip("\r").split("\t")
        if len(fields) >= 8:
            found.append({"hwnd": int(fields[0]), "visible": fields[1] == "1",
                          "rect": tuple(int(v) for v in fields[2:6]), "cls": fields[6],
                          "title": fields[7]})
    return found


class WineProcess:
    """A Windows program started through win_probe.exe. After wait_exit: exit_code, and
    windows, the (handle, class) pairs of the top-level and child windows it created."""

    def __init__(self, popen, output_path, text):
        self.popen = popen
        self.output_path = output_path
        self.command_line = text
        self.exit_code = None
        self.windows = []
        self.relaunch = None  # starts the same program again, for a launch that never began

    def read_output(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("latin-1")

    def launch_errors(self):
        """What the launcher printed on its error stream (Wine's own complaints)."""
        with open(self.popen.stderr_path, "rb") as f:
            return f.read().decode("latin-1").strip()

    def _collect(self):
        for line in self.read_output().splitlines():
            if line.startswith("window "):
                handle, _, cls = line[7:].partition("\t")
                self.windows.append((int(handle), cls))
            elif line.startswith("exit "):
                self.exit_code = int(line[5:])
            elif line.startswith("error "):
                raise RuntimeError("could not start %r: Windows error %s"
                                   % (self.command_line, line[6:]))


class ParentWindow:
    """parent_window.exe: a top-level window with a client area of a given size that may
    run a command line with "%HWND%" replaced by its handle."""

    COLOUR = (70, 130, 100)  # its background

    def __init__(self, desk, process, report, close_file):
        self.desk = desk
        self.process = process
        self.report = report
        self.close_file = close_file
        self.hwnd = int(wait_until(lambda: self._reported("hwnd"), what="parent window"))

    def _reported(self, word):
        try:
            with open(self.report) as f:
                for line in f:
                    if line.startswith(word + " "):
                        return line.split()[1]
        except FileNotFoundError:
            pass
        return None

    def client_rect(self):
        """(left, top, width, height) of the client area in screen coordinates."""
        out = self.desk.probe("client", str(self.hwnd))
        return tuple(int(v) for v in out.split())

    def close(self):
        """Asks the window to destroy itself (it polls for a file every 50 ms)."""
        open(self.close_file, "w").close()

    def child_exit(self, timeout=DEFAULT_TIMEOUT):
        """The exit code of the started command line, once it has ended."""
        value = wait_until(lambda: self._reported("child"), timeout, what="child exit code")
        return int(value)

    def help_requests(self):
        """(kind, wparam, lparam) of every WM_HELP ("help") and WM_CONTEXTMENU
        ("contextmenu") that reached the window so far, in order."""
        found = []
        try:
            with open(self.report) as f:
                for line in f:
                    words = line.split()
                    if words and words[0] in ("help", "contextmenu"):
                        found.append((words[0], int(words[1]), int(words[2])))
        except FileNotFoundError:
            pass
        return found
