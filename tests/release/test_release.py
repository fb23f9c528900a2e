"""The release package in dist: exactly the two .scr files, byte for byte the ones beside it,
a README.txt for Windows users and the licence, in that order, all with one time and the same
permissions; its name carries the version of the .scr files' version resources and of the
project. Beside it the setup program of that version, and SHA256SUMS with the hashes of the
savers, the package and the setup."""

import glob
import hashlib
import os
import re
import unittest
import zipfile

import pefile

SAVERS = ("quillet.scr", "quillet64.scr")


def file_version(image):
    """'a.b.c.d' from the program's version resource."""
    fixed = pefile.PE(data=image).VS_FIXEDFILEINFO[0]
    most, least = fixed.FileVersionMS, fixed.FileVersionLS
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


class ReleasePackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dist = os.environ["QUILLET_DIST_DIR"]
        found = glob.glob(os.path.join(cls.dist, "quillet-*.zip"))
        if len(found) != 1:
            raise AssertionError("expected one quillet-*.zip in %s, found %r" % (cls.dist, found))
        cls.path = found[0]
        with zipfile.ZipFile(cls.path) as archive:
            cls.members = {name: archive.read(name) for name in archive.namelist()}
            cls.names = archive.namelist()
            cls.infos = archive.infolist()

    def dist_file(self, name):
        with open(os.path.join(self.dist, name), "rb") as f:
            return f.read()

    def test_holds_the_two_savers_and_the_readme_only_in_a_fixed_order(self):
        self.assertEqual(self.names,
                         ["quillet.scr", "quillet64.scr", "README.txt", "LICENSE.txt"])

    def test_every_entry_has_the_same_time_and_permissions(self):
        first = self.infos[0].date_time
        self.assertEqual({(i.date_time, i.create_system, i.external_attr) for i in self.infos},
                         {(first, 3, 0o100644 << 16)})

    def test_sha256sums_holds_the_hashes_of_everything_that_ships(self):
        setup = "quillet-%s-setup.exe" % os.environ["QUILLET_PROJECT_VERSION"]
        names = SAVERS + (os.path.basename(self.path), setup)
        expected = "".join("%s  %s\n" % (hashlib.sha256(self.dist_file(name)).hexdigest(), name)
                           for name in names)
        self.assertEqual(self.dist_file("SHA256SUMS").decode("ascii"), expected)

    def test_savers_are_byte_identical_to_the_built_ones(self):
        for name in SAVERS:
            with self.subTest(name=name):
                self.assertEqual(self.members[name], self.dist_file(name))

    def test_readme_has_windows_line_ends_and_the_install_facts(self):
        readme = self.members["README.txt"]
        self.assertTrue(readme.endswith(b"\r\n"))
        self.assertEqual(readme.count(b"\n"), readme.count(b"\r\n"))
        self.assertNotIn(b"\r\r", readme)
        for fact in (b"setup.exe", b"quillet.scr", b"quillet64.scr", b"SysWOW64",
                     b"quilet01.ini", b"%APPDATA%\\Quillet", b"Install", b"Removing",
                     b"certutil", b"LICENSE.txt"):
            with self.subTest(fact=fact):
                self.assertIn(fact, readme)

    def test_name_and_readme_carry_the_version_resources_version(self):
        match = re.fullmatch(r"quillet-(\d+\.\d+\.\d+)\.zip", os.path.basename(self.path))
        self.assertIsNotNone(match, self.path)
        version = match.group(1)
        self.assertEqual(version, os.environ["QUILLET_PROJECT_VERSION"])
        for name in SAVERS:
            with self.subTest(name=name):
                self.assertEqual(file_version(self.members[name]), version + ".0")
        self.assertIn(b"Version " + version.encode(), self.members["README.txt"])
        setup = self.dist_file("quillet-%s-setup.exe" % version)
        self.assertEqual(file_version(setup), version + ".0")

    def test_licence_is_mit_with_the_authors_copyright(self):
        licence = self.members["LICENSE.txt"]
        self.assertTrue(licence.startswith(b"MIT License\r\n"))
        self.assertIn(b"Copyright (c) 2026 The Quillet authors\r\n", licence)


if __name__ == "__main__":
    unittest.main(verbosity=2)
