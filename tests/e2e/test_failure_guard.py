"""The host's failure guard under Wine, driven by guard_fault.exe: a mode that faults ends the
process through ExitProcess with the fault's code, clears the screen-saver-running flag only
when that run raised it (its password verifier loaded), and leaves no crash dialog; a mode
that returns keeps its own result.

The marker file holds what guard_fault's SetSaverRunning wrote and, from detach_witness.dll,
"process detach" when the process ended through ExitProcess rather than being terminated."""

import os
import unittest

from quillet_wine import DesktopTestCase

ACCESS_VIOLATION = -1073741819  # 0xC0000005 as a signed 32-bit exit code
MARKER = "guard_marker.txt"
DETACH = "process detach"
GUARD_FAULT = "guard_fault.exe"
APP_DEFAULTS = r"HKCU\Software\Wine\AppDefaults\%s"


class FailureGuardTest(DesktopTestCase):

    def setUp(self):
        self.marker = os.path.join(self.desk.dir, MARKER)
        if os.path.exists(self.marker):
            os.remove(self.marker)

    def guard_fault(self, *args):
        return self.desk.run(self.desk.helper(GUARD_FAULT), *args, timeout=60)

    def marker_lines(self):
        if not os.path.exists(self.marker):
            return []
        with open(self.marker) as f:
            return f.read().splitlines()

    def test_fault_ends_with_its_code_clearing_the_running_flag_only_if_the_run_raised_it(self):
        # On the Windows 95 family, the only one where a run loads a verifier and raises the
        # flag. A run without one (settings, preview) may fault while a password-protected
        # saver of another process holds the flag up: that flag must stay.
        self.desk.set_windows_version(GUARD_FAULT, "win95")
        self.addCleanup(self.desk.reg_delete, APP_DEFAULTS % GUARD_FAULT, "Version")
        cases = [("fault-with-verifier", ["SetSaverRunning(0)", DETACH]),
                 ("fault", [DETACH])]
        for mode, lines in cases:
            with self.subTest(mode):
                self.setUp()
                self.assertEqual(self.guard_fault(mode), ACCESS_VIOLATION)
                self.assertEqual(self.marker_lines(), lines)
                self.assertEqual(self.desk.crash_evidence(), [])

    def test_returning_mode_keeps_its_result(self):
        for value in (0, 1, -1, 2003, -2147483648):
            with self.subTest(value):
                self.setUp()
                self.assertEqual(self.guard_fault("return", str(value)), value)
                self.assertEqual(self.marker_lines(), [DETACH])

    def test_guard_is_gone_after_the_mode_returns(self):
        # A fault after the mode has returned is the system's to handle, not the guard's: the
        # system terminates the process, so neither the flag nor the witness hears of it.
        # This is also what tells the witness's line apart from any other ending.
        self.assertEqual(self.guard_fault("return-then-fault"), ACCESS_VIOLATION)
        self.assertEqual(self.marker_lines(), [])
        self.assertEqual(self.desk.crash_evidence(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
