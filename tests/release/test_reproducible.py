"""Two builds of one commit give the same bytes. The saver is built again from a copy of the
source in folders of other names, with the clock 500 days ahead and in another time zone, and
both .scr files, and the setup program made from them, must equal the ones in dist byte for
byte. None may hold a folder of the machine that built it, and the checksum the linker writes
in the PE header must be right."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest

SOURCE = os.environ.get("QUILLET_SOURCE_DIR", "")
DIST = os.environ.get("QUILLET_DIST_DIR", "")
# Build folder, toolchain file, and the name the file has in dist.
BUILDS = (("win32", "toolchain-i686-mingw.cmake", "quillet.scr"),
          ("win64", "toolchain-x86_64-mingw.cmake", "quillet64.scr"))
# Elsewhere in time: the stamp a linker writes, or a __DATE__, would come out different.
ELSEWHERE = dict(os.environ, TZ="Pacific/Kiritimati", FAKETIME_DONT_FAKE_MONOTONIC="1")


def copy_source(into):
    """The tracked tree without the builds, the packages or git's own files."""
    skip = {".git", "build", "dist"}
    for name in os.listdir(SOURCE):
        path = os.path.join(SOURCE, name)
        if name in skip or os.path.exists(os.path.join(path, "CMakeCache.txt")):
            continue
        if os.path.isdir(path):
            shutil.copytree(path, os.path.join(into, name))
        else:
            shutil.copy2(path, into)


def rebuild(source, build, toolchain):
    """quillet.scr from source, built in build under faketime; its path."""
    for step in (["-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                  "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/%s" % (source, toolchain)],
                 ["--build", build, "--target", "quillet", "-j", "1"]):
        subprocess.run(["faketime", "-f", "+500d", "cmake"] + step,
                       env=ELSEWHERE, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "quillet.scr")


def rebuild_setup(source, build, scr32, scr64):
    """The setup program from source and the rebuilt savers, under faketime: its name and
    path."""
    with open(os.path.join(build, "version.txt")) as f:
        version = f.read().strip()
    name = "quillet-%s-setup.exe" % version
    out = os.path.join(build, "setup", name)
    script = os.path.join(source, "tools", "release", "make_setup.sh")
    subprocess.run(["faketime", "-f", "+500d", script, version, scr32, scr64, out],
                   env=ELSEWHERE, check=True, stdout=subprocess.DEVNULL)
    return name, out


def pe_checksum(image):
    """The PE header's checksum of image: its 16-bit words summed with end-around carry,
    leaving out the checksum field itself, plus the file's length."""
    field = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
    padded = image + b"\0" * (len(image) % 2)
    total = sum(w for (w,) in struct.iter_unpack("<H", padded))
    total -= sum(struct.unpack_from("<HH", image, field))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


class ReproducibleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not SOURCE or not DIST:
            raise unittest.SkipTest("QUILLET_SOURCE_DIR and QUILLET_DIST_DIR are not set; "
                                    "run through ctest")
        if shutil.which("faketime") is None:
            raise AssertionError("faketime is missing: tools/install-deps.sh installs it")
        cls.scratch = tempfile.mkdtemp(prefix="quillet-elsewhere-")
        cls.source = os.path.join(cls.scratch, "another-clone")
        os.mkdir(cls.source)
        copy_source(cls.source)
        cls.rebuilt, paths = {}, {}
        for folder, toolchain, name in BUILDS:
            build = os.path.join(cls.scratch, "other-" + folder)
            paths[name] = rebuild(cls.source, build, toolchain)
            with open(paths[name], "rb") as f:
                cls.rebuilt[name] = f.read()
        cls.setup, path = rebuild_setup(cls.source, os.path.join(cls.scratch, "other-win32"),
                                        paths["quillet.scr"], paths["quillet64.scr"])
        with open(path, "rb") as f:
            cls.rebuilt[cls.setup] = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def shipped(self, name):
        with open(os.path.join(DIST, name), "rb") as f:
            return f.read()

    def test_both_savers_and_the_setup_come_out_byte_for_byte_the_same(self):
        for name in self.rebuilt:
            with self.subTest(name=name):
                shipped = self.shipped(name)
                self.assertEqual(len(self.rebuilt[name]), len(shipped))
                differ = [at for at, (a, b) in enumerate(zip(self.rebuilt[name], shipped))
                          if a != b]
                self.assertEqual(differ[:16], [], "%s differs at these offsets" % name)

    def test_no_build_machine_folder_inside(self):
        folders = (SOURCE, self.scratch)
        for name in self.rebuilt:
            for image in (self.shipped(name), self.rebuilt[name]):
                for folder in folders:
                    for encoding in ("utf-8", "utf-16-le"):
                        found = folder.encode(encoding) in image
                        self.assertFalse(found, "%s holds %s (%s)" % (name, folder, encoding))

    def test_the_checksum_in_the_header_is_right(self):
        for _, _, name in BUILDS:
            with self.subTest(name=name):
                image = self.shipped(name)
                field = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
                self.assertEqual(struct.unpack_from("<I", image, field)[0], pe_checksum(image))


if __name__ == "__main__":
    unittest.main(verbosity=2)
