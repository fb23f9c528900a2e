"""Packs the release: dist/quillet-<version>.zip with both .scr files and README.txt for
Windows users (CR LF line ends). The version comes from the build folder, where CMake wrote
the project's version; any older quillet-*.zip in dist is removed so only one remains."""

import argparse
import glob
import os
import sys
import time
import zipfile

MEMBERS = ("quillet.scr", "quillet64.scr")


def windows_text(text):
    return "\r\n".join(text.splitlines()).encode("ascii") + b"\r\n"


def add_file(archive, name, data, mtime):
    info = zipfile.ZipInfo(name, time.localtime(mtime)[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data)


def make_zip(dist, version, readme_path):
    for old in glob.glob(os.path.join(dist, "quillet-*.zip")):
        os.remove(old)
    path = os.path.join(dist, "quillet-%s.zip" % version)
    mtime = os.path.getmtime(os.path.join(dist, MEMBERS[0]))
    with open(readme_path, encoding="ascii") as f:
        readme = windows_text(f.read().replace("@VERSION@", version))
    with zipfile.ZipFile(path + ".part", "w") as archive:
        for name in MEMBERS:
            with open(os.path.join(dist, name), "rb") as f:
                add_file(archive, name, f.read(), mtime)
        add_file(archive, "README.txt", readme, mtime)
    os.replace(path + ".part", path)
    return path


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dist", required=True)
    parser.add_argument("--version-file", required=True)
    parser.add_argument("--readme", required=True)
    args = parser.parse_args(argv)
    with open(args.version_file) as f:
        version = f.read().strip()
    print(make_zip(args.dist, version, args.readme))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
