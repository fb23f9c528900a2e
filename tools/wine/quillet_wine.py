"""Runs Quillet and its Windows test helpers under Wine, on a private X display.

Every end-to-end test uses this module, and so do `make bench` and `make demo` (Python 3 with
Pillow, Debian's python3-pil; tools/wine on PYTHONPATH). It gathers the harness's rooms:
wine_prefix.py (the prefix, the wine server, the loaders, Xvfb), wine_images.py (grabs and
pictures), wine_programs.py (command lines, the settings file, the helpers' reports),
wine_desktop.py and wine_windows.py (the desktop, its programs and windows). The pieces:

    with WineDesktop() as desk:               # own Xvfb, Wine virtual desktop 1024x768,
                                              # fresh temporary working directory desk.dir
        desk.pattern_desktop()                # paint "the desktop" the saver will freeze
        desk.write_settings(delay=50, birds=5)  # quilet01.ini in desk.dir; text=b"..." as is
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
run_plain() is the plain `wine` call. A 64-bit program is started through Wine's 64-bit loader
(wine64) and everything else through `wine`: with the 32-bit Wine installed `wine` is the
32-bit loader, which hands a 64-bit program to Wine's start.exe, and that once failed to start
a helper and once left a dialog without the keyboard.

The Wine prefix is shared by all tests of a run (ctest creates it once through
`python3 quillet_wine.py setup-prefix`, see tests/e2e/CMakeLists.txt). Each WineDesktop
restores the prefix's registry to the state it had after set-up, so registry changes (reg_add,
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
SKIP_TEXT with the reason when its test case is set up (BuildTestCase, DesktopTestCase) and is
skipped; ctest reports it skipped. Importing this module does nothing else. Where the kernel
runs them, nothing is skipped: a 32-bit program that Wine cannot start fails its scenario.
"""

import sys
import time
import unittest

from wine_desktop import LAUNCH_FAILED, WineDesktop, virtual_screen, xinerama_heads  # noqa: F401
from wine_images import (Image, differing_pixels, differing_runs, expected_pattern,  # noqa: F401
                         grab_screen, pattern_picture)
from wine_prefix import (DEFAULT_TIMEOUT, SCREEN_HEIGHT, SCREEN_WIDTH, SKIP_TEXT,  # noqa: F401
                         build_bits, cleanup_prefix, env_path, kept_prefix_is_stale,
                         kernel_runs_32bit, setup_prefix, start_xvfb, stop_wineserver,
                         wait_until, why_build_cannot_run)
from wine_programs import (SETTINGS_FILE, ParentWindow, WineProcess, command_line,  # noqa: F401
                           window_rows, windows_path, write_settings)


class BuildTestCase(unittest.TestCase):
    """Test classes that run the build under test: on a machine that cannot run it, every
    test is skipped and SKIP_TEXT says why, for ctest to report the scenario skipped."""

    @classmethod
    def setUpClass(cls):
        reason = why_build_cannot_run()
        if reason:
            print("%s %s" % (SKIP_TEXT, reason), flush=True)
            raise unittest.SkipTest(reason)


class DesktopTestCase(BuildTestCase):
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
        super().setUpClass()
        cls.desk = WineDesktop(depth=cls.display_depth).__enter__()
        try:
            cls.prepare_desktop()
        except BaseException:
            cls.desk.__exit__(None, None, None)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.desk.__exit__(None, None, None)


def main(argv):
    if len(argv) != 2 or argv[1] not in ("setup-prefix", "cleanup-prefix"):
        print("usage: quillet_wine.py setup-prefix|cleanup-prefix", file=sys.stderr)
        return 2
    prefix = env_path("QUILLET_WINE_PREFIX")
    started = time.monotonic()
    (setup_prefix if argv[1] == "setup-prefix" else cleanup_prefix)(prefix)
    print("%s %s in %.1f s" % (argv[1], prefix, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
