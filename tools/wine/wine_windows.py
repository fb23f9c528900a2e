"""What a scenario asks of and does to the desktop's windows, through win_probe.exe, `wine reg`
and xdotool: the windows and processes there, messages to a window, the registry, the screen
and input, and the stand-in programs that paint a desktop or parent a preview. WineDesktop
(wine_desktop.py) is built on this."""

import os
import subprocess

from wine_images import expected_pattern, grab_screen
from wine_prefix import DEFAULT_TIMEOUT, wait_until
from wine_programs import ParentWindow, command_line, window_rows, windows_path


class DesktopWindows:
    """The window, registry and input methods of WineDesktop; they need its env, dir,
    display, probe(), start() and helper()."""

    # -- windows and processes --------------------------------------------------------

    def windows(self):
        """Every top-level window: dicts with hwnd, visible, rect, cls, title."""
        return window_rows(self.probe("windows"))

    def child_windows(self, hwnd):
        """Child windows of hwnd, as windows() gives them."""
        return window_rows(self.probe("children", str(hwnd)))

    def find_window(self, cls=None, title=None):
        """The top-level window with this class and/or title (FindWindowA), or None."""
        found = window_rows(self.probe("find", cls or "*", title or "*"))
        return found[0] if found else None
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
        """The handle of the cursor on screen; 0 while it is hidden. Wine now and then has no
        answer for a moment (seen right after a cursor was given to another program's thread),
        so the question is asked again for a while."""
        return int(wait_until(lambda: self.probe("cursor"), 10, 0.2, "the cursor on screen"))

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

