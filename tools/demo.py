#!/usr/bin/python3
"""`make demo`: runs the saver full screen under Wine over a sample desktop: the product,
quillet.scr, where this machine runs 32-bit programs, else the 64-bit build.

With an X display (and no --capture) the Wine virtual desktop opens on it and the saver runs
until you press a key, click or move the mouse. Without one, the saver runs on a private Xvfb
for a few seconds and the run is recorded as <out>/demo.gif (scaled down) and <out>/demo.png
(one full-size frame); then a key ends it and the exit code is reported.

    PYTHONPATH=tools/wine tools/demo.py --scr32 dist/quillet.scr --scr64 dist/quillet64.scr \
        --helpers build/win64/tests/windows_helpers \
        --sample-desktop build/win64/tools/sample_desktop/sample_desktop.exe \
        --prefix build/demo/prefix --out dist [--capture]
"""

import argparse
import os
import subprocess
import sys
import time

from PIL import Image as PilImage

import quillet_wine
from quillet_wine import WineDesktop, wait_until

# Livelier than the defaults (200 ms, 3 birds), so a few seconds of capture show a flock.
DEMO_SETTINGS = {"delay": 80, "birds": 5}
FRAMES = 28
FRAME_INTERVAL = 0.2  # seconds between captures
GIF_SIZE = (512, 384)
START_BUTTON = ((8, 750), (214, 214, 214))  # a pixel the sample desktop always paints


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scr32", required=True, help="quillet.scr, the 32-bit product")
    parser.add_argument("--scr64", required=True, help="quillet64.scr, the 64-bit build")
    parser.add_argument("--helpers", required=True,
                        help="folder of the 64-bit Windows helper programs (win_probe.exe)")
    parser.add_argument("--sample-desktop", required=True, help="sample_desktop.exe (64-bit)")
    parser.add_argument("--prefix", required=True, help="Wine prefix for the demo")
    parser.add_argument("--out", required=True, help="folder for demo.gif and demo.png")
    parser.add_argument("--capture", action="store_true",
                        help="record the GIF even when a display is available")
    return parser.parse_args(argv)


def usable_display():
    display = os.environ.get("DISPLAY")
    if not display:
        return None
    answer = subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return display if answer.returncode == 0 else None


def choose_scr(args, runs_32bit, why):
    """The file to show and the line that says which; why is what the 32-bit probe said."""
    if runs_32bit:
        return args.scr32, "Showing quillet.scr, the 32-bit product."
    return args.scr64, "Showing quillet64.scr, the 64-bit build: %s." % why


def prepare_prefix(prefix, runs_32bit):
    """Creates the demo's own prefix the first time (about 10 s), and again when the one kept
    from an earlier run no longer suits this machine's Wine; later runs reuse it."""
    if not quillet_wine.kept_prefix_is_stale(prefix, runs_32bit):
        return
    print("Creating a Wine prefix for the demo in %s ..." % prefix, flush=True)
    quillet_wine.setup_prefix(prefix)


def show_sample_desktop(desk, program):
    desk.start(os.path.abspath(program))
    pixel, colour = START_BUTTON
    wait_until(lambda: desk.screenshot().pixel(*pixel) == colour, 60, 0.3,
               "the sample desktop on screen")


def start_saver(desk):
    desk.write_settings(**DEMO_SETTINGS)
    desk.mouse_move(512, 384)
    proc = desk.start(desk.scr, "/s")
    wait_until(lambda: desk.find_window("WindowsScreenSaverClass", "Screen Saver"), 60, 0.2,
               "the saver window")
    return proc


def run_on_display(desk, sample_desktop, display):
    show_sample_desktop(desk, sample_desktop)
    proc = start_saver(desk)
    print("The saver runs in the Wine desktop window on %s: press a key, click or move the "
          "mouse there to end it." % display, flush=True)
    while desk.is_running(proc):
        time.sleep(0.2)
    return desk.wait_exit(proc, 10)


def capture_frames(desk):
    """FRAMES screenshots about FRAME_INTERVAL apart; returns them and the mean interval."""
    frames = []
    started = time.monotonic()
    for i in range(FRAMES):
        due = started + i * FRAME_INTERVAL
        time.sleep(max(0.0, due - time.monotonic()))
        frames.append(desk.screenshot())
    return frames, (time.monotonic() - started) / FRAMES


def write_gif(frames, interval, gif):
    # One palette for every frame, so the parts that stay still stay equal from frame to frame
    # and the file stores little more than the birds' moves.
    small = [frame.picture.resize(GIF_SIZE) for frame in frames]
    palette = small[0].quantize(255)
    indexed = [picture.quantize(palette=palette, dither=PilImage.Dither.NONE)
               for picture in small]
    indexed[0].save(gif, save_all=True, append_images=indexed[1:], loop=0, optimize=True,
                    duration=max(20, round(interval * 1000)))


def run_and_capture(desk, sample_desktop, out):
    show_sample_desktop(desk, sample_desktop)
    proc = start_saver(desk)
    time.sleep(1.0)  # let the flock leave its start points
    frames, interval = capture_frames(desk)
    gif = os.path.join(out, "demo.gif")
    png = os.path.join(out, "demo.png")
    write_gif(frames, interval, gif)
    frames[len(frames) // 2].save_png(png)
    desk.key("space")
    code = desk.wait_exit(proc, 60)
    for path in (gif, png):
        print("wrote %s (%d KB)" % (path, (os.path.getsize(path) + 1023) // 1024))
    return code


def main(argv):
    args = parse_args(argv)
    # A probe that could not tell (status 2) counts as no; its -v line says which and why.
    probe = subprocess.run([os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                         "runs-32bit.sh"), "-v"], capture_output=True, text=True)
    runs_32bit = probe.returncode == 0
    scr, which = choose_scr(args, runs_32bit, probe.stderr.strip())
    print(which, flush=True)
    os.environ["QUILLET_SCR"] = os.path.abspath(scr)
    os.environ["QUILLET_WIN_HELPERS"] = os.path.abspath(args.helpers)
    prefix = os.path.abspath(args.prefix)
    os.makedirs(args.out, exist_ok=True)
    prepare_prefix(prefix, runs_32bit)
    display = None if args.capture else usable_display()
    with WineDesktop(prefix=prefix, display=display) as desk:
        if display:
            code = run_on_display(desk, args.sample_desktop, display)
        else:
            print("No display: recording the saver on a virtual one.", flush=True)
            code = run_and_capture(desk, args.sample_desktop, args.out)
    print("The saver ended with exit code %d." % code)
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
