"""The set-up's decisions, driven without touching the machine: the 32-bit probe and the package
query are stand-ins named through the environment, and apt-get, dpkg and Wine are stubs that
only write down how they were called."""

import os
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "tools", "install-deps.sh")
PROBE = os.path.join(HERE, "..", "..", "tools", "runs-32bit.sh")

# Each stub logs its name and arguments; wine ends with $FAKE_WINE_STATUS.
STUB = '#!/bin/sh\necho "$(basename "$0") $*" >>"$FAKE_LOG"\n'
STUBS = {
    "apt-get": STUB,
    "dpkg": STUB,
    "wineserver": "#!/bin/sh\n",
    "wine": STUB + 'exit "${FAKE_WINE_STATUS:-0}"\n',
    "sudo": '#!/bin/sh\nexec "$@"\n',
    # The 32-bit probe answers with $FAKE_PROBE_STATUS and says so on stderr.
    "probe": '#!/bin/sh\necho "probe says $FAKE_PROBE_STATUS" >&2\nexit "$FAKE_PROBE_STATUS"\n',
    # Every package counts as installed except those in $FAKE_MISSING.
    "query": '#!/bin/sh\ncase " $FAKE_MISSING " in *" $1 "*) exit 1;; esac\nexit 0\n',
}
REMOVE = "dpkg --remove wine32:i386"
WINE = "wine cmd /c exit 0"
NOTE = "note: this kernel does not run 32-bit programs"
UNKNOWN = "note: the 32-bit Wine is left as it is: probe says 2"
YES, NO, CANNOT_TELL = 0, 1, 2

# the probe's answer, packages missing, wine's exit status ->
#     exit status, first line printed, calls made (in order, by their start)
CASES = [
    # Nothing wrong: nothing is installed, removed or started.
    ((NO, "wine32:i386", 0), (0, NOTE, [])),
    ((YES, "", 0), (0, "", [])),
    # The broken machine: the 32-bit Wine goes, then wine must start a 64-bit program.
    ((NO, "", 0), (0, "removing wine32:i386: this kernel does not run 32-bit programs",
                      [REMOVE, WINE])),
    ((NO, "", 1), (1, "removing wine32:i386", [REMOVE, WINE, WINE])),
    # A fresh 32-bit machine gets the i386 architecture and the 32-bit Wine.
    ((YES, "wine32:i386", 0), (0, "installing: wine32:i386", [
        "dpkg --print-foreign-architectures", "dpkg --add-architecture i386", "apt-get update",
        "apt-get install -y -qq --no-install-recommends wine32:i386", WINE])),
    # A probe that cannot tell (a broken temporary folder) neither removes nor adds it.
    ((CANNOT_TELL, "", 0), (0, UNKNOWN, [])),
    ((CANNOT_TELL, "wine32:i386", 0), (0, UNKNOWN, [])),
]


class InstallDepsTest(unittest.TestCase):
    def run_script(self, probe_status, missing, wine_status):
        with tempfile.TemporaryDirectory() as stubs:
            for name, text in STUBS.items():
                path = os.path.join(stubs, name)
                with open(path, "w") as f:
                    f.write(text)
                os.chmod(path, 0o755)
            log = os.path.join(stubs, "log")
            open(log, "w").close()
            env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"],
                       QUILLET_PROBE_32BIT=os.path.join(stubs, "probe"),
                       FAKE_PROBE_STATUS=str(probe_status),
                       QUILLET_PACKAGE_QUERY=os.path.join(stubs, "query"),
                       FAKE_LOG=log, FAKE_MISSING=missing, FAKE_WINE_STATUS=str(wine_status))
            done = subprocess.run(["bash", SCRIPT], env=env, capture_output=True, text=True,
                                  timeout=60)
            with open(log) as f:
                calls = f.read().splitlines()
        return done, calls

    def test_decisions(self):
        for given, (status, first_line, calls) in CASES:
            with self.subTest(given=given):
                done, made = self.run_script(*given)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                lines = done.stdout.splitlines()
                self.assertTrue((lines or [""])[0].startswith(first_line), done.stdout)
                self.assertEqual(len(made), len(calls), made)
                for call, start in zip(made, calls):
                    self.assertTrue(call.startswith(start), made)


class ProbeTest(unittest.TestCase):
    def test_a_folder_that_cannot_be_made_is_no_answer_about_the_kernel(self):
        env = dict(os.environ, TMPDIR="/nonexistent/quillet-probe")
        done = subprocess.run([PROBE, "-v"], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 2, done.stderr)
        self.assertIn("could not tell", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
