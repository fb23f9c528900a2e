"""Packs the release: dist/quillet-<version>.zip with both .scr files, README.txt for Windows
users and LICENSE.txt (CR LF line ends); with `--sums NAME...`, writes dist/SHA256SUMS for the
named files instead, the release's last step, once everything that ships is there. The version
comes from the build folder, where CMake wrote the project's version. The package is the same
bytes on every machine: entries in a fixed order, with one given time (UTC) and fixed
permissions.

Each file is written under a temporary name and takes its own name only when complete, so a
failed step leaves the previous package and sums as they were and no temporary behind; only
then is any older quillet-*.zip removed, so one package remains."""

import argparse
import glob
import hashlib
import os
import sys
import time
import zipfile

MEMBERS = ("quillet.scr", "quillet64.scr")
TEMPORARY = ".part"
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


def write_whole(path, write):
    """Calls write(temporary path), then gives the result the name path; on any failure the
    temporary goes and whatever path held stays."""
    part = path + TEMPORARY
    try:
        write(part)
        os.replace(part, path)
    except BaseException:
        if os.path.exists(part):
            os.remove(part)
        raise


def write_sums(dist, names):
    """SHA256SUMS in the form `sha256sum -c` reads."""
    lines = []
    for name in names:
        with open(os.path.join(dist, name), "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), name))

    def write(part):
        with open(part, "w") as f:
            f.writelines(lines)
    write_whole(os.path.join(dist, "SHA256SUMS"), write)


def make_zip(dist, version, readme_path, license_path, date=0):
    path = os.path.join(dist, "quillet-%s.zip" % version)
    texts = []
    for source in (readme_path, license_path):
        with open(source, encoding="ascii") as f:
            texts.append(windows_text(f.read().replace("@VERSION@", version)))

    def write(part):
        with zipfile.ZipFile(part, "w") as archive:
            for name in MEMBERS:
                with open(os.path.join(dist, name), "rb") as f:
                    add_file(archive, name, f.read(), date)
            add_file(archive, "README.txt", texts[0], date)
            add_file(archive, "LICENSE.txt", texts[1], date)
    write_whole(path, write)
    for old in glob.glob(os.path.join(dist, "quillet-*.zip")):
        if old != path:
            os.remove(old)
    return path


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dist", required=True)
    parser.add_argument("--version-file")
    parser.add_argument("--readme")
    parser.add_argument("--license")
    parser.add_argument("--date", type=int, default=0,
                        help="the entries' time in seconds since 1970 (the commit's date)")
    parser.add_argument("--sums", nargs="+", metavar="NAME",
                        help="write SHA256SUMS for these files of dist instead of packing")
    args = parser.parse_args(argv)
    if args.sums:
        write_sums(args.dist, args.sums)
        return 0
    if not (args.version_file and args.readme and args.license):
        parser.error("packing needs --version-file, --readme and --license")
    with open(args.version_file) as f:
        version = f.read().strip()
    print(make_zip(args.dist, version, args.readme, args.license, args.date))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
