"""Runs Quillet and its Windows test helpers under Wine, on a private X display.

Every end-to-end test uses this module, and so do `make bench` and `make demo` (Python 3 with
Pillow, Debian's python3-pil; tests/e2e on PYTHONPATH). The pieces:

    with WineDesktop() as desk:               # own Xvfb, Wine virtual desktop 1024x768,
                                              # fresh temporary working directory desk.dir
        desk.pattern_desktop()                # paint "the desktop" the saver will freeze
        code = desk.run(desk.scr, "/x")       # full signed 32-bit exit code: -1
        proc = desk.start(desk.scr, "/s")     # WineProcess; desk.is_running(proc)
        desk.key("a"); desk.mouse_move(10, 10); desk.click(1)
        shot = desk.screenshot()              # Image: width, height, pixel(x, y) -> (r, g, b)
        shot.differing_runs(earlier_shot)     # (y, left, right) where the two differ
        assert desk.wait_exit(proc, 30) == 0
        proc.windows                          # classes of the windows the program created

    with WineDesktop(monitors=[(0, 0, 1024, 768), (-1024, 0, 0, 768)]) as desk:
        desk.monitors_seen()                  # what Windows programs see: virtual screen, monitors
        desk.to_x(-1024, 0)                   # a Windows screen point in screenshot pixels: (0, 0)

    parent = desk.parent_window(200, 150, run=[desk.scr, "/p", "%HWND%"])
    parent.hwnd; parent.client_rect(); parent.close(); parent.child_exit(30)
    parent.help_requests()                    # WM_HELP and WM_CONTEXTMENU that reached it

    desk.send(hwnd, 0x0112, 0xF140)           # a window procedure's answer, from any process
    desk.send(hwnd, "QueryCancelAutoPlay")    # registered messages by name
    desk.post_together(hwnd, (0x10, 0, 0), (0x113, 1, 0))  # queued as one batch
    desk.styles(hwnd); desk.shown_cursor(); desk.show_cursor_in(hwnd)

Exit codes: a plain `wine prog` call hands back only the low 8 bits (-1 arrives as 255).
run()/start() therefore go through the helper win_probe.exe, which starts the program with
CreateProcessA on an exact command line and prints GetExitCodeProcess as a signed number.
run_exact()/start_exact() take the command line as bytes, for tabs and bytes above 127;
run_plain() is the plain `wine` call.

The Wine prefix is shared by all tests of a run (ctest creates it once through
`python3 quillet_wine.py setup-prefix`, see CMakeLists.txt). Each WineDesktop restores the
prefix's registry to the state it had after set-up, so registry changes (reg_add,
set_windows_version) last for one context only. In that prefix the crash debugger is off
(AeDebug "Debugger" is empty), so an unhandled fault never opens winedbg's dialog and the
system's UnhandledExceptionFilter answers EXCEPTION_EXECUTE_HANDLER.

Paths come from the environment (set by tests/e2e/CMakeLists.txt):
    QUILLET_SCR           the .scr under test: quillet.scr (the product) or quillet64.scr
    QUILLET_WIN_HELPERS   folder of win_probe.exe, pattern_desktop.exe, parent_window.exe, ...
                          built for the same width as the .scr (a 32-bit program loads only
                          32-bit test libraries)
    QUILLET_BITS          32 or 64: the width of both
    QUILLET_WINE_PREFIX   the shared Wine prefix
    QUILLET_XINERAMA_DIR  the Xinerama stand-in, built once per width of Linux process:
                          <dir>/lib/<multiarch triplet>/libXinerama.so.1

Several monitors: WineDesktop(monitors=[...]) takes Windows rectangles (left, top, right,
bottom), the primary first at 0,0. Wine's virtual desktop has one monitor, so such a desktop
has none: Wine's windows are X windows on one Xvfb screen as large as the monitors' bounding
box, Wine's X11 driver is told not to use XRandR (which sees one monitor, the X screen), and
asks Xinerama instead, which is xinerama_standin.c, preloaded into every Wine process
(QUILLET_XINERAMA_DIR). Wine makes the first head it lists the primary monitor and puts it at
Windows 0,0. Screenshots are in X coordinates, whose 0,0 is the bounding box's corner.

A scenario of the 32-bit pass on a machine whose kernel runs no 32-bit programs prints
SKIP_TEXT with the reason and ends as soon as it imports this module; ctest reports it
skipped. Where the kernel runs them, nothing is skipped: a 32-bit program that Wine cannot
start fails its scenario.
"""

import ctypes
import ctypes.util
import glob
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image as PilImage
from PIL import ImageChops, ImageGrab
import Xlib.X
import Xlib.display

# What Wine's start.exe prints when it could not start a program.
LAUNCH_FAILED = b"Application could not be started"

SCREEN_WIDTH = 1024
SCREEN_HEIGHT = 768
SETUP_TIMEOUT = 300  # creating a prefix takes 10-20 s on an idle machine
DEFAULT_TIMEOUT = 60
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")
XINERAMA_HEADS = "QUILLET_XINERAMA_HEADS"  # the monitors xinerama_standin.c reports
SKIP_TEXT = "QUILLET-SKIPPED:"  # tests/e2e/CMakeLists.txt reports a scenario that prints it skipped
RUNS_32BIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                          "tools", "runs-32bit.sh")


_LIBC = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_test():
    """Runs in each child before exec: should the test process be killed (a ctest timeout),
    the kernel ends Xvfb and the wine launchers too instead of leaving them behind."""
    _LIBC.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def build_bits():
    """32 or 64: the width of the .scr and helpers under test."""
    return int(os.environ.get("QUILLET_BITS", "64"))


def kernel_runs_32bit():
    return subprocess.run([RUNS_32BIT], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def skip_unless_build_can_run():
    """Ends a 32-bit scenario as skipped, saying why, on a kernel without 32-bit support."""
    if build_bits() == 32 and os.environ.get("QUILLET_SCR") and not kernel_runs_32bit():
        print("%s this machine's kernel does not run 32-bit programs, so the 32-bit "
              "quillet.scr cannot start under Wine here" % SKIP_TEXT)
        sys.exit(0)


def expected_pattern(x, y):
    """The colour pattern_desktop.exe paints at the Windows screen point (x, y); left of or
    above the primary monitor x or y is negative. In step with PatternPixel() there: Python's
    // and % round down, as that one's FloorDiv and FloorMod do."""
    red = 40 + (x // 8) % 128
    green = 40 + (y // 6) % 128
    blue = (150 if (x // 32 + y // 32) % 2 else 90) - 12 * (x // 1024 % 4) - 3 * (y // 768 % 4)
    return (red, green, blue)


def virtual_screen(monitors):
    """The bounding box (left, top, right, bottom) of monitor rectangles."""
    return (min(m[0] for m in monitors), min(m[1] for m in monitors),
            max(m[2] for m in monitors), max(m[3] for m in monitors))


def xinerama_heads(monitors):
    """The stand-in's "WxH+X+Y,..." for Windows monitor rectangles, in the same order: in X
    coordinates the bounding box's corner is 0,0."""
    left, top, _, _ = virtual_screen(monitors)
    return ",".join("%dx%d+%d+%d" % (r - l, b - t, l - left, t - top)
                    for l, t, r, b in monitors)


def xinerama_preload():
    """LD_PRELOAD for the stand-in: the dynamic loader replaces $LIB with its own library
    folder, lib/x86_64-linux-gnu or lib/i386-linux-gnu on Debian, so each Wine process,
    64-bit or 32-bit, loads the copy built for it."""
    return os.path.join(_env_path("QUILLET_XINERAMA_DIR"), "$LIB", "libXinerama.so.1")


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.1, what="condition"):
    """Calls predicate until it returns something true and returns that; raises
    TimeoutError naming `what` when `timeout` seconds pass first."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %g s waiting for %s" % (timeout, what))
        time.sleep(interval)


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


def _env_path(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError("%s is not set; run the test through ctest" % name)
    return value


def _prefix_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    if display is not None:
        env["DISPLAY"] = display
    return env


class Image:
    """A picture of the screen, or one to compare it with (a Pillow image underneath):
    width, height, pixel(x, y) -> (r, g, b), and where it differs from another picture."""

    def __init__(self, picture):
        self.picture = picture if picture.mode == "RGB" else picture.convert("RGB")
        self.width, self.height = self.picture.size
        self._pixels = self.picture.load()
        self._rgb = None

    @staticmethod
    def from_colours(width, height, colour_at):
        """The picture whose pixel (x, y) is colour_at(x, y)."""
        data = bytes(c for y in range(height) for x in range(width) for c in colour_at(x, y))
        return Image(PilImage.frombytes("RGB", (width, height), data))

    def pixel(self, x, y):
        return self._pixels[x, y]

    @property
    def rgb(self):
        """bytes, three per pixel, rows top to bottom."""
        if self._rgb is None:
            self._rgb = self.picture.tobytes()
        return self._rgb

    def save_png(self, path):
        self.picture.save(path, "PNG")

    def count(self, predicate, box=None):
        """How many pixels in box (left, top, right, bottom; default: all) satisfy
        predicate(x, y, (r, g, b))."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if predicate(x, y, self.pixel(x, y)))

    def same_as(self, other):
        return self.rgb == other.rgb

    def differing_runs(self, other):
        """(y, left, right) of every run of pixels in a row, right exclusive, whose colour
        is not the other picture's, top to bottom and left to right."""
        # Comparing the bytes first is several times quicker than the difference below, and
        # the benchmark polls the screen for its first change.
        if self.same_as(other):
            return
        bands = ImageChops.difference(self.picture, other.picture).split()
        mask = ImageChops.lighter(ImageChops.lighter(bands[0], bands[1]), bands[2])
        _, top, _, bottom = mask.getbbox()
        data = mask.tobytes()
        for y in range(top, bottom):
            for run in _NONZERO_RUN.finditer(data, y * self.width, (y + 1) * self.width):
                yield y, run.start() - y * self.width, run.end() - y * self.width


_NONZERO_RUN = re.compile(b"[^\\x00]+")


def grab_screen(display):
    """The whole root window of the X display (":N"), read through XCB in one request."""
    try:
        return Image(ImageGrab.grab(xdisplay=display))
    except OSError as error:
        # Pillow reads 24 and 32 bits per pixel only; a 16-bit display is read as it stores
        # its pixels, 5-6-5 bits of red, green and blue in two bytes, lowest byte first.
        if "bit depth" not in str(error):
            raise
        return _grab_16_bit_screen(display)


def _grab_16_bit_screen(display):
    connection = Xlib.display.Display(display)
    try:
        root = connection.screen().root
        size = root.get_geometry()
        reply = root.get_image(0, 0, size.width, size.height, Xlib.X.ZPixmap, 0xFFFFFFFF)
        if reply.depth != 16:
            raise RuntimeError("cannot read a screen of %d bits per pixel" % reply.depth)
        return Image(PilImage.frombytes("RGB", (size.width, size.height), reply.data, "raw",
                                        "BGR;16"))
    finally:
        connection.close()


class WineProcess:
    """A Windows program started through win_probe.exe. After wait_exit: exit_code, and
    windows, the (handle, class) pairs of the top-level and child windows it created."""

    def __init__(self, popen, output_path, text):
        self.popen = popen
        self.output_path = output_path
        self.command_line = text
        self.exit_code = None
        self.windows = []

    def read_output(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("latin-1")

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


class WineDesktop:
    """Context manager: a private Xvfb display, the shared prefix with its registry as set
    up and no user's copy of the settings, a Wine virtual desktop of 1024x768 on that display,
    and a fresh working directory (`dir`, the current directory of every program started).
    On exit every process it started is ended, whatever happened."""

    def __init__(self, prefix=None, keep_dir=False, display=None, monitors=None, depth=24):
        """display: an X display to show the virtual desktop on (a person's screen) instead
        of a private Xvfb. monitors: Windows rectangles (left, top, right, bottom) of several
        monitors, the primary first at 0,0, instead of the virtual desktop (see the module's
        notes). depth: bits per pixel of the private Xvfb."""
        self.prefix = prefix or _env_path("QUILLET_WINE_PREFIX")
        self.helpers = os.environ.get("QUILLET_WIN_HELPERS", "")
        self.scr = os.environ.get("QUILLET_SCR", "")
        self.keep_dir = keep_dir
        self.display = display
        self.monitors = monitors
        self.depth = depth
        self.dir = None
        self.env = None
        self._xvfb = None
        self._processes = []
        self._serial = 0
        self._appdata = None

    # -- lifecycle --------------------------------------------------------------------

    def __enter__(self):
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            raise RuntimeError("no Wine prefix at %s; run the setup fixture" % self.prefix)
        try:
            self._stop_wineserver()
            _restore_registry(self.prefix)
            _remove_user_settings(self.prefix)
            if self.display is None:
                self._xvfb, self.display = start_xvfb(size=self.x_screen_size(),
                                                      depth=self.depth)
            self.dir = tempfile.mkdtemp(prefix="quillet-e2e-")
            self.env = _prefix_env(self.prefix, self.display)
            if self.monitors:
                self.env.update({XINERAMA_HEADS: xinerama_heads(self.monitors),
                                 "LD_PRELOAD": xinerama_preload()})
            subprocess.run(["wineserver", "-p"], env=self.env, timeout=DEFAULT_TIMEOUT,
                           check=True)
            if self.monitors:
                self._leave_virtual_desktop()
            # The first program opens the virtual desktop on this display.
            self.probe("windows")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for proc in self._processes:
            _kill_group(proc)
        self._processes = []
        if self.env is not None:
            self._stop_wineserver()
        if self._xvfb is not None:
            _kill_group(self._xvfb)
            self._xvfb = None
        if self.dir and not self.keep_dir:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False

    def _leave_virtual_desktop(self):
        """For several monitors: no virtual desktop and no XRandR, read by Wine's X11 driver
        when a session starts, so the session starts again."""
        self.reg_delete(r"HKCU\Software\Wine\Explorer", "Desktop")
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "UseXRandR", "N")
        self._stop_wineserver()
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=DEFAULT_TIMEOUT, check=True)

    def x_screen_size(self):
        """(width, height) of the X screen: the virtual desktop's, or the monitors' bounding
        box."""
        if not self.monitors:
            return (SCREEN_WIDTH, SCREEN_HEIGHT)
        left, top, right, bottom = virtual_screen(self.monitors)
        return (right - left, bottom - top)

    def to_x(self, x, y):
        """The screenshot pixel (X coordinates) of a Windows screen point."""
        if not self.monitors:
            return (x, y)
        left, top, _, _ = virtual_screen(self.monitors)
        return (x - left, y - top)

    def _stop_wineserver(self):
        env = _prefix_env(self.prefix, self.display)
        subprocess.run(["wineserver", "-k"], env=env, timeout=DEFAULT_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            subprocess.run(["wineserver", "-w"], env=env, timeout=DEFAULT_TIMEOUT)
        except subprocess.TimeoutExpired:
            subprocess.run(["wineserver", "-k9"], env=env, timeout=DEFAULT_TIMEOUT)

    # -- programs ---------------------------------------------------------------------

    @property
    def scr_name(self):
        """The file name of the .scr under test, as Wine's per-program settings name it."""
        return os.path.basename(self.scr)

    @property
    def system_dir(self):
        """The Unix path of the folder the program under test sees as its system folder: a
        32-bit program in a prefix that also runs 64-bit ones is given syswow64."""
        windows = os.path.join(self.prefix, "drive_c", "windows")
        wow = os.path.join(windows, "syswow64")
        if build_bits() == 32 and os.path.isdir(wow):
            return wow
        return os.path.join(windows, "system32")

    @property
    def appdata(self):
        """The Unix path of the folder APPDATA names for the prefix's user, where the saver
        keeps a user's own copy of the settings (in its "Quillet" folder)."""
        drive, _, rest = self.appdata_windows.partition(":")
        return os.path.realpath(os.path.join(self.prefix, "dosdevices", drive.lower() + ":",
                                             *rest.strip("\\").split("\\")))

    @property
    def appdata_windows(self):
        """APPDATA as the programs see it, e.g. C:\\users\\root\\AppData\\Roaming."""
        if self._appdata is None:
            result = subprocess.run(["wine", "cmd", "/c", "echo %APPDATA%"], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, timeout=DEFAULT_TIMEOUT,
                                    check=True)
            self._appdata = result.stdout.decode("latin-1").strip()
        return self._appdata

    def helper(self, name):
        """Full path of a Windows test helper, e.g. helper("parent_window.exe")."""
        return os.path.join(self.helpers, name)

    def _popen(self, argv, cwd=None, stdout=None, env=None):
        self._serial += 1
        log_path = os.path.join(self.dir, "wine-%d.err" % self._serial)
        log = open(log_path, "wb")
        proc = subprocess.Popen(["wine"] + argv, cwd=cwd or self.dir, env=env or self.env,
                                stdin=subprocess.DEVNULL, stdout=stdout or subprocess.DEVNULL,
                                stderr=log, start_new_session=True,
                                preexec_fn=_die_with_test)
        log.close()
        proc.stderr_path = log_path
        self._processes.append(proc)
        return proc

    def start_exact(self, text, cwd=None, debug=None):
        """Starts the command line `text` (str or bytes, passed byte for byte to
        CreateProcessA) and returns a WineProcess. debug: a WINEDEBUG value for this program
        (and the probe that starts it); their output is in proc.popen.stderr_path."""
        raw = text.encode("latin-1") if isinstance(text, str) else text
        self._serial += 1
        output_path = os.path.join(self.dir, "probe-%d.out" % self._serial)
        env = dict(self.env, WINEDEBUG=debug) if debug else None
        with open(output_path, "wb") as output:
            popen = self._popen([self.helper("win_probe.exe"), "run", raw.hex()], cwd, output,
                                env)
        return WineProcess(popen, output_path, raw)

    def start(self, exe, *args, cwd=None, debug=None):
        """Starts exe with args (Unix paths become Windows paths); returns a WineProcess."""
        return self.start_exact(command_line((exe,) + args), cwd, debug)

    def wait_exit(self, proc, timeout=DEFAULT_TIMEOUT):
        """Waits for proc to end and returns its signed 32-bit exit code."""
        try:
            proc.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("%r still running after %g s" % (proc.command_line, timeout))
        proc._collect()
        if proc.exit_code is None:
            raise RuntimeError("no exit code for %r: %s" % (proc.command_line,
                                                             proc.read_output()))
        return proc.exit_code

    def is_running(self, proc):
        return proc.popen.poll() is None

    def run(self, exe, *args, cwd=None, timeout=DEFAULT_TIMEOUT):
        """Runs exe to its end and returns the signed 32-bit exit code."""
        return self.wait_exit(self.start(exe, *args, cwd=cwd), timeout)

    def run_exact(self, text, cwd=None, timeout=DEFAULT_TIMEOUT):
        return self.wait_exit(self.start_exact(text, cwd), timeout)

    def run_plain(self, exe, *args, cwd=None, timeout=DEFAULT_TIMEOUT):
        """Runs `wine exe args` directly; the result is Wine's 8-bit exit status."""
        proc = self._popen([exe] + list(args), cwd)
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("%s still running after %g s" % (exe, timeout))

    def start_plain(self, exe, *args, cwd=None, debug=None):
        """Starts `wine exe args` directly and returns its Popen. The launcher becomes the
        Windows program itself, so popen.pid is the program's Linux process (for /proc) and
        popen.wait() returns when it ends; its stderr is in popen.stderr_path. debug: a
        WINEDEBUG value for this program only."""
        env = dict(self.env, WINEDEBUG=debug) if debug else None
        return self._popen([exe] + list(args), cwd, env=env)

    def run_helper(self, name, *args, timeout=DEFAULT_TIMEOUT):
        """Runs the helper program `name` with args in the context's folder and waits for it;
        returns the CompletedProcess, stdout captured."""
        argv = ["wine", self.helper(name)] + [str(a) for a in args]
        for _ in range(3):
            result = subprocess.run(argv, cwd=self.dir, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    timeout=timeout)
            # With the 32-bit Wine installed, a 64-bit helper is started through Wine's own
            # start.exe, which now and then fails to start it at all and says so; the helper
            # never ran, so it is started again.
            if LAUNCH_FAILED not in result.stdout:
                break
        return result

    def probe(self, *args):
        """Runs win_probe.exe with args; returns its stdout, or None if it answered 'no'."""
        result = self.run_helper("win_probe.exe", *args)
        if result.returncode != 0:
            return None
        return result.stdout.decode("latin-1")

    # -- windows and processes --------------------------------------------------------

    def windows(self):
        """Every top-level window: dicts with hwnd, visible, rect, cls, title."""
        found = []
        for line in (self.probe("windows") or "").splitlines():
            fields = line.split("\t")
            if len(fields) >= 8:
                found.append({"hwnd": int(fields[0]), "visible": fields[1] == "1",
                              "rect": tuple(int(v) for v in fields[2:6]),
                              "cls": fields[6], "title": fields[7]})
        return found

    def find_window(self, cls=None, title=None):
        """The top-level window with this class and/or title (FindWindowA), or None."""
        out = self.probe("find", cls or "*", title or "*")
        if not out:
            return None
        fields = out.rstrip("\r\n").split("\t")
        return {"hwnd": int(fields[0]), "visible": fields[1] == "1",
                "rect": tuple(int(v) for v in fields[2:6]), "cls": fields[6],
                "title": fields[7]}

    def monitors_seen(self):
        """What Windows programs are told: (virtual screen, monitors), rectangles (left, top,
        right, bottom), each monitor as (rectangle, is_primary) in the system's order."""
        virtual, monitors = None, []
        for line in (self.probe("monitors") or "").splitlines():
            fields = line.split("\t")
            rect = tuple(int(v) for v in fields[1:5])
            if fields[0] == "virtual":
                virtual = rect
            elif fields[0] == "monitor":
                monitors.append((rect, fields[5].strip() == "1"))
        return virtual, monitors

    def foreground_window(self):
        out = self.probe("foreground")
        return int(out.split("\t")[0]) if out else None

    def styles(self, hwnd):
        """(style, extended style) of a window, or None when it is gone."""
        out = self.probe("styles", str(hwnd))
        return tuple(int(v, 16) for v in out.split()) if out else None

    # -- messages to a window ---------------------------------------------------------

    def send(self, hwnd, message, wparam=0, lparam=0):
        """Sends a message to a window of any process and returns its window procedure's
        answer (signed), or None when the window is gone or does not answer. message: a
        number, or a name registered with RegisterWindowMessage ("QueryCancelAutoPlay").
        lparam: a number, "text:WORDS" (a pointer to that text) or "helpinfo" (a pointer to
        help information about the window)."""
        out = self.probe("send", str(hwnd), str(message), str(wparam), str(lparam))
        return int(out) if out else None

    def post_together(self, hwnd, *messages):
        """Posts (message, wparam, lparam) triples in order while the window's thread is
        held, so that it finds them all queued at once. True when every post was taken."""
        args = [str(v) for triple in messages for v in triple]
        return self.probe("post", str(hwnd), *args) is not None

    def shown_cursor(self):
        """The handle of the cursor on screen; 0 while it is hidden."""
        return int(self.probe("cursor"))

    def show_cursor_in(self, hwnd):
        """Gives the window's thread the arrow cursor, as a pointer over another program
        would show; returns the shown cursor's handle afterwards."""
        if self.probe("showcursor", str(hwnd)) is None:
            raise RuntimeError("could not give window %d a cursor" % hwnd)
        return self.shown_cursor()

    def x_windows(self, name):
        """X window ids whose name matches the regular expression (xdotool search). Under
        the virtual desktop Wine windows are drawn inside one X window, so prefer
        find_window for Windows-side questions."""
        result = subprocess.run(["xdotool", "search", "--name", name], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                timeout=DEFAULT_TIMEOUT)
        return [int(v) for v in result.stdout.split()]

    def processes(self):
        """Executable names of every Windows process in the prefix."""
        out = self.probe("processes") or ""
        return [line.split("\t")[1] for line in out.splitlines() if "\t" in line]

    def crash_evidence(self):
        """What a crash would leave behind: a debugger process or its dialog."""
        found = [p for p in self.processes() if p.lower() == "winedbg.exe"]
        found += [w["title"] for w in self.windows()
                  if w["visible"] and w["title"] in ("Program Error", "Wine Debugger")]
        return found

    # -- registry ---------------------------------------------------------------------

    def reg_add(self, key, name, value, kind="REG_SZ"):
        """Sets a registry value; undone when the next WineDesktop opens."""
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", str(value),
                        "/f"], env=self.env, check=True, timeout=DEFAULT_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def reg_query(self, key, name):
        """The value's data as `reg query` prints it, or None when it is not there."""
        result = subprocess.run(["wine", "reg", "query", key, "/v", name], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                timeout=DEFAULT_TIMEOUT)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split(None, 2)
            if len(fields) >= 2 and fields[0] == name and fields[1].startswith("REG_"):
                return fields[2] if len(fields) == 3 else ""
        return None

    def reg_delete(self, key, name):
        subprocess.run(["wine", "reg", "delete", key, "/v", name, "/f"], env=self.env,
                       timeout=DEFAULT_TIMEOUT, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def set_windows_version(self, exe_basename, version="win95"):
        """Makes Wine report `version` (win95, win98, winxp, win10, ...) to one program."""
        self.reg_add(r"HKCU\Software\Wine\AppDefaults\%s" % exe_basename, "Version", version)

    # -- screen and input -------------------------------------------------------------

    def screenshot(self):
        return grab_screen(self.display)

    def _xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       timeout=DEFAULT_TIMEOUT)

    def key(self, name):
        """Presses and releases a key by its X name: "a", "Return", "shift", "F1"."""
        self._xdotool("key", name)

    def mouse_move(self, x, y):
        self._xdotool("mousemove", x, y)

    def mouse_move_relative(self, dx, dy):
        self._xdotool("mousemove_relative", "--", dx, dy)

    def click(self, button=1):
        """Clicks a mouse button: 1 left, 2 middle, 3 right."""
        self._xdotool("click", button)

    # -- stand-ins --------------------------------------------------------------------

    def pattern_matches(self, image=None, step=37, tolerance=0):
        """True when the screen shows pattern_desktop's pattern at sample points, each colour
        within `tolerance` (a display of fewer bits per pixel rounds them)."""
        image = image or self.screenshot()
        x0, y0 = self.to_x(0, 0)  # where Windows puts 0,0
        return all(max(abs(a - b) for a, b in zip(image.pixel(x, y),
                                                  expected_pattern(x - x0, y - y0)))
                   <= tolerance
                   for y in range(3, image.height, step) for x in range(5, image.width, step))

    def pattern_desktop(self, timeout=DEFAULT_TIMEOUT):
        """Covers the screen with pattern_desktop.exe and waits until it is on screen."""
        proc = self.start(self.helper("pattern_desktop.exe"))
        wait_until(self.pattern_matches, timeout, 0.3, "the pattern desktop on screen")
        return proc

    def parent_window(self, width, height, run=None, at=(100, 100), close_after_ms=None,
                      debug=None):
        """Opens parent_window.exe with a client area of width x height at screen point
        `at`. run: a list of arguments (or one command-line string) whose "%HWND%" becomes
        the window's handle; the child starts once the window is shown. debug: a WINEDEBUG
        value for both, as for start()."""
        self._serial += 1
        report = os.path.join(self.dir, "parent-%d.txt" % self._serial)
        close_file = os.path.join(self.dir, "parent-%d.close" % self._serial)
        args = [str(width), str(height), "--at", str(at[0]), str(at[1]),
                "--report", windows_path(report), "--close-when", windows_path(close_file)]
        if close_after_ms is not None:
            args += ["--close-after", str(close_after_ms)]
        if run is not None:
            text = run if isinstance(run, str) else command_line(tuple(run))
            args += ["--run", text.encode("latin-1").hex()]
        proc = self.start(self.helper("parent_window.exe"), *args, debug=debug)
        return ParentWindow(self, proc, report, close_file)


class DesktopTestCase(unittest.TestCase):
    """Test classes whose tests share one WineDesktop (self.desk), opened before the first
    test and closed after the last. Override prepare_desktop() to set up the shared screen;
    should it fail, the desktop is closed all the same."""

    desk = None
    display_depth = 24  # bits per pixel of the shared desktop's display

    @classmethod
    def prepare_desktop(cls):
        pass

    @classmethod
    def setUpClass(cls):
        cls.desk = WineDesktop(depth=cls.display_depth).__enter__()
        try:
            cls.prepare_desktop()
        except BaseException:
            cls.desk.__exit__(None, None, None)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)

def start_xvfb(timeout=DEFAULT_TIMEOUT, size=(SCREEN_WIDTH, SCREEN_HEIGHT), depth=24):
    """Starts Xvfb with one screen of size (width, height) and `depth` bits per pixel on a free
    display; returns (Popen, ":N") once the display answers."""
    read_end, write_end = os.pipe()
    # -noreset: an X server resets when its last client leaves (Wine restarted, a grab's own
    # connection closed), and a connection that arrives meanwhile is dropped.
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx%d" % (size + (depth,)),
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True, preexec_fn=_die_with_test)
    os.close(write_end)
    try:
        number = b""
        deadline = time.monotonic() + timeout
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                raise RuntimeError("Xvfb did not report a display")
            number += chunk
        display = ":" + number.decode().strip()
        wait_until(lambda: subprocess.run(["xdpyinfo", "-display", display],
                                          stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL).returncode == 0,
                   timeout, 0.2, "Xvfb to answer")
        return proc, display
    except BaseException:
        _kill_group(proc)
        raise
    finally:
        os.close(read_end)


def _kill_group(proc):
    """Ends a process started in its own session, and everything it started there."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    try:
        proc.wait(DEFAULT_TIMEOUT)
    except subprocess.TimeoutExpired:
        pass


def _pristine_dir(prefix):
    return prefix.rstrip("/") + ".registry"


def _wow_kernel32(prefix):
    """The 32-bit system folder's kernel32.dll: without it no 32-bit program starts."""
    return os.path.join(prefix, "drive_c", "windows", "syswow64", "kernel32.dll")


def _restore_registry(prefix):
    pristine = _pristine_dir(prefix)
    for name in REGISTRY_FILES:
        shutil.copy2(os.path.join(pristine, name), os.path.join(prefix, name))


def _remove_user_settings(prefix):
    """Removes the user's own copy of the settings a scenario may have left in the prefix."""
    for folder in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                         "Quillet")):
        shutil.rmtree(folder)


def setup_prefix(prefix):
    """Creates the shared prefix: a virtual desktop named Default of 1024x768 and no crash
    debugger. Keeps a copy of its registry so every WineDesktop starts from it."""
    if os.path.exists(prefix):
        cleanup_prefix(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    shutil.rmtree(_pristine_dir(prefix), ignore_errors=True)
    os.makedirs(os.path.dirname(prefix.rstrip("/")), exist_ok=True)
    xvfb, display = start_xvfb()
    env = _prefix_env(prefix, display)
    try:
        subprocess.run(["wineboot", "-i"], env=env, timeout=SETUP_TIMEOUT, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        settings = [
            (r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
            (r"HKCU\Software\Wine\Explorer\Desktops", "Default",
             "%dx%d" % (SCREEN_WIDTH, SCREEN_HEIGHT)),
            # Without a debugger to start, UnhandledExceptionFilter lets the program's own
            # guard handle a fault instead of winedbg ending the process. Each width of
            # program reads its own view of the key; named explicitly, because with the
            # 32-bit Wine installed `wine reg` is itself a 32-bit program and would write
            # both into the 32-bit view.
            (AEDEBUG_KEY, "Debugger", "", "/reg:64"),
            (AEDEBUG_KEY, "Debugger", "", "/reg:32"),
            (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "0"),
        ]
        for key, name, value, *view in settings:
            kind = "REG_DWORD" if name == "ShowCrashDialog" else "REG_SZ"
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value,
                            "/f"] + view, env=env, timeout=SETUP_TIMEOUT, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, timeout=DEFAULT_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=SETUP_TIMEOUT)
        _kill_group(xvfb)
    # Without the 32-bit Wine the prefix has no 32-bit system folder and the product cannot
    # start: on a machine that runs 32-bit programs that is a set-up fault, not a skip.
    wow_kernel = _wow_kernel32(prefix)
    if kernel_runs_32bit() and not os.path.exists(wow_kernel):
        raise RuntimeError("the prefix has no 32-bit system folder (%s): install wine32 with "
                           "tools/install-deps.sh" % wow_kernel)
    os.makedirs(_pristine_dir(prefix))
    for name in REGISTRY_FILES:
        shutil.copy2(os.path.join(prefix, name), os.path.join(_pristine_dir(prefix), name))


def kept_prefix_is_stale(prefix, runs_32bit):
    """True when a prefix kept between runs must be made again: it was never finished (no
    copy of its registry), or it was made before the 32-bit Wine was installed, so its
    syswow64 is empty and wine starts nothing in it."""
    if not os.path.exists(os.path.join(_pristine_dir(prefix), "user.reg")):
        return True
    return runs_32bit and not os.path.exists(_wow_kernel32(prefix))


def cleanup_prefix(prefix):
    """Stops the prefix's wineserver, should a test have left one behind."""
    env = _prefix_env(prefix)
    subprocess.run(["wineserver", "-k"], env=env, timeout=DEFAULT_TIMEOUT,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=DEFAULT_TIMEOUT)


def main(argv):
    if len(argv) != 2 or argv[1] not in ("setup-prefix", "cleanup-prefix"):
        print("usage: quillet_wine.py setup-prefix|cleanup-prefix", file=sys.stderr)
        return 2
    prefix = _env_path("QUILLET_WINE_PREFIX")
    started = time.monotonic()
    (setup_prefix if argv[1] == "setup-prefix" else cleanup_prefix)(prefix)
    print("%s %s in %.1f s" % (argv[1], prefix, time.monotonic() - started))
    return 0


skip_unless_build_can_run()

if __name__ == "__main__":
    sys.exit(main(sys.argv))
