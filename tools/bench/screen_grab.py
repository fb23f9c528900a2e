"""Fast whole-screen grabs of an X display for the benchmark: XGetImage through ctypes takes a
few milliseconds where ImageMagick's `import` takes a few hundred, which is what makes
start-up latency measurable to within one grab."""

import ctypes
import ctypes.util

Z_PIXMAP = 2
ALL_PLANES = ctypes.c_ulong(~0 & 0xFFFFFFFFFFFFFFFF)


class XImage(ctypes.Structure):
    # Only the leading fields are read; the structure is always used through a pointer.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


def _load_xlib():
    lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XDefaultRootWindow.restype = ctypes.c_ulong
    lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    lib.XGetImage.restype = ctypes.POINTER(XImage)
    lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    lib.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return lib


class ScreenGrabber:
    """grab() -> Frame of the whole root window of `display` (":N")."""

    def __init__(self, display, width, height):
        self.xlib = _load_xlib()
        self.connection = self.xlib.XOpenDisplay(display.encode())
        if not self.connection:
            raise RuntimeError("cannot open X display %s" % display)
        self.root = self.xlib.XDefaultRootWindow(self.connection)
        self.width = width
        self.height = height

    def grab(self):
        image = self.xlib.XGetImage(self.connection, self.root, 0, 0, self.width, self.height,
                                    ALL_PLANES, Z_PIXMAP)
        if not image:
            raise RuntimeError("XGetImage failed")
        info = image.contents
        if info.bits_per_pixel != 32:
            self.xlib.XDestroyImage(image)
            raise RuntimeError("expected 32 bits per pixel, got %d" % info.bits_per_pixel)
        stride = info.bytes_per_line
        data = ctypes.string_at(info.data, stride * info.height)
        self.xlib.XDestroyImage(image)
        return Frame(self.width, self.height, stride, data)

    def close(self):
        if self.connection:
            self.xlib.XCloseDisplay(self.connection)
            self.connection = None


class Frame:
    """One grab: rows of 32-bit pixels, blue, green, red and a pad byte."""

    def __init__(self, width, height, stride, data):
        self.width = width
        self.height = height
        self.stride = stride
        self.data = data

    def row(self, y):
        return self.data[y * self.stride:y * self.stride + self.width * 4]

    def pixel(self, x, y):
        at = y * self.stride + x * 4
        blue, green, red = self.data[at], self.data[at + 1], self.data[at + 2]
        return (red, green, blue)

    def differing_rows(self, baseline):
        """Indices of the rows that are not byte-equal to the baseline frame's."""
        return [y for y in range(self.height) if self.row(y) != baseline.row(y)]

    def differing_pixels_in_row(self, baseline, y):
        mine, theirs = self.row(y), baseline.row(y)
        return sum(1 for x in range(0, self.width * 4, 4)
                   if mine[x:x + 3] != theirs[x:x + 3])


def shows_birds(frame, baseline, birds, patch):
    """True when the frame differs from the baseline desktop, and only within what `birds`
    patches of patch x patch pixels can cover: a black or half-drawn window, which differs
    almost everywhere, is not a frame with birds."""
    rows = frame.differing_rows(baseline)
    if not rows or len(rows) > birds * patch:
        return False
    return all(frame.differing_pixels_in_row(baseline, y) <= birds * patch
               for y in rows[::max(1, len(rows) // 8)])
