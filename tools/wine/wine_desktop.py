"""WineDesktop: a private X display with a Wine desktop on the shared prefix, and the programs
started on it. The questions a scenario asks the desktop's windows live in wine_windows.py."""

import os
import shutil
import subprocess
import sys
import tempfile

from wine_prefix import (DEFAULT_TIMEOUT, SCREEN_HEIGHT, SCREEN_WIDTH, build_bits, die_with_test,
                         env_path, kill_group, loader_for, prefix_env, remove_user_settings,
                         restore_registry, start_xvfb, stop_wineserver)
from wine_programs import WineProcess, command_line, write_settings
from wine_windows import DesktopWindows

XINERAMA_HEADS = "QUILLET_XINERAMA_HEADS"  # the monitors xinerama_standin.c reports
# What Wine's start.exe prints when it could not start a program.
LAUNCH_FAILED = b"Application could not be started"


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
    return os.path.join(env_path("QUILLET_XINERAMA_DIR"), "$LIB", "libXinerama.so.1")


class WineDesktop(DesktopWindows):
    """Context manager: a private Xvfb display, the shared prefix with its registry as set
    up and no user's copy of the settings, a Wine virtual desktop of 1024x768 on that display,
    and a fresh working directory (`dir`, the current directory of every program started).
    On exit every process it started is ended, whatever happened."""

    def __init__(self, prefix=None, keep_dir=False, display=None, monitors=None, depth=24):
        """display: an X display to show the virtual desktop on (a person's screen) instead
        of a private Xvfb. monitors: Windows rectangles (left, top, right, bottom) of several
        monitors, the primary first at 0,0, instead of the virtual desktop (see the module's
        notes). depth: bits per pixel of the private Xvfb."""
        self.prefix = prefix or env_path("QUILLET_WINE_PREFIX")
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
            self.restart_wineserver(first=True)
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
            kill_group(proc)
        self._processes = []
        if self.env is not None:
            stop_wineserver(self.env)
        if self._xvfb is not None:
            kill_group(self._xvfb)
            self._xvfb = None
        if self.dir and not self.keep_dir:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False

    def restart_wineserver(self, first=False):
        """Stops the prefix's wine server and starts a persistent one. The first time, the
        registry and the user's settings go back to the prefix's set-up first, and the
        display and working directory are made."""
        stop_wineserver(prefix_env(self.prefix, self.display))
        if first:
            restore_registry(self.prefix)
            remove_user_settings(self.prefix)
            if self.display is None:
                self._xvfb, self.display = start_xvfb(size=self.x_screen_size(),
                                                      depth=self.depth)
            self.dir = tempfile.mkdtemp(prefix="quillet-e2e-")
            self.env = prefix_env(self.prefix, self.display)
            if self.monitors:
                self.env.update({XINERAMA_HEADS: xinerama_heads(self.monitors),
                                 "LD_PRELOAD": xinerama_preload()})
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=DEFAULT_TIMEOUT, check=True)

    def _leave_virtual_desktop(self):
        """For several monitors: no virtual desktop and no XRandR, read by Wine's X11 driver
        when a session starts, so the session starts again."""
        self.reg_delete(r"HKCU\Software\Wine\Explorer", "Desktop")
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "UseXRandR", "N")
        self.restart_wineserver()

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

    # -- files the programs see -------------------------------------------------------

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

    def write_settings(self, delay=None, birds=None, text=None, folder=None):
        """The settings file in the working directory (or `folder`); see
        wine_programs.write_settings."""
        return write_settings(folder or self.dir, delay=delay, birds=birds, text=text)

    def helper(self, name):
        """Full path of a Windows test helper, e.g. helper("parent_window.exe")."""
        return os.path.join(self.helpers, name)

    # -- programs ---------------------------------------------------------------------

    def _popen(self, argv, cwd=None, stdout=None, env=None):
        """Starts argv[0] with the Wine loader of its width; its stderr goes to a file of the
        working directory, popen.stderr_path."""
        self._serial += 1
        log_path = os.path.join(self.dir, "wine-%d.err" % self._serial)
        with open(log_path, "wb") as log:
            proc = subprocess.Popen([loader_for(argv[0])] + argv, cwd=cwd or self.dir,
                                    env=env or self.env, stdin=subprocess.DEVNULL,
                                    stdout=stdout or subprocess.DEVNULL, stderr=log,
                                    start_new_session=True, preexec_fn=die_with_test)
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
        proc = WineProcess(popen, output_path, raw)
        proc.relaunch = lambda: self.start_exact(raw, cwd, debug)
        return proc

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
        if (proc.exit_code is None and proc.relaunch and proc.popen.returncode > 0
                and not proc.read_output()):
            # The launcher ended before win_probe.exe said a word, so the program never started
            # (seen once on a loaded machine: status 1, nothing printed). Once more, and say so.
            print("%r: the launcher ended with status %d before starting it (%r); once more"
                  % (proc.command_line, proc.popen.returncode, proc.launch_errors()),
                  file=sys.stderr, flush=True)
            again = proc.relaunch()
            proc.popen, proc.output_path, proc.relaunch = again.popen, again.output_path, None
            return self.wait_exit(proc, timeout)
        if proc.exit_code is None:
            raise RuntimeError("no exit code for %r (launcher status %d): %s %s"
                               % (proc.command_line, proc.popen.returncode, proc.read_output(),
                                  proc.launch_errors()))
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
        returns the CompletedProcess, stdout and stderr captured. A helper answers 0 or 1;
        anything else, or Wine's word that it could not start it, is printed with what the
        launch printed, so that the failure it leads to says what happened."""
        program = self.helper(name)
        argv = [loader_for(program), program] + [str(a) for a in args]
        # Into a file, not a pipe: the first program of a session starts the desktop's own
        # processes, which inherit the stream and hold a pipe open long after the helper ends.
        self._serial += 1
        log_path = os.path.join(self.dir, "helper-%d.err" % self._serial)
        with open(log_path, "w+b") as log:
            result = subprocess.run(argv, cwd=self.dir, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=log, timeout=timeout)
            log.seek(0)
            result.stderr = log.read()
        os.remove(log_path)
        if result.returncode not in (0, 1) or LAUNCH_FAILED in result.stdout:
            print("%s %s: status %d; it printed %r and Wine %r"
                  % (argv[0], " ".join(argv[1:]), result.returncode, result.stdout[-2000:],
                     result.stderr[-2000:]), file=sys.stderr, flush=True)
        return result

    def probe(self, *args):
        """Runs win_probe.exe with args; returns its stdout, or None if it answered 'no'."""
        result = self.run_helper("win_probe.exe", *args)
        if result.returncode != 0:
            return None
        return result.stdout.decode("latin-1")
