"""Reads a ZIP archive with Python's zipfile, which checks every member's CRC, compares each member that has a
file of its name in DIRECTORY with that file, and prints "members N". Exit status 1 when a member is damaged or
differs.

Usage: check_zip.py FILE.zip DIRECTORY
"""
import os
import sys
import zipfile


def main():
    with zipfile.ZipFile(sys.argv[1]) as archive:
        bad = archive.testzip()
        if bad is not None:
            print("damaged member " + bad)
            return 1
        infos = archive.infolist()
        for info in infos:
            expected = os.path.join(sys.argv[2], info.filename)
            if os.path.isfile(expected):
                with open(expected, "rb") as file:
                    if archive.read(info) != file.read():
                        print("member %s differs" % info.filename)
                        return 1
        print("members %d" % len(infos))
    return 0


sys.exit(main())
