"""The saver writes nothing but its settings file: a full-screen run, a preview and a cancelled
dialog leave their working folder (and the Wine user's folders) exactly as they were; OK in
the dialog adds "quilet01.ini" and nothing else."""

import os
import time
import unittest

from quillet_wine import DesktopTestCase
from saver_watch import end_with_key, listing, wait_full_screen_window, wait_settings_dialog


class WritesOnlySettingsTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.work = os.path.join(cls.desk.dir, "work")
        os.mkdir(cls.work)
        with open(os.path.join(cls.work, "unrelated.txt"), "wb") as f:
            f.write(b"left alone\r\n")
        cls.users = os.path.join(cls.desk.prefix, "drive_c", "users")

    def start(self, *args):
        return self.desk.start(self.desk.scr, *args, cwd=self.work)

    def full_screen_run(self):
        proc = self.start("/s")
        wait_full_screen_window(self.desk, 60)
        time.sleep(1)
        self.assertEqual(end_with_key(self.desk, proc), 0)

    def preview_run(self):
        parent = self.desk.parent_window(200, 150)
        proc = self.start("/p", str(parent.hwnd))
        time.sleep(2)
        self.assertTrue(self.desk.is_running(proc))
        parent.close()
        self.assertEqual(self.desk.wait_exit(proc, 60), 0)

    def dialog_run(self, key):
        proc = self.start("/c")
        wait_settings_dialog(self.desk)
        self.desk.key(key)
        self.assertEqual(self.desk.wait_exit(proc, 60), 0)

    def test_runs_and_cancel_leave_every_folder_unchanged(self):
        runs = [("full screen", self.full_screen_run), ("preview", self.preview_run),
                ("dialog, Escape", lambda: self.dialog_run("Escape"))]
        for name, run in runs:
            with self.subTest(name):
                work, users = listing(self.work), listing(self.users)
                run()
                self.assertEqual(listing(self.work), work)
                self.assertEqual(listing(self.users), users)

    def test_ok_adds_only_the_settings_file(self):
        work, users = listing(self.work), listing(self.users)
        self.dialog_run("Return")
        after = listing(self.work)
        self.assertEqual(sorted(set(after) - set(work)), ["quilet01.ini"])
        del after["quilet01.ini"]
        self.assertEqual(after, work)
        self.assertEqual(listing(self.users), users)
        os.remove(os.path.join(self.work, "quilet01.ini"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
