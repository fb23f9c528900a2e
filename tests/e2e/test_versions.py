"""The saver on each Windows version that Wine can report to it: one short set of checks per
version, the same on every version, so a user can look up whether their system runs it.

    full screen   birds over the frozen pattern; a key ends the run with 0
    dialog        opens with the file's values; OK writes them (and only them) back
    preview       a shown child inside its parent; ends with 0 when the parent goes
    /a            95 family: the stand-in changer is called, 0; elsewhere -1, nothing called
    password      95 family only: a refused password keeps the run, an accepted one ends it

Under ctest the 32-bit pass checks the 95 family and Windows 10, the 64-bit pass Windows 10.
Run by hand (make compat) it checks every version on both builds and writes the table as
Markdown:

    python3 tests/e2e/test_versions.py --table dist/compatibility.md
"""

import argparse
import datetime
import os
import subprocess
import sys
import unittest

from quillet_wine import (DEFAULT_TIMEOUT, SETTINGS_FILE, BuildTestCase, WineDesktop, build_bits,
                          expected_pattern, kernel_runs_32bit, wait_until, windows_path)
from saver_watch import SystemFile, end_with_key, shown_preview, wait_full_screen_window

WINDOWS_95_FAMILY = ("win95", "win98", "winme")
# As Wine names them. A 64-bit program has no 95 family and no NT 4 or 2000, and Wine's name
# for 64-bit XP is its own.
VERSIONS = {
    32: WINDOWS_95_FAMILY + ("nt40", "win2k", "winxp", "vista", "win7", "win8", "win81",
                             "win10"),
    64: ("winxp64", "vista", "win7", "win8", "win81", "win10"),
}
SHORT_VERSIONS = {32: WINDOWS_95_FAMILY + ("win10",), 64: ("win10",)}
NAMES = {"win95": "Windows 95", "win98": "Windows 98", "winme": "Windows Me",
         "nt40": "Windows NT 4.0", "win2k": "Windows 2000", "winxp": "Windows XP",
         "winxp64": "Windows XP x64", "vista": "Windows Vista", "win7": "Windows 7",
         "win8": "Windows 8", "win81": "Windows 8.1", "win10": "Windows 10"}
CHECKS = ("full screen", "dialog", "preview", "/a", "password")
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PASSWORD_VALUE = "ScreenSaveUsePassword"


class Skip(Exception):
    """A check that does not apply to this version."""


class VersionChecks:
    """The check set on one desktop, for one build; every check returns or raises."""

    def __init__(self, desk):
        self.desk = desk
        desk.env["QUILLET_STANDIN_DIR"] = windows_path(desk.dir)
        self.placed = [SystemFile(desk.system_dir, "password.cpl",
                                  desk.helper("password_verifier.dll")),
                       SystemFile(desk.system_dir, "mpr.dll",
                                  desk.helper("password_changer.dll"))]
        # Wine prefers its own mpr.dll; only the saver is told to take the stand-in.
        desk.reg_add(r"HKCU\Software\Wine\AppDefaults\%s\DllOverrides" % desk.scr_name,
                     "mpr", "native")
        desk.pattern_desktop()

    def close(self):
        for placed in self.placed:
            placed.remove()

    def run(self, version, check):
        """'pass', 'skipped' or 'fail: why' for one cell of the table."""
        self.desk.set_windows_version(self.desk.scr_name, version)
        self.desk.reg_add(DESKTOP_KEY, PASSWORD_VALUE, 0, "REG_DWORD")
        self.answer(0)
        self.clear_log()
        method = getattr(self, "check_" + check.strip("/").replace(" ", "_"))
        try:
            method(version in WINDOWS_95_FAMILY)
            return "pass"
        except Skip:
            return "skipped"
        except Exception as failure:  # a cell of the table, not the end of the run
            return "fail: %s" % (str(failure).splitlines() or [type(failure).__name__])[0]

    # -- the stand-ins --------------------------------------------------------------------

    def path(self, name):
        return os.path.join(self.desk.dir, name)

    def answer(self, value):
        with open(self.path("verifier-answer.txt"), "w") as f:
            f.write("%d\n" % value)

    def clear_log(self):
        if os.path.exists(self.path("standin.log")):
            os.remove(self.path("standin.log"))

    def log(self, kind):
        try:
            with open(self.path("standin.log"), encoding="latin-1") as f:
                return [line.split() for line in f if line.startswith(kind + " ")]
        except FileNotFoundError:
            return []

    # -- the checks -----------------------------------------------------------------------

    def check_full_screen(self, _):
        proc = self.desk.start(self.desk.scr, "/s")
        try:
            wait_full_screen_window(self.desk)
            wait_until(self.birds_over_the_pattern, 30, 0.3, "birds over the frozen pattern")
        finally:
            code = end_with_key(self.desk, proc)
        assert code == 0, "exit code %d after a key" % code

    def birds_over_the_pattern(self):
        """Most of the screen is the frozen pattern, and something else is on it."""
        shot = self.desk.screenshot()
        points = [(x, y) for y in range(3, shot.height, 13) for x in range(5, shot.width, 13)]
        same = sum(shot.pixel(x, y) == expected_pattern(x, y) for x, y in points)
        return 0.5 < same / len(points) < 1

    def check_dialog(self, _):
        self.desk.write_settings(text=b"Delay = 300\r\nCharNumber = 5\r\nextra line\r\n")
        proc = self.desk.start(self.desk.scr)
        try:
            shown = dict(line.split("=", 1)
                         for line in self.dialog_probe("show").splitlines() if "=" in line)
            assert (shown.get("delay"), shown.get("count")) == ("300", "5"), \
                "the dialog shows %r" % shown
            self.dialog_probe("press", "1")
            code = self.desk.wait_exit(proc, DEFAULT_TIMEOUT)
        finally:
            if self.desk.is_running(proc):
                self.dialog_probe("press", "2")
        assert code == 0, "exit code %d after OK" % code
        with open(self.path(SETTINGS_FILE), "rb") as f:
            written = f.read()
        assert written == b"Delay = 300\r\nCharNumber = 5\r\n", "OK wrote %r" % written

    def dialog_probe(self, *args):
        result = self.desk.run_helper("dialog_probe.exe", *args)
        assert result.returncode == 0, "dialog_probe %s found no dialog" % " ".join(args)
        return result.stdout.decode("latin-1")

    def check_preview(self, _):
        parent = self.desk.parent_window(152, 112, run=[self.desk.scr, "/p", "%HWND%"],
                                         at=(400, 300))
        try:
            preview = wait_until(lambda: shown_preview(self.desk, parent), 60, 0.2,
                                 "the preview shown")
            assert preview["title"] == "Preview", "the child is titled %r" % preview["title"]
        finally:
            parent.close()
        code = parent.child_exit(60)
        assert code == 0, "exit code %d when the parent went" % code

    def check_a(self, win9x):
        owner = self.desk.parent_window(160, 120, at=(200, 150))
        try:
            code = self.desk.run(self.desk.scr, "/a", str(owner.hwnd))
        finally:
            owner.close()
        calls = self.log("change")
        if win9x:
            assert code == 0, "exit code %d" % code
            assert calls == [["change", "SCRSAVE", str(owner.hwnd), "0", "0"]], \
                "the changer saw %r" % calls
        else:
            assert code == -1, "exit code %d outside the 95 family" % code
            assert calls == [], "the changer was called outside the 95 family"

    def check_password(self, win9x):
        if not win9x:
            raise Skip()
        self.desk.reg_add(DESKTOP_KEY, PASSWORD_VALUE, 1, "REG_DWORD")
        proc = self.desk.start(self.desk.scr, "/s")
        try:
            wait_full_screen_window(self.desk)
            self.desk.key("a")
            wait_until(lambda: self.log("verify"), 30, 0.2, "the password prompt")
            # The refused prompt has returned; the run must still be there a moment later.
            assert not wait_until_ended(self.desk, proc, 2), "a refused password ended the run"
            self.answer(1)
        finally:
            code = end_with_key(self.desk, proc)
        assert code == 0, "exit code %d after an accepted password" % code


def wait_until_ended(desk, proc, seconds):
    try:
        proc.popen.wait(seconds)
        return True
    except subprocess.TimeoutExpired:
        return False


def check_build(versions):
    """{version: {check: result}} for the build the environment names."""
    results = {}
    with WineDesktop() as desk:
        checks = VersionChecks(desk)
        try:
            for version in versions:
                results[version] = {check: checks.run(version, check) for check in CHECKS}
        finally:
            checks.close()
    return results


class VersionsTest(BuildTestCase):
    def test_the_95_family_and_one_nt_version(self):
        results = check_build(SHORT_VERSIONS[build_bits()])
        print()
        for version, row in results.items():
            print("%-8s %s" % (version, "  ".join("%s: %s" % item for item in row.items())))
        for version, row in results.items():
            for check, result in row.items():
                with self.subTest(version=version, check=check):
                    self.assertIn(result, ("pass", "skipped"))


# -- the table, by hand ---------------------------------------------------------------------

def build_environment(bits, dist, build):
    return {"QUILLET_SCR": os.path.join(dist, "quillet.scr" if bits == 32 else "quillet64.scr"),
            "QUILLET_WIN_HELPERS": os.path.join(build, "win%d" % bits, "tests",
                                                "windows_helpers"),
            "QUILLET_BITS": str(bits)}


def markdown(results, wine):
    lines = ["Checked on %s under %s, Wine's virtual desktop at 1024x768." % (
        datetime.date.today().isoformat(), wine), ""]
    for bits, name in ((32, "quillet.scr (32-bit)"), (64, "quillet64.scr (64-bit)")):
        if bits not in results:
            continue
        lines += ["| %s | %s |" % (name, " | ".join(CHECKS)),
                  "|---|" + "---|" * len(CHECKS)]
        for version, row in results[bits].items():
            lines.append("| %s (%s) | %s |" % (NAMES[version], version,
                                               " | ".join(row[c] for c in CHECKS)))
        lines.append("")
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--table", required=True, help="where to write the Markdown table")
    parser.add_argument("--dist", default="dist")
    parser.add_argument("--build", default="build")
    options = parser.parse_args(argv)
    results = {}
    for bits in (32, 64):
        if bits == 32 and not kernel_runs_32bit():
            print("quillet.scr: skipped, this kernel does not run 32-bit programs")
            continue
        os.environ.update(build_environment(bits, os.path.abspath(options.dist),
                                            os.path.abspath(options.build)))
        results[bits] = check_build(VERSIONS[bits])
    wine = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE,
                          text=True).stdout.strip()
    table = markdown(results, wine)
    with open(options.table, "w") as f:
        f.write(table)
    print(table)
    failed = any(r.startswith("fail") for rows in results.values() for row in rows.values()
                 for r in row.values())
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) > 1:
        sys.exit(main(sys.argv[1:]))
    unittest.main(verbosity=2)
