"""The release packer: Windows line ends whatever the source's, one package per dist folder,
and the same bytes whatever the files' times and the machine's time zone."""

import os
import tempfile
import time
import unittest
import zipfile

import make_zip


class WindowsTextTest(unittest.TestCase):
    def test_line_ends(self):
        cases = [
            ("a\nb\n", b"a\r\nb\r\n"),
            ("a\r\nb\r\n", b"a\r\nb\r\n"),
            ("a\nb", b"a\r\nb\r\n"),
            ("a\n\n\nb\n", b"a\r\n\r\n\r\nb\r\n"),
            ("a\r\n\nb", b"a\r\n\r\nb\r\n"),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(make_zip.windows_text(text), expected)
                # Packing twice must not double the CRs.
                self.assertEqual(make_zip.windows_text(expected.decode()), expected)


def write_inputs(dist):
    """Two stand-in savers and a README source in dist; the README's path."""
    for name, data in (("quillet.scr", b"MZ32"), ("quillet64.scr", b"MZ64")):
        with open(os.path.join(dist, name), "wb") as f:
            f.write(data)
    readme = os.path.join(dist, "README.src")
    with open(readme, "w") as f:
        f.write("Quillet\nVersion @VERSION@\n")
    return readme


class MakeZipTest(unittest.TestCase):
    def test_one_package_with_the_version_and_the_files(self):
        with tempfile.TemporaryDirectory() as dist:
            readme = write_inputs(dist)
            make_zip.make_zip(dist, "0.9.0", readme)
            path = make_zip.make_zip(dist, "1.2.3", readme)
            zips = sorted(n for n in os.listdir(dist) if n.endswith((".zip", ".part")))
            self.assertEqual(zips, ["quillet-1.2.3.zip"])
            with zipfile.ZipFile(path) as archive:
                self.assertEqual(archive.read("quillet.scr"), b"MZ32")
                self.assertEqual(archive.read("quillet64.scr"), b"MZ64")
                self.assertEqual(archive.read("README.txt"), b"Quillet\r\nVersion 1.2.3\r\n")

    def test_same_bytes_in_another_time_zone_with_other_file_times(self):
        packages, zone_before = [], os.environ.get("TZ")
        try:
            for zone, mtime in (("UTC", 1.7e9), ("Pacific/Kiritimati", 1.8e9)):
                os.environ["TZ"] = zone
                time.tzset()
                with tempfile.TemporaryDirectory() as dist:
                    readme = write_inputs(dist)
                    for name in os.listdir(dist):
                        os.utime(os.path.join(dist, name), (mtime, mtime))
                    path = make_zip.make_zip(dist, "1.2.3", readme, date=1234567890)
                    with open(path, "rb") as f:
                        packages.append(f.read())
                    with zipfile.ZipFile(path) as archive:
                        times = {info.date_time for info in archive.infolist()}
                    self.assertEqual(times, {(2009, 2, 13, 23, 31, 30)})
        finally:
            if zone_before is None:
                os.environ.pop("TZ")
            else:
                os.environ["TZ"] = zone_before
            time.tzset()
        self.assertEqual(packages[0], packages[1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
