"""A secure run: Windows starts a secure screen saver on a desktop of its own named
"Screen-saver", from which the user's desktop cannot be read, and the saver then shows the
desktop background as Windows draws it with no windows on it. Wine opens such a desktop with
`wine explorer /desktop=Screen-saver,1024x768 <program>`, as its own X window; the program's
thread then reads that name, as on Windows. With no birds (CharNumber = 0) that window must show
exactly the wallpaper placed by a reference made with Pillow from the same file, over the
background colour.

The cases are ones Wine's own desktop gets wrong, so that a saver which copied that desktop
would fail: Wine paints a BMP from its top-left corner when it is larger than the screen,
whatever the style, and no JPEG at all. desktop_launcher.exe starts the saver on that desktop
and writes down its exit code (explorer's is not the saver's)."""

import os
import time
import unittest

from PIL import Image as PilImage
from PIL import ImageChops
import Xlib.X
import Xlib.display

from quillet_wine import (DesktopTestCase, build_bits, command_line, wait_until,
                          windows_path)

DESKTOP = "Screen-saver"
WIDTH, HEIGHT = 1024, 768
COLOUR = (30, 60, 90)  # the background colour, the system's COLOR_DESKTOP
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def tall_bmp(path):
    """As wide as the screen and taller; every row of 256 has its own blue, so a picture shifted
    by some rows cannot match."""
    picture = PilImage.new("RGB", (WIDTH, 1200))
    picture.putdata([(x % 256, y % 256, (y // 256) * 40) for y in range(1200) for x in range(WIDTH)])
    picture.save(path, "BMP")
    return picture


def wide_jpeg(path):
    """Wider than the screen's proportions, smooth, so that the decoder and the resampling
    differ from the reference's by little."""
    picture = PilImage.new("RGB", (800, 300))
    picture.putdata([(40 + x * 200 // 800, 30 + y * 180 // 300, 200 - (x + y) * 150 // 1100)
                     for y in range(300) for x in range(800)])
    picture.save(path, "JPEG", quality=95)
    return PilImage.open(path).convert("RGB")


def filled(picture):
    """Fill: scaled to cover the screen, cropped equally on both sides."""
    scale = max(WIDTH / picture.width, HEIGHT / picture.height)
    size = (round(picture.width * scale), round(picture.height * scale))
    scaled = picture if size == picture.size else picture.resize(size, PilImage.BILINEAR)
    left, top = (size[0] - WIDTH) // 2, (size[1] - HEIGHT) // 2
    return scaled.crop((left, top, left + WIDTH, top + HEIGHT))


def fitted(picture):
    """Fit: scaled to meet the screen's nearer edges, centred over the colour."""
    scale = min(WIDTH / picture.width, HEIGHT / picture.height)
    size = (round(picture.width * scale), round(picture.height * scale))
    canvas = PilImage.new("RGB", (WIDTH, HEIGHT), COLOUR)
    canvas.paste(picture.resize(size, PilImage.BILINEAR),
                 ((WIDTH - size[0]) // 2, (HEIGHT - size[1]) // 2))
    return canvas


# name, the wallpaper file (None: no wallpaper), WallpaperStyle, the reference, and the largest
# difference of one colour component allowed anywhere.
CASES = [
    ("bmp-fill", "tall.bmp", "10", lambda folder: filled(tall_bmp(folder)), 0),
    ("jpeg-fit", "wide.jpg", "6", lambda folder: fitted(wide_jpeg(folder)), 6),
    ("no-wallpaper", None, "0", lambda folder: PilImage.new("RGB", (WIDTH, HEIGHT), COLOUR), 0),
]


def grab_window(display, window_id):
    """The X window's own pixels, 24 bits deep."""
    connection = Xlib.display.Display(display)
    try:
        window = connection.create_resource_object("window", window_id)
        size = window.get_geometry()
        reply = window.get_image(0, 0, size.width, size.height, Xlib.X.ZPixmap, 0xFFFFFFFF)
        return PilImage.frombytes("RGB", (size.width, size.height), reply.data, "raw", "BGRX")
    finally:
        connection.close()


def largest_difference(shot, reference):
    if shot.size != reference.size:
        return 255
    return max(high for _, high in ImageChops.difference(shot, reference).getextrema())


class SecureDesktopTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.desk.reg_add(r"HKCU\Control Panel\Colors", "Background", "%d %d %d" % COLOUR)
        cls.desk.write_settings(birds=0)

    def report(self, path):
        try:
            with open(path) as f:
                return f.read().split("\n")
        except FileNotFoundError:
            return []

    def run_secure(self, name, reference, tolerance):
        """Runs the saver on the second desktop; returns the last grab, its largest difference
        from the reference, and the launcher's report once a key has ended the run."""
        desk = self.desk
        report = os.path.join(desk.dir, "%s.txt" % name)
        saver = command_line((desk.scr, "/s")).encode("latin-1").hex()
        desk.start_plain("explorer", "/desktop=%s,%dx%d" % (DESKTOP, WIDTH, HEIGHT),
                         desk.helper("desktop_launcher.exe"), windows_path(report), saver)
        window = wait_until(lambda: desk.x_windows("%s - Wine desktop" % DESKTOP), 60, 0.2,
                            "the second desktop's X window")[0]
        wait_until(lambda: "idle" in self.report(report), 60, 0.2, "the saver to wait for input")
        # The window shows the back buffer from its first erase and the first step on.
        deadline = time.monotonic() + 10
        while True:
            shot = grab_window(desk.display, window)
            difference = largest_difference(shot, reference)
            if difference <= tolerance or time.monotonic() > deadline:
                break
            time.sleep(0.3)
        # Kept beside the test's other output (the build folder) for a person to look at.
        shot.save("secure-desktop-%d-%s.png" % (build_bits(), name))
        desk.key("a")
        wait_until(lambda: any(l.startswith("exit ") for l in self.report(report)), 60, 0.2,
                   "the saver to end")
        # Wine closes the desktop about a second after its last program; the next case gets a
        # fresh one, painted by Wine from that case's own settings.
        wait_until(lambda: not desk.x_windows("%s - Wine desktop" % DESKTOP), 60, 0.2,
                   "the second desktop to close")
        return shot, difference, self.report(report)

    def test_a_secure_run_shows_the_wallpaper_placed_as_windows_places_it(self):
        for name, file_name, style, make_reference, tolerance in CASES:
            with self.subTest(name):
                started = time.monotonic()
                if file_name:
                    path = os.path.join(self.desk.dir, file_name)
                    reference = make_reference(path)
                    self.desk.reg_add(DESKTOP_KEY, "Wallpaper", windows_path(path))
                else:
                    reference = make_reference(None)
                    self.desk.reg_add(DESKTOP_KEY, "Wallpaper", "")
                self.desk.reg_add(DESKTOP_KEY, "WallpaperStyle", style)
                self.desk.reg_add(DESKTOP_KEY, "TileWallpaper", "0")
                shot, difference, report = self.run_secure(name, reference, tolerance)
                print("%s: %s; largest difference %d (allowed %d); %.1f s"
                      % (name, ", ".join(l for l in report if l), difference, tolerance,
                         time.monotonic() - started))
                self.assertIn("desktop %s" % DESKTOP, report)
                self.assertLessEqual(difference, tolerance, "see secure-desktop-%d-%s.png in %s"
                                     % (build_bits(), name, os.getcwd()))
                self.assertIn("exit 0", report)


if __name__ == "__main__":
    unittest.main(verbosity=2)
