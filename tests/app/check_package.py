#!/usr/bin/python3
"""The Windows release as a user gets it: the zip holds the two programs as built, the readme
and the licence as Windows text (CR LF), each entry dated with the time of the source's last
commit; SHA256SUMS beside it gives the zip's SHA-256 as `sha256sum -c` reads it.

usage: check_package.py --source DIR ZIP VANTREL.EXE VANTREL-CLI.EXE
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

failures = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what)
    if not condition:
        failures.append(what)


def commit_time(source):
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    return int(subprocess.check_output(["git", "-C", source, "log", "-1", "--format=%ct"]))


def windows_text(data):
    return data.count(b"\n") > 0 and data.count(b"\n") == data.count(b"\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("zip")
    parser.add_argument("programs", nargs=2)
    args = parser.parse_args()
    with zipfile.ZipFile(args.zip) as archive:
        check(archive.testzip() is None, "the zip reads back without errors")
        names = archive.namelist()
        check(names == ["vantrel.exe", "vantrel-cli.exe", "README.txt", "LICENSE.txt"],
              "the zip holds the two programs, README.txt and LICENSE.txt: %s" % names)
        for program in args.programs:
            with open(program, "rb") as f:
                name = os.path.basename(program)
                check(name in names and archive.read(name) == f.read(), name + " as built")
        with open(os.path.join(args.source, "LICENSE"), "rb") as f:
            licence = f.read().replace(b"\n", b"\r\n")
        check("LICENSE.txt" in names and archive.read("LICENSE.txt") == licence,
              "LICENSE.txt is the licence with CR LF line ends")
        readme = archive.read("README.txt") if "README.txt" in names else b""
        check(windows_text(readme) and b"vantrel-cli" in readme, "README.txt: Windows text")
        # A zip's times are local times of 2-second resolution: the commit's, in UTC.
        when = list(time.gmtime(commit_time(args.source))[:6])
        when[5] -= when[5] % 2
        dates = {info.date_time for info in archive.infolist()}
        check(dates == {tuple(when)}, "every entry dated with the last commit: %s" % sorted(dates))
    with open(args.zip, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    sums = os.path.join(os.path.dirname(args.zip), "SHA256SUMS")
    with open(sums, "rb") as f:
        check(f.read() == b"%s  %s\n" % (digest.encode(), os.path.basename(args.zip).encode()),
              "SHA256SUMS gives the zip's SHA-256")
    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
