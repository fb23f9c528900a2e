"""The settings dialog under Wine: what its boxes show, what OK, Enter, Cancel and Escape do
to the settings file, how the spin arrows step, and which window owns the dialog. The boxes
are read back through dialog_probe.exe, not only from the file."""

import contextlib
import os
import shutil
import subprocess
import unittest

from quillet_wine import DEFAULT_TIMEOUT, DesktopTestCase, wait_until
from saver_watch import wait_settings_dialog

SETTINGS = "quilet01.ini"
DELAY_BOX = 1000
COUNT_BOX = 1001
OK = 1
CANCEL = 2


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
    def open_dialog(self, *args):
        """Starts a settings run and waits until its dialog is visible with its boxes
        filled and takes the keys. A dialog that a failed check left open is cancelled on the
        way out, so the next case does not find it instead of its own."""
        proc = self.desk.start(self.desk.scr, *(args or ("/c",)))
        try:
            self.shown()
            wait_settings_dialog(self.desk)
            yield proc
        finally:
            if self.desk.is_running(proc):
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

    def test_a_read_only_file_keeps_its_content(self):
        content = settings_bytes(300, 5) + b"kept\r\n"
        self.write_settings(content)
        self.make_read_only()
        with self.open_dialog() as proc:
            self.probe("set", DELAY_BOX, "700")
            self.probe("press", OK)
            self.finish(proc)
        self.assertEqual(self.read_settings(), content)

    def make_read_only(self):
        """Removes the write permission; as root that is not enough, so the file is also
        made immutable. Skips the test when neither takes."""
        os.chmod(self.path, 0o444)
        if os.geteuid() == 0 and shutil.which("chattr"):
            if subprocess.run(["chattr", "+i", self.path]).returncode == 0:
                self.addCleanup(subprocess.run, ["chattr", "-i", self.path])
        try:
            with open(self.path, "ab"):
                pass
        except PermissionError:
            return
        self.skipTest("cannot make a file read-only here")

    def test_owner_is_the_named_window_or_else_the_foreground_window(self):
        parent = self.desk.parent_window(300, 200, at=(300, 200))
        self.addCleanup(parent.close)
        cases = [("/c:%d" % parent.hwnd, parent.hwnd),
                 ("/c", parent.hwnd),  # the parent is in the foreground
                 ("/c:99999", parent.hwnd)]  # no such window
        for args, owner in cases:
            with self.subTest(args):
                with self.open_dialog(args) as proc:
                    shown = self.shown()
                    self.assertEqual(int(shown["owner"]), owner)
                    self.assertEqual(int(shown["parent"]), owner)
                    self.probe("press", CANCEL)
                    self.finish(proc)


if __name__ == "__main__":
    unittest.main(verbosity=2)
