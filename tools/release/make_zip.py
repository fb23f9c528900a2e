"""Packs the release: dist/quillet-<version>.zip with both .scr files and README.txt for
Windows users (CR LF line ends), and dist/SHA256SUMS for the two files and the package. The
version comes from the build folder, where CMake wrote the project's version; any older
quillet-*.zip in dist is removed so only one remains. The package is the same bytes on every
machine: entries in a fixed order, with one given time (UTC) and fixed permissions."""

import argparse
import glob
import hashlib
import os
import sys
import time
import zipfile

MEMBERS = ("quillet.scr", "quillet64.scr")
# The earliest time a zip entry can hold, for a package made without a date.
ZIP_EPOCH = 315532800
UNIX = 3
# A regular file that everyone may read and only its owner change.
FILE_MODE = 0o100644


def windows_text(text):
    return "\r\n".join(text.splitlines()).encode("ascii") + b"\r\n"


def add_file(archive, name, data, date):
    info = zipfile.ZipInfo(name, time.gmtime(max(date, ZIP_EPOCH))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = UNIX
    info.external_attr = FILE_MODE << 16
    archive.writestr(info, data)


def write_sums(dist, names):
    """SHA256SUMS in the form `sha256sum -c` reads."""
    lines = []
    for name in names:
        with open(os.path.join(dist, name), "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), name))
    with open(os.path.join(dist, "SHA256SUMS"), "w") as f:
        f.writelines(lines)


def make_zip(dist, version, readme_path, date=0):
    for old in glob.glob(os.path.join(dist, "quillet-*.zip")):
        os.remove(old)
    path = os.path.join(dist, "quillet-%s.zip" % version)
    with open(readme_path, encoding="ascii") as f:
        readme = windows_text(f.read().replace("@VERSION@", version))
    with zipfile.ZipFile(path + ".part", "w") as archive:
        for name in MEMBERS:
            with open(os.path.join(dist, name), "rb") as f:
                add_file(archive, name, f.read(), date)
        add_file(archive, "README.txt", readme, date)
    os.replace(path + ".part", path)
    write_sums(dist, MEMBERS + (os.path.basename(path),))
    return path


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dist", required=True)
    parser.add_argument("--version-file", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--date", type=int, default=0,
                        help="the entries' time in seconds since 1970 (the commit's date)")
    args = parser.parse_args(argv)
    with open(args.version_file) as f:
        version = f.read().strip()
    print(make_zip(args.dist, version, args.readme, args.date))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
