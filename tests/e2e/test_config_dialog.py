"""The settings dialog under Wine: what its boxes show, what OK, Enter, Cancel and Escape do
to the settings file, what OK does when the file cannot be written, how the spin arrows step,
and which window owns the dialog. The boxes are read back through dialog_probe.exe, not only
from the file."""

import contextlib
import os
import shutil
import subprocess
import unittest

from quillet_wine import DEFAULT_TIMEOUT, DesktopTestCase, wait_until, windows_path
from saver_watch import wait_settings_dialog

SETTINGS = "quilet01.ini"
DELAY_BOX = 1000
COUNT_BOX = 1001
OK = 1
CANCEL = 2
MESSAGE_CAPTION = "Quillet"  # the message box that says a save failed


def settings_bytes(delay, count):
    return b"Delay = %d\r\nCharNumber = %d\r\n" % (delay, count)


class ConfigDialogTest(DesktopTestCase):

    def setUp(self):
        self.path = os.path.join(self.desk.dir, SETTINGS)
        if os.path.exists(self.path):
            os.remove(self.path)

    # -- helpers ------------------------------------------------------------------------

    def run_probe(self, *args):
        return subprocess.run(
            ["wine", self.desk.helper("dialog_probe.exe")] + [str(a) for a in args],
            cwd=self.desk.dir, env=self.desk.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=DEFAULT_TIMEOUT)

    def probe(self, *args):
        """Runs dialog_probe.exe; returns its output, failing the test if it found nothing."""
        result = self.run_probe(*args)
        output = result.stdout.decode("latin-1")
        self.assertEqual(result.returncode, 0, "dialog_probe %s: %s" % (args, output))
        return output

    def shown(self):
        """What the open dialog shows: delay, count, owner, parent, spins (as text)."""
        return dict(line.split("=", 1) for line in self.probe("show").splitlines())

    @contextlib.contextmanager
    def open_dialog(self, *args, cwd=None, scr=None):
        """Starts a settings run of scr (default the saver under test) in folder cwd (default
        the context's) and waits until its dialog is visible with its boxes filled and takes
        the keys. A dialog that a failed check left open is cancelled on the way out, so the
        next case does not find it instead of its own."""
        proc = self.desk.start(scr or self.desk.scr, *(args or ("/c",)), cwd=cwd)
        try:
            self.shown()
            wait_settings_dialog(self.desk)
            yield proc
        finally:
            if self.desk.is_running(proc):
                if self.desk.find_window("#32770", MESSAGE_CAPTION):
                    self.desk.key("Return")
                self.run_probe("press", CANCEL)
                with contextlib.suppress(TimeoutError):
                    self.desk.wait_exit(proc, 30)

    def finish(self, proc):
        self.assertEqual(self.desk.wait_exit(proc, 60), 0)

    def write_settings(self, data):
        with open(self.path, "wb") as f:
            f.write(data)

    def read_settings(self):
        with open(self.path, "rb") as f:
            return f.read()

    # -- scenarios ----------------------------------------------------------------------

    def test_without_a_file_shows_defaults_and_enter_writes_them(self):
        with self.open_dialog() as proc:
            shown = self.shown()
            self.assertEqual((shown["delay"], shown["count"], shown["spins"]), ("200", "3", "2"))
            self.desk.key("Return")  # OK is the default button and has the focus
            self.finish(proc)
        self.assertEqual(self.read_settings(), b"Delay = 200\r\nCharNumber = 3\r\n")

    def test_cancel_and_escape_write_nothing(self):
        earlier = b"CharNumber = 4\r\nDelay = 150\r\nextra line\r\n"
        ways = [("Escape key", lambda: self.desk.key("Escape")),
                ("Cancel button", lambda: self.probe("press", CANCEL))]
        for name, close in ways:
            for content in (None, earlier):
                with self.subTest(name, file=content is not None):
                    self.setUp()
                    if content is not None:
                        self.write_settings(content)
                    with self.open_dialog() as proc:
                        self.probe("set", DELAY_BOX, "777")
                        close()
                        self.finish(proc)
                    if content is None:
                        self.assertFalse(os.path.exists(self.path))
                    else:
                        self.assertEqual(self.read_settings(), content)

    def test_file_values_are_shown_and_ok_rewrites_just_the_two_lines(self):
        self.write_settings(b"CharNumber = 5\r\nsomething else\r\nDelay = 300\r\nmore\r\n")
        with self.open_dialog() as proc:
            shown = self.shown()
            self.assertEqual((shown["delay"], shown["count"]), ("300", "5"))
            self.probe("press", OK)
            self.finish(proc)
        self.assertEqual(self.read_settings(), settings_bytes(300, 5))

    def test_typed_values_are_saved_as_typed(self):
        # Neither box is limited: values the arrows would never produce are kept, and text
        # without a number reads as 0.
        cases = [("20", "25", 20, 25), ("abc", "0", 0, 0), ("", "-7", 0, -7),
                 ("1000", "10", 1000, 10)]
        for delay_text, count_text, delay, count in cases:
            with self.subTest(delay=delay_text, count=count_text):
                with self.open_dialog() as proc:
                    self.probe("set", DELAY_BOX, delay_text)
                    self.probe("set", COUNT_BOX, count_text)
                    self.probe("press", OK)
                    self.finish(proc)
                self.assertEqual(self.read_settings(), settings_bytes(delay, count))

    def test_enter_in_an_edit_box_saves_what_was_typed_there(self):
        with self.open_dialog() as proc:
            left, top, right, bottom = (int(v) for v in self.probe("rect", DELAY_BOX).split())
            self.desk.mouse_move((left + right) // 2, (top + bottom) // 2)
            self.desk.click(1)
            self.desk.key("End")
            for _ in range(6):
                self.desk.key("BackSpace")
            self.desk.key("2")
            self.desk.key("0")
            # Wine takes the X key events in its own time.
            wait_until(lambda: self.shown()["delay"] == "20", 30, 0.2, "the typed delay")
            self.desk.key("Return")
            self.finish(proc)
        self.assertEqual(self.read_settings(), settings_bytes(20, 3))

    def test_arrows_step_by_one_and_stop_at_the_limits(self):
        self.write_settings(settings_bytes(60, 2))
        steps = [  # (box, direction, clicks, text afterwards)
            (DELAY_BOX, "down", 20, "50"),
            (DELAY_BOX, "up", 3, "53"),
            (DELAY_BOX, "up", 960, "1000"),  # no wrap to 50, and no digit grouping
            (COUNT_BOX, "up", 20, "10"),
            (COUNT_BOX, "down", 20, "1"),
            (COUNT_BOX, "up", 1, "2"),
        ]
        with self.open_dialog() as proc:
            for box, direction, clicks, text in steps:
                output = self.probe("spin", box, direction, clicks)
                self.assertEqual(output.strip(), "text=" + text, (box, direction, clicks))
            self.probe("press", OK)
            self.finish(proc)
        # A stepped 1000 shown as "1,000" would read back as 1 or 0.
        self.assertEqual(self.read_settings(), settings_bytes(1000, 2))

    def test_a_save_that_fails_says_why_and_keeps_the_dialog_open(self):
        # A read-only file, and a folder nobody may write (the system folder, for most users).
        content = settings_bytes(300, 5) + b"kept\r\n"
        locked = os.path.join(self.desk.dir, "locked folder")
        cases = [("read-only file", self.desk.dir, content), ("locked folder", locked, None)]
        for name, folder, earlier in cases:
            with self.subTest(name):
                os.makedirs(folder, exist_ok=True)
                path = os.path.join(folder, SETTINGS)
                if earlier is not None:
                    self.write_settings(earlier)
                undo = self.make_unwritable(path if earlier is not None else folder)
                with self.open_dialog(cwd=folder) as proc:
                    self.probe("set", DELAY_BOX, "700")
                    self.probe("press", OK)
                    text = self.failure_message()
                    self.assertIn(windows_path(path), text)
                    self.assertIn("denied", text.lower())  # the system's reason
                    self.desk.key("Return")
                    wait_until(lambda: not self.desk.find_window("#32770", MESSAGE_CAPTION),
                               30, what="the message box to close")
                    # Still open with what the user typed; the file is as it was.
                    self.assertEqual(self.shown()["delay"], "700")
                    self.assertTrue(self.desk.is_running(proc))
                    self.assertEqual(os.path.exists(path), earlier is not None)
                    if earlier is not None:
                        self.assertEqual(self.read_settings(), earlier)
                    # Once the file can be written, a second OK saves and closes.
                    undo()
                    self.probe("press", OK)
                    self.finish(proc)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), settings_bytes(700, 5 if earlier else 3))

    def failure_message(self):
        """The text of the message box that reports a failed save, once it is shown."""
        box = wait_until(lambda: self.desk.find_window("#32770", MESSAGE_CAPTION), 60,
                         what="the message box of the failed save")
        return self.desk.probe("children", str(box["hwnd"])) or ""

    def make_unwritable(self, path):
        """Gives a file the Windows read-only attribute, or takes the write permission from a
        folder. Root writes through both, so as root the file or folder is also made
        immutable. Returns what undoes it; skips the test when nothing binds."""
        if os.path.isdir(path):
            os.chmod(path, 0o555)
        else:
            subprocess.run(["wine", "attrib", "+r", windows_path(path)], env=self.desk.env,
                           timeout=DEFAULT_TIMEOUT, check=True, stdout=subprocess.DEVNULL)
        immutable = (os.geteuid() == 0 and shutil.which("chattr") is not None and
                     subprocess.run(["chattr", "+i", path]).returncode == 0)

        def undo():
            if immutable:
                subprocess.run(["chattr", "-i", path], check=True)
            os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)
        self.addCleanup(lambda: os.path.exists(path) and undo())
        # Whether it binds: appending to the file, or making a file in the folder.
        target = os.path.join(path, "probe") if os.path.isdir(path) else path
        try:
            with open(target, "ab"):
                pass
        except PermissionError:
            return undo
        if target != path:
            os.remove(target)
        self.skipTest("cannot make %s unwritable here" % path)

    def test_common_controls_come_from_the_system_folder_or_not_at_all(self):
        # A downloaded saver opened where it was saved, beside a planted comctl32.dll (a
        # stand-in that logs its loading) that Wine is told to prefer to its own.
        folder = os.path.join(self.desk.dir, "downloads")
        os.makedirs(folder, exist_ok=True)
        scr = os.path.join(folder, os.path.basename(self.desk.scr))
        shutil.copyfile(self.desk.scr, scr)
        shutil.copyfile(self.desk.helper("password_no_entry.dll"),
                        os.path.join(folder, "comctl32.dll"))
        log = os.path.join(self.desk.dir, "standin.log")
        self.desk.env["QUILLET_STANDIN_DIR"] = windows_path(self.desk.dir)
        self.addCleanup(self.desk.env.pop, "QUILLET_STANDIN_DIR")
        overrides = (r"HKCU\Software\Wine\AppDefaults\%s\DllOverrides"
                     % os.path.basename(self.desk.scr))
        self.addCleanup(self.desk.reg_delete, overrides, "comctl32")
        # Preferred to Wine's own, and then missing altogether: the dialog works without its
        # spin controls and shows the file's values all the same.
        cases = [("native,builtin", "2"), ("", "0")]
        for order, spins in cases:
            with self.subTest(order=order):
                self.setUp()
                if os.path.exists(log):
                    os.remove(log)
                self.write_settings(settings_bytes(300, 5))
                self.desk.reg_add(overrides, "comctl32", order)
                with self.open_dialog(scr=scr) as proc:
                    shown = self.shown()
                    self.assertEqual((shown["delay"], shown["count"], shown["spins"]),
                                     ("300", "5", spins))
                    self.probe("set", COUNT_BOX, "7")
                    self.probe("press", OK)
                    self.finish(proc)
                self.assertEqual(self.read_settings(), settings_bytes(300, 7))
                self.assertFalse(os.path.exists(log), "the planted library was loaded")

    def test_owner_is_the_named_window_or_else_the_foreground_window(self):
        named = self.desk.parent_window(300, 200, at=(100, 150))
        self.addCleanup(named.close)
        # Opened later, this one takes the foreground: the named window is then not the one
        # the fallback would pick, so the two answers differ. A dialog's owner comes to the
        # front when the dialog closes, so the named case comes last.
        front = self.desk.parent_window(300, 200, at=(500, 150))
        self.addCleanup(front.close)
        cases = [("/c", None),  # None: the foreground window
                 ("/c:99999", None),  # no such window
                 ("/c:%d" % named.hwnd, named.hwnd)]
        for args, owner in cases:
            with self.subTest(args):
                foreground = self.desk.foreground_window()
                self.assertNotEqual(foreground, named.hwnd)
                with self.open_dialog(args) as proc:
                    shown = self.shown()
                    self.assertEqual(int(shown["owner"]), owner or foreground)
                    self.assertEqual(int(shown["parent"]), owner or foreground)
                    self.probe("press", CANCEL)
                    self.finish(proc)

if __name__ == "__main__":
    unittest.main(verbosity=2)
