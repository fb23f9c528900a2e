"""`make bench`: runs the 64-bit saver and the blit reference under Wine on a private Xvfb
display and prints one table of start-up and exit latency, CPU per bird-step against the
reference, CPU at the defaults, steps per second, peak memory and file sizes (also written
as Markdown to --out).

How each figure is taken, all from outside the programs:
  - CPU time: utime + stime of the program's Linux process in /proc/<pid>/stat (all its
    threads; 10 ms clock ticks). `wine prog` turns into the program itself, so the launcher's
    pid is the program's.
  - Steps: Wine's message trace (WINEDEBUG=trace+message) prints one "WM_TIMER dispatched"
    line per timer message that reaches the window, and each timer message is one step of
    the whole flock. Saver and reference run with the same trace, so its cost is in both.
  - Start-up: from just before the launcher is started to the first grab of the screen
    (XGetImage of the root window, polled back to back) that shows a bird over the pattern
    desktop, at the defaults (3 birds, the first step 200 ms after the window is created).
  - Exit: from just before `xdotool key a` (XTest) is started to the process's end.
  - Peak memory: VmHWM in /proc/<pid>/status just before the key press.
"""

import argparse
import datetime
import os
import platform
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
sys.path.insert(0, HERE)

import quillet_wine  # noqa: E402
from quillet_wine import SCREEN_HEIGHT, SCREEN_WIDTH, WineDesktop, expected_pattern, wait_until  # noqa: E402
from screen_grab import ScreenGrabber, shows_birds  # noqa: E402

PATCH = 128  # a bird's patch on screen: its 120-pixel frame and one 4-pixel step each side
DEFAULT_BIRDS = 3
TRACE = "-all,trace+message"
STEP_LINE = b"WM_TIMER dispatched"
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
ASKED_DELAY = 10
FLOCKS = (10, 100, 1000)


def cpu_seconds_of_stat(text):
    """utime + stime in seconds from the text of /proc/<pid>/stat. The command name, in
    parentheses, may itself hold spaces and parentheses: fields are counted after its last
    closing one, where state is field 3 and utime and stime are 14 and 15 (1-based)."""
    fields = text.rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def cpu_seconds(pid):
    """CPU time of the whole process (all its threads) so far."""
    with open("/proc/%d/stat" % pid) as f:
        return cpu_seconds_of_stat(f.read())


def peak_memory_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def steps_so_far(proc):
    with open(proc.stderr_path, "rb") as f:
        return f.read().count(STEP_LINE)


def write_settings(desk, delay=None, birds=None):
    path = os.path.join(desk.dir, "quilet01.ini")
    if delay is None:
        if os.path.exists(path):
            os.remove(path)
        return
    with open(path, "wb") as f:
        f.write(b"Delay = %d\r\nCharNumber = %d\r\n" % (delay, birds))


class Bench:
    def __init__(self, desk, args):
        self.desk = desk
        self.args = args
        self.grabber = ScreenGrabber(desk.display, SCREEN_WIDTH, SCREEN_HEIGHT)
        self.baseline = self._pattern_baseline()
        self.grab_intervals = []

    def _pattern_baseline(self):
        frame = self.grabber.grab()
        for y in range(3, SCREEN_HEIGHT, 37):
            for x in range(5, SCREEN_WIDTH, 37):
                if frame.pixel(x, y) != expected_pattern(x, y):
                    raise RuntimeError("the pattern desktop is not on screen at %d,%d" % (x, y))
        return frame

    def _wait_for_pattern(self):
        wait_until(lambda: not self.grabber.grab().differing_rows(self.baseline), 30, 0.05,
                   "the pattern desktop back on screen")

    def _end(self, proc, timeout=60):
        """Presses a key; returns (seconds until the process ended, its exit status)."""
        started = time.monotonic()
        self.desk.key("a")
        status = proc.wait(timeout)
        return time.monotonic() - started, status

    # -- start-up and exit ------------------------------------------------------------

    def latency_run(self):
        write_settings(self.desk)
        self._wait_for_pattern()
        started = time.monotonic()
        proc = self.desk.start_plain(self.desk.scr, "/s")
        last = started
        while True:
            frame = self.grabber.grab()
            now = time.monotonic()
            self.grab_intervals.append(now - last)
            last = now
            if shows_birds(frame, self.baseline, DEFAULT_BIRDS, PATCH):
                break
            if now - started > 60 or proc.poll() is not None:
                raise RuntimeError("no bird on screen (saver status %r)" % proc.poll())
        first_bird = now - started
        time.sleep(0.5)
        exit_latency, status = self._end(proc)
        if status != 0:
            raise RuntimeError("the saver ended with %d" % status)
        return first_bird, exit_latency

    # -- CPU and steps ----------------------------------------------------------------

    def _start(self, program, birds, delay, trace):
        debug = TRACE if trace else None
        if program == "saver":
            write_settings(self.desk, delay, birds)
            return self.desk.start_plain(self.desk.scr, "/s", debug=debug)
        return self.desk.start_plain(self.args.reference, str(birds), str(delay), debug=debug)

    def cpu_run(self, program, birds, delay, seconds, trace=True):
        """CPU seconds per second, steps per second and peak memory over `seconds` of
        steady running (the start-up and the first second of steps left out)."""
        self._wait_for_pattern()
        proc = self._start(program, birds, delay, trace)
        if trace:
            wait_until(lambda: steps_so_far(proc) > 0, 120, 0.05, "%s's first step" % program)
        time.sleep(1.0 if trace else 2.0)

        def sample():
            return (cpu_seconds(proc.pid), steps_so_far(proc) if trace else 0, time.monotonic())

        cpu0, steps0, t0 = sample()
        time.sleep(seconds)
        cpu1, steps1, t1 = sample()
        peak = peak_memory_kib(proc.pid)
        self._end(proc, 120)
        elapsed = t1 - t0
        return {"cpu": (cpu1 - cpu0) / elapsed, "steps": (steps1 - steps0) / elapsed,
                "peak": peak}


def median(values):
    return statistics.median(values)


def measure(bench, args):
    results = {"startup": [], "exit": [], "flock": {}, "defaults": []}
    bench.latency_run()  # warms the prefix and the file cache; not counted
    for _ in range(args.repeats_latency):
        first, leave = bench.latency_run()
        results["startup"].append(first)
        results["exit"].append(leave)
        print("  start-up %.3f s, exit %.3f s" % (first, leave), flush=True)
    for birds in FLOCKS:
        runs = {"saver": [], "reference": []}
        for _ in range(args.repeats):
            # Alternating the two keeps a change in the machine's load out of the ratio.
            for program in ("saver", "reference"):
                run = bench.cpu_run(program, birds, ASKED_DELAY, args.seconds)
                runs[program].append(run)
                print("  %s %4d birds: %.1f %% CPU, %.1f steps/s, peak %d KiB"
                      % (program, birds, 100 * run["cpu"], run["steps"], run["peak"]),
                      flush=True)
        results["flock"][birds] = runs
    for _ in range(args.repeats_defaults):
        run = bench.cpu_run("saver", DEFAULT_BIRDS, None, args.default_seconds, trace=False)
        results["defaults"].append(run)
        print("  defaults: %.2f %% CPU, peak %d KiB" % (100 * run["cpu"], run["peak"]),
              flush=True)
    return results


def per_bird_step_us(runs, birds):
    """Median over runs of CPU microseconds per bird per step; runs without a step (a
    program that never got going) are left out, and None when no run is left."""
    values = [1e6 * r["cpu"] / (r["steps"] * birds) for r in runs if r["steps"] > 0]
    return median(values) if values else None


def verdict(ok):
    return "yes" if ok else "**no**"


def machine_line():
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    wine = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True).stdout.strip()
    return "%s, %d cores (%s), %s, Xvfb 1024x768x24" % (
        datetime.date.today().isoformat(), os.cpu_count() or 0, cpu, wine)


def table(results, args, poll_ms):
    rows = []
    startup = median(results["startup"])
    exit_latency = median(results["exit"])
    rows.append(("Start-up: process start to first bird on screen (defaults; screen polled "
                 "every %.0f ms)" % poll_ms, "%.0f ms" % (1000 * startup), "<= 1000 ms",
                 verdict(startup <= 1.0)))
    rows.append(("Exit: key press (xdotool, XTest) to process exit", "%.0f ms"
                 % (1000 * exit_latency), "<= 100 ms", verdict(exit_latency <= 0.1)))
    for birds in FLOCKS:
        runs = results["flock"][birds]
        saver = per_bird_step_us(runs["saver"], birds)
        reference = per_bird_step_us(runs["reference"], birds)
        ratio = saver / reference if saver and reference else None
        target = "<= 1.3" if birds == 100 else ""
        met = verdict(ratio is not None and ratio <= 1.3) if birds == 100 else ""
        result = ("%.1f / %.1f us = **%.2f**" % (saver, reference, ratio) if ratio
                  else "no steps counted")
        rows.append(("CPU per bird-step, %d birds, Delay 10: saver / reference" % birds,
                     result, target, met))
    defaults = median([r["cpu"] for r in results["defaults"]])
    rows.append(("CPU at the defaults (3 birds, 200 ms), share of one core over %d s"
                 % args.default_seconds, "%.2f %%" % (100 * defaults), "<= 1 %",
                 verdict(defaults <= 0.01)))
    for birds in FLOCKS:
        runs = results["flock"][birds]
        saver = median([r["steps"] for r in runs["saver"]])
        reference = median([r["steps"] for r in runs["reference"]])
        rows.append(("Steps per second, %d birds, timer asked for %d/s (reference)"
                     % (birds, 1000 // ASKED_DELAY), "%.1f (%.1f)" % (saver, reference), "", ""))
    peak_defaults = median([r["peak"] for r in results["defaults"]])
    peak_1000 = median([r["peak"] for r in results["flock"][1000]["saver"]])
    rows.append(("Peak memory (VmHWM), defaults / 1000 birds", "%.1f / %.1f MiB"
                 % (peak_defaults / 1024, peak_1000 / 1024), "", ""))
    size32 = os.path.getsize(args.scr32)
    size64 = os.path.getsize(args.scr64)
    rows.append(("Size of quillet.scr (32-bit) / quillet64.scr (64-bit)", "%d / %d bytes"
                 % (size32, size64), "quillet.scr <= 204800", verdict(size32 <= 200 * 1024)))
    lines = ["Measured on %s; medians of %d runs (start-up and exit), %d runs of %d s (CPU, "
             "steps), %d runs (defaults)." % (machine_line(), args.repeats_latency,
                                               args.repeats, args.seconds,
                                               args.repeats_defaults),
             "", "| Measure | Result | Target | Met |", "|---|---|---|---|"]
    lines += ["| %s | %s | %s | %s |" % row for row in rows]
    lines += ["", "CPU time: utime + stime of the program's process in /proc/<pid>/stat. Steps: "
              "counted from outside in Wine's message trace (one WM_TIMER dispatch per step; "
              "saver and reference both traced). Reference: tools/bench/blit_reference.cpp, the "
              "same four block transfers per bird on the same artwork and surface sizes, "
              "nothing else."]
    return "\n".join(lines) + "\n"


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--scr64", required=True)
    parser.add_argument("--scr32", required=True)
    parser.add_argument("--helpers", required=True, help="folder of pattern_desktop.exe")
    parser.add_argument("--reference", required=True, help="blit_reference.exe (64-bit)")
    parser.add_argument("--prefix", required=True, help="Wine prefix, created when missing")
    parser.add_argument("--out", required=True, help="Markdown file for the table")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--repeats-latency", type=int, default=5)
    parser.add_argument("--repeats-defaults", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--default-seconds", type=int, default=30)
    return parser.parse_args(argv)


def main(argv):
    args = parse_args(argv)
    os.environ["QUILLET_SCR"] = os.path.abspath(args.scr64)
    os.environ["QUILLET_WIN_HELPERS"] = os.path.abspath(args.helpers)
    args.reference = os.path.abspath(args.reference)
    args.prefix = os.path.abspath(args.prefix)
    if not os.path.exists(os.path.join(args.prefix, "system.reg")):
        print("creating the Wine prefix %s" % args.prefix, flush=True)
        quillet_wine.setup_prefix(args.prefix)
    started = time.monotonic()
    with WineDesktop(prefix=args.prefix) as desk:
        desk.pattern_desktop()
        bench = Bench(desk, args)
        results = measure(bench, args)
        poll_ms = 1000 * median(bench.grab_intervals)
        bench.grabber.close()
    text = table(results, args, poll_ms)
    with open(args.out, "w") as f:
        f.write(text)
    print()
    print(text)
    print("(%.0f s; written to %s)" % (time.monotonic() - started, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
