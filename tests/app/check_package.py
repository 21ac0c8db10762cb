#!/usr/bin/python3
"""The release zip and the SHA256SUMS beside it, as a user unpacks and checks them."""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile


def problems_of(args):
    with zipfile.ZipFile(args.zip) as archive:
        names = archive.namelist()
        if archive.testzip() is not None or names != [
                "vantrel.exe", "vantrel-cli.exe", "README.txt", "LICENSE.txt"]:
            return ["the zip does not read back as the two programs, README.txt and LICENSE.txt: "
                    "%s" % names]
        problems = [name + " is not the program as built" for name, built in zip(
            names, args.programs) if archive.read(name) != open(built, "rb").read()]
        with open(os.path.join(args.source, "LICENSE"), "rb") as f:
            if archive.read("LICENSE.txt") != f.read().replace(b"\n", b"\r\n"):
                problems.append("LICENSE.txt is not the licence with CR LF line ends")
        epoch = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.check_output(
            ["git", "-C", args.source, "log", "-1", "--format=%ct"])
        dates = {info.date_time for info in archive.infolist()}
        if dates != {time.gmtime(int(epoch) // 2 * 2)[:6]}:  # a zip keeps even seconds
            problems.append("entries not dated with the last commit: %s" % sorted(dates))
    # A user downloads the zip and SHA256SUMS into one folder: its line names the zip there.
    with open(args.zip, "rb") as f:
        line = "%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), os.path.basename(args.zip))
    with open(os.path.join(os.path.dirname(args.zip), "SHA256SUMS")) as f:
        if f.read() != line:
            problems.append("SHA256SUMS is not the line %r" % line)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("zip")
    parser.add_argument("programs", nargs=2)
    problems = problems_of(parser.parse_args())
    print("\n".join(problems) or "the package is as it should be")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
