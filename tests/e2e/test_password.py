"""The Windows 95 family's password services under Wine: the saver asks a stand-in verifier
before it closes, spaces its prompts, gives up the password when the setting or the verifier
is missing, hands a password change to a stand-in changer, and loads both only from the
system folder.

The stand-ins (tests/windows_helpers/password_standin.cpp) log to "standin.log" in the context's folder:
"load PATH", "unload PATH", "timers QUEUED" then "verify ENTER_TICK RETURN_TICK HWND ANSWER" for
each prompt, "hold", "change TEXT HWND A B"; while "verifier-hold" exists in that folder the
verifier keeps its prompt up. They are copied into the prefix's system folder for one test and
taken out again whatever happens, since every test of the run shares the prefix."""

import os
import shutil
import time
import unittest

from quillet_wine import DesktopTestCase, wait_until, windows_path
from saver_watch import (AUTOPLAY_QUERY, KEY_A, WM_CLOSE, WM_KEYDOWN, WM_TIMER, SystemFile,
                         end_with_key, handled, shown_preview, start_traced,
                         wait_full_screen_keyboard)

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PASSWORD_VALUE = "ScreenSaveUsePassword"
HOME = (500, 400)  # where the pointer rests while a run starts
RATE_LIMIT_MS = 200
BURST = 4  # keys posted to the saver at once while a prompt is up


class PasswordTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.desk.env["QUILLET_STANDIN_DIR"] = windows_path(cls.desk.dir)
        cls.desk.pattern_desktop()
        # Wine learns the pointer's place from the first real motion; make it before any
        # saver records a reference point.
        cls.desk.mouse_move(*HOME)

    def setUp(self):
        self.clear_log()
        self.answer(0)
        self.desk.set_windows_version(self.desk.scr_name, "win95")
        self.desk.reg_add(DESKTOP_KEY, PASSWORD_VALUE, 1, "REG_DWORD")

    # -- helpers ----------------------------------------------------------------------

    def install(self, name, standin):
        source = self.desk.helper(standin + ".dll")
        placed = SystemFile(self.desk.system_dir, name, source)
        self.addCleanup(placed.remove)
        # The program names the file by its system folder, whichever folder Wine maps it to.
        return "c:\\windows\\system32\\" + name

    def clear_log(self):
        path = os.path.join(self.desk.dir, "standin.log")
        if os.path.exists(path):
            os.remove(path)

    def answer(self, value):
        with open(os.path.join(self.desk.dir, "verifier-answer.txt"), "w") as f:
            f.write("%d\n" % value)

    def log(self, kind=None):
        try:
            with open(os.path.join(self.desk.dir, "standin.log"), encoding="latin-1") as f:
                lines = [line.split() for line in f if line.strip()]
        except FileNotFoundError:
            return []
        # Wine reports a module's path in the case the loader was asked for.
        lines = [[line[0], line[1].lower()] + line[2:] if line[0] in ("load", "unload")
                 else line for line in lines]
        return [line[1:] if kind else line for line in lines if kind in (None, line[0])]

    def verify_calls(self):
        """(entered, returned, hwnd, answer) per verifier call, ticks in milliseconds."""
        return [tuple(int(v) for v in fields) for fields in self.log("verify")]

    def saver_running_flag(self):
        return int(self.desk.probe("saverrunning"))

    def start_full_screen(self):
        """Starts a traced run and returns it once its window takes the keys."""
        proc = start_traced(self.desk, "/s")
        self.addCleanup(self.stop_if_running, proc)
        return proc, wait_full_screen_keyboard(self.desk, 60)

    def stop_if_running(self, proc):
        if self.desk.is_running(proc):
            self.answer(1)
            self.desk.key("space")
            try:
                self.desk.wait_exit(proc, 10)
            except TimeoutError:
                proc.popen.kill()

    def hold_prompts(self, hold):
        path = os.path.join(self.desk.dir, "verifier-hold")
        if hold:
            open(path, "w").close()
            self.addCleanup(lambda: os.path.exists(path) and os.remove(path))
        else:
            os.remove(path)

    def press_until_prompted(self, calls, timeout=30):
        """Presses a key every half second until the verifier has been asked `calls` times in
        all: a key that comes inside the rate limit is dropped, so how many it takes depends on
        the machine's pace."""
        deadline = time.monotonic() + timeout
        while len(self.verify_calls()) < calls:
            self.assertLess(time.monotonic(), deadline, "no prompt for keys over %d s" % timeout)
            self.desk.key("a")
            time.sleep(0.5)

    def first_key_closes(self, proc):
        self.desk.key("a")
        try:
            return self.desk.wait_exit(proc, 30)
        except TimeoutError:
            self.stop_if_running(proc)  # so that the next run does not find it
            raise

    # -- the verifier -----------------------------------------------------------------

    def test_refused_password_keeps_running_and_prompts_are_spaced(self):
        system_copy = self.install("password.cpl", "password_verifier")
        self.answer(0)
        proc, window = self.start_full_screen()
        self.assertEqual(self.saver_running_flag(), 1)

        # While the first prompt is up, keys are posted to the saver; they wait in its queue,
        # so all of them ask to close within moments of the prompt's end. The prompt lasts
        # longer than the rate limit, which counts from its end, not its start.
        self.hold_prompts(True)
        self.desk.key("a")
        wait_until(lambda: self.log("hold"), 30, what="the first prompt")
        self.assertTrue(self.desk.post_together(window["hwnd"], *[(WM_KEYDOWN, KEY_A, 0)] * BURST))
        time.sleep(1.5 * RATE_LIMIT_MS / 1000)
        self.hold_prompts(False)
        wait_until(lambda: len(handled(proc, "WM_CLOSE")) >= 1 + BURST, 30,
                   what="the close requests of the posted keys")
        self.assertEqual(len(self.verify_calls()), 1, "a close request right after a prompt "
                         "prompted again")
        self.press_until_prompted(2)

        calls = self.verify_calls()
        self.assertTrue(self.desk.is_running(proc), "a refused password ended the run")
        for (_, returned, _, _), (entered, _, _, _) in zip(calls, calls[1:]):
            self.assertGreaterEqual((entered - returned) & 0xFFFFFFFF, RATE_LIMIT_MS)
        self.assertEqual({hwnd for _, _, hwnd, _ in calls}, {window["hwnd"]})

        self.answer(1)
        self.assertEqual(end_with_key(self.desk, proc), 0)
        self.assertEqual(self.verify_calls()[-1][3], 1)
        self.assertEqual(self.log("load"), [[system_copy]])
        self.assertEqual(self.log("unload"), [[system_copy]])
        self.assertEqual(self.saver_running_flag(), 0)

    def test_accepted_password_closes_at_once(self):
        self.install("password.cpl", "password_verifier")
        self.answer(1)
        proc, _ = self.start_full_screen()
        self.assertEqual(self.first_key_closes(proc), 0)
        self.assertEqual(len(self.verify_calls()), 1)

    def test_no_password_in_force_closes_on_the_first_key_without_the_verifier(self):
        settings = [
            ("value 0", ("REG_DWORD", 0)),
            ("value missing", None),
            # Nonzero in its first four bytes: only a read that refuses the length skips it.
            ("8 bytes of binary data", ("REG_BINARY", "0100000001000000")),
        ]
        self.install("password.cpl", "password_verifier")
        self.answer(0)  # were the verifier asked, the run would not end
        for name, setting in settings:
            with self.subTest(name):
                if setting is None:
                    self.desk.reg_delete(DESKTOP_KEY, PASSWORD_VALUE)
                else:
                    self.desk.reg_add(DESKTOP_KEY, PASSWORD_VALUE, setting[1], setting[0])
                proc, _ = self.start_full_screen()
                self.assertEqual(self.saver_running_flag(), 0)
                self.assertEqual(self.first_key_closes(proc), 0)
                self.assertEqual(self.log(), [])

    def test_verifier_library_without_its_entry_is_freed_and_does_not_protect(self):
        system_copy = self.install("password.cpl", "password_no_entry")
        proc, _ = self.start_full_screen()
        # Loaded and freed again before the window exists.
        self.assertEqual(self.log(), [["load", system_copy], ["unload", system_copy]])
        self.assertEqual(self.saver_running_flag(), 0)
        self.assertEqual(self.first_key_closes(proc), 0)

    def test_verifier_in_the_current_folder_is_never_loaded(self):
        planted = os.path.join(self.desk.dir, "PASSWORD.CPL")
        shutil.copyfile(self.desk.helper("password_verifier.dll"), planted)
        self.addCleanup(os.remove, planted)
        # Alone, the planted copy would refuse every close; beside the system's, which
        # accepts, it must stay untouched too.
        for name, in_system_folder in (("planted copy only", False), ("both copies", True)):
            with self.subTest(name):
                self.clear_log()
                self.answer(1 if in_system_folder else 0)
                system_copy = None
                if in_system_folder:
                    system_copy = self.install("password.cpl", "password_verifier")
                proc, _ = self.start_full_screen()
                self.assertEqual(self.first_key_closes(proc), 0)
                expected = [[system_copy]] if system_copy else []
                self.assertEqual(self.log("load"), expected)
                self.assertEqual(len(self.verify_calls()), len(expected))

    def test_ticks_queued_before_the_prompt_are_dropped(self):
        # The prompt must not wait behind animation steps already queued; at most two of them
        # are taken off the queue, so of three, one is left when the verifier is asked.
        self.install("password.cpl", "password_verifier")
        self.answer(1)
        # No tick of the saver's own timer during the test.
        settings = self.desk.write_settings(delay=100000)
        self.addCleanup(os.remove, settings)
        proc, window = self.start_full_screen()
        tick = (WM_TIMER, 1, 0)
        self.assertTrue(self.desk.post_together(window["hwnd"], (WM_CLOSE, 0, 0), tick, tick,
                                                tick))
        self.assertEqual(self.desk.wait_exit(proc, 30), 0)
        self.assertEqual(self.log("timers"), [["1"]])

    def test_autoplay_query_ends_the_run_and_tells_whether_a_password_guards_it(self):
        # The answer asks the system to cancel its AutoPlay only while a password guards the
        # screen; a preview never loads the verifier.
        self.install("password.cpl", "password_verifier")
        self.answer(1)
        cases = [  # (name, password setting, preview, answer)
            ("full screen with a password in force", 1, False, 1),
            ("full screen without a password", 0, False, 0),
            ("preview", 1, True, 0),
        ]
        for name, password, preview, answer in cases:
            with self.subTest(name):
                self.clear_log()
                self.desk.reg_add(DESKTOP_KEY, PASSWORD_VALUE, password, "REG_DWORD")
                if preview:
                    parent = self.desk.parent_window(152, 112, at=(300, 200),
                                                     run=[self.desk.scr, "/p", "%HWND%"])
                    self.addCleanup(parent.close)
                    hwnd = wait_until(lambda: shown_preview(self.desk, parent), 60,
                                      what="the preview window shown")["hwnd"]
                    self.assertEqual(self.desk.send(hwnd, AUTOPLAY_QUERY), answer)
                    self.assertEqual(parent.child_exit(30), 0)
                    self.assertTrue(self.desk.is_running(parent.process), "the parent went")
                else:
                    proc, window = self.start_full_screen()
                    try:
                        self.assertEqual(self.desk.send(window["hwnd"], AUTOPLAY_QUERY), answer)
                        self.assertEqual(self.desk.wait_exit(proc, 30), 0)
                    finally:
                        self.stop_if_running(proc)  # the next case must not find this run
                self.assertEqual(len(self.verify_calls()), answer)

    # -- the password changer ---------------------------------------------------------

    def install_changer(self):
        # Wine prefers its own mpr.dll to a file in the system folder; only the saver is
        # told to take the file, so nothing else in the prefix ever loads the stand-in.
        overrides = r"HKCU\Software\Wine\AppDefaults\%s\DllOverrides" % self.desk.scr_name
        self.desk.reg_add(overrides, "mpr", "native")
        self.addCleanup(self.desk.reg_delete, overrides, "mpr")
        return self.install("mpr.dll", "password_changer")

    def test_change_password_hands_over_to_the_changer(self):
        system_copy = self.install_changer()
        live = self.desk.parent_window(160, 120, at=(200, 150))
        self.addCleanup(live.close)
        dead = self.desk.parent_window(160, 120, at=(420, 150))
        dead.close()
        self.desk.wait_exit(dead.process, 30)
        cases = [
            ("live parent", live.hwnd, lambda: live.hwnd),
            ("dead number", dead.hwnd, self.desk.foreground_window),
        ]
        for name, number, expected_parent in cases:
            with self.subTest(name):
                self.clear_log()
                parent = expected_parent()
                self.assertIsNotNone(parent)
                self.assertEqual(self.desk.run(self.desk.scr, "/a", str(number)), 0)
                # Loaded from the system folder, called once, freed after the call.
                self.assertEqual(self.log(), [["load", system_copy],
                                              ["change", "SCRSAVE", str(parent), "0", "0"],
                                              ["unload", system_copy]])

    def test_change_password_outside_the_95_family_calls_nothing(self):
        self.install_changer()
        self.desk.set_windows_version(self.desk.scr_name, "win10")
        live = self.desk.parent_window(160, 120, at=(200, 150))
        self.addCleanup(live.close)
        self.assertEqual(self.desk.run(self.desk.scr, "/a", str(live.hwnd)), -1)
        self.assertEqual(self.log(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
