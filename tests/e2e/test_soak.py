"""A long full-screen run at the fastest useful pace: 50 birds every 10 ms for thousands of
steps. Memory and GDI objects are sampled from outside the saver after a warm-up and at the
end; a leak of a bitmap or context per step would show as steady growth."""

import os
import time
import unittest

from quillet_wine import WineDesktop
from saver_watch import (end_with_key, fields, proc_probe, saver_pid,
                         wait_full_screen_window)

DELAY_MS = 10
BIRDS = 50
WARM_UP_SECONDS = 8
RUN_SECONDS = 80  # about 8 000 steps where the timer keeps its 10 ms
SAMPLE_EVERY_SECONDS = 20
MEMORY_GROWTH_LIMIT = 10 * 1024 * 1024
RATE_SECONDS = 4


class SoakTest(unittest.TestCase):
    def test_memory_and_gdi_objects_stay_flat_over_thousands_of_steps(self):
        with WineDesktop() as desk:
            desk.pattern_desktop()
            rate = self.timer_rate(desk)
            with open(os.path.join(desk.dir, "quilet01.ini"), "wb") as f:
                f.write(b"Delay = %d\r\nCharNumber = %d\r\n" % (DELAY_MS, BIRDS))
            proc = desk.start(desk.scr, "/s")
            wait_full_screen_window(desk, 60)
            pid = saver_pid(desk)
            self.assertIsNotNone(pid)
            time.sleep(WARM_UP_SECONDS)
            samples = [self.sample(desk, pid, 0)]
            started = time.monotonic()
            while time.monotonic() - started < RUN_SECONDS:
                time.sleep(min(SAMPLE_EVERY_SECONDS, RUN_SECONDS - (time.monotonic() - started)))
                self.assertTrue(desk.is_running(proc), "the saver ended during the soak")
                samples.append(self.sample(desk, pid, time.monotonic() - started))
            seconds = time.monotonic() - started
            before = desk.screenshot()
            time.sleep(0.5)
            moving = desk.screenshot().rgb != before.rgb
            self.assertEqual(end_with_key(desk, proc), 0)
            self.assertEqual(desk.crash_evidence(), [])
        self.report(samples, rate, seconds)
        self.assertTrue(moving, "the flock had stopped moving by the end of the soak")
        first, last = samples[0], samples[-1]
        for name in ("pagefile", "workingset"):
            self.assertLess(last[name] - first[name], MEMORY_GROWTH_LIMIT, name)
        if first["gdi"] or last["gdi"]:
            self.assertLessEqual(last["gdi"], first["gdi"] + 10, "GDI objects")

    def timer_rate(self, desk):
        """Ticks per second that a 10 ms window timer really delivers here."""
        out = fields(proc_probe(desk, "timer-rate", DELAY_MS, RATE_SECONDS))
        self.assertGreater(out.get("ticks", 0), 0, "the window timer never ticked")
        return out["ticks"] * 1000.0 / out["ms"]

    def sample(self, desk, pid, at):
        out = fields(proc_probe(desk, "sample", pid))
        self.assertIn("workingset", out, "proc_probe could not read the saver's memory")
        out["at"] = at
        return out

    def report(self, samples, rate, seconds):
        print("\nsoak: %d birds, Delay %d ms, %.0f s; the timer delivered %.1f ticks/s, so"
              " about %d steps (estimated from the measured rate, not counted)"
              % (BIRDS, DELAY_MS, seconds, rate, rate * seconds))
        for s in samples:
            print("  t=%5.1f s  pagefile %6.1f MB  working set %6.1f MB  GDI objects %d"
                  "  USER objects %d" % (s["at"], s["pagefile"] / 1048576.0,
                                         s["workingset"] / 1048576.0, s["gdi"], s["user"]))
        if not samples[0]["gdi"]:
            print("  GetGuiResources answers 0 under Wine: GDI objects are not measurable"
                  " here; memory stands in for them (each leaked bitmap costs memory)")


if __name__ == "__main__":
    unittest.main(verbosity=2)
