"""The resources of the built quillet.scr (32-bit) and quillet64.scr (64-bit), read from the
files as the loader finds them (pefile): artwork, dialog template, icon, description string
and version, all in Japanese (language 1041), and the bird artwork the drawing relies on."""

import io
import os
import re
import struct
import unittest

import pefile
from PIL import BmpImagePlugin, ImageChops

JAPANESE = 1041
RT_BITMAP, RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = (
    2, 3, 5, 6, 14, 16, 24)
CELL = 120
BITMAPS = ["BIRD1", "BIRD2", "BIRD3", "BIRD4", "MASK1", "MASK2", "MASK3", "MASK4"]
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                         "resources")
IDOK, IDCANCEL = 1, 2
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82  # the predefined classes' ordinals
WS_TABSTOP, BS_DEFPUSHBUTTON = 0x00010000, 0x1


def resource_ids():
    """{name: number} of the identifiers the resource script and the code share."""
    with open(os.path.join(RESOURCES, "resource.h")) as f:
        return {name: int(value) for name, value in re.findall(r"#define (\w+) (\d+)", f.read())}


def read_resources(path):
    """{(type, name): (language, data)} of every resource; a name given as text is the upper
    case text the resource compiler stores. The string table's strings, as pefile reads them,
    are pe.strings: {number: text}, the empty ones left out."""
    pe = pefile.PE(path)
    found = {}
    pe.strings = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            key = str(name.name) if name.name is not None else name.id
            pe.strings.update(getattr(name.directory, "strings", {}))
            for language in name.directory.entries:
                entry = language.data.struct
                data = pe.get_data(entry.OffsetToData, entry.Size)
                found.setdefault((kind.id, key), []).append((language.id, data))
    return pe, found


def utf16z(data, at):
    """The NUL-terminated UTF-16 text at `at` and the offset past its NUL."""
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def align4(at):
    return (at + 3) & ~3


def read_dialog(data):
    """The header fields and the controls of a standard dialog template."""
    style, ex_style, count, x, y, cx, cy, menu, cls = struct.unpack_from("<IIHhhhhHH", data)
    caption, at = utf16z(data, 22)
    (point_size,) = struct.unpack_from("<H", data, at)
    face, at = utf16z(data, at + 2)
    controls = []
    for _ in range(count):
        at = align4(at)
        fields = struct.unpack_from("<IIhhhhH", data, at)
        marker, ordinal = struct.unpack_from("<HH", data, at + 18)
        text, at = utf16z(data, at + 22)
        (extra,) = struct.unpack_from("<H", data, at)
        controls.append(fields + (ordinal if marker == 0xFFFF else 0, text, extra))
        at += 2 + extra
    return (style, ex_style, count, x, y, cx, cy, menu, cls, caption, point_size, face), controls


def read_dib(data):
    """(header fields, palette, picture of palette indices) of a bitmap resource: the header
    as stored, the rest as Pillow reads it."""
    size, width, height, planes, bits, compression, _, _, _, used = struct.unpack_from(
        "<IiiHHIIiiI", data)
    entries = used or 1 << bits
    row_bytes = (width * bits + 31) // 32 * 4
    header = {"size": size, "width": width, "height": height, "planes": planes, "bits": bits,
              "compression": compression, "entries": entries,
              "length": size + 4 * entries + row_bytes * abs(height)}
    picture = BmpImagePlugin.DibImageFile(io.BytesIO(data))
    rgb = picture.getpalette()[:3 * entries]
    return header, [tuple(rgb[i:i + 3]) for i in range(0, len(rgb), 3)], picture


WHITE = (255, 255, 255)


class BuiltSavers(unittest.TestCase):
    """Reads both builds once for all tests of a class."""

    saved = {}

    def each_saver(self):
        """(name, pefile image, resources) of both builds. A missing file fails: the
        resources are part of the product."""
        folder = os.environ.get("QUILLET_DIST_DIR")
        if not folder:
            self.skipTest("QUILLET_DIST_DIR is not set; run through ctest")
        for name in ("quillet.scr", "quillet64.scr"):
            if name not in self.saved:
                self.saved[name] = read_resources(os.path.join(folder, name))
            yield (name,) + self.saved[name]

    def only(self, resources, kind, name):
        found = resources.get((kind, name))
        self.assertIsNotNone(found, "no resource %s %s" % (kind, name))
        return found[0][1]


class ResourcesTest(BuiltSavers):
    def test_each_holds_exactly_the_programs_resources_all_in_japanese(self):
        expected = {RT_BITMAP: 8, RT_ICON: 2, RT_DIALOG: 1, RT_STRING: 1, RT_GROUP_ICON: 1,
                    RT_VERSION: 1, RT_MANIFEST: 1}
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                counts = {}
                for (kind, _), found in resources.items():
                    counts[kind] = counts.get(kind, 0) + len(found)
                self.assertEqual(counts, expected)
                for (kind, key), found in resources.items():
                    # The manifest is language neutral, the language Windows looks up first.
                    language = 0 if kind == RT_MANIFEST else JAPANESE
                    self.assertEqual([lang for lang, _ in found], [language], (kind, key))
                self.assertIn((RT_MANIFEST, 1), resources, "the manifest is id 1")

    def test_dialog_template(self):
        # What the code and Windows 95 rely on: a standard (not extended) template under the
        # shared id, the controls the code addresses by the shared ids with the classes it
        # treats them as, OK the default button, every control reachable by Tab and inside
        # the dialog, and texts a system without the Japanese face still shows.
        ids = resource_ids()
        addressed = {IDOK: BUTTON, IDCANCEL: BUTTON, ids["IDC_DELAY"]: EDIT,
                     ids["IDC_BIRD_COUNT"]: EDIT}
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                data = self.only(resources, RT_DIALOG, ids["IDD_CONFIG"])
                self.assertNotEqual(data[:4], b"\x01\x00\xff\xff", "an extended template")
                header, controls = read_dialog(data)
                width, height = header[5:7]
                self.assertEqual({c[6]: c[7] for c in controls if c[6] != 0xFFFF}, addressed)
                for style, _, x, y, cx, cy, number, cls, text, _ in controls:
                    with self.subTest(control=text or number):
                        self.assertTrue(0 <= x and 0 <= y and x + cx <= width
                                        and y + cy <= height, (x, y, cx, cy, width, height))
                        self.assertTrue(cls == STATIC or style & WS_TABSTOP)
                        self.assertTrue(all(" " <= ch <= "~" for ch in text), text)
                        self.assertEqual(bool(style & BS_DEFPUSHBUTTON) and cls == BUTTON,
                                         number == IDOK)

    def test_icon_group_has_a_32_and_a_16_pixel_image_of_16_colours(self):
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                group = self.only(resources, RT_GROUP_ICON, 100)
                self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, 2))
                for i, size in enumerate((32, 16)):
                    width, height, colours, _, _, bits, length, number = struct.unpack_from(
                        "<BBBBHHIH", group, 6 + 14 * i)
                    self.assertEqual((width, height, colours, bits), (size, size, 16, 4))
                    image = self.only(resources, RT_ICON, number)
                    self.assertEqual(len(image), length)
                    header_size, w, h, _, image_bits = struct.unpack_from("<IiiHH", image)
                    # Colour rows and mask rows: twice the height.
                    self.assertEqual((header_size, w, h, image_bits), (40, size, 2 * size, 4))
                    rows = size * ((size * 4 + 31) // 32 * 4 + (size + 31) // 32 * 4)
                    self.assertEqual(len(image), 40 + 16 * 4 + rows)

    def test_the_description_is_the_only_string(self):
        number = resource_ids()["IDS_DESCRIPTION"]
        for name, pe, _ in self.each_saver():
            with self.subTest(name):
                self.assertEqual(pe.strings, {number: "Quillet Screen Saver Vol.1"})

    def test_version_info_carries_the_project_version(self):
        # The Windows builds compile project()'s version into the resources.
        text = os.environ["QUILLET_PROJECT_VERSION"]
        major, minor, patch = (int(v) for v in text.split("."))
        for name, pe, _ in self.each_saver():
            with self.subTest(name):
                fixed = pe.VS_FIXEDFILEINFO[0]
                self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS),
                                 ((major << 16) | minor, patch << 16))
                strings = {}
                for info in pe.FileInfo[0]:
                    for table in getattr(info, "StringTable", []):
                        strings.update(table.entries)
                for key, value in ((b"FileVersion", text), (b"ProductVersion", text),
                                   (b"ProductName", "Quillet"),
                                   (b"FileDescription", "Quillet Screen Saver Vol.1")):
                    self.assertEqual(strings.get(key, b"(missing)").decode(), value, key)


class ArtworkTest(BuiltSavers):
    """The bird artwork inside the built files: the bitmap formats the saver's drawing relies
    on, frames and masks that agree pixel for pixel, and a wing beat worth watching."""

    def silhouette(self, resources, n):
        """Frame n's opaque pixels (its mask's index 0) as a picture: 255 opaque, 0 not."""
        _, _, mask = read_dib(self.only(resources, RT_BITMAP, "MASK%d" % n))
        return mask.point(lambda v: 255 if v == 0 else 0, "L")

    def test_bitmap_formats(self):
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                for name in BITMAPS:
                    data = self.only(resources, RT_BITMAP, name)
                    header, palette, _ = read_dib(data)
                    bits = 8 if name.startswith("BIRD") else 1
                    # Positive height: rows stored bottom-up.
                    self.assertEqual(header, {"size": 40, "width": CELL, "height": CELL, "planes": 1,
                                              "bits": bits, "compression": 0, "entries": 1 << bits,
                                              "length": len(data)}, name)
                    if bits == 1:
                        self.assertEqual(palette, [WHITE, (0, 0, 0)], "index 0 is the bird's part")

    def test_frame_is_white_exactly_where_its_mask_is_black(self):
        # Drawing ORs the mask in and ANDs the frame over it: a frame pixel that is not white
        # outside the silhouette would darken the desktop, and a white one inside it would
        # punch a hole in the bird.
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                for n in range(1, 5):
                    _, palette, frame = read_dib(self.only(resources, RT_BITMAP, "BIRD%d" % n))
                    white = frame.point([255 if colour == WHITE else 0 for colour in palette], "L")
                    opaque = self.silhouette(resources, n)
                    # Where the two agree, a pixel is both white and opaque, or neither.
                    self.assertEqual(ImageChops.difference(white, opaque).getextrema(),
                                     (255, 255), "frame %d" % n)

    def extent(self, resources, n):
        """(left, top, right, bottom, area) of frame n's silhouette; right and bottom
        inclusive."""
        opaque = self.silhouette(resources, n)
        left, top, right, bottom = opaque.getbbox()
        return left, top, right - 1, bottom - 1, opaque.histogram()[255]

    def test_bird_fills_the_cell_without_being_cut_off(self):
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                for n in range(1, 5):
                    left, top, right, bottom, area = self.extent(resources, n)
                    self.assertGreaterEqual(right - left + 1, 96, n)
                    self.assertGreaterEqual(bottom - top + 1, 50, n)
                    self.assertTrue(0 < left and 0 < top and right < CELL - 1 and bottom < CELL - 1)
                    self.assertTrue(CELL * CELL // 5 < area < CELL * CELL * 3 // 4, (n, area))

    def test_wings_beat_up_level_down_level(self):
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                up, level, down, level2 = (self.extent(resources, n) for n in range(1, 5))
                self.assertLess(up[1] + 10, min(level[1], level2[1]))
                self.assertGreater(down[3], max(level[3], level2[3]) + 10)
                pictures = [self.silhouette(resources, n).tobytes() for n in (1, 2, 3)]
                self.assertNotEqual(pictures[0], pictures[1])
                self.assertNotEqual(pictures[1], pictures[2])

    def test_bitmaps_are_the_committed_files(self):
        # The program carries the committed files without their 14-byte file header.
        for name, _, resources in self.each_saver():
            with self.subTest(name):
                for name in BITMAPS:
                    with open(os.path.join(RESOURCES, name.lower() + ".bmp"), "rb") as f:
                        committed = f.read()
                    self.assertGreater(len(committed), 14)
                    self.assertEqual(self.only(resources, RT_BITMAP, name), committed[14:], name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
