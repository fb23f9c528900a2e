"""Full-screen runs over settings files that no dialog would write: extreme and negative
numbers, a directory in the file's place, random bytes, an overlong line. Each run must come
up, stay up, show the flock only where the settings allow one, and end on a key with 0."""

import os
import random
import shutil
import time
import unittest

from quillet_wine import SETTINGS_FILE, DesktopTestCase, wait_until
from saver_watch import end_with_key, wait_full_screen_window

ALIVE_SECONDS = 2.5


def seeded_bytes(size, seed, without=b""):
    data = bytearray(random.Random(seed).randbytes(size))
    for byte in without:
        data = data.replace(bytes([byte]), b"A")
    return bytes(data)


# (name, file content or None for a directory, flock on screen: True, False or None = unsure)
# A huge Delay never lets the first step run, so the frozen desktop shows no bird at all.
CASES = [
    ("CharNumber 0", b"CharNumber = 0\r\n", False),
    ("CharNumber -5", b"CharNumber = -5\r\n", False),
    ("CharNumber 10000", b"CharNumber = 10000\r\nDelay = 50\r\n", True),
    ("CharNumber 2147483647", b"CharNumber = 2147483647\r\nDelay = 50\r\n", True),
    ("Delay 0", b"Delay = 0\r\n", True),
    ("Delay -1", b"Delay = -1\r\n", False),
    ("Delay 2147483647", b"Delay = 2147483647\r\n", False),
    ("1 MB of random bytes", seeded_bytes(1 << 20, 1), True),
    ("1 MB of random bytes, no end-of-file byte", seeded_bytes(1 << 20, 2, b"\x1a"), None),
    ("a line of 10 000 characters", b"Delay = " + b"7" * 9992 + b"\r\nCharNumber = 4\r\n", None),
    ("a 10 000-character line before the settings",
     b"x" * 10000 + b"\r\nDelay = 30\r\nCharNumber = 6\r\n", True),
    ("a directory", None, True),
]


class ExtremeSettingsTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.desk.pattern_desktop()

    def place_settings(self, content):
        path = os.path.join(self.desk.dir, SETTINGS_FILE)
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
        if content is None:
            os.mkdir(path)
        else:
            self.desk.write_settings(text=content)

    def flock_visible(self):
        # Any bird breaks the pattern somewhere on a fine grid of sample points.
        return not self.desk.pattern_matches(self.desk.screenshot(), step=9)

    def test_saver_survives_extreme_settings_and_ends_on_a_key(self):
        started = time.monotonic()
        for name, content, flock in CASES:
            with self.subTest(name):
                self.place_settings(content)
                proc = self.desk.start(self.desk.scr, "/s")
                wait_full_screen_window(self.desk, 60)
                if flock:
                    wait_until(self.flock_visible, 30, 0.3, "a bird on screen")
                time.sleep(ALIVE_SECONDS)
                self.assertTrue(self.desk.is_running(proc), "the saver ended by itself")
                if flock is False:
                    self.assertFalse(self.flock_visible(), "a bird where none may fly")
                self.assertEqual(end_with_key(self.desk, proc), 0)
                self.assertIsNone(self.desk.find_window("WindowsScreenSaverClass"))
                self.assertEqual(self.desk.crash_evidence(), [])
        print("\n%d settings files tried in %.0f s" % (len(CASES), time.monotonic() - started))


if __name__ == "__main__":
    unittest.main(verbosity=2)
