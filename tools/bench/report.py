"""The benchmark's Markdown table: one column per build, each figure a median over runs, and
whether each build meets its target."""

import datetime
import os
import platform
import statistics
import subprocess

FLOCKS = (10, 100, 1000)
ASKED_DELAY = 10
WIDTHS = ("32-bit", "64-bit")


def median(values):
    return statistics.median(values)


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


def flock_ratio(result, birds):
    runs = result["flock"][birds]
    saver = per_bird_step_us(runs["saver"], birds)
    reference = per_bird_step_us(runs["reference"], birds)
    ratio = saver / reference if saver and reference else None
    text = ("%.1f / %.1f us = **%.2f**" % (saver, reference, ratio) if ratio
            else "no steps counted")
    return text, ratio


def figures(poll_ms, default_seconds):
    """Every row but the file size: (measure, target, figure), where figure(result of one
    build) gives the cell's text and whether the target is met (None without a target)."""
    def latency(key, limit):
        def figure(result):
            seconds = median(result[key])
            return "%.0f ms" % (1000 * seconds), seconds <= limit
        return figure

    def flock_startup(result):
        seconds, at_defaults = median(result["startup_flock"]), median(result["startup"])
        return ("%.0f ms = %.2f x defaults" % (1000 * seconds, seconds / at_defaults),
                seconds <= 1.5 * at_defaults)

    def ratio(birds):
        def figure(result):
            text, value = flock_ratio(result, birds)
            return text, (value is not None and value <= 0.2) if birds >= 100 else None
        return figure

    def steps(birds):
        def figure(result):
            runs = result["flock"][birds]
            saver = median([r["steps"] for r in runs["saver"]])
            reference = median([r["steps"] for r in runs["reference"]])
            text = "%.1f (%.1f) = %.1f x" % (saver, reference, saver / reference if reference
                                             else float("inf"))
            met = {100: saver >= 0.9 * 1000 / ASKED_DELAY, 1000: saver >= 10 * reference}
            return text, met.get(birds)
        return figure

    def defaults(result):
        share = median([r["cpu"] for r in result["defaults"]])
        return "%.2f %%" % (100 * share), share <= 0.01

    def peak(result):
        at_defaults = median([r["peak"] for r in result["defaults"]])
        at_1000 = median([r["peak"] for r in result["flock"][1000]["saver"]])
        return ("%.1f / %.1f MiB" % (at_defaults / 1024, at_1000 / 1024),
                at_1000 <= 1.5 * at_defaults)

    rows = [("Start-up: process start to first bird on screen (defaults; screen polled every "
             "%.0f ms)" % poll_ms, "<= 1000 ms", latency("startup", 1.0)),
            ("Start-up with 1000 birds (Delay 200), against the defaults'", "<= 1.5 x",
             flock_startup),
            ("Exit: key press (xdotool, XTest) to process exit", "<= 100 ms",
             latency("exit", 0.1))]
    rows += [("CPU per bird-step, %d birds, Delay 10: saver / reference" % birds,
              "<= 0.2" if birds >= 100 else "", ratio(birds)) for birds in FLOCKS]
    rows.append(("CPU at the defaults (3 birds, 200 ms), share of one core over %d s"
                 % default_seconds, "<= 1 %", defaults))
    step_targets = {100: ">= 90", 1000: ">= 10 x reference"}
    rows += [("Steps per second, %d birds, timer asked for %d/s: saver (reference) = ratio"
              % (birds, 1000 // ASKED_DELAY), step_targets.get(birds, ""), steps(birds))
             for birds in FLOCKS]
    rows.append(("Peak memory (VmHWM), defaults / 1000 birds", "1000 birds <= 1.5 x defaults",
                 peak))
    return rows


def table_line(measure, target, cells):
    """One row: the measure, a (text, met) cell per build, the target and, when there is
    one, whether each build meets it."""
    met = " / ".join("-" if ok is None else verdict(ok) for _, ok in cells) if target else ""
    return "| %s | %s | %s | %s | %s |" % (measure, cells[0][0], cells[1][0], target, met)


def table(results, args, poll_ms, machine):
    """The Markdown table, one column per build; a build that was not run says so in every
    row it has no figure for."""
    lines = ["Measured on %s; medians of %d runs (start-up and exit), %d runs of %d s (CPU, "
             "steps), %d runs (defaults)." % (machine, args.repeats_latency, args.repeats,
                                               args.seconds, args.repeats_defaults),
             "", "| Measure | 32-bit (quillet.scr) | 64-bit (quillet64.scr) | Target | "
             "Met (32 / 64) |", "|---|---|---|---|---|"]
    for measure, target, figure in figures(poll_ms, args.default_seconds):
        cells = [figure(results[width]) if width in results else ("not run", None)
                 for width in WIDTHS]
        lines.append(table_line(measure, target, cells))
    size32, size64 = os.path.getsize(args.scr32), os.path.getsize(args.scr64)
    lines.append(table_line("File size", "quillet.scr <= 204800 bytes",
                            [("%d bytes" % size32, size32 <= 200 * 1024),
                             ("%d bytes" % size64, None)]))
    lines += ["", "CPU time: utime + stime of the program's Linux process in /proc/<pid>/stat, "
              "found by its name among the processes its launcher started (a 64-bit program "
              "is started through Wine's 64-bit loader, a 32-bit one through `wine`, and each "
              "runs in its launcher's own process). Steps: "
              "counted from outside in Wine's message trace (one WM_TIMER dispatch per step; "
              "saver and reference both traced). Reference: tools/bench/blit_reference.cpp, "
              "built for the same width: the drawing users had before the flock was composed "
              "in memory, four GDI block transfers per bird on the bird's own bitmaps, nothing "
              "else."]
    return "\n".join(lines) + "\n"
