"""The settings dialog under Wine: what its boxes show, what OK, Enter, Cancel and Escape do
to the settings file, what OK does when the file cannot be written (the user's own copy under
APPDATA, or a message where there is none), how the spin arrows step, and which window owns
the dialog. The boxes are read back through dialog_probe.exe, not only from the file."""

import contextlib
import os
import shutil
import subprocess
import time
import unittest

from quillet_wine import (DEFAULT_TIMEOUT, SETTINGS_FILE, DesktopTestCase, command_line,
                          wait_until, windows_path)
from saver_watch import (end_with_key, listing, start_traced, wait_full_screen_keyboard,
                         wait_settings_dialog, wait_steps)

DELAY_BOX = 1000
COUNT_BOX = 1001
OK = 1
CANCEL = 2
MESSAGE_CAPTION = "Quillet"  # the message box that says a save failed
USER_FOLDER = "Quillet"  # under APPDATA: the user's own copy of the settings
# Wine gives every program it starts from Linux the prefix's APPDATA; a program started by
# another inherits its environment, so this launcher runs the saver without one.
WITHOUT_APPDATA = "cmd /c set APPDATA=&& "


def settings_bytes(delay, count):
    return b"Delay = %d\r\nCharNumber = %d\r\n" % (delay, count)


def contents(path):
    """The file's bytes, or None where there is no file."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


class ConfigDialogTest(DesktopTestCase):

    def setUp(self):
        self.path = os.path.join(self.desk.dir, SETTINGS_FILE)
        if os.path.exists(self.path):
            os.remove(self.path)
        self.user_copy = os.path.join(self.desk.appdata, USER_FOLDER, SETTINGS_FILE)
        shutil.rmtree(os.path.dirname(self.user_copy), ignore_errors=True)

    # -- helpers ------------------------------------------------------------------------

    def run_probe(self, *args):
        return self.desk.run_helper("dialog_probe.exe", *args)

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
    def open_dialog(self, *args, cwd=None, scr=None, appdata=True):
        """Starts a settings run of scr (default the saver under test) in folder cwd (default
        the context's), without APPDATA if asked, and waits until its dialog is visible with
        its boxes filled and takes the keys. A dialog that a failed check left open is
        cancelled on the way out, so the next case does not find it instead of its own."""
        text = command_line((scr or self.desk.scr,) + (args or ("/c",)))
        proc = self.desk.start_exact(text if appdata else WITHOUT_APPDATA + text, cwd=cwd)
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
                        self.desk.write_settings(text=content)
                    with self.open_dialog() as proc:
                        self.probe("set", DELAY_BOX, "777")
                        close()
                        self.finish(proc)
                    if content is None:
                        self.assertFalse(os.path.exists(self.path))
                    else:
                        self.assertEqual(self.read_settings(), content)

    def test_file_values_are_shown_and_ok_rewrites_just_the_two_lines(self):
        self.desk.write_settings(
            text=b"CharNumber = 5\r\nsomething else\r\nDelay = 300\r\nmore\r\n")
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
        self.desk.write_settings(delay=60, birds=2)
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
        # A read-only file and a folder nobody may write (the system folder, for most users),
        # for a user without APPDATA; and a user whose own folder is closed as well.
        content = settings_bytes(300, 5) + b"kept\r\n"
        locked = os.path.join(self.desk.dir, "locked folder")
        user_folder = os.path.dirname(self.user_copy)
        user_name = "%s\\%s\\%s" % (self.desk.appdata_windows, USER_FOLDER, SETTINGS_FILE)
        cases = [  # (name, folder, earlier file, APPDATA, what the message names)
            ("read-only file", self.desk.dir, content, False, "shared"),
            ("locked folder", locked, None, False, "shared"),
            ("locked folder and user folder", locked, None, True, "user"),
        ]
        for name, folder, earlier, appdata, named in cases:
            with self.subTest(name):
                self.setUp()
                path = self.place_settings(folder, earlier)
                undo = self.make_unwritable(path if earlier is not None else folder)
                if named == "user":
                    os.makedirs(user_folder)
                    undo = self.make_unwritable(user_folder)
                with self.open_dialog(cwd=folder, appdata=appdata) as proc:
                    self.probe("set", DELAY_BOX, "700")
                    self.probe("press", OK)
                    text = self.failure_message()
                    self.assertIn(windows_path(path) if named == "shared" else user_name, text)
                    self.assertIn("denied", text.lower())  # the system's reason
                    self.desk.key("Return")
                    wait_until(lambda: not self.message_box(), 30,
                               what="the message box to close")
                    # Still open with what the user typed; both files are as they were.
                    self.assertEqual(self.shown()["delay"], "700")
                    self.assertTrue(self.desk.is_running(proc))
                    self.assertEqual(contents(path), earlier)
                    self.assertIsNone(contents(self.user_copy))
                    # Once the file named can be written, a second OK saves and closes.
                    undo()
                    self.probe("press", OK)
                    self.finish(proc)
                saved = self.user_copy if named == "user" else path
                self.assertEqual(contents(saved), settings_bytes(700, 5 if earlier else 3))

    def test_a_user_who_may_not_write_the_folder_keeps_a_copy_of_their_own(self):
        # The same closed places with APPDATA set, as every user profile has it: OK writes the
        # user's own copy instead and closes, and from then on that copy is the one used.
        content = settings_bytes(300, 5) + b"kept\r\n"
        locked = os.path.join(self.desk.dir, "locked folder")
        cases = [("read-only file", self.desk.dir, content), ("locked folder", locked, None)]
        for name, folder, earlier in cases:
            with self.subTest(name):
                self.setUp()
                path = self.place_settings(folder, earlier)
                undo = self.make_unwritable(path if earlier is not None else folder)
                before = listing(self.desk.appdata)
                with self.open_dialog(cwd=folder) as proc:
                    self.probe("set", DELAY_BOX, "100")
                    self.probe("set", COUNT_BOX, "0")
                    self.probe("press", OK)
                    wait_until(lambda: not self.desk.is_running(proc) or self.message_box(), 60,
                               what="the dialog to close")
                    self.assertIsNone(self.message_box(), "a message instead of the user's copy")
                    self.finish(proc)
                self.assertEqual(contents(self.user_copy), settings_bytes(100, 0))
                self.assertEqual(contents(path), earlier)
                added = set(listing(self.desk.appdata)) - set(before)
                self.assertEqual(added, {USER_FOLDER, os.path.join(USER_FOLDER, SETTINGS_FILE)})
                # No birds: the copy's CharNumber 0 wins over the shared file's 5 (or the
                # default 3).
                self.assertFalse(self.full_screen_draws(folder), "the user's copy was not read")
                if earlier is None:
                    continue
                # Once it exists the copy is the one shown and written, even where the shared
                # file could be; deleting it brings the shared settings back.
                undo()
                with self.open_dialog(cwd=folder) as proc:
                    self.assertEqual(self.shown()["delay"], "100")  # the spin shows 0 as 1
                    self.probe("set", COUNT_BOX, "7")
                    self.probe("press", OK)
                    self.finish(proc)
                self.assertEqual(contents(self.user_copy), settings_bytes(100, 7))
                self.assertEqual(contents(path), earlier)
                os.remove(self.user_copy)
                with self.open_dialog(cwd=folder) as proc:
                    shown = self.shown()
                    self.assertEqual((shown["delay"], shown["count"]), ("300", "5"))
                    self.probe("press", CANCEL)
                    self.finish(proc)

    def place_settings(self, folder, content):
        """Leaves folder with a settings file of content (None: none); returns its path."""
        os.makedirs(folder, exist_ok=True)
        return self.desk.write_settings(text=content, folder=folder)

    def full_screen_draws(self, folder):
        """Runs the saver full screen in folder for a few steps of its flock; whether it drew
        anything over the frozen desktop."""
        still = wait_until(self.still_screen, 60, 0.3, "a still desktop")
        proc = start_traced(self.desk, "/s", cwd=folder)
        try:
            wait_full_screen_keyboard(self.desk)
            wait_steps(proc, 5)
            drawn = self.desk.screenshot().rgb != still.rgb
        finally:
            code = end_with_key(self.desk, proc)
        self.assertEqual(code, 0)
        return drawn

    def still_screen(self):
        first = self.desk.screenshot()
        time.sleep(0.5)
        second = self.desk.screenshot()
        return second if second.rgb == first.rgb else None

    def message_box(self):
        return self.desk.find_window("#32770", MESSAGE_CAPTION)

    def failure_message(self):
        """The text of the message box that reports a failed save, once it is shown."""
        box = wait_until(self.message_box, 60, what="the message box of the failed save")
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
                self.desk.write_settings(delay=300, birds=5)
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
