"""The benchmark's arithmetic, its test for a frame with birds and its choice of prefix and
process, on made-up data."""

import argparse
import os
import random
import tempfile
import time
import unittest

from PIL import Image as PilImage
from PIL import ImageDraw

import linux_process
import quillet_wine
import report
from bench import shows_birds
from quillet_wine import Image

WIDTH, HEIGHT, PATCH = 200, 150, 20


def frame_with(boxes):
    """A grey desktop with the given (left, top, width, height) boxes painted black."""
    picture = PilImage.new("RGB", (WIDTH, HEIGHT), (128, 128, 128))
    draw = ImageDraw.Draw(picture)
    for left, top, width, height in boxes:
        draw.rectangle((left, top, left + width - 1, top + height - 1), fill=(0, 0, 0))
    return Image(picture)


class ShowsBirdsTest(unittest.TestCase):
    def test_frames(self):
        baseline = frame_with([])
        cases = [
            ("the desktop alone", [], 3, False),
            ("one bird", [(10, 10, PATCH, PATCH)], 3, True),
            ("three birds side by side", [(0, 0, PATCH, PATCH), (30, 0, PATCH, PATCH),
                                          (60, 0, PATCH, PATCH)], 3, True),
            ("a bird cut by the right edge", [(WIDTH - 5, 50, PATCH, PATCH)], 1, True),
            ("a black window over everything", [(0, 0, WIDTH, HEIGHT)], 3, False),
            ("a window drawn down to half", [(0, 0, WIDTH, HEIGHT // 2)], 3, False),
            ("a band wider than the birds", [(0, 60, 4 * PATCH, 5)], 3, False),
            ("more rows than the birds cover", [(0, 0, 5, 4 * PATCH)], 3, False),
        ]
        for name, boxes, birds, expected in cases:
            with self.subTest(name):
                self.assertEqual(shows_birds(frame_with(boxes), baseline, birds, PATCH), expected)


class CpuTimeTest(unittest.TestCase):
    def stat_line(self, name, utime, stime):
        fields = ["S", "1", "2", "3", "0", "-1", "4194560", "100", "0", "0", "0",
                  str(utime), str(stime), "0", "0", "20", "0", "4"]
        return "1234 (%s) %s\n" % (name, " ".join(fields))

    def test_names_with_spaces_and_parentheses(self):
        ticks = linux_process.CLOCK_TICKS
        for name in ("quillet64.scr", "a b", "x) (y", ")"):
            with self.subTest(name=name):
                line = self.stat_line(name, 3 * ticks, ticks)
                self.assertAlmostEqual(linux_process.cpu_seconds_of_stat(line), 4.0)

    def test_own_process(self):
        before = linux_process.cpu_seconds(os.getpid())
        end = time.process_time() + 0.05
        while time.process_time() < end:
            pass
        self.assertGreater(linux_process.cpu_seconds(os.getpid()), before)


class FindProgramTest(unittest.TestCase):
    # (pid, session, first argument) as /proc shows them while `wine` runs each build with
    # the 32-bit Wine installed; each launcher has a session of its own.
    PROCESSES = [
        (501, 500, "start.exe"),  # the launcher of a 64-bit program waits for it
        (502, 500, "Z:\\work\\dist\\QUILLET64.SCR"),
        (601, 600, "/usr/lib/wine/wine"),  # a launcher still loading its program
        (701, 700, "/work/dist/quillet.scr"),  # a 32-bit program runs in its launcher
        (901, 900, "Z:\\other\\quillet.scr"),  # another run of the same program
    ]

    def test_cases(self):
        cases = [(500, "/work/dist/quillet64.scr", 502), (700, "/work/dist/quillet.scr", 701),
                 (600, "/work/dist/quillet.scr", None), (500, "/work/dist/quillet.scr", None),
                 (800, "/work/dist/quillet.scr", None)]
        for session, exe, pid in cases:
            with self.subTest(session=session, exe=exe):
                self.assertEqual(linux_process.find_program(self.PROCESSES, session, exe), pid)

    def test_own_process_in_its_session(self):
        listed = {(pid, session) for pid, session, _ in linux_process.session_processes()}
        self.assertIn((os.getpid(), os.getsid(0)), listed)


class PerBirdStepTest(unittest.TestCase):
    def test_median_of_generated_runs(self):
        rng = random.Random(7)
        for _ in range(200):
            birds = rng.choice((10, 100, 1000))
            cost = rng.uniform(10, 500) * 1e-6  # seconds per bird-step
            runs = []
            for _ in range(rng.randint(1, 5)):
                steps = rng.uniform(1, 100)
                runs.append({"cpu": cost * steps * birds, "steps": steps})
            self.assertAlmostEqual(report.per_bird_step_us(runs, birds), cost * 1e6, places=6)

    def test_runs_without_steps_are_left_out(self):
        runs = [{"cpu": 0.5, "steps": 0.0}, {"cpu": 0.1, "steps": 10.0}]
        self.assertAlmostEqual(report.per_bird_step_us(runs, 10), 1000.0)
        self.assertIsNone(report.per_bird_step_us([{"cpu": 0.5, "steps": 0.0}], 10))


class TableTest(unittest.TestCase):
    def test_a_build_not_run_has_no_figures(self):
        run = {"cpu": 0.01, "steps": 100.0, "peak": 2048}
        reference = {"cpu": 0.1, "steps": 5.0, "peak": 9000}
        result = {"startup": [0.3], "startup_flock": [0.4], "exit": [0.03], "defaults": [run],
                  "flock": {b: {"saver": [run], "reference": [reference]}
                            for b in report.FLOCKS}}
        with tempfile.TemporaryDirectory() as folder:
            scr32, scr64 = os.path.join(folder, "a.scr"), os.path.join(folder, "b.scr")
            for path, size in ((scr32, 300 * 1024), (scr64, 100)):
                with open(path, "wb") as f:
                    f.write(b"\0" * size)
            args = argparse.Namespace(scr32=scr32, scr64=scr64, repeats=1, repeats_latency=1,
                                      repeats_defaults=1, seconds=5, default_seconds=30)
            text = report.table({"64-bit": result}, args, 4.0, "a machine")
        rows = [[cell.strip() for cell in line.split("|")[1:-1]] for line in text.splitlines()
                if line.startswith("| ") and "Measure" not in line]
        self.assertEqual(len(rows), 12)
        for measure, cell32, cell64, target, met in rows[:-1]:
            with self.subTest(measure):
                self.assertEqual(cell32, "not run")
                self.assertNotIn("not run", cell64)
                self.assertEqual(met, "- / yes" if target else "")
        self.assertEqual(rows[-1][1:], ["307200 bytes", "100 bytes",
                                        "quillet.scr <= 204800 bytes", "**no** / -"])


class KeptPrefixTest(unittest.TestCase):
    def make_prefix(self, folder, finished, wow64):
        prefix = os.path.join(folder, "prefix")
        windows = os.path.join(prefix, "drive_c", "windows")
        os.makedirs(os.path.join(windows, "syswow64"))
        if wow64:
            open(os.path.join(windows, "syswow64", "kernel32.dll"), "w").close()
        if finished:
            os.makedirs(prefix + ".registry")
            open(os.path.join(prefix + ".registry", "user.reg"), "w").close()
        return prefix

    def test_cases(self):
        # (finished, made with the 32-bit Wine, machine runs 32-bit programs, stale)
        cases = [(False, False, False, True), (False, True, True, True),
                 (True, False, True, True), (True, False, False, False),
                 (True, True, True, False), (True, True, False, False)]
        for finished, wow64, runs_32bit, stale in cases:
            with self.subTest(finished=finished, wow64=wow64, runs_32bit=runs_32bit):
                with tempfile.TemporaryDirectory() as folder:
                    prefix = self.make_prefix(folder, finished, wow64)
                    self.assertEqual(quillet_wine.kept_prefix_is_stale(prefix, runs_32bit),
                                     stale)


if __name__ == "__main__":
    unittest.main(verbosity=2)
