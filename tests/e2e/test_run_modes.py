"""The host's run modes under Wine, seen from outside: which command lines are refused (exit
code -1, no window), the preview's refusal of a dead parent, and the full-screen run."""

import time
import unittest

from quillet_wine import DesktopTestCase, windows_path
from saver_watch import SAVER_CLASS

# Argument texts as they follow the program name; %d becomes a live top-level window.
REFUSED = [
    ("unknown letter", b"/x"),
    ("question mark", b"/?"),
    ("digit", b"/1"),
    ("preview without handle", b"/p"),
    ("preview of handle 0", b"/p 0"),
    ("preview of a word", b"/p abc"),
    ("preview with a colon", b"/p:%d"),
    ("tab between separator and letter", b"/\ts"),
    ("tab before the letter", b"- \t-s"),
    ("accented letter", b"/\xe9"),
    ("byte 0x80 first", b"\x80s"),
    ("change password on NT", b"/a 1"),
    ("change password on NT with a live parent", b"/a %d"),
]

# Spellings of the full-screen run; the blanks after the program name may include a tab.
FULL_SCREEN = [b"/s", b"S xyz", b"-sx", b"\t/s"]


class RunModesTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.live = cls.desk.parent_window(160, 120).hwnd

    def command(self, args):
        return b'"%s" ' % windows_path(self.desk.scr).encode() + args

    def test_refused_modes_end_with_minus_one_and_no_window(self):
        for name, args in REFUSED:
            with self.subTest(name):
                text = self.command(args.replace(b"%d", b"%d" % self.live))
                proc = self.desk.start_exact(text)
                self.assertEqual(self.desk.wait_exit(proc, 60), -1)
                self.assertEqual(proc.windows, [])

    def test_plain_wine_sees_only_the_low_byte_of_minus_one(self):
        self.assertEqual(self.desk.run_plain(self.desk.scr, "/x"), 255)

    def test_window_check_sees_a_program_that_opens_a_window(self):
        # The "no window" assertions above are only worth something if this one holds.
        proc = self.desk.start(self.desk.helper("parent_window.exe"), "40", "30",
                               "--close-after", "200")
        self.assertEqual(self.desk.wait_exit(proc, 60), 0)
        self.assertIn("QuilletTestParent", [cls for _, cls in proc.windows])

    def test_preview_of_a_dead_window_is_refused(self):
        parent = self.desk.parent_window(160, 120, at=(400, 300))
        parent.close()
        self.assertEqual(self.desk.wait_exit(parent.process, 60), 0)
        proc = self.desk.start_exact(self.command(b"/p %d" % parent.hwnd))
        self.assertEqual(self.desk.wait_exit(proc, 60), -1)
        self.assertEqual(proc.windows, [])

    def test_full_screen_spellings_end_with_zero(self):
        for args in FULL_SCREEN:
            with self.subTest(args.decode("latin-1")):
                proc = self.desk.start_exact(self.command(args))
                self.assertEqual(self.end_full_screen_run(proc), 0)
                # Ending with 0 alone would also pass a run that never opened its window.
                self.assertIn(SAVER_CLASS, [cls for _, cls in proc.windows])

    def end_full_screen_run(self, proc, timeout=90):
        """Waits for the run to end, pressing a key now and then: a run whose saver window
        is up closes on a key, one that returns at once needs none."""
        deadline = time.monotonic() + timeout
        pressed_at = time.monotonic()
        while self.desk.is_running(proc) and time.monotonic() < deadline:
            time.sleep(0.1)
            if time.monotonic() - pressed_at > 1 and self.desk.is_running(proc):
                self.desk.key("space")
                pressed_at = time.monotonic()
        return self.desk.wait_exit(proc, 5)


if __name__ == "__main__":
    unittest.main(verbosity=2)
