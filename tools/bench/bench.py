"""`make bench`: runs both builds of the saver, each beside the blit reference built for the
same width, under Wine on a private Xvfb display and prints one table of start-up (at the
defaults and with 1000 birds) and exit latency, CPU per bird-step and steps per second against
the reference, CPU at the defaults, peak memory and file sizes, one column per build (also
written as Markdown to --out). The 32-bit column needs a machine that runs 32-bit programs.

How each figure is taken, all from outside the programs:
  - CPU time: utime + stime of the program's Linux process in /proc/<pid>/stat (all its
    threads; 10 ms clock ticks). That process is not always the launcher's: see
    linux_process.py.
  - Steps: Wine's message trace (WINEDEBUG=trace+message) prints one "WM_TIMER dispatched"
    line per timer message that reaches the window, and each timer message is one step of
    the whole flock. Saver and reference run with the same trace, so its cost is in both.
  - Start-up: from just before the launcher is started to the first grab of the screen
    (the harness's grab_screen, polled back to back) that shows a bird over the pattern
    desktop, at the defaults (3 birds, the first step 200 ms after the window is created);
    and the same with 1000 birds, to the first grab that shows the flock.
  - Exit: from just before `xdotool key a` (XTest) is started to the end of the program's
    process.
  - Peak memory: VmHWM in /proc/<pid>/status just before the key press.
A run that counts no steps, or a program whose process is not found, stops the benchmark with
an error instead of a table of zeros.
"""

import argparse
import collections
import os
import select
import subprocess
import sys
import time

import quillet_wine
from linux_process import cpu_seconds, find_program, peak_memory_kib, session_processes
from quillet_wine import WineDesktop, grab_screen, wait_until
from report import ASKED_DELAY, FLOCKS, WIDTHS, machine_line, median, table

PATCH = 128  # a bird's patch on screen: its 120-pixel frame and one 4-pixel step each side
DEFAULT_BIRDS = 3
DEFAULT_DELAY = 200
STARTUP_FLOCK = 1000
TRACE = "-all,trace+message"
STEP_LINE = b"WM_TIMER dispatched"

# One build of the saver with the reference built for the same width.
Build = collections.namedtuple("Build", "width scr reference")


def shows_flock(frame, baseline):
    """True when a flock too large to tell from a window is on screen: most sampled rows
    differ from the desktop, yet on most of them the desktop still shows between the birds
    (a black or half-drawn window differs almost everywhere, or on half the rows)."""
    widths = differing_widths(frame, baseline)
    rows = range(0, frame.height, 16)
    changed = [y for y in rows if widths[y]]
    if len(changed) < 0.9 * len(rows):
        return False
    kept = [y for y in changed if widths[y] < 0.9 * frame.width]
    return len(kept) >= 0.9 * len(changed)


def differing_widths(frame, baseline):
    """How many pixels of each row differ from the baseline."""
    widths = collections.Counter()
    for y, left, right in frame.differing_runs(baseline):
        widths[y] += right - left
    return widths


def steps_so_far(proc):
    with open(proc.stderr_path, "rb") as f:
        return f.read().count(STEP_LINE)


def shows_birds(frame, baseline, birds, patch):
    """True when the frame differs from the baseline desktop, and only within what `birds`
    patches of patch x patch pixels can cover: a black or half-drawn window, which differs
    almost everywhere, is not a frame with birds."""
    widths = differing_widths(frame, baseline)
    return 0 < len(widths) <= birds * patch and max(widths.values()) <= birds * patch


class Bench:
    def __init__(self, desk):
        self.desk = desk
        self.baseline = self.grab()
        if not desk.pattern_matches(self.baseline):
            raise RuntimeError("the pattern desktop is not on screen")
        self.grab_intervals = []

    def grab(self):
        return grab_screen(self.desk.display)

    def _wait_for_pattern(self):
        wait_until(lambda: self.grab().same_as(self.baseline), 30, 0.05,
                   "the pattern desktop back on screen")

    def _follow(self, proc, exe):
        """Sets proc.program to the pid of the Linux process that runs exe, which is not
        always the launcher's."""
        name = os.path.basename(exe)

        def found():
            if proc.poll() is not None:
                raise RuntimeError("%s ended with %d before its Linux process was found"
                                   % (name, proc.returncode))
            return find_program(session_processes(), proc.pid, exe)

        proc.program = wait_until(found, 60, 0.01, "the Linux process that runs " + name)

    def _end(self, proc, timeout=60):
        """Presses a key; returns (seconds until the program's process ended, the
        launcher's exit status)."""
        # Opened before the key: the program's process need not be our child, and once it
        # has ended and been reaped its pid may name another process.
        watch = os.pidfd_open(proc.program)
        try:
            started = time.monotonic()
            self.desk.key("a")
            if not select.select([watch], [], [], timeout)[0]:
                raise RuntimeError("the program still runs %d s after a key" % timeout)
            ended = time.monotonic() - started
        finally:
            os.close(watch)
        return ended, proc.wait(timeout)

    # -- start-up and exit ------------------------------------------------------------

    def latency_run(self, build, birds=None):
        """Start-up to the first birds on screen and exit, at the defaults or with `birds`
        birds and the default Delay."""
        if birds is None:
            self.desk.write_settings()  # no file: the defaults
        else:
            self.desk.write_settings(delay=DEFAULT_DELAY, birds=birds)
        self._wait_for_pattern()
        started = time.monotonic()
        proc = self.desk.start_plain(build.scr, "/s")
        last = started
        while True:
            frame = self.grab()
            now = time.monotonic()
            self.grab_intervals.append(now - last)
            last = now
            if birds is None and shows_birds(frame, self.baseline, DEFAULT_BIRDS, PATCH):
                break
            if birds is not None and shows_flock(frame, self.baseline):
                break
            if now - started > 60 or proc.poll() is not None:
                raise RuntimeError("no bird on screen (saver status %r)" % proc.poll())
        first_bird = now - started
        self._follow(proc, build.scr)  # only now: looking it up costs CPU the start-up needs
        time.sleep(0.5)
        exit_latency, status = self._end(proc)
        if status != 0:
            raise RuntimeError("%s ended with %d" % (os.path.basename(build.scr), status))
        return first_bird, exit_latency

    # -- CPU and steps ----------------------------------------------------------------

    def _start_flock(self, build, program, birds, delay, trace):
        if program == "saver":
            if delay is None:
                self.desk.write_settings()  # no file: the defaults
            else:
                self.desk.write_settings(delay=delay, birds=birds)
            exe, args = build.scr, ["/s"]
        else:
            exe, args = build.reference, [str(birds), str(delay)]
        proc = self.desk.start_plain(exe, *args, debug=TRACE if trace else None)
        self._follow(proc, exe)
        return proc

    def cpu_run(self, build, program, birds, delay, seconds, trace=True):
        """CPU seconds per second, steps per second and peak memory over `seconds` of
        steady running (the start-up and the first second of steps left out)."""
        self._wait_for_pattern()
        proc = self._start_flock(build, program, birds, delay, trace)
        what = "the %s %s with %d birds" % (build.width, program, birds)
        if trace:
            wait_until(lambda: steps_so_far(proc) > 0, 120, 0.05, "the first step of " + what)
        time.sleep(1.0 if trace else 2.0)

        def sample():
            return (cpu_seconds(proc.program), steps_so_far(proc) if trace else 0,
                    time.monotonic())

        cpu0, steps0, t0 = sample()
        time.sleep(seconds)
        cpu1, steps1, t1 = sample()
        peak = peak_memory_kib(proc.program)
        self._end(proc, 120)
        if trace and steps1 == steps0:
            raise RuntimeError("no steps counted for %s in %g s" % (what, seconds))
        elapsed = t1 - t0
        return {"cpu": (cpu1 - cpu0) / elapsed, "steps": (steps1 - steps0) / elapsed,
                "peak": peak}


def measure(bench, builds, args):
    """Figures of every build, keyed by its width. The builds take turns run by run, so a
    change in the machine's load falls on both columns alike."""
    results = {b.width: {"startup": [], "startup_flock": [], "exit": [], "flock": {},
                         "defaults": []} for b in builds}
    for build in builds:
        bench.latency_run(build)  # warms the prefix and the file cache; not counted
    for _ in range(args.repeats_latency):
        for build in builds:
            first, leave = bench.latency_run(build)
            results[build.width]["startup"].append(first)
            results[build.width]["exit"].append(leave)
            print("  %s start-up %.3f s, exit %.3f s" % (build.width, first, leave), flush=True)
            first, _ = bench.latency_run(build, STARTUP_FLOCK)
            results[build.width]["startup_flock"].append(first)
            print("  %s start-up with %d birds %.3f s" % (build.width, STARTUP_FLOCK, first),
                  flush=True)
    for birds in FLOCKS:
        for build in builds:
            results[build.width]["flock"][birds] = {"saver": [], "reference": []}
        for _ in range(args.repeats):
            for build in builds:
                runs = results[build.width]["flock"][birds]
                # Alternating the two keeps a change in the machine's load out of the ratio.
                for program in ("saver", "reference"):
                    run = bench.cpu_run(build, program, birds, ASKED_DELAY, args.seconds)
                    runs[program].append(run)
                    print("  %s %s %4d birds: %.1f %% CPU, %.1f steps/s, peak %d KiB"
                          % (build.width, program, birds, 100 * run["cpu"], run["steps"],
                             run["peak"]), flush=True)
    for _ in range(args.repeats_defaults):
        for build in builds:
            run = bench.cpu_run(build, "saver", DEFAULT_BIRDS, None, args.default_seconds,
                                trace=False)
            results[build.width]["defaults"].append(run)
            print("  %s defaults: %.2f %% CPU, peak %d KiB"
                  % (build.width, 100 * run["cpu"], run["peak"]), flush=True)
    return results


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--scr32", required=True, help="quillet.scr, the 32-bit product")
    parser.add_argument("--scr64", required=True, help="quillet64.scr, the 64-bit build")
    parser.add_argument("--reference32", required=True, help="blit_reference.exe (32-bit)")
    parser.add_argument("--reference64", required=True, help="blit_reference.exe (64-bit)")
    parser.add_argument("--helpers", required=True,
                        help="folder of the 64-bit Windows helper programs (pattern_desktop.exe)")
    parser.add_argument("--prefix", required=True, help="Wine prefix, made when missing or stale")
    parser.add_argument("--out", required=True, help="Markdown file for the table")
    parser.add_argument("--only", choices=WIDTHS, help="measure one build (a quick look)")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--repeats-latency", type=int, default=5)
    parser.add_argument("--repeats-defaults", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--default-seconds", type=int, default=30)
    return parser.parse_args(argv)


def builds_to_run(args, runs_32bit, why):
    builds = [Build("32-bit", os.path.abspath(args.scr32), os.path.abspath(args.reference32)),
              Build("64-bit", os.path.abspath(args.scr64), os.path.abspath(args.reference64))]
    if not runs_32bit:
        print("%s: the 32-bit column stays empty" % why, flush=True)
        builds = builds[1:]
    return [b for b in builds if args.only in (None, b.width)]


def run(args):
    # A probe that could not tell (status 2) counts as no; its -v line says which and why.
    probe = subprocess.run([os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir,
                                         "runs-32bit.sh"), "-v"], capture_output=True, text=True)
    runs_32bit = probe.returncode == 0
    builds = builds_to_run(args, runs_32bit, probe.stderr.strip())
    if not builds:
        raise RuntimeError("no build to measure on this machine")
    os.environ["QUILLET_WIN_HELPERS"] = os.path.abspath(args.helpers)
    prefix = os.path.abspath(args.prefix)
    if quillet_wine.kept_prefix_is_stale(prefix, runs_32bit):
        print("creating the Wine prefix %s" % prefix, flush=True)
        quillet_wine.setup_prefix(prefix)
    with WineDesktop(prefix=prefix) as desk:
        desk.pattern_desktop()
        bench = Bench(desk)
        results = measure(bench, builds, args)
        poll_ms = 1000 * median(bench.grab_intervals)
    return table(results, args, poll_ms, machine_line())


def main(argv):
    args = parse_args(argv)
    started = time.monotonic()
    try:
        text = run(args)
    except (RuntimeError, TimeoutError) as error:
        print("bench: error: %s" % error, file=sys.stderr)
        return 1
    with open(args.out, "w") as f:
        f.write(text)
    print()
    print(text)
    print("(%.0f s; written to %s)" % (time.monotonic() - started, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
