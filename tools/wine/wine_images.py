"""Pictures of the screen: grabbing the X display, comparing two pictures, and the pattern that
pattern_desktop.exe paints, which most scenarios and the benchmark compare the screen with."""

import functools
import re

from PIL import Image as PilImage
from PIL import ImageChops, ImageGrab
import Xlib.X
import Xlib.display

from wine_prefix import SCREEN_HEIGHT, SCREEN_WIDTH

_NONZERO_RUN = re.compile(b"[^\\x00]+")


def expected_pattern(x, y):
    """The colour pattern_desktop.exe paints at the Windows screen point (x, y); left of or
    above the primary monitor x or y is negative. In step with PatternPixel() there: Python's
    // and % round down, as that one's FloorDiv and FloorMod do."""
    red = 40 + (x // 8) % 128
    green = 40 + (y // 6) % 128
    blue = (150 if (x // 32 + y // 32) % 2 else 90) - 12 * (x // 1024 % 4) - 3 * (y // 768 % 4)
    return (red, green, blue)


class Image:
    """A picture of the screen, or one to compare it with (a Pillow image underneath):
    width, height, pixel(x, y) -> (r, g, b), and where it differs from another picture."""

    def __init__(self, picture):
        self.picture = picture if picture.mode == "RGB" else picture.convert("RGB")
        self.width, self.height = self.picture.size
        self._pixels = self.picture.load()
        self._rgb = None

    @staticmethod
    def from_colours(width, height, colour_at):
        """The picture whose pixel (x, y) is colour_at(x, y)."""
        # FIXME: a Python call per pixel, half a second for a 1024x768 pattern; each size is
        # made once (pattern_picture), but the pattern could be drawn with Pillow's own fills.
        data = bytes(c for y in range(height) for x in range(width) for c in colour_at(x, y))
        return Image(PilImage.frombytes("RGB", (width, height), data))

    def pixel(self, x, y):
        return self._pixels[x, y]

    @property
    def rgb(self):
        """bytes, three per pixel, rows top to bottom."""
        if self._rgb is None:
            self._rgb = self.picture.tobytes()
        return self._rgb

    def save_png(self, path):
        self.picture.save(path, "PNG")

    def count_colour(self, colour, box=None):
        """How many pixels in box (left, top, right, bottom; default: all) are `colour`."""
        found = self.picture.crop(box or (0, 0, self.width, self.height)).getcolors(1 << 24)
        return sum(n for n, c in found if c == colour)

    def count_differing(self, other, box=None):
        """How many pixels in box differ from the other picture's."""
        box = box or (0, 0, self.width, self.height)
        mask = _difference_mask(self.picture.crop(box), other.picture.crop(box))
        return mask.width * mask.height - mask.histogram()[0]

    def same_as(self, other):
        return self.rgb == other.rgb

    def differing_runs(self, other):
        """(y, left, right) of every run of pixels in a row, right exclusive, whose colour
        is not the other picture's, top to bottom and left to right."""
        # Comparing the bytes first is several times quicker than the difference below, and
        # the benchmark polls the screen for its first change.
        if self.same_as(other):
            return
        mask = _difference_mask(self.picture, other.picture)
        _, top, _, bottom = mask.getbbox()
        data = mask.tobytes()
        for y in range(top, bottom):
            for run in _NONZERO_RUN.finditer(data, y * self.width, (y + 1) * self.width):
                yield y, run.start() - y * self.width, run.end() - y * self.width


def _difference_mask(first, second):
    """One band, not zero where the two pictures' colours differ."""
    bands = ImageChops.difference(first, second).split()
    return ImageChops.lighter(ImageChops.lighter(bands[0], bands[1]), bands[2])


@functools.lru_cache(maxsize=None)
def pattern_picture(width=SCREEN_WIDTH, height=SCREEN_HEIGHT, origin=(0, 0)):
    """The pattern desktop's screen, made once for each size and origin, the Windows point at
    the screenshot's 0,0 (left of or above 0,0 with several monitors)."""
    left, top = origin
    return Image.from_colours(width, height, lambda x, y: expected_pattern(x + left, y + top))


def differing_runs(image, origin=(0, 0), desktop=None):
    """(y, left, right) of the runs of pixels that are not the desktop's: the picture given,
    else the pattern's with the origin as for pattern_picture."""
    return image.differing_runs(desktop or pattern_picture(image.width, image.height, origin))


def differing_pixels(image, origin=(0, 0), desktop=None):
    """Every (x, y) whose colour is not the desktop's; as for differing_runs."""
    for y, left, right in differing_runs(image, origin, desktop):
        for x in range(left, right):
            yield x, y


def grab_screen(display):
    """The whole root window of the X display (":N"), read through XCB in one request."""
    try:
        return Image(ImageGrab.grab(xdisplay=display))
    except OSError as error:
        # Pillow reads 24 and 32 bits per pixel only; a 16-bit display is read as it stores
        # its pixels, 5-6-5 bits of red, green and blue in two bytes, lowest byte first.
        if "bit depth" not in str(error):
            raise
        return _grab_16_bit_screen(display)


def _grab_16_bit_screen(display):
    connection = Xlib.display.Display(display)
    try:
        root = connection.screen().root
        size = root.get_geometry()
        reply = root.get_image(0, 0, size.width, size.height, Xlib.X.ZPixmap, 0xFFFFFFFF)
        if reply.depth != 16:
            raise RuntimeError("cannot read a screen of %d bits per pixel" % reply.depth)
        return Image(PilImage.frombytes("RGB", (size.width, size.height), reply.data, "raw",
                                        "BGR;16"))
    finally:
        connection.close()
