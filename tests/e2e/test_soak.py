"""A long full-screen run at the fastest useful pace: 50 birds every 10 ms for thousands of
steps, counted in the saver's own message trace. Memory and GDI objects are sampled from
outside the saver from its first step to its last; a leak of a bitmap or context per step
would show as steady growth.

make test runs a short soak; make soak runs the same scenario for QUILLET_SOAK_STEPS steps."""

import os
import unittest

from quillet_wine import BuildTestCase, WineDesktop
from saver_watch import (end_with_key, fields, proc_probe, saver_pid, start_traced, steps,
                         wait_full_screen_window, wait_steps)

DELAY_MS = 10
BIRDS = 50
STEPS = int(os.environ.get("QUILLET_SOAK_STEPS", "5000"))
SAMPLES = 10  # after the first step, one each tenth of the run
MEMORY_GROWTH_LIMIT = 10 * 1024 * 1024
SLOWEST_STEPS_PER_SECOND = 5  # below this the run is stuck, not slow


class SoakTest(BuildTestCase):
    def test_memory_and_gdi_objects_stay_flat_over_thousands_of_steps(self):
        with WineDesktop() as desk:
            desk.pattern_desktop()
            desk.write_settings(delay=DELAY_MS, birds=BIRDS)
            proc = start_traced(desk, "/s")
            wait_full_screen_window(desk, 60)
            pid = saver_pid(desk)
            self.assertIsNotNone(pid)
            wait_steps(proc, 1, 60)
            samples = [self.sample(desk, proc, pid)]
            for target in range(STEPS // SAMPLES, STEPS + 1, STEPS // SAMPLES):
                wait_steps(proc, target, 60 + STEPS / SAMPLES / SLOWEST_STEPS_PER_SECOND)
                self.assertTrue(desk.is_running(proc), "the saver ended during the soak")
                samples.append(self.sample(desk, proc, pid))
            before = desk.screenshot()
            wait_steps(proc, len(steps(proc)) + 2)
            moving = not desk.screenshot().same_as(before)
            self.assertEqual(end_with_key(desk, proc), 0)
            self.assertEqual(desk.crash_evidence(), [])
        self.report(samples)
        self.assertTrue(moving, "the flock had stopped moving by the end of the soak")
        # The first tenth of the run fills the caches that a run needs once; growth after it
        # is what a leak would show.
        settled, last = samples[1], samples[-1]
        for name in ("pagefile", "workingset"):
            self.assertLess(last[name] - settled[name], MEMORY_GROWTH_LIMIT, name)
        if settled["gdi"] or last["gdi"]:
            self.assertLessEqual(last["gdi"], settled["gdi"] + 10, "GDI objects")

    def sample(self, desk, proc, pid):
        """Memory and objects of the saver, with the steps taken so far and the time of the
        last one on Wine's clock."""
        taken = steps(proc)
        out = fields(proc_probe(desk, "sample", pid))
        self.assertIn("workingset", out, "proc_probe could not read the saver's memory")
        out["steps"], out["clock"] = len(taken), taken[-1]
        return out

    def report(self, samples):
        first, last = samples[0], samples[-1]
        for s in samples:
            s["at"] = s["clock"] - first["clock"]
        print("\nsoak of %s: %d birds, Delay %d ms; %d steps counted in the saver's message "
              "trace over %.0f s, %.1f steps/s"
              % (os.path.basename(os.environ.get("QUILLET_SCR", "")), BIRDS, DELAY_MS,
                 last["steps"], last["at"], (last["steps"] - 1) / max(last["at"], 0.001)))
        for s in samples:
            print("  step %6d  t=%6.1f s  pagefile %6.1f MB  working set %6.1f MB  GDI objects %d"
                  "  USER objects %d" % (s["steps"], s["at"], s["pagefile"] / 1048576.0,
                                         s["workingset"] / 1048576.0, s["gdi"], s["user"]))
        for name in ("pagefile", "workingset"):
            print("  %s: %.1f MB at the first step, %.1f MB at the last: %+.1f MB (%+.1f MB "
                  "after the first tenth)" % (name, first[name] / 1048576.0,
                                             last[name] / 1048576.0,
                                             (last[name] - first[name]) / 1048576.0,
                                             (last[name] - samples[1][name]) / 1048576.0))
        if not first["gdi"]:
            print("  GetGuiResources answers 0 under Wine: GDI objects are not measurable"
                  " here; memory stands in for them (each leaked bitmap costs memory)")


if __name__ == "__main__":
    unittest.main(verbosity=2)
