#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same bytes.

usage: make_zip.py ARCHIVE ROOT FOLDER

Every folder and file below ROOT/FOLDER is stored under its path from ROOT, in sorted order,
all with the same date; a file is stored as a program (rwxr-xr-x) when it is executable on disk,
otherwise as rw-r--r--. Nothing else of the machine (times, owners, umask, the order in which
the file system lists a folder) reaches the archive.
"""
import os
import sys
import zipfile

DATE = (1980, 1, 1, 0, 0, 0)  # the earliest date a zip archive can hold
UNIX = 3  # the system the permissions are given for


def entry(name, mode):
    info = zipfile.ZipInfo(name, DATE)
    info.create_system = UNIX
    info.external_attr = mode << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    archive, root, folder = sys.argv[1:]
    paths = []
    for parent, folders, files in os.walk(os.path.join(root, folder)):
        paths.append(parent)
        paths.extend(os.path.join(parent, name) for name in files)
    part = archive + ".part"
    with zipfile.ZipFile(part, "w", compresslevel=9) as out:
        for path in sorted(paths, key=lambda p: os.path.relpath(p, root)):
            name = os.path.relpath(path, root).replace(os.sep, "/")
            if os.path.isdir(path):
                out.writestr(entry(name + "/", 0o40755), b"")
            else:
                program = os.stat(path).st_mode & 0o111
                with open(path, "rb") as data:
                    out.writestr(entry(name, 0o100755 if program else 0o100644), data.read())
    os.replace(part, archive)


if __name__ == "__main__":
    main()
