"""Hostile command lines: very long texts, control bytes, bytes above 127, double-byte-looking
pairs, handles that overflow or belong to another process's window, quotes. Each ends with
the exit code the run-mode grammar gives, and none of them crashes the saver."""

import os
import time
import unittest

from quillet_wine import DesktopTestCase, windows_path
from saver_watch import end_with_key, wait_full_screen_window, wait_settings_dialog

LONG = 32000
WRAP = 1 << 32

# Argument texts after the quoted program name. %(P)d is a live window of another process,
# %(W)d the same window plus 2**32, which the handle reader wraps back onto it.
REFUSED = [
    ("32 000 copies of an unknown letter", b"/" + b"x" * LONG),
    ("32 000 separators, then an unknown letter", b"-/ " * (LONG // 3) + b"x"),
    ("preview of a 32 000-digit number", b"/p " + b"8" * LONG),
    ("control byte between separator and letter", b"/\x01s"),
    ("escape byte before the letter", b"/\x1bs"),
    ("backspace before the letter", b"-\x08s"),
    ("delete byte", b"/\x7f"),
    ("tab before the letter", b"/\ts"),
    ("byte 0xFF", b"/\xff"),
    ("byte 0x80", b"\x80"),
    ("no-break space before the letter", b"\xa0s"),
    ("double-byte-looking pair", b"/\x81\x40"),
    ("double-byte pair whose trail byte is a slash", b"\x81/s"),
    ("double-byte pair whose trail byte is an s", b"\x82s"),
    ("quoted mode", b'"/s"'),
    ("single-quoted mode", b"'s'"),
    ("quote between separator and letter", b'/"s'),
    ("format directives", b"%%n%%s%%x%%p"),
    ("preview of 2**32", b"/p 4294967296"),
    ("preview of 2**64", b"/p 18446744073709551616"),
    ("preview of 2**32 - 1", b"/p 4294967295"),
    ("preview of 0", b"/p 0"),
    ("preview of a negative handle", b"/p -%(P)d"),
    ("preview of a handle with a plus sign", b"/p +%(P)d"),
    ("preview of a hexadecimal handle", b"/p 0x%(P)x"),
    ("preview of a handle after a tab", b"/p\t%(P)d"),
    ("preview of a handle after a colon", b"/p:%(P)d"),
    ("preview with nothing", b"/l"),
    ("change password with a live window (NT family)", b"/a %(P)d"),
    ("change password with a wrapped handle (NT family)", b"-A %(W)d"),
    ("change password with nothing (NT family)", b"/a"),
]

# The settings dialog opens (and is closed with Escape); the exit code is 0.
DIALOG = [
    ("empty text", b""),
    ("32 000 separators", b"-" * LONG),
    ("parent handle 2**32", b"/c:4294967296"),
    ("negative parent handle", b"/c:-1"),
    ("parent of another process", b"/c:%(P)d"),
    ("wrapped parent handle", b"/C:%(W)d"),
    ("byte 0xFF after the colon", b"/c:\xff"),
]

# The full-screen run starts (and ends on a key with 0): only the letter counts.
FULL_SCREEN = [
    ("control bytes after the letter", b"/s\x01\x02\x7f"),
    ("an unclosed quote after the letter", b'/s "unclosed'),
    ("32 000 bytes above 127 after the letter", b"/S" + b"\xe9" * LONG),
]

# A preview runs inside the other process's window and ends with 0 when that window closes.
PREVIEW = [
    ("window of another process", b"/p %(P)d"),
    ("handle wrapped past 2**32", b"/p %(W)d"),
    ("leading zeros", b"/l 000%(P)d"),
    ("letters after the handle", b"/P %(P)dabc"),
]


def expand(args, window):
    return args % {b"P": window, b"W": window + WRAP}


class HostileCommandLinesTest(DesktopTestCase):
    tried = 0

    @classmethod
    def prepare_desktop(cls):
        cls.other = cls.desk.parent_window(160, 120, at=(600, 400))

    @classmethod
    def tearDownClass(cls):
        print("\nhostile command lines tried so far: %d" % cls.tried)
        super().tearDownClass()

    def tearDown(self):
        self.assertEqual(self.desk.crash_evidence(), [])

    def program(self):
        return b'"%s"' % windows_path(self.desk.scr).encode()

    def start(self, command_line):
        """Starts an exact command line; those too long for win_probe's hex form go through
        proc_probe.exe, which reads them from a file. Returns (process, started directly)."""
        if len(command_line) < 16000:
            type(self).tried += 1
            return self.desk.start_exact(command_line), True
        return self.launch_text(command_line), False

    def launch_text(self, command_line):
        """Starts the saver through proc_probe launch, which names the program apart from
        the command line and reads that line from a file."""
        type(self).tried += 1
        path = os.path.join(self.desk.dir, "command-%d.txt" % self.tried)
        with open(path, "wb") as f:
            f.write(command_line)
        return self.desk.start(self.desk.helper("proc_probe.exe"), "launch",
                               windows_path(self.desk.scr), windows_path(path))

    def exit_code(self, proc, through_launcher, timeout=60):
        code = self.desk.wait_exit(proc, timeout)
        if not through_launcher:
            return code
        # proc_probe printed the saver's code; its own is 0.
        self.assertEqual(code, 0)
        lines = [l for l in proc.read_output().splitlines() if l.startswith("exit ")]
        return int(lines[0][5:])

    def test_refused_texts_end_with_minus_one_and_no_window(self):
        for name, args in REFUSED:
            with self.subTest(name):
                proc, direct = self.start(self.program() + b" " + expand(args, self.other.hwnd))
                self.assertEqual(self.exit_code(proc, not direct), -1)
                if direct:
                    self.assertFalse([c for _, c in proc.windows
                                      if c == "WindowsScreenSaverClass"], proc.windows)

    def test_dialog_texts_open_the_dialog_and_escape_ends_with_zero(self):
        cases = [(name, self.program() + b" " + expand(args, self.other.hwnd))
                 for name, args in DIALOG]
        for name, command_line in cases:
            with self.subTest(name):
                proc, direct = self.start(command_line)
                self.close_dialog()
                self.assertEqual(self.exit_code(proc, not direct), 0)

    def test_unclosed_quote_in_the_program_name_opens_the_dialog(self):
        proc = self.launch_text(b'"' + windows_path(self.desk.scr).encode() + b" /s")
        self.close_dialog()
        self.assertEqual(self.exit_code(proc, True), 0)

    def test_blanks_after_an_unquoted_program_name_include_control_bytes(self):
        # The system would take the control bytes as part of the file name, so the program is
        # named apart from the command line.
        proc = self.launch_text(windows_path(self.desk.scr).encode() + b"\x01\x02\x1f/s")
        wait_full_screen_window(self.desk, 60)
        end_with_key(self.desk, proc)
        self.assertEqual(self.exit_code(proc, True), 0)

    def test_full_screen_texts_run_and_end_on_a_key(self):
        for name, args in FULL_SCREEN:
            with self.subTest(name):
                proc, direct = self.start(self.program() + b" " + args)
                wait_full_screen_window(self.desk, 60)
                time.sleep(1)
                code = end_with_key(self.desk, proc)
                self.assertEqual(code if direct else self.exit_code(proc, True), 0)

    def test_preview_texts_run_until_the_parent_closes(self):
        for name, args in PREVIEW:
            with self.subTest(name):
                parent = self.desk.parent_window(160, 120, at=(100, 100))
                proc, _ = self.start(self.program() + b" " + expand(args, parent.hwnd))
                time.sleep(2)
                self.assertTrue(self.desk.is_running(proc), "the preview did not start")
                parent.close()
                self.assertEqual(self.desk.wait_exit(proc, 60), 0)
                self.assertIn("WindowsScreenSaverClass", [c for _, c in proc.windows])

    def close_dialog(self):
        wait_settings_dialog(self.desk)
        self.desk.key("Escape")


if __name__ == "__main__":
    unittest.main(verbosity=2)
