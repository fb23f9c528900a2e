"""The release packer: Windows line ends whatever the source's, one package per dist folder,
the same bytes whatever the files' times and the machine's time zone, and a failed step that
leaves the previous package and sums as they were."""

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
    """Two stand-in savers, a README source and a licence in dist; the last two's paths."""
    for name, data in (("quillet.scr", b"MZ32"), ("quillet64.scr", b"MZ64"),
                       ("README.src", b"Quillet\nVersion @VERSION@\n"), ("LICENSE", b"MIT\n")):
        with open(os.path.join(dist, name), "wb") as f:
            f.write(data)
    return os.path.join(dist, "README.src"), os.path.join(dist, "LICENSE")


def folder_bytes(dist):
    """Every file of dist by name, with its bytes."""
    found = {}
    for name in os.listdir(dist):
        with open(os.path.join(dist, name), "rb") as f:
            found[name] = f.read()
    return found


class MakeZipTest(unittest.TestCase):
    def test_one_package_with_the_version_and_the_files(self):
        with tempfile.TemporaryDirectory() as dist:
            texts = write_inputs(dist)
            make_zip.make_zip(dist, "0.9.0", *texts)
            path = make_zip.make_zip(dist, "1.2.3", *texts)
            zips = sorted(n for n in os.listdir(dist) if n.endswith((".zip", ".part")))
            self.assertEqual(zips, ["quillet-1.2.3.zip"])
            with zipfile.ZipFile(path) as archive:
                self.assertEqual(archive.read("quillet.scr"), b"MZ32")
                self.assertEqual(archive.read("quillet64.scr"), b"MZ64")
                self.assertEqual(archive.read("README.txt"), b"Quillet\r\nVersion 1.2.3\r\n")
                self.assertEqual(archive.read("LICENSE.txt"), b"MIT\r\n")

    def test_a_failed_step_leaves_the_previous_release_as_it_was(self):
        # The new version's package without its 64-bit saver; the sums without the setup.
        steps = [
            ("quillet64.scr", lambda dist, texts: make_zip.make_zip(dist, "1.2.4", *texts)),
            ("quillet-1.2.3-setup.exe", lambda dist, texts: make_zip.write_sums(
                dist, ("quillet-1.2.3.zip", "quillet-1.2.3-setup.exe"))),
        ]
        for missing, step in steps:
            with self.subTest(missing=missing), tempfile.TemporaryDirectory() as dist:
                texts = write_inputs(dist)
                make_zip.make_zip(dist, "1.2.3", *texts)
                make_zip.write_sums(dist, make_zip.MEMBERS + ("quillet-1.2.3.zip",))
                if os.path.exists(os.path.join(dist, missing)):
                    os.remove(os.path.join(dist, missing))
                before = folder_bytes(dist)
                with self.assertRaises(OSError):
                    step(dist, texts)
                self.assertEqual(folder_bytes(dist), before)

    def test_same_bytes_in_another_time_zone_with_other_file_times(self):
        packages, zone_before = [], os.environ.get("TZ")
        try:
            for zone, mtime in (("UTC", 1.7e9), ("Pacific/Kiritimati", 1.8e9)):
                os.environ["TZ"] = zone
                time.tzset()
                with tempfile.TemporaryDirectory() as dist:
                    texts = write_inputs(dist)
                    for name in os.listdir(dist):
                        os.utime(os.path.join(dist, name), (mtime, mtime))
                    path = make_zip.make_zip(dist, "1.2.3", *texts, date=1234567890)
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
