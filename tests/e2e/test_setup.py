"""The setup program under Wine, in a fresh 64-bit prefix of its own: with another saver
selected, a silent install puts the build that suits the machine into the system folder as
quillet.scr, selects it and turns screen saving on; the installed saver runs and ends on a key;
a silent uninstall takes the saver, its settings files and its entry away and puts the previous
saver back. It runs the shipped 32-bit setup where this machine runs 32-bit programs, else the
setup's 64-bit test build, so it never skips."""

import glob
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from quillet_wine import DEFAULT_TIMEOUT, WineDesktop, setup_prefix, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
PROBE_32BIT = os.path.join(HERE, os.pardir, os.pardir, "tools", "runs-32bit.sh")
DESKTOP = r"HKCU\Control Panel\Desktop"
OWN_KEY = r"HKCU\Software\Quillet"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"
PREVIOUS = r"C:\windows\system32\previous.scr"


def setup_under_test():
    """The setup this machine can run, and the .scr it must install in a 64-bit prefix."""
    dist = os.environ["QUILLET_DIST_DIR"]
    if subprocess.run([PROBE_32BIT]).returncode == 0:
        found = glob.glob(os.path.join(dist, "quillet-*-setup.exe"))
    else:
        found = glob.glob(os.path.join(os.environ["QUILLET_SETUP_AMD64_DIR"],
                                       "quillet-*-setup-amd64.exe"))
    if len(found) != 1:
        raise AssertionError("expected one setup program, found %r: run make dist" % found)
    return found[0], os.path.join(dist, "quillet64.scr")


class SetupTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="quillet-setup-")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)
        prefix = os.path.join(self.scratch, "prefix")
        setup_prefix(prefix)
        self.desk = WineDesktop(prefix=prefix).__enter__()
        self.addCleanup(self.desk.__exit__, None, None, None)
        self.system = os.path.join(prefix, "drive_c", "windows", "system32")

    def query(self, key, name):
        """A value in the 64-bit view of the registry (the setup writes its entry there), or
        None."""
        result = subprocess.run(["wine", "reg", "query", key, "/v", name, "/reg:64"],
                                env=self.desk.env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=DEFAULT_TIMEOUT)
        for line in result.stdout.decode("latin-1").splitlines():
            fields = line.split(None, 2)
            if result.returncode == 0 and fields[:1] == [name]:
                return fields[2] if len(fields) == 3 else ""
        return None

    def run_installed_saver(self, path):
        proc = self.desk.start(path, "/s")

        def has_keyboard():
            window = self.desk.find_window(cls="WindowsScreenSaverClass", title="Screen Saver")
            return window and window["visible"] and \
                self.desk.foreground_window() == window["hwnd"]
        wait_until(has_keyboard, 60, 0.2, "the installed saver's window to have the keyboard")
        deadline = time.monotonic() + 60
        while self.desk.is_running(proc) and time.monotonic() < deadline:
            self.desk.key("space")  # again, should a busy saver miss one
            time.sleep(2)
        return self.desk.wait_exit(proc, 10)

    def test_install_run_and_uninstall(self):
        setup, expected_scr = setup_under_test()
        self.desk.reg_add(DESKTOP, "SCRNSAVE.EXE", PREVIOUS)
        self.desk.reg_add(DESKTOP, "ScreenSaveActive", "0")

        self.assertEqual(self.desk.run_plain(setup, "/S", timeout=120), 0)
        installed = os.path.join(self.system, "quillet.scr")
        with open(installed, "rb") as got, open(expected_scr, "rb") as built:
            self.assertTrue(got.read() == built.read(), "system32 holds another build")
        self.assertEqual(self.query(DESKTOP, "SCRNSAVE.EXE").lower(),
                         r"c:\windows\system32\quillet.scr")
        self.assertEqual(self.query(DESKTOP, "ScreenSaveActive"), "1")
        self.assertEqual(self.query(OWN_KEY, "PreviousSaver"), PREVIOUS)
        self.assertEqual(self.query(UNINSTALL, "DisplayName"), "Quillet Screen Saver")
        self.assertEqual(self.run_installed_saver(installed), 0)

        # The settings files the saver makes: the shared one and the user's own copy.
        shared = os.path.join(self.system, "quilet01.ini")
        own = os.path.join(self.desk.appdata, "Quillet", "quilet01.ini")
        os.makedirs(os.path.dirname(own))
        for path in (shared, own):
            with open(path, "w") as f:
                f.write("[Screen Saver.Quillet]\r\nDelay=50\r\n")

        # In place, as administrators run it: "_?=" comes last and unquoted, which only an
        # exact command line gives. Under Wine it returns before it has finished: poll.
        folder = self.query(UNINSTALL, "InstallLocation")
        self.desk.run_exact('"%s\\uninstall.exe" /S _?=%s' % (folder, folder), timeout=120)
        left = {
            "the saver": lambda: os.path.exists(installed),
            "the shared settings": lambda: os.path.exists(shared),
            "the user's Quillet folder": lambda: os.path.exists(os.path.dirname(own)),
            "the entry in the installed programs": lambda: self.query(UNINSTALL, "DisplayName"),
            "Quillet as the saver": lambda: self.query(DESKTOP, "SCRNSAVE.EXE") != PREVIOUS,
            "screen saving on": lambda: self.query(DESKTOP, "ScreenSaveActive") != "0",
            "the remembered saver": lambda: self.query(OWN_KEY, "PreviousSaver") is not None,
        }
        try:
            wait_until(lambda: not any(still() for still in left.values()), 60, 0.5,
                       "the uninstaller to finish")
        except TimeoutError:
            self.fail("after the uninstaller: " + ", ".join(
                what for what, still in left.items() if still()) + " still there")


if __name__ == "__main__":
    unittest.main(verbosity=2)
